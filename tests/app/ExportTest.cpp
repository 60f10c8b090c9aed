// Exporting through the main window: the Export action and the guide's link open the export
// dialog for the current data set; the output goes to a file (atomically, through the save
// dialog and the read-only question) or to the clipboard; errors leave files and clipboard as
// they were; templates, the dialog's bounds and the export folder are kept.
#include "core/AtomicFile.h"
#include "document/Parameters.h"
#include "document/ProgramSettings.h"
#include "export/ExportData.h"
#include "interaction/ApplicationParameters.h"
#include "support/WaveChartWindow.h"
#include "ui/dialogs/ExportDialog.h"
#include "ui/modes/DigitizingModes.h"
#include "ui/modes/ExportCommands.h"
#include "ui/modes/GuideControls.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <sstream>
#include <sys/stat.h>

namespace korvane {
namespace {

std::string ReadFile(const fs::path& File) {
    std::ifstream In(File, std::ios::binary);
    std::stringstream S;
    S << In.rdbuf();
    return S.str();
}

class Export : public TWaveChartWindow {
protected:
    void SetUp() override {
        TWaveChartWindow::SetUp();
        Window->App().FileParameters().SetUnits({"mm", "N"});
        Dialogs.OnExportDialog = [this](TfrmExportData& Dialog) {
            ++DialogsShown;
            Dialog.cboTemplateName->setCurrentIndex(
                Dialog.cboTemplateName->findText(QString::fromStdString(TemplateName)));
            Dialog.chkExportToClipboard->setChecked(ToClipboard);
            (SelectedOnly ? Dialog.rdoExportSelectedPoints : Dialog.rdoExportAllPoints)->click();
            if (Edit)
                Edit(Dialog);
            Dialog.OKBtn->click();
            return Dialog.result() == QDialog::Accepted;
        };
        Dialogs.OnSaveFileName = [this](const TSaveFileQuestion& Question, QString& Name) {
            Questions.push_back(Question);
            if (Target.empty())
                return false;
            Name = QString::fromStdString(Target.string());
            return true;
        };
        QGuiApplication::clipboard()->setText("before");
    }

    // A functional line followed from column 50 to the line's end.
    TLine& FollowedLine() {
        TLine& Line = NewFunctionalLine();
        Click(50, LineRow(50));
        WaitForRun(Line);
        EXPECT_GT(Line.Count(), 400);
        return Line;
    }
    // What the template writes for Digitization, from the model's export functions.
    std::string Expected(const TDigitization& Digitization, bool Selected = false) {
        TExpansionParams Params;
        Params.Units = {"mm", "N"};
        const TDataTemplate& Template =
            *Window->App().ApplicationParameters().Templates().Find(TemplateName);
        return ExportToText(Template, Digitization, Selected, Params);
    }
    std::string Clipboard() { return QGuiApplication::clipboard()->text().toStdString(); }

    std::string TemplateName = "Comma-separated";
    bool ToClipboard = false;
    bool SelectedOnly = false;
    std::function<void(TfrmExportData&)> Edit;
    fs::path Target;
    int DialogsShown = 0;
    std::vector<TSaveFileQuestion> Questions;
};

TEST_F(Export, TheExportActionWritesTheLineToTheChosenFile) {
    TLine& Line = NewFunctionalLine();
    EXPECT_FALSE(Window->actDataExport->isEnabled()); // nothing to export yet
    Click(50, LineRow(50));
    WaitForRun(Line);
    ASSERT_TRUE(Window->actDataExport->isEnabled());

    Target = Dir / "out.csv";
    const QString UndoBefore = Window->actEditUndo->text();
    Window->actDataExport->Execute();
    EXPECT_TRUE(Errors.empty()) << Errors.front();
    ASSERT_EQ(Questions.size(), 1u);
    EXPECT_EQ(Questions[0].Caption, "Save As");
    EXPECT_EQ(Questions[0].Filters,
              QStringList({"Comma-separated Files (*.csv)", "All Files (*)"}));
    EXPECT_EQ(Questions[0].DefaultSuffix, "csv");
    EXPECT_EQ(Questions[0].InitialPath.toStdString(),
              (Dir / ("wave - " + Line.Name() + ".csv")).string());
    const std::string Written = ReadFile(Target);
    EXPECT_EQ(Written, Expected(Line));
    EXPECT_EQ(Written.substr(0, Written.find("\r\n") + 2), "50.00,106.00\r\n");
    EXPECT_EQ(Clipboard(), "before");
    EXPECT_EQ(Window->actEditUndo->text(), UndoBefore); // never recorded

    // The next export starts in the folder of this one; the folder outlives the program.
    fs::create_directories(Dir / "results");
    Target = Dir / "results" / "second.csv";
    Window->actDataExport->Execute();
    Window->actDataExport->Execute();
    ASSERT_EQ(Questions.size(), 3u);
    EXPECT_EQ(Questions[2].InitialPath.toStdString(),
              (Dir / "results" / ("wave - " + Line.Name() + ".csv")).string());
    TProgramSettings Settings;
    Settings.Load(Dir.string());
    EXPECT_EQ(Settings.ExportFolder, (Dir / "results").string());
}

TEST_F(Export, HostileNamesProposeOneValidFileInTheExportFolder) {
    Window->actDigitizeNewScatter->Execute();
    auto* Scatter = dynamic_cast<TScatter*>(Window->CurrentDigitization());
    ASSERT_NE(Scatter, nullptr);
    Click(100, 100);
    const std::string Long(300, 'y');
    struct TCase {
        std::string Name, Proposed;
    };
    for (const TCase& Case : std::vector<TCase>{
             {"../../x", "wave - ..-..-x.csv"},
             {"a/b", "wave - a-b.csv"},
             {"CON", "wave - CON.csv"},
             {"", "wave -.csv"},
             {"two\nlines", "wave - two lines.csv"},
             {Long, "wave - " + Long.substr(0, 255 - 7 - 4) + ".csv"},
         }) {
        Scatter->SetName(Case.Name);
        Questions.clear();
        Window->actDataExport->Execute(); // cancelled at the file question
        ASSERT_EQ(Questions.size(), 1u) << Case.Name;
        const fs::path Proposed = Questions[0].InitialPath.toStdString();
        EXPECT_EQ(Proposed.parent_path(), Dir) << Case.Name;
        EXPECT_EQ(Proposed.filename().string(), Case.Proposed);
    }
    // A template's own name and extension cannot break the file question either.
    Scatter->SetName("S");
    auto Odd = std::make_unique<TDataTemplate>("odd (*.exe)\nname");
    Odd->Extension = "../c sv";
    Window->App().ApplicationParameters().Templates().Add(std::move(Odd));
    TemplateName = "odd (*.exe)\nname";
    Questions.clear();
    Window->actDataExport->Execute();
    ASSERT_EQ(Questions.size(), 1u);
    EXPECT_EQ(Questions[0].Filters,
              QStringList({"odd [*.exe] name Files (*.-csv)", "All Files (*)"}));
    EXPECT_EQ(Questions[0].DefaultSuffix, "-csv");
    EXPECT_EQ(fs::path(Questions[0].InitialPath.toStdString()).filename(), "wave - S.-csv");
    EXPECT_TRUE(Errors.empty()) << Errors.front();
}

TEST_F(Export, TemplatesSelectionAndTheSpreadsheet) {
    Window->actDigitizeNewScatter->Execute();
    auto* Scatter = dynamic_cast<TScatter*>(Window->CurrentDigitization());
    ASSERT_NE(Scatter, nullptr);
    Click(100, 200);
    ASSERT_EQ(Scatter->Count(), 1);

    // One point through the spreadsheet template: the 66-byte file.
    TemplateName = "Microsoft Excel";
    Target = Dir / "one.xls";
    Window->actDataExport->Execute();
    ASSERT_EQ(Questions.size(), 1u);
    EXPECT_EQ(Questions[0].Filters,
              QStringList({"Microsoft Excel Files (*.xls)", "All Files (*)"}));
    EXPECT_EQ(fs::file_size(Target), 66u);

    // XML of the selected points only: none selected writes header and footer.
    Click(200, 100);
    Click(300, 150);
    TemplateName = "XML";
    SelectedOnly = true;
    Target = Dir / "selected.xml";
    Window->actDataExport->Execute();
    EXPECT_EQ(ReadFile(Target), "<DATA XUnits=\"mm\" YUnits=\"N\">\r\n</DATA>\r\n");
    Scatter->Selection().Select(1);
    Window->actDataExport->Execute();
    EXPECT_EQ(ReadFile(Target), "<DATA XUnits=\"mm\" YUnits=\"N\">\r\n"
                                "  <POINT><X>200.00</X><Y>200.00</Y></POINT>\r\n</DATA>\r\n");
    EXPECT_EQ(ReadFile(Target), Expected(*Scatter, true));

    // An edited template is written as edited.
    SelectedOnly = false;
    TemplateName = "Tab-separated";
    Edit = [](TfrmExportData& Dialog) {
        Dialog.ShowEditTemplate();
        Dialog.memTemplate->setPlainText("{Y}|{X}\n");
    };
    Target = Dir / "edited.txt";
    Window->actDataExport->Execute();
    EXPECT_EQ(ReadFile(Target), "100.00|100.00\r\n200.00|200.00\r\n150.00|300.00\r\n");
    EXPECT_TRUE(Errors.empty()) << Errors.front();
}

TEST_F(Export, ToTheClipboard) {
    TLine& Line = FollowedLine();
    ToClipboard = true;
    Window->actDataExport->Execute();
    EXPECT_TRUE(Questions.empty()); // no file dialog
    EXPECT_EQ(Clipboard(), Expected(Line));

    // The guide's "Save" link opens the same dialog.
    TemplateName = "Comma-separated with header";
    QApplication::postEvent(Window.get(),
                            new TGuideLinkEvent(&Window->Guide(), "Save", QPoint(0, 0)));
    Settle();
    EXPECT_EQ(DialogsShown, 2);
    const std::string Text = Clipboard();
    EXPECT_EQ(Text.rfind("Data for " + Line.Name() + "\r\nCreated on ", 0), 0u) << Text;
    EXPECT_NE(Text.find("\r\n50.00 mm,106.00 N\r\n"), std::string::npos);
}

TEST_F(Export, NothingHappensWhenTheUserCancels) {
    FollowedLine();
    const TBoundsRect Stored = Window->App().ApplicationParameters().ExportDialogBounds;
    const auto Scripted = Dialogs.OnExportDialog;
    Dialogs.OnExportDialog = [&](TfrmExportData& Dialog) {
        ++DialogsShown;
        Dialog.resize(700, 500);
        Dialog.chkExportToClipboard->setChecked(true);
        Dialog.CancelBtn->click();
        return Dialog.result() == QDialog::Accepted;
    };
    Window->actDataExport->Execute();
    EXPECT_EQ(DialogsShown, 1);
    EXPECT_EQ(Clipboard(), "before");
    EXPECT_EQ(Window->App().ApplicationParameters().ExportDialogBounds, Stored);

    // The save dialog cancelled: no file, no error.
    Dialogs.OnExportDialog = Scripted;
    const auto Files = [&] {
        return std::distance(fs::directory_iterator(Dir), fs::directory_iterator());
    };
    const auto Before = Files();
    Window->actDataExport->Execute();
    EXPECT_EQ(Questions.size(), 1u);
    EXPECT_EQ(Files(), Before);
    EXPECT_TRUE(Errors.empty()) << Errors.front();
}

TEST_F(Export, TheDialogKeepsItsBoundsAndTheTemplatesTheirChanges) {
    FollowedLine();
    TApplicationParameters& Parameters = Window->App().ApplicationParameters();
    Parameters.ExportDialogBounds = {40, 30, 40 + 600, 30 + 450};
    QRect Shown;
    Edit = [&](TfrmExportData& Dialog) {
        Shown = QRect(Dialog.pos(), Dialog.size());
        Dialog.resize(650, 480);
        Dialog.OnAskTemplateName = [](QString& Name) {
            Name = "Semicolons";
            return true;
        };
        Dialog.ShowEditTemplate();
        Dialog.memTemplate->setPlainText("{X};{Y}\n");
        Dialog.cmdSaveTemplate->click();
    };
    ToClipboard = true;
    Window->actDataExport->Execute();
    EXPECT_EQ(Shown, QRect(40, 30, 600, 450));
    EXPECT_EQ(Parameters.ExportDialogBounds, (TBoundsRect{40, 30, 40 + 650, 30 + 480}));
    ASSERT_NE(Parameters.Templates().Find("Semicolons"), nullptr);
    EXPECT_EQ(Clipboard().substr(0, 14), "50.00;106.00\r\n");

    // Written at once: a program started now finds the template.
    TApplicationParameters Restarted(Dir.string());
    TPaintParameters Paint;
    Restarted.LoadParameterFile(Paint);
    ASSERT_NE(Restarted.Templates().Find("Semicolons"), nullptr);
    EXPECT_EQ(Restarted.Templates().Find("Semicolons")->BodyText(), "{X};{Y}\r\n");

    // Bounds off every screen are brought back onto the screen.
    Parameters.ExportDialogBounds = {-5000, -5000, -5000 + 600, -5000 + 450};
    Window->actDataExport->Execute();
    EXPECT_GE(Shown.left(), 0);
    EXPECT_GE(Shown.top(), 0);
}

TEST_F(Export, FailuresLeaveTheOldFileAndTheClipboard) {
    TLine& Line = FollowedLine();
    const std::string Old = "the old content\n";
    Target = Dir / "kept.csv";
    std::ofstream(Target, std::ios::binary) << Old;

    // Read-only: asked; No keeps the file, Yes writes it.
    ::chmod(Target.c_str(), 0444);
    Prompter = TScriptedPrompter({EMessageAnswer::No});
    Window->actDataExport->trigger();
    ASSERT_EQ(Prompter.Asked.size(), 1u);
    EXPECT_NE(Prompter.Asked[0].Text.find("kept.csv"), std::string::npos);
    EXPECT_EQ(ReadFile(Target), Old);
    Prompter = TScriptedPrompter({EMessageAnswer::Yes});
    Window->actDataExport->trigger();
    EXPECT_EQ(ReadFile(Target), Expected(Line));
    EXPECT_TRUE(Errors.empty()) << Errors.front();
    std::ofstream(Target, std::ios::binary | std::ios::trunc) << Old;

    // A folder that does not exist, a full disk: an error and nothing written.
    for (const fs::path& Bad : {Dir / "missing" / "x.csv", fs::path("/dev/full")}) {
        SCOPED_TRACE(Bad.string());
        Errors.clear();
        Target = Bad;
        Window->actDataExport->trigger();
        ASSERT_EQ(Errors.size(), 1u);
        EXPECT_NE(Errors[0].find(Bad.string()), std::string::npos) << Errors[0];
    }
    EXPECT_FALSE(fs::exists(Dir / "missing"));

    // The data set cannot give its points (emptied behind the dialog's back):
    // the old file stays whole and no temporary file is left.
    Target = Dir / "kept.csv";
    Errors.clear();
    const TDoublePointArray Points(Line.Points());
    Edit = [&](TfrmExportData&) { Line.SetPoints(TDoublePointArray(50)); };
    Window->actDataExport->trigger();
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_EQ(ReadFile(Target), Old);
    for (const auto& Entry : fs::directory_iterator(Dir))
        EXPECT_FALSE(IsTemporaryFileName(Entry.path().filename().string())) << Entry.path();

    // The same to the clipboard: it keeps what it held.
    Line.SetPoints(Points);
    ToClipboard = true;
    Errors.clear();
    Window->actDataExport->trigger();
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_EQ(Clipboard(), "before");
}

TEST_F(Export, WithoutAnOpenDataSetTheActionFailsItsAssertion) {
    FollowedLine();
    Window->App().ModeManager().EndMode();
    ASSERT_EQ(Window->App().ModeManager().FindMode<TDigitizingMode>(), nullptr);
    try {
        Window->actDataExport->OnExecute();
        FAIL() << "no assertion";
    } catch (const EAssertion& E) {
        EXPECT_STREQ(E.what(), "actDataExportExecute");
    }
}

} // namespace
} // namespace korvane
