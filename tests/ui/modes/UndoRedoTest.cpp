// Every undoable command, run on the application object and an image panel without the main
// window: do, undo, redo and undo again must each leave the document exactly as it was.

#include "core/Prompter.h"
#include "document/Digitizations.h"
#include "document/EnhancementSettings.h"
#include "document/Parameters.h"
#include "document/PointSelections.h"
#include "follower/UiDispatcher.h"
#include "follower/VectorizerInitialConditions.h"
#include "interaction/ApplicationCommands.h"
#include "interaction/ApplicationParameters.h"
#include "interaction/KorvaneApplication.h"
#include "ui/common/SupportWidgets.h"
#include "support/DialogHooks.h"
#include "ui/dialogs/KorvaneDialogs.h"
#include "ui/dialogs/PropertiesDialogs.h"
#include "ui/modes/DigitizingCommands.h"
#include "ui/modes/KorvaneCommands.h"
#include "ui/modes/PropertiesCommands.h"
#include "ui/panel/KorvanePanel.h"

#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <chrono>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sstream>
#include <unistd.h>

using namespace korvane;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

// Answers every question with the values it holds.
struct TFixedDialogs : TDialogHooks {
    TStringPoint Units{"s", "V"};
    TCoordFormatPair Formats;
    bool AskScalePoint(const QString&, bool, QPoint, TScalePointAnswer&) override { return false; }
    bool AskUnits(TStringPoint& Value) override {
        Value = Units;
        return true;
    }
    bool AskFormats(TCoordFormatPair& Value, bool& SetAsDefault) override {
        Value.Assign(Formats);
        SetAsDefault = false;
        return true;
    }
    // Turns every setting away from its default.
    bool AskSettings(TSettingsAnswer& Value, bool) override {
        Value.UseSpanningCursor = !Value.UseSpanningCursor;
        Value.Vectorizer.SelectedPointColor = 2;
        Value.Vectorizer.UseBeacon = !Value.Vectorizer.UseBeacon;
        Value.Vectorizer.SetDelay(7);
        Value.Vectorizer.SetColorTolerance(0.33);
        Value.Vectorizer.SetMaxHorizontalJump(9);
        Value.Vectorizer.SetMaxVerticalJump(400);
        Value.Vectorizer.SetThicknessTolerance(11);
        Value.Paint.SetPenSize(9);
        Value.Paint.SetReplacingColor(RGB(1, 2, 3));
        Value.Paint.SetErasingColor(RGB(4, 5, 6));
        Value.Paint.SetMarkingColor(RGB(7, 8, 9));
        Value.Enhancements = TFollowerEnhancements::Enhanced();
        Value.Enhancements.GapFilling = true;
        return true;
    }
    bool RunExportDialog(TfrmExportData&) override { return false; }
    bool AskSaveFileName(const TSaveFileQuestion&, QString&) override { return false; }
    bool AskOpenFileName(const QString&, const QString&, const QString&, QString&) override {
        return false;
    }
};

// An open 300 x 100 image with a black line in rows 50 to 52 from column 10, on a panel
// whose real values are image pixels (until a row undefines them), with one line and one
// scatter of four points ready.
struct TWork {
    fs::path Dir;
    TScriptedPrompter Prompter;
    TFixedDialogs Dialogs;
    std::unique_ptr<TKorvaneApplication> App;
    TKorvanePanel Panel;
    TQueuedDispatcher Queue;
    TFunctionalLine* Line = nullptr;
    TScatter* Scatter = nullptr;

    explicit TWork(const std::string& Name) {
        Dir =
            fs::temp_directory_path() / ("korvane-undo-" + std::to_string(::getpid()) + "-" + Name);
        fs::remove_all(Dir);
        fs::create_directories(Dir);
        QImage Image(300, 100, QImage::Format_RGB888);
        Image.fill(Qt::white);
        for (int Y = 50; Y <= 52; ++Y)
            for (int X = 10; X < 300; ++X)
                Image.setPixel(X, Y, qRgb(0, 0, 0));
        const std::string File = (Dir / "chart.png").string();
        Image.save(QString::fromStdString(File), "PNG");

        App = std::make_unique<TKorvaneApplication>(Dir.string(), Prompter);
        Panel.resize(320, 120);
        Panel.show();
        Panel.DispatcherSource = [this]() -> IUiDispatcher& { return Queue; };
        ExecuteCommand(*App, std::make_unique<TOpenFileCommand>(), {&File, &Panel});
        SetScalePoints();
        Panel.Scale().DefineScale(false, false);
        App->FileParameters().VectorizerParameters.SetDelay(0);
        App->PaintParameters().ApplyTo(Panel); // as painting does when it starts

        auto NewLine = std::make_unique<TFunctionalLine>("Line");
        Line = NewLine.get();
        Line->SetPanel(&Panel);
        Line->SetTrackingColor(RGB(0, 0, 0));
        for (int X = 10; X < 15; ++X)
            Line->AddPoint({double(X), 51.0});
        App->InsertDigitization(std::move(NewLine), 0);
        auto NewScatter = std::make_unique<TScatter>("Scatter");
        Scatter = NewScatter.get();
        Scatter->SetPanel(&Panel);
        for (const TDoublePoint P : {TDoublePoint{5, 5}, {6, 7}, {8, 9}, {10, 11}})
            Scatter->AddPoint(P);
        App->InsertDigitization(std::move(NewScatter), 1);
    }
    ~TWork() {
        App.reset();
        fs::remove_all(Dir);
    }

    void SetScalePoints() {
        Panel.Scale().SetFirstScalePoint({0, 0}, {0, 0});
        Panel.Scale().SetSkewPoint({100, 0});
        Panel.Scale().SetSecondScalePoint({100, 100}, {100, 100});
    }

    // Everything a command may change, as text.
    std::string Document() const {
        std::ostringstream S;
        S.precision(17);
        const TPanelScale& Scale = Panel.Scale();
        S << "scale " << Scale.ScaleDefined();
        if (Scale.ScaleDefined()) {
            const TScaleSystem& D = Scale.DefinedScaleSystem();
            S << ' ' << D.FirstPoint.X << ',' << D.FirstPoint.Y << ' ' << D.SecondPoint.X << ','
              << D.SecondPoint.Y << ' ' << D.FirstValue.X << ',' << D.FirstValue.Y << ' '
              << D.SecondValue.X << ',' << D.SecondValue.Y << ' ' << D.LogAxes.X << D.LogAxes.Y;
        }
        const TFileParameters& F = App->FileParameters();
        const TVectorizerParameters& V = F.VectorizerParameters;
        const TPaintParameters& P = App->PaintParameters();
        S << "\nsettings " << App->ApplicationParameters().UseSpanningCursor << ' '
          << int(V.SelectedPointColor) << V.UseBeacon << ' ' << V.Delay() << ' '
          << V.ColorTolerance() << ' ' << V.MaxHorizontalJump() << ' ' << V.MaxVerticalJump()
          << ' ' << V.ThicknessTolerance() << " paint " << P.PenSize() << ' '
          << P.ReplacingColor() << ' ' << P.ErasingColor() << ' ' << P.MarkingColor()
          << " panel " << Panel.PenWidth() << ' ' << Panel.ReplacingColor() << ' '
          << Panel.ErasingColor() << ' ' << Panel.MarkingColor() << "\nenhancements\n"
          << App->EnhancementSettings().ToText() << "stored\n";
        TEnhancementSettings Stored;
        Stored.Load(Dir.string());
        S << Stored.ToText();
        S << "\nunits " << F.Units.X << '|' << F.Units.Y << "\nformats "
          << F.Formats.XFormat.FloatingPoint << F.Formats.XFormat.Precision
          << F.Formats.YFormat.FloatingPoint << F.Formats.YFormat.Precision << '\n';
        for (std::int32_t I = 0; I < App->Count(); ++I) {
            const TDigitization& D = App->Digitization(I);
            S << D.ClassName() << " \"" << D.Name() << "\" colour " << int(D.ColorIndex())
              << " marker " << D.Marker().ClassName() << ' ' << D.Marker().GetSize();
            if (const auto* L = dynamic_cast<const TLine*>(&D))
                S << " tracking " << L->TrackingColorSet << ' ' << L->TrackingColor;
            S << ':';
            for (std::int32_t K = 0; K < D.Count(); ++K)
                S << ' ' << D.GetPoint(K).X << ',' << D.GetPoint(K).Y;
            S << " selected:";
            for (const std::int32_t K : D.Selection().SortedItems())
                S << ' ' << K;
            S << '\n';
        }
        return S.str();
    }

    bool PumpUntilStill(TLine& L) {
        const auto End = std::chrono::steady_clock::now() + 10s;
        while (L.Following()) {
            if (std::chrono::steady_clock::now() > End)
                return false;
            Queue.WaitAndProcess(5ms);
        }
        return true;
    }
};

struct TUndoCase {
    const char* Name;
    // Brings the work into the state the command starts from.
    std::function<void(TWork&)> Prepare;
    // Runs the command through the application, as the program does.
    std::function<void(TWork&)> Run;
    // The command itself marks the work changed (a run's end is marked by its mode).
    bool MarksDirty = true;
};

template <class Command>
std::function<void(TWork&)> Plain(std::function<TArgumentList(TWork&)> Arguments) {
    return [Arguments](TWork& W) {
        ExecuteCommand(*W.App, std::make_unique<Command>(), Arguments(W));
    };
}

template <class Command>
std::function<void(TWork&)> Asking(std::function<TArgumentList(TWork&)> Arguments) {
    return [Arguments](TWork& W) {
        auto C = std::make_unique<Command>();
        C->SetDialogs(W.Dialogs);
        ExecuteCommand(*W.App, std::move(C), Arguments(W));
    };
}

const TDoublePoint NewPoint{42, 43};
const std::string NewName = " Points ";
const TDoublePoint ScatterPoint{6, 7};

const TUndoCase UndoCases[] = {
    {"define the coordinate system",
     [](TWork& W) {
         W.Panel.Scale().UndefineScale();
         W.SetScalePoints();
         W.Panel.Scale().SetFirstScalePoint({0, 0}, {0, 1}); // logarithmic Y from 1
     },
     Plain<TDefineScaleCommand>([](TWork& W) -> TArgumentList {
         return {&W.Panel, false, true, nullptr, nullptr};
     })},
    {"redefine the coordinate system", nullptr,
     [](TWork& W) {
         const TScaleSystem OldDefined = W.Panel.Scale().DefinedScaleSystem();
         const TScaleSystem OldCurrent = W.Panel.Scale().CurrentScaleSystem();
         W.Panel.Scale().UndefineScale();
         W.SetScalePoints();
         W.Panel.Scale().SetSecondScalePoint({100, 100}, {50, 200});
         ExecuteCommand(*W.App, std::make_unique<TDefineScaleCommand>(),
                        {&W.Panel, false, false, &OldDefined, &OldCurrent});
     }},
    {"units", nullptr, Asking<TSetUnitsCommand>([](TWork&) -> TArgumentList { return {}; })},
    {"formats",
     [](TWork& W) {
         W.Dialogs.Formats.XFormat.FloatingPoint = false;
         W.Dialogs.Formats.XFormat.Precision = 5;
     },
     Asking<TSetFormatsCommand>([](TWork&) -> TArgumentList { return {nullptr}; })},
    {"settings", nullptr, Asking<TEditPreferencesCommand>([](TWork& W) -> TArgumentList { return {&W.Panel}; }),
     false},
    {"line properties",
     [](TWork& W) {
         W.Dialogs.OnLineProperties = [](TfrmLineProperties& D) {
             EXPECT_EQ(D.GetName(), "Line");
             EXPECT_TRUE(D.TrackingColorSet);
             D.txtName->setText("  Run 1 at 20 °C ");
             D.SetColorIndex(3);
             D.ClearTrackingColor();
             return true;
         };
     },
     Asking<TEditLinePropertiesCommand>([](TWork& W) -> TArgumentList { return {W.Line}; })},
    {"a line's new tracking colour",
     [](TWork& W) {
         W.Dialogs.OnLineProperties = [](TfrmLineProperties& D) {
             D.SetTrackingColor(RGB(1, 2, 3));
             return true;
         };
     },
     Asking<TEditLinePropertiesCommand>([](TWork& W) -> TArgumentList { return {W.Line}; })},
    {"scatter properties",
     [](TWork& W) {
         W.Dialogs.OnScatterProperties = [](TfrmScatterProperties& D) {
             D.SetColorIndex(2);
             D.cboStyle->setCurrentText("X");
             D.updRadius->setValue(7);
             return true;
         };
     },
     Asking<TEditScatterPropertiesCommand>(
         [](TWork& W) -> TArgumentList { return {W.Scatter}; })},
    {"rename in the list", nullptr,
     Plain<TRenameDigitizationCommand>([](TWork& W) -> TArgumentList {
         return {W.Scatter, &NewName};
     })},
    {"new functional line", nullptr,
     Plain<TCreateFunctionalLineCommand>([](TWork&) -> TArgumentList { return {}; })},
    {"new nonfunctional line", nullptr,
     Plain<TCreateNonfunctionalLineCommand>([](TWork&) -> TArgumentList { return {}; })},
    {"new scatter", nullptr,
     Plain<TCreateScatterCommand>([](TWork&) -> TArgumentList { return {}; })},
    {"delete a data set", nullptr,
     Plain<TDeleteDigitizationCommand>([](TWork&) -> TArgumentList { return {0}; })},
    {"point digitization", nullptr, Plain<TDigitizeManualCommand>([](TWork& W) -> TArgumentList {
         return {W.Line, &W.Panel, 20, 51};
     })},
    {"automatic digitization",
     [](TWork& W) {
         W.App->EnhancementSettings().Enhancements = TFollowerEnhancements::Enhanced();
     },
     [](TWork& W) {
         TVectorizerInitialConditions Click({15, 51});
         RunAutomaticDigitizing(*W.App, *W.Line, W.Panel, Click);
         // The command hands the line the file's settings and the chosen enhancements.
         const TFollowRun* Run = W.Line->CurrentRun();
         ASSERT_NE(Run, nullptr);
         EXPECT_EQ(&Run->Settings, &W.App->FileParameters().VectorizerParameters);
         EXPECT_EQ(Run->Enhancements, TFollowerEnhancements::Enhanced());
         EXPECT_EQ(&Run->Image, &W.Panel.Image());
         ASSERT_TRUE(W.PumpUntilStill(*W.Line));
         EXPECT_GT(W.Line->Count(), 200);
     },
     false},
    {"erase to the end", [](TWork& W) { W.Line->SetEraseFrom(2); },
     Plain<TEraseCommand>([](TWork& W) -> TArgumentList {
         return {W.Line, &W.Panel};
     })},
    {"add a scatter point", nullptr, Plain<TScatterPointAddCommand>([](TWork& W) -> TArgumentList {
         return {W.Scatter, &NewPoint};
     })},
    {"remove a scatter point", nullptr,
     Plain<TScatterPointRemoveCommand>([](TWork& W) -> TArgumentList {
         return {W.Scatter, &ScatterPoint};
     })},
    {"delete selected scatter points",
     [](TWork& W) {
         W.Scatter->Selection().SelectList({3, 1});
     },
     Plain<TDeleteSelectedScatterDataCommand>(
         [](TWork& W) -> TArgumentList { return {W.Scatter}; })},
};

} // namespace

TEST(UndoRedo, EveryUndoableCommandGoesBackAndForthExactly) {
    int Number = 0;
    for (const TUndoCase& Case : UndoCases) {
        SCOPED_TRACE(Case.Name);
        TWork W(std::to_string(++Number));
        if (Case.Prepare)
            Case.Prepare(W);
        W.App->SetFileIsDirty(false);
        const std::string Before = W.Document();
        Case.Run(W);
        const std::string After = W.Document();
        EXPECT_NE(After, Before);
        ASSERT_TRUE(W.App->History().CanUndo());
        EXPECT_EQ(W.App->FileIsDirty(), Case.MarksDirty);

        W.App->History().Undo();
        EXPECT_EQ(W.Document(), Before);
        ASSERT_TRUE(W.App->History().CanRedo());
        W.App->History().Redo();
        EXPECT_EQ(W.Document(), After);
        W.App->History().Undo();
        EXPECT_EQ(W.Document(), Before);
        EXPECT_FALSE(W.App->History().CanUndo());
    }
}
