#pragma once

#include "interaction/ApplicationModes.h"

#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace korvane {

// Requirement flags of a command class: under which state of the document its kind of
// command may be enabled.
using TRequirements = std::uint16_t;
// File-level commands, available without an image.
inline constexpr TRequirements rqFile = 1u << 0;
// An image is open.
inline constexpr TRequirements rqImage = 1u << 1;
// An image is open (view changes).
inline constexpr TRequirements rqView = 1u << 2;
// The image's coordinate system is defined.
inline constexpr TRequirements rqScale = 1u << 3;
// A digitization is current.
inline constexpr TRequirements rqDigitization = 1u << 4;
// The current digitization is a line.
inline constexpr TRequirements rqLine = 1u << 5;
// The current digitization is a scatter.
inline constexpr TRequirements rqScatter = 1u << 6;
// The kind is never disabled.
inline constexpr TRequirements rqAlwaysEnabled = 1u << 8;

// One change of the document that remembers what it needs to take the change back.
class TApplicationCommand {
public:
    TApplicationCommand() = default;
    virtual ~TApplicationCommand() = default;
    TApplicationCommand(const TApplicationCommand&) = delete;
    TApplicationCommand& operator=(const TApplicationCommand&) = delete;

    // The list given to Execute; empty until then.
    const TArgumentList& Arguments() const { return FArguments; }

    // Performs the command. Base: stores a copy of Arguments; every override calls it first.
    virtual void Execute(const TArgumentList& Arguments);
    // Takes the command back. Base: nothing.
    virtual void Undo() {}
    // Performs the command again after an undo. Base: Execute with the stored arguments.
    virtual void Redo();
    // A command that answers false is not kept in the history.
    virtual bool CanUndo() const = 0;
    // The short name shown after "&Undo " and "&Redo ". Base: empty.
    virtual std::string GetName() const { return {}; }
    // A one-line description of what was done. Base: empty.
    virtual std::string GetDescription() const { return {}; }

private:
    TArgumentList FArguments;
};

// The base of the program's commands: each class states its requirement flags, and works on
// the application it is handed before it runs.
class TKorvaneCommand : public TApplicationCommand, public IApplicationClient {
public:
    virtual TRequirements Requirements() const = 0;
    void SetApplication(TKorvaneApplication& Application) override { FApplication = &Application; }

protected:
    // The application handed in; EAssertion(Where) when there is none.
    TKorvaneApplication& App(const char* Where) const;
    bool HasApplication() const { return FApplication != nullptr; }

private:
    TKorvaneApplication* FApplication = nullptr;
};

// A command class as a value: its name and how to create a command of it.
struct TCommandClass {
    std::string Name;
    std::unique_ptr<TApplicationCommand> (*Create)() = nullptr;

    template <class T> static TCommandClass Of(const char* Name) {
        static_assert(std::is_base_of_v<TApplicationCommand, T> && !std::is_abstract_v<T>);
        return {Name,
                []() -> std::unique_ptr<TApplicationCommand> { return std::make_unique<T>(); }};
    }
};

class THistoryList;

class IHistoryListener {
public:
    virtual ~IHistoryListener() = default;
    virtual void HistoryChanged(THistoryList& Sender) = 0;
};

// The undo/redo history: an unbounded list of executed commands and a position. The commands
// at indices 0 to Position are done and can be undone in reverse order; those after Position
// have been undone and can be redone in order. The history owns its commands.
class THistoryList {
public:
    THistoryList() = default;
    // Destroys the commands, the newest first.
    ~THistoryList();
    THistoryList(const THistoryList&) = delete;
    THistoryList& operator=(const THistoryList&) = delete;

    bool Enabled() const { return FEnabled; }
    // Sets Enabled, then notifies. While disabled, nothing can be undone or redone.
    void SetEnabled(bool Value);
    // -1 <= Position < Count.
    std::int32_t Position() const { return FPosition; }
    std::int32_t Count() const { return static_cast<std::int32_t>(FCommands.size()); }
    // EListError for an index outside the list.
    TApplicationCommand* Command(std::int32_t Index) const;

    // Records Command, which has been executed, after Position and discards the undone
    // commands (the redo branch), then notifies.
    void Add(std::unique_ptr<TApplicationCommand> Command);
    // When enabled: undoes the command at Position and moves back, then notifies. EListError
    // when there is nothing to undo.
    void Undo();
    // When enabled: redoes the command after Position and moves on, then notifies. EListError
    // when there is nothing to redo.
    void Redo();
    bool CanUndo() const;
    bool CanRedo() const;
    // The command at Position, or nullptr.
    TApplicationCommand* UndoCommand() const;
    // The command after Position, or nullptr.
    TApplicationCommand* RedoCommand() const;

    // Position -1, then DiscardUndone: the list is empty.
    void Clear();
    // Destroys every command after Position, then notifies.
    void DiscardUndone();
    // Drops the command at Position when it cannot be undone.
    void DiscardTopIfNotUndoable();

    void AddListener(IHistoryListener* Listener) { FListeners.Add(Listener); }
    void RemoveListener(IHistoryListener* Listener) { FListeners.Remove(Listener); }
    bool HasListener(const IHistoryListener* Listener) const { return FListeners.Has(Listener); }
    void NotifyListeners();

private:
    bool FEnabled = true;
    TListenerList<IHistoryListener> FListeners;
    std::int32_t FPosition = -1;
    std::vector<std::unique_ptr<TApplicationCommand>> FCommands;
};

// Runs one command site: executes Command with Arguments, then hands it to History when it can
// be undone, else destroys it. Answers the recorded command, or nullptr. An exception from
// Execute propagates: the command is destroyed and nothing is recorded.
TApplicationCommand* ExecuteCommand(THistoryList& History,
                                    std::unique_ptr<TApplicationCommand> Command,
                                    const TArgumentList& Arguments);
// The same with a new command of Class.
TApplicationCommand* ExecuteCommand(THistoryList& History, const TCommandClass& Class,
                                    const TArgumentList& Arguments);

} // namespace korvane
