#include "image/readers/IcoReader.h"

#include "CorpusSupport.h"
#include "image/readers/Readers.h"

#include <QJsonArray>
#include <gtest/gtest.h>
#include <vector>

namespace korvane {
namespace {

using TBytes = std::vector<std::uint8_t>;

void Put32(TBytes& B, std::size_t At, std::uint32_t V) {
    for (int I = 0; I < 4; ++I)
        B[At + I] = (V >> (8 * I)) & 0xFF;
}

// A bitmap icon image: header (height doubled), palette, colour rows, mask rows.
TBytes MakeDibEntry(int Width, int Height, int Bits, const TBytes& Palette, const TBytes& Xor,
                    const TBytes& And) {
    TBytes B(40, 0);
    Put32(B, 0, 40);
    Put32(B, 4, Width);
    Put32(B, 8, 2 * Height);
    B[12] = 1;
    B[14] = static_cast<std::uint8_t>(Bits);
    B.insert(B.end(), Palette.begin(), Palette.end());
    B.insert(B.end(), Xor.begin(), Xor.end());
    B.insert(B.end(), And.begin(), And.end());
    return B;
}

struct TDirEntry {
    int Width, Height;
    TBytes Data;
    std::uint32_t OffsetOverride = 0;
};

// Directory bit counts are left 0, so that depth comes from the images themselves.
TBytes MakeIco(const std::vector<TDirEntry>& Entries) {
    TBytes File(6 + 16 * Entries.size(), 0);
    File[2] = 1;
    File[4] = static_cast<std::uint8_t>(Entries.size());
    for (std::size_t I = 0; I < Entries.size(); ++I) {
        const std::size_t D = 6 + 16 * I;
        File[D] = static_cast<std::uint8_t>(Entries[I].Width);
        File[D + 1] = static_cast<std::uint8_t>(Entries[I].Height);
        Put32(File, D + 8, static_cast<std::uint32_t>(Entries[I].Data.size()));
        Put32(File, D + 12,
              Entries[I].OffsetOverride ? Entries[I].OffsetOverride
                                        : static_cast<std::uint32_t>(File.size()));
        File.insert(File.end(), Entries[I].Data.begin(), Entries[I].Data.end());
    }
    return File;
}

TEST(IcoReader, CorpusFilesMatchTheirReferences) {
    testing::CheckCorpusFormat("ICO");
}

TEST(IcoReader, EveryImageOfAMultiImageIconMatchesItsReference) {
    if (!testing::CorpusAvailable())
        GTEST_SKIP() << "the shared corpus is not beside the checkout";
    int Checked = 0;
    for (const testing::TCorpusEntry& File : testing::CorpusEntries("ICO")) {
        const QJsonArray Entries = File.Raw["entries"].toArray();
        for (const QJsonValue& Value : Entries) {
            const QJsonObject E = Value.toObject();
            const int Index = E["index"].toInt();
            SCOPED_TRACE(File.File + " image " + std::to_string(Index));
            TByteReader Input(testing::CorpusPath(File.File), "ICO");
            EXPECT_EQ(IcoEntryCount(Input), static_cast<int>(Entries.size()));
            const TWorkingImage Result = ReadIcoEntry(Input, Index);
            const QImage Reference = testing::ReadReferencePPM(
                testing::CorpusPath(E["reference"].toString().toStdString()));
            ASSERT_FALSE(Reference.isNull());
            const auto Reason = testing::CompareImages(Reference, Result.Image,
                                                       E["compare"].toString().toStdString(),
                                                       E["tolerance"].toObject());
            EXPECT_FALSE(Reason) << *Reason;
            ++Checked;
        }
    }
    EXPECT_GT(Checked, 1) << "no multi-image icon in the corpus";
}

// The largest image wins and, among equals, the deepest as its own header says; an image
// outside the file is passed over. The chosen 32-bit image has an alpha channel of zeros,
// so its mask decides: the masked top-left pixel is white, the others keep their colour.
TEST(IcoReader, ChoosesTheLargestDeepestImageAndFallsBackToItsMask) {
    const TBytes Blue1x1 = MakeDibEntry(1, 1, 24, {}, {255, 0, 0, 0}, {0, 0, 0, 0});
    const TBytes Black2x2 =
        MakeDibEntry(2, 2, 1, {0, 0, 0, 0, 255, 255, 255, 0}, TBytes(8, 0), TBytes(8, 0));
    TBytes RedXor;
    for (int I = 0; I < 4; ++I)
        RedXor.insert(RedXor.end(), {0, 0, 255, 0});
    const TBytes Red2x2 = MakeDibEntry(2, 2, 32, {}, RedXor, {0, 0, 0, 0, 0x80, 0, 0, 0});
    const TBytes File =
        MakeIco({{1, 1, Blue1x1}, {2, 2, Black2x2}, {2, 2, Red2x2}, {64, 64, Red2x2, 0x7FFFFF00}});

    TByteReader Input(File.data(), File.size(), "ICO");
    const TWorkingImage Result = ReadICO(Input);
    EXPECT_EQ(Result.PixelFormat, EPixelFormat::TrueColor);
    ASSERT_EQ(Result.Image.size(), QSize(2, 2));
    const std::uint8_t* Top = Result.Image.constScanLine(0);
    const std::uint8_t* Bottom = Result.Image.constScanLine(1);
    EXPECT_EQ(TBytes(Top, Top + 6), (TBytes{255, 255, 255, 255, 0, 0}));
    EXPECT_EQ(TBytes(Bottom, Bottom + 6), (TBytes{255, 0, 0, 255, 0, 0}));

    TByteReader Again(File.data(), File.size(), "ICO");
    EXPECT_EQ(ReadIcoEntry(Again, 1).PixelFormat, EPixelFormat::BlackWhite);
    EXPECT_THROW(ReadIcoEntry(Again, 3), EImageError);
}

} // namespace
} // namespace korvane
