#include "CorpusSupport.h"
#include "image/ImageFormats.h"
#include "image/readers/Readers.h"

#include <gtest/gtest.h>
#include <vector>

using namespace korvane;
using namespace korvane::testing;

namespace {

using TBytes = std::vector<std::uint8_t>;

struct TPcx {
    std::uint8_t Version = 5;
    std::uint8_t Bits = 8;
    std::uint8_t Planes = 1;
    std::uint16_t Width = 2;
    std::uint16_t Height = 1;
    std::uint16_t BytesPerLine = 2;
    TBytes Palette16 = TBytes(48, 0);
    TBytes Data; // run-length encoded
    TBytes Tail;
};

void Put16(TBytes& B, unsigned V) {
    B.push_back(static_cast<std::uint8_t>(V));
    B.push_back(static_cast<std::uint8_t>(V >> 8));
}

TBytes Encode(const TPcx& P) {
    TBytes B{0x0A, P.Version, 1, P.Bits};
    Put16(B, 0);
    Put16(B, 0);
    Put16(B, P.Width - 1u);
    Put16(B, P.Height - 1u);
    Put16(B, 72);
    Put16(B, 72);
    B.insert(B.end(), P.Palette16.begin(), P.Palette16.end());
    B.push_back(0);
    B.push_back(P.Planes);
    Put16(B, P.BytesPerLine);
    B.resize(128, 0);
    B.insert(B.end(), P.Data.begin(), P.Data.end());
    B.insert(B.end(), P.Tail.begin(), P.Tail.end());
    return B;
}

// Bytes as literals, escaping those that look like run counts.
TBytes Literal(const TBytes& Bytes) {
    TBytes Out;
    for (const std::uint8_t B : Bytes) {
        if (B >= 0xC0)
            Out.push_back(0xC1);
        Out.push_back(B);
    }
    return Out;
}

// The 0x0C marker and a palette whose entry i is (i, 255 - i, 7).
TBytes TrailingPalette() {
    TBytes B{0x0C};
    for (int I = 0; I < 256; ++I)
        B.insert(B.end(), {std::uint8_t(I), std::uint8_t(255 - I), 7});
    return B;
}

TWorkingImage Decode(const TBytes& Bytes) {
    TByteReader Input(Bytes.data(), Bytes.size(), "PCX");
    return ReadPCX(Input);
}

std::string ErrorOf(const TBytes& Bytes) {
    try {
        Decode(Bytes);
    } catch (const EImageError& Error) {
        return Error.what();
    }
    return "no error";
}

std::vector<QRgb> Row(const QImage& Image, int Y) {
    std::vector<QRgb> Result;
    for (int X = 0; X < Image.width(); ++X)
        Result.push_back(Image.pixel(X, Y) & 0xFFFFFF);
    return Result;
}

} // namespace

TEST(PcxReader, DecodesEveryCorpusFile) {
    CheckCorpusFormat("PCX");
}

TEST(PcxReader, DecodesTheFirstPageOfEveryCorpusDcx) {
    CheckCorpusFormat("DCX");
}

TEST(PcxReader, MalformedCorpusFilesNameTheirFault) {
    if (!CorpusAvailable())
        GTEST_SKIP();
    const std::vector<std::pair<std::string, std::string>> Cases{
        {"bad/pcx_truncated.pcx", "PCX file is truncated."},
        {"bad/pcx_bad_magic.pcx", "signature"},
        {"bad/pcx_huge_dims.pcx", "too large"},
        {"bad/pcx_negative_dims.pcx", "invalid dimensions"},
        {"bad/dcx_truncated.dcx", "DCX file is truncated."},
        {"bad/dcx_bad_magic.dcx", "signature"},
        {"bad/dcx_no_pages.dcx", "no pages"},
        {"bad/dcx_page_offset_past_eof.dcx", "beyond the end of the file"},
    };
    CheckMalformedMessages(Cases);
}

TEST(PcxReader, MonochromeIgnoresTheHeaderPaletteAndRowPadding) {
    TPcx P;
    P.Bits = 1;
    P.Width = 10;
    P.Height = 2;
    P.Palette16 = TBytes(48, 0);
    std::fill(P.Palette16.begin(), P.Palette16.begin() + 3, 255); // entry 0 white, entry 1 black
    // Padding bits and the padding byte are set; they must not leak into the next row.
    P.Data = Literal({0xB0, 0x7F, 0x00, 0xFF});
    const TWorkingImage W = Decode(Encode(P));
    const QRgb K = 0x000000, Wh = 0xFFFFFF;
    EXPECT_EQ(Row(W.Image, 0), (std::vector<QRgb>{Wh, K, Wh, Wh, K, K, K, K, K, Wh}));
    EXPECT_EQ(Row(W.Image, 1), (std::vector<QRgb>{K, K, K, K, K, K, K, K, Wh, Wh}));
    EXPECT_EQ(W.PixelFormat, EPixelFormat::BlackWhite);
}

TEST(PcxReader, PaletteLayouts) {
    // Header palette entry i is (16·i, 255 − 16·i, i).
    TBytes Header;
    for (int I = 0; I < 16; ++I)
        Header.insert(Header.end(),
                      {std::uint8_t(16 * I), std::uint8_t(255 - 16 * I), std::uint8_t(I)});
    const auto Entry = [](unsigned I) { return qRgb(16 * I, 255 - 16 * I, I) & 0xFFFFFF; };
    struct TCase {
        const char* Name;
        std::uint8_t Bits, Planes;
        std::uint16_t Width, BytesPerLine;
        TBytes Line;
        std::vector<QRgb> Expected;
        EPixelFormat Format;
    };
    const TCase Cases[]{
        {"EGA, 4 planes",
         1,
         4,
         2,
         2,
         {0x80, 0, 0x40, 0, 0x80, 0, 0x40, 0},
         {Entry(5), Entry(10)},
         EPixelFormat::Color16},
        {"2 planes", 1, 2, 2, 1, {0x80, 0xC0}, {Entry(3), Entry(2)}, EPixelFormat::Color16},
        {"packed 4-bit",
         4,
         1,
         3,
         2,
         {0x5A, 0x3F},
         {Entry(5), Entry(10), Entry(3)},
         EPixelFormat::Color16},
        {"packed 2-bit",
         2,
         1,
         4,
         2,
         {0x1B, 0xFF},
         {Entry(0), Entry(1), Entry(2), Entry(3)},
         EPixelFormat::Color16},
        {"RGB planes, odd bytes per line",
         8,
         3,
         1,
         1,
         {10, 20, 30},
         {0x0A141E},
         EPixelFormat::TrueColor},
        {"RGBA planes over white",
         8,
         4,
         1,
         1,
         {200, 0, 0, 128},
         {0xE37F7F},
         EPixelFormat::TrueColor},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        TPcx P;
        P.Bits = C.Bits;
        P.Planes = C.Planes;
        P.Width = C.Width;
        P.BytesPerLine = C.BytesPerLine;
        P.Palette16 = Header;
        P.Data = Literal(C.Line);
        const TWorkingImage W = Decode(Encode(P));
        EXPECT_EQ(Row(W.Image, 0), C.Expected);
        EXPECT_EQ(W.PixelFormat, C.Format);
    }
}

TEST(PcxReader, RunsCarryOverRowsAndPaddingIsDropped) {
    TPcx P;
    P.Width = 2;
    P.Height = 3;
    P.BytesPerLine = 3;
    // A run of 4 fills row 0 with its padding byte and starts row 1; a run past the last row
    // is clipped.
    P.Data = {0xC4, 5, 7, 6, 0xFF, 9};
    P.Tail = TrailingPalette();
    const TWorkingImage W = Decode(Encode(P));
    const auto E = [](unsigned I) { return qRgb(I, 255 - I, 7) & 0xFFFFFF; };
    EXPECT_EQ(Row(W.Image, 0), (std::vector<QRgb>{E(5), E(5)}));
    EXPECT_EQ(Row(W.Image, 1), (std::vector<QRgb>{E(5), E(7)}));
    EXPECT_EQ(Row(W.Image, 2), (std::vector<QRgb>{E(9), E(9)}));
    EXPECT_EQ(W.PixelFormat, EPixelFormat::Color256);
}

TEST(PcxReader, FindsThe256ColourPalette) {
    TPcx P;
    P.Data = {3, 0xC1, 250};
    const auto E = [](unsigned I) { return qRgb(I, 255 - I, 7) & 0xFFFFFF; };

    P.Tail = TrailingPalette();
    P.Tail.insert(P.Tail.end(), {1, 2, 3}); // bytes after the palette
    EXPECT_EQ(Row(Decode(Encode(P)).Image, 0), (std::vector<QRgb>{E(3), E(250)}));

    P.Tail.clear(); // no palette: grey levels
    const TWorkingImage Grey = Decode(Encode(P));
    EXPECT_EQ(Row(Grey.Image, 0), (std::vector<QRgb>{0x030303, 0xFAFAFA}));
    EXPECT_EQ(Grey.PixelFormat, EPixelFormat::Gray256);

    P.Tail = TrailingPalette();
    P.Tail.resize(300); // the palette is cut short
    EXPECT_EQ(ErrorOf(Encode(P)), "PCX file is truncated.");
}

TEST(PcxReader, RefusesHeadersTheDataCannotBack) {
    TPcx P;
    P.Width = 5000;
    P.Height = 5000;
    P.BytesPerLine = 5000;
    P.Data = TBytes(200, 0xFF);
    EXPECT_EQ(ErrorOf(Encode(P)), "PCX file is truncated.");

    P.Width = 9;
    P.BytesPerLine = 1;
    EXPECT_NE(ErrorOf(Encode(P)).find("bytes per line"), std::string::npos);

    P.Bits = 4;
    P.Planes = 4;
    EXPECT_NE(ErrorOf(Encode(P)).find("not supported"), std::string::npos);
}
