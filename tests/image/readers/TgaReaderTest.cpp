#include "CorpusSupport.h"
#include "image/ImageFormats.h"
#include "image/readers/Readers.h"

#include <gtest/gtest.h>
#include <vector>

using namespace korvane;
using namespace korvane::testing;

namespace {

using TBytes = std::vector<std::uint8_t>;

struct TTga {
    std::uint8_t Type = 2;
    std::uint16_t Width = 2;
    std::uint16_t Height = 2;
    std::uint8_t Bits = 24;
    std::uint8_t Descriptor = 0;
    std::uint16_t MapFirst = 0;
    std::uint16_t MapLength = 0;
    std::uint8_t MapBits = 0;
    TBytes Map;
    TBytes Id;
    TBytes Data;
    TBytes Tail;
};

void Put16(TBytes& B, unsigned V) {
    B.push_back(static_cast<std::uint8_t>(V));
    B.push_back(static_cast<std::uint8_t>(V >> 8));
}

TBytes Encode(const TTga& T) {
    TBytes B{static_cast<std::uint8_t>(T.Id.size()),
             T.MapLength ? std::uint8_t(1) : std::uint8_t(0), T.Type};
    Put16(B, T.MapFirst);
    Put16(B, T.MapLength);
    B.push_back(T.MapBits);
    Put16(B, 0);
    Put16(B, 0);
    Put16(B, T.Width);
    Put16(B, T.Height);
    B.push_back(T.Bits);
    B.push_back(T.Descriptor);
    for (const TBytes* Part : {&T.Id, &T.Map, &T.Data, &T.Tail})
        B.insert(B.end(), Part->begin(), Part->end());
    return B;
}

TWorkingImage Decode(const TBytes& Bytes) {
    TByteReader Input(Bytes.data(), Bytes.size(), "TGA");
    return ReadTGA(Input);
}

std::string ErrorOf(const TBytes& Bytes) {
    try {
        Decode(Bytes);
    } catch (const EImageError& Error) {
        return Error.what();
    }
    return "no error";
}

QRgb At(const QImage& Image, int X, int Y) {
    return Image.pixel(X, Y) & 0xFFFFFF;
}

// Four BGR pixels in file order: red, green, blue, white.
const TBytes FourPixels{0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255};

} // namespace

TEST(TgaReader, DecodesEveryCorpusFile) {
    CheckCorpusFormat("TGA");
}

TEST(TgaReader, MalformedCorpusFilesNameTheirFault) {
    if (!CorpusAvailable())
        GTEST_SKIP();
    const std::vector<std::pair<std::string, std::string>> Cases{
        {"bad/tga_truncated.tga", "TGA file is truncated."},
        {"bad/tga_huge_dims.tga", "too large"},
        {"bad/tga_zero_width.tga", "invalid dimensions 0 x 4"},
        {"bad/tga_bad_type.tga", "unknown image type 7"},
    };
    CheckMalformedMessages(Cases);
}

TEST(TgaReader, PixelFormatFollowsTheFile) {
    if (!CorpusAvailable())
        GTEST_SKIP();
    EXPECT_EQ(LoadImageFile(CorpusPath("tga/grey8.tga")).PixelFormat, EPixelFormat::Gray256);
    EXPECT_EQ(LoadImageFile(CorpusPath("tga/cmap8_rle.tga")).PixelFormat, EPixelFormat::Color256);
    EXPECT_EQ(LoadImageFile(CorpusPath("tga/rgb15.tga")).PixelFormat, EPixelFormat::TrueColor);
}

TEST(TgaReader, DescriptorPlacesTheOrigin) {
    struct TCase {
        std::uint8_t Descriptor;
        QRgb TopLeft, TopRight, BottomLeft, BottomRight;
    };
    const TCase Cases[]{
        {0x00, 0x0000FF, 0xFFFFFF, 0xFF0000, 0x00FF00}, // bottom-left
        {0x20, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}, // top-left
        {0x10, 0xFFFFFF, 0x0000FF, 0x00FF00, 0xFF0000}, // bottom-right
        {0x30, 0x00FF00, 0xFF0000, 0xFFFFFF, 0x0000FF}, // top-right
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(int(C.Descriptor));
        TTga T;
        T.Descriptor = C.Descriptor;
        T.Data = FourPixels;
        for (const bool Rle : {false, true}) {
            if (Rle) {
                T.Type = 10;
                T.Data.insert(T.Data.begin(), 0x03); // one literal packet of 4 pixels
            }
            const QImage I = Decode(Encode(T)).Image;
            EXPECT_EQ(At(I, 0, 0), C.TopLeft);
            EXPECT_EQ(At(I, 1, 0), C.TopRight);
            EXPECT_EQ(At(I, 0, 1), C.BottomLeft);
            EXPECT_EQ(At(I, 1, 1), C.BottomRight);
        }
    }
}

TEST(TgaReader, SkipsTheIdFieldAndAnUnusedColourMap) {
    TTga T;
    T.Descriptor = 0x20;
    T.Id = TBytes(255, 0x11);
    T.MapLength = 3;
    T.MapBits = 24;
    T.Map = TBytes(9, 0x22);
    T.Data = FourPixels;
    const TWorkingImage W = Decode(Encode(T));
    EXPECT_EQ(At(W.Image, 0, 0), 0xFF0000u);
    EXPECT_EQ(At(W.Image, 1, 1), 0xFFFFFFu);
    EXPECT_EQ(W.PixelFormat, EPixelFormat::TrueColor);
}

TEST(TgaReader, RlePacketsCrossRowsAndStopAtTheImageEnd) {
    TTga T;
    T.Type = 10;
    T.Width = 3;
    T.Height = 2;
    T.Descriptor = 0x20;
    // A run of 4 red pixels over the row boundary, then 3 literal pixels of which the last
    // lies beyond the image.
    T.Data = {0x83, 0, 0, 255, 0x02, 255, 0, 0, 0, 255, 0, 1, 2, 3};
    const QImage I = Decode(Encode(T)).Image;
    const QRgb Expected[2][3]{{0xFF0000, 0xFF0000, 0xFF0000}, {0xFF0000, 0x0000FF, 0x00FF00}};
    for (int Y = 0; Y < 2; ++Y)
        for (int X = 0; X < 3; ++X)
            EXPECT_EQ(At(I, X, Y), Expected[Y][X]) << X << "," << Y;

    T.Data.resize(8); // the data ends inside the literal packet
    EXPECT_EQ(ErrorOf(Encode(T)), "TGA file is truncated.");
}

TEST(TgaReader, AlphaCountsOnlyWhenDeclared) {
    // TGA 2.0 footer whose extension area gives the attributes type.
    const auto Footer = [](std::uint8_t AttributesType) {
        TBytes Area(495, 0);
        Area[0] = 0xEF; // size 495
        Area[1] = 0x01;
        Area[494] = AttributesType;
        return Area;
    };
    struct TCase {
        const char* Name;
        std::uint8_t Bits, Descriptor;
        TBytes Pixel;
        int AttributesType; // -1: no extension area
        QRgb Expected;
    };
    const TCase Cases[]{
        {"16-bit, attribute bit clear, declared", 16, 0x21, {0x1F, 0x00}, -1, 0xFFFFFF},
        {"16-bit, attribute bit clear, undeclared", 16, 0x20, {0x1F, 0x00}, -1, 0x0000FF},
        {"16-bit, attribute bit set, declared", 16, 0x21, {0x1F, 0x80}, -1, 0x0000FF},
        {"15-bit ignores the top bit", 15, 0x21, {0x00, 0x7C}, -1, 0xFF0000},
        {"32-bit, half alpha", 32, 0x28, {0, 0, 200, 128}, -1, 0xE37F7F},
        {"32-bit, alpha not declared", 32, 0x20, {0, 0, 200, 128}, -1, 0xC80000},
        {"32-bit, extension says no alpha", 32, 0x28, {0, 0, 200, 128}, 0, 0xC80000},
        {"32-bit, extension says alpha", 32, 0x28, {0, 0, 200, 128}, 3, 0xE37F7F},
        {"32-bit, premultiplied", 32, 0x28, {0, 0, 60, 128}, 4, 0xBB7F7F},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        TTga T;
        T.Width = T.Height = 1;
        T.Bits = C.Bits;
        T.Descriptor = C.Descriptor;
        T.Data = C.Pixel;
        if (C.AttributesType >= 0) {
            const std::uint32_t Offset = static_cast<std::uint32_t>(Encode(T).size());
            T.Tail = Footer(static_cast<std::uint8_t>(C.AttributesType));
            for (int I = 0; I < 4; ++I)
                T.Tail.push_back(static_cast<std::uint8_t>(Offset >> (8 * I)));
            T.Tail.insert(T.Tail.end(), 4, 0);
            const char Signature[] = "TRUEVISION-XFILE.";
            T.Tail.insert(T.Tail.end(), Signature, Signature + sizeof Signature);
        }
        EXPECT_EQ(At(Decode(Encode(T)).Image, 0, 0), C.Expected);
    }
}

TEST(TgaReader, ColourMapsOfEveryEntrySize) {
    // Entry 0 of each map is orange (255, 128, 0), entry 1 white; the map starts at index 2,
    // so pixel values 0 and 9 fall outside it and are black.
    struct TCase {
        std::uint8_t MapBits;
        TBytes Map;
        QRgb Orange;
    };
    const TCase Cases[]{
        {15, {0x00, 0x7E, 0xFF, 0x7F}, 0xFF8400}, // 5-bit green 16 → 132
        {16, {0x00, 0xFE, 0xFF, 0xFF}, 0xFF8400},
        {24, {0, 128, 255, 255, 255, 255}, 0xFF8000},
        {32, {0, 128, 255, 255, 255, 255, 255, 255}, 0xFF8000},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(int(C.MapBits));
        TTga T;
        T.Type = 1;
        T.Bits = 8;
        T.Descriptor = 0x20;
        T.MapFirst = 2;
        T.MapLength = 2;
        T.MapBits = C.MapBits;
        T.Map = C.Map;
        T.Data = {2, 3, 0, 9};
        const TWorkingImage W = Decode(Encode(T));
        EXPECT_EQ(At(W.Image, 0, 0), C.Orange);
        EXPECT_EQ(At(W.Image, 1, 0), 0xFFFFFFu);
        EXPECT_EQ(At(W.Image, 0, 1), 0x000000u);
        EXPECT_EQ(At(W.Image, 1, 1), 0x000000u);
        EXPECT_EQ(W.PixelFormat, EPixelFormat::Color16);
    }
}

TEST(TgaReader, RefusesHeadersTheDataCannotBack) {
    TTga Raw;
    Raw.Width = 4000;
    Raw.Height = 4000;
    Raw.Data = TBytes(100, 0);
    EXPECT_EQ(ErrorOf(Encode(Raw)), "TGA file is truncated.");

    TTga Rle = Raw;
    Rle.Type = 10;
    EXPECT_EQ(ErrorOf(Encode(Rle)), "TGA file is truncated.");

    TTga Mapped;
    Mapped.Type = 1;
    Mapped.Bits = 8;
    EXPECT_NE(ErrorOf(Encode(Mapped)).find("has no colour map"), std::string::npos);

    TTga Odd;
    Odd.Bits = 12;
    EXPECT_NE(ErrorOf(Encode(Odd)).find("not supported"), std::string::npos);

    // A colour-mapped image whose depth, 132, must not be taken for a true-colour 32.
    TTga Deep;
    Deep.Type = 9;
    Deep.Bits = 132;
    Deep.MapLength = 2;
    Deep.MapBits = 24;
    Deep.Map = TBytes(6, 0);
    Deep.Data = TBytes(64, 0);
    EXPECT_EQ(ErrorOf(Encode(Deep)),
              "TGA images of type 9 with 132 bits per pixel are not supported.");
}
