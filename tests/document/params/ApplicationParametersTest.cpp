#include "interaction/ApplicationParameters.h"

#include "ParamsTestSupport.h"
#include "core/ReadOnlyFiles.h"
#include "document/Parameters.h"
#include "document/RecentFiles.h"
#include "export/DataTemplates.h"
#include "export/ExportData.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace korvane;
using namespace korvane::test;

namespace {

const std::vector<std::string> BuiltInNames{
    "Comma-separated", "Comma-separated with header", "Tab-separated", "XML", "DXF",
    "Microsoft Excel"};

std::vector<std::string> TemplateNames(const TApplicationParameters& App) {
    std::vector<std::string> Names;
    for (std::int32_t I = 0; I < App.Templates().Count(); ++I)
        Names.push_back(App.Templates().Names(I));
    return Names;
}

class ApplicationParameters : public ::testing::Test {
protected:
    // 1000 x 800: the main window is 850 x 680 at (75, 60); the export dialog 422 x 359
    // at (289, 220).
    static constexpr TScreenSize Screen{1000, 800};
    const TBoundsRect DefaultWindow{75, 60, 925, 740};
    const TBoundsRect DefaultExportDialog{289, 220, 711, 579};

    std::string FileName() const { return Folder / "Korvane5.app"; }

    // Sets every field to something other than its default.
    void Customise(TApplicationParameters& App, TPaintParameters& Paint) {
        App.ShowGuide = false;
        App.UseSpanningCursor = false;
        App.MainWindowBounds = {10, 20, 630, 470};
        App.DataPanelWidth = 321;
        App.DigitizationListHeight = 99;
        App.ExportDialogBounds = {1, 2, 3, 4};
        App.Templates().Clear();
        auto Mine = std::make_unique<TDataTemplate>("Mine");
        Mine->Extension = "dat";
        Mine->SetHeaderText("# {XU}\r\n");
        Mine->SetBodyText("{X};{Y}\r\n");
        App.Templates().Add(std::move(Mine));
        korvane::AddExcelTemplate(App.Templates());
        TouchFile(Folder / "chart.png");
        App.RecentFiles().Add(Folder / "chart.png");
        Paint.SetPenSize(9);
        Paint.SetReplacingColor(RGB(1, 2, 3));
        Paint.SetErasingColor(RGB(4, 5, 6));
        Paint.SetMarkingColor(RGB(7, 8, 9));
    }

    // The file Customise describes, field by field; UseSpanningCursor is left out for V5.00.
    TBytes CustomFile(const std::string& Version = ParameterFileVersion) const {
        TByteBuilder B;
        B.String(Version).Byte(0);
        if (Version == ParameterFileVersion)
            B.Byte(0);
        B.Int32(10).Int32(20).Int32(630).Int32(470).Int32(321).Int32(99);
        B.Int32(1)
            .String("Mine")
            .String("dat")
            .String("# {XU}\r\n")
            .String("{X};{Y}\r\n")
            .String("");
        B.Int32(1).Int32(2).Int32(3).Int32(4);
        B.Int32(TRecentFilesList::DefaultCapacity).Int32(1).String(Folder / "chart.png");
        B.Int32(0x030201).Int32(0x060504).Int32(0x090807).Int32(9);
        return Sealed(B.Bytes);
    }

    void ExpectDefaults(const TApplicationParameters& App) const {
        EXPECT_EQ(App.MainWindowBounds, DefaultWindow);
        EXPECT_EQ(App.ExportDialogBounds, DefaultExportDialog);
        EXPECT_EQ(App.DataPanelWidth, 200);
        EXPECT_EQ(App.DigitizationListHeight, 120);
        EXPECT_TRUE(App.ShowGuide);
        EXPECT_TRUE(App.UseSpanningCursor);
        EXPECT_EQ(App.RecentFiles().Count(), 0);
        EXPECT_EQ(TemplateNames(App), BuiltInNames);
    }

    TTempFolder Folder;
};

} // namespace

TEST_F(ApplicationParameters, MissingFileGivesDefaultsSilently) {
    TApplicationParameters App(Folder.Path(), Screen);
    EXPECT_EQ(App.FileName(), FileName());
    EXPECT_EQ(App.ExportDialogBounds, DefaultExportDialog); // set on creation
    EXPECT_EQ(App.Templates().Count(), 0);
    TPaintParameters Paint;
    App.LoadParameterFile(Paint);
    ExpectDefaults(App);
    EXPECT_EQ(App.RecentFiles().Capacity(), 8);
    EXPECT_TRUE(Folder.Names().empty());
}

TEST_F(ApplicationParameters, WindowDefaultsFollowTheScreen) {
    struct TCase {
        TScreenSize Screen;
        TBoundsRect Window, Dialog;
    };
    for (const TCase& Case : std::vector<TCase>{
             {{1366, 768}, {102, 58, 1263, 710}, {472, 204, 894, 563}},
             {{1920, 1080}, {144, 81, 1776, 999}, {749, 360, 1171, 719}},
             {{400, 300}, {30, 22, 370, 277}, {-11, -29, 411, 330}},
         }) {
        TApplicationParameters App(Folder.Path(), Case.Screen);
        App.Reset();
        EXPECT_EQ(App.MainWindowBounds, Case.Window) << Case.Screen.Width;
        EXPECT_EQ(App.ExportDialogBounds, Case.Dialog) << Case.Screen.Width;
    }
}

TEST_F(ApplicationParameters, FileByteForByteAndBack) {
    TApplicationParameters App(Folder.Path(), Screen);
    TPaintParameters Paint;
    Customise(App, Paint);
    App.SaveParameterFile(Paint);
    EXPECT_EQ(ReadFileBytes(FileName()), CustomFile());
    EXPECT_EQ(Folder.Names(), (std::vector<std::string>{"Korvane5.app", "chart.png"}));

    TApplicationParameters Loaded(Folder.Path(), Screen);
    TPaintParameters LoadedPaint;
    Loaded.LoadParameterFile(LoadedPaint);
    EXPECT_EQ(Loaded.Version, "V5.01");
    EXPECT_FALSE(Loaded.ShowGuide);
    EXPECT_FALSE(Loaded.UseSpanningCursor);
    EXPECT_EQ(Loaded.MainWindowBounds, (TBoundsRect{10, 20, 630, 470}));
    EXPECT_EQ(Loaded.DataPanelWidth, 321);
    EXPECT_EQ(Loaded.DigitizationListHeight, 99);
    EXPECT_EQ(Loaded.ExportDialogBounds, (TBoundsRect{1, 2, 3, 4}));
    // The spreadsheet template is never stored and always comes back.
    EXPECT_EQ(TemplateNames(Loaded), (std::vector<std::string>{"Mine", "Microsoft Excel"}));
    EXPECT_EQ(Loaded.Templates().Items(0).BodyText(), "{X};{Y}\r\n");
    EXPECT_EQ(Loaded.Templates().Items(0).Extension, "dat");
    ASSERT_EQ(Loaded.RecentFiles().Count(), 1);
    EXPECT_EQ(Loaded.RecentFiles().Files(0), Folder / "chart.png");
    EXPECT_EQ(LoadedPaint.PenSize(), 9);
    EXPECT_EQ(LoadedPaint.ReplacingColor(), RGB(1, 2, 3));
    EXPECT_EQ(LoadedPaint.ErasingColor(), RGB(4, 5, 6));
    EXPECT_EQ(LoadedPaint.MarkingColor(), RGB(7, 8, 9));
}

TEST_F(ApplicationParameters, OlderVersionReadsTheSpanningCursorAsOnAndIsSavedAsCurrent) {
    TApplicationParameters Writer(Folder.Path(), Screen);
    TPaintParameters Paint;
    Customise(Writer, Paint);
    WriteFileBytes(FileName(), CustomFile(ParameterFileVersion500));

    TApplicationParameters App(Folder.Path(), Screen);
    App.UseSpanningCursor = false;
    TPaintParameters Loaded;
    App.LoadParameterFile(Loaded);
    EXPECT_EQ(App.Version, "V5.00");
    EXPECT_TRUE(App.UseSpanningCursor);
    EXPECT_EQ(App.DataPanelWidth, 321);
    EXPECT_EQ(Loaded.PenSize(), 9);

    App.UseSpanningCursor = false;
    App.SaveParameterFile(Loaded);
    EXPECT_EQ(ReadFileBytes(FileName()), CustomFile());
}

TEST_F(ApplicationParameters, EmptyTemplateListGetsTheBuiltInTemplatesBack) {
    TApplicationParameters App(Folder.Path(), Screen);
    TPaintParameters Paint;
    App.Reset();
    App.Templates().Clear();
    App.SaveParameterFile(Paint);

    TApplicationParameters Loaded(Folder.Path(), Screen);
    Loaded.LoadParameterFile(Paint);
    EXPECT_EQ(TemplateNames(Loaded), BuiltInNames);
}

TEST_F(ApplicationParameters, DamagedFileResetsToDefaultsAndTheNextSaveRewritesIt) {
    TApplicationParameters Writer(Folder.Path(), Screen);
    TPaintParameters WriterPaint;
    Customise(Writer, WriterPaint);
    const TBytes Good = CustomFile();
    const TBytes Content = Unsealed(Good);

    TBytes ChangedByte = Good;
    ChangedByte[20] ^= 0x40;
    TBytes ChangedDigest = Good;
    ChangedDigest.back() ^= 0x01;
    TBytes WrongVersion = Content;
    WrongVersion[8] = '2'; // "V5.02"
    const struct {
        const char* What;
        TBytes File;
    } Cases[] = {
        {"changed byte", ChangedByte},
        {"changed digest", ChangedDigest},
        {"truncated by one byte", TBytes(Good.begin(), Good.end() - 1)},
        {"truncated to 10 bytes", TBytes(Good.begin(), Good.begin() + 10)},
        {"empty", {}},
        {"wrong version", Sealed(WrongVersion)},
        {"not a parameter file", Sealed(TByteBuilder().String("GIF89a").Bytes)},
        // Sealed, but the content ends inside the recent files record.
        {"short content", Sealed(TBytes(Content.begin(), Content.end() - 30))},
        {"short paint record", Sealed(TBytes(Content.begin(), Content.end() - 5))},
        // Sealed, but a template section does not parse.
        {"bad template", Sealed(TByteBuilder()
                                    .String("V5.01")
                                    .Byte(1)
                                    .Byte(1)
                                    .Int32(0)
                                    .Int32(0)
                                    .Int32(1)
                                    .Int32(1)
                                    .Int32(5)
                                    .Int32(5)
                                    .Int32(1)
                                    .String("T")
                                    .String("txt")
                                    .String("")
                                    .String("{X")
                                    .String("")
                                    .Bytes)},
    };
    for (const auto& Case : Cases) {
        WriteFileBytes(FileName(), Case.File);
        TApplicationParameters App(Folder.Path(), Screen);
        App.ShowGuide = false;
        TPaintParameters Paint;
        Paint.SetPenSize(5);
        try {
            App.LoadParameterFile(Paint);
            ADD_FAILURE() << Case.What << ": loaded";
        } catch (const EParameterFile& E) {
            EXPECT_STREQ(E.what(),
                         "Error loading application parameter file. Resetting to defaults.")
                << Case.What;
        }
        ExpectDefaults(App);
        EXPECT_EQ(Paint.PenSize(), 5) << Case.What;
        EXPECT_EQ(Paint.MarkingColor(), RGB(0, 128, 128)) << Case.What;

        // The next save replaces the damaged file with a good one.
        App.SaveParameterFile(Paint);
        TApplicationParameters Again(Folder.Path(), Screen);
        EXPECT_NO_THROW(Again.LoadParameterFile(Paint)) << Case.What;
    }
}

TEST_F(ApplicationParameters, InterruptedSaveLeavesThePreviousFileIntact) {
    TApplicationParameters App(Folder.Path(), Screen);
    TPaintParameters Paint;
    Customise(App, Paint);
    App.SaveParameterFile(Paint);
    const TBytes Before = ReadFileBytes(FileName());

    // Fails half-way through the file, after the window fields were partly written.
    class TFailingParameters : public TApplicationParameters {
    public:
        using TApplicationParameters::TApplicationParameters;
        void SaveWindowToStream(TStream& Stream) const override {
            WriteInt32(Stream, 1);
            WriteInt32(Stream, 2);
            throw EWriteError("No space left on device.");
        }
    } Failing(Folder.Path(), Screen);
    Failing.Reset();
    EXPECT_THROW(Failing.SaveParameterFile(Paint), EWriteError);
    EXPECT_EQ(ReadFileBytes(FileName()), Before);
    EXPECT_EQ(Folder.Names(), (std::vector<std::string>{"Korvane5.app", "chart.png"}));
}

TEST_F(ApplicationParameters, FullDiskReachesTheCaller) {
    std::filesystem::create_symlink("/dev/full", FileName());
    TApplicationParameters App(Folder.Path(), Screen);
    App.Reset();
    TPaintParameters Paint;
    EXPECT_THROW(App.SaveParameterFile(Paint), EWriteError);
}

TEST_F(ApplicationParameters, AnotherFileNameCanBeGiven) {
    TApplicationParameters App(Folder.Path(), Screen);
    TPaintParameters Paint;
    App.Reset();
    App.DataPanelWidth = 222;
    App.SaveParameterFile(Folder / "other.app", Paint);
    EXPECT_EQ(Folder.Names(), std::vector<std::string>{"other.app"});
    TApplicationParameters Loaded(Folder.Path(), Screen);
    Loaded.LoadParameterFile(Folder / "other.app", Paint);
    EXPECT_EQ(Loaded.DataPanelWidth, 222);
}

TEST_F(ApplicationParameters, ReadOnlyFileIsReplacedSilently) {
    TApplicationParameters App(Folder.Path(), Screen);
    TPaintParameters Paint;
    App.Reset();
    App.SaveParameterFile(Paint);
    ::chmod(FileName().c_str(), 0444);
    ASSERT_TRUE(IsReadOnlyFile(FileName()));

    App.DataPanelWidth = 345;
    App.SaveParameterFile(Paint);
    TApplicationParameters Loaded(Folder.Path(), Screen);
    Loaded.LoadParameterFile(Paint);
    EXPECT_EQ(Loaded.DataPanelWidth, 345);
}

TEST(ParameterFolder, WritableProgramFolderElseTheUsersConfigFolder) {
    TTempFolder Program;
    EXPECT_EQ(DefaultParameterFolder(Program.Path()), Program.Path());

    TTempFolder Home;
    const char* OldConfig = std::getenv("XDG_CONFIG_HOME");
    const char* OldHome = std::getenv("HOME");
    const std::string SavedConfig = OldConfig ? OldConfig : "";
    const std::string SavedHome = OldHome ? OldHome : "";
    ::setenv("HOME", Home.Path().c_str(), 1);

    ::setenv("XDG_CONFIG_HOME", (Home / "cfg").c_str(), 1);
    EXPECT_EQ(DefaultParameterFolder(Program / "missing"), Home / "cfg/korvane");
    EXPECT_TRUE(std::filesystem::is_directory(Home / "cfg/korvane"));

    ::setenv("XDG_CONFIG_HOME", "relative/path", 1); // ignored
    EXPECT_EQ(DefaultParameterFolder(Program / "missing"), Home / ".config/korvane");
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(DefaultParameterFolder(""), Home / ".config/korvane");
    EXPECT_TRUE(std::filesystem::is_directory(Home / ".config/korvane"));
    // Installed (PREFIX/bin beside PREFIX/share/korvane): the configuration folder, although
    // the program's folder may be written.
    std::filesystem::create_directories(Program / "bin");
    std::filesystem::create_directories(Program / "share/korvane");
    EXPECT_EQ(DefaultParameterFolder(Program / "bin"), Home / ".config/korvane");

    OldConfig ? ::setenv("XDG_CONFIG_HOME", SavedConfig.c_str(), 1) : ::unsetenv("XDG_CONFIG_HOME");
    OldHome ? ::setenv("HOME", SavedHome.c_str(), 1) : ::unsetenv("HOME");
}
