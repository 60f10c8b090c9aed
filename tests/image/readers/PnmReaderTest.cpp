#include "CorpusSupport.h"
#include "image/ImageFormats.h"
#include "image/readers/Readers.h"

#include <gtest/gtest.h>
#include <vector>

using namespace korvane;
using namespace korvane::testing;

namespace {

TWorkingImage Decode(const std::string& Bytes) {
    TByteReader Input(reinterpret_cast<const std::uint8_t*>(Bytes.data()), Bytes.size(), "PNM");
    return ReadPNM(Input);
}

std::string ErrorOf(const std::string& Bytes) {
    try {
        Decode(Bytes);
    } catch (const EImageError& Error) {
        return Error.what();
    }
    return "no error";
}

// Pixels row by row.
std::vector<QRgb> Pixels(const QImage& Image) {
    std::vector<QRgb> Result;
    for (int Y = 0; Y < Image.height(); ++Y)
        for (int X = 0; X < Image.width(); ++X)
            Result.push_back(Image.pixel(X, Y) & 0xFFFFFF);
    return Result;
}

constexpr QRgb K = 0x000000;
constexpr QRgb W = 0xFFFFFF;

} // namespace

TEST(PnmReader, DecodesEveryCorpusFile) {
    CheckCorpusFormat("PNM");
}

TEST(PnmReader, MalformedCorpusFilesNameTheirFault) {
    if (!CorpusAvailable())
        GTEST_SKIP();
    const std::vector<std::pair<std::string, std::string>> Cases{
        {"bad/pnm_truncated.ppm", "PNM file is truncated."},
        {"bad/pnm_bad_magic.ppm", "unknown magic number \"P9\""},
        {"bad/pnm_huge_dims.ppm", "too large"},
        {"bad/pnm_zero_width.pgm", "invalid dimensions 0 x 10"},
        {"bad/pnm_maxval_zero.pgm", "maximum sample value 0"},
        {"bad/pnm_ascii_garbage.pgm", "a sample is not a number"},
    };
    CheckMalformedMessages(Cases);
}

TEST(PnmReader, DecodesSmallImages) {
    struct TCase {
        const char* Name;
        std::string Bytes;
        std::vector<QRgb> Expected;
        EPixelFormat Format;
    };
    const TCase Cases[]{
        {"P1, packed digits and comments everywhere",
         "P1\n# a comment\n3# after a number\n2\n010#inside the raster\n\n1 0\t1",
         {W, K, W, K, W, K},
         EPixelFormat::BlackWhite},
        {"P2, maxval 1000 scales; samples above it clamp",
         "P2 4 1 1000 0 500 1000 1001",
         {K, 0x808080, W, W},
         EPixelFormat::Gray256},
        {"P2, maxval 65535 keeps the high byte; CR LF",
         "P2\r\n2 1\r\n65535\r\n65535 511\r\n",
         {W, 0x010101},
         EPixelFormat::Gray256},
        {"P2, maxval 15", "P2 2 1 15 1 15", {0x111111, W}, EPixelFormat::Gray16},
        {"P3, tabs", "P3\t1 1\t15\t15\t0\t7", {0xFF0077}, EPixelFormat::TrueColor},
        {"P4, padding bits ignored",
         std::string("P4\n10 1\n") + "\xB0\x7F",
         {K, W, K, K, W, W, W, W, W, K},
         EPixelFormat::BlackWhite},
        {"P5, 16-bit samples with maxval 1000",
         std::string("P5 2 1 1000\n\x01\xF4\x03\xE9", 16),
         {0x808080, W},
         EPixelFormat::Gray256},
        {"P5, header ends in a comment",
         "P5 2 1 255#c\n\x0A\x14",
         {0x0A0A0A, 0x141414},
         EPixelFormat::Gray256},
        {"P6, maxval 15",
         std::string("P6 1 1 15\n\x0F\x00\x07", 13),
         {0xFF0077},
         EPixelFormat::TrueColor},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        const TWorkingImage Image = Decode(C.Bytes);
        EXPECT_EQ(Pixels(Image.Image), C.Expected);
        EXPECT_EQ(Image.PixelFormat, C.Format);
    }
}

TEST(PnmReader, RejectsDamagedHeadersAndRasters) {
    const std::vector<std::pair<std::string, std::string>> Cases{
        {"P6\n2 2\n255", "PNM file is truncated."},
        {"P5 2 1 255\n\x01", "PNM file is truncated."},
        {"P2 2 1 255 7", "PNM file is truncated."},
        {"P3 1 1 255 1 2", "PNM file is truncated."},
        {"P1 2 1 02", "not 0 or 1"},
        {"P5 2x1 255\n..", "the width is not a number"},
        {"P5 2 1 70000\n....", "maximum sample value 70000"},
        {"P6 99999999999999 1 255\n...", "too large"},
        {"P7\nWIDTH 1\n", "unknown magic number \"P7\""},
    };
    for (const auto& [Bytes, Message] : Cases) {
        SCOPED_TRACE(Bytes);
        EXPECT_NE(ErrorOf(Bytes).find(Message), std::string::npos) << ErrorOf(Bytes);
    }
}
