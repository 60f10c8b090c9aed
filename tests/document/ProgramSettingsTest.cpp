#include "document/ProgramSettings.h"

#include "document/Parameters.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace korvane;

namespace {

struct ProgramSettings : ::testing::Test {
    std::filesystem::path Dir = std::filesystem::temp_directory_path() /
                                ("korvane-ini-" + std::to_string(::getpid()) + "-" +
                                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::string Folder = Dir.string();

    void SetUp() override { std::filesystem::create_directories(Dir); }
    void TearDown() override { std::filesystem::remove_all(Dir); }
    void Write(const std::string& Text) const {
        std::ofstream(Dir / "Korvane5.ini", std::ios::binary) << Text;
    }
};

} // namespace

TEST_F(ProgramSettings, SavedAndReadBack) {
    TProgramSettings Loaded;
    EXPECT_NO_THROW(Loaded.Load(Folder)); // no file: defaults, silently
    EXPECT_EQ(Loaded.ExportFolder, "");

    TProgramSettings Saved;
    Saved.ExportFolder = "/home/ann/results = final";
    Saved.Save(Folder);
    EXPECT_EQ(Saved.ToText(), "[Korvane5 settings]\nExportFolder=/home/ann/results = final\n");
    Loaded.Load(Folder);
    EXPECT_EQ(Loaded.ExportFolder, Saved.ExportFolder);

    Saved.OpenFolder = "/home/ann/scans";
    Saved.CopyFullPrecision = true;
    Saved.Save(Folder);
    Loaded.Load(Folder);
    EXPECT_EQ(Loaded.OpenFolder, "/home/ann/scans");
    EXPECT_TRUE(Loaded.CopyFullPrecision);
    EXPECT_EQ(Loaded.ExportFolder, Saved.ExportFolder);

    // A later version's keys are passed over; the last of two equal keys counts.
    Write("[Korvane5 settings]\r\nZoom=2\r\nExportFolder=/a\r\nExportFolder=/b\r\n");
    Loaded.Load(Folder);
    EXPECT_EQ(Loaded.ExportFolder, "/b");
}

TEST_F(ProgramSettings, AFolderThatCannotBeReadBackIsNotStored) {
    for (const char* Folder : {"/a\nb", " /lead", "/trail "}) {
        TProgramSettings Settings;
        Settings.ExportFolder = Folder;
        EXPECT_EQ(Settings.ToText(), "[Korvane5 settings]\n");
    }
}

TEST_F(ProgramSettings, DamagedFileGivesDefaultsAndSaysWhatIsWrong) {
    Write("[Something else]\nExportFolder=/a\n");
    TProgramSettings Settings;
    Settings.ExportFolder = "/kept?";
    try {
        Settings.Load(Folder);
        FAIL() << "no error";
    } catch (const EParameterFile& E) {
        EXPECT_EQ(std::string(E.what()),
                  "The settings file \"" + Folder +
                      "/Korvane5.ini\" is damaged (line 1: the file does not begin with "
                      "[Korvane5 settings]). The settings are reset to their defaults.");
    }
    EXPECT_EQ(Settings.ExportFolder, "");
}
