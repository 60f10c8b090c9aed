#include "app/MainWindow.h"
#include "core/Prompter.h"
#include "image/Scanner.h"
#include "interaction/KorvaneApplication.h"
#include "ui/modes/KorvaneActions.h"
#include "ui/panel/KorvanePanel.h"

#include <QApplication>
#include <QListWidget>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace korvane {
namespace {

namespace fs = std::filesystem;

// The main window acquiring from SANE's "test" backend, through a private SANE
// configuration (read once per process, so it is written before the first scan).
class Acquire : public ::testing::Test {
protected:
    void SetUp() override {
        Dir = fs::temp_directory_path() / ("korvane-acquire-" + std::to_string(::getpid()));
        fs::create_directories(Dir / "sane");
        std::ofstream(Dir / "sane" / "dll.conf") << "test\n";
        std::ofstream(Dir / "sane" / "test.conf") << "number_of_devices 1\nmode Color\n"
                                                  << "depth 8\nresolution 75\n";
        ::setenv("SANE_CONFIG_DIR", (Dir / "sane").c_str(), 1);
        TScanner::Instance().Resolution = 0; // keep test.conf's 75 dpi
        Window = std::make_unique<TfrmMain>(Dir.string(), Prompter);
        Window->show();
        QApplication::processEvents();
    }
    void TearDown() override {
        Window.reset();
        fs::remove_all(Dir);
    }

    fs::path Dir;
    TScriptedPrompter Prompter;
    std::unique_ptr<TfrmMain> Window;
};

TEST_F(Acquire, AScanOpensWorkWithoutAFileThatClosesWithoutAQuestion) {
    // An open image is closed first.
    std::ofstream(Dir / "chart.pbm") << "P1\n2 2\n0 1\n1 0\n";
    Window->OpenImage(QString::fromStdString((Dir / "chart.pbm").string()));
    ASSERT_EQ(Window->windowTitle(), "chart.pbm - Korvane 5");

    Window->Acquire(0);
    ASSERT_TRUE(Window->App().FileIsOpen());
    EXPECT_TRUE(Window->App().FileParameters().ImageFileName().empty());
    EXPECT_EQ(Window->windowTitle(), "Korvane 5");
    EXPECT_GT(Window->pzImage->Image().width(), 2);
    EXPECT_TRUE(Window->actFileClose->isEnabled());
    EXPECT_TRUE(Window->actEditDefineCoordinateSystem->isEnabled());
    EXPECT_TRUE(Window->App().FileIsDirty());

    EXPECT_TRUE(Window->CloseImage());
    EXPECT_TRUE(Prompter.Asked.empty());
    EXPECT_FALSE(Window->pzImage->HasImage());
    EXPECT_FALSE(Window->actFileClose->isEnabled());
    EXPECT_FALSE(Window->lbDigs->isEnabled());
}

} // namespace
} // namespace korvane
