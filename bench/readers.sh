#!/usr/bin/env bash
# Decoding benchmark: large images of every raster format, decoded by Korvane's readers,
# by ImageMagick (`convert FILE ppm:-`) and, for TIFF, PNG and JPEG, by the library's bare
# decode loop. Prints the best of three runs per file, and peak memory against the size of
# the 24-bit working image.
#
#   bench/readers.sh [WIDTH HEIGHT]     default 6000 4000
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
width=${1:-6000}
height=${2:-4000}
"$root/scripts/install-deps" imagemagick

build="$root/build"
[ -f "$build/build.ninja" ] || cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" --target korvane-decode-bench >/dev/null
bench="$build/bench/korvane-decode-bench"
export QT_QPA_PLATFORM=offscreen

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source="$root/../shared/formats/ref/chart600_rgb_600x400.ppm"
cd "$work"
# A chart at the requested size: the corpus chart scaled up with hard edges, plus a little
# noise so that the compressors have real work to do.
convert "$source" -filter point -resize "${width}x${height}!" -attenuate 0.15 +noise Uniform \
    -depth 8 chart.ppm
convert chart.ppm -compress none chart.tif
mv chart.tif chart_none.tif
convert chart.ppm -compress lzw chart_lzw.tif
convert chart.ppm chart.png
convert chart.ppm -quality 90 chart.jpg
convert chart.ppm chart.tga
convert chart.ppm -compress RLE chart_rle.tga
convert chart.ppm chart.pcx
convert chart.ppm -colorspace gray chart.pgm
convert chart.ppm bmp3:chart.bmp
convert chart.ppm -colors 256 -type palette bmp3:chart_pal8.bmp
convert chart.ppm -resize 256x256! chart.ico
# A DCX holding the PCX as its only page.
/usr/bin/python3 - <<'PY'
import struct
page = open("chart.pcx", "rb").read()
header = struct.pack("<I", 987654321) + struct.pack("<I", 4 + 4 * 1024) + b"\0" * (4 * 1023)
open("chart.dcx", "wb").write(header + page)
PY

best() { # best of three: prints "seconds peak_kb"
    local b_s="" b_k=""
    for _ in 1 2 3; do
        local line s k
        line=$("$@")
        s=$(sed -n 's/.*seconds=\([0-9.]*\).*/\1/p' <<<"$line")
        k=$(sed -n 's/.*peak_kb=\([0-9]*\).*/\1/p' <<<"$line")
        if [ -z "$b_s" ] || awk "BEGIN{exit !($s < $b_s)}"; then b_s=$s; b_k=$k; fi
    done
    echo "$b_s $b_k"
}

baseline=$(best "$bench" "$root/../shared/formats/png/tiny_1x1.png" | cut -d' ' -f2)
printf '%-16s %10s %10s %7s %9s %7s %10s %10s %9s\n' file korvane_s magick_s speedup bare_s vs_bare peak_MB magick_MB peak/img
for f in chart_none.tif chart_lzw.tif chart.png chart.jpg chart.tga chart_rle.tga chart.pcx \
         chart.dcx chart.ppm chart.pgm chart.bmp chart_pal8.bmp chart.ico; do
    read -r ks kk < <(best "$bench" "$f")
    read -r ms mk < <(best "$bench" --exec /usr/bin/convert "$f" ppm:-)
    bare="-" vs="-"
    case "$f" in *.tif|*.png|*.jpg)
        read -r bs _ < <(best "$bench" --bare "$f")
        bare=$bs; vs=$(awk "BEGIN{printf \"%.2f\", $ks/$bs}");;
    esac
    read -r w h < <(identify -format '%w %h\n' "$f" | head -1)
    img_kb=$(( w * h * 3 / 1024 ))
    printf '%-16s %10s %10s %6.1fx %9s %7s %10.1f %10.1f %9.2f\n' "$f" "$ks" "$ms" \
        "$(awk "BEGIN{print $ms/$ks}")" "$bare" "$vs" "$(awk "BEGIN{print $kk/1024}")" \
        "$(awk "BEGIN{print $mk/1024}")" "$(awk "BEGIN{print ($kk-$baseline)/$img_kb}")"
done
echo "peak/img: Korvane's peak resident memory above its baseline (${baseline} kB, a 1x1 decode)"
echo "divided by the 24-bit working image. Metafiles (WMF/EMF) are vector data and are not timed."
