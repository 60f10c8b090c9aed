#include "ui/modes/DigitizingCommands.h"

#include "document/Digitizations.h"
#include "document/Parameters.h"
#include "document/PointSelections.h"
#include "follower/Predictors.h"
#include "follower/VectorizerInitialConditions.h"
#include "image/PanZoomView.h"
#include "interaction/KorvaneApplication.h"
#include "output/ApproximatorParams.h"
#include "ui/modes/CommandArguments.h"
#include "ui/modes/DigitizingModes.h"
#include "ui/panel/KorvanePanel.h"

#include <cstdio>

namespace korvane {

namespace {

// The image pixel of a real point through the panel's current coordinate system.
TLongintPoint ImagePixelOf(const TKorvanePanel& Panel, TDoublePoint Real) {
    return Panel.CurrentScaleSystem().RealToImage(Real);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Line digitizing

void TDigitizeLineCommand::Execute(const TArgumentList& Arguments) {
    TKorvaneCommand::Execute(Arguments);
    FLine = &Required<TLine>(Arguments, 0, "TDigitizeLineCommand.Execute");
    FPanel = &Required<TKorvanePanel>(Arguments, 1, "TDigitizeLineCommand.Execute");
    FStartCount = FLine->Count();
}

bool TDigitizeLineCommand::CanUndo() const {
    return FLine && FLine->Count() > FStartCount;
}

void TDigitizeLineCommand::Undo() {
    FRemoved.Clear();
    if (FLine->Count() <= FStartCount)
        return;
    FLine->SetEraseFrom(FStartCount);
    FRemoved.AppendRange(FLine->Points(), FLine->EraseFrom(), FLine->Count() - 1);
    FLine->EraseToEnd();
}

void TDigitizeLineCommand::Redo() {
    if (FRemoved.Count() > 0)
        FLine->AppendPoints(FRemoved);
    FRemoved.Clear();
}

void TDigitizeManualCommand::Execute(const TArgumentList& Arguments) {
    TDigitizeLineCommand::Execute(Arguments);
    FStartX = Arguments.Integer(2);
    FStartY = Arguments.Integer(3);
    FLine->AddPoint(FPanel->Scale().ScreenToReal({FStartX, FStartY}));
    // Like every other edit of a data set: closing the image asks before the point is lost.
    App("TDigitizeManualCommand.Execute").SetFileIsDirty(true);
}

void TDigitizeAutoCommand::Execute(const TArgumentList& Arguments) {
    TDigitizeLineCommand::Execute(Arguments);
    const auto& Conditions =
        Required<TVectorizerInitialConditions>(Arguments, 2, "TDigitizeAutoCommand.Execute");
    FStartX = Conditions.StartPoint.X;
    FStartY = Conditions.StartPoint.Y;
    TKorvaneApplication& Korvane = App("TDigitizeAutoCommand.Execute");
    // The settings are read again at every point: the speed may change during the run.
    const TFollowRun Run{FPanel->Image(), Korvane.FileParameters().VectorizerParameters,
                         Korvane.EnhancementSettings().Enhancements, FPanel->Dispatcher(),
                         FPanel->CurrentScaleSystem()};
    FLine->AutoDigitize(Run, Conditions);
}

std::string TDigitizeAutoCommand::GetDescription() const {
    char Text[64];
    std::snprintf(Text, sizeof Text, " starting at (%d, %d), yielding %d points", FStartX, FStartY,
                  FLine ? FLine->Count() - FStartCount : 0);
    return "Automatic digitization of " + Quoted(FLine ? FLine->Name() : std::string()) + Text;
}

void RunAutomaticDigitizing(TKorvaneApplication& Korvane, TLine& Line, TKorvanePanel& Panel,
                            TVectorizerInitialConditions& Conditions) {
    Conditions.SetTrackingColor(Line.TrackingColor);
    auto Command = std::make_unique<TDigitizeAutoCommand>();
    Command->SetApplication(Korvane);
    TDigitizeAutoCommand& Auto = *Command;
    // In the history before it runs: its points arrive later.
    Korvane.History().Add(std::move(Command));
    Auto.Execute({&Line, &Panel, &Conditions});
}

void TResumeFunctionalCommand::Execute(const TArgumentList& Arguments) {
    TResumeCommand::Execute(Arguments);
    TLine& Line = Required<TLine>(Arguments, 0, "TResumeFunctionalCommand.Execute");
    TKorvanePanel& Panel =
        Required<TKorvanePanel>(Arguments, 1, "TResumeFunctionalCommand.Execute");
    if (Line.Count() < 2)
        return;
    const std::int32_t K = Line.Count() >= 3 ? 3 : 2;
    TFunctionalLinearPredictor Predictor;
    for (std::int32_t I = Line.Count() - K; I < Line.Count(); ++I)
        Predictor.Update(ImagePixelOf(Panel, Line.GetPoint(I)).Y);
    const TLongintPoint L = ImagePixelOf(Panel, Line.Last());
    if (!Line.TrackingColorSet)
        Line.SetTrackingColor(Panel.PixelColor(L));
    TResumeFunctionalInitialConditions Conditions(Predictor, L.X + 1);
    RunAutomaticDigitizing(App("TResumeCommand"), Line, Panel, Conditions);
}

void TResumeNonfunctionalCommand::Execute(const TArgumentList& Arguments) {
    TResumeCommand::Execute(Arguments);
    TLine& Line = Required<TLine>(Arguments, 0, "TResumeNonfunctionalCommand.Execute");
    TKorvanePanel& Panel =
        Required<TKorvanePanel>(Arguments, 1, "TResumeNonfunctionalCommand.Execute");
    if (Line.Count() < 2)
        return;
    const std::int32_t K = Line.Count() >= 3 ? 3 : 2;
    TNonfunctionalPredictor Predictor;
    for (std::int32_t I = Line.Count() - K; I < Line.Count(); ++I)
        Predictor.Update(ImagePixelOf(Panel, Line.GetPoint(I)));
    const TLongintPoint L = ImagePixelOf(Panel, Line.Last());
    if (!Line.TrackingColorSet)
        Line.SetTrackingColor(Panel.PixelColor(L));
    const TLongintPoint Start = Predictor.Prediction;
    TResumeNonfunctionalInitialConditions Conditions(Start, {Start.X - L.X, Start.Y - L.Y});
    RunAutomaticDigitizing(App("TResumeCommand"), Line, Panel, Conditions);
}

void TStopCommand::Execute(const TArgumentList& Arguments) {
    TKorvaneCommand::Execute(Arguments);
    Required<TLine>(Arguments, 0, "TStopCommand.Execute").Stop();
}

// ---------------------------------------------------------------------------------------------
// Scatter points

void TScatterPointCommand::Execute(const TArgumentList& Arguments) {
    TKorvaneCommand::Execute(Arguments);
    FScatter = &Required<TScatter>(Arguments, 0, "TScatterPointCommand.Execute");
    FPoint = Required<TDoublePoint>(Arguments, 1, "TScatterPointCommand.Execute");
    ExecuteFromStored();
}

void TScatterPointAddCommand::ExecuteFromStored() {
    FScatter->AddPoint(FPoint);
    App("TScatterPointAddCommand").SetFileIsDirty(true);
}

void TScatterPointAddCommand::Undo() {
    const std::int32_t I = FScatter->IndexOfPoint(FPoint);
    if (I < 0)
        throw EAssertion("TScatterPointAddCommand.Undo");
    FScatter->DeletePoint(I);
}

std::string TScatterPointAddCommand::GetDescription() const {
    char Text[64];
    std::snprintf(Text, sizeof Text, " at (%g, %g)", FPoint.X, FPoint.Y);
    return "Add point to " + Quoted(FScatter ? FScatter->Name() : std::string()) + Text;
}

TScatterPointRemoveCommand::TScatterPointRemoveCommand() = default;
TScatterPointRemoveCommand::~TScatterPointRemoveCommand() = default;

void TScatterPointRemoveCommand::ExecuteFromStored() {
    const std::int32_t I = FScatter->IndexOfPoint(FPoint);
    if (I < 0)
        throw EAssertion("TScatterPointRemoveCommand.ExecuteFromStored");
    FSavedPoints.Assign(FScatter->Points());
    FSavedSelection = std::make_unique<TPointSelection>();
    FSavedSelection->Assign(FScatter->Selection());
    FScatter->DeletePoint(I);
    App("TScatterPointRemoveCommand").SetFileIsDirty(true);
}

void TScatterPointRemoveCommand::Undo() {
    // The point goes back where it was, and the selection with it: the scatter's order is
    // the order its points are exported in.
    FScatter->SetPoints(FSavedPoints);
    if (FSavedSelection)
        FScatter->SetSelection(*FSavedSelection);
}

std::string TScatterPointRemoveCommand::GetDescription() const {
    char Text[64];
    std::snprintf(Text, sizeof Text, "Remove point at (%g, %g) from ", FPoint.X, FPoint.Y);
    return Text + Quoted(FScatter ? FScatter->Name() : std::string());
}

// ---------------------------------------------------------------------------------------------
// Erasing

void TEraseCommand::Execute(const TArgumentList& Arguments) {
    TKorvaneCommand::Execute(Arguments);
    FLine = &Required<TLine>(Arguments, 0, "TEraseCommand.Execute");
    FPanel = &Required<TKorvanePanel>(Arguments, 1, "TEraseCommand.Execute");
    FEraseFrom = FLine->EraseFrom();
    ExecuteFromStored();
}

void TEraseCommand::ExecuteFromStored() {
    FErased.Clear();
    FLine->SetEraseFrom(FEraseFrom);
    // Without a mark the copy fails its index check: the line keeps its points.
    FErased.AppendRange(FLine->Points(), FLine->EraseFrom(), FLine->Count() - 1);
    FLine->EraseToEnd();
    App("TEraseCommand").SetFileIsDirty(true);
}

void TEraseCommand::Undo() {
    if (FErased.Count() > 0)
        FLine->AppendPoints(FErased);
    FErased.Clear();
}

std::string TEraseCommand::GetDescription() const {
    return "Erase " + Quoted(FLine ? FLine->Name() : std::string()) + " from point #" +
           std::to_string(FEraseFrom) + " to end";
}

// ---------------------------------------------------------------------------------------------
// Creating, opening, closing and deleting data sets

TCreateDigitizationCommand::TCreateDigitizationCommand() = default;
TCreateDigitizationCommand::~TCreateDigitizationCommand() = default;

std::int32_t TCreateDigitizationCommand::NextNumber() {
    static std::int32_t Counter = 0;
    return ++Counter;
}

void TCreateDigitizationCommand::Execute(const TArgumentList& Arguments) {
    TKorvaneCommand::Execute(Arguments);
    TKorvaneApplication& Korvane = App("TCreateDigitizationCommand.Execute");
    std::unique_ptr<TDigitization> New = CreateDigitization();
    if (Arguments.Count() > 0)
        New->SetName(Required<std::string>(Arguments, 0, "TCreateDigitizationCommand.Execute"));
    if (Korvane.Count() > 0) {
        const std::uint8_t Last = Korvane.Digitization(Korvane.Count() - 1).ColorIndex();
        New->SetColorIndex(NextColorIndex(Last));
    }
    FIndex = Korvane.Count();
    FDigitization = &Korvane.InsertDigitization(std::move(New), FIndex);
    Korvane.SetFileIsDirty(true);
}

void TCreateDigitizationCommand::Undo() {
    FDeleteCommand = std::make_unique<TDeleteDigitizationCommand>();
    FDeleteCommand->SetApplication(App("TCreateDigitizationCommand.Undo"));
    FDeleteCommand->Execute({FIndex});
}

void TCreateDigitizationCommand::Redo() {
    if (FDeleteCommand)
        FDeleteCommand->Undo();
}

std::string TCreateDigitizationCommand::GetDescription() const {
    return "Create " + Quoted(FDigitization ? FDigitization->Name() : std::string());
}

namespace {

std::string NumberedName(const char* Kind) {
    return std::string(Kind) + " " + std::to_string(TCreateDigitizationCommand::NextNumber());
}

} // namespace

std::unique_ptr<TDigitization> TCreateFunctionalLineCommand::CreateDigitization() {
    return std::make_unique<TFunctionalLine>(NumberedName("Functional Line"));
}

std::unique_ptr<TDigitization> TCreateNonfunctionalLineCommand::CreateDigitization() {
    return std::make_unique<TNonfunctionalLine>(NumberedName("Nonfunctional Line"));
}

std::unique_ptr<TDigitization> TCreateScatterCommand::CreateDigitization() {
    return std::make_unique<TScatter>(NumberedName("Scatter"));
}

void TOpenDigitizationCommand::Execute(const TArgumentList& Arguments) {
    TKorvaneCommand::Execute(Arguments);
    App("TOpenDigitizationCommand.Execute").ModeManager().StartMode(ModeClass(), Arguments);
}

std::string TOpenDigitizationCommand::GetDescription() const {
    const TDigitization* D =
        Arguments().Count() > 1 ? Arguments().Object<TDigitization>(1) : nullptr;
    return "Edit " + Quoted(D ? D->Name() : std::string());
}

const TModeClass& TOpenFunctionalLineCommand::ModeClass() const {
    return TFunctionalLineMode::Class();
}

const TModeClass& TOpenNonfunctionalLineCommand::ModeClass() const {
    return TNonfunctionalLineMode::Class();
}

const TModeClass& TOpenScatterCommand::ModeClass() const {
    return TScatterMode::Class();
}

void TCloseDigitizationCommand::Execute(const TArgumentList& Arguments) {
    TKorvaneCommand::Execute(Arguments);
    App("TCloseDigitizationCommand.Execute").ModeManager().EndMode();
}

TDeleteDigitizationCommand::TDeleteDigitizationCommand() = default;
TDeleteDigitizationCommand::~TDeleteDigitizationCommand() = default;

void TDeleteDigitizationCommand::Execute(const TArgumentList& Arguments) {
    TKorvaneCommand::Execute(Arguments);
    TKorvaneApplication& Korvane = App("TDeleteDigitizationCommand.Execute");
    FIndex = Arguments.Integer(0);
    if (FIndex < 0)
        throw EAssertion("TDeleteDigitizationCommand.Execute: Index < 0");
    TDigitization& Target = Korvane.Digitization(FIndex);
    auto* Mode = Korvane.ModeManager().FindMode<TDigitizingMode>();
    if (Mode && Mode->Digitization == &Target)
        while (Korvane.ModeManager().CurrentMode())
            Korvane.ModeManager().EndMode();
    FDigitization = Korvane.DeleteDigitization(Target);
    Korvane.SetFileIsDirty(true);
}

void TDeleteDigitizationCommand::Undo() {
    if (!FDigitization)
        return;
    App("TDeleteDigitizationCommand.Undo").InsertDigitization(std::move(FDigitization), FIndex);
    FIndex = -1;
}

std::string TDeleteDigitizationCommand::GetDescription() const {
    return "Delete digitization " + (FDigitization ? FDigitization->Name() : std::string());
}

// ---------------------------------------------------------------------------------------------
// Selections and sorting

void TSortDigitizationCommand::Execute(const TArgumentList& Arguments) {
    TKorvaneCommand::Execute(Arguments);
    Sort(Required<TScatter>(Arguments, 0, "TSortDigitizationCommand.Execute"));
    App("TSortDigitizationCommand.Execute").SetFileIsDirty(true);
}

void TSortAscendingXCommand::Sort(TScatter& Scatter) {
    Scatter.SortAscendingX();
}

void TSortAscendingYCommand::Sort(TScatter& Scatter) {
    Scatter.SortAscendingY();
}

void TSortDescendingXCommand::Sort(TScatter& Scatter) {
    Scatter.SortDescendingX();
}

void TSortDescendingYCommand::Sort(TScatter& Scatter) {
    Scatter.SortDescendingY();
}

void TSelectAllCommand::Execute(const TArgumentList& Arguments) {
    TKorvaneCommand::Execute(Arguments);
    TDigitization& D = Required<TDigitization>(Arguments, 0, "TSelectAllCommand.Execute");
    const std::int32_t Count = D.ParamSet().PointCount();
    if (Count > 0)
        D.Selection().SelectRange(0, Count - 1);
}

void TSelectNoneCommand::Execute(const TArgumentList& Arguments) {
    TKorvaneCommand::Execute(Arguments);
    Required<TDigitization>(Arguments, 0, "TSelectNoneCommand.Execute").Selection().Clear();
}

void TSelectByAreaCommand::Execute(const TArgumentList& Arguments) {
    TKorvaneCommand::Execute(Arguments);
    TDigitization& D = Required<TDigitization>(Arguments, 0, "TSelectByAreaCommand.Execute");
    const auto& Area = Required<TQuadrilateral>(Arguments, 1, "TSelectByAreaCommand.Execute");
    Apply(D, Area.Corners);
    App("TSelectByAreaCommand.Execute").SetFileIsDirty(true);
}

void TSelectByAreaCommand::Apply(TDigitization& Digitization,
                                 const std::array<TDoublePoint, 4>& Area) {
    Digitization.SelectInQuadrangle(Area);
}

void TDeselectByAreaCommand::Apply(TDigitization& Digitization,
                                   const std::array<TDoublePoint, 4>& Area) {
    Digitization.DeselectInQuadrangle(Area);
}

TDeleteSelectedScatterDataCommand::TDeleteSelectedScatterDataCommand() = default;
TDeleteSelectedScatterDataCommand::~TDeleteSelectedScatterDataCommand() = default;

void TDeleteSelectedScatterDataCommand::Execute(const TArgumentList& Arguments) {
    TKorvaneCommand::Execute(Arguments);
    FScatter = &Required<TScatter>(Arguments, 0, "TDeleteSelectedScatterDataCommand.Execute");
    FSavedPoints.Assign(FScatter->Points());
    FSavedSelection = std::make_unique<TPointSelection>();
    FSavedSelection->Assign(FScatter->Selection());
    FScatter->DeleteSelected();
    App("TDeleteSelectedScatterDataCommand.Execute").SetFileIsDirty(true);
}

void TDeleteSelectedScatterDataCommand::Undo() {
    FScatter->SetPoints(FSavedPoints);
    FScatter->SetSelection(*FSavedSelection);
}

void TDeleteSelectedScatterDataCommand::Redo() {
    FScatter->SetSelection(*FSavedSelection);
    FScatter->DeleteSelected();
}

} // namespace korvane
