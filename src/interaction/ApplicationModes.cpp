#include "interaction/ApplicationModes.h"

#include "core/Errors.h"

#include <QCoreApplication>
#include <cstdlib>
#include <cxxabi.h>

namespace korvane {

namespace {

// The readable name of a type, without namespaces.
std::string TypeNameOf(const std::type_info& Type) {
    int Status = 0;
    std::unique_ptr<char, void (*)(void*)> Demangled(
        abi::__cxa_demangle(Type.name(), nullptr, nullptr, &Status), std::free);
    std::string Name = (Status == 0 && Demangled) ? Demangled.get() : Type.name();
    const auto Colons = Name.rfind("::");
    return Colons == std::string::npos ? Name : Name.substr(Colons + 2);
}

const char* const EntryOnItsOwn = "TArgument: the entry";

} // namespace

// ---------------------------------------------------------------------------------------------
// Argument lists

std::string TObjectReference::TypeName() const {
    if (!FPointer)
        return "none";
    switch (FTree) {
    case ETree::Persistent:
        return static_cast<const TPersistent*>(FPointer)->ClassName();
    case ETree::QtObject: {
        const QObject* Object = static_cast<const QObject*>(FPointer);
        return TypeNameOf(typeid(*Object));
    }
    case ETree::Exact:
        break;
    }
    return TypeNameOf(*FType);
}

std::string TArgument::Describe() const {
    if (IsInteger())
        return "an integer";
    if (IsBoolean())
        return "a boolean";
    if (IsReal())
        return "a real";
    const TObjectReference& Reference = std::get<TObjectReference>(FValue);
    return Reference.IsNone() ? std::string("a none object") : "an object " + Reference.TypeName();
}

void TArgument::Fail(const std::string& Where, const std::string& Wanted) const {
    throw EAssertion(Where + " is " + Describe() + ", not " + Wanted + ".");
}

void TArgument::FailObject(const std::string& Where, const std::type_info& Wanted) const {
    Fail(Where, "an object " + TypeNameOf(Wanted));
}

std::int32_t TArgument::Integer() const {
    if (const auto* Value = std::get_if<std::int32_t>(&FValue))
        return *Value;
    Fail(EntryOnItsOwn, "an integer");
}

bool TArgument::Boolean() const {
    if (const auto* Value = std::get_if<bool>(&FValue))
        return *Value;
    Fail(EntryOnItsOwn, "a boolean");
}

double TArgument::Real() const {
    if (const auto* Value = std::get_if<double>(&FValue))
        return *Value;
    Fail(EntryOnItsOwn, "a real");
}

std::string TArgumentList::Where(std::int32_t Index) {
    return "TArgumentList: argument " + std::to_string(Index);
}

const TArgument& TArgumentList::operator[](std::int32_t Index) const {
    if (Index < 0 || Index >= Count())
        throw EAssertion(Where(Index) + " is missing (" + std::to_string(Count()) + " given).");
    return FEntries[static_cast<std::size_t>(Index)];
}

std::int32_t TArgumentList::Integer(std::int32_t Index) const {
    const TArgument& Entry = (*this)[Index];
    if (!Entry.IsInteger())
        Entry.Fail(Where(Index), "an integer");
    return Entry.Integer();
}

bool TArgumentList::Boolean(std::int32_t Index) const {
    const TArgument& Entry = (*this)[Index];
    if (!Entry.IsBoolean())
        Entry.Fail(Where(Index), "a boolean");
    return Entry.Boolean();
}

double TArgumentList::Real(std::int32_t Index) const {
    const TArgument& Entry = (*this)[Index];
    if (!Entry.IsReal())
        Entry.Fail(Where(Index), "a real");
    return Entry.Real();
}

// ---------------------------------------------------------------------------------------------
// Mode classes and modes

bool TModeClass::InheritsFrom(const TModeClass& Ancestor) const {
    for (const TModeClass* C = this; C; C = C->Parent())
        if (C == &Ancestor)
            return true;
    return false;
}

std::unique_ptr<TApplicationMode> TModeClass::Create() const {
    if (!FCreate)
        throw EAssertion("TModeClass.Create: " + FName + " is abstract");
    return FCreate();
}

const TModeClass& TApplicationMode::Class() {
    static const TModeClass Result = TModeClass::Of<TApplicationMode>("TApplicationMode");
    return Result;
}

void TApplicationMode::RequestEnd() {
    if (FEndRequested || !FActive)
        return;
    Assert(FManager != nullptr, "TApplicationMode.RequestEnd: the mode has no manager");
    FManager->PostEndRequest(*this);
    FEndRequested = true;
}

bool TApplicationMode::AllowsStartOf(const TModeClass&) const {
    return true;
}

bool TApplicationMode::SuspendsFor(const TModeClass&) const {
    return false;
}

void TApplicationMode::Start(const TArgumentList& Arguments) {
    FArguments = Arguments;
    FActive = true;
    ReadArguments();
}

void TApplicationMode::Stop() {
    FActive = false;
    FEndRequested = false;
}

void TApplicationMode::Resume() {
    const TArgumentList Stored = FArguments;
    Start(Stored);
}

void TApplicationMode::KeyPress(QObject*, char16_t&) {}

void TApplicationMode::KeyDown(QObject*, std::uint16_t& Key, Qt::KeyboardModifiers) {
    if (Key == KeyCodeEscape && EndsOnEscape) {
        RequestEnd();
        Key = 0;
    }
}

void TApplicationMode::KeyUp(QObject*, std::uint16_t&, Qt::KeyboardModifiers) {}

// ---------------------------------------------------------------------------------------------
// Mode managers

TApplicationModeManager::~TApplicationModeManager() {
    FCurrentMode.reset();
    while (!FSuspended.empty())
        FSuspended.pop_back();
}

TApplicationMode* TApplicationModeManager::SuspendedMode(std::int32_t Index) const {
    if (Index < 0 || Index >= SuspendedCount())
        throw EListError("List index out of bounds (" + std::to_string(Index) + ").");
    return FSuspended[static_cast<std::size_t>(Index)].get();
}

void TApplicationModeManager::CheckCreatable(const TModeClass& Class) {
    if (Class.IsAbstract())
        throw EAssertion("TApplicationModeManager.StartMode: " + Class.Name() + " is abstract");
}

std::unique_ptr<TApplicationMode> TApplicationModeManager::CreateMode(const TModeClass& Class) {
    CheckCreatable(Class);
    return Class.Create();
}

TApplicationMode& TApplicationModeManager::MakeCurrent(std::unique_ptr<TApplicationMode> Mode) {
    Assert(Mode && !FCurrentMode, "TApplicationModeManager.MakeCurrent");
    Mode->FManager = this;
    Mode->FActivation = ++FLastActivation;
    if (auto* Client = dynamic_cast<IApplicationClient*>(Mode.get()); Client && FApplication)
        Client->SetApplication(*FApplication);
    FCurrentMode = std::move(Mode);
    return *FCurrentMode;
}

std::unique_ptr<TApplicationMode> TApplicationModeManager::TakeCurrentMode() {
    return std::move(FCurrentMode);
}

void TApplicationModeManager::PushSuspended(std::unique_ptr<TApplicationMode> Mode) {
    if (Mode)
        FSuspended.push_back(std::move(Mode));
}

TApplicationMode* TApplicationModeManager::StartMode(const TModeClass& Class,
                                                     const TArgumentList& Arguments) {
    const TArgumentList Copy = Arguments;
    CheckCreatable(Class);
    if (FCurrentMode) {
        if (!FCurrentMode->AllowsStartOf(Class))
            return nullptr;
        FCurrentMode->Stop();
        PushSuspended(TakeCurrentMode());
        NotifyModeEnded();
    }
    TApplicationMode& Mode = MakeCurrent(CreateMode(Class));
    const std::uint64_t Activation = Mode.FActivation;
    Mode.Start(Copy);
    NotifyModeStarted();
    // A listener may have ended the new mode already.
    return FCurrentMode && FCurrentMode->FActivation == Activation ? FCurrentMode.get() : nullptr;
}

void TApplicationModeManager::EndMode() {
    if (!FCurrentMode)
        return;
    FCurrentMode->Stop();
    TakeCurrentMode().reset();
    NotifyModeEnded();
    // A listener that started a mode meanwhile keeps it; the stack waits for its end.
    if (!FSuspended.empty() && !FCurrentMode) {
        std::unique_ptr<TApplicationMode> Top = std::move(FSuspended.back());
        FSuspended.pop_back();
        MakeCurrent(std::move(Top)).Resume();
        NotifyModeStarted();
    }
}

bool TApplicationModeManager::HandleEndRequest(std::uint64_t Activation) {
    if (!FCurrentMode || FCurrentMode->FActivation != Activation)
        return false;
    EndMode();
    return true;
}

TApplicationMode* TApplicationModeManager::FindMode(const TModeClass& Class) const {
    if (!FCurrentMode)
        return nullptr;
    if (Class.IsClassOf(*FCurrentMode))
        return FCurrentMode.get();
    for (auto It = FSuspended.rbegin(); It != FSuspended.rend(); ++It)
        if (Class.IsClassOf(**It))
            return It->get();
    return nullptr;
}

void TApplicationModeManager::NotifyModeStarted() {
    FListeners.Notify([this](IModeManagerListener& L) { L.ModeStarted(*this); });
}

void TApplicationModeManager::NotifyModeEnded() {
    FListeners.Notify([this](IModeManagerListener& L) { L.ModeEnded(*this); });
}

void TApplicationModeManager::PostEndRequest(TApplicationMode& Mode) {
    Assert(FEndPoster != nullptr, "TApplicationMode.RequestEnd: no end-request poster");
    FEndPoster->PostEndRequest(Mode.FActivation);
}

TApplicationMode* TModeManager::StartMode(const TModeClass& Class, const TArgumentList& Arguments) {
    const TArgumentList Copy = Arguments;
    CheckCreatable(Class);
    if (TApplicationMode* Old = CurrentMode()) {
        if (!Old->AllowsStartOf(Class))
            return nullptr;
        const std::uint64_t OldActivation = ActivationOf(*Old);
        Old->Stop();
        NotifyModeEnded();
        // Unless a listener has replaced the old mode meanwhile, it is suspended or destroyed.
        Old = CurrentMode();
        if (Old && ActivationOf(*Old) == OldActivation) {
            const bool Suspend = Old->SuspendsFor(Class);
            std::unique_ptr<TApplicationMode> Taken = TakeCurrentMode();
            if (Suspend)
                PushSuspended(std::move(Taken));
        }
    }
    TApplicationMode& Mode = MakeCurrent(CreateMode(Class));
    const std::uint64_t Activation = ActivationOf(Mode);
    if (auto* Guided = dynamic_cast<IGuidedMode*>(&Mode))
        Guided->SetGuideContainer(FGuideContainer);
    if (FModeSetup)
        FModeSetup(Mode);
    Mode.Start(Copy);
    NotifyModeStarted();
    TApplicationMode* Current = CurrentMode();
    return Current && ActivationOf(*Current) == Activation ? Current : nullptr;
}

// ---------------------------------------------------------------------------------------------
// Delivering end requests

std::int32_t TQueuedModeEndPoster::ProcessPending(TApplicationModeManager& Manager) {
    std::int32_t Ended = 0;
    while (!FPending.empty()) {
        const std::uint64_t Activation = FPending.front();
        FPending.pop_front();
        if (Manager.HandleEndRequest(Activation))
            ++Ended;
    }
    return Ended;
}

void TQtModeEndPoster::PostEndRequest(std::uint64_t Activation) {
    if (FReceiver)
        QCoreApplication::postEvent(FReceiver, new TModeEndEvent(Activation));
}

bool HandleModeEndEvent(QEvent& Event, TApplicationModeManager& Manager) {
    if (Event.type() != ModeEndEventType)
        return false;
    if (const auto* End = dynamic_cast<const TModeEndEvent*>(&Event))
        Manager.HandleEndRequest(End->Activation());
    return true;
}

} // namespace korvane
