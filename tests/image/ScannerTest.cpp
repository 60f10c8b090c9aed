#include "image/Scanner.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <unistd.h>

using namespace korvane;

namespace {

// A private SANE configuration that offers only the "test" backend's virtual scanners.
// SANE reads SANE_CONFIG_DIR once per process, so every test shares one folder and
// rewrites the files in it.
class ScannerTest : public ::testing::Test {
protected:
    static inline const std::filesystem::path Dir =
        std::filesystem::temp_directory_path() / ("korvane-sane-" + std::to_string(::getpid()));

    void SetUp() override {
        std::filesystem::create_directories(Dir);
        std::ofstream(Dir / "dll.conf") << "test\n";
        Configure("Color", 8, false);
        ::setenv("SANE_CONFIG_DIR", Dir.c_str(), 1);
    }
    void TearDown() override { std::filesystem::remove_all(Dir); }

    void Configure(const std::string& Mode, int Depth, bool ThreePass) {
        std::ofstream(Dir / "test.conf") << "number_of_devices 2\n"
                                         << "mode " << Mode << "\n"
                                         << "depth " << Depth << "\n"
                                         << "three-pass " << (ThreePass ? "true" : "false") << "\n"
                                         << "resolution 75\n"
                                         << "test-picture \"Color pattern\"\n";
    }

    static TWorkingImage Scan(int Index = 0) {
        TScanner Scanner;
        Scanner.Resolution = 0; // keep test.conf's 75 dpi
        EXPECT_TRUE(Scanner.Available());
        return Scanner.Acquire(Index);
    }
};

std::set<std::uint32_t> Colours(const QImage& Image) {
    std::set<std::uint32_t> Result;
    for (int Y = 0; Y < Image.height(); ++Y)
        for (int X = 0; X < Image.width(); ++X)
            Result.insert(Image.pixel(X, Y) & 0xFFFFFF);
    return Result;
}

} // namespace

TEST_F(ScannerTest, ListsTheDevicesAndChoosesTheFirst) {
    TScanner Scanner;
    ASSERT_TRUE(Scanner.Available());
    ASSERT_EQ(Scanner.Sources().size(), 2u);
    EXPECT_EQ(Scanner.Sources()[0].Device, "test:0");
    EXPECT_EQ(Scanner.Sources()[0].Caption, "Noname frontend-tester");
    EXPECT_EQ(Scanner.SelectedSource(), 0);
    EXPECT_EQ(Scanner.IndexOf("test:1"), 1);
    EXPECT_EQ(Scanner.IndexOf("nothing"), -1);
    EXPECT_THROW(Scanner.Acquire(5), EScannerError);
}

TEST_F(ScannerTest, OnlyOneScannerObject) {
    TScanner First;
    try {
        TScanner Second;
        FAIL();
    } catch (const EScannerError& E) {
        EXPECT_STREQ(E.what(), "Only one scanner object is permitted");
    }
}

TEST_F(ScannerTest, NoDevicesMeansNotAvailable) {
    std::ofstream(Dir / "dll.conf") << "\n";
    TScanner Scanner;
    EXPECT_FALSE(Scanner.Available());
    EXPECT_EQ(Scanner.SelectedSource(), -1);
    EXPECT_THROW(Scanner.Acquire(0), EScannerError);
}

TEST_F(ScannerTest, ColourGreyLineartAndThreePassFrames) {
    const TWorkingImage Colour = Scan();
    ASSERT_EQ(Colour.Image.format(), QImage::Format_RGB888);
    EXPECT_EQ(Colour.Image.width(), 236); // 80 mm at 75 dpi
    EXPECT_EQ(Colour.Image.height(), 295);
    EXPECT_EQ(Colour.PixelFormat, EPixelFormat::TrueColor);
    EXPECT_GT(Colours(Colour.Image).size(), 8u);

    Configure("Color", 8, true);
    const TWorkingImage ThreePass = Scan();
    EXPECT_EQ(ThreePass.Image, Colour.Image);

    Configure("Color", 16, false);
    const TWorkingImage Deep = Scan();
    EXPECT_EQ(Deep.Image.size(), Colour.Image.size());
    EXPECT_GT(Colours(Deep.Image).size(), 8u);

    Configure("Gray", 8, false);
    const TWorkingImage Grey = Scan();
    EXPECT_EQ(Grey.PixelFormat, EPixelFormat::Gray256);
    for (std::uint32_t C : Colours(Grey.Image))
        EXPECT_TRUE((C & 0xFF) == ((C >> 8) & 0xFF) && (C & 0xFF) == ((C >> 16) & 0xFF))
            << std::hex << C;

    Configure("Gray", 1, false);
    const TWorkingImage Lineart = Scan();
    EXPECT_EQ(Lineart.PixelFormat, EPixelFormat::BlackWhite);
    EXPECT_EQ(Colours(Lineart.Image), (std::set<std::uint32_t>{0x000000, 0xFFFFFF}));
}
