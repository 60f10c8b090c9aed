#pragma once

#include "core/Interfaces.h"

#include <QEvent>
#include <QObject>
#include <QPointer>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <variant>
#include <vector>

namespace korvane {

class TKorvaneApplication;

// A mode or command that works on the application object. Whoever makes it current or runs
// it hands it the application first; nothing reaches for a global one.
class IApplicationClient {
public:
    virtual ~IApplicationClient() = default;
    virtual void SetApplication(TKorvaneApplication& Application) = 0;
};

// ---------------------------------------------------------------------------------------------
// Argument lists

// An object reference inside an argument list; never owns its object. Objects of the
// TPersistent and QObject trees are kept as their tree's root, so they can be read back as any
// class of the tree they really belong to; any other object reads back only as its own class.
// A null reference ("none") reads back as a null pointer of any class.
class TObjectReference {
public:
    TObjectReference() = default;

    template <class T> static TObjectReference Of(T* Object) {
        using TPlain = std::remove_cv_t<T>;
        TObjectReference R;
        if (!Object)
            return R;
        TPlain* Plain = const_cast<TPlain*>(Object);
        if constexpr (std::is_base_of_v<TPersistent, TPlain>) {
            R.FTree = ETree::Persistent;
            R.FPointer = static_cast<TPersistent*>(Plain);
        } else if constexpr (std::is_base_of_v<QObject, TPlain>) {
            R.FTree = ETree::QtObject;
            R.FPointer = static_cast<QObject*>(Plain);
        } else {
            R.FTree = ETree::Exact;
            R.FPointer = Plain;
        }
        R.FType = &typeid(TPlain);
        return R;
    }

    bool IsNone() const { return FPointer == nullptr; }

    // The object as a T; nullptr for a none reference or when the object is no T.
    template <class T> T* As() const {
        using TPlain = std::remove_cv_t<T>;
        if (!FPointer)
            return nullptr;
        if constexpr (std::is_base_of_v<TPersistent, TPlain>) {
            if (FTree == ETree::Persistent)
                return dynamic_cast<TPlain*>(static_cast<TPersistent*>(FPointer));
        } else if constexpr (std::is_base_of_v<QObject, TPlain>) {
            if (FTree == ETree::QtObject)
                return dynamic_cast<TPlain*>(static_cast<QObject*>(FPointer));
        } else {
            if (FTree == ETree::Exact && *FType == typeid(TPlain))
                return static_cast<TPlain*>(FPointer);
        }
        return nullptr;
    }

    // The class the reference was made from, or "none".
    std::string TypeName() const;

private:
    enum class ETree { Persistent, QtObject, Exact };
    void* FPointer = nullptr;
    const std::type_info* FType = nullptr;
    ETree FTree = ETree::Exact;
};

// One entry of an argument list: an object reference, a 32-bit integer, a boolean or a real.
// The constructors are implicit so that lists read naturally: {Panel, Action, 3, true}. A
// wider integer type does not convert silently; cast it to std::int32_t.
class TArgument {
public:
    TArgument(std::int32_t Value) : FValue(Value) {}
    TArgument(bool Value) : FValue(Value) {}
    TArgument(double Value) : FValue(Value) {}
    TArgument(std::nullptr_t) : FValue(TObjectReference()) {}
    template <class T> TArgument(T* Object) : FValue(TObjectReference::Of(Object)) {}

    bool IsObject() const { return std::holds_alternative<TObjectReference>(FValue); }
    bool IsInteger() const { return std::holds_alternative<std::int32_t>(FValue); }
    bool IsBoolean() const { return std::holds_alternative<bool>(FValue); }
    bool IsReal() const { return std::holds_alternative<double>(FValue); }

    // What the entry holds, for messages: "integer", "boolean", "real" or "object TFoo".
    std::string Describe() const;

    // The entry's value; these throw EAssertion when the entry holds something else.
    std::int32_t Integer() const;
    bool Boolean() const;
    double Real() const;
    // nullptr for a none reference; EAssertion when the entry is no object or the object no T.
    template <class T> T* Object() const {
        T* Result = nullptr;
        if (!ObjectAs(Result))
            FailObject("TArgument: the entry", typeid(T));
        return Result;
    }

private:
    friend class TArgumentList;
    template <class T> bool ObjectAs(T*& Result) const {
        const auto* Reference = std::get_if<TObjectReference>(&FValue);
        if (!Reference)
            return false;
        Result = Reference->As<T>();
        return Result || Reference->IsNone();
    }
    // Where names the entry: "TArgumentList: argument 2" or "TArgument: the entry".
    [[noreturn]] void Fail(const std::string& Where, const std::string& Wanted) const;
    [[noreturn]] void FailObject(const std::string& Where, const std::type_info& Wanted) const;

    std::variant<TObjectReference, std::int32_t, bool, double> FValue;
};

// The ordered inputs of a mode or a command. Each receiver documents the order and type of
// its entries and reads them with the typed accessors, which throw EAssertion for a missing
// entry or an entry of another type. Object references are never owned.
class TArgumentList {
public:
    TArgumentList() = default;
    TArgumentList(std::initializer_list<TArgument> Entries) : FEntries(Entries) {}

    std::int32_t Count() const { return static_cast<std::int32_t>(FEntries.size()); }
    bool Empty() const { return FEntries.empty(); }
    void Add(const TArgument& Entry) { FEntries.push_back(Entry); }
    const TArgument& operator[](std::int32_t Index) const;

    std::int32_t Integer(std::int32_t Index) const;
    bool Boolean(std::int32_t Index) const;
    double Real(std::int32_t Index) const;
    template <class T> T* Object(std::int32_t Index) const {
        T* Result = nullptr;
        const TArgument& Entry = (*this)[Index];
        if (!Entry.ObjectAs(Result))
            Entry.FailObject(Where(Index), typeid(T));
        return Result;
    }

private:
    static std::string Where(std::int32_t Index);

    std::vector<TArgument> FEntries;
};

// ---------------------------------------------------------------------------------------------
// Listener lists

// Non-owning listener references, notified in registration order. A listener removed while
// a notification runs is not called any more by it; one added meanwhile is called next time.
template <class I> class TListenerList {
public:
    // Adds Listener unless it is null or present already.
    void Add(I* Listener) {
        if (Listener && !Has(Listener))
            FItems.push_back(Listener);
    }
    void Remove(const I* Listener) {
        FItems.erase(std::remove(FItems.begin(), FItems.end(), Listener), FItems.end());
    }
    bool Has(const I* Listener) const {
        return std::find(FItems.begin(), FItems.end(), Listener) != FItems.end();
    }
    std::int32_t Count() const { return static_cast<std::int32_t>(FItems.size()); }

    template <class F> void Notify(F&& Call) const {
        const std::vector<I*> Snapshot = FItems;
        for (I* Listener : Snapshot)
            if (Has(Listener))
                Call(*Listener);
    }

private:
    std::vector<I*> FItems;
};

// ---------------------------------------------------------------------------------------------
// Modes

class TApplicationMode;
class TApplicationModeManager;
class TGuideContentContainer;

// A mode class as a value: its name, its parent class and how to create a mode of it.
// Every mode class answers its own with a static Class() built by Of.
class TModeClass {
public:
    // The class of T, whose parent class is TParent (void for the root). T may be abstract;
    // then Create fails.
    template <class T, class TParent = void> static TModeClass Of(const char* Name) {
        TModeClass C;
        C.FName = Name;
        if constexpr (!std::is_void_v<TParent>) {
            static_assert(std::is_base_of_v<TParent, T>, "a mode class descends from its parent");
            C.FParent = &TParent::Class;
        }
        if constexpr (!std::is_abstract_v<T> && std::is_default_constructible_v<T>)
            C.FCreate = []() -> std::unique_ptr<TApplicationMode> { return std::make_unique<T>(); };
        C.FIsInstance = [](const TApplicationMode& Mode) {
            if constexpr (std::is_same_v<T, TApplicationMode>)
                return true;
            else
                return dynamic_cast<const T*>(&Mode) != nullptr;
        };
        return C;
    }

    const std::string& Name() const { return FName; }
    // The parent class; nullptr for the root class.
    const TModeClass* Parent() const { return FParent ? &FParent() : nullptr; }
    bool IsAbstract() const { return FCreate == nullptr; }
    // True when this class is Ancestor or descends from it.
    bool InheritsFrom(const TModeClass& Ancestor) const;
    // True when Mode is of this class or of a descendant.
    bool IsClassOf(const TApplicationMode& Mode) const { return FIsInstance(Mode); }
    // A new mode of this class; EAssertion for an abstract class.
    std::unique_ptr<TApplicationMode> Create() const;

private:
    TModeClass() = default;

    std::string FName;
    const TModeClass& (*FParent)() = nullptr;
    std::unique_ptr<TApplicationMode> (*FCreate)() = nullptr;
    bool (*FIsInstance)(const TApplicationMode&) = nullptr;
};

// The key code of Escape in KeyDown and KeyUp.
inline constexpr std::uint16_t KeyCodeEscape = 27;

// The base of every mode: an object that owns the image panel's mouse and keyboard between
// its Start and its Stop. Exactly one mode is current at a time; the mode manager creates,
// starts, suspends, resumes and destroys modes.
class TApplicationMode : public TUnmanagedInterface {
public:
    TApplicationMode() = default;
    ~TApplicationMode() override = default;
    TApplicationMode(const TApplicationMode&) = delete;
    TApplicationMode& operator=(const TApplicationMode&) = delete;

    static const TModeClass& Class();

    // The list given to the last Start.
    const TArgumentList& Arguments() const { return FArguments; }
    // True between Start and Stop.
    bool Active() const { return FActive; }
    // An end request has been posted and not yet carried out.
    bool EndRequested() const { return FEndRequested; }

    // The Escape key requests the end of the mode.
    bool EndsOnEscape = true;
    // The help topic of the mode; 0 = none.
    std::int32_t HelpContext = 0;

    // Asks for the mode to be ended once the event being handled has returned: posts one end
    // request through the manager's poster. Ignored when a request is pending already or when
    // the mode is not active. EAssertion when the mode belongs to no manager.
    virtual void RequestEnd();
    // May a mode of Class start while this one is current? Base: true.
    virtual bool AllowsStartOf(const TModeClass& Class) const;
    // When a mode of Class starts, is this one suspended (true) or destroyed (false)?
    // Base: false.
    virtual bool SuspendsFor(const TModeClass& Class) const;
    // Copies Arguments, becomes active, then ReadArguments.
    virtual void Start(const TArgumentList& Arguments);
    // Becomes inactive and forgets a pending end request.
    virtual void Stop();
    // Starts again with the stored arguments, so every start-up step runs again.
    virtual void Resume();

    // Key handlers; the main window offers every key to the current mode first. A handler that
    // consumes a key sets it to 0.
    virtual void KeyPress(QObject* Sender, char16_t& Key);
    // Base: Escape, when EndsOnEscape, requests the end and is consumed.
    virtual void KeyDown(QObject* Sender, std::uint16_t& Key, Qt::KeyboardModifiers Shift);
    virtual void KeyUp(QObject* Sender, std::uint16_t& Key, Qt::KeyboardModifiers Shift);

protected:
    // Picks the mode's objects out of Arguments(); called at the end of Start. Base: nothing.
    virtual void ReadArguments() {}

private:
    friend class TApplicationModeManager;

    TArgumentList FArguments;
    bool FActive = false;
    bool FEndRequested = false;
    // Set by the manager that owns the mode.
    TApplicationModeManager* FManager = nullptr;
    // Which activation of a mode by its manager this is; an end request carries it.
    std::uint64_t FActivation = 0;
};

// Hands a mode's end request to whoever delivers it later, after the current event has
// returned. The receiver passes it to the manager's HandleEndRequest.
class IModeEndPoster {
public:
    virtual ~IModeEndPoster() = default;
    // Activation identifies the mode activation that asked to end; it is a number, not a
    // reference, so a request outliving its mode is harmless.
    virtual void PostEndRequest(std::uint64_t Activation) = 0;
};

class IModeManagerListener {
public:
    virtual ~IModeManagerListener() = default;
    virtual void ModeStarted(TApplicationModeManager& Sender) = 0;
    virtual void ModeEnded(TApplicationModeManager& Sender) = 0;
};

// Owns the current mode and the stack of suspended modes.
class TApplicationModeManager {
public:
    TApplicationModeManager() = default;
    // Destroys the current mode and then the suspended ones from the top down, without
    // stopping them and without notifying.
    virtual ~TApplicationModeManager();
    TApplicationModeManager(const TApplicationModeManager&) = delete;
    TApplicationModeManager& operator=(const TApplicationModeManager&) = delete;

    // Where the modes' end requests go; not owned. Must be set before a mode calls RequestEnd.
    void SetEndPoster(IModeEndPoster* Poster) { FEndPoster = Poster; }
    IModeEndPoster* EndPoster() const { return FEndPoster; }
    // The application handed to every mode that becomes current (an IApplicationClient);
    // not owned.
    void SetApplication(TKorvaneApplication* Application) { FApplication = Application; }

    TApplicationMode* CurrentMode() const { return FCurrentMode.get(); }
    std::int32_t SuspendedCount() const { return static_cast<std::int32_t>(FSuspended.size()); }
    // A suspended mode; index 0 is the bottom of the stack.
    TApplicationMode* SuspendedMode(std::int32_t Index) const;

    // Starts a new mode of Class with Arguments unless the current mode refuses it (then
    // nothing changes and nullptr comes back). The current mode is stopped and always
    // suspended here; TModeManager asks it. EAssertion for an abstract class.
    virtual TApplicationMode* StartMode(const TModeClass& Class, const TArgumentList& Arguments);
    template <class T> T* StartMode(const TArgumentList& Arguments = {}) {
        return dynamic_cast<T*>(StartMode(T::Class(), Arguments));
    }

    // Stops and destroys the current mode, notifies ModeEnded, then resumes the top suspended
    // mode, if any, and notifies ModeStarted. Nothing when no mode is current.
    void EndMode();
    // Carries out a posted end request: ends the current mode when it is the activation that
    // posted the request. A request whose mode has ended, been suspended or been replaced
    // meanwhile is dropped. Answers whether a mode was ended.
    bool HandleEndRequest(std::uint64_t Activation);

    // The current mode when it is of Class or a descendant, else the first such suspended mode
    // from the top of the stack down; nullptr when there is none.
    TApplicationMode* FindMode(const TModeClass& Class) const;
    template <class T> T* FindMode() const { return dynamic_cast<T*>(FindMode(T::Class())); }

    void AddListener(IModeManagerListener* Listener) { FListeners.Add(Listener); }
    void RemoveListener(IModeManagerListener* Listener) { FListeners.Remove(Listener); }
    bool HasListener(const IModeManagerListener* Listener) const {
        return FListeners.Has(Listener);
    }

protected:
    virtual void NotifyModeStarted();
    virtual void NotifyModeEnded();

    // Building blocks of StartMode for descendants.
    // EAssertion for an abstract class.
    static void CheckCreatable(const TModeClass& Class);
    // The class's mode, not yet current; EAssertion for an abstract class.
    static std::unique_ptr<TApplicationMode> CreateMode(const TModeClass& Class);
    // Tells the activations of modes apart: each Start or Resume by a manager is a new one.
    static std::uint64_t ActivationOf(const TApplicationMode& Mode) { return Mode.FActivation; }
    // Makes Mode current as a new activation (before its Start or Resume).
    TApplicationMode& MakeCurrent(std::unique_ptr<TApplicationMode> Mode);
    // Takes the current mode away; CurrentMode becomes none.
    std::unique_ptr<TApplicationMode> TakeCurrentMode();
    void PushSuspended(std::unique_ptr<TApplicationMode> Mode);

private:
    friend class TApplicationMode;
    void PostEndRequest(TApplicationMode& Mode);

    TListenerList<IModeManagerListener> FListeners;
    std::unique_ptr<TApplicationMode> FCurrentMode;
    std::vector<std::unique_ptr<TApplicationMode>> FSuspended;
    IModeEndPoster* FEndPoster = nullptr;
    TKorvaneApplication* FApplication = nullptr;
    std::uint64_t FLastActivation = 0;
};

// A mode that writes a guide into the guide panel; the mode manager hands it the container
// whenever it starts such a mode.
class IGuidedMode {
public:
    virtual ~IGuidedMode() = default;
    virtual void SetGuideContainer(TGuideContentContainer* Container) = 0;
};

// The mode manager of the program. It asks the current mode whether to suspend it, and hands
// every guided mode the guide container.
class TModeManager : public TApplicationModeManager {
public:
    using TApplicationModeManager::StartMode;
    TApplicationMode* StartMode(const TModeClass& Class, const TArgumentList& Arguments) override;

    // Not owned; set once by the main window.
    void SetGuideContainer(TGuideContentContainer* Container) { FGuideContainer = Container; }
    TGuideContentContainer* GuideContainer() const { return FGuideContainer; }
    // Runs for every mode this manager starts, before the mode's Start: the window hands its
    // modes what they need of the user interface.
    void SetModeSetup(std::function<void(TApplicationMode&)> Setup) {
        FModeSetup = std::move(Setup);
    }

private:
    TGuideContentContainer* FGuideContainer = nullptr;
    std::function<void(TApplicationMode&)> FModeSetup;
};

// ---------------------------------------------------------------------------------------------
// Delivering end requests

// Keeps end requests until the owner hands them over (tests, the command-line tool).
class TQueuedModeEndPoster : public IModeEndPoster {
public:
    void PostEndRequest(std::uint64_t Activation) override { FPending.push_back(Activation); }

    std::int32_t PendingCount() const { return static_cast<std::int32_t>(FPending.size()); }
    // Hands every queued request to Manager in posting order, including requests posted
    // while doing so; answers how many ended a mode.
    std::int32_t ProcessPending(TApplicationModeManager& Manager);

private:
    std::deque<std::uint64_t> FPending;
};

// The event type of a mode's end request in the program's event loop.
inline constexpr QEvent::Type ModeEndEventType = static_cast<QEvent::Type>(QEvent::User + 0x190);

class TModeEndEvent : public QEvent {
public:
    explicit TModeEndEvent(std::uint64_t Activation)
        : QEvent(ModeEndEventType), FActivation(Activation) {}
    std::uint64_t Activation() const { return FActivation; }

private:
    std::uint64_t FActivation;
};

// Posts end requests as TModeEndEvent to Receiver (the main window), which handles them from
// the event loop with HandleModeEndEvent. Requests for a receiver that is gone are dropped.
class TQtModeEndPoster : public IModeEndPoster {
public:
    explicit TQtModeEndPoster(QObject* Receiver) : FReceiver(Receiver) {}
    void PostEndRequest(std::uint64_t Activation) override;

private:
    QPointer<QObject> FReceiver;
};

// For the receiver's event(): carries out Event when it is an end request and answers true;
// answers false for any other event.
bool HandleModeEndEvent(QEvent& Event, TApplicationModeManager& Manager);

} // namespace korvane
