// korvane-decode-bench: time and peak memory of one image decode, for bench/readers.sh.
//
//   korvane-decode-bench FILE            Korvane's reader (LoadImageFile)
//   korvane-decode-bench --bare FILE     the library's own decode loop (TIFF, PNG, JPEG)
//   korvane-decode-bench --exec CMD ...  run a command, its output to /dev/null
//
// Prints "seconds=<wall time> peak_kb=<peak resident set>".

#include "image/ImageFormats.h"

#include <chrono>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <jpeglib.h>
#include <png.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <tiffio.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

long PeakKb() {
    rusage Usage{};
    getrusage(RUSAGE_SELF, &Usage);
    return Usage.ru_maxrss;
}

bool EndsWith(const std::string& S, const char* Suffix) {
    const std::size_t N = std::strlen(Suffix);
    if (S.size() < N)
        return false;
    for (std::size_t I = 0; I < N; ++I)
        if (std::tolower(static_cast<unsigned char>(S[S.size() - N + I])) != Suffix[I])
            return false;
    return true;
}

void BareTiff(const char* Name) {
    TIFF* T = TIFFOpen(Name, "r");
    if (!T)
        throw std::runtime_error("TIFFOpen failed");
    std::vector<unsigned char> Buffer;
    if (TIFFIsTiled(T)) {
        Buffer.resize(static_cast<std::size_t>(TIFFTileSize(T)));
        for (ttile_t I = 0; I < TIFFNumberOfTiles(T); ++I)
            TIFFReadEncodedTile(T, I, Buffer.data(), static_cast<tmsize_t>(Buffer.size()));
    } else {
        Buffer.resize(static_cast<std::size_t>(TIFFStripSize(T)));
        for (tstrip_t I = 0; I < TIFFNumberOfStrips(T); ++I)
            TIFFReadEncodedStrip(T, I, Buffer.data(), static_cast<tmsize_t>(Buffer.size()));
    }
    TIFFClose(T);
}

void BarePng(const char* Name) {
    FILE* F = std::fopen(Name, "rb");
    png_structp P = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop I = png_create_info_struct(P);
    std::vector<unsigned char> Row;
    if (setjmp(png_jmpbuf(P)) == 0) {
        png_init_io(P, F);
        png_read_info(P, I);
        const int Passes = png_set_interlace_handling(P);
        png_read_update_info(P, I);
        Row.resize(png_get_rowbytes(P, I));
        const png_uint_32 H = png_get_image_height(P, I);
        for (int Pass = 0; Pass < Passes; ++Pass)
            for (png_uint_32 Y = 0; Y < H; ++Y)
                png_read_row(P, Row.data(), nullptr);
        png_read_end(P, nullptr);
    }
    png_destroy_read_struct(&P, &I, nullptr);
    std::fclose(F);
}

void BareJpeg(const char* Name) {
    FILE* F = std::fopen(Name, "rb");
    jpeg_decompress_struct C;
    jpeg_error_mgr E;
    C.err = jpeg_std_error(&E);
    jpeg_create_decompress(&C);
    jpeg_stdio_src(&C, F);
    jpeg_read_header(&C, TRUE);
    jpeg_start_decompress(&C);
    std::vector<unsigned char> Row(static_cast<std::size_t>(C.output_width) * C.output_components);
    JSAMPROW Rows[1] = {Row.data()};
    while (C.output_scanline < C.output_height)
        jpeg_read_scanlines(&C, Rows, 1);
    jpeg_finish_decompress(&C);
    jpeg_destroy_decompress(&C);
    std::fclose(F);
}

int Exec(char** Argv) {
    const auto Start = Clock::now();
    const pid_t Child = fork();
    if (Child == 0) {
        const int Null = open("/dev/null", O_WRONLY);
        dup2(Null, 1);
        execvp(Argv[0], Argv);
        _exit(127);
    }
    int Status = 0;
    rusage Usage{};
    wait4(Child, &Status, 0, &Usage);
    const double Seconds = std::chrono::duration<double>(Clock::now() - Start).count();
    std::printf("seconds=%.4f peak_kb=%ld status=%d\n", Seconds, Usage.ru_maxrss,
                WIFEXITED(Status) ? WEXITSTATUS(Status) : -1);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "--exec") == 0)
        return Exec(argv + 2);
    const bool Bare = argc == 3 && std::strcmp(argv[1], "--bare") == 0;
    if (argc != 2 && !Bare) {
        std::fprintf(stderr, "usage: korvane-decode-bench [--bare] FILE | --exec CMD...\n");
        return 2;
    }
    const std::string File = argv[argc - 1];
    try {
        korvane::EnsureGuiApplication();
        const auto Start = Clock::now();
        if (!Bare) {
            const korvane::TWorkingImage Image = korvane::LoadImageFile(File);
            if (Image.Image.isNull())
                return 1;
        } else if (EndsWith(File, ".tif") || EndsWith(File, ".tiff")) {
            BareTiff(File.c_str());
        } else if (EndsWith(File, ".png")) {
            BarePng(File.c_str());
        } else if (EndsWith(File, ".jpg") || EndsWith(File, ".jpeg")) {
            BareJpeg(File.c_str());
        } else {
            std::fprintf(stderr, "no bare decode loop for %s\n", File.c_str());
            return 2;
        }
        const double Seconds = std::chrono::duration<double>(Clock::now() - Start).count();
        std::printf("seconds=%.4f peak_kb=%ld status=0\n", Seconds, PeakKb());
    } catch (const std::exception& E) {
        std::fprintf(stderr, "%s\n", E.what());
        return 1;
    }
    return 0;
}
