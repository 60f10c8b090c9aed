#include "FollowerTestSupport.h"
#include "follower/UiDispatcher.h"
#include "follower/VectorizerInitialConditions.h"

#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

using namespace korvane;
using namespace korvane::testing;
using namespace std::chrono_literals;

namespace {

// A long three-pixel line and a follower on it, driven by a dispatcher this thread pumps.
struct FollowerThreads : ::testing::Test {
    QImage Image = [] {
        QImage I = WhiteImage(2000, 100);
        Fill(I, 0, 50, 1999, 52);
        return I;
    }();
    TQueuedDispatcher Dispatcher;
    TRecorder Recorder;
    std::unique_ptr<TFunctionalVectorizer> Follower;
    int Ends = 0;

    void SetUp() override {
        Follower = std::make_unique<TFunctionalVectorizer>(Recorder, Image);
        Configure(*Follower);
        TVectorizerInitialConditions Conditions({0, 51});
        Conditions.SetTrackingColor(RGB(0, 0, 0));
        Conditions.Apply(*Follower);
    }

    void Start() {
        Follower->Start(Dispatcher, [this](TVectorizer&) { ++Ends; });
    }

    // Pumps the dispatcher until Done() or the time runs out.
    template <class Predicate>
    bool PumpUntil(Predicate Done, std::chrono::milliseconds Limit = 10s) {
        const auto End = std::chrono::steady_clock::now() + Limit;
        while (!Done()) {
            if (std::chrono::steady_clock::now() > End)
                return false;
            Dispatcher.WaitAndProcess(5ms);
        }
        return true;
    }
    void PumpFor(std::chrono::milliseconds Time) {
        PumpUntil([] { return false; }, Time);
    }
};

} // namespace

TEST_F(FollowerThreads, ThreadedRunMatchesTheDirectRun) {
    Start();
    ASSERT_TRUE(PumpUntil([&] { return Ends == 1; }));
    EXPECT_EQ(Recorder.Points.size(), 2000u);
    EXPECT_EQ(Follower->PointsReported, 2000);
    EXPECT_FALSE(Follower->Lost);
    PumpFor(20ms);
    EXPECT_EQ(Ends, 1);

    TRecorder Direct;
    TFunctionalVectorizer Same(Direct, Image);
    Configure(Same);
    TVectorizerInitialConditions({0, 51}).Apply(Same);
    Same.RunSynchronously();
    EXPECT_EQ(Direct.Points, Recorder.Points);
}

TEST_F(FollowerThreads, FailedStartEndsLostWithoutPoints) {
    Follower->StartPoint = {0, 10}; // white
    Start();
    ASSERT_TRUE(PumpUntil([&] { return Ends == 1; }));
    EXPECT_TRUE(Follower->Lost);
    EXPECT_EQ(Follower->PointsReported, 0);
}

TEST_F(FollowerThreads, PauseThenStop) {
    Follower->Delay = 1;
    Recorder.OnPoint = [](TVectorizer& F, TLongintPoint) { F.Delay = 1; };
    Start();
    ASSERT_TRUE(PumpUntil([&] { return Recorder.Points.size() >= 5; }));
    Follower->Pause();
    const std::size_t AtPause = Recorder.Points.size();
    PumpFor(60ms);
    EXPECT_EQ(Recorder.Points.size(), AtPause); // a paused follower reports nothing
    Follower->Terminate();
    PumpFor(60ms);
    EXPECT_EQ(Recorder.Points.size(), AtPause);
    EXPECT_EQ(Ends, 0); // the request waits for the follower to resume
    Follower->Resume();
    ASSERT_TRUE(PumpUntil([&] { return Ends == 1; }));
    EXPECT_LE(Recorder.Points.size(), AtPause + 1);
    PumpFor(20ms);
    EXPECT_EQ(Ends, 1);
}

TEST_F(FollowerThreads, PaintingWhilePausedIsSeenAfterResuming) {
    Follower->Delay = 1;
    Recorder.OnPoint = [](TVectorizer& F, TLongintPoint) { F.Delay = 1; };
    Start();
    ASSERT_TRUE(PumpUntil([&] { return Recorder.Points.size() >= 5; }));
    Follower->Pause();
    PumpFor(20ms);
    // The user erases the line from column 100 on.
    Fill(Image, 100, 50, 1999, 52, qRgb(255, 255, 255));
    Follower->Resume();
    ASSERT_TRUE(PumpUntil([&] { return Ends == 1; }));
    EXPECT_EQ(Recorder.Points.back().X, 99);
    EXPECT_TRUE(Follower->Lost);
}

TEST_F(FollowerThreads, StopRequestedDuringAStepEndsAfterThatStep) {
    Recorder.OnPoint = [](TVectorizer& F, TLongintPoint P) {
        if (P.X == 9)
            F.Terminate();
    };
    Start();
    ASSERT_TRUE(PumpUntil([&] { return Ends == 1; }));
    EXPECT_EQ(Recorder.Points.size(), 10u);
    EXPECT_FALSE(Follower->Lost);
    PumpFor(20ms);
    EXPECT_EQ(Ends, 1);
}

TEST_F(FollowerThreads, DelayChangedByTheObserverTakesEffectAtTheNextPoint) {
    Follower->Delay = 1000;
    Recorder.OnPoint = [](TVectorizer& F, TLongintPoint) { F.Delay = 0; };
    const auto Begin = std::chrono::steady_clock::now();
    Start();
    ASSERT_TRUE(PumpUntil([&] { return Ends == 1; }));
    EXPECT_EQ(Recorder.Points.size(), 2000u);
    // At 1000 ms a point this would take half an hour.
    EXPECT_LT(std::chrono::steady_clock::now() - Begin, 5s);
}

TEST_F(FollowerThreads, StopCutsTheDelayShort) {
    Recorder.OnPoint = [](TVectorizer& F, TLongintPoint) { F.Delay = 5000; };
    Start();
    ASSERT_TRUE(PumpUntil([&] { return Recorder.Points.size() == 1; }));
    const auto Begin = std::chrono::steady_clock::now();
    Follower->Terminate();
    ASSERT_TRUE(PumpUntil([&] { return Ends == 1; }));
    EXPECT_LT(std::chrono::steady_clock::now() - Begin, 2s);
    EXPECT_EQ(Recorder.Points.size(), 1u);
}

TEST_F(FollowerThreads, DiscardWhilePausedDeliversNothingMore) {
    Follower->Delay = 1;
    Recorder.OnPoint = [](TVectorizer& F, TLongintPoint) { F.Delay = 1; };
    Start();
    ASSERT_TRUE(PumpUntil([&] { return Recorder.Points.size() >= 3; }));
    Follower->Pause();
    PumpFor(20ms);
    const std::size_t Before = Recorder.Points.size();
    Follower.reset();
    PumpFor(50ms);
    EXPECT_EQ(Recorder.Points.size(), Before);
    EXPECT_EQ(Ends, 0);
}

TEST_F(FollowerThreads, DiscardWhileTheFollowerWaitsForTheUserInterface) {
    Start();
    // Nothing is pumped: the follower thread is waiting for its first slice to run here.
    std::this_thread::sleep_for(20ms);
    const auto Begin = std::chrono::steady_clock::now();
    Follower.reset(); // must not wait for the user-interface thread
    EXPECT_LT(std::chrono::steady_clock::now() - Begin, 1s);
    PumpFor(50ms); // the slice it asked for now finds nothing to do
    EXPECT_TRUE(Recorder.Points.empty());
    EXPECT_EQ(Ends, 0);
}

TEST_F(FollowerThreads, DiscardDuringTheDelayAndAfterTheBodyReturned) {
    Recorder.OnPoint = [](TVectorizer& F, TLongintPoint) { F.Delay = 5000; };
    Start();
    ASSERT_TRUE(PumpUntil([&] { return Recorder.Points.size() == 1; }));
    const auto Begin = std::chrono::steady_clock::now();
    Follower.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - Begin, 1s);

    // A follower whose body has returned but whose end notification is still queued.
    TRecorder Other;
    auto Short = std::make_unique<TFunctionalVectorizer>(Other, Image);
    Configure(*Short);
    Short->StartPoint = {0, 10}; // fails at once
    Short->SetTrackingColor(RGB(0, 0, 0));
    Short->Start(Dispatcher, [this](TVectorizer&) { ++Ends; });
    std::this_thread::sleep_for(20ms);
    Dispatcher.ProcessPending(); // runs the start check; the end is posted next
    std::this_thread::sleep_for(20ms);
    Short.reset();
    PumpFor(30ms);
    EXPECT_EQ(Ends, 0);
}

TEST_F(FollowerThreads, EndHandlerMayDestroyTheFollower) {
    Follower->Start(Dispatcher, [this](TVectorizer&) {
        ++Ends;
        Follower.reset();
    });
    ASSERT_TRUE(PumpUntil([&] { return Ends == 1; }));
    EXPECT_EQ(Follower, nullptr);
    EXPECT_EQ(Recorder.Points.size(), 2000u);
}
