#!/bin/sh
# Renders the program's icon at the sizes of the hicolor theme, as hicolor/NxN/apps/ID.png beside
# this script (16x16 from ID-16.svg, drawn for that size). The PNGs are committed, so building
# needs no SVG tools; run this after changing an SVG (rsvg-convert: Debian's librsvg2-bin).
set -eu
cd "$(dirname "$0")"
id=io.github.korvane.Korvane
for size in 24 32 48 64 128 256; do
    mkdir -p "hicolor/${size}x${size}/apps"
    rsvg-convert -w "$size" -h "$size" -o "hicolor/${size}x${size}/apps/$id.png" "$id.svg"
done
# At 16 pixels the large drawing blurs: a version of its own, drawn on the pixel grid.
mkdir -p hicolor/16x16/apps
rsvg-convert -w 16 -h 16 -o "hicolor/16x16/apps/$id.png" "$id-16.svg"
