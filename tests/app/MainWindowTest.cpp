#include "app/MainWindow.h"

#include "core/Prompter.h"
#include "document/Digitizations.h"
#include "interaction/ApplicationParameters.h"
#include "ui/common/NumberText.h"
#include "ui/common/SupportWidgets.h"
#include "ui/data/ApproximatorParamPanels.h"
#include "ui/data/DigitizationDataViews.h"
#include "ui/dialogs/CalculationDialog.h"
#include "ui/dialogs/EliminateGridDialog.h"
#include "support/DialogHooks.h"
#include "ui/dialogs/KorvaneDialogs.h"
#include "ui/dialogs/PropertiesDialogs.h"
#include "ui/modes/GuideControls.h"
#include "ui/modes/KorvaneActions.h"
#include "ui/modes/KorvaneModes.h"
#include "ui/panel/KorvanePanel.h"
#include "ui/panel/Magnifier.h"

#include <QApplication>
#include <QScreen>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidgetItem>
#include <QPushButton>
#include <QHeaderView>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <cmath>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <gtest/gtest.h>
#include <unistd.h>

namespace korvane {
namespace {

namespace fs = std::filesystem;

// Dialog answers from a script; an exhausted script cancels.
class TScriptedDialogs : public TDialogHooks {
public:
    struct TAsked {
        QString Caption;
        bool ShowLogarithmic;
    };
    std::deque<std::optional<TScalePointAnswer>> ScalePoints;
    std::deque<std::optional<TStringPoint>> Units;
    std::deque<std::optional<std::pair<bool, int>>> Formats; // X floating point, X precision
    bool FormatsAsDefault = false;
    std::vector<TAsked> Asked;

    bool AskScalePoint(const QString& Caption, bool ShowLogarithmic, QPoint,
                       TScalePointAnswer& Answer) override {
        Asked.push_back({Caption, ShowLogarithmic});
        if (ScalePoints.empty() || !ScalePoints.front()) {
            if (!ScalePoints.empty())
                ScalePoints.pop_front();
            return false;
        }
        Answer = *ScalePoints.front();
        ScalePoints.pop_front();
        return true;
    }
    bool AskUnits(TStringPoint& Value) override {
        if (Units.empty() || !Units.front()) {
            if (!Units.empty())
                Units.pop_front();
            return false;
        }
        Value = *Units.front();
        Units.pop_front();
        return true;
    }
    bool AskFormats(TCoordFormatPair& Value, bool& SetAsDefault) override {
        if (Formats.empty() || !Formats.front()) {
            if (!Formats.empty())
                Formats.pop_front();
            return false;
        }
        Value.XFormat.FloatingPoint = Formats.front()->first;
        Value.XFormat.Precision = Formats.front()->second;
        Formats.pop_front();
        SetAsDefault = FormatsAsDefault;
        return true;
    }
    // The settings dialog: the page it opened on, and the answer (none cancels).
    std::vector<bool> SettingsPages;
    std::function<bool(TSettingsAnswer&)> OnSettings;
    bool AskSettings(TSettingsAnswer& Value, bool PaintingPage) override {
        SettingsPages.push_back(PaintingPage);
        return OnSettings && OnSettings(Value);
    }
    bool RunExportDialog(TfrmExportData&) override { return false; }
    bool AskSaveFileName(const TSaveFileQuestion&, QString&) override { return false; }
    bool AskOpenFileName(const QString&, const QString&, const QString& Folder,
                         QString& FileName) override {
        OpenFolders.push_back(Folder);
        if (OpenAnswers.empty())
            return false;
        FileName = OpenAnswers.front();
        OpenAnswers.erase(OpenAnswers.begin());
        return true;
    }
    // The folders the open dialog started in, and the files it answers with.
    std::vector<QString> OpenFolders;
    std::vector<QString> OpenAnswers;
};

// A white 400 x 300 picture with a black frame, written as a PPM file.
void WriteChart(const fs::path& File) {
    std::ofstream Out(File, std::ios::binary);
    Out << "P6\n400 300\n255\n";
    for (int Y = 0; Y < 300; ++Y)
        for (int X = 0; X < 400; ++X) {
            const bool Frame = X == 0 || Y == 0 || X == 399 || Y == 299;
            const char V = Frame ? 0 : static_cast<char>(255);
            Out << V << V << V;
        }
}

std::vector<QString> GuideTexts(const TfrmMain& Window) {
    std::vector<QString> Texts;
    for (const QLabel* Label :
         Window.pnlGuideContent->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
        Texts.push_back(Label->text());
    return Texts;
}

bool GuideHas(const TfrmMain& Window, const QString& Text) {
    for (const QString& T : GuideTexts(Window))
        if (T == Text)
            return true;
    return false;
}

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        Dir = fs::temp_directory_path() /
              ("korvane-main-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(Dir);
        fs::create_directories(Dir);
        Chart = Dir / "chart.ppm";
        WriteChart(Chart);
        SetExceptionHandler([this](const std::exception& E) { Errors.push_back(E.what()); });
        Window = std::make_unique<TfrmMain>(Dir.string(), Prompter, &Dialogs);
        Window->resize(1000, 760);
        Window->show();
        QApplication::processEvents();
    }
    void TearDown() override {
        Window.reset();
        SetExceptionHandler(nullptr);
        fs::remove_all(Dir);
    }

    TPanZoomView& View() { return Window->pzImage->View(); }
    void Click(int X, int Y) {
        View().MouseDown({X, Y}, 1, 0);
        View().MouseUp({X, Y}, 1, 0);
    }
    // Runs the posted requests (mode ends, guide links).
    void Settle() {
        for (int I = 0; I < 5; ++I)
            QApplication::processEvents();
    }
    void Open() {
        Window->OpenImage(QString::fromStdString(Chart.string()));
        ASSERT_TRUE(Window->App().FileIsOpen());
    }
    // First point (50, 250) = (0, 0), skew (350, 250), second (350, 50) = (10, 5).
    void Define() {
        Dialogs.ScalePoints = {TScalePointAnswer{0, 0}, TScalePointAnswer{10, 5}};
        Window->actEditDefineCoordinateSystem->Execute();
        Click(50, 250);
        Click(350, 250);
        Click(350, 50);
        Settle();
    }

    fs::path Dir, Chart;
    TScriptedPrompter Prompter;
    TScriptedDialogs Dialogs;
    std::vector<std::string> Errors;
    std::unique_ptr<TfrmMain> Window;
};

TEST_F(MainWindow, StartsWithOnlyTheFileCommandsAndTheIdleGuideForNoImage) {
    EXPECT_EQ(Window->windowTitle(), "Korvane 5");
    EXPECT_TRUE(Window->actFileOpen->isEnabled());
    EXPECT_TRUE(Window->actFileExit->isEnabled());
    EXPECT_FALSE(Window->actFileClose->isEnabled());
    EXPECT_FALSE(Window->actEditDefineCoordinateSystem->isEnabled());
    EXPECT_FALSE(Window->actViewZoomIn->isEnabled());
    EXPECT_EQ(Window->actEditUndo->text(), "Can't &Undo");
    EXPECT_FALSE(Window->actEditUndo->isEnabled());
    EXPECT_EQ(Window->actDigitizeDelete->text(), "&Delete");
    EXPECT_FALSE(Window->actDigitizeDelete->isEnabled());
    EXPECT_FALSE(Window->mnuDigitizations->isEnabled());
    EXPECT_FALSE(Window->lbDigs->isEnabled());
    EXPECT_EQ(Window->actEditDefineCoordinateSystem->toolTip(), "Define coordinate system");
    EXPECT_EQ(Window->actEditDefineCoordinateSystem->statusTip(),
              "Define the image's coordinate system");
    EXPECT_TRUE(GuideHas(*Window, "Select an image to digitize."));
    EXPECT_TRUE(GuideHas(*Window, "Open an existing file"));
    EXPECT_TRUE(GuideHas(*Window, "Scan an image"));
    // Behaviour that later work brings stays disabled rather than pretending.
    EXPECT_FALSE(Window->actEditPaint->isEnabled());
    EXPECT_FALSE(Window->actDataExport->isEnabled());
}

TEST_F(MainWindow, OpeningSetsTheCaptionEnablesTheImageCommandsAndClosingUndoesIt) {
    Open();
    EXPECT_EQ(Window->windowTitle(), "chart.ppm - Korvane 5");
    EXPECT_TRUE(Window->actFileClose->isEnabled());
    EXPECT_TRUE(Window->actEditDefineCoordinateSystem->isEnabled());
    EXPECT_TRUE(Window->actViewZoomIn->isEnabled());
    EXPECT_TRUE(Window->actEditUnits->isEnabled());
    EXPECT_TRUE(GuideHas(*Window, "Specify the coordinate system"));
    EXPECT_TRUE(GuideHas(*Window, "Zoom in"));
    EXPECT_EQ(Window->pzImage->Image().size(), QSize(400, 300));
    EXPECT_EQ(Window->mnuRecentFiles->actions().size(), 1);

    EXPECT_TRUE(Window->CloseImage());
    EXPECT_EQ(Window->windowTitle(), "Korvane 5");
    EXPECT_FALSE(Window->pzImage->HasImage());
    EXPECT_FALSE(Window->actEditDefineCoordinateSystem->isEnabled());
    EXPECT_TRUE(GuideHas(*Window, "Select an image to digitize."));
}

TEST_F(MainWindow, AFileThatCannotBeReadIsReportedAndNothingOpens) {
    const fs::path Bad = Dir / "broken.png";
    std::ofstream(Bad) << "not a picture";
    Window->OpenImage(QString::fromStdString(Bad.string()));
    ASSERT_EQ(Prompter.Asked.size(), 1u);
    EXPECT_EQ(Prompter.Asked[0].Kind, EMessageKind::Error);
    EXPECT_EQ(Prompter.Asked[0].Text.rfind("Error opening file: ", 0), 0u);
    EXPECT_NE(Prompter.Asked[0].Text.find(Bad.string()), std::string::npos); // names the file
    EXPECT_FALSE(Window->App().FileIsOpen());
    EXPECT_FALSE(Window->pzImage->HasImage());
    EXPECT_EQ(Window->windowTitle(), "Korvane 5");

    // With work open and changed, a file that cannot be read leaves it all as it is: no
    // question about saving, the image and its work still open.
    Open();
    Define();
    ASSERT_TRUE(Window->App().FileIsDirty());
    const QString Title = Window->windowTitle();
    Prompter.Asked.clear();
    Window->OpenImage(QString::fromStdString(Bad.string()));
    ASSERT_EQ(Prompter.Asked.size(), 1u);
    EXPECT_EQ(Prompter.Asked[0].Kind, EMessageKind::Error);
    EXPECT_TRUE(Window->App().FileIsOpen());
    EXPECT_TRUE(Window->App().FileIsDirty());
    EXPECT_TRUE(Window->pzImage->HasImage());
    EXPECT_TRUE(Window->pzImage->ScaleDefined());
    EXPECT_EQ(Window->windowTitle(), Title);
}

TEST_F(MainWindow, DefiningTheCoordinateSystemStepByStepThenUndoAndRedo) {
    Open();
    TAction& Define = *Window->actEditDefineCoordinateSystem;
    const QKeySequence OldShortcut = Define.shortcut();
    Dialogs.ScalePoints = {TScalePointAnswer{0, 0}, TScalePointAnswer{10, 5}};
    Define.Execute();
    auto* Mode = dynamic_cast<TDefiningScaleMode*>(Window->App().ModeManager().CurrentMode());
    ASSERT_NE(Mode, nullptr);
    EXPECT_EQ(Define.text(), "Cancel Coordinate System &Definition");
    EXPECT_EQ(Define.toolTip(), "Cancel definition");
    EXPECT_TRUE(Define.isChecked());
    EXPECT_EQ(Define.shortcut(), QKeySequence(Qt::Key_Escape));
    EXPECT_FALSE(Window->actViewZoomToArea->isEnabled());
    EXPECT_TRUE(Window->pzImage->ShowScalePoints());
    EXPECT_EQ(Window->App().StatusMessage(), "DEFINING SCALE: Set first scaling point.");
    EXPECT_TRUE(GuideHas(*Window, "First scale point"));

    Click(50, 250);
    EXPECT_EQ(Window->App().StatusMessage(), "DEFINING SCALE: Set deskewing point.");
    EXPECT_TRUE(GuideHas(*Window, "Skew point"));
    Click(350, 250);
    EXPECT_EQ(Window->App().StatusMessage(), "DEFINING SCALE: Set second scaling point.");
    EXPECT_TRUE(GuideHas(*Window, "Second scale point"));
    Click(350, 50);
    Settle();
    ASSERT_EQ(Dialogs.Asked.size(), 2u);
    EXPECT_EQ(Dialogs.Asked[0].Caption, "First scaling point");
    EXPECT_FALSE(Dialogs.Asked[0].ShowLogarithmic);
    EXPECT_EQ(Dialogs.Asked[1].Caption, "Second scaling point");
    EXPECT_TRUE(Dialogs.Asked[1].ShowLogarithmic);

    EXPECT_EQ(Window->App().ModeManager().CurrentMode(), nullptr);
    EXPECT_TRUE(Window->pzImage->ScaleDefined());
    EXPECT_FALSE(Window->pzImage->ShowScalePoints());
    EXPECT_EQ(Define.text(), "Re&define Coordinate System");
    EXPECT_EQ(Define.statusTip(), "Redefine the image's coordinate system");
    EXPECT_FALSE(Define.isChecked());
    EXPECT_EQ(Define.shortcut(), OldShortcut);
    EXPECT_TRUE(Window->actViewZoomToArea->isEnabled());
    EXPECT_TRUE(Window->lbDigs->isEnabled());
    EXPECT_TRUE(Window->actDigitizeNewFunctionalLine->isEnabled() ||
                Window->App().CommandManager().Enabled(ckCreateFunctionalLine));
    EXPECT_EQ(Window->actEditUndo->text(), "&Undo Define Coordinate System");
    EXPECT_TRUE(Window->App().FileIsDirty());
    EXPECT_TRUE(GuideHas(*Window, "Functional"));

    // The read-out: the pixel (200, 150) is (5, 2.5).
    View().MouseMove({200, 150}, 0);
    EXPECT_EQ(Window->CoordinatesText(), "X:  5.00        Y:  2.50  ");

    Window->actEditUndo->Execute();
    EXPECT_FALSE(Window->pzImage->ScaleDefined());
    EXPECT_FALSE(Window->App().CommandManager().Enabled(ckCreateFunctionalLine));
    EXPECT_EQ(Define.text(), "&Define Coordinate System");
    EXPECT_TRUE(Window->CoordinatesText().isEmpty());
    EXPECT_EQ(Window->actEditRedo->text(), "&Redo Define Coordinate System");
    Window->actEditRedo->Execute();
    EXPECT_TRUE(Window->pzImage->ScaleDefined());
    EXPECT_TRUE(Window->App().CommandManager().Enabled(ckCreateFunctionalLine));
    View().MouseMove({50, 50}, 0);
    EXPECT_EQ(Window->CoordinatesText(), "X:  .00        Y:  5.00  ");
}

TEST_F(MainWindow, CancellingDialogsKeepsTheStepAndEscapeKeepsTheOldSystem) {
    Open();
    Define();
    ASSERT_TRUE(Window->pzImage->ScaleDefined());
    const TScaleSystem Old = Window->pzImage->Scale().DefinedScaleSystem();
    const int HistoryCount = Window->App().History().Count();

    // Redefining: the first dialog is cancelled, then answered; at the second point the
    // dialog is cancelled: first and skew points stay.
    Dialogs.ScalePoints = {std::nullopt, TScalePointAnswer{1, 1}, std::nullopt};
    Window->actEditDefineCoordinateSystem->Execute();
    EXPECT_FALSE(Window->pzImage->ScaleDefined());
    Click(60, 240);
    EXPECT_FALSE(Window->pzImage->Scale().FirstSlot().Set);
    Click(60, 240);
    EXPECT_TRUE(Window->pzImage->Scale().FirstSlot().Set);
    Click(300, 240);
    Click(300, 60);
    EXPECT_TRUE(Window->pzImage->Scale().FirstSlot().Set);
    EXPECT_TRUE(Window->pzImage->Scale().SkewSlot().Set);
    EXPECT_FALSE(Window->pzImage->Scale().SecondSlot().Set);
    EXPECT_EQ(Window->App().StatusMessage(), "DEFINING SCALE: Set second scaling point.");

    // Escape ends the mode; the old coordinate system is in force again.
    QKeyEvent Escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(QApplication::focusWidget() ? QApplication::focusWidget()
                                                        : static_cast<QWidget*>(Window.get()),
                            &Escape);
    Settle();
    EXPECT_EQ(Window->App().ModeManager().CurrentMode(), nullptr);
    EXPECT_TRUE(Window->pzImage->ScaleDefined());
    EXPECT_EQ(Window->pzImage->Scale().DefinedScaleSystem().ImageToReal({200, 150}).X,
              Old.ImageToReal({200, 150}).X);
    EXPECT_EQ(Window->App().History().Count(), HistoryCount);
    EXPECT_EQ(Window->actEditDefineCoordinateSystem->text(), "Re&define Coordinate System");
    EXPECT_TRUE(Window->App().StatusMessage().empty());
}

TEST_F(MainWindow, ARedefinitionIsNamedSoAndPointsThatMakeNoSystemStartOver) {
    Open();
    Define();
    // All three points on one row: no coordinate system; the definition starts again.
    Dialogs.ScalePoints = {TScalePointAnswer{0, 0}, TScalePointAnswer{10, 5}};
    Window->actEditDefineCoordinateSystem->Execute();
    Click(50, 250);
    Click(350, 250);
    Click(200, 250);
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_FALSE(Window->pzImage->Scale().FirstSlot().Set);
    EXPECT_EQ(Window->App().StatusMessage(), "DEFINING SCALE: Set first scaling point.");
    ASSERT_NE(Window->App().ModeManager().CurrentMode(), nullptr);

    Dialogs.ScalePoints = {TScalePointAnswer{0, 0}, TScalePointAnswer{20, 10}};
    Click(50, 250);
    Click(350, 250);
    Click(350, 50);
    Settle();
    EXPECT_EQ(Window->actEditUndo->text(), "&Undo Redefine Coordinate System");
    View().MouseMove({200, 150}, 0);
    EXPECT_EQ(Window->CoordinatesText(), "X:  10.00        Y:  5.00  ");
    Window->actEditUndo->Execute();
    View().MouseMove({200, 150}, 0);
    EXPECT_EQ(Window->CoordinatesText(), "X:  5.00        Y:  2.50  ");
}

TEST_F(MainWindow, TheReadOutUsesTheLocaleDecimalSeparatorOrAPoint) {
    Open();
    Define();
    struct TCase {
        QLocale Locale;
        const char* Text;
    };
    // Eastern Arabic's separator (U+066B) is no single byte: the read-out takes a point.
    const TCase Cases[] = {
        {QLocale::c(), "X:  5.00        Y:  2.50  "},
        {QLocale(QLocale::German, QLocale::Germany), "X:  5,00        Y:  2,50  "},
        {QLocale(QLocale::Arabic, QLocale::Egypt), "X:  5.00        Y:  2.50  "}};
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(Case.Locale.name().toStdString());
        QLocale::setDefault(Case.Locale);
        View().MouseMove({200, 150}, 0);
        EXPECT_EQ(Window->CoordinatesText().toStdString(), Case.Text);
    }
    QLocale::setDefault(QLocale::c());
}

TEST_F(MainWindow, UnitsAndFormatsAreUndoableSettingsOfTheImage) {
    Open();
    Define();
    Dialogs.Units = {std::nullopt, TStringPoint{"s", "m"}};
    const int Before = Window->App().History().Count();
    Window->actEditUnits->Execute();
    EXPECT_EQ(Window->App().History().Count(), Before);
    Window->actEditUnits->Execute();
    EXPECT_EQ(Window->actEditUndo->text(), "&Undo Set Units");
    Dialogs.Formats = {std::make_pair(true, 3)};
    Window->actEditFormats->Execute();
    EXPECT_EQ(Window->actEditUndo->text(), "&Undo Set Formats");
    View().MouseMove({200, 150}, 0);
    EXPECT_EQ(Window->CoordinatesText(), "X:  5.000  s      Y:  2.50  m");
    Window->actEditUndo->Execute();
    Window->actEditUndo->Execute();
    View().MouseMove({200, 150}, 0);
    EXPECT_EQ(Window->CoordinatesText(), "X:  5.00        Y:  2.50  ");
}

TEST_F(MainWindow, SettingsOpenOnThePaintingPageWhilePaintingAndAreOneUndoableStep) {
    Open();
    const int Steps = Window->App().History().Count();
    Window->actEditPreferences->Execute();
    EXPECT_EQ(Window->App().History().Count(), Steps); // cancelled
    EXPECT_EQ(Dialogs.SettingsPages, std::vector<bool>{false});

    Window->actEditPaint->Execute();
    auto* PenSize = Window->findChild<QSpinBox*>("updPenSize");
    ASSERT_NE(PenSize, nullptr);
    const int OldPen = Window->App().PaintParameters().PenSize();
    Dialogs.OnSettings = [](TSettingsAnswer& Value) {
        Value.Paint.SetPenSize(7);
        Value.Paint.SetReplacingColor(RGB(200, 0, 0));
        Value.Vectorizer.SetDelay(0);
        Value.UseSpanningCursor = false;
        Value.Enhancements = TFollowerEnhancements::Enhanced();
        return true;
    };
    Window->actEditPreferences->Execute();
    EXPECT_EQ(Dialogs.SettingsPages, (std::vector<bool>{false, true}));
    EXPECT_EQ(Window->actEditUndo->text(), "&Undo Edit Settings");
    EXPECT_FALSE(Window->App().FileIsDirty());
    // The running painting mode and the panel show the new pen; the menu the enhancements.
    EXPECT_EQ(PenSize->value(), 7);
    EXPECT_EQ(Window->pzImage->PenWidth(), 7);
    EXPECT_EQ(Window->pzImage->ReplacingColor(), RGB(200, 0, 0));
    EXPECT_TRUE(Window->actDigitizeEnhancedFollowing->isChecked());
    EXPECT_EQ(Window->App().FileParameters().VectorizerParameters.Delay(), 0);
    EXPECT_FALSE(Window->App().ApplicationParameters().UseSpanningCursor);

    Window->actEditUndo->Execute();
    EXPECT_EQ(PenSize->value(), OldPen);
    EXPECT_EQ(Window->pzImage->PenWidth(), OldPen);
    EXPECT_FALSE(Window->actDigitizeEnhancedFollowing->isChecked());
    EXPECT_EQ(Window->App().FileParameters().VectorizerParameters.Delay(), 50);
    EXPECT_TRUE(Window->App().ApplicationParameters().UseSpanningCursor);
    Window->actEditRedo->Execute();
    EXPECT_EQ(PenSize->value(), 7);
    EXPECT_TRUE(Window->actDigitizeEnhancedFollowing->isChecked());
    EXPECT_TRUE(Errors.empty());
}

// A new functional line with Count points from (From, 0) in steps of Step in X and 1 in Y.
TFunctionalLine& NewLine(TfrmMain& Window, double From, double Step, int Count, double Y = 0) {
    Window.actDigitizeNewFunctionalLine->Execute();
    auto* Line = dynamic_cast<TFunctionalLine*>(Window.CurrentDigitization());
    EXPECT_NE(Line, nullptr);
    for (int I = 0; I < Count; ++I)
        Line->AddPoint({From + I * Step, Y + I});
    return *Line;
}

TEST_F(MainWindow, CalculateIsOfferedWithFunctionalLinesAndItsResultIsOneStep) {
    Open();
    Define();
    EXPECT_FALSE(Window->actDataCalculate->isEnabled());
    Window->actDigitizeNewScatter->Execute();
    EXPECT_FALSE(Window->actDataCalculate->isEnabled());
    TFunctionalLine& A = NewLine(*Window, 0, 1, 11);
    EXPECT_TRUE(Window->actDataCalculate->isEnabled());
    TFunctionalLine& B = NewLine(*Window, 5, 0.5, 31, 2);

    // The current line comes first; the user picks A minus B.
    Dialogs.OnCalculation = [&](TfrmCalculationDialog& D) {
        EXPECT_EQ(D.FirstLine(), &B);
        D.SelectFirst(&A);
        D.cboDigitization2->setCurrentIndex(D.cboDigitization2->findText(
            QString::fromStdString(B.Name())));
        D.cboOperation->setCurrentText("minus");
        return D.btnOK->isEnabled();
    };
    const int Count = Window->App().Count();
    Window->actDataCalculate->Execute();
    ASSERT_EQ(Window->App().Count(), Count + 1);
    TDigitization& Result = Window->App().Digitization(Count);
    EXPECT_EQ(Result.Name(), A.Name() + " - " + B.Name());
    EXPECT_EQ(Window->CurrentDigitization(), &Result);
    ASSERT_EQ(Result.Count(), 6);
    for (int I = 0; I < 6; ++I) {
        // B at X = 5 + i is 2 + 2i; A there is 5 + i.
        EXPECT_DOUBLE_EQ(Result.GetPoint(I).X, 5 + I);
        EXPECT_NEAR(Result.GetPoint(I).Y, (5 + I) - (2 + 2 * I), 1e-9);
    }
    EXPECT_EQ(Window->actEditUndo->text(), "&Undo New Functional Line");
    Window->actEditUndo->Execute();
    EXPECT_EQ(Window->App().Count(), Count);
    Window->actEditRedo->Execute();
    ASSERT_EQ(Window->App().Count(), Count + 1);
    EXPECT_EQ(Window->App().Digitization(Count).Count(), 6);

    // A result beyond the doubles is refused with the model's message; nothing is added.
    TFunctionalLine& Huge = NewLine(*Window, 0, 1, 4, 1.5e308);
    TFunctionalLine& Negative = NewLine(*Window, 0, 1, 4, -1.5e308);
    Dialogs.OnCalculation = [&](TfrmCalculationDialog& D) {
        D.SelectFirst(&Huge);
        D.cboDigitization2->setCurrentIndex(D.cboDigitization2->findText(
            QString::fromStdString(Negative.Name())));
        D.cboOperation->setCurrentText("minus");
        return true;
    };
    const int Before = Window->App().Count();
    Errors.clear();
    Window->actDataCalculate->trigger();
    EXPECT_EQ(Window->App().Count(), Before);
    EXPECT_EQ(Errors.size(), 1u);
}

TEST_F(MainWindow, DataSetsAreRenamedInTheListAndShowTheirColour) {
    Open();
    Define();
    TFunctionalLine& Line = NewLine(*Window, 0, 1, 3);
    const std::string Old = Line.Name();
    QListWidgetItem* Item = Window->lbDigs->item(0);
    ASSERT_NE(Item, nullptr);
    EXPECT_TRUE(Item->flags() & Qt::ItemIsEditable);
    // The swatch beside the kind's icon has the data set's colour.
    const QImage Icon = Item->icon().pixmap(Window->lbDigs->iconSize()).toImage();
    EXPECT_EQ(QColor(Icon.pixel(Icon.width() * 3 / 4, Icon.height() / 2)),
              ToQColor(Line.DisplayColor()));

    const int Steps = Window->App().History().Count();
    Item->setText("Calibration");
    EXPECT_EQ(Line.Name(), "Calibration");
    EXPECT_EQ(Window->actEditUndo->text(), "&Undo Rename");
    EXPECT_TRUE(Window->App().FileIsDirty());
    Item->setText("   "); // refused: the name stays
    EXPECT_EQ(Item->text(), "Calibration");
    EXPECT_EQ(Window->App().History().Count(), Steps + 1);
    Window->actEditUndo->Execute();
    EXPECT_EQ(Window->actEditRedo->text(), "&Redo Rename");
    EXPECT_EQ(Line.Name(), Old);
    EXPECT_EQ(Window->lbDigs->item(0)->text().toStdString(), Old);

    // A double click opens the properties; Cancel records nothing.
    int Asked = 0;
    Dialogs.OnLineProperties = [&](TfrmLineProperties& D) {
        ++Asked;
        EXPECT_EQ(D.GetName(), Old);
        return false;
    };
    emit Window->lbDigs->itemDoubleClicked(Window->lbDigs->item(0));
    EXPECT_EQ(Asked, 1);
    EXPECT_EQ(Window->actEditRedo->text(), "&Redo Rename");
    // OK: the list shows the new name and colour at once.
    Dialogs.OnLineProperties = [](TfrmLineProperties& D) {
        D.txtName->setText("Run 2");
        D.SetColorIndex(6);
        return true;
    };
    Window->actDataProperties->Execute();
    EXPECT_EQ(Window->lbDigs->item(0)->text(), "Run 2");
    EXPECT_EQ(Window->lbDigs->item(0)->foreground().color(), ToQColor(DisplayColors[6].Color));
    EXPECT_EQ(Window->actEditUndo->text(), "&Undo Edit Properties");
    EXPECT_TRUE(Errors.empty());
}

TEST_F(MainWindow, NewFormatsReachTheShownLineRangeAndCanBecomeTheDefault) {
    Open();
    Define();
    NewLine(*Window, 0, 1, 11);
    TApproximatorParamPanel* Panel = Window->LineDataPanel().ParamPanel();
    ASSERT_NE(Panel, nullptr);
    EXPECT_EQ(Panel->DisplayFormats().XFormat.Precision, 2);
    Dialogs.Formats = {std::make_pair(false, 4)};
    Dialogs.FormatsAsDefault = true;
    Window->actEditFormats->Execute();
    EXPECT_EQ(Panel->DisplayFormats().XFormat.Precision, 4);
    EXPECT_FALSE(Panel->DisplayFormats().XFormat.FloatingPoint);
    Window->actEditUndo->Execute();
    EXPECT_EQ(Panel->DisplayFormats().XFormat.Precision, 2);
    Window->actEditRedo->Execute();
    EXPECT_EQ(Panel->DisplayFormats().XFormat.Precision, 4);

    // Kept beside the settings: an image without a parameter file starts with them, also
    // after a restart.
    std::ifstream Ini(Dir / "Korvane5.ini");
    const std::string Text((std::istreambuf_iterator<char>(Ini)), {});
    EXPECT_NE(Text.find("DefaultXFormat=scientific:4"), std::string::npos) << Text;
    Prompter.Queue(EMessageAnswer::No);
    Window = std::make_unique<TfrmMain>(Dir.string(), Prompter, &Dialogs);
    const fs::path Other = Dir / "other.ppm";
    WriteChart(Other);
    Window->OpenImage(QString::fromStdString(Other.string()));
    ASSERT_TRUE(Window->App().FileIsOpen());
    EXPECT_EQ(Window->App().FileParameters().Formats.XFormat.Precision, 4);
    EXPECT_FALSE(Window->App().FileParameters().Formats.XFormat.FloatingPoint);
    EXPECT_EQ(Window->App().FileParameters().Formats.YFormat.Precision, 2);
}

// A white chart with a black 1-pixel grid every 40 pixels and a red curve across it.
void WriteGridChart(const fs::path& File) {
    QImage Image(420, 320, QImage::Format_RGB888);
    Image.fill(Qt::white);
    for (int Pos = 40; Pos <= 380; Pos += 40)
        for (int I = 40; I <= 280; ++I)
            Image.setPixel(Pos, I, qRgb(0, 0, 0));
    for (int Pos = 40; Pos <= 280; Pos += 40)
        for (int I = 40; I <= 380; ++I)
            Image.setPixel(I, Pos, qRgb(0, 0, 0));
    for (int X = 45; X < 375; ++X)
        Image.setPixel(X, 160 + static_cast<int>(60 * std::sin(X / 40.0)), qRgb(220, 0, 0));
    ASSERT_TRUE(Image.save(QString::fromStdString(File.string())));
}

TEST_F(MainWindow, EliminateGridPreviewsThenRemovesTheGridAsOneStep) {
    const fs::path Chart = Dir / "grid.png";
    WriteGridChart(Chart);
    Window->OpenImage(QString::fromStdString(Chart.string()));
    ASSERT_TRUE(Window->App().FileIsOpen());
    EXPECT_TRUE(Window->actEditEliminateGrid->isEnabled());
    const auto Hash = [&] {
        const QImage& I = Window->pzImage->Image();
        return QByteArray(reinterpret_cast<const char*>(I.constBits()), I.sizeInBytes());
    };
    const QByteArray Before = Hash();

    // Cancel: the preview showed erased pixels in red, and nothing is left changed.
    bool SawPreview = false;
    Dialogs.OnEliminateGrid = [&](TfrmEliminateGrid& D) {
        SawPreview = Window->pzImage->Image().pixel(200, 120) == qRgb(230, 0, 0);
        EXPECT_TRUE(D.btnOK->isEnabled());
        EXPECT_NE(D.lblResult->text().indexOf("lines found"), -1) << D.lblResult->text().toStdString();
        return false;
    };
    Window->actEditEliminateGrid->Execute();
    EXPECT_TRUE(SawPreview);
    EXPECT_EQ(Hash(), Before);
    EXPECT_FALSE(Window->App().ImageIsDirty());

    // OK: grid pixels become paper, the curve and the frame stay; one step back and forth.
    Dialogs.OnEliminateGrid = [](TfrmEliminateGrid&) { return true; };
    Window->actEditEliminateGrid->Execute();
    const QImage& Clean = Window->pzImage->Image();
    EXPECT_EQ(Clean.pixel(200, 120), qRgb(255, 255, 255));
    EXPECT_EQ(Clean.pixel(40, 200), qRgb(0, 0, 0));
    EXPECT_EQ(Clean.pixel(100, 160 + static_cast<int>(60 * std::sin(100 / 40.0))), qRgb(220, 0, 0));
    EXPECT_TRUE(Window->App().ImageIsDirty());
    EXPECT_EQ(Window->actEditUndo->text(), "&Undo Eliminate Grid");
    const QByteArray After = Hash();
    Window->actEditUndo->Execute();
    EXPECT_EQ(Hash(), Before);
    Window->actEditRedo->Execute();
    EXPECT_EQ(Hash(), After);

    // On the cleaned chart nothing is left to remove: OK stays disabled, nothing is recorded.
    bool Enabled = true;
    QString Result;
    Dialogs.OnEliminateGrid = [&](TfrmEliminateGrid& D) {
        Enabled = D.btnOK->isEnabled();
        Result = D.lblResult->text();
        return true;
    };
    Window->actEditEliminateGrid->Execute();
    EXPECT_FALSE(Enabled);
    EXPECT_EQ(Result, "No grid lines were found.");
    EXPECT_EQ(Hash(), After);
    EXPECT_EQ(Window->actEditUndo->text(), "&Undo Eliminate Grid");
    EXPECT_TRUE(Errors.empty());
}

TEST_F(MainWindow, ClosingWithChangedDataAsksAndCancelKeepsTheImage) {
    Open();
    Define();
    Prompter.Asked.clear();
    EXPECT_FALSE(Window->close());
    ASSERT_EQ(Prompter.Asked.size(), 1u);
    EXPECT_EQ(Prompter.Asked[0].Text, "Save changes to data?");
    EXPECT_TRUE(Window->App().FileIsOpen());
    EXPECT_EQ(Window->windowTitle(), "chart.ppm - Korvane 5");
}

TEST_F(MainWindow, ViewCommandsZoomByTheirFactorsAndKeysPanTheImage) {
    Open();
    Window->actViewZoomIn->Execute();
    EXPECT_EQ(View().View().WindowExt, (TLongintPoint{300, 225}));
    Window->actViewZoomOut->Execute(); // back exactly to 1:1
    EXPECT_EQ(View().View().WindowExt, (TLongintPoint{400, 300}));
    Window->actViewZoomOut->Execute();
    EXPECT_EQ(View().View().WindowExt, (TLongintPoint{533, 400}));
    Window->actViewActualSize->Execute();
    EXPECT_EQ(View().View().WindowExt, (TLongintPoint{400, 300}));

    // Zoomed in far enough for scroll bars, Ctrl+Alt pans and the arrows scroll by 10.
    for (int I = 0; I < 6; ++I)
        Window->actViewZoomIn->Execute();
    ASSERT_TRUE(View().HorzScrollBar().Visible);
    QWidget* Target = QApplication::focusWidget() ? QApplication::focusWidget() : Window.get();
    // As from X: the state before the press; Qt adds the pressed modifier itself.
    QKeyEvent CtrlAlt(QEvent::KeyPress, Qt::Key_Alt, Qt::ControlModifier);
    QApplication::sendEvent(Target, &CtrlAlt);
    EXPECT_TRUE(View().Panning());
    EXPECT_EQ(Window->App().StatusMessage(),
              "PANNING: Hold down Ctrl and Alt keys. Move mouse or use arrow keys to pan image.");
    const int Before = View().HorzScrollBar().Position;
    QKeyEvent Right(QEvent::KeyPress, Qt::Key_Right, Qt::ControlModifier | Qt::AltModifier);
    QApplication::sendEvent(Target, &Right);
    EXPECT_EQ(View().HorzScrollBar().Position, Before + 10);
    QKeyEvent Release(QEvent::KeyRelease, Qt::Key_Alt, Qt::ControlModifier | Qt::AltModifier);
    QApplication::sendEvent(Target, &Release);
    EXPECT_FALSE(View().Panning());
    EXPECT_TRUE(Window->App().StatusMessage().empty());
}

TEST_F(MainWindow, AnImageLargerThanTheWindowOpensWholeTheFirstTime) {
    const fs::path Big = Dir / "big.png";
    QImage Image(3000, 2000, QImage::Format_RGB888);
    Image.fill(Qt::white);
    ASSERT_TRUE(Image.save(QString::fromStdString(Big.string())));
    Window->OpenImage(QString::fromStdString(Big.string()));
    ASSERT_TRUE(Window->App().FileIsOpen());
    EXPECT_FALSE(View().HorzScrollBar().Visible);
    EXPECT_FALSE(View().VertScrollBar().Visible);
    EXPECT_EQ(View().View().WindowExt.X, View().View().WindowExt.Y); // one scale
    Window->actViewActualSize->Execute();
    EXPECT_TRUE(View().HorzScrollBar().Visible);
    Window->actViewZoomToFit->Execute();
    EXPECT_FALSE(View().HorzScrollBar().Visible);

    // A small one opens at one image pixel per screen pixel.
    Open();
    EXPECT_EQ(View().View().WindowExt, (TLongintPoint{400, 300}));
    EXPECT_EQ(View().View().ViewportExt, (TLongintPoint{400, 300}));
}

TEST_F(MainWindow, TheMagnifierIsOnWhilePointsArePlacedAndSwitchesWhereTheUserIs) {
    Open();
    TMagnifier& Loupe = Window->pzImage->Magnifier();
    EXPECT_FALSE(Loupe.Enabled());
    EXPECT_FALSE(Window->actViewMagnifier->isChecked());
    Window->actEditDefineCoordinateSystem->Execute();
    EXPECT_TRUE(Loupe.Enabled());
    EXPECT_TRUE(Window->actViewMagnifier->isChecked());
    Window->actViewMagnifier->trigger(); // off while defining ...
    EXPECT_FALSE(Loupe.Enabled());
    Window->actEditDefineCoordinateSystem->Execute(); // the mode ends
    Settle();
    ASSERT_EQ(Window->App().ModeManager().CurrentMode(), nullptr);
    EXPECT_FALSE(Loupe.Enabled());
    Window->actViewMagnifier->trigger(); // ... on elsewhere
    EXPECT_TRUE(Loupe.Enabled());
    Window->actEditDefineCoordinateSystem->Execute();
    EXPECT_FALSE(Loupe.Enabled()); // the modes keep their own choice
    EXPECT_FALSE(Window->actViewMagnifier->isChecked());
}

TEST_F(MainWindow, APastedImageIsDigitizedAndItsWorkComesBackWhenPastedAgain) {
    QGuiApplication::clipboard()->clear();
    Window->actEditPasteImage->Execute();
    ASSERT_EQ(Prompter.Asked.size(), 1u);
    EXPECT_EQ(Prompter.Asked[0].Kind, EMessageKind::Information);
    EXPECT_FALSE(Window->App().FileIsOpen());

    // A screenshot with a transparent corner: transparency becomes white.
    QImage Shot(400, 300, QImage::Format_ARGB32);
    Shot.fill(qRgb(20, 40, 60));
    Shot.setPixel(0, 0, qRgba(0, 0, 0, 0));
    QGuiApplication::clipboard()->setImage(Shot);
    Window->actEditPasteImage->Execute();
    ASSERT_TRUE(Window->App().FileIsOpen());
    const QImage& Working = Window->pzImage->Image();
    EXPECT_EQ(Working.format(), QImage::Format_RGB888);
    EXPECT_EQ(Working.size(), QSize(400, 300));
    EXPECT_EQ(Working.pixel(0, 0) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(Working.pixel(5, 5) & 0xFFFFFF, qRgb(20, 40, 60) & 0xFFFFFF);
    EXPECT_EQ(Window->windowTitle().left(13), "Pasted image ");

    // Its work is kept: the coordinate system comes back with the same picture.
    Define();
    ASSERT_TRUE(Window->pzImage->ScaleDefined());
    Prompter.Queue(EMessageAnswer::Yes); // save the changes
    ASSERT_TRUE(Window->CloseImage());
    Window->actEditPasteImage->Execute();
    ASSERT_TRUE(Window->App().FileIsOpen());
    EXPECT_TRUE(Window->pzImage->ScaleDefined());
}

TEST_F(MainWindow, ZoomToAreaIsAModeThatEndsAfterOneZoom) {
    Open();
    Window->actViewZoomToArea->Execute();
    ASSERT_NE(dynamic_cast<TZoomingMode*>(Window->App().ModeManager().CurrentMode()), nullptr);
    EXPECT_EQ(Window->actViewZoomToArea->text(), "Cancel &Zoom To Area");
    EXPECT_EQ(Window->App().StatusMessage(),
              "ZOOMING TO AREA: Drag and release to define zoom area.");
    EXPECT_TRUE(GuideHas(*Window, "Zoom To Area"));
    View().MouseDown({10, 10}, 1, 0);
    View().MouseMove({110, 110}, 0);
    View().MouseUp({110, 110}, 1, 0);
    Settle();
    EXPECT_EQ(Window->App().ModeManager().CurrentMode(), nullptr);
    EXPECT_FALSE(View().ZoomingIn());
    EXPECT_EQ(Window->actViewZoomToArea->text(), "&Zoom To Area");
    EXPECT_LT(View().View().WindowExt.X, 400);
    EXPECT_TRUE(GuideHas(*Window, "Specify the coordinate system"));
}

TEST_F(MainWindow, GuideLinksRunTheirActions) {
    Open();
    QApplication::postEvent(
        Window.get(),
        new TGuideLinkEvent(&Window->Guide(), "Specify the coordinate system", QPoint(0, 0)));
    Settle();
    EXPECT_NE(dynamic_cast<TDefiningScaleMode*>(Window->App().ModeManager().CurrentMode()),
              nullptr);
}

TEST_F(MainWindow, OpeningASecondImageClosesTheFirstWithItsQuestion) {
    Open();
    Define();
    const fs::path Other = Dir / "other.ppm";
    WriteChart(Other);
    Prompter.Asked.clear();
    Window->OpenImage(QString::fromStdString(Other.string())); // Cancel: the first stays
    ASSERT_EQ(Prompter.Asked.size(), 1u);
    EXPECT_EQ(Prompter.Asked[0].Text, "Save changes to data?");
    EXPECT_EQ(Window->windowTitle(), "chart.ppm - Korvane 5");
    Prompter = TScriptedPrompter({EMessageAnswer::Yes});
    Window->OpenImage(QString::fromStdString(Other.string()));
    EXPECT_EQ(Window->windowTitle(), "other.ppm - Korvane 5");
    EXPECT_FALSE(Window->pzImage->ScaleDefined());
    EXPECT_EQ(Window->App().History().Count(), 0);
    // The first image's work was saved: reopening it brings its coordinate system back.
    Window->OpenImage(QString::fromStdString(Chart.string()));
    EXPECT_TRUE(Window->pzImage->ScaleDefined());
    EXPECT_EQ(Window->mnuRecentFiles->actions().size(), 2);
}

TEST_F(MainWindow, DataSetsAppearInTheListAndTheDeleteCaptionNamesTheCurrentOne) {
    Open();
    Define();
    auto Line = TDigitizationRegistry::Create("TFunctionalLine", "Upper curve");
    Line->SetColorIndex(2);
    Window->App().InsertDigitization(std::move(Line), 0);
    ASSERT_EQ(Window->lbDigs->count(), 1);
    EXPECT_EQ(Window->lbDigs->item(0)->text(), "Upper curve");
    EXPECT_EQ(Window->lbDigs->currentRow(), 0);
    EXPECT_EQ(Window->actDigitizeDelete->text(), "&Delete Upper curve");
    EXPECT_TRUE(Window->mnuDigitizations->isEnabled());
    EXPECT_TRUE(Window->actViewDigitizationsLines->isEnabled());
    EXPECT_FALSE(Window->actViewDigitizationsScatters->isEnabled());
    // Hiding all keeps the current data set visible.
    Window->actViewDigitizationsNone->Execute();
    EXPECT_TRUE(Window->App().Digitization(0).Visible);
    EXPECT_TRUE(Window->actDigitizeDelete->isEnabled());
    Window->actDigitizeDelete->Execute();
    EXPECT_EQ(Window->lbDigs->count(), 0);
    EXPECT_EQ(Window->actDigitizeDelete->text(), "&Delete");
    EXPECT_FALSE(Window->mnuDigitizations->isEnabled());
}

TEST_F(MainWindow, TheDataPanelFloatsInItsOwnWindowAndDocksBack) {
    Window->actViewSeparateWindow->Execute();
    EXPECT_TRUE(Window->pnlData->isFloating());
    EXPECT_TRUE(Window->actViewSeparateWindow->isChecked());
    Window->pnlData->close(); // closing the floating window docks it
    QApplication::processEvents();
    EXPECT_FALSE(Window->pnlData->isFloating());
    EXPECT_TRUE(Window->pnlData->isVisible());
    EXPECT_FALSE(Window->actViewSeparateWindow->isChecked());
}

TEST_F(MainWindow, TheOpenDialogStartsInTheFolderOfTheLastImageOpenedThroughIt) {
    Window->actFileOpen->Execute();
    ASSERT_EQ(Dialogs.OpenFolders.size(), 1u);
    EXPECT_TRUE(Dialogs.OpenFolders[0].isEmpty()); // nothing opened yet: the working folder
    EXPECT_FALSE(Window->App().FileIsOpen());

    fs::create_directories(Dir / "scans");
    const fs::path Image = Dir / "scans" / "page.ppm";
    WriteChart(Image);
    Dialogs.OpenAnswers = {QString::fromStdString(Image.string())};
    Window->actFileOpen->Execute();
    ASSERT_TRUE(Window->App().FileIsOpen());
    // Also after a restart.
    Window->close();
    Window = std::make_unique<TfrmMain>(Dir.string(), Prompter, &Dialogs);
    Window->actFileOpen->Execute();
    ASSERT_EQ(Dialogs.OpenFolders.size(), 3u);
    EXPECT_EQ(Dialogs.OpenFolders[2].toStdString(), (Dir / "scans").string());
}

TEST_F(MainWindow, ARestartKeepsTheDataSetListHeightAndGivesTheRestToTheData) {
    Window->resize(780, 580);
    Settle();
    Window->splData->setSizes({60, Window->splData->height() - 60});
    Settle();
    Window->close();
    Window = std::make_unique<TfrmMain>(Dir.string(), Prompter, &Dialogs);
    Window->show();
    Settle();
    EXPECT_EQ(Window->size(), QSize(780, 580));
    const QList<int> Sizes = Window->splData->sizes();
    ASSERT_EQ(Sizes.size(), 2);
    EXPECT_NEAR(Sizes[0], 60, 4);
    // The grid shows many rows, not one to three.
    const int RowHeight = Window->dgDigData->verticalHeader()->defaultSectionSize();
    EXPECT_GE(Window->dgDigData->viewport()->height() / RowHeight, 10);
}

TEST_F(MainWindow, EnhancedFollowingIsOneSwitchKeptBesideTheSettings) {
    EXPECT_FALSE(Window->actDigitizeEnhancedFollowing->isChecked());
    Window->actDigitizeEnhancedFollowing->trigger();
    EXPECT_TRUE(Window->actDigitizeEnhancedFollowing->isChecked());
    EXPECT_TRUE(Window->App().EnhancementSettings().Enhancements.EnhancedFollowing());
    ASSERT_TRUE(fs::exists(Dir / "Korvane5.ext"));
    Window = std::make_unique<TfrmMain>(Dir.string(), Prompter, &Dialogs);
    EXPECT_TRUE(Window->actDigitizeEnhancedFollowing->isChecked());
    Window->actDigitizeEnhancedFollowing->trigger();
    EXPECT_FALSE(Window->App().EnhancementSettings().Enhancements.Any());
    // A damaged file is reported and the defaults are used.
    std::ofstream(Dir / "Korvane5.ext") << "something else\n";
    Prompter.Asked.clear();
    Window = std::make_unique<TfrmMain>(Dir.string(), Prompter, &Dialogs);
    ASSERT_EQ(Prompter.Asked.size(), 1u);
    EXPECT_EQ(Prompter.Asked[0].Kind, EMessageKind::Error);
    EXPECT_FALSE(Window->actDigitizeEnhancedFollowing->isChecked());
}

TEST_F(MainWindow, StoredPlacesOffEveryScreenOrLargerThanItAreBroughtBack) {
    const std::int32_t Min = std::numeric_limits<std::int32_t>::min();
    const std::int32_t Max = std::numeric_limits<std::int32_t>::max();
    const QRect Screen = QGuiApplication::primaryScreen()->availableGeometry();
    for (const TBoundsRect& Stored : {TBoundsRect{Min, Min, Max, Max},
                                      TBoundsRect{Max - 700, Max - 500, Max, Max},
                                      TBoundsRect{-5000, 10, -4300, 510}}) {
        Window.reset();
        {
            TApplicationParameters Params(Dir.string());
            TPaintParameters Paint;
            Params.MainWindowBounds = Stored;
            Params.ExportDialogBounds = Stored;
            Params.SaveParameterFile(Paint);
        }
        Window = std::make_unique<TfrmMain>(Dir.string(), Prompter, &Dialogs);
        Window->show();
        QApplication::processEvents();
        // On the screen and no larger than it (the window manager adds its frame).
        const QRect Shown = Window->geometry();
        EXPECT_TRUE(Screen.contains(Shown.center()) && Shown.width() <= Screen.width() &&
                    Shown.height() <= Screen.height())
            << Stored.Left << ": " << Shown.x() << "," << Shown.y() << " " << Shown.width()
            << "x" << Shown.height();
    }
}

TEST_F(MainWindow, LayoutAndGuideStateSurviveARestart) {
    Window->actViewCloseGuide->Execute();
    EXPECT_FALSE(Window->pnlGuide->isVisible());
    EXPECT_TRUE(Window->actViewShowGuide->isVisible());
    EXPECT_FALSE(Window->actViewCloseGuide->isVisible());
    Window->resize(780, 560);
    QApplication::processEvents();
    ASSERT_TRUE(Window->close());
    Window = std::make_unique<TfrmMain>(Dir.string(), Prompter, &Dialogs);
    EXPECT_FALSE(Window->App().ApplicationParameters().ShowGuide);
    EXPECT_EQ(Window->size(), QSize(780, 560));
    Window->show();
    EXPECT_FALSE(Window->pnlGuide->isVisible());
}

} // namespace
} // namespace korvane
