#include "ui/modes/KorvaneCommands.h"

#include "core/MessageDigests.h"
#include "document/Parameters.h"
#include "document/ProgramSettings.h"
#include "image/ImageFormats.h"
#include "image/ImageModel.h"
#include "image/PanelScale.h"
#include "image/ScaleSystem.h"
#include "image/Scanner.h"
#include "interaction/ApplicationParameters.h"
#include "interaction/KorvaneApplication.h"
#include "ui/common/SupportWidgets.h"
#include "ui/data/ApproximatorParamPanels.h"
#include "ui/data/DigitizationDataViews.h"
#include "ui/dialogs/KorvaneDialogs.h"
#include "ui/modes/KorvaneModes.h"
#include "ui/modes/PaintingMode.h"
#include "ui/panel/KorvanePanel.h"

#include <QGuiApplication>
#include <QPainter>

namespace korvane {

namespace {

TKorvanePanel& PanelOf(const TArgumentList& Arguments, std::int32_t Index, const char* Where) {
    TKorvanePanel* Panel = Arguments.Object<TKorvanePanel>(Index);
    if (!Panel)
        throw EAssertion(Where);
    return *Panel;
}

// The view commands work only while an image is open.
TKorvanePanel& ViewPanel(const TKorvaneApplication& Korvane, const TArgumentList& Arguments,
                         const char* Where) {
    if (!Korvane.FileIsOpen())
        throw EAssertion(Where);
    return PanelOf(Arguments, 0, Where);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Defining the coordinate system

TDefineScaleCommand::TDefineScaleCommand() = default;
TDefineScaleCommand::~TDefineScaleCommand() = default;

std::string TDefineScaleCommand::GetName() const {
    return FOldDefinedSystem ? "Redefine Coordinate System" : "Define Coordinate System";
}

void TDefineScaleCommand::Execute(const TArgumentList& Arguments) {
    TKorvaneCommand::Execute(Arguments);
    FPanel = &PanelOf(Arguments, 0, "TDefineScaleCommand.Execute");
    const bool LogX = Arguments.Boolean(1);
    const bool LogY = Arguments.Boolean(2);
    const TScaleSystem* OldDefined = Arguments.Object<TScaleSystem>(3);
    const TScaleSystem* OldCurrent = Arguments.Object<TScaleSystem>(4);
    if (OldDefined && OldCurrent) {
        FOldDefinedSystem = std::make_unique<TScaleSystem>(*OldDefined);
        FOldCurrentSystem = std::make_unique<TScaleSystem>(*OldCurrent);
    } else {
        FOldDefinedSystem.reset();
        FOldCurrentSystem.reset();
    }
    TPanelScale& Scale = FPanel->Scale();
    Scale.DefineScale(LogX, LogY);
    FNewDefinedSystem = std::make_unique<TScaleSystem>(Scale.DefinedScaleSystem());
    FNewCurrentSystem = std::make_unique<TScaleSystem>(Scale.CurrentScaleSystem());
    App("TDefineScaleCommand.Execute").SetFileIsDirty(true);
}

void TDefineScaleCommand::Undo() {
    if (FOldDefinedSystem && FOldCurrentSystem)
        FPanel->Scale().SetScaleSystems(*FOldDefinedSystem, *FOldCurrentSystem);
    else
        FPanel->Scale().UndefineScale();
    FPanel->RepaintImage();
}

void TDefineScaleCommand::Redo() {
    FPanel->Scale().SetScaleSystems(*FNewDefinedSystem, *FNewCurrentSystem);
    FPanel->RepaintImage();
}

// ---------------------------------------------------------------------------------------------
// Opening and closing

namespace {

// Shows Image in the panel and opens the work on it: from FileName, or without a file.
void OpenWork(TKorvaneApplication& Korvane, TKorvanePanel& Panel, QImage Image,
              const std::string* FileName) {
    Panel.SetImage(std::move(Image));
    Panel.View().SetPaintBoxCursor(CursorBasic);
    // Notes whether the image's stored work brought a view with it.
    struct TNoticingRecord : IScaleRecordOwner {
        TPanelScaleRecord Inner;
        bool Loaded = false;
        TNoticingRecord(TPanelScale& Scale, IPanelScroller& Scroller) : Inner(Scale, Scroller) {}
        void LoadScaleRecord(TStream& Stream) override {
            Inner.LoadScaleRecord(Stream);
            Loaded = true;
        }
        void SaveScaleRecord(TStream& Stream) const override { Inner.SaveScaleRecord(Stream); }
    } Record(Panel.Scale(), Panel.View());
    if (FileName)
        Korvane.OpenFile(*FileName, Record);
    else
        Korvane.NewFile(Record);
    // An image seen for the first time that is larger than the window shows whole.
    if (!Record.Loaded && Panel.View().ImageLargerThanView()) {
        Panel.View().ZoomToFit();
        Panel.RepaintImage();
    }
}

} // namespace

void TAcquireCommand::Execute(const TArgumentList& Arguments) {
    TKorvaneApplication& Korvane = App("TAcquireCommand.Execute");
    if (Korvane.FileIsOpen())
        throw EAssertion("TAcquireCommand.Execute");
    TKorvaneCommand::Execute(Arguments);
    const std::int32_t Source = Arguments.Integer(0);
    TKorvanePanel& Panel = PanelOf(Arguments, 1, "TAcquireCommand.Execute");
    TWorkingImage Image;
    {
        TWaitCursor Wait;
        Image = TScanner::Instance().Acquire(Source);
    }
    OpenWork(Korvane, Panel, std::move(Image.Image), nullptr);
}

std::string PastedImageName(const QImage& Working) {
    TRipeMD160 Digest;
    const std::int32_t Size[2] = {Working.width(), Working.height()};
    Digest.Update(Size, sizeof Size);
    const std::size_t Row = static_cast<std::size_t>(Working.width()) * 3;
    for (int Y = 0; Y < Working.height(); ++Y)
        Digest.Update(Working.constScanLine(Y), Row);
    return "Pasted image " + DigestToHex(Digest.Final()).substr(0, 16);
}

void TPasteImageCommand::Execute(const TArgumentList& Arguments) {
    TKorvaneApplication& Korvane = App("TPasteImageCommand.Execute");
    if (Korvane.FileIsOpen())
        throw EAssertion("TPasteImageCommand.Execute");
    TKorvaneCommand::Execute(Arguments);
    const QImage* Pasted = Arguments.Object<QImage>(0);
    TKorvanePanel& Panel = PanelOf(Arguments, 1, "TPasteImageCommand.Execute");
    if (!Pasted || Pasted->isNull())
        throw EAssertion("TPasteImageCommand.Execute: no image");
    QImage Image = NewWorkingImage(Pasted->width(), Pasted->height(), "Pasted");
    {
        QPainter Painter(&Image); // over the white of the new working image
        Painter.drawImage(0, 0, *Pasted);
    }
    const std::string Name = PastedImageName(Image);
    OpenWork(Korvane, Panel, std::move(Image), &Name);
}

void TOpenFileCommand::Execute(const TArgumentList& Arguments) {
    TKorvaneApplication& Korvane = App("TOpenFileCommand.Execute");
    if (Korvane.FileIsOpen())
        throw EAssertion("TOpenFileCommand.Execute");
    TKorvaneCommand::Execute(Arguments);
    const std::string* FileName = Arguments.Object<std::string>(0);
    TKorvanePanel& Panel = PanelOf(Arguments, 1, "TOpenFileCommand.Execute");
    if (!FileName)
        throw EAssertion("TOpenFileCommand.Execute");
    TWorkingImage Image;
    if (TWorkingImage* Read =
            Arguments.Count() > 2 ? Arguments.Object<TWorkingImage>(2) : nullptr) {
        Image = std::move(*Read);
    } else {
        TWaitCursor Wait;
        Image = LoadImageFile(*FileName);
    }
    OpenWork(Korvane, Panel, std::move(Image.Image), FileName);
}

void TCloseFileCommand::Execute(const TArgumentList& Arguments) {
    TKorvaneApplication& Korvane = App("TCloseFileCommand.Execute");
    TKorvaneCommand::Execute(Arguments);
    TKorvanePanel& Panel = PanelOf(Arguments, 0, "TCloseFileCommand.Execute");
    TPanelScaleRecord Record(Panel.Scale(), Panel.View());
    Korvane.CloseFile(Record);
    if (Korvane.FileIsOpen())
        return;
    Panel.Scale().UndefineScale();
    Panel.View().SetPaintBoxCursor(0);
    Panel.ClearImage();
}

void TExitCommand::Execute(const TArgumentList& Arguments) {
    TKorvaneCommand::Execute(Arguments);
    App("TExitCommand.Execute").Exit();
}

// ---------------------------------------------------------------------------------------------
// Units and formats

void TSetUnitsCommand::Execute(const TArgumentList& Arguments) {
    TKorvaneCommand::Execute(Arguments);
    TKorvaneApplication& Korvane = App("TSetUnitsCommand.Execute");
    TStringPoint Units = Korvane.FileParameters().Units;
    FAccepted = Dialogs("TSetUnitsCommand").AskUnits(Units);
    if (!FAccepted)
        return;
    FOldUnits = Korvane.FileParameters().Units;
    FNewUnits = Units;
    Korvane.FileParameters().SetUnits(FNewUnits);
    Korvane.SetFileIsDirty(true);
}

void TSetUnitsCommand::Undo() {
    App("TSetUnitsCommand.Undo").FileParameters().SetUnits(FOldUnits);
}

void TSetUnitsCommand::Redo() {
    App("TSetUnitsCommand.Redo").FileParameters().SetUnits(FNewUnits);
}

void TSetFormatsCommand::Execute(const TArgumentList& Arguments) {
    TKorvaneCommand::Execute(Arguments);
    TKorvaneApplication& Korvane = App("TSetFormatsCommand.Execute");
    if (Arguments.Count() > 0)
        FDataView = Arguments.Object<TDigitizationDataPanel>(0);
    TCoordFormatPair Formats;
    Formats.Assign(Korvane.FileParameters().Formats);
    bool SetAsDefault = false;
    FAccepted = Dialogs("TSetFormatsCommand").AskFormats(Formats, SetAsDefault);
    if (!FAccepted)
        return;
    if (SetAsDefault)
        KeepAsDefault(Korvane, Formats);
    FOldFormats.Assign(Korvane.FileParameters().Formats);
    FNewFormats.Assign(Formats);
    Apply(FNewFormats);
    Korvane.SetFileIsDirty(true);
}

void TSetFormatsCommand::KeepAsDefault(TKorvaneApplication& Korvane,
                                       const TCoordFormatPair& Formats) {
    // A program setting, like the folders: kept at once, and not part of the undo step.
    const std::string Folder = Korvane.ApplicationParameters().Folder();
    TProgramSettings Settings;
    try {
        Settings.Load(Folder);
    } catch (const std::exception&) {
        // A damaged file is replaced by the defaults and this choice.
    }
    Settings.HasDefaultFormats = true;
    Settings.DefaultFormats.Assign(Formats);
    Settings.Save(Folder);
    Korvane.FileParameters().DefaultFormats.Assign(Formats);
}

void TSetFormatsCommand::Apply(const TCoordFormatPair& Formats) {
    // The grids redraw from the file parameters' notification; a line's range and increment
    // fields are written anew.
    TFileParameters& Parameters = App("TSetFormatsCommand").FileParameters();
    Parameters.SetFormats(Formats);
    if (auto* LineView = dynamic_cast<TLineDataPanel*>(FDataView))
        if (TApproximatorParamPanel* Panel = LineView->ParamPanel())
            Panel->SetFormats(Parameters.Formats);
}

void TSetFormatsCommand::Undo() {
    Apply(FOldFormats);
}

void TSetFormatsCommand::Redo() {
    Apply(FNewFormats);
}

// ---------------------------------------------------------------------------------------------
// Settings

TEditPreferencesCommand::TEditPreferencesCommand() = default;
TEditPreferencesCommand::~TEditPreferencesCommand() = default;

void TEditPreferencesCommand::Capture(TSettingsAnswer& Settings) const {
    TKorvaneApplication& Korvane = App("TEditPreferencesCommand");
    Settings.UseSpanningCursor = Korvane.ApplicationParameters().UseSpanningCursor;
    Settings.Vectorizer.Assign(Korvane.FileParameters().VectorizerParameters);
    Settings.Paint.Assign(Korvane.PaintParameters());
    Settings.Enhancements = Korvane.EnhancementSettings().Enhancements;
}

void TEditPreferencesCommand::Execute(const TArgumentList& Arguments) {
    TKorvaneCommand::Execute(Arguments);
    TKorvaneApplication& Korvane = App("TEditPreferencesCommand.Execute");
    FPanel = &PanelOf(Arguments, 0, "TEditPreferencesCommand.Execute");
    auto Chosen = std::make_unique<TSettingsAnswer>();
    Capture(*Chosen);
    const bool Painting =
        dynamic_cast<TPaintingMode*>(Korvane.ModeManager().CurrentMode()) != nullptr;
    if (!Dialogs("TEditPreferencesCommand").AskSettings(*Chosen, Painting))
        return;
    auto Before = std::make_unique<TSettingsAnswer>();
    Capture(*Before);
    Apply(*Chosen);
    FOld = std::move(Before);
    FNew = std::move(Chosen);
}

void TEditPreferencesCommand::Apply(const TSettingsAnswer& Settings) {
    TKorvaneApplication& Korvane = App("TEditPreferencesCommand");
    TEnhancementSettings& Enhancements = Korvane.EnhancementSettings();
    if (!(Enhancements.Enhancements == Settings.Enhancements)) {
        TEnhancementSettings Next = Enhancements;
        Next.Enhancements = Settings.Enhancements;
        Next.Save(Korvane.ApplicationParameters().Folder());
        Enhancements = Next;
    }
    Korvane.ApplicationParameters().UseSpanningCursor = Settings.UseSpanningCursor;
    Korvane.FileParameters().VectorizerParameters.Assign(Settings.Vectorizer);
    // The paint settings tell their listeners (a painting mode shows the new values).
    Korvane.PaintParameters().Assign(Settings.Paint);
    if (FPanel) {
        Korvane.PaintParameters().ApplyTo(*FPanel);
        FPanel->RepaintImage();
    }
}

void TEditPreferencesCommand::Undo() {
    if (FOld)
        Apply(*FOld);
}

void TEditPreferencesCommand::Redo() {
    if (FNew)
        Apply(*FNew);
}

// ---------------------------------------------------------------------------------------------
// The view

void TZoomToAreaCommand::Execute(const TArgumentList& Arguments) {
    TKorvaneCommand::Execute(Arguments);
    ViewPanel(App("TZoomToAreaCommand.Execute"), Arguments, "TZoomToAreaCommand.Execute");
    App("TZoomToAreaCommand.Execute").ModeManager().StartMode(TZoomingMode::Class(), Arguments);
}

void TActualSizeCommand::Execute(const TArgumentList& Arguments) {
    TKorvaneCommand::Execute(Arguments);
    TKorvanePanel& Panel =
        ViewPanel(App("TActualSizeCommand.Execute"), Arguments, "TActualSizeCommand.Execute");
    Panel.View().ResetView();
    Panel.RepaintImage();
}

void TZoomToFitCommand::Execute(const TArgumentList& Arguments) {
    TKorvaneCommand::Execute(Arguments);
    TKorvanePanel& Panel =
        ViewPanel(App("TZoomToFitCommand.Execute"), Arguments, "TZoomToFitCommand.Execute");
    Panel.View().ZoomToFit();
    Panel.RepaintImage();
}

void TZoomInCommand::Execute(const TArgumentList& Arguments) {
    TKorvaneCommand::Execute(Arguments);
    TKorvanePanel& Panel =
        ViewPanel(App("TZoomInCommand.Execute"), Arguments, "TZoomInCommand.Execute");
    Panel.View().ZoomStep(1);
    Panel.RepaintImage();
}

void TZoomOutCommand::Execute(const TArgumentList& Arguments) {
    TKorvaneCommand::Execute(Arguments);
    TKorvanePanel& Panel =
        ViewPanel(App("TZoomOutCommand.Execute"), Arguments, "TZoomOutCommand.Execute");
    Panel.View().ZoomStep(-1);
    Panel.RepaintImage();
}

} // namespace korvane
