#pragma once

#include "interaction/ApplicationCommands.h"

#include <array>
#include <cstdint>
#include <initializer_list>

namespace korvane {

// The kinds of command whose availability the main window shows on its actions.
enum TCommandKind : std::uint8_t {
    ckSelectSource,
    ckAcquire,
    ckOpenFile,
    ckCloseFile,
    ckExit,
    ckDefineScale,
    ckSetUnits,
    ckSetFormats,
    ckEliminateGrid,
    ckPaint,
    ckEditPreferences,
    ckZoomToArea,
    ckSelectByArea,
    ckActualSize,
    ckZoomIn,
    ckZoomOut,
    ckCreateFunctionalLine,
    ckCreateNonfunctionalLine,
    ckCreateScatter,
    ckOpenFunctionalLine,
    ckOpenNonfunctionalLine,
    ckOpenScatter,
    ckCloseDigitization,
    ckDeleteDigitization,
    ckEditDigitizationProperties,
    ckSortDigitization,
    ckDeleteSelectedScatterData,
    ckSelectAll,
    ckSelectNone,
    ckErase,
    ckExportData,
    ckBackUp,
    ckResume,
    ckStop,
};

inline constexpr std::int32_t CommandKindCount = 34;

// A set of command kinds.
class TCommandKinds {
public:
    constexpr TCommandKinds() = default;
    constexpr TCommandKinds(TCommandKind Kind) : FBits(Bit(Kind)) {}
    constexpr TCommandKinds(std::initializer_list<TCommandKind> Kinds) {
        for (TCommandKind K : Kinds)
            FBits |= Bit(K);
    }
    static constexpr TCommandKinds All() {
        TCommandKinds Result;
        Result.FBits = (std::uint64_t(1) << CommandKindCount) - 1;
        return Result;
    }

    constexpr bool Contains(TCommandKind Kind) const { return (FBits & Bit(Kind)) != 0; }
    constexpr bool Empty() const { return FBits == 0; }
    std::int32_t Count() const;

    constexpr TCommandKinds& operator+=(TCommandKinds Other) {
        FBits |= Other.FBits;
        return *this;
    }
    constexpr TCommandKinds& operator-=(TCommandKinds Other) {
        FBits &= ~Other.FBits;
        return *this;
    }
    friend constexpr TCommandKinds operator+(TCommandKinds A, TCommandKinds B) { return A += B; }
    friend constexpr TCommandKinds operator-(TCommandKinds A, TCommandKinds B) { return A -= B; }
    friend constexpr bool operator==(TCommandKinds A, TCommandKinds B) = default;

private:
    static constexpr std::uint64_t Bit(TCommandKind Kind) { return std::uint64_t(1) << Kind; }
    std::uint64_t FBits = 0;
};

// The command class of a kind, by name (the classes themselves live with the commands), and
// that class's requirement flags.
struct TCommandClassEntry {
    const char* ClassName;
    TRequirements Requirements;
};

// Indexed by TCommandKind. ckErase and ckBackUp share one class with two availability flags.
extern const std::array<TCommandClassEntry, CommandKindCount> CommandClasses;

// Every kind whose class's requirements share at least one flag with Flags.
TCommandKinds CommandsRequiring(TRequirements Flags);

using TCommandStates = std::array<bool, CommandKindCount>;

class TCommandManager;

class ICommandManagerListener {
public:
    virtual ~ICommandManagerListener() = default;
    virtual void CommandStatesChanged(TCommandManager& Sender) = 0;
};

// One enabled flag per kind of command; all false at construction.
class TCommandManager {
public:
    TCommandManager() = default;
    TCommandManager(const TCommandManager&) = delete;
    TCommandManager& operator=(const TCommandManager&) = delete;

    bool Enabled(TCommandKind Kind) const { return FEnabled[Kind]; }
    // All flags, for a snapshot to be restored with SetStates.
    const TCommandStates& States() const { return FEnabled; }

    void EnableCommands(TCommandKinds Kinds) { SetCommandsEnabled(Kinds, true); }
    void DisableCommands(TCommandKinds Kinds) { SetCommandsEnabled(Kinds, false); }
    // The kinds in Kinds get Value, kinds outside keep their flag, and a kind whose class is
    // rqAlwaysEnabled becomes enabled whatever it is given. Then one notification.
    void SetCommandsEnabled(TCommandKinds Kinds, bool Value);
    // Replaces all flags by a saved copy, as they are, then notifies once.
    void SetStates(const TCommandStates& States);

    void AddListener(ICommandManagerListener* Listener) { FListeners.Add(Listener); }
    void RemoveListener(ICommandManagerListener* Listener) { FListeners.Remove(Listener); }
    bool HasListener(const ICommandManagerListener* Listener) const {
        return FListeners.Has(Listener);
    }
    void NotifyListeners();

private:
    TListenerList<ICommandManagerListener> FListeners;
    TCommandStates FEnabled{};
};

} // namespace korvane
