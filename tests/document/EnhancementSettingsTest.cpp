#include "document/EnhancementSettings.h"

#include "document/Parameters.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <unistd.h>

using namespace korvane;

namespace {

struct EnhancementSettings : ::testing::Test {
    std::filesystem::path Dir = std::filesystem::temp_directory_path() /
                                ("korvane-ext-" + std::to_string(::getpid()) + "-" +
                                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::string Folder = Dir.string();
    std::filesystem::path File = Dir / "Korvane5.ext";

    void SetUp() override { std::filesystem::create_directories(Dir); }
    void TearDown() override { std::filesystem::remove_all(Dir); }

    void Write(const std::string& Text) const { std::ofstream(File, std::ios::binary) << Text; }
    std::string Read() const {
        std::ifstream In(File, std::ios::binary);
        std::stringstream S;
        S << In.rdbuf();
        return S.str();
    }
};

} // namespace

TEST_F(EnhancementSettings, SavedBesideTheApplicationFileAndReadBack) {
    EXPECT_EQ(TEnhancementSettings::FileName(Folder), (Dir / "Korvane5.ext").string());
    TEnhancementSettings Saved;
    Saved.Enhancements.SetEnhancedFollowing(true);
    Saved.Save(Folder);
    EXPECT_EQ(Read(), "[Korvane5 follower enhancements]\nSubpixelOutput=1\nCrossings=1\nGuard=1\n"
                      "GapFilling=0\n");
    // Only this file is written: the application parameter file is left alone.
    EXPECT_FALSE(std::filesystem::exists(Dir / ApplicationParameterFileName));

    for (const TFollowerEnhancementOption& Option : FollowerEnhancementOptions) {
        SCOPED_TRACE(Option.Key);
        TEnhancementSettings One;
        One.Enhancements.*(Option.Field) = true;
        One.Save(Folder);
        TEnhancementSettings Loaded;
        Loaded.Enhancements.SetEnhancedFollowing(true);
        Loaded.Load(Folder);
        EXPECT_EQ(Loaded.Enhancements, One.Enhancements);
    }
}

TEST_F(EnhancementSettings, MissingFileGivesDefaultsSilently) {
    TEnhancementSettings Settings;
    Settings.Enhancements.SetEnhancedFollowing(true);
    EXPECT_NO_THROW(Settings.Load(Folder));
    EXPECT_FALSE(Settings.Enhancements.Any());
}

TEST_F(EnhancementSettings, TolerantReading) {
    // Comments, blank lines, spaces, CRLF, an unknown key (a later version's), a repeated key
    // (the last counts) and a missing one (off).
    Write("# written by hand\r\n\r\n[Korvane5 follower enhancements]\r\n Crossings = 1 \r\n"
          "Sharpening=1\r\nGuard=1\r\nGuard=0\r\n");
    TEnhancementSettings Settings;
    Settings.Load(Folder);
    TFollowerEnhancements Expected;
    Expected.Crossings = true;
    EXPECT_EQ(Settings.Enhancements, Expected);
}

TEST_F(EnhancementSettings, DamagedFileGivesDefaultsAndSaysWhatIsWrong) {
    struct TCase {
        const char* Name;
        std::string Content;
        const char* Detail;
    };
    static const char Binary[] = "[Korvane5 follower enhancements]\nGu\0rd=1\n";
    for (const TCase& Case :
         {TCase{"empty", "", "the file is empty"},
          TCase{"no header", "Guard=1\n", "line 1: the file does not begin with"},
          TCase{"not key=value", "[Korvane5 follower enhancements]\nGuard\n",
                "line 2: \"Guard\" is not Key=Value"},
          TCase{"bad value", "[Korvane5 follower enhancements]\nGuard=yes\n",
                "line 2: Guard is \"yes\", not 0 or 1"},
          TCase{"no key", "[Korvane5 follower enhancements]\n=1\n", "line 2: a value without"},
          TCase{"binary", std::string(Binary, sizeof(Binary) - 1), "line 2: not text"},
          TCase{"too large", std::string(70000, '#'), "the file is too large"}}) {
        SCOPED_TRACE(Case.Name);
        Write(Case.Content);
        TEnhancementSettings Settings;
        Settings.Enhancements.SetEnhancedFollowing(true);
        try {
            Settings.Load(Folder);
            ADD_FAILURE() << "no error";
        } catch (const EParameterFile& E) {
            const std::string Message = E.what();
            EXPECT_NE(Message.find(File.string()), std::string::npos) << Message;
            EXPECT_NE(Message.find(Case.Detail), std::string::npos) << Message;
            EXPECT_NE(Message.find("reset to their defaults"), std::string::npos) << Message;
        }
        EXPECT_FALSE(Settings.Enhancements.Any());
    }
}

TEST_F(EnhancementSettings, SaveReplacesTheFileWholeAndFailsLoudly) {
    Write("[Korvane5 follower enhancements]\nGuard=1\nSomething=1\n");
    TEnhancementSettings Settings;
    Settings.Enhancements.GapFilling = true;
    Settings.Save(Folder);
    EXPECT_EQ(Read(), "[Korvane5 follower enhancements]\nSubpixelOutput=0\nCrossings=0\nGuard=0\n"
                      "GapFilling=1\n");
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Dir),
                            std::filesystem::directory_iterator()),
              1);
    EXPECT_THROW(Settings.Save((Dir / "no such folder").string()), EKorvane);
}
