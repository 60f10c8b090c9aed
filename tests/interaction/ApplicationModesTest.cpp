#include "interaction/ApplicationModes.h"

#include "core/Errors.h"

#include <QCoreApplication>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace korvane;

namespace {

// What the probe modes did, in order: "TZoomProbe.Start", "~TZoomProbe", ...
std::vector<std::string> Log;

std::vector<std::string> TakeLog() {
    std::vector<std::string> Result;
    Result.swap(Log);
    return Result;
}

class TProbeMode : public TApplicationMode {
public:
    static const TModeClass& Class() {
        static const TModeClass C = TModeClass::Of<TProbeMode, TApplicationMode>("TProbeMode");
        return C;
    }
    ~TProbeMode() override {
        if (!FName.empty())
            Log.push_back("~" + FName);
    }
    void Start(const TArgumentList& Arguments) override {
        FName = ClassName();
        TApplicationMode::Start(Arguments);
        Log.push_back(FName + ".Start");
    }
    void Stop() override {
        TApplicationMode::Stop();
        Log.push_back(FName + ".Stop");
    }
    void Resume() override {
        Log.push_back(FName + ".Resume");
        TApplicationMode::Resume();
    }
    std::int32_t StartCount = 0;

protected:
    void ReadArguments() override { ++StartCount; }

private:
    std::string FName;
};

// Suspended by every mode that starts, like a digitizing mode.
class TDigitizingProbe : public TProbeMode {
public:
    static const TModeClass& Class() {
        static const TModeClass C =
            TModeClass::Of<TDigitizingProbe, TProbeMode>("TDigitizingProbe");
        return C;
    }
    bool SuspendsFor(const TModeClass&) const override { return true; }
};

class TZoomProbe : public TProbeMode {
public:
    static const TModeClass& Class() {
        static const TModeClass C = TModeClass::Of<TZoomProbe, TProbeMode>("TZoomProbe");
        return C;
    }
};

class TSubZoomProbe : public TZoomProbe {
public:
    static const TModeClass& Class() {
        static const TModeClass C = TModeClass::Of<TSubZoomProbe, TZoomProbe>("TSubZoomProbe");
        return C;
    }
};

// Refuses zoom modes and their descendants.
class TExclusiveProbe : public TProbeMode {
public:
    static const TModeClass& Class() {
        static const TModeClass C = TModeClass::Of<TExclusiveProbe, TProbeMode>("TExclusiveProbe");
        return C;
    }
    bool AllowsStartOf(const TModeClass& Class) const override {
        return !Class.InheritsFrom(TZoomProbe::Class());
    }
};

class TGuidedProbe : public TProbeMode, public IGuidedMode {
public:
    static const TModeClass& Class() {
        static const TModeClass C = TModeClass::Of<TGuidedProbe, TProbeMode>("TGuidedProbe");
        return C;
    }
    void SetGuideContainer(TGuideContentContainer* Container) override { Guide = Container; }
    void Start(const TArgumentList& Arguments) override {
        GuideAtStart = Guide;
        TProbeMode::Start(Arguments);
    }
    TGuideContentContainer* Guide = nullptr;
    TGuideContentContainer* GuideAtStart = nullptr;
};

class TAbstractProbe : public TApplicationMode {
public:
    static const TModeClass& Class() {
        static const TModeClass C =
            TModeClass::Of<TAbstractProbe, TApplicationMode>("TAbstractProbe");
        return C;
    }
    virtual void Pure() = 0;
};

// Records each notification with the class of the mode current at that moment.
class TRecordingListener : public IModeManagerListener {
public:
    void ModeStarted(TApplicationModeManager& Sender) override { Record("started", Sender); }
    void ModeEnded(TApplicationModeManager& Sender) override { Record("ended", Sender); }
    std::vector<std::string> Events;

private:
    void Record(const std::string& What, TApplicationModeManager& Sender) {
        TApplicationMode* Current = Sender.CurrentMode();
        Events.push_back(What + " " + (Current ? Current->ClassName() : "none"));
    }
};

template <class TManager> struct TManagerFixture {
    TManager Manager;
    TQueuedModeEndPoster Poster;
    TRecordingListener Listener;

    TManagerFixture() {
        Manager.SetEndPoster(&Poster);
        Manager.AddListener(&Listener);
        Log.clear();
    }
    ~TManagerFixture() { Manager.RemoveListener(&Listener); }
    std::vector<std::string> TakeEvents() {
        std::vector<std::string> Result;
        Result.swap(Listener.Events);
        return Result;
    }
    std::uint16_t KeyDown(std::uint16_t Key) {
        Manager.CurrentMode()->KeyDown(nullptr, Key, Qt::NoModifier);
        return Key;
    }
};

using Strings = std::vector<std::string>;

} // namespace

TEST(ModeManager, EscapeEndsTheModeOnlyAfterTheEventAndPostsOnce) {
    TManagerFixture<TModeManager> F;
    F.Manager.StartMode<TZoomProbe>();
    TakeLog();
    F.TakeEvents();

    EXPECT_EQ(F.KeyDown(KeyCodeEscape), 0);
    EXPECT_EQ(F.KeyDown(KeyCodeEscape), 0);
    // Still running: the end waits for the posted request.
    ASSERT_NE(F.Manager.CurrentMode(), nullptr);
    EXPECT_TRUE(F.Manager.CurrentMode()->EndRequested());
    EXPECT_TRUE(F.Manager.CurrentMode()->Active());
    EXPECT_EQ(F.Poster.PendingCount(), 1);
    EXPECT_TRUE(TakeLog().empty());

    EXPECT_EQ(F.Poster.ProcessPending(F.Manager), 1);
    EXPECT_EQ(F.Manager.CurrentMode(), nullptr);
    EXPECT_EQ(TakeLog(), (Strings{"TZoomProbe.Stop", "~TZoomProbe"}));
    EXPECT_EQ(F.TakeEvents(), (Strings{"ended none"}));
}

TEST(ModeManager, KeysTheModeDoesNotConsumeComeBack) {
    TManagerFixture<TModeManager> F;
    F.Manager.StartMode<TZoomProbe>();
    F.Manager.CurrentMode()->EndsOnEscape = false;
    EXPECT_EQ(F.KeyDown(KeyCodeEscape), KeyCodeEscape);
    F.Manager.CurrentMode()->EndsOnEscape = true;
    EXPECT_EQ(F.KeyDown('A'), 'A');
    std::uint16_t Up = KeyCodeEscape;
    F.Manager.CurrentMode()->KeyUp(nullptr, Up, Qt::NoModifier);
    EXPECT_EQ(Up, KeyCodeEscape);
    EXPECT_EQ(F.Poster.PendingCount(), 0);
    EXPECT_FALSE(F.Manager.CurrentMode()->EndRequested());
}

TEST(ModeManager, SuspendedModeResumesWithItsArgumentsWhenTheNewModeEnds) {
    TManagerFixture<TModeManager> F;
    TArgumentList Arguments{std::int32_t(7), true};
    auto* Digitizing = F.Manager.StartMode<TDigitizingProbe>(Arguments);
    ASSERT_NE(Digitizing, nullptr);
    Arguments.Add(1.5); // the mode keeps its own copy
    auto* Zoom = F.Manager.StartMode<TZoomProbe>({std::int32_t(1)});
    ASSERT_NE(Zoom, nullptr);

    EXPECT_EQ(F.Manager.CurrentMode(), Zoom);
    ASSERT_EQ(F.Manager.SuspendedCount(), 1);
    EXPECT_EQ(F.Manager.SuspendedMode(0), Digitizing);
    EXPECT_FALSE(Digitizing->Active());
    // Told of the end while the stopped mode is still current, so no idle guide flickers.
    EXPECT_EQ(F.TakeEvents(), (Strings{"started TDigitizingProbe", "ended TDigitizingProbe",
                                       "started TZoomProbe"}));

    F.Manager.EndMode();
    EXPECT_EQ(F.Manager.CurrentMode(), Digitizing);
    EXPECT_EQ(F.Manager.SuspendedCount(), 0);
    EXPECT_TRUE(Digitizing->Active());
    EXPECT_EQ(Digitizing->StartCount, 2);
    ASSERT_EQ(Digitizing->Arguments().Count(), 2);
    EXPECT_EQ(Digitizing->Arguments().Integer(0), 7);
    EXPECT_TRUE(Digitizing->Arguments().Boolean(1));
    EXPECT_EQ(TakeLog(), (Strings{"TDigitizingProbe.Start", "TDigitizingProbe.Stop",
                                  "TZoomProbe.Start", "TZoomProbe.Stop", "~TZoomProbe",
                                  "TDigitizingProbe.Resume", "TDigitizingProbe.Start"}));
    EXPECT_EQ(F.TakeEvents(), (Strings{"ended none", "started TDigitizingProbe"}));
}

TEST(ModeManager, ModeThatDoesNotSuspendIsDestroyedBeforeTheNewOneStarts) {
    TManagerFixture<TModeManager> F;
    F.Manager.StartMode<TZoomProbe>();
    F.Manager.StartMode<TProbeMode>();
    EXPECT_EQ(F.Manager.SuspendedCount(), 0);
    EXPECT_EQ(TakeLog(),
              (Strings{"TZoomProbe.Start", "TZoomProbe.Stop", "~TZoomProbe", "TProbeMode.Start"}));
}

TEST(ModeManager, BaseManagerAlwaysSuspendsAndNotifiesAfterLettingGo) {
    TManagerFixture<TApplicationModeManager> F;
    auto* Zoom = F.Manager.StartMode<TZoomProbe>();
    F.Manager.StartMode<TProbeMode>();
    ASSERT_EQ(F.Manager.SuspendedCount(), 1);
    EXPECT_EQ(F.Manager.SuspendedMode(0), Zoom);
    EXPECT_EQ(F.TakeEvents(), (Strings{"started TZoomProbe", "ended none", "started TProbeMode"}));
}

TEST(ModeManager, RefusedModeLeavesTheCurrentModeAndCreatesNothing) {
    TManagerFixture<TModeManager> F;
    auto* Exclusive = F.Manager.StartMode<TExclusiveProbe>();
    TakeLog();
    F.TakeEvents();

    EXPECT_EQ(F.Manager.StartMode<TZoomProbe>(), nullptr);
    EXPECT_EQ(F.Manager.StartMode<TSubZoomProbe>(), nullptr);
    EXPECT_EQ(F.Manager.CurrentMode(), Exclusive);
    EXPECT_TRUE(Exclusive->Active());
    EXPECT_TRUE(TakeLog().empty());
    EXPECT_TRUE(F.TakeEvents().empty());

    EXPECT_NE(F.Manager.StartMode<TProbeMode>(), nullptr);
}

TEST(ModeManager, AbstractModeClassIsRefusedBeforeAnythingChanges) {
    TManagerFixture<TModeManager> F;
    auto* Zoom = F.Manager.StartMode<TZoomProbe>();
    EXPECT_TRUE(TAbstractProbe::Class().IsAbstract());
    EXPECT_THROW(F.Manager.StartMode(TAbstractProbe::Class(), {}), EAssertion);
    EXPECT_EQ(F.Manager.CurrentMode(), Zoom);
    EXPECT_TRUE(Zoom->Active());
}

TEST(ModeManager, FindModeLooksAtTheCurrentModeThenTheStackFromTheTop) {
    TManagerFixture<TModeManager> F;
    EXPECT_EQ(F.Manager.FindMode(TApplicationMode::Class()), nullptr);

    auto* Lower = F.Manager.StartMode<TDigitizingProbe>();
    auto* Upper = F.Manager.StartMode<TDigitizingProbe>();
    auto* Zoom = F.Manager.StartMode<TSubZoomProbe>();
    ASSERT_EQ(F.Manager.SuspendedCount(), 2);

    EXPECT_EQ(F.Manager.FindMode<TDigitizingProbe>(), Upper);
    EXPECT_NE(F.Manager.FindMode<TDigitizingProbe>(), Lower);
    EXPECT_EQ(F.Manager.FindMode<TZoomProbe>(), Zoom);        // a descendant counts
    EXPECT_EQ(F.Manager.FindMode(TProbeMode::Class()), Zoom); // the current mode first
    EXPECT_EQ(F.Manager.FindMode<TExclusiveProbe>(), nullptr);
    EXPECT_EQ(F.Manager.FindMode<TGuidedProbe>(), nullptr);
}

TEST(ModeManager, ClassesKnowTheirAncestry) {
    EXPECT_TRUE(TSubZoomProbe::Class().InheritsFrom(TZoomProbe::Class()));
    EXPECT_TRUE(TSubZoomProbe::Class().InheritsFrom(TApplicationMode::Class()));
    EXPECT_TRUE(TZoomProbe::Class().InheritsFrom(TZoomProbe::Class()));
    EXPECT_FALSE(TZoomProbe::Class().InheritsFrom(TSubZoomProbe::Class()));
    EXPECT_FALSE(TZoomProbe::Class().InheritsFrom(TDigitizingProbe::Class()));
    EXPECT_EQ(TApplicationMode::Class().Parent(), nullptr);
    EXPECT_EQ(TSubZoomProbe::Class().Name(), "TSubZoomProbe");
}

TEST(ModeManager, EndingEveryModeEmptiesTheStackOneByOne) {
    TManagerFixture<TModeManager> F;
    F.Manager.StartMode<TDigitizingProbe>();
    F.Manager.StartMode<TZoomProbe>();
    F.TakeEvents();
    int Ends = 0;
    while (F.Manager.CurrentMode()) {
        F.Manager.EndMode();
        ++Ends;
    }
    EXPECT_EQ(Ends, 2);
    EXPECT_EQ(F.Manager.SuspendedCount(), 0);
    EXPECT_EQ(F.TakeEvents(), (Strings{"ended none", "started TDigitizingProbe", "ended none"}));
    F.Manager.EndMode(); // nothing current: nothing happens
    EXPECT_TRUE(F.TakeEvents().empty());
}

TEST(ModeManager, DestroyingTheManagerDestroysEveryModeWithoutStoppingIt) {
    {
        TModeManager Manager;
        Manager.StartMode<TDigitizingProbe>();
        Manager.StartMode<TZoomProbe>();
        Log.clear();
    }
    EXPECT_EQ(TakeLog(), (Strings{"~TZoomProbe", "~TDigitizingProbe"}));
}

TEST(ModeManager, GuidedModesGetTheGuideContainerBeforeTheyStart) {
    TManagerFixture<TModeManager> F;
    auto* Container = reinterpret_cast<TGuideContentContainer*>(&F); // only compared
    F.Manager.SetGuideContainer(Container);
    auto* Guided = F.Manager.StartMode<TGuidedProbe>();
    ASSERT_NE(Guided, nullptr);
    EXPECT_EQ(Guided->GuideAtStart, Container);
}

TEST(ModeManager, ListenersAreNotifiedInRegistrationOrderAndOnlyOnce) {
    TModeManager Manager;
    std::vector<int> Order;
    class TOrdered : public IModeManagerListener {
    public:
        TOrdered(std::vector<int>& Order, int Id) : FOrder(Order), FId(Id) {}
        void ModeStarted(TApplicationModeManager& Sender) override {
            FOrder.push_back(FId);
            if (RemoveOnStart)
                Sender.RemoveListener(RemoveOnStart);
        }
        void ModeEnded(TApplicationModeManager&) override {}
        IModeManagerListener* RemoveOnStart = nullptr;

    private:
        std::vector<int>& FOrder;
        int FId;
    };
    TOrdered First(Order, 1), Second(Order, 2), Third(Order, 3);
    Manager.AddListener(&First);
    Manager.AddListener(&Second);
    Manager.AddListener(&First);
    Manager.AddListener(&Third);
    EXPECT_TRUE(Manager.HasListener(&Second));
    // The first listener unregisters the third while the notification runs.
    First.RemoveOnStart = &Third;
    Manager.StartMode<TProbeMode>();
    EXPECT_EQ(Order, (std::vector<int>{1, 2}));
    EXPECT_FALSE(Manager.HasListener(&Third));
    Manager.RemoveListener(&First);
    Manager.RemoveListener(&Second);
}

// ---------------------------------------------------------------------------------------------
// End requests that arrive after their mode has gone

TEST(ModeEndRequests, RequestOfAModeEndedMeanwhileDoesNotEndTheResumedMode) {
    TManagerFixture<TModeManager> F;
    auto* Digitizing = F.Manager.StartMode<TDigitizingProbe>();
    F.Manager.StartMode<TZoomProbe>();
    F.KeyDown(KeyCodeEscape);
    // Something else ends the zoom mode first, e.g. closing the data set.
    F.Manager.EndMode();
    ASSERT_EQ(F.Manager.CurrentMode(), Digitizing);

    EXPECT_EQ(F.Poster.ProcessPending(F.Manager), 0);
    EXPECT_EQ(F.Manager.CurrentMode(), Digitizing);
    EXPECT_TRUE(Digitizing->Active());
}

TEST(ModeEndRequests, RequestOfASuspendedModeIsDroppedAndItMayAskAgainLater) {
    TManagerFixture<TModeManager> F;
    auto* Digitizing = F.Manager.StartMode<TDigitizingProbe>();
    F.KeyDown(KeyCodeEscape);
    auto* Zoom = F.Manager.StartMode<TZoomProbe>();
    EXPECT_FALSE(Digitizing->EndRequested()); // Stop forgets the request

    EXPECT_EQ(F.Poster.ProcessPending(F.Manager), 0);
    EXPECT_EQ(F.Manager.CurrentMode(), Zoom);
    EXPECT_EQ(F.Manager.SuspendedCount(), 1);

    // A suspended mode is not running: asking for its end does nothing.
    Digitizing->RequestEnd();
    EXPECT_EQ(F.Poster.PendingCount(), 0);

    F.Manager.EndMode();
    ASSERT_EQ(F.Manager.CurrentMode(), Digitizing);
    F.KeyDown(KeyCodeEscape);
    EXPECT_EQ(F.Poster.ProcessPending(F.Manager), 1);
    EXPECT_EQ(F.Manager.CurrentMode(), nullptr);
}

TEST(ModeEndRequests, RequestOfAReplacedModeDoesNotEndItsSuccessor) {
    TManagerFixture<TModeManager> F;
    F.Manager.StartMode<TZoomProbe>();
    F.KeyDown(KeyCodeEscape);
    auto* Next = F.Manager.StartMode<TProbeMode>(); // the zoom mode is destroyed
    EXPECT_EQ(F.Poster.ProcessPending(F.Manager), 0);
    EXPECT_EQ(F.Manager.CurrentMode(), Next);
}

TEST(ModeEndRequests, WithoutAPosterTheRequestIsAnInternalError) {
    TModeManager Manager;
    Manager.StartMode<TProbeMode>();
    EXPECT_THROW(Manager.CurrentMode()->RequestEnd(), EAssertion);
    EXPECT_FALSE(Manager.CurrentMode()->EndRequested());

    TProbeMode Orphan; // never started: not running, nothing to end
    Orphan.RequestEnd();
    EXPECT_FALSE(Orphan.EndRequested());
}

namespace {

QCoreApplication& Application() {
    static int Argc = 1;
    static char Name[] = "ApplicationModesTest";
    static char* Argv[] = {Name, nullptr};
    static QCoreApplication App(Argc, Argv);
    return App;
}

// Stands in for the main window: handles end requests from its event loop.
class TReceiver : public QObject {
public:
    explicit TReceiver(TApplicationModeManager& Manager) : FManager(Manager) {}
    bool event(QEvent* Event) override {
        if (HandleModeEndEvent(*Event, FManager)) {
            ++Handled;
            return true;
        }
        return QObject::event(Event);
    }
    int Handled = 0;

private:
    TApplicationModeManager& FManager;
};

} // namespace

TEST(ModeEndRequests, QtPosterDeliversTheRequestFromTheEventLoop) {
    Application();
    TModeManager Manager;
    TReceiver Receiver(Manager);
    TQtModeEndPoster Poster(&Receiver);
    Manager.SetEndPoster(&Poster);

    Manager.StartMode<TZoomProbe>();
    std::uint16_t Key = KeyCodeEscape;
    Manager.CurrentMode()->KeyDown(nullptr, Key, Qt::NoModifier);
    Key = KeyCodeEscape;
    Manager.CurrentMode()->KeyDown(nullptr, Key, Qt::NoModifier);
    EXPECT_NE(Manager.CurrentMode(), nullptr);

    QCoreApplication::sendPostedEvents(&Receiver);
    EXPECT_EQ(Receiver.Handled, 1);
    EXPECT_EQ(Manager.CurrentMode(), nullptr);

    QEvent Other(QEvent::User);
    EXPECT_FALSE(HandleModeEndEvent(Other, Manager));
}

TEST(ModeEndRequests, QtPosterDropsRequestsOnceItsReceiverIsGone) {
    Application();
    TModeManager Manager;
    auto Receiver = std::make_unique<TReceiver>(Manager);
    TQtModeEndPoster Poster(Receiver.get());
    Manager.SetEndPoster(&Poster);
    Manager.StartMode<TZoomProbe>();
    Manager.CurrentMode()->RequestEnd(); // pending for the receiver
    Receiver.reset();
    QCoreApplication::sendPostedEvents();
    Manager.EndMode();
    Manager.StartMode<TZoomProbe>();
    Manager.CurrentMode()->RequestEnd(); // nobody to receive it
    QCoreApplication::sendPostedEvents();
    EXPECT_NE(Manager.CurrentMode(), nullptr);
}

// ---------------------------------------------------------------------------------------------
// Argument lists

namespace {

class TBaseThing : public TPersistent {};
class TDerivedThing : public TBaseThing {};
class TOtherThing : public TPersistent {};
struct TPlainThing {
    int Value = 0;
};

} // namespace

TEST(ArgumentLists, TypedEntriesReadBackAsTheirTypeAndObjectsAsTheirClassTree) {
    TDerivedThing Derived;
    QObject Object;
    TPlainThing Plain;
    const TArgumentList List{&Derived, std::int32_t(-5), false, 2.25, nullptr, &Object, &Plain};

    EXPECT_EQ(List.Count(), 7);
    EXPECT_EQ(List.Object<TDerivedThing>(0), &Derived);
    EXPECT_EQ(List.Object<TBaseThing>(0), &Derived);
    EXPECT_EQ(List.Object<const TPersistent>(0), &Derived);
    EXPECT_EQ(List.Integer(1), -5);
    EXPECT_FALSE(List.Boolean(2));
    EXPECT_EQ(List.Real(3), 2.25);
    EXPECT_EQ(List.Object<TOtherThing>(4), nullptr); // "none" reads as any class
    EXPECT_EQ(List.Object<QObject>(5), &Object);
    EXPECT_EQ(List.Object<TPlainThing>(6), &Plain);
}

TEST(ArgumentLists, WrongTypesAndMissingEntriesAreInternalErrors) {
    TDerivedThing Derived;
    TPlainThing Plain;
    const TArgumentList List{&Derived, std::int32_t(3), true, &Plain};
    struct TCase {
        const char* What;
        std::function<void()> Read;
        const char* Message;
    };
    const std::vector<TCase> Cases{
        {"integer as boolean", [&] { List.Boolean(1); },
         "TArgumentList: argument 1 is an integer, not a boolean."},
        {"boolean as integer", [&] { List.Integer(2); },
         "TArgumentList: argument 2 is a boolean, not an integer."},
        {"integer as real", [&] { List.Real(1); },
         "TArgumentList: argument 1 is an integer, not a real."},
        {"object as integer", [&] { List.Integer(0); },
         "TArgumentList: argument 0 is an object TDerivedThing, not an integer."},
        {"object of another class", [&] { List.Object<TOtherThing>(0); },
         "TArgumentList: argument 0 is an object TDerivedThing, not an object TOtherThing."},
        {"integer as object", [&] { List.Object<TBaseThing>(1); },
         "TArgumentList: argument 1 is an integer, not an object TBaseThing."},
        {"plain object as another type", [&] { List.Object<int>(3); },
         "TArgumentList: argument 3 is an object TPlainThing, not an object int."},
        {"past the end", [&] { List.Integer(4); },
         "TArgumentList: argument 4 is missing (4 given)."},
        {"negative index", [&] { List.Boolean(-1); },
         "TArgumentList: argument -1 is missing (4 given)."},
        {"entry on its own", [&] { List[2].Real(); },
         "TArgument: the entry is a boolean, not a real."},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.What);
        try {
            C.Read();
            ADD_FAILURE() << "no error";
        } catch (const EAssertion& E) {
            EXPECT_STREQ(E.what(), C.Message);
        }
    }
}
