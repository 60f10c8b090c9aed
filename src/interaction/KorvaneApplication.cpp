#include "interaction/KorvaneApplication.h"

#include "core/Errors.h"
#include "core/Prompter.h"
#include "document/Digitizations.h"
#include "document/Parameters.h"
#include "document/RecentFiles.h"
#include "interaction/ApplicationCommands.h"
#include "interaction/ApplicationModes.h"
#include "interaction/ApplicationParameters.h"
#include "interaction/CommandManager.h"

#include <algorithm>

namespace korvane {

namespace {

// Resets a flag on every way out of a scope.
struct TFlagScope {
    bool& Flag;
    explicit TFlagScope(bool& F) : Flag(F) { Flag = true; }
    ~TFlagScope() { Flag = false; }
};

} // namespace

TKorvaneApplication::TKorvaneApplication(const std::string& Folder, IPrompter& Prompter)
    : FPrompter(Prompter), FApplicationParameters(std::make_unique<TApplicationParameters>(Folder)),
      FCommandManager(std::make_unique<TCommandManager>()),
      FModeManager(std::make_unique<TModeManager>()), FHistory(std::make_unique<THistoryList>()),
      FFileParameters(std::make_unique<TFileParameters>(Folder)),
      FPaintParameters(std::make_unique<TPaintParameters>()) {
    FModeManager->SetApplication(this);
}

TKorvaneApplication::~TKorvaneApplication() {
    FPaintParameters.reset();
    FFileParameters.reset();
    FHistory.reset();
    FDigitizations.clear();
    FModeManager.reset();
    FCommandManager.reset();
    FApplicationParameters.reset();
}

TDigitization& TKorvaneApplication::Digitization(std::int32_t Index) const {
    if (Index < 0 || Index >= Count())
        throw EListError("List index out of bounds (" + std::to_string(Index) + ").");
    return *FDigitizations[static_cast<std::size_t>(Index)];
}

std::int32_t TKorvaneApplication::IndexOf(const TDigitization& D) const {
    for (std::size_t I = 0; I < FDigitizations.size(); ++I)
        if (FDigitizations[I].get() == &D)
            return static_cast<std::int32_t>(I);
    return -1;
}

std::int32_t TKorvaneApplication::LineCount() const {
    return static_cast<std::int32_t>(
        std::count_if(FDigitizations.begin(), FDigitizations.end(), [](const auto& D) {
            return dynamic_cast<const TLine*>(D.get()) != nullptr;
        }));
}

std::int32_t TKorvaneApplication::ScatterCount() const {
    return static_cast<std::int32_t>(
        std::count_if(FDigitizations.begin(), FDigitizations.end(), [](const auto& D) {
            return dynamic_cast<const TScatter*>(D.get()) != nullptr;
        }));
}

void TKorvaneApplication::OpenFile(const std::string& ImageFileName, IScaleRecordOwner& Panel) {
    OpenWork(ImageFileName, Panel);
    NotifyFileState(&IApplicationListener::FileOpened);
}

void TKorvaneApplication::OpenWork(const std::string& ImageFileName, IScaleRecordOwner& Panel) {
    TFlagScope Scope(FOpening);
    FFileParameters->Open(ImageFileName, Panel);
    FCommandManager->EnableCommands(CommandsRequiring(rqFile | rqImage | rqView) +
                                    TCommandKinds{ckCloseFile});
    FFileIsOpen = true;
    for (std::int32_t I = 0; I < FFileParameters->StoredCount(); ++I) {
        const TDigitization& Stored = FFileParameters->StoredDigitization(I);
        std::unique_ptr<TDigitization> Copy =
            TDigitizationRegistry::Create(Stored.ClassName(), Stored.Name());
        Copy->Assign(Stored);
        InsertDigitization(std::move(Copy), Count());
    }
    FFileIsDirty = false;
    FImageIsDirty = false;
    FApplicationParameters->RecentFiles().Add(ImageFileName);
}

void TKorvaneApplication::NewFile(IScaleRecordOwner&) {
    {
        TFlagScope Scope(FOpening);
        FFileParameters->NewImage();
        FCommandManager->EnableCommands(CommandsRequiring(rqFile | rqImage | rqView) +
                                        TCommandKinds{ckCloseFile});
        FFileIsOpen = true;
        FFileIsDirty = true;
        FImageIsDirty = true;
    }
    NotifyFileState(&IApplicationListener::FileOpened);
}

void TKorvaneApplication::QuerySave(bool& CanClose, bool& Save) {
    if (CanClose && FFileIsDirty && !FFileParameters->ImageFileName().empty()) {
        switch (FPrompter.Ask(EMessageKind::Confirmation, "Save changes to data?", mbYesNoCancel)) {
        case EMessageAnswer::Yes:
            Save = true;
            break;
        case EMessageAnswer::No:
            Save = false;
            break;
        default:
            CanClose = false;
            break;
        }
        return;
    }
    Save = false;
}

void TKorvaneApplication::CloseFile(const IScaleRecordOwner& Panel) {
    Assert(FFileIsOpen, "CloseFile");
    CloseWork(Panel);
    if (!FFileIsOpen)
        NotifyFileState(&IApplicationListener::FileClosed);
}

void TKorvaneApplication::CloseWork(const IScaleRecordOwner& Panel) {
    TFlagScope Scope(FClosing);
    bool CanClose = true;
    if (auto* Confirm = dynamic_cast<IConfirmClose*>(FModeManager->CurrentMode()))
        CanClose = Confirm->ConfirmClose();
    if (!CanClose)
        return;
    if (FFileParameters->ImageFileName().empty())
        FImageIsDirty = true;
    bool Save = false;
    QuerySave(CanClose, Save);
    if (!CanClose)
        return;
    while (FModeManager->CurrentMode())
        FModeManager->EndMode();
    if (!FFileParameters->ImageFileName().empty()) {
        TDigitizationRefs Current;
        for (const auto& D : FDigitizations)
            Current.push_back(D.get());
        FFileParameters->Save(Save ? &Current : nullptr, Panel);
    }
    FFileParameters->ResetForNoImage();
    FHistory->Clear();
    DeleteAllDigitizations();
    FFileIsOpen = false;
    FFileIsDirty = false;
    FImageIsDirty = false;
    FCommandManager->DisableCommands(
        CommandsRequiring(rqImage | rqView | rqScale | rqDigitization) +
        TCommandKinds{ckCloseFile});
}

std::unique_ptr<TDigitization> TKorvaneApplication::DeleteDigitization(TDigitization& D) {
    const std::int32_t Index = IndexOf(D);
    Assert(Index >= 0, "TKorvaneApplication.DeleteDigitization: Index < 0");
    std::unique_ptr<TDigitization> Owned =
        std::move(FDigitizations[static_cast<std::size_t>(Index)]);
    FDigitizations.erase(FDigitizations.begin() + Index);
    for (IApplicationListener* L : std::vector(FListeners))
        L->DigitizationDeleted(*Owned, Index);
    return Owned;
}

TDigitization& TKorvaneApplication::InsertDigitization(std::unique_ptr<TDigitization> D,
                                                       std::int32_t Index) {
    Assert(Index >= 0, "TKorvaneApplication.InsertDigitization: Index < 0");
    if (Index > Count())
        throw EListError("List index out of bounds (" + std::to_string(Index) + ").");
    Assert(D != nullptr && IndexOf(*D) < 0, "TKorvaneApplication.InsertDigitization");
    TDigitization& Inserted = *D;
    FDigitizations.insert(FDigitizations.begin() + Index, std::move(D));
    for (IApplicationListener* L : std::vector(FListeners))
        L->DigitizationInserted(Inserted, Index);
    return Inserted;
}

void TKorvaneApplication::DeleteAllDigitizations() {
    for (std::int32_t I = Count() - 1; I >= 0; --I)
        DeleteDigitization(*FDigitizations[static_cast<std::size_t>(I)]);
    FDigitizations.clear();
}

void TKorvaneApplication::SetFileIsDirty(bool Value) {
    Assert(FFileIsOpen, "SetFileIsDirty");
    FFileIsDirty = Value;
}

void TKorvaneApplication::SetImageIsDirty(bool Value) {
    Assert(FFileIsOpen, "SetImageIsDirty");
    FImageIsDirty = Value;
}

void TKorvaneApplication::SetStatusMessage(const std::string& Text) {
    FStatusMessage = Text;
    for (IApplicationListener* L : std::vector(FListeners))
        L->StatusMessageChanged();
}

void TKorvaneApplication::NotifyFileState(void (IApplicationListener::*Notice)()) {
    for (IApplicationListener* L : std::vector(FListeners))
        (L->*Notice)();
}

void TKorvaneApplication::AddListener(IApplicationListener* Listener) {
    if (!HasListener(Listener))
        FListeners.push_back(Listener);
}

void TKorvaneApplication::RemoveListener(IApplicationListener* Listener) {
    FListeners.erase(std::remove(FListeners.begin(), FListeners.end(), Listener), FListeners.end());
}

bool TKorvaneApplication::HasListener(const IApplicationListener* Listener) const {
    return std::find(FListeners.begin(), FListeners.end(), Listener) != FListeners.end();
}

void TKorvaneApplication::LoadApplicationParameters(const std::string& FileName) {
    FParameterFileName = FileName;
    FApplicationParameters->LoadParameterFile(FileName, *FPaintParameters);
}

void TKorvaneApplication::SaveApplicationParameters() {
    FApplicationParameters->SaveParameterFile(
        FParameterFileName.empty() ? FApplicationParameters->FileName() : FParameterFileName,
        *FPaintParameters);
}

void TKorvaneApplication::Exit() {
    if (OnExit)
        OnExit();
}

TApplicationCommand* ExecuteCommand(TKorvaneApplication& Application,
                                    std::unique_ptr<TApplicationCommand> Command,
                                    const TArgumentList& Arguments) {
    if (auto* Client = dynamic_cast<IApplicationClient*>(Command.get()))
        Client->SetApplication(Application);
    return ExecuteCommand(Application.History(), std::move(Command), Arguments);
}

TApplicationCommand* ExecuteCommand(TKorvaneApplication& Application, const TCommandClass& Class,
                                    const TArgumentList& Arguments) {
    Assert(Class.Create != nullptr, "ExecuteCommand: the command class cannot be created");
    return ExecuteCommand(Application, Class.Create(), Arguments);
}

} // namespace korvane
