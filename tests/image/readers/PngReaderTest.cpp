#include "CorpusSupport.h"
#include "image/ImageFormats.h"
#include "image/readers/Readers.h"

#include <algorithm>
#include <array>
#include <csetjmp>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <png.h>
#include <vector>

using namespace korvane;
using namespace korvane::testing;

namespace {

TWorkingImage ReadPngMemory(const std::vector<std::uint8_t>& Bytes) {
    TByteReader Input(Bytes.data(), Bytes.size(), "PNG");
    return ReadPNG(Input);
}

// A PNG to write: samples at the file's depth, row by row, and the optional chunks.
struct TPngPicture {
    int Width = 0;
    int Height = 0;
    int ColourType = PNG_COLOR_TYPE_GRAY;
    int Depth = 8;
    bool Interlaced = false;
    std::vector<std::uint16_t> Samples;
    std::vector<png_color> Palette;
    std::vector<png_byte> PaletteAlpha; // tRNS for palettes
    bool ColourKey = false;             // tRNS for grey and RGB: the first pixel's value
};

int Channels(int ColourType) {
    switch (ColourType) {
    case PNG_COLOR_TYPE_GRAY:
    case PNG_COLOR_TYPE_PALETTE:
        return 1;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        return 2;
    case PNG_COLOR_TYPE_RGB:
        return 3;
    default:
        return 4;
    }
}

void AppendToVector(png_structp Png, png_bytep Data, std::size_t Length) {
    auto* Out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(Png));
    Out->insert(Out->end(), Data, Data + Length);
}

bool WritePngRows(png_structp Png, png_infop Info, const TPngPicture* Picture, png_bytepp Rows) {
    if (setjmp(png_jmpbuf(Png)))
        return false;
    png_set_IHDR(Png, Info, Picture->Width, Picture->Height, Picture->Depth, Picture->ColourType,
                 Picture->Interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!Picture->Palette.empty())
        png_set_PLTE(Png, Info, Picture->Palette.data(), static_cast<int>(Picture->Palette.size()));
    if (!Picture->PaletteAlpha.empty())
        png_set_tRNS(Png, Info, Picture->PaletteAlpha.data(),
                     static_cast<int>(Picture->PaletteAlpha.size()), nullptr);
    if (Picture->ColourKey) {
        png_color_16 Key{};
        const std::uint16_t* First = Picture->Samples.data();
        if (Picture->ColourType == PNG_COLOR_TYPE_GRAY) {
            Key.gray = First[0];
        } else {
            Key.red = First[0];
            Key.green = First[1];
            Key.blue = First[2];
        }
        png_set_tRNS(Png, Info, nullptr, 0, &Key);
    }
    png_write_info(Png, Info);
    png_write_image(Png, Rows);
    png_write_end(Png, Info);
    return true;
}

std::vector<std::uint8_t> WritePng(const TPngPicture& Picture) {
    const int PerRow = Picture.Width * Channels(Picture.ColourType);
    const std::size_t RowBytes = (std::size_t(PerRow) * Picture.Depth + 7) / 8;
    std::vector<std::vector<std::uint8_t>> Packed(Picture.Height,
                                                  std::vector<std::uint8_t>(RowBytes));
    std::vector<png_bytep> Rows;
    for (int Y = 0; Y < Picture.Height; ++Y) {
        for (int I = 0; I < PerRow; ++I) {
            const std::uint16_t V = Picture.Samples[std::size_t(Y) * PerRow + I];
            if (Picture.Depth == 16) {
                Packed[Y][I * 2] = static_cast<std::uint8_t>(V >> 8);
                Packed[Y][I * 2 + 1] = static_cast<std::uint8_t>(V);
            } else {
                const int Bit = I * Picture.Depth;
                Packed[Y][Bit / 8] |= static_cast<std::uint8_t>(V << (8 - Picture.Depth - Bit % 8));
            }
        }
        Rows.push_back(Packed[Y].data());
    }
    std::vector<std::uint8_t> Out;
    png_structp Png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop Info = png_create_info_struct(Png);
    png_set_write_fn(Png, &Out, AppendToVector, nullptr);
    EXPECT_TRUE(WritePngRows(Png, Info, &Picture, Rows.data()));
    png_destroy_write_struct(&Png, &Info);
    return Out;
}

// The working image's pixel for pixel I, by the conversion rules: 16-bit samples keep
// their high byte, lower depths scale to 0..255, transparency is composited over white.
std::array<std::uint8_t, 3> ExpectedPixel(const TPngPicture& Picture, std::size_t I) {
    const int N = Channels(Picture.ColourType);
    const std::uint16_t* S = &Picture.Samples[I * N];
    const auto Eight = [&](std::uint16_t V) {
        return static_cast<std::uint8_t>(
            Picture.Depth == 16 ? V >> 8 : V * 255 / ((1 << Picture.Depth) - 1));
    };
    std::array<std::uint8_t, 3> Colour{};
    std::uint8_t Alpha = 255;
    switch (Picture.ColourType) {
    case PNG_COLOR_TYPE_PALETTE: {
        const png_color& C = Picture.Palette[S[0]];
        Colour = {C.red, C.green, C.blue};
        if (S[0] < Picture.PaletteAlpha.size())
            Alpha = Picture.PaletteAlpha[S[0]];
        break;
    }
    case PNG_COLOR_TYPE_GRAY:
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        Colour.fill(Eight(S[0]));
        if (N == 2)
            Alpha = Eight(S[1]);
        break;
    default:
        Colour = {Eight(S[0]), Eight(S[1]), Eight(S[2])};
        if (N == 4)
            Alpha = Eight(S[3]);
        break;
    }
    if (Picture.ColourKey && std::equal(S, S + N, Picture.Samples.data()))
        Alpha = 0;
    for (std::uint8_t& C : Colour)
        C = CompositeOverWhite(C, Alpha);
    return Colour;
}

} // namespace

TEST(PngReader, Corpus) {
    CheckCorpusFormat("PNG");
}

TEST(PngReader, MemoryAndFileAgree) {
    CheckMemoryAndFileAgree("PNG", ReadPNG);
}

// Every colour type and depth, with and without tRNS, plain and Adam7-interlaced, at sizes
// where some interlace passes are empty; random samples, 16-bit ones with random low bytes.
TEST(PngReader, EveryColourTypeDepthAndInterlace) {
    struct TKind {
        int ColourType;
        int Depth;
        bool Transparency;
    };
    const TKind Kinds[] = {
        {PNG_COLOR_TYPE_GRAY, 1, false},        {PNG_COLOR_TYPE_GRAY, 2, true},
        {PNG_COLOR_TYPE_GRAY, 4, false},        {PNG_COLOR_TYPE_GRAY, 8, true},
        {PNG_COLOR_TYPE_GRAY, 16, true},        {PNG_COLOR_TYPE_GRAY_ALPHA, 8, false},
        {PNG_COLOR_TYPE_GRAY_ALPHA, 16, false}, {PNG_COLOR_TYPE_PALETTE, 1, false},
        {PNG_COLOR_TYPE_PALETTE, 2, true},      {PNG_COLOR_TYPE_PALETTE, 4, true},
        {PNG_COLOR_TYPE_PALETTE, 8, true},      {PNG_COLOR_TYPE_RGB, 8, true},
        {PNG_COLOR_TYPE_RGB, 16, true},         {PNG_COLOR_TYPE_RGB, 16, false},
        {PNG_COLOR_TYPE_RGBA, 8, false},        {PNG_COLOR_TYPE_RGBA, 16, false},
    };
    const std::pair<int, int> Sizes[] = {{1, 1}, {3, 2}, {9, 5}, {17, 11}};
    std::uint32_t Seed = 12345;
    const auto Random = [&Seed] {
        Seed = Seed * 1103515245u + 12345u;
        return Seed >> 8;
    };
    for (const TKind& Kind : Kinds)
        for (const auto& [Width, Height] : Sizes)
            for (const bool Interlaced : {false, true}) {
                SCOPED_TRACE("colour type " + std::to_string(Kind.ColourType) + ", " +
                             std::to_string(Kind.Depth) + " bits, " + std::to_string(Width) +
                             " x " + std::to_string(Height) + (Interlaced ? ", interlaced" : "") +
                             (Kind.Transparency ? ", tRNS" : ""));
                TPngPicture Picture;
                Picture.Width = Width;
                Picture.Height = Height;
                Picture.ColourType = Kind.ColourType;
                Picture.Depth = Kind.Depth;
                Picture.Interlaced = Interlaced;
                const std::uint32_t Levels = 1u << Kind.Depth;
                const std::size_t Count = std::size_t(Width) * Height * Channels(Kind.ColourType);
                for (std::size_t I = 0; I < Count; ++I)
                    // Few distinct values, so that colour keys match more than one pixel.
                    Picture.Samples.push_back(static_cast<std::uint16_t>(
                        Kind.Depth == 16 ? (Random() % 3) * 0x7F13 + Random() % 256
                                         : Random() % Levels));
                if (Kind.ColourType == PNG_COLOR_TYPE_PALETTE) {
                    for (std::uint32_t I = 0; I < Levels; ++I)
                        Picture.Palette.push_back(png_color{static_cast<png_byte>(Random()),
                                                            static_cast<png_byte>(Random()),
                                                            static_cast<png_byte>(Random())});
                    if (Kind.Transparency) // fewer entries than colours: the rest are opaque
                        for (std::uint32_t I = 0; I < Levels / 2; ++I)
                            Picture.PaletteAlpha.push_back(static_cast<png_byte>(Random()));
                } else {
                    Picture.ColourKey = Kind.Transparency;
                }
                const TWorkingImage Result = ReadPngMemory(WritePng(Picture));
                ASSERT_EQ(Result.Image.size(), QSize(Width, Height));
                for (int Y = 0; Y < Height; ++Y)
                    for (int X = 0; X < Width; ++X) {
                        const auto Want = ExpectedPixel(Picture, std::size_t(Y) * Width + X);
                        const std::uint8_t* Got = Result.Image.constScanLine(Y) + X * 3;
                        ASSERT_TRUE(std::equal(Want.begin(), Want.end(), Got))
                            << "pixel " << X << "," << Y << ": got " << int(Got[0]) << " "
                            << int(Got[1]) << " " << int(Got[2]) << ", want " << int(Want[0]) << " "
                            << int(Want[1]) << " " << int(Want[2]);
                    }
            }
}
