#include "interaction/ApplicationParameters.h"

#include "core/AtomicFile.h"
#include "core/MessageDigests.h"
#include "core/ReadOnlyFiles.h"
#include "core/Streams.h"
#include "document/RecentFiles.h"
#include "export/DataTemplates.h"
#include "export/ExportData.h"

#include <QGuiApplication>
#include <QScreen>

namespace korvane {

namespace {

TBoundsRect ReadBounds(TStream& Stream) {
    TBoundsRect R;
    R.Left = ReadInt32(Stream);
    R.Top = ReadInt32(Stream);
    R.Right = ReadInt32(Stream);
    R.Bottom = ReadInt32(Stream);
    return R;
}

void WriteBounds(TStream& Stream, const TBoundsRect& R) {
    WriteInt32(Stream, R.Left);
    WriteInt32(Stream, R.Top);
    WriteInt32(Stream, R.Right);
    WriteInt32(Stream, R.Bottom);
}

} // namespace

TScreenSize PrimaryScreenSize() {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        if (const QScreen* Screen = QGuiApplication::primaryScreen()) {
            const QSize Size = Screen->size();
            if (Size.width() > 0 && Size.height() > 0)
                return {Size.width(), Size.height()};
        }
    return {};
}

TApplicationParameters::TApplicationParameters(std::string Folder, TScreenSize Screen)
    : FFolder(std::move(Folder)), FScreen(Screen),
      FTemplates(std::make_unique<TDataTemplateList>()),
      FRecentFiles(std::make_unique<TRecentFilesList>()) {
    TApplicationParameters::ResetExportDialogBounds();
}

TApplicationParameters::~TApplicationParameters() = default;

std::string TApplicationParameters::FileName() const {
    return FFolder + "/" + ApplicationParameterFileName;
}

TBoundsRect TApplicationParameters::Centred(std::int32_t Width, std::int32_t Height) const {
    TBoundsRect R;
    R.Left = (FScreen.Width - Width) / 2;
    R.Top = (FScreen.Height - Height) / 2;
    R.Right = R.Left + Width;
    R.Bottom = R.Top + Height;
    return R;
}

void TApplicationParameters::LoadWindowFromStream(TStream& Stream) {
    const TBoundsRect Bounds = ReadBounds(Stream);
    const std::int32_t PanelWidth = ReadInt32(Stream);
    const std::int32_t ListHeight = ReadInt32(Stream);
    MainWindowBounds = Bounds;
    DataPanelWidth = PanelWidth;
    DigitizationListHeight = ListHeight;
}

void TApplicationParameters::SaveWindowToStream(TStream& Stream) const {
    WriteBounds(Stream, MainWindowBounds);
    WriteInt32(Stream, DataPanelWidth);
    WriteInt32(Stream, DigitizationListHeight);
}

void TApplicationParameters::ResetWindow() {
    const auto Height = static_cast<std::int32_t>(0.85 * FScreen.Height);
    const auto Width = static_cast<std::int32_t>(0.85 * FScreen.Width);
    MainWindowBounds = Centred(Width, Height);
    DataPanelWidth = 200;
    DigitizationListHeight = 120;
}

void TApplicationParameters::AddExcelTemplate() {
    korvane::AddExcelTemplate(*FTemplates);
}

void TApplicationParameters::CreateDefaultTemplates() {
    AddBuiltInTextTemplates(*FTemplates);
    AddExcelTemplate();
}

void TApplicationParameters::ResetExportDialogBounds() {
    ExportDialogBounds = Centred(ExportDialogWidth, ExportDialogHeight);
}

void TApplicationParameters::LoadFromStream(TStream& Stream) {
    Version = ReadParameterFileVersion(Stream);
    ShowGuide = ReadBool(Stream);
    UseSpanningCursor = Version == ParameterFileVersion ? ReadBool(Stream) : true;
    LoadWindowFromStream(Stream);
    FTemplates->LoadFromStream(Stream);
    if (FTemplates->Count() > 0)
        AddExcelTemplate();
    else
        CreateDefaultTemplates();
    ExportDialogBounds = ReadBounds(Stream);
    FRecentFiles->LoadFromStream(Stream);
}

void TApplicationParameters::SaveToStream(TStream& Stream) const {
    StringToStream(Stream, ParameterFileVersion);
    WriteBool(Stream, ShowGuide);
    WriteBool(Stream, UseSpanningCursor);
    SaveWindowToStream(Stream);
    FTemplates->SaveToStream(Stream);
    WriteBounds(Stream, ExportDialogBounds);
    FRecentFiles->SaveToStream(Stream);
}

void TApplicationParameters::Reset() {
    FRecentFiles->Clear();
    ResetWindow();
    // Templates of a file that failed half-way are not kept.
    FTemplates->Clear();
    CreateDefaultTemplates();
    ShowGuide = true;
    UseSpanningCursor = true;
    ResetExportDialogBounds();
}

void TApplicationParameters::LoadParameterFile(TPaintParameters& Paint) {
    LoadParameterFile(FileName(), Paint);
}

void TApplicationParameters::LoadParameterFile(const std::string& Name, TPaintParameters& Paint) {
    if (!FileExists(Name)) {
        Reset();
        return;
    }
    try {
        TFileStream File(Name, TFileStream::EMode::OpenRead);
        LoadParameterFile(File, Paint);
    } catch (const EParameterFile&) {
        throw;
    } catch (const std::exception&) {
        Reset();
        throw EParameterFile(ApplicationParameterErrorMessage);
    }
}

void TApplicationParameters::LoadParameterFile(TStream& Stream, TPaintParameters& Paint) {
    try {
        TChecksumStream Checked(Stream);
        Checked.Verify();
        LoadFromStream(Checked);
        Paint.LoadFromStream(Checked, Version);
    } catch (const std::exception&) {
        Reset();
        throw EParameterFile(ApplicationParameterErrorMessage);
    }
}

void TApplicationParameters::SaveParameterFile(const TPaintParameters& Paint) const {
    SaveParameterFile(FileName(), Paint);
}

void TApplicationParameters::SaveParameterFile(const std::string& Name,
                                               const TPaintParameters& Paint) const {
    if (IsReadOnlyFile(Name))
        ClearReadOnly(Name);
    WriteFileAtomically(Name, [&](TStream& Stream) { SaveParameterFile(Stream, Paint); });
}

void TApplicationParameters::SaveParameterFile(TStream& Stream,
                                               const TPaintParameters& Paint) const {
    TChecksumStream Checked(Stream);
    SaveToStream(Checked);
    Paint.SaveToStream(Checked);
    Checked.Finish();
}

} // namespace korvane
