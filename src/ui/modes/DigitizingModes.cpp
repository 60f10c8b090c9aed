#include "ui/modes/DigitizingModes.h"

#include "core/Prompter.h"
#include "document/Parameters.h"
#include "follower/LineEnd.h"
#include "follower/VectorizerInitialConditions.h"
#include "follower/Vectorizers.h"
#include "interaction/KorvaneApplication.h"
#include "output/CurveApproximators.h"
#include "ui/common/Guarded.h"
#include "ui/data/DigitizationDataViews.h"
#include "ui/modes/DigitizingCommands.h"
#include "ui/modes/ExportCommands.h"
#include "ui/modes/GuideControls.h"
#include "ui/modes/PropertiesCommands.h"
#include "ui/panel/KorvanePanel.h"

#include <QComboBox>
#include <QLabel>
#include <QSlider>
#include <QStatusBar>

namespace korvane {

namespace {

constexpr std::uint16_t KeyCodeUp = 38;
constexpr std::uint16_t KeyCodeDown = 40;

constexpr std::int16_t CursorLeftRight = 11;

} // namespace

// ---------------------------------------------------------------------------------------------
// TDigitizingMode

const TModeClass& TDigitizingMode::Class() {
    static const TModeClass Result =
        TModeClass::Of<TDigitizingMode, TKorvaneMode>("TDigitizingMode");
    return Result;
}

TDigitizingMode::TDigitizingMode() {
    EndsOnEscape = false;
}

TDigitizingMode::~TDigitizingMode() {
    if (Digitization && FListening)
        Digitization->RemoveListener(this);
    if (DataPanel) {
        DataPanel->SetDigitization(nullptr);
        DataPanel->SetActive(false);
    }
    if (Panel && FListening)
        Panel->View().RemoveListener(this);
}

void TDigitizingMode::ReadArguments() {
    Panel = Arguments().Object<TKorvanePanel>(0);
    Digitization = Arguments().Object<TDigitization>(1);
    DataPanel = Arguments().Object<TDigitizationDataPanel>(2);
    if (!Panel || !Digitization)
        throw EAssertion("TDigitizingMode: no panel or data set");
}

void TDigitizingMode::Start(const TArgumentList& Arguments) {
    TKorvaneMode::Start(Arguments);
    Digitization->AddListener(this);
    Panel->View().AddListener(this);
    FListening = true;
    if (DataPanel) {
        DataPanel->SetEnabled(true);
        DataPanel->SetActive(true);
        DataPanel->SetDigitization(Digitization);
    }
    UpdateDigitizationCommands();
    UpdateSelectionCommands();
}

void TDigitizingMode::Stop() {
    TKorvaneMode::Stop();
    Panel->RepaintImage();
}

void TDigitizingMode::UpdateDigitizationCommands() {
    TCommandManager& Commands = App().CommandManager();
    Commands.SetCommandsEnabled({ckExportData}, Digitization->ParamSet().IsComplete());
    Commands.EnableCommands({ckEditDigitizationProperties});
}

void TDigitizingMode::UpdateSelectionCommands() {
    App().CommandManager().SetCommandsEnabled({ckSelectByArea, ckSelectAll, ckSelectNone},
                                              Digitization->ParamSet().IsComplete());
}

void TDigitizingMode::EditProperties() {
    const TCommandClass Class = PropertiesCommandClass();
    if (!Class.Create)
        throw EAssertion("actDataPropertiesExecute");
    std::unique_ptr<TApplicationCommand> Command = Class.Create();
    if (auto* User = dynamic_cast<TDialogsUser*>(Command.get()))
        User->SetDialogs(Dialogs("TDigitizingMode.EditProperties"));
    ExecuteCommand(App(), std::move(Command), {Digitization});
}

void TDigitizingMode::Export() {
    const TCommandClass Class = ExportCommandClass();
    if (!Class.Create)
        throw EAssertion("actDataExportExecute");
    // Exports are never recorded.
    std::unique_ptr<TApplicationCommand> Command = Class.Create();
    if (auto* Client = dynamic_cast<IApplicationClient*>(Command.get()))
        Client->SetApplication(App());
    if (auto* User = dynamic_cast<TDialogsUser*>(Command.get()))
        User->SetDialogs(Dialogs("TDigitizingMode.Export"));
    Command->Execute({Digitization});
}

void TDigitizingMode::PointsAdded(TDigitization&) {
    UpdateDigitizationCommands();
    UpdateSelectionCommands();
}

void TDigitizingMode::PointsChanged(TDigitization&) {
    UpdateDigitizationCommands();
    UpdateSelectionCommands();
}

void TDigitizingMode::ApproximatorParamsChanged(TApproximatorParamSet&) {
    UpdateDigitizationCommands();
    UpdateSelectionCommands();
    Panel->RepaintImage();
}

void TDigitizingMode::SelectionChanged(TPointSelection&) {
    UpdateSelectionCommands();
    Panel->RepaintImage();
}

void TDigitizingMode::PanelPainted(TPanZoomView&) {
    Digitization->Draw();
    // The open data set's output points go on top with its marker, the selected ones in
    // the selected-point colour, so that a selection made in the grid or by area shows.
    Digitization->DrawOutputPoints(*Panel);
}

// ---------------------------------------------------------------------------------------------
// TLineMode

const TModeClass& TLineMode::Class() {
    static const TModeClass Result = TModeClass::Of<TLineMode, TDigitizingMode>("TLineMode");
    return Result;
}

TLineMode::TLineMode() {
    HelpContext = 1900;
}

TLineMode::~TLineMode() {
    RemoveSpeedControl();
    if (Line)
        Line->DiscardFollower();
}

void TLineMode::ReadArguments() {
    TDigitizingMode::ReadArguments();
    Line = Arguments().Object<TLine>(1);
    LineDataPanel = Arguments().Object<TLineDataPanel>(2);
    StatusBar = Arguments().Object<QStatusBar>(3);
    if (!Line)
        throw EAssertion("TLineMode: the data set is no line");
}

TCommandClass TLineMode::PropertiesCommandClass() const {
    return TCommandClass::Of<TEditLinePropertiesCommand>("TEditLinePropertiesCommand");
}

TCommandClass TLineMode::ExportCommandClass() const {
    return TCommandClass::Of<TExportLineCommand>("TExportLineCommand");
}

void TLineMode::Start(const TArgumentList& Arguments) {
    TDigitizingMode::Start(Arguments);
    if (StatusBar && !FSpeedControl) {
        FSpeedControl = new QWidget(StatusBar);
        FSpeedControl->setObjectName("pnlSpeed");
        FSpeedLabel = new QLabel("Speed:", FSpeedControl);
        FSpeedLabel->adjustSize();
        FSpeedLabel->move(2, 5);
        FSpeedBar = new QSlider(Qt::Horizontal, FSpeedControl);
        FSpeedBar->setObjectName("trkSpeed");
        FSpeedBar->setRange(0, 300);
        FSpeedBar->setPageStep(30);
        FSpeedBar->setSingleStep(1);
        FSpeedBar->setTickPosition(QSlider::NoTicks);
        FSpeedBar->setFocusPolicy(Qt::NoFocus);
        const int Height = std::max(StatusBar->contentsRect().height() - 4, 16);
        FSpeedBar->setGeometry(FSpeedLabel->geometry().right() + 1 + 4, 3, 100, Height);
        FSpeedControl->setFixedSize(FSpeedBar->geometry().right() + 1 + 1, Height + 6);
        FSpeedBar->setValue(300 - App().FileParameters().VectorizerParameters.Delay());
        QObject::connect(FSpeedBar, &QSlider::valueChanged, FSpeedBar,
                         [this](int Position) { Guarded([&] { SetDelay(300 - Position); }); });
        StatusBar->insertWidget(0, FSpeedControl);
        FSpeedControl->show();
    }
    App().CommandManager().DisableCommands(CommandsRequiring(rqScatter));
}

void TLineMode::RemoveSpeedControl() {
    if (!FSpeedControl)
        return;
    if (StatusBar)
        StatusBar->removeWidget(FSpeedControl);
    delete FSpeedControl;
    FSpeedControl = nullptr;
    FSpeedLabel = nullptr;
    FSpeedBar = nullptr;
}

void TLineMode::Stop() {
    TDigitizingMode::Stop();
    if (Line->IsFollowing())
        Line->Pause();
    Panel->View().SetPaintBoxCursor(CursorBasic);
    RemoveSpeedControl();
}

void TLineMode::SetDelay(std::int32_t Delay) {
    TVectorizerParameters& Settings = App().FileParameters().VectorizerParameters;
    Settings.SetDelay(Delay);
    if (FSpeedBar && FSpeedBar->value() != 300 - Settings.Delay()) {
        const QSignalBlocker Block(FSpeedBar);
        FSpeedBar->setValue(300 - Settings.Delay());
    }
}

void TLineMode::UpdateDigitizationCommands() {
    TDigitizingMode::UpdateDigitizationCommands();
    TCommandManager& Commands = App().CommandManager();
    Commands.SetCommandsEnabled({ckErase, ckBackUp}, Line->Count() >= 1);
    Commands.SetCommandsEnabled({ckResume}, Line->Count() >= 2);
}

void TLineMode::ManualPoint(TLongintPoint Device) {
    auto Command = std::make_unique<TDigitizeManualCommand>();
    Command->SetApplication(App());
    Command->Execute({Line, Panel, Device.X, Device.Y});
    App().History().Add(std::move(Command));
}

void TLineMode::RunResume(std::unique_ptr<TApplicationCommand> Command) {
    FResumed = true;
    ExecuteCommand(App(), std::move(Command), {Digitization, Panel});
}

bool TLineMode::LineGoesOn() const {
    if (Line->Count() == 0 || !Line->TrackingColorSet)
        return true; // nothing to judge by: offer help
    const TScaleSystem& Scale = Panel->CurrentScaleSystem();
    const TVectorizerParameters& Settings = App().FileParameters().VectorizerParameters;
    TLineEndQuery Query;
    try {
        Query.Last = Scale.RealToImage(Line->Last());
        Query.Direction = TravelDirection();
    } catch (const EKorvane&) {
        return true;
    }
    Query.TrackingColor = Line->TrackingColor;
    Query.ColorTolerance = Settings.ColorTolerance();
    // Farther than the follower may jump, so that a gap it could not cross still counts.
    Query.Reach = 4 * Settings.MaxHorizontalJump();
    Query.Spread = Settings.MaxVerticalJump();
    Query.Clearance = EndClearance();
    if (Query.Direction == TDoublePoint{0, 0})
        return true;
    return InkAhead(Panel->Image(), Query);
}

void TLineMode::StartAutomatic(TLongintPoint P) {
    FResumed = false;
    if (!Line->TrackingColorSet)
        Line->SetTrackingColor(Panel->PixelColor(P));
    TVectorizerInitialConditions Conditions(P);
    RunAutomaticDigitizing(App(), *Line, *Panel, Conditions);
}

void TLineMode::MouseDown(TLongintPoint Device, TDoublePoint, int Button, unsigned Shift) {
    // A press during a run does nothing: the run has the line.
    if (Button != 1 || Line->Following())
        return;
    if (ExactlyShift(Shift))
        ManualPoint(Device);
    else
        StartAutomatic(Panel->CurrentScaleSystem().ScreenToImage(Device));
}

void TLineMode::FollowingStarted(TLine&) {
    TCommandManager& Commands = App().CommandManager();
    Panel->View().SetPaintBoxCursor(CursorBasic);
    FFollowStates = Commands.States();
    Commands.DisableCommands(CommandsRequiring(rqImage | rqView | rqScale | rqDigitization) +
                             TCommandKinds{ckEditPreferences});
    App().History().SetEnabled(false);
    Commands.DisableCommands({ckResume});
    Commands.EnableCommands({ckStop});
    App().SetStatusMessage(
        "LINE DIGITIZING: Press Escape to stop. Use Alt plus arrows to control speed.");
}

void TLineMode::RunEnded() {
    TCommandManager& Commands = App().CommandManager();
    Commands.SetStates(FFollowStates);
    App().History().SetEnabled(true);
    App().SetStatusMessage("LINE DIGITIZING: Stopped. Click to automatically digitize. "
                           "Shift-click to digitize individual points on the line.");
    Commands.DisableCommands({ckStop});
    Panel->RepaintImage();
    App().History().DiscardTopIfNotUndoable();
    App().SetFileIsDirty(true);
    UpdateDigitizationCommands();
    UpdateSelectionCommands();
}

void TLineMode::FollowingFailed(TLine& Failed) {
    // A run that started at a click and found nothing says so; any other run ended at the
    // line's last point, and what lies ahead of it tells an end from a loss.
    const bool FromLineEnd = FResumed || Failed.RunPointCount() > 0;
    if (FromLineEnd && !LineGoesOn()) {
        // Nothing of the line's colour ahead: the curve ended, which is no failure.
        RunEnded();
        App().SetStatusMessage("LINE DIGITIZING: The line ends here; there is nothing further "
                               "to follow. Click to automatically digitize.");
        if (FResumed && Failed.RunPointCount() == 0)
            App().Prompter().Ask(EMessageKind::Information,
                                 "The line ends at its last point: there is nothing further "
                                 "to follow.",
                                 mbOK);
        return;
    }
    if (FResumed && Failed.RunPointCount() == 0) {
        App().Prompter().Ask(EMessageKind::Information,
                             "The digitizer could not continue the line from its last point.\r\n"
                             "Shift-click to digitize individual points past the difficult "
                             "spot, or click on the line further on.",
                             mbOK);
        FillAssistGuide();
    } else if (Failed.RunPointCount() == 0)
        App().Prompter().Ask(
            EMessageKind::Error,
            "The digitizer could not find a line at the point on which you clicked.\r\n"
            "Check to make sure you clicked on a line. Consider adjusting the color\r\n"
            "tolerance and the maximum vertical jump in the Settings dialog.\r\n\r\n"
            "If the line has changed colors from its starting place, consider clearing\r\n"
            "the tracking color in the data set's Properties dialog.",
            mbOK);
    else
        FillAssistGuide();
    RunEnded();
}

void TLineMode::FollowingFinished(TLine&) {
    RunEnded();
}

void TLineMode::PointsAdded(TDigitization& Added) {
    if (!Line->Following())
        TDigitizingMode::PointsAdded(Added);
}

bool TLineMode::ConfirmClose() {
    if (!Line->IsFollowing())
        return true;
    Line->Pause();
    if (App().Prompter().Ask(EMessageKind::Confirmation,
                             "A vectorization is currently being performed.\r\n"
                             "Closing the file will abort this operation.\r\n\r\n"
                             "Do you want to do this?",
                             mbYesNo) == EMessageAnswer::Yes)
        return true;
    Line->Resume();
    return false;
}

void TLineMode::KeyDown(QObject* Sender, std::uint16_t& Key, Qt::KeyboardModifiers Shift) {
    const unsigned Modifiers = static_cast<unsigned>(Shift) & ShiftMask;
    if (Line->IsFollowing()) {
        if (Key == KeyCodeEscape) {
            Line->Stop();
            Key = 0;
        } else if ((Key == KeyCodeUp || Key == KeyCodeDown) && Modifiers == Qt::AltModifier) {
            const TVectorizer* Follower = Line->Follower();
            std::int32_t D =
                Follower ? Follower->Delay : App().FileParameters().VectorizerParameters.Delay();
            D += Key == KeyCodeUp ? -30 : 30;
            SetDelay(D);
            Key = 0;
        }
    } else if (Modifiers == Qt::ShiftModifier &&
               Panel->View().PaintBoxCursor() != CursorLeftRight) {
        Panel->View().SetPaintBoxCursor(CursorLeftRight);
    }
    TDigitizingMode::KeyDown(Sender, Key, Shift);
}

void TLineMode::KeyUp(QObject* Sender, std::uint16_t& Key, Qt::KeyboardModifiers Shift) {
    // The released key may still be in the state: take it out.
    unsigned Modifiers = static_cast<unsigned>(Shift) & ShiftMask;
    if (Key == 16)
        Modifiers &= ~static_cast<unsigned>(Qt::ShiftModifier);
    if (!Line->IsFollowing() && Panel->View().PaintBoxCursor() == CursorLeftRight &&
        Modifiers != Qt::ShiftModifier)
        Panel->View().SetPaintBoxCursor(CursorBasic);
    TDigitizingMode::KeyUp(Sender, Key, Shift);
}

void TLineMode::FillLineGuide(const char* Title, bool WithDirection) {
    if (!GuideContainer)
        return;
    TGuideContentContainer& G = *GuideContainer;
    G.Clear();
    G.AddTitle(Title, GuideBold);
    G.AddLabel("Click on a line, and the automatic digitizer will start from there.", false);
    if (WithDirection)
        G.AddLabel("To give a starting direction, click and drag in the direction of the line.",
                   false);
    G.AddLink("Mark", " the portion of the line you want digitized with a paintbrush.");
    G.AddLink("Save", " the data to a file or to the clipboard.");
    G.AddLabel("Quick tip: Use Ctrl plus the arrow keys for fine cursor adjustment.", false);
}

void TLineMode::FillAssistGuide() {
    if (!GuideContainer)
        return;
    TGuideContentContainer& G = *GuideContainer;
    G.Clear();
    G.AddTitle("Line Digitizing - Assist", GuideBold);
    G.AddLabel("The automatic digitizer requires assistance to continue. Shift-click to digitize "
               "individual points on the line. This can help get through difficult spots.",
               false);
    G.AddLink("Back up", " up one point at a time by pressing Alt-Left Arrow, or");
    G.AddLink("Erase", " large sections of the line to alter the course.");
    G.AddLink("Undo", " the digitization entirely.");
    G.AddLink("Resume", " the digitization or click on the line to start re-digitizing.");
}

// ---------------------------------------------------------------------------------------------
// TFunctionalLineMode

const TModeClass& TFunctionalLineMode::Class() {
    static const TModeClass Result =
        TModeClass::Of<TFunctionalLineMode, TLineMode>("TFunctionalLineMode");
    return Result;
}

TFunctionalLineMode::TFunctionalLineMode() {
    HelpContext = 2000;
}

void TFunctionalLineMode::ReadArguments() {
    TLineMode::ReadArguments();
    if (LineDataPanel)
        LineDataPanel->SetApproximators(&FunctionalApproximators());
}

void TFunctionalLineMode::Start(const TArgumentList& Arguments) {
    TLineMode::Start(Arguments);
    App().SetStatusMessage("FUNCTIONAL LINE DIGITIZING: Click to automatically digitize.");
}

void TFunctionalLineMode::FillGuide() {
    FillLineGuide("Functional Line Digitizing", false);
}

void TFunctionalLineMode::MouseDown(TLongintPoint Device, TDoublePoint Actual, int Button,
                                    unsigned Shift) {
    if (Button != 1)
        return;
    if (Line->Count() == 0) {
        TLineMode::MouseDown(Device, Actual, Button, Shift);
        return;
    }
    const TScaleSystem& View = Panel->CurrentScaleSystem();
    const double LastX = Line->Last().X;
    const bool Backwards = View.XReversed ? Actual.X > LastX : Actual.X < LastX;
    if (Backwards) {
        if (ExactlyShift(Shift))
            EraseBackTo(Actual.X);
        else
            App().Prompter().Ask(EMessageKind::Error,
                                 "Functional lines cannot go backwards in the X direction.\r\n"
                                 "Pick a point whose X value places it to the right of the last "
                                 "digitized point.",
                                 mbOK);
        return;
    }
    TLongintPoint Click = View.ScreenToImage(Device);
    const TLongintPoint Last = View.RealToImage(Line->Last());
    if (Click.X == Last.X) {
        // One column further. The start pixel is used as it is: the screen position of a
        // pixel is the middle of its block, which at actual size lies in the next column.
        Click.X += 1;
        Device.X = View.ImageToScreen(Click).X - View.HalfStep().X;
    }
    if (ExactlyShift(Shift))
        ManualPoint(Device);
    else
        StartAutomatic(Click);
}

void TFunctionalLineMode::EraseBackTo(double X) {
    const TFunctionalRawData RawData(Line->Points());
    Line->SetEraseFrom(RawData.IndexOfNearestL(X));
    ExecuteCommand(App(), std::make_unique<TEraseCommand>(), {Line, Panel});
}

void TFunctionalLineMode::ResumeDigitizing() {
    RunResume(std::make_unique<TResumeFunctionalCommand>());
}

// ---------------------------------------------------------------------------------------------
// TNonfunctionalLineMode

const TModeClass& TNonfunctionalLineMode::Class() {
    static const TModeClass Result =
        TModeClass::Of<TNonfunctionalLineMode, TLineMode>("TNonfunctionalLineMode");
    return Result;
}

TNonfunctionalLineMode::TNonfunctionalLineMode() {
    HelpContext = 2100;
}

void TNonfunctionalLineMode::ReadArguments() {
    TLineMode::ReadArguments();
    if (LineDataPanel)
        LineDataPanel->SetApproximators(&NonfunctionalApproximators());
}

void TNonfunctionalLineMode::Start(const TArgumentList& Arguments) {
    TLineMode::Start(Arguments);
    App().SetStatusMessage(
        "NONFUNCTIONAL LINE DIGITIZING: Click and drag to automatically digitize in a direction.");
}

void TNonfunctionalLineMode::FillGuide() {
    FillLineGuide("Nonfunctional Line Digitizing", true);
}

void TNonfunctionalLineMode::MouseDown(TLongintPoint Device, TDoublePoint, int Button,
                                       unsigned Shift) {
    Pressed = false;
    if (Button != 1)
        return;
    if (ExactlyShift(Shift)) {
        ManualPoint(Device);
        return;
    }
    Pressed = true;
    PressPoint = Device;
}

void TNonfunctionalLineMode::MouseUp(TLongintPoint Device, TDoublePoint, int Button,
                                     unsigned Shift) {
    if (Button != 1)
        return;
    const bool Start = !ExactlyShift(Shift) && Pressed;
    Pressed = false;
    if (!Start)
        return;
    const TLongintPoint P = Panel->CurrentScaleSystem().ScreenToImage(PressPoint);
    if (!Line->TrackingColorSet)
        Line->SetTrackingColor(Panel->PixelColor(P));
    TLongintPoint Direction{Device.X - PressPoint.X, Device.Y - PressPoint.Y};
    if (Direction.X == 0 && Direction.Y == 0)
        Direction = {1, 0};
    TResumeNonfunctionalInitialConditions Conditions(P, Direction);
    RunAutomaticDigitizing(App(), *Line, *Panel, Conditions);
}

void TNonfunctionalLineMode::ResumeDigitizing() {
    RunResume(std::make_unique<TResumeNonfunctionalCommand>());
}

TDoublePoint TNonfunctionalLineMode::TravelDirection() const {
    // From a few points back to the last: the way the line was going when it stopped.
    const TScaleSystem& Scale = Panel->CurrentScaleSystem();
    const std::int32_t Back = std::max(Line->Count() - 4, 0);
    const TLongintPoint From = Scale.RealToImage(Line->GetPoint(Back));
    const TLongintPoint To = Scale.RealToImage(Line->Last());
    if (From == To)
        return {0, 0}; // no direction known
    return {double(To.X - From.X), double(To.Y - From.Y)};
}

// ---------------------------------------------------------------------------------------------
// TScatterMode

const TModeClass& TScatterMode::Class() {
    static const TModeClass Result = TModeClass::Of<TScatterMode, TDigitizingMode>("TScatterMode");
    return Result;
}

TScatterMode::TScatterMode() {
    HelpContext = 2200;
}

void TScatterMode::ReadArguments() {
    TDigitizingMode::ReadArguments();
    Scatter = Arguments().Object<TScatter>(1);
    ScatterDataPanel = Arguments().Object<TScatterDataPanel>(2);
    if (!Scatter)
        throw EAssertion("TScatterMode: the data set is no scatter");
}

TCommandClass TScatterMode::PropertiesCommandClass() const {
    return TCommandClass::Of<TEditScatterPropertiesCommand>("TEditScatterPropertiesCommand");
}

TCommandClass TScatterMode::ExportCommandClass() const {
    return TCommandClass::Of<TExportScatterCommand>("TExportScatterCommand");
}

void TScatterMode::Start(const TArgumentList& Arguments) {
    TDigitizingMode::Start(Arguments);
    App().CommandManager().DisableCommands(CommandsRequiring(rqLine));
    App().SetStatusMessage("SCATTER DIGITIZING: Click to add point.");
}

void TScatterMode::FillGuide() {
    if (!GuideContainer)
        return;
    TGuideContentContainer& G = *GuideContainer;
    G.Clear();
    G.AddTitle("Scatter Digitizing", GuideBold);
    G.AddTitle("Click on the image to collect the coordinates at that point. Coordinates are "
               "added to the data grid on the right.",
               0);
    G.AddLink("Sort", " the points by X or Y value.");
    G.AddLink("Save", " the points to a file or to the clipboard.");
}

void TScatterMode::UpdateDigitizationCommands() {
    TDigitizingMode::UpdateDigitizationCommands();
    App().CommandManager().SetCommandsEnabled({ckSortDigitization}, Scatter->Count() > 1);
}

void TScatterMode::UpdateSelectionCommands() {
    TDigitizingMode::UpdateSelectionCommands();
    App().CommandManager().SetCommandsEnabled({ckDeleteSelectedScatterData},
                                              Scatter->Selection().Count() > 0);
}

void TScatterMode::MouseDown(TLongintPoint Device, TDoublePoint Actual, int Button, unsigned) {
    if (Button != 1)
        return;
    const std::int32_t R = Scatter->Marker().GetSize();
    const std::int32_t I = Scatter->IndexNearScreenPoint(Device, R);
    TDoublePoint Point = I < 0 ? Actual : Scatter->GetPoint(I);
    std::unique_ptr<TScatterPointCommand> Command;
    if (I < 0)
        Command = std::make_unique<TScatterPointAddCommand>();
    else
        Command = std::make_unique<TScatterPointRemoveCommand>();
    Command->SetApplication(App());
    Command->Execute({Scatter, &Point});
    App().History().Add(std::move(Command));
}

void TScatterMode::Sort(const TCommandClass& Class) {
    ExecuteCommand(App(), Class, {Scatter});
}

} // namespace korvane
