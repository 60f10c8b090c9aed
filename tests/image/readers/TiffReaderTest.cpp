#include "CorpusSupport.h"
#include "image/ImageFormats.h"
#include "image/readers/Readers.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <tiffio.h>
#include <unistd.h>
#include <vector>

using namespace korvane;
using namespace korvane::testing;

namespace {

TWorkingImage ReadTiffMemory(const std::vector<std::uint8_t>& Bytes) {
    TByteReader Input(Bytes.data(), Bytes.size(), "TIFF");
    return ReadTIFF(Input);
}

// A TIFF written by libtiff from decoded sample data: Planes holds one buffer of packed
// rows for contiguous data, or one per sample for separate planes.
struct TTiffCase {
    const char* Name;
    std::uint32_t Width;
    std::uint32_t Height;
    std::uint16_t Photometric;
    std::uint16_t Bits;
    std::uint16_t SamplesPerPixel;
    std::vector<std::vector<std::uint8_t>> Planes;
    std::vector<std::uint8_t> Expected; // RGB rows; empty when the file must be refused
    std::uint16_t SampleFormat = SAMPLEFORMAT_UINT;
    std::vector<std::uint16_t> Extra = {};
    std::uint16_t Compression = COMPRESSION_NONE;
    std::uint32_t RowsPerStrip = 1;
    std::uint32_t Tile = 0; // square tiles of this size instead of strips
    std::vector<std::uint16_t> Colormap = {};
    const char* Mode = "w"; // "wb": big-endian
    int Tolerance = 0;
};

std::vector<std::uint8_t> WriteTiff(const TTiffCase& Case) {
    // Tests run in parallel processes: every process writes its own file.
    const std::string Path =
        ::testing::TempDir() + "/korvane_tiff_case_" + std::to_string(::getpid()) + ".tif";
    TIFF* Tif = TIFFOpen(Path.c_str(), Case.Mode);
    EXPECT_TRUE(Tif);
    const bool Separate = Case.Planes.size() > 1;
    TIFFSetField(Tif, TIFFTAG_IMAGEWIDTH, Case.Width);
    TIFFSetField(Tif, TIFFTAG_IMAGELENGTH, Case.Height);
    TIFFSetField(Tif, TIFFTAG_PHOTOMETRIC, Case.Photometric);
    TIFFSetField(Tif, TIFFTAG_BITSPERSAMPLE, Case.Bits);
    TIFFSetField(Tif, TIFFTAG_SAMPLESPERPIXEL, Case.SamplesPerPixel);
    TIFFSetField(Tif, TIFFTAG_SAMPLEFORMAT, Case.SampleFormat);
    TIFFSetField(Tif, TIFFTAG_COMPRESSION, Case.Compression);
    TIFFSetField(Tif, TIFFTAG_PLANARCONFIG, Separate ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
    if (Case.Photometric == PHOTOMETRIC_YCBCR && Case.Compression == COMPRESSION_JPEG)
        TIFFSetField(Tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB); // 2 x 2 subsampling
    else if (Case.Photometric == PHOTOMETRIC_YCBCR)
        TIFFSetField(Tif, TIFFTAG_YCBCRSUBSAMPLING, 1, 1);
    if (!Case.Extra.empty())
        TIFFSetField(Tif, TIFFTAG_EXTRASAMPLES, static_cast<std::uint16_t>(Case.Extra.size()),
                     Case.Extra.data());
    if (!Case.Colormap.empty()) {
        const std::size_t N = Case.Colormap.size() / 3;
        std::vector<std::uint16_t> Map = Case.Colormap;
        TIFFSetField(Tif, TIFFTAG_COLORMAP, Map.data(), Map.data() + N, Map.data() + 2 * N);
    }
    const std::size_t PlaneSamples = Separate ? 1 : Case.SamplesPerPixel;
    const std::size_t RowBytes = (std::size_t(Case.Width) * PlaneSamples * Case.Bits + 7) / 8;
    for (std::size_t P = 0; P < Case.Planes.size(); ++P)
        EXPECT_EQ(Case.Planes[P].size(), RowBytes * Case.Height) << Case.Name;
    if (Case.Tile) {
        TIFFSetField(Tif, TIFFTAG_TILEWIDTH, Case.Tile);
        TIFFSetField(Tif, TIFFTAG_TILELENGTH, Case.Tile);
        const std::size_t TileRow = static_cast<std::size_t>(TIFFTileRowSize(Tif));
        std::vector<std::uint8_t> Tile(static_cast<std::size_t>(TIFFTileSize(Tif)));
        const std::size_t BytesPerPixel = PlaneSamples * Case.Bits / 8; // whole bytes here
        for (std::uint16_t P = 0; P < Case.Planes.size(); ++P)
            for (std::uint32_t Y0 = 0; Y0 < Case.Height; Y0 += Case.Tile)
                for (std::uint32_t X0 = 0; X0 < Case.Width; X0 += Case.Tile) {
                    std::fill(Tile.begin(), Tile.end(), 0);
                    for (std::uint32_t Y = Y0; Y < std::min(Case.Height, Y0 + Case.Tile); ++Y)
                        for (std::uint32_t X = X0; X < std::min(Case.Width, X0 + Case.Tile); ++X)
                            std::memcpy(&Tile[(Y - Y0) * TileRow + (X - X0) * BytesPerPixel],
                                        &Case.Planes[P][Y * RowBytes + X * BytesPerPixel],
                                        BytesPerPixel);
                    EXPECT_GT(TIFFWriteTile(Tif, Tile.data(), X0, Y0, 0, P), 0);
                }
    } else {
        TIFFSetField(Tif, TIFFTAG_ROWSPERSTRIP, Case.RowsPerStrip);
        for (std::uint16_t P = 0; P < Case.Planes.size(); ++P)
            for (std::uint32_t Y = 0; Y < Case.Height; ++Y) {
                std::vector<std::uint8_t> Row(Case.Planes[P].begin() + Y * RowBytes,
                                              Case.Planes[P].begin() + (Y + 1) * RowBytes);
                EXPECT_EQ(TIFFWriteScanline(Tif, Row.data(), Y, P), 1);
            }
    }
    TIFFClose(Tif);
    std::vector<std::uint8_t> Bytes = ReadFileBytes(Path);
    std::remove(Path.c_str());
    return Bytes;
}

template <class T> std::vector<std::uint8_t> Bytes(std::initializer_list<T> Values) {
    std::vector<std::uint8_t> Out(Values.size() * sizeof(T));
    std::memcpy(Out.data(), std::data(Values), Out.size());
    return Out;
}

std::vector<std::uint8_t> Repeat(std::initializer_list<std::uint8_t> Pixel, std::size_t Count) {
    std::vector<std::uint8_t> Out;
    for (std::size_t I = 0; I < Count; ++I)
        Out.insert(Out.end(), Pixel);
    return Out;
}

std::vector<std::uint8_t> Grey(std::initializer_list<int> Levels) {
    std::vector<std::uint8_t> Out;
    for (int G : Levels)
        Out.insert(Out.end(), 3, static_cast<std::uint8_t>(G));
    return Out;
}

} // namespace

TEST(TiffReader, Corpus) {
    CheckCorpusFormat("TIFF");
}

// libtiff reads memory input as a mapped file and file input through the callbacks: both
// must give the same pixels and the same failures.
TEST(TiffReader, MemoryAndFileAgree) {
    CheckMemoryAndFileAgree("TIFF", ReadTIFF);
}

TEST(TiffReader, OneBitImagesArePureBlackAndWhite) {
    if (!CorpusAvailable())
        GTEST_SKIP();
    for (const char* File :
         {"tiff/bw_miniswhite.tif", "tiff/bw_minisblack_packbits.tif", "tiff/bw_g4.tif"}) {
        SCOPED_TRACE(File);
        const TWorkingImage Result = LoadImageFile(CorpusPath(File));
        EXPECT_EQ(Result.PixelFormat, EPixelFormat::BlackWhite);
        int Black = 0, White = 0;
        for (int Y = 0; Y < Result.Image.height(); ++Y) {
            const std::uint8_t* Row = Result.Image.constScanLine(Y);
            for (int X = 0; X < Result.Image.width() * 3; X += 3) {
                const bool IsBlack = Row[X] == 0 && Row[X + 1] == 0 && Row[X + 2] == 0;
                const bool IsWhite = Row[X] == 255 && Row[X + 1] == 255 && Row[X + 2] == 255;
                ASSERT_TRUE(IsBlack || IsWhite) << "pixel " << X / 3 << "," << Y;
                (IsBlack ? Black : White)++;
            }
        }
        EXPECT_GT(Black, 0);
        EXPECT_GT(White, 0);
    }
}

// Layouts the corpus does not hold, each written by libtiff and checked pixel by pixel.
TEST(TiffReader, SampleLayouts) {
    const std::vector<TTiffCase> Cases = {
        {"CMYK, Adobe formula",
         4,
         1,
         PHOTOMETRIC_SEPARATED,
         8,
         4,
         {{0, 0, 0, 0, 255, 0, 0, 0, 0, 0, 0, 255, 128, 64, 32, 16}},
         {255, 255, 255, 0, 255, 255, 0, 0, 0, 119, 179, 209}},
        {"RGBA associated alpha: c + 255 - a",
         3,
         1,
         PHOTOMETRIC_RGB,
         8,
         4,
         {{100, 50, 0, 128, 200, 200, 200, 100, 0, 0, 0, 0}},
         {227, 177, 127, 255, 255, 255, 255, 255, 255},
         SAMPLEFORMAT_UINT,
         {EXTRASAMPLE_ASSOCALPHA}},
        {"16-bit min-is-white keeps the high byte",
         3,
         1,
         PHOTOMETRIC_MINISWHITE,
         16,
         1,
         {Bytes<std::uint16_t>({0x0000, 0xFFFF, 0x12FF})},
         Grey({255, 0, 0xED})},
        {"16-bit RGB, big-endian file",
         2,
         1,
         PHOTOMETRIC_RGB,
         16,
         3,
         {Bytes<std::uint16_t>({0x01FF, 0x80FF, 0xFE01, 0xFFFF, 0x0080, 0x7F7F})},
         {0x01, 0x80, 0xFE, 0xFF, 0x00, 0x7F},
         SAMPLEFORMAT_UINT,
         {},
         COMPRESSION_LZW,
         1,
         0,
         {},
         "wb"},
        {"2-bit grey", 4, 1, PHOTOMETRIC_MINISBLACK, 2, 1, {{0b00011011}}, Grey({0, 85, 170, 255})},
        {"4-bit grey with alpha, packed together",
         3,
         1,
         PHOTOMETRIC_MINISBLACK,
         4,
         2,
         {{0xFF, 0x00, 0x08}},
         Grey({255, 255, 119}),
         SAMPLEFORMAT_UINT,
         {EXTRASAMPLE_UNASSALPHA}},
        {"RGB with an unspecified extra sample",
         2,
         1,
         PHOTOMETRIC_RGB,
         8,
         4,
         {{1, 2, 3, 99, 4, 5, 6, 0}},
         {1, 2, 3, 4, 5, 6},
         SAMPLEFORMAT_UINT,
         {EXTRASAMPLE_UNSPECIFIED}},
        {"12-bit grey",
         2,
         1,
         PHOTOMETRIC_MINISBLACK,
         12,
         1,
         {{0xFF, 0xF8, 0x00}},
         Grey({255, 128})},
        {"signed 8-bit grey",
         3,
         1,
         PHOTOMETRIC_MINISBLACK,
         8,
         1,
         {Bytes<std::int8_t>({-128, 0, 127})},
         Grey({0, 128, 255}),
         SAMPLEFORMAT_INT},
        {"floating point grey",
         3,
         1,
         PHOTOMETRIC_MINISBLACK,
         32,
         1,
         {Bytes<float>({-0.5f, 0.5f, 2.0f})},
         Grey({0, 128, 255}),
         SAMPLEFORMAT_IEEEFP},
        {"2-bit palette",
         3,
         1,
         PHOTOMETRIC_PALETTE,
         2,
         1,
         {{0b01101100}},
         {0x10, 0x20, 0x30, 0xA0, 0xB0, 0xC0, 0xFF, 0xFF, 0xFF},
         SAMPLEFORMAT_UINT,
         {},
         COMPRESSION_NONE,
         1,
         0,
         {0, 0x1000, 0xA0FF, 0xFFFF, 0, 0x2000, 0xB000, 0xFFFF, 0, 0x3000, 0xC000, 0xFFFF}},
        {"8-bit values in the colour map",
         2,
         1,
         PHOTOMETRIC_PALETTE,
         1,
         1,
         {{0b01000000}},
         {0, 0, 0, 200, 100, 50},
         SAMPLEFORMAT_UINT,
         {},
         COMPRESSION_NONE,
         1,
         0,
         {0, 200, 0, 100, 0, 50}},
        {"separate planes, unassociated alpha, LZW strips",
         2,
         3,
         PHOTOMETRIC_RGB,
         8,
         4,
         {{10, 20, 30, 40, 50, 60},
          {11, 21, 31, 41, 51, 61},
          {12, 22, 32, 42, 52, 62},
          {255, 0, 255, 128, 255, 255}},
         {10, 11, 12, 255, 255, 255, 30, 31, 32, 147, 148, 148, 50, 51, 52, 60, 61, 62},
         SAMPLEFORMAT_UINT,
         {EXTRASAMPLE_UNASSALPHA},
         COMPRESSION_LZW,
         2},
        {"uncompressed YCbCr, through the RGBA interface",
         3,
         1,
         PHOTOMETRIC_YCBCR,
         8,
         3,
         {{128, 128, 128, 255, 128, 128, 0, 128, 128}},
         Grey({128, 255, 0}),
         SAMPLEFORMAT_UINT,
         {},
         COMPRESSION_NONE,
         1,
         0,
         {},
         "w",
         1},
        {"JPEG YCbCr in whole strips, rows without padding",
         16,
         16,
         PHOTOMETRIC_YCBCR,
         8,
         3,
         {Repeat({200, 100, 50}, 16 * 16)},
         Repeat({200, 100, 50}, 16 * 16),
         SAMPLEFORMAT_UINT,
         {},
         COMPRESSION_JPEG,
         16,
         0,
         {},
         "w",
         3},
        {"two-ink separated image", 1, 1, PHOTOMETRIC_SEPARATED, 8, 2, {{0, 0}}, {}},
    };
    for (const TTiffCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        const std::vector<std::uint8_t> File = WriteTiff(Case);
        if (Case.Expected.empty()) {
            EXPECT_THROW(ReadTiffMemory(File), EImageError);
            continue;
        }
        const TWorkingImage Result = ReadTiffMemory(File);
        ASSERT_EQ(Result.Image.width(), static_cast<int>(Case.Width));
        ASSERT_EQ(Result.Image.height(), static_cast<int>(Case.Height));
        for (std::uint32_t Y = 0; Y < Case.Height; ++Y)
            for (std::uint32_t I = 0; I < Case.Width * 3; ++I)
                EXPECT_NEAR(Result.Image.constScanLine(static_cast<int>(Y))[I],
                            Case.Expected[Y * Case.Width * 3 + I], Case.Tolerance)
                    << "row " << Y << ", byte " << I;
    }
}

TEST(TiffReader, TiledSeparatePlanesWithPartialTiles) {
    // 20 x 18 in 16 x 16 tiles: partial tiles on the right and at the bottom.
    TTiffCase Case{"tiled", 20, 18, PHOTOMETRIC_RGB, 8, 3, {{}, {}, {}}, {}};
    Case.Tile = 16;
    Case.Compression = COMPRESSION_ADOBE_DEFLATE;
    for (std::uint32_t Y = 0; Y < Case.Height; ++Y)
        for (std::uint32_t X = 0; X < Case.Width; ++X) {
            const std::uint8_t Colour[3] = {static_cast<std::uint8_t>(X * 12),
                                            static_cast<std::uint8_t>(Y * 14),
                                            static_cast<std::uint8_t>(X + Y)};
            for (int P = 0; P < 3; ++P)
                Case.Planes[P].push_back(Colour[P]);
            Case.Expected.insert(Case.Expected.end(), Colour, Colour + 3);
        }
    const TWorkingImage Result = ReadTiffMemory(WriteTiff(Case));
    ASSERT_EQ(Result.Image.size(), QSize(20, 18));
    for (int Y = 0; Y < 18; ++Y)
        EXPECT_EQ(std::memcmp(Result.Image.constScanLine(Y), &Case.Expected[Y * 60], 60), 0)
            << "row " << Y;
}
