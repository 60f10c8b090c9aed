#include "interaction/KorvaneApplication.h"

#include "core/Errors.h"
#include "core/Prompter.h"
#include "document/Digitizations.h"
#include "document/Parameters.h"
#include "document/RecentFiles.h"
#include "image/PanelScale.h"
#include "interaction/ApplicationCommands.h"
#include "interaction/ApplicationParameters.h"
#include "interaction/CommandManager.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace korvane;

namespace {

struct TEvents : IApplicationListener {
    TKorvaneApplication* App = nullptr;
    std::vector<std::string> Log;
    void DigitizationDeleted(TDigitization& D, std::int32_t Index) override {
        Log.push_back("deleted " + D.Name() + " " + std::to_string(Index) +
                      (App->Closing() ? " closing" : ""));
    }
    void DigitizationInserted(TDigitization& D, std::int32_t Index) override {
        Log.push_back("inserted " + D.Name() + " " + std::to_string(Index) +
                      (App->Opening() ? " opening" : ""));
    }
    void StatusMessageChanged() override { Log.push_back("status " + App->StatusMessage()); }
    // Sent once the application is in its new state, no longer opening or closing.
    void FileOpened() override {
        Log.push_back(std::string("opened") +
                      (App->FileIsOpen() && !App->Opening() ? "" : " early"));
    }
    void FileClosed() override {
        Log.push_back(std::string("closed") +
                      (!App->FileIsOpen() && !App->Closing() ? "" : " early"));
    }
};

// An application over a private settings folder, with an image panel's coordinate system.
struct KorvaneApplication : ::testing::Test {
    std::filesystem::path Dir = std::filesystem::temp_directory_path() /
                                ("korvane-app-" + std::to_string(::getpid()) + "-" +
                                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
    TScriptedPrompter Prompter;
    std::unique_ptr<TKorvaneApplication> App;
    TPanelScale Scale;
    TStoredScroller Scroller;
    TPanelScaleRecord Panel{Scale, Scroller};
    TEvents Events;
    std::string Image;

    void SetUp() override {
        std::filesystem::create_directories(Dir);
        Image = (Dir / "chart.png").string();
        std::ofstream(Image) << "not read here"; // the recent files list takes existing files
        App = std::make_unique<TKorvaneApplication>(Dir.string(), Prompter);
        Events.App = App.get();
        App->AddListener(&Events);
        App->AddListener(&Events); // kept once
    }
    void TearDown() override {
        App.reset();
        std::filesystem::remove_all(Dir);
    }

    void DefineScale() {
        Scale.SetFirstScalePoint({100, 400}, {0, 0});
        Scale.SetSkewPoint({500, 400});
        Scale.SetSecondScalePoint({500, 100}, {10, 30});
        Scale.DefineScale(false, false);
    }
    void AddLine(const std::string& Name) {
        auto Line = std::make_unique<TFunctionalLine>(Name);
        Line->AddPoint({1, 2});
        App->InsertDigitization(std::move(Line), App->Count());
    }
    // Opens the image, adds data sets and closes it answering Yes, so that its parameter
    // file holds them.
    void StoreDataSets(std::initializer_list<const char*> Names) {
        App->OpenFile(Image, Panel);
        for (const char* Name : Names)
            AddLine(Name);
        App->SetFileIsDirty(true);
        Prompter = TScriptedPrompter({EMessageAnswer::Yes});
        App->CloseFile(Panel);
        ASSERT_FALSE(App->FileIsOpen());
        Events.Log.clear();
        Prompter.Asked.clear();
    }
};

} // namespace

TEST_F(KorvaneApplication, OpeningInsertsTheStoredDataSetsInOrder) {
    EXPECT_EQ(App->Title, "Korvane 5");
    StoreDataSets({"A", "B", "C"});
    App->OpenFile(Image, Panel);
    EXPECT_EQ(Events.Log, (std::vector<std::string>{"inserted A 0 opening", "inserted B 1 opening",
                                                    "inserted C 2 opening", "opened"}));
    EXPECT_FALSE(App->Opening());
    EXPECT_TRUE(App->FileIsOpen());
    EXPECT_FALSE(App->FileIsDirty());
    EXPECT_EQ(App->LineCount(), 3);
    EXPECT_EQ(App->ScatterCount(), 0);
    EXPECT_TRUE(App->CommandManager().Enabled(ckCloseFile));
    EXPECT_EQ(App->ApplicationParameters().RecentFiles().Count(), 1);

    Events.Log.clear();
    App->DeleteAllDigitizations();
    EXPECT_EQ(Events.Log, (std::vector<std::string>{"deleted C 2", "deleted B 1", "deleted A 0"}));
}

TEST_F(KorvaneApplication, ClosingAnUnchangedImageAsksNothingAndWritesItsFile) {
    StoreDataSets({"A"});
    App->OpenFile(Image, Panel);
    const std::string ParFile = App->FileParameters().ParameterFileName();
    std::filesystem::remove(ParFile);
    App->CloseFile(Panel);
    EXPECT_TRUE(Prompter.Asked.empty());
    EXPECT_TRUE(std::filesystem::exists(ParFile));
    EXPECT_FALSE(App->FileIsOpen());
    EXPECT_FALSE(App->CommandManager().Enabled(ckCloseFile));
    EXPECT_EQ(Events.Log, (std::vector<std::string>{"inserted A 0 opening", "opened",
                                                    "deleted A 0 closing", "closed"}));
    App->OpenFile(Image, Panel);
    ASSERT_EQ(App->Count(), 1);
    EXPECT_EQ(App->Digitization(0).Name(), "A");
}

TEST_F(KorvaneApplication, AnsweringNoKeepsTheStoredDataSetsButTheNewCoordinateSystem) {
    StoreDataSets({"A"});
    App->OpenFile(Image, Panel);
    AddLine("B");
    App->SetFileIsDirty(true);
    DefineScale();
    Prompter = TScriptedPrompter({EMessageAnswer::No});
    App->CloseFile(Panel);
    ASSERT_EQ(Prompter.Asked.size(), 1u);
    EXPECT_EQ(Prompter.Asked[0].Text, "Save changes to data?");
    EXPECT_EQ(Prompter.Asked[0].Buttons, unsigned(mbYesNoCancel));

    TPanelScale Reloaded;
    TPanelScaleRecord ReloadedPanel(Reloaded, Scroller);
    App->OpenFile(Image, ReloadedPanel);
    ASSERT_EQ(App->Count(), 1);
    EXPECT_EQ(App->Digitization(0).Name(), "A");
    EXPECT_TRUE(Reloaded.ScaleDefined());
}

TEST_F(KorvaneApplication, CancelLeavesEverythingAsItWas) {
    App->OpenFile(Image, Panel);
    AddLine("A");
    App->SetFileIsDirty(true);
    Prompter = TScriptedPrompter({EMessageAnswer::Cancel});
    App->CloseFile(Panel);
    EXPECT_TRUE(App->FileIsOpen());
    EXPECT_TRUE(App->FileIsDirty());
    EXPECT_FALSE(App->Closing());
    EXPECT_EQ(App->Count(), 1);
    EXPECT_FALSE(std::filesystem::exists(App->FileParameters().ParameterFileName()));
    EXPECT_EQ(Events.Log, (std::vector<std::string>{"opened", "inserted A 0"}));
}

TEST_F(KorvaneApplication, AnAcquiredImageWritesNothing) {
    App->NewFile(Panel);
    EXPECT_TRUE(App->FileIsDirty());
    EXPECT_TRUE(App->ImageIsDirty());
    AddLine("Scan");
    App->CloseFile(Panel);
    EXPECT_TRUE(Prompter.Asked.empty());
    EXPECT_FALSE(App->FileIsOpen());
    EXPECT_EQ(App->Count(), 0);
    EXPECT_FALSE(std::filesystem::exists(Dir / "par") && !std::filesystem::is_empty(Dir / "par"));
    EXPECT_EQ(Events.Log, (std::vector<std::string>{"opened", "inserted Scan 0",
                                                    "deleted Scan 0 closing", "closed"}));
}

TEST_F(KorvaneApplication, ADamagedParameterFileKeepsTheImageClosed) {
    StoreDataSets({"A"});
    App->OpenFile(Image, Panel);
    const std::string ParFile = App->FileParameters().ParameterFileName();
    App->CloseFile(Panel);
    std::filesystem::resize_file(ParFile, std::filesystem::file_size(ParFile) - 3);
    try {
        App->OpenFile(Image, Panel);
        FAIL();
    } catch (const EKorvane& E) {
        EXPECT_STREQ(E.what(), "Error loading parameters file. Resetting to defaults.");
    }
    EXPECT_FALSE(App->FileIsOpen());
    EXPECT_FALSE(App->Opening());
    EXPECT_EQ(App->Count(), 0);
}

TEST_F(KorvaneApplication, AssertionsAndStatus) {
    struct Case {
        const char* Text;
        std::function<void()> Action;
    } Cases[] = {
        {"CloseFile", [&] { App->CloseFile(Panel); }},
        {"SetFileIsDirty", [&] { App->SetFileIsDirty(true); }},
        {"SetImageIsDirty", [&] { App->SetImageIsDirty(true); }},
        {"TKorvaneApplication.InsertDigitization: Index < 0",
         [&] { App->InsertDigitization(std::make_unique<TScatter>("S"), -1); }},
    };
    for (const auto& C : Cases) {
        try {
            C.Action();
            ADD_FAILURE() << C.Text;
        } catch (const EAssertion& E) {
            EXPECT_STREQ(E.what(), C.Text);
        }
    }
    TScatter Outsider("X");
    try {
        App->DeleteDigitization(Outsider);
        FAIL();
    } catch (const EAssertion& E) {
        EXPECT_STREQ(E.what(), "TKorvaneApplication.DeleteDigitization: Index < 0");
    }
    EXPECT_THROW(App->InsertDigitization(std::make_unique<TScatter>("S"), 1), EListError);
    App->SetStatusMessage("Click on a line");
    EXPECT_EQ(Events.Log.back(), "status Click on a line");
    auto Owned = std::make_unique<TScatter>("Mine");
    TScatter& Kept = static_cast<TScatter&>(App->InsertDigitization(std::move(Owned), 0));
    std::unique_ptr<TDigitization> Back = App->DeleteDigitization(Kept);
    EXPECT_EQ(Back.get(), &Kept);
    EXPECT_EQ(App->Count(), 0);
}
