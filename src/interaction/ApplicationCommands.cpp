#include "interaction/ApplicationCommands.h"

#include "core/Errors.h"

namespace korvane {

void TApplicationCommand::Execute(const TArgumentList& Arguments) {
    FArguments = Arguments;
}

void TApplicationCommand::Redo() {
    const TArgumentList Stored = FArguments;
    Execute(Stored);
}

THistoryList::~THistoryList() {
    while (!FCommands.empty())
        FCommands.pop_back();
}

void THistoryList::SetEnabled(bool Value) {
    FEnabled = Value;
    NotifyListeners();
}

TApplicationCommand* THistoryList::Command(std::int32_t Index) const {
    if (Index < 0 || Index >= Count())
        throw EListError("List index out of bounds (" + std::to_string(Index) + ").");
    return FCommands[static_cast<std::size_t>(Index)].get();
}

void THistoryList::Add(std::unique_ptr<TApplicationCommand> Command) {
    Assert(Command != nullptr, "THistoryList.Add: no command");
    FCommands.insert(FCommands.begin() + (FPosition + 1), std::move(Command));
    ++FPosition;
    DiscardUndone();
}

void THistoryList::Undo() {
    if (!FEnabled)
        return;
    Command(FPosition)->Undo();
    --FPosition;
    NotifyListeners();
}

void THistoryList::Redo() {
    if (!FEnabled)
        return;
    Command(FPosition + 1)->Redo();
    ++FPosition;
    NotifyListeners();
}

bool THistoryList::CanUndo() const {
    return FEnabled && FPosition >= 0 && FCommands[static_cast<std::size_t>(FPosition)]->CanUndo();
}

bool THistoryList::CanRedo() const {
    return FEnabled && FPosition + 1 < Count();
}

TApplicationCommand* THistoryList::UndoCommand() const {
    return FPosition >= 0 ? FCommands[static_cast<std::size_t>(FPosition)].get() : nullptr;
}

TApplicationCommand* THistoryList::RedoCommand() const {
    return FPosition + 1 < Count() ? FCommands[static_cast<std::size_t>(FPosition + 1)].get()
                                   : nullptr;
}

void THistoryList::Clear() {
    FPosition = -1;
    DiscardUndone();
}

void THistoryList::DiscardUndone() {
    // The list is consistent before any command's destructor runs.
    std::vector<std::unique_ptr<TApplicationCommand>> Undone;
    const auto Keep = static_cast<std::size_t>(FPosition + 1);
    for (std::size_t I = Keep; I < FCommands.size(); ++I)
        Undone.push_back(std::move(FCommands[I]));
    FCommands.resize(Keep);
    while (!Undone.empty())
        Undone.pop_back();
    NotifyListeners();
}

void THistoryList::DiscardTopIfNotUndoable() {
    const TApplicationCommand* Top = UndoCommand();
    if (Top && !Top->CanUndo()) {
        --FPosition;
        DiscardUndone();
    }
}

void THistoryList::NotifyListeners() {
    FListeners.Notify([this](IHistoryListener& L) { L.HistoryChanged(*this); });
}

TKorvaneApplication& TKorvaneCommand::App(const char* Where) const {
    if (!FApplication)
        throw EAssertion(Where);
    return *FApplication;
}

TApplicationCommand* ExecuteCommand(THistoryList& History,
                                    std::unique_ptr<TApplicationCommand> Command,
                                    const TArgumentList& Arguments) {
    Assert(Command != nullptr, "ExecuteCommand: no command");
    Command->Execute(Arguments);
    if (!Command->CanUndo())
        return nullptr;
    TApplicationCommand* Recorded = Command.get();
    History.Add(std::move(Command));
    return Recorded;
}

TApplicationCommand* ExecuteCommand(THistoryList& History, const TCommandClass& Class,
                                    const TArgumentList& Arguments) {
    Assert(Class.Create != nullptr, "ExecuteCommand: the command class cannot be created");
    return ExecuteCommand(History, Class.Create(), Arguments);
}

} // namespace korvane
