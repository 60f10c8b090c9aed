#include "CorpusSupport.h"
#include "image/readers/Readers.h"

#include <gtest/gtest.h>
#include <initializer_list>
#include <vector>

namespace korvane {
namespace {

using TBytes = std::vector<std::uint8_t>;
using TRgb = std::array<int, 3>;

void Put16(TBytes& B, std::size_t At, std::uint32_t V) {
    B[At] = V & 0xFF;
    B[At + 1] = (V >> 8) & 0xFF;
}

void Put32(TBytes& B, std::size_t At, std::uint32_t V) {
    for (int I = 0; I < 4; ++I)
        B[At + I] = (V >> (8 * I)) & 0xFF;
}

struct TBmpSpec {
    std::uint32_t HeaderSize = 40;
    std::int32_t Width = 1;
    std::int32_t Height = 1;
    std::uint16_t Bits = 24;
    std::uint32_t Compression = 0;
    std::uint32_t ColorsUsed = 0;
    // R, G, B[, A]: inside a header of 52 bytes or more, else after the header.
    std::vector<std::uint32_t> Masks;
    TBytes Palette; // raw 4-byte entries
    TBytes Pixels;
};

TBytes MakeBmp(const TBmpSpec& S) {
    TBytes Header(S.HeaderSize, 0);
    Put32(Header, 0, S.HeaderSize);
    Put32(Header, 4, static_cast<std::uint32_t>(S.Width));
    Put32(Header, 8, static_cast<std::uint32_t>(S.Height));
    Put16(Header, 12, 1);
    Put16(Header, 14, S.Bits);
    Put32(Header, 16, S.Compression);
    Put32(Header, 32, S.ColorsUsed);
    TBytes Extra;
    for (std::size_t I = 0; I < S.Masks.size(); ++I) {
        if (S.HeaderSize >= 52) {
            Put32(Header, 40 + 4 * I, S.Masks[I]);
        } else {
            Extra.resize(Extra.size() + 4);
            Put32(Extra, Extra.size() - 4, S.Masks[I]);
        }
    }
    TBytes File(14, 0);
    File[0] = 'B';
    File[1] = 'M';
    File.insert(File.end(), Header.begin(), Header.end());
    File.insert(File.end(), Extra.begin(), Extra.end());
    File.insert(File.end(), S.Palette.begin(), S.Palette.end());
    Put32(File, 10, static_cast<std::uint32_t>(File.size()));
    File.insert(File.end(), S.Pixels.begin(), S.Pixels.end());
    Put32(File, 2, static_cast<std::uint32_t>(File.size()));
    return File;
}

TWorkingImage Decode(const TBytes& File) {
    TByteReader Input(File.data(), File.size(), "BMP");
    return ReadBMP(Input);
}

// Pixels in rows from the top.
void ExpectPixels(const QImage& Image, int Width, const std::vector<TRgb>& Expected) {
    ASSERT_EQ(Image.format(), QImage::Format_RGB888);
    ASSERT_EQ(Image.width(), Width);
    ASSERT_EQ(Image.width() * Image.height(), static_cast<int>(Expected.size()));
    for (std::size_t I = 0; I < Expected.size(); ++I) {
        const std::uint8_t* P = Image.constScanLine(static_cast<int>(I) / Width) + I % Width * 3;
        EXPECT_EQ((TRgb{P[0], P[1], P[2]}), Expected[I]) << "pixel " << I;
    }
}

TBytes Palette16() {
    TBytes P;
    for (int I = 0; I < 16; ++I)
        P.insert(P.end(), {std::uint8_t(I), std::uint8_t(16 * I), std::uint8_t(255 - I), 0});
    return P;
}

TRgb Vga(int I) {
    return {255 - I, 16 * I, I};
}

TEST(BmpReader, CorpusFilesMatchTheirReferences) {
    testing::CheckCorpusFormat("BMP");
}

// Bit-field layouts the corpus does not hold: narrow and wide channels, an alpha channel
// that is zero everywhere, and a V5 header whose alpha mask does not apply to BI_RGB.
TEST(BmpReader, DecodesBitFieldLayouts) {
    struct TCase {
        const char* Name;
        TBmpSpec Spec;
        std::vector<TRgb> Expected;
    };
    const std::vector<TCase> Cases = {
        {"16-bit ARGB 4-4-4-4, V5 header",
         {124, 2, 1, 16, 3, 0, {0x0F00, 0x00F0, 0x000F, 0xF000}, {}, {0x00, 0x8F, 0x5A, 0xF0}},
         // alpha 8/15 over white; alpha 15 opaque
         {{255, 119, 119}, {0, 85, 170}}},
        {"32-bit 2-10-10-10, 40-byte header and masks",
         {40, 1, 1, 32, 3, 0, {0x3FF00000, 0x000FFC00, 0x000003FF}, {}, {0x00, 0x00, 0xF8, 0x3F}},
         {{255, 128, 0}}},
        {"32-bit alpha mask, alpha zero everywhere",
         {124, 2, 1, 32, 3, 0, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, {}, {1, 2, 3, 0, 4, 5, 6, 0}},
         {{3, 2, 1}, {6, 5, 4}}},
        {"32-bit BI_RGB with an alpha mask in its V5 header",
         {124, 2, 1, 32, 0, 0, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, {}, {1, 2, 3, 0, 4, 5, 6, 9}},
         {{3, 2, 1}, {6, 5, 4}}},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        const TWorkingImage Result = Decode(MakeBmp(C.Spec));
        EXPECT_EQ(Result.PixelFormat, EPixelFormat::TrueColor);
        ExpectPixels(Result.Image, C.Spec.Width, C.Expected);
    }
}

// An OS/2 2.x header (64 bytes) with a two-colour palette in a 4-bit image: indices past
// the palette are black; the last row may lack its padding.
TEST(BmpReader, ShortPaletteUnderAnOs2Header) {
    TBmpSpec S{64, 3, 2, 4, 0, 2, {}, {10, 20, 30, 0, 40, 50, 60, 0}, {}};
    S.Pixels = {0x01, 0x50, 0, 0, 0x10, 0x00};
    const TWorkingImage Result = Decode(MakeBmp(S));
    EXPECT_EQ(Result.PixelFormat, EPixelFormat::Color16);
    ExpectPixels(Result.Image, 3,
                 {{60, 50, 40}, {30, 20, 10}, {30, 20, 10}, {30, 20, 10}, {60, 50, 40}, {0, 0, 0}});
}

// RLE4: an odd absolute run with its pad byte, alternating encoded nibbles, a delta, a run
// past the right edge (dropped, not wrapped) and a stream that ends after the last row
// without an end-of-bitmap escape.
TEST(BmpReader, DecodesRle4Escapes) {
    TBmpSpec S{40, 5, 2, 4, 2, 0, {}, Palette16(), {}};
    S.Pixels = {0x00, 0x05, 0x12, 0x34, 0x50, 0x00, // absolute 1 2 3 4 5, padded
                0x00, 0x00,                         // end of line
                0x00, 0x02, 0x01, 0x00,             // delta: one pixel right
                0x03, 0x78,                         // 7 8 7
                0x0A, 0x9A,                         // 9 and nine pixels past the edge
                0x00, 0x00};
    const TWorkingImage Result = Decode(MakeBmp(S));
    EXPECT_EQ(Result.PixelFormat, EPixelFormat::Color16);
    ExpectPixels(Result.Image, 5,
                 {{255, 255, 255},
                  Vga(7),
                  Vga(8),
                  Vga(7),
                  Vga(9), //
                  Vga(1),
                  Vga(2),
                  Vga(3),
                  Vga(4),
                  Vga(5)});
}

TEST(BmpReader, RefusesMalformedHeadersAndData) {
    struct TCase {
        const char* Name;
        TBmpSpec Spec;
    };
    const std::vector<TCase> Cases = {
        {"RLE8 claiming 60000 x 4000 in four bytes",
         {40, 60000, 4000, 8, 1, 0, {}, Palette16(), {0, 0, 0, 1}}},
        {"RLE8 stream ending after one of three rows",
         {40, 2, 3, 8, 1, 0, {}, Palette16(), {2, 1, 0, 0}}},
        {"RLE8 compression with 24 bits", {40, 1, 1, 24, 1, 0, {}, {}, {0, 0, 0, 1}}},
        {"7 bits per pixel", {40, 1, 1, 7, 0, 0, {}, {}, {0, 0, 0, 0}}},
        {"a mask that is not one run of bits",
         {40, 1, 1, 16, 3, 0, {0xF0F0, 0x0F00, 0x000F}, {}, {0, 0, 0, 0}}},
        {"an unknown header size", {200, 1, 1, 24, 0, 0, {}, {}, {0, 0, 0, 0}}},
        {"a negative width", {40, -4, 1, 24, 0, 0, {}, {}, TBytes(16)}},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        try {
            Decode(MakeBmp(C.Spec));
            ADD_FAILURE() << "decoded without an error";
        } catch (const EImageError& Error) {
            EXPECT_EQ(std::string(Error.what()).rfind("BMP ", 0), 0u) << Error.what();
        }
    }
}

} // namespace
} // namespace korvane
