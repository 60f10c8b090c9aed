#include "ui/modes/PropertiesCommands.h"

#include "document/Digitizations.h"
#include "document/Parameters.h"
#include "document/PointMarkers.h"
#include "interaction/KorvaneApplication.h"
#include "ui/dialogs/PropertiesDialogs.h"
#include "ui/modes/CommandArguments.h"

#include <QApplication>

namespace korvane {

// ---- name and colour ----

std::string TEditDigitizationPropertiesCommand::GetDescription() const {
    return "Edit properties for " + Quoted(FDigitization ? FDigitization->Name() : std::string());
}

void TEditDigitizationPropertiesCommand::Keep(TDigitization& Digitization, const std::string& Name,
                                              int Color) {
    FOldName = Digitization.Name();
    FOldColorIndex = Digitization.ColorIndex();
    FNewName = Name;
    FNewColorIndex = Color >= 0 ? static_cast<std::uint8_t>(Color) : FOldColorIndex;
}

void TEditDigitizationPropertiesCommand::Apply(bool New) {
    FDigitization->SetName(New ? FNewName : FOldName);
    FDigitization->SetColorIndex(New ? FNewColorIndex : FOldColorIndex);
}

// ---- line ----

void TEditLinePropertiesCommand::Execute(const TArgumentList& Arguments) {
    TKorvaneCommand::Execute(Arguments);
    TKorvaneApplication& Korvane = App("TEditLinePropertiesCommand.Execute");
    FLine = &Required<TLine>(Arguments, 0, "TEditLinePropertiesCommand.Execute");
    FDigitization = FLine;
    TfrmLineProperties Dialog(QApplication::activeWindow());
    Dialog.SetName(FLine->Name());
    Dialog.SetColorIndex(FLine->ColorIndex());
    if (FLine->TrackingColorSet)
        Dialog.SetTrackingColor(FLine->TrackingColor);
    Dialog.SetColorTolerance(Korvane.FileParameters().VectorizerParameters.ColorTolerance());
    FAccepted = Dialogs("TEditLinePropertiesCommand").RunLinePropertiesDialog(Dialog);
    if (!FAccepted)
        return;
    Keep(*FLine, Dialog.GetName(), Dialog.GetColorIndex());
    FOldTrackingColor = FLine->TrackingColor;
    FOldTrackingColorSet = FLine->TrackingColorSet;
    FNewTrackingColor = Dialog.TrackingColor;
    FNewTrackingColorSet = Dialog.TrackingColorSet;
    Apply(true);
    Korvane.SetFileIsDirty(true);
}

void TEditLinePropertiesCommand::Apply(bool New) {
    TEditDigitizationPropertiesCommand::Apply(New);
    if (New ? FNewTrackingColorSet : FOldTrackingColorSet)
        FLine->SetTrackingColor(New ? FNewTrackingColor : FOldTrackingColor);
    else
        FLine->ClearTrackingColor();
    // A cleared colour keeps the value it had, so that undo gives back exactly that.
    if (!FLine->TrackingColorSet)
        FLine->TrackingColor = New ? FNewTrackingColor : FOldTrackingColor;
}

// ---- scatter ----

TEditScatterPropertiesCommand::TEditScatterPropertiesCommand() = default;
TEditScatterPropertiesCommand::~TEditScatterPropertiesCommand() = default;

void TEditScatterPropertiesCommand::Execute(const TArgumentList& Arguments) {
    TKorvaneCommand::Execute(Arguments);
    TKorvaneApplication& Korvane = App("TEditScatterPropertiesCommand.Execute");
    FScatter = &Required<TScatter>(Arguments, 0, "TEditScatterPropertiesCommand.Execute");
    FDigitization = FScatter;
    TfrmScatterProperties Dialog(QApplication::activeWindow());
    Dialog.SetName(FScatter->Name());
    Dialog.SetColorIndex(FScatter->ColorIndex());
    Dialog.SetMarker(FScatter->Marker());
    FAccepted = Dialogs("TEditScatterPropertiesCommand").RunScatterPropertiesDialog(Dialog);
    if (!FAccepted)
        return;
    Keep(*FScatter, Dialog.GetName(), Dialog.GetColorIndex());
    FOldMarker = FScatter->Marker().Clone();
    FNewMarker = Dialog.GetMarker();
    if (!FNewMarker) // no style chosen: the marker stays as it is
        FNewMarker = FScatter->Marker().Clone();
    Apply(true);
    Korvane.SetFileIsDirty(true);
}

void TEditScatterPropertiesCommand::Apply(bool New) {
    TEditDigitizationPropertiesCommand::Apply(New);
    FScatter->SetMarker(New ? *FNewMarker : *FOldMarker);
}

// ---- rename ----

void TRenameDigitizationCommand::Execute(const TArgumentList& Arguments) {
    TKorvaneCommand::Execute(Arguments);
    TKorvaneApplication& Korvane = App("TRenameDigitizationCommand.Execute");
    TDigitization& Digitization =
        Required<TDigitization>(Arguments, 0, "TRenameDigitizationCommand.Execute");
    std::string Name = Required<std::string>(Arguments, 1, "TRenameDigitizationCommand.Execute");
    if (!TidyDigitizationName(Name) || Name == Digitization.Name())
        return;
    FDigitization = &Digitization;
    FOldName = Digitization.Name();
    FNewName = Name;
    Digitization.SetName(FNewName);
    Korvane.SetFileIsDirty(true);
}

void TRenameDigitizationCommand::Undo() {
    FDigitization->SetName(FOldName);
}

void TRenameDigitizationCommand::Redo() {
    FDigitization->SetName(FNewName);
}

std::string TRenameDigitizationCommand::GetDescription() const {
    return "Rename " + Quoted(FOldName) + " to " + Quoted(FNewName);
}

} // namespace korvane
