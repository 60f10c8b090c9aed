#include "ui/modes/KorvaneModes.h"

#include "document/Digitizations.h"
#include "document/Parameters.h"
#include "document/PointSelections.h"
#include "image/ScaleSystem.h"
#include "interaction/ApplicationParameters.h"
#include "interaction/KorvaneApplication.h"
#include "ui/dialogs/KorvaneDialogs.h"
#include "ui/modes/DigitizingCommands.h"
#include "ui/modes/GuideControls.h"
#include "ui/modes/KorvaneActions.h"
#include "ui/modes/KorvaneCommands.h"
#include "ui/panel/KorvanePanel.h"

namespace korvane {

// ---------------------------------------------------------------------------------------------
// TKorvaneMode

const TModeClass& TKorvaneMode::Class() {
    static const TModeClass Result = TModeClass::Of<TKorvaneMode, TApplicationMode>("TKorvaneMode");
    return Result;
}

TKorvaneMode::~TKorvaneMode() {
    GuideContainer = nullptr;
}

TKorvaneApplication& TKorvaneMode::App() const {
    if (!FApplication)
        throw EAssertion("No application object");
    return *FApplication;
}

void TKorvaneMode::ActionExecute() {
    RequestEnd();
}

void TKorvaneMode::GuideLinkClicked(TGuideContentContainer&, QString&) {}

void TKorvaneMode::Start(const TArgumentList& Arguments) {
    TApplicationMode::Start(Arguments);
    if (Action) {
        FSavedOnExecute = Action->OnExecute;
        Action->OnExecute = [this] { ActionExecute(); };
        FSavedCaption = Action->text();
        FSavedHint = Action->Hint();
        Action->setCheckable(true);
        Action->setChecked(true);
        FSavedShortCut = Action->shortcut();
        Action->setShortcut(QKeySequence(Qt::Key_Escape));
        FBorrowed = true;
    }
    if (HasApplication())
        FSavedCommandStates = App().CommandManager().States();
    if (GuideContainer) {
        GuideContainer->Clear();
        FillGuide();
    }
}

void TKorvaneMode::PanelMouseDown(TLongintPoint Device, TDoublePoint Actual, int Button,
                                  unsigned Shift) {
    Guarded([&] { MouseDown(Device, Actual, Button, Shift); });
}

void TKorvaneMode::PanelMouseUp(TLongintPoint Device, TDoublePoint Actual, int Button,
                                unsigned Shift) {
    Guarded([&] { MouseUp(Device, Actual, Button, Shift); });
}

void TKorvaneMode::MouseDown(TLongintPoint, TDoublePoint, int, unsigned) {}
void TKorvaneMode::MouseUp(TLongintPoint, TDoublePoint, int, unsigned) {}

bool TKorvaneMode::SetSavedCaption(const QString& Caption, const QString& Hint) {
    if (!FBorrowed)
        return false;
    FSavedCaption = Caption;
    FSavedHint = Hint;
    return true;
}

void TKorvaneMode::Stop() {
    TApplicationMode::Stop();
    if (HasApplication())
        App().SetStatusMessage({});
    if (GuideContainer)
        GuideContainer->Clear();
    if (Action && FBorrowed) {
        Action->OnExecute = FSavedOnExecute;
        Action->setText(FSavedCaption);
        Action->SetHint(FSavedHint);
        Action->setChecked(false);
        Action->setCheckable(false);
        Action->setShortcut(FSavedShortCut);
        FBorrowed = false;
    }
}

// ---------------------------------------------------------------------------------------------
// TDefiningScaleMode

const TModeClass& TDefiningScaleMode::Class() {
    static const TModeClass Result =
        TModeClass::Of<TDefiningScaleMode, TKorvaneMode>("TDefiningScaleMode");
    return Result;
}

TDefiningScaleMode::TDefiningScaleMode() {
    HelpContext = 1600;
    EndsOnEscape = true;
}

TDefiningScaleMode::~TDefiningScaleMode() {
    if (!Panel)
        return;
    // A definition that was not committed leaves the previous coordinate system in force.
    try {
        if (!FDefined && FSavedDefinedSystem && FSavedCurrentSystem)
            Panel->Scale().SetScaleSystems(*FSavedDefinedSystem, *FSavedCurrentSystem);
    } catch (const std::exception& Error) {
        ShowException(Error);
    }
    FSavedDefinedSystem.reset();
    FSavedCurrentSystem.reset();
    Panel->Scale().ClearFirstScalePoint();
    Panel->Scale().ClearSkewPoint();
    Panel->Scale().ClearSecondScalePoint();
    Panel->SetShowScalePoints(false);
}

void TDefiningScaleMode::ReadArguments() {
    Panel = Arguments().Object<TKorvanePanel>(0);
    Action = Arguments().Object<TAction>(1);
    if (!Panel)
        throw EAssertion("TDefiningScaleMode: no image panel");
}

void TDefiningScaleMode::Start(const TArgumentList& Arguments) {
    TKorvaneMode::Start(Arguments);
    TPanelScale& Scale = Panel->Scale();
    if (!FStarted) {
        if (Scale.ScaleDefined()) {
            FSavedDefinedSystem = std::make_unique<TScaleSystem>(Scale.DefinedScaleSystem());
            FSavedCurrentSystem = std::make_unique<TScaleSystem>(Scale.CurrentScaleSystem());
            Scale.UndefineScale();
        } else {
            FSavedDefinedSystem.reset();
            FSavedCurrentSystem.reset();
        }
    }
    Panel->SetShowScalePoints(true);
    App().CommandManager().DisableCommands({ckZoomToArea});
    if (Action) {
        Action->setText("Cancel Coordinate System &Definition");
        Action->SetHint("Cancel definition|Cancel coordinate system definition");
    }
    NextStep();
    Panel->View().SetUseSpanningCursor(App().ApplicationParameters().UseSpanningCursor);
    FStarted = true;
}

void TDefiningScaleMode::Stop() {
    TKorvaneMode::Stop();
    Panel->View().SetUseSpanningCursor(false);
    if (HasApplication())
        App().CommandManager().EnableCommands({ckZoomToArea});
}

void TDefiningScaleMode::MouseDown(TLongintPoint Device, TDoublePoint, int, unsigned) {
    if (FClick)
        (this->*FClick)(Device);
}

void TDefiningScaleMode::NextStep() {
    const TPanelScale& Scale = Panel->Scale();
    if (Scale.SecondSlot().Set) {
        FClick = nullptr;
    } else if (Scale.SkewSlot().Set) {
        FClick = &TDefiningScaleMode::SecondPointClick;
        App().SetStatusMessage("DEFINING SCALE: Set second scaling point.");
    } else if (!Scale.FirstSlot().Set) {
        FClick = &TDefiningScaleMode::FirstPointClick;
        App().SetStatusMessage("DEFINING SCALE: Set first scaling point.");
    } else {
        FClick = &TDefiningScaleMode::SkewPointClick;
        App().SetStatusMessage("DEFINING SCALE: Set deskewing point.");
    }
    FillGuide();
}

void TDefiningScaleMode::FillGuide() {
    if (!GuideContainer)
        return;
    GuideContainer->Clear();
    const TPanelScale& Scale = Panel->Scale();
    if (Scale.SkewSlot().Set && !Scale.SecondSlot().Set) {
        GuideContainer->AddTitle("Second scale point", GuideBold);
        GuideContainer->AddText(
            "Now click on a different point whose actual coordinates are known, and has the "
            "same X value as the second point. The cursor can help line up with the second "
            "point, as well as with tick marks on axes.");
    } else if (Scale.FirstSlot().Set && !Scale.SkewSlot().Set) {
        GuideContainer->AddTitle("Skew point", GuideBold);
        GuideContainer->AddText(
            "Now click on a different point that has the same Y value as the first point, and "
            "the same X value as another known point. For example, if your first point was the "
            "origin, pick another point along the X axis. The cursor can help line up with the "
            "first point, as well as with tick marks on axes.");
    } else if (!Scale.FirstSlot().Set) {
        GuideContainer->AddTitle("First scale point", GuideBold);
        GuideContainer->AddText(
            "Click on a point on the image whose actual coordinates are known. A good starting "
            "point is the origin of the coordinate system. After clicking on the point, you will "
            "be asked to enter the actual values corresponding to that point. Cancel this action "
            "by pressing Escape. Quick tip: Hold down the Ctrl and Alt keys while moving the "
            "mouse to pan the image.");
    }
}

void TDefiningScaleMode::FirstPointClick(TLongintPoint P) {
    TPanelScale& Scale = Panel->Scale();
    Scale.SetFirstScalePoint(P, {0, 0});
    TScalePointAnswer Answer;
    if (Dialogs("TDefiningScaleMode")
            .AskScalePoint("First scaling point", false, Panel->DeviceToGlobal(P), Answer)) {
        Scale.SetFirstScalePoint(P, {Answer.X, Answer.Y});
        NextStep();
    } else {
        Scale.ClearFirstScalePoint();
    }
}

void TDefiningScaleMode::SkewPointClick(TLongintPoint P) {
    Panel->Scale().SetSkewPoint(P);
    NextStep();
}

void TDefiningScaleMode::SecondPointClick(TLongintPoint P) {
    TPanelScale& Scale = Panel->Scale();
    Scale.SetSecondScalePoint(P, {0, 0});
    TScalePointAnswer Answer;
    if (!Dialogs("TDefiningScaleMode")
             .AskScalePoint("Second scaling point", true, Panel->DeviceToGlobal(P), Answer)) {
        Scale.ClearSecondScalePoint();
        return;
    }
    Scale.SetSecondScalePoint(P, {Answer.X, Answer.Y});
    auto Command = std::make_unique<TDefineScaleCommand>();
    Command->SetApplication(App());
    try {
        Command->Execute({Panel, Answer.XLogarithmic, Answer.YLogarithmic,
                          FSavedDefinedSystem.get(), FSavedCurrentSystem.get()});
    } catch (const EDefineScale&) {
        Command.reset();
        Scale.ClearFirstScalePoint();
        Scale.ClearSkewPoint();
        Scale.ClearSecondScalePoint();
        NextStep();
        throw;
    }
    App().History().Add(std::move(Command));
    FDefined = true;
    RequestEnd();
}

// ---------------------------------------------------------------------------------------------
// TZoomingMode

const TModeClass& TZoomingMode::Class() {
    static const TModeClass Result = TModeClass::Of<TZoomingMode, TKorvaneMode>("TZoomingMode");
    return Result;
}

TZoomingMode::TZoomingMode() {
    HelpContext = 1800;
    EndsOnEscape = true;
}

void TZoomingMode::ReadArguments() {
    Panel = Arguments().Object<TKorvanePanel>(0);
    Action = Arguments().Object<TAction>(2);
    if (!Panel)
        throw EAssertion("TZoomingMode: no image panel");
}

void TZoomingMode::Start(const TArgumentList& Arguments) {
    TKorvaneMode::Start(Arguments);
    TPanZoomView& View = Panel->View();
    View.UseProportionalRubberBand = true;
    View.SetZoomingIn(true);
    View.SetPaintBoxCursor(CursorZoom);
    View.OnZoomToArea = [this] { RequestEnd(); };
    if (Action) {
        Action->setText("Cancel &Zoom To Area");
        Action->SetHint("Cancel zoom to area|Cancel zoom to area");
    }
    App().SetStatusMessage("ZOOMING TO AREA: Drag and release to define zoom area.");
}

void TZoomingMode::Stop() {
    TKorvaneMode::Stop();
    TPanZoomView& View = Panel->View();
    View.OnZoomToArea = nullptr;
    View.SetZoomingIn(false);
    View.SetPaintBoxCursor(CursorBasic);
}

void TZoomingMode::FillGuide() {
    if (!GuideContainer)
        return;
    GuideContainer->Clear();
    GuideContainer->AddTitle("Zoom To Area", GuideBold);
    GuideContainer->AddText("Define the zoom area by dragging the mouse on the image. The image "
                            "will zoom to the area that you draw. Cancel this action by pressing "
                            "Escape.");
}

// ---------------------------------------------------------------------------------------------
// TErasingMode

namespace {

constexpr std::int16_t CursorErase = 10;

} // namespace

const TModeClass& TErasingMode::Class() {
    static const TModeClass Result = TModeClass::Of<TErasingMode, TKorvaneMode>("TErasingMode");
    return Result;
}

TErasingMode::TErasingMode() {
    HelpContext = 2000;
    EndsOnEscape = true;
}

void TErasingMode::ReadArguments() {
    Panel = Arguments().Object<TKorvanePanel>(0);
    Line = Arguments().Object<TLine>(1);
    Action = Arguments().Object<TAction>(2);
    if (!Panel || !Line)
        throw EAssertion("TErasingMode: no image panel or line");
}

void TErasingMode::Start(const TArgumentList& Arguments) {
    TKorvaneMode::Start(Arguments);
    FDragging = false;
    Panel->View().SetPaintBoxCursor(CursorErase);
    if (Action) {
        Action->setText("Stop E&rasing");
        Action->SetHint("Stop erasing|Stop erasing");
    }
    App().SetStatusMessage("ERASING DIGITIZATION: Drag and release along line to erase.");
}

void TErasingMode::Stop() {
    TKorvaneMode::Stop();
    if (FDragging)
        CancelDrag();
    Panel->View().SetPaintBoxCursor(CursorBasic);
}

void TErasingMode::MarkAt(TLongintPoint Device) {
    const TScaleSystem& V = Panel->CurrentScaleSystem();
    std::int32_t Radius = V.WindowExt.X != 0 ? V.ViewportExt.X * 2 / V.WindowExt.X : 2;
    Radius = std::max(Radius, 2);
    const std::int32_t I = Line->IndexNearScreenPoint(Device, Radius);
    if (I < 0)
        Line->ClearEraseFrom();
    else
        Line->SetEraseFrom(I);
    Panel->RepaintImage(); // the marked tail shows dotted
}

void TErasingMode::MouseDown(TLongintPoint Device, TDoublePoint, int, unsigned) {
    MarkAt(Device);
    FDragging = true;
}

void TErasingMode::PanelMouseMove(TLongintPoint Device, unsigned) {
    if (FDragging)
        MarkAt(Device);
}

void TErasingMode::MouseUp(TLongintPoint, TDoublePoint, int, unsigned) {
    if (!FDragging)
        return;
    if (Line->EraseFrom() >= 0)
        ExecuteCommand(App(), std::make_unique<TEraseCommand>(), {Line, Panel});
    CancelDrag();
}

void TErasingMode::CancelDrag() {
    if (!FDragging)
        return;
    FDragging = false;
    Line->ClearEraseFrom();
    Panel->RepaintImage();
}

void TErasingMode::KeyDown(QObject* Sender, std::uint16_t& Key, Qt::KeyboardModifiers Shift) {
    if (Key == KeyCodeEscape && FDragging) { // during a drag Escape cancels only the drag
        CancelDrag();
        Key = 0;
        return;
    }
    TKorvaneMode::KeyDown(Sender, Key, Shift);
}

void TErasingMode::FillGuide() {
    if (!GuideContainer)
        return;
    GuideContainer->Clear();
    GuideContainer->AddTitle("Erasing", GuideBold);
    GuideContainer->AddText("Click and drag along the line to mark the portion to be erased. "
                            "Release the mouse button to delete from that point to the end of the "
                            "digitization. Press Escape to stop erasing.");
}

// ---------------------------------------------------------------------------------------------
// TSelectingMode

namespace {

// The panel's cursors for a new selection, adding to it and taking away from it.
constexpr std::int16_t CursorSelect = 9;
constexpr std::int16_t CursorPlus = 6;
constexpr std::int16_t CursorMinus = 7;

} // namespace

const TModeClass& TSelectingMode::Class() {
    static const TModeClass Result = TModeClass::Of<TSelectingMode, TKorvaneMode>("TSelectingMode");
    return Result;
}

TSelectingMode::TSelectingMode() {
    HelpContext = 1900;
    EndsOnEscape = true;
}

void TSelectingMode::ReadArguments() {
    Panel = Arguments().Object<TKorvanePanel>(0);
    Digitization = Arguments().Object<TDigitization>(1);
    Action = Arguments().Object<TAction>(2);
    if (!Panel || !Digitization)
        throw EAssertion("TSelectingMode: no image panel or data set");
}

void TSelectingMode::Start(const TArgumentList& Arguments) {
    TKorvaneMode::Start(Arguments);
    TPanZoomView& View = Panel->View();
    View.UseProportionalRubberBand = false;
    View.OnSelectArea = [this](const TDeviceRect&, const TQuadrilateral& Area) {
        SelectArea(Area);
    };
    View.SetSelecting(true);
    if (Action) {
        Action->setText("Stop Se&lect By Area");
        Action->SetHint("Stop selecting by area|Stop selecting by area");
    }
    App().SetStatusMessage("SELECTING: Drag and release to define selection area.");
    View.SetPaintBoxCursor(CursorSelect);
}

void TSelectingMode::Stop() {
    TKorvaneMode::Stop();
    TPanZoomView& View = Panel->View();
    View.OnSelectArea = nullptr;
    View.SetSelecting(false);
    View.SetPaintBoxCursor(CursorBasic);
}

void TSelectingMode::ShowShiftCursor(Qt::KeyboardModifiers Shift) {
    if (Panel->View().RubberBandActive())
        return;
    const bool ShiftHeld = Shift & Qt::ShiftModifier, CtrlHeld = Shift & Qt::ControlModifier;
    const bool Other = Shift & Qt::AltModifier;
    if (ShiftHeld && !CtrlHeld && !Other)
        Panel->View().SetPaintBoxCursor(CursorPlus);
    else if (CtrlHeld && !ShiftHeld && !Other)
        Panel->View().SetPaintBoxCursor(CursorMinus);
    else if (!ShiftHeld && !CtrlHeld)
        Panel->View().SetPaintBoxCursor(CursorSelect);
}

void TSelectingMode::KeyDown(QObject* Sender, std::uint16_t& Key, Qt::KeyboardModifiers Shift) {
    ShowShiftCursor(Shift);
    TKorvaneMode::KeyDown(Sender, Key, Shift);
}

void TSelectingMode::KeyUp(QObject* Sender, std::uint16_t& Key, Qt::KeyboardModifiers Shift) {
    ShowShiftCursor(Shift);
    TKorvaneMode::KeyUp(Sender, Key, Shift);
}

void TSelectingMode::SelectArea(const TQuadrilateral& Area) {
    const std::int16_t Cursor = Panel->View().PaintBoxCursor();
    // The cursor, not the keys held at release, tells a new selection from adding and taking
    // away; a new one starts empty (that clearing is no step of its own).
    if (Cursor != CursorPlus && Cursor != CursorMinus)
        Digitization->Selection().Clear();
    std::unique_ptr<TApplicationCommand> Command;
    if (Cursor == CursorMinus)
        Command = std::make_unique<TDeselectByAreaCommand>();
    else
        Command = std::make_unique<TSelectByAreaCommand>();
    Panel->View().SetPaintBoxCursor(CursorSelect);
    ExecuteCommand(App(), std::move(Command), {Digitization, &Area});
}

void TSelectingMode::FillGuide() {
    if (!GuideContainer)
        return;
    GuideContainer->Clear();
    GuideContainer->AddTitle("Select Points By Area", GuideBold);
    GuideContainer->AddText("Define the selection area by dragging the mouse on the image. Release "
                            "to create a new selection containing the points in the area. Use "
                            "Shift to add points to the current selection, and Ctrl to subtract "
                            "from the current selection. Press Escape to stop selecting.");
}

// ---------------------------------------------------------------------------------------------

bool TPanningMode::IsActivatedBy(Qt::KeyboardModifiers Shift) {
    return (Shift & Qt::ControlModifier) && (Shift & Qt::AltModifier);
}

} // namespace korvane
