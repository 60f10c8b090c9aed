#include "document/Parameters.h"

#include "core/AtomicFile.h"
#include "core/MessageDigests.h"
#include "core/ReadOnlyFiles.h"
#include "core/Streams.h"
#include "document/Digitizations.h"
#include "document/RecentFiles.h"
#include "follower/Vectorizers.h"
#include "image/PanelScale.h"
#include "image/PdfDocument.h"

#include <QFile>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korvane {

namespace {

std::string HomeFolder() {
    if (const char* Home = std::getenv("HOME"); Home && *Home)
        return Home;
    if (const passwd* Entry = ::getpwuid(::getuid()); Entry && Entry->pw_dir)
        return Entry->pw_dir;
    return "/tmp";
}

template <class TListener> void AddTo(std::vector<TListener*>& Listeners, TListener* Listener) {
    if (Listener && std::find(Listeners.begin(), Listeners.end(), Listener) == Listeners.end())
        Listeners.push_back(Listener);
}

template <class TListener>
void RemoveFrom(std::vector<TListener*>& Listeners, const TListener* Listener) {
    Listeners.erase(std::remove(Listeners.begin(), Listeners.end(), Listener), Listeners.end());
}

} // namespace

// ---- folders and names ----

std::string ReadParameterFileVersion(TStream& Stream) {
    std::string Version = StringFromStream(Stream);
    if (Version != ParameterFileVersion && Version != ParameterFileVersion500)
        throw EParameterFile(BadParameterFileMessage);
    return Version;
}

std::string DefaultParameterFolder() {
    std::error_code Error;
    const std::filesystem::path Program = std::filesystem::read_symlink("/proc/self/exe", Error);
    return DefaultParameterFolder(Error ? std::string() : Program.parent_path().string());
}

std::string DefaultParameterFolder(const std::string& ProgramFolder) {
    struct stat Info;
    // An installed program (its data in ../share/korvane) keeps its files in the user's
    // configuration folder even where it could write beside itself (as root, say).
    const bool Installed = !ProgramFolder.empty() &&
                           ::stat((ProgramFolder + "/../share/korvane").c_str(), &Info) == 0 &&
                           S_ISDIR(Info.st_mode);
    if (!Installed && !ProgramFolder.empty() && ::stat(ProgramFolder.c_str(), &Info) == 0 &&
        S_ISDIR(Info.st_mode) && ::access(ProgramFolder.c_str(), W_OK) == 0)
        return ProgramFolder;
    // Relative values of XDG_CONFIG_HOME are to be ignored.
    const char* Config = std::getenv("XDG_CONFIG_HOME");
    const std::string Base =
        Config && Config[0] == '/' ? std::string(Config) : HomeFolder() + "/.config";
    const std::string Folder = Base + "/korvane";
    std::error_code Error;
    std::filesystem::create_directories(Folder, Error);
    return Folder;
}

std::string ImageParameterFileName(const std::string& ImageFileName) {
    // A page of a PDF: the document's content, the page, the resolution and the crop, so
    // that the same page found under another name, or moved, brings its work back.
    if (const auto Page = ParsePdfPageName(ImageFileName)) {
        QFile File(QString::fromStdString(Page->first));
        if (File.open(QIODevice::ReadOnly)) {
            TRipeMD160 Content;
            char Buffer[1 << 16];
            qint64 Got;
            while ((Got = File.read(Buffer, sizeof Buffer)) > 0)
                Content.Update(Buffer, static_cast<std::size_t>(Got));
            if (Got == 0) {
                const std::string Key =
                    "pdf:" + DigestToHex(Content.Final()) + PdfPageName("", Page->second);
                return DigestToHex(RipeMD160(Key)) + ".par";
            }
        }
    }
    std::string Lowered = ImageFileName;
    for (char& C : Lowered)
        if (C >= 'A' && C <= 'Z')
            C = static_cast<char>(C - 'A' + 'a');
    return DigestToHex(RipeMD160(Lowered)) + ".par";
}

// ---- TVectorizerParameters ----

void TVectorizerParameters::SetDelay(std::int32_t Value) {
    FDelay = std::clamp(Value, 0, 300);
}

void TVectorizerParameters::SetMaxHorizontalJump(std::int32_t Value) {
    FMaxHorizontalJump = std::clamp(Value, 1, 10);
}

void TVectorizerParameters::SetMaxVerticalJump(std::int32_t Value) {
    FMaxVerticalJump = std::clamp(Value, 1, 500);
}

void TVectorizerParameters::SetThicknessTolerance(std::int32_t Value) {
    FThicknessTolerance = std::clamp(Value, 1, 300);
}

void TVectorizerParameters::SetColorTolerance(double Value) {
    FColorTolerance = std::isnan(Value) ? 0.0 : std::clamp(Value, 0.0, 1.0);
}

void TVectorizerParameters::Assign(const TPersistent& Source) {
    if (const auto* Other = dynamic_cast<const TVectorizerParameters*>(&Source)) {
        *this = *Other;
        return;
    }
    TPersistent::Assign(Source);
}

void TVectorizerParameters::LoadFromStream(TStream& Stream, const std::string& /*Version*/) {
    TVectorizerParameters Loaded;
    Loaded.SelectedPointColor = ReadValue<std::uint8_t>(Stream);
    Loaded.UseBeacon = ReadBool(Stream);
    Loaded.SetDelay(ReadInt32(Stream));
    Loaded.SetMaxHorizontalJump(ReadInt32(Stream));
    Loaded.SetMaxVerticalJump(ReadInt32(Stream));
    Loaded.SetThicknessTolerance(ReadInt32(Stream));
    Loaded.SetColorTolerance(ReadDouble(Stream));
    if (Loaded.SelectedPointColor >= DisplayColors.size())
        throw EReadError("Invalid selected point color " +
                         std::to_string(Loaded.SelectedPointColor) + " in follower settings.");
    *this = Loaded;
}

void TVectorizerParameters::SaveToStream(TStream& Stream) const {
    WriteValue<std::uint8_t>(Stream, SelectedPointColor);
    WriteBool(Stream, UseBeacon);
    WriteInt32(Stream, FDelay);
    WriteInt32(Stream, FMaxHorizontalJump);
    WriteInt32(Stream, FMaxVerticalJump);
    WriteInt32(Stream, FThicknessTolerance);
    WriteDouble(Stream, FColorTolerance);
}

void TVectorizerParameters::CopyToFollower(TVectorizer& Follower) const {
    Follower.Delay = FDelay;
    Follower.ColorTolerance = FColorTolerance;
    Follower.MaxHorizontalJump = FMaxHorizontalJump;
    Follower.MaxVerticalJump = FMaxVerticalJump;
    Follower.ThicknessTolerance = FThicknessTolerance;
}

bool operator==(const TVectorizerParameters& A, const TVectorizerParameters& B) {
    return A.SelectedPointColor == B.SelectedPointColor && A.UseBeacon == B.UseBeacon &&
           A.FDelay == B.FDelay && A.FMaxHorizontalJump == B.FMaxHorizontalJump &&
           A.FMaxVerticalJump == B.FMaxVerticalJump &&
           A.FThicknessTolerance == B.FThicknessTolerance && A.FColorTolerance == B.FColorTolerance;
}

// ---- TPaintParameters ----

void TPaintParameters::SetPenSize(std::int32_t N) {
    N = std::clamp(N, 1, 31);
    if (N != FPenSize) {
        FPenSize = N;
        Changed();
    }
}

void TPaintParameters::SetReplacingColor(TColor Color) {
    if (Color != FReplacingColor) {
        FReplacingColor = Color;
        Changed();
    }
}

void TPaintParameters::SetErasingColor(TColor Color) {
    if (Color != FErasingColor) {
        FErasingColor = Color;
        Changed();
    }
}

void TPaintParameters::SetMarkingColor(TColor Color) {
    if (Color != FMarkingColor) {
        FMarkingColor = Color;
        Changed();
    }
}

void TPaintParameters::Assign(const TPersistent& Source) {
    if (const auto* Other = dynamic_cast<const TPaintParameters*>(&Source)) {
        SetPenSize(Other->FPenSize);
        SetReplacingColor(Other->FReplacingColor);
        SetMarkingColor(Other->FMarkingColor);
        SetErasingColor(Other->FErasingColor);
        return;
    }
    TPersistent::Assign(Source);
}

void TPaintParameters::ApplyTo(IPaintPanel& Panel) const {
    Panel.SetPenWidth(FPenSize);
    Panel.SetReplacingColor(FReplacingColor);
    Panel.SetErasingColor(FErasingColor);
    Panel.SetMarkingColor(FMarkingColor);
}

void TPaintParameters::LoadFromStream(TStream& Stream, const std::string& /*Version*/) {
    const TColor Replacing = ReadValue<std::uint32_t>(Stream);
    const TColor Erasing = ReadValue<std::uint32_t>(Stream);
    const TColor Marking = ReadValue<std::uint32_t>(Stream);
    const std::int32_t Pen = ReadInt32(Stream);
    SetReplacingColor(Replacing);
    SetErasingColor(Erasing);
    SetMarkingColor(Marking);
    SetPenSize(Pen);
}

void TPaintParameters::SaveToStream(TStream& Stream) const {
    WriteValue<std::uint32_t>(Stream, FReplacingColor);
    WriteValue<std::uint32_t>(Stream, FErasingColor);
    WriteValue<std::uint32_t>(Stream, FMarkingColor);
    WriteInt32(Stream, FPenSize);
}

void TPaintParameters::AddListener(IPaintParametersListener* Listener) {
    AddTo(FListeners, Listener);
}

void TPaintParameters::RemoveListener(IPaintParametersListener* Listener) {
    RemoveFrom(FListeners, Listener);
}

bool TPaintParameters::HasListener(const IPaintParametersListener* Listener) const {
    return std::find(FListeners.begin(), FListeners.end(), Listener) != FListeners.end();
}

void TPaintParameters::Changed() {
    // A listener may unregister while it is told.
    const std::vector<IPaintParametersListener*> Listeners = FListeners;
    for (IPaintParametersListener* Listener : Listeners)
        if (HasListener(Listener))
            Listener->PaintParametersChanged(*this);
}

// ---- TFileParameters ----

TFileParameters::TFileParameters(std::string Folder) : FFolder(std::move(Folder)) {}

TFileParameters::~TFileParameters() = default;

void TFileParameters::LoadFromStream(TStream& Stream, IScaleRecordOwner& Panel) {
    const std::string NewVersion = ReadParameterFileVersion(Stream);
    Panel.LoadScaleRecord(Stream);
    TStringPoint NewUnits;
    NewUnits.X = StringFromStream(Stream);
    NewUnits.Y = StringFromStream(Stream);
    TCoordFormatPair NewFormats;
    NewFormats.LoadFromStream(Stream);
    TVectorizerParameters NewVectorizer;
    NewVectorizer.LoadFromStream(Stream, NewVersion);
    const std::int32_t N = ReadInt32(Stream);
    if (N < 0)
        throw EReadError("Invalid data set count " + std::to_string(N) + " in parameter file.");
    std::vector<std::unique_ptr<TDigitization>> Loaded;
    for (std::int32_t I = 0; I < N; ++I) {
        std::unique_ptr<TDigitization> Digitization =
            TDigitizationRegistry::Create(StringFromStream(Stream));
        Digitization->LoadFromStream(Stream, NewVersion);
        Loaded.push_back(std::move(Digitization));
    }
    Version = NewVersion;
    Units = std::move(NewUnits);
    Formats.Assign(NewFormats);
    VectorizerParameters = NewVectorizer;
    FStored = std::move(Loaded);
}

void TFileParameters::SaveToStream(TStream& Stream, const TDigitizationRefs* List,
                                   const IScaleRecordOwner& Panel) const {
    StringToStream(Stream, ParameterFileVersion);
    Panel.SaveScaleRecord(Stream);
    StringToStream(Stream, Units.X);
    StringToStream(Stream, Units.Y);
    Formats.SaveToStream(Stream);
    VectorizerParameters.SaveToStream(Stream);
    if (List) {
        WriteInt32(Stream, static_cast<std::int32_t>(List->size()));
        for (const TDigitization* Digitization : *List)
            Digitization->SaveToStream(Stream);
    } else {
        WriteInt32(Stream, StoredCount());
        for (const auto& Digitization : FStored)
            Digitization->SaveToStream(Stream);
    }
}

void TFileParameters::Open(const std::string& ImageFileName, IScaleRecordOwner& Panel) {
    // Data sets stored for another image never come along, whatever the file holds.
    FreeStoredDigitizations();
    SetImageFileName(ImageFileName);
    if (FileExists(FParameterFileName)) {
        try {
            TFileStream File(FParameterFileName, TFileStream::EMode::OpenRead);
            LoadParameterFile(File, Panel);
        } catch (const EParameterFile&) {
            throw;
        } catch (const std::exception&) {
            ResetUnitsAndFormats();
            throw EParameterFile(ImageParameterErrorMessage);
        }
    } else {
        ResetUnitsAndFormats();
    }
    Changed();
}

void TFileParameters::Save(const TDigitizationRefs* List, const IScaleRecordOwner& Panel) {
    Assert(!FParameterFileName.empty(), "TFileParameters.Save");
    if (IsReadOnlyFile(FParameterFileName))
        ClearReadOnly(FParameterFileName);
    WriteFileAtomically(FParameterFileName,
                        [&](TStream& Stream) { SaveParameterFile(Stream, List, Panel); });
    FreeStoredDigitizations();
}

void TFileParameters::LoadParameterFile(TStream& Stream, IScaleRecordOwner& Panel) {
    try {
        TChecksumStream Checked(Stream);
        Checked.Verify();
        LoadFromStream(Checked, Panel);
    } catch (const std::exception&) {
        ResetUnitsAndFormats();
        throw EParameterFile(ImageParameterErrorMessage);
    }
}

void TFileParameters::SaveParameterFile(TStream& Stream, const TDigitizationRefs* List,
                                        const IScaleRecordOwner& Panel) const {
    TChecksumStream Checked(Stream);
    SaveToStream(Checked, List, Panel);
    Checked.Finish();
}

void TFileParameters::SetImageFileName(const std::string& Name) {
    FImageFileName = Name;
    if (Name.empty())
        return;
    const std::string Folder = FFolder + "/" + ImageParameterFolderName;
    ::mkdir(Folder.c_str(), 0777); // an existing folder or a failure: seen when writing
    FParameterFileName = Folder + "/" + ImageParameterFileName(Name);
}

void TFileParameters::ResetUnitsAndFormats() {
    Units = {};
    Formats.Assign(DefaultFormats);
}

void TFileParameters::NewImage() {
    ResetUnitsAndFormats();
    Changed();
}

void TFileParameters::ResetForNoImage() {
    FImageFileName.clear();
    FParameterFileName.clear();
    ResetUnitsAndFormats();
    Changed();
}

void TFileParameters::SetFormats(const TCoordFormatPair& Pair) {
    Formats.Assign(Pair);
    Changed();
}

void TFileParameters::SetUnits(const TStringPoint& NewUnits) {
    Units = NewUnits;
    Changed();
}

TDigitization& TFileParameters::StoredDigitization(std::int32_t Index) const {
    if (Index < 0 || Index >= StoredCount())
        throw EListError("TFileParameters.StoredDigitization: Index out of bounds.");
    return *FStored[static_cast<std::size_t>(Index)];
}

void TFileParameters::FreeStoredDigitizations() {
    FStored.clear();
}

void TFileParameters::AddListener(IFileParametersListener* Listener) {
    AddTo(FListeners, Listener);
}

void TFileParameters::RemoveListener(IFileParametersListener* Listener) {
    RemoveFrom(FListeners, Listener);
}

bool TFileParameters::HasListener(const IFileParametersListener* Listener) const {
    return std::find(FListeners.begin(), FListeners.end(), Listener) != FListeners.end();
}

void TFileParameters::Changed() {
    const std::vector<IFileParametersListener*> Listeners = FListeners;
    for (IFileParametersListener* Listener : Listeners)
        if (HasListener(Listener))
            Listener->FileParametersChanged(*this);
}

} // namespace korvane
