#include "core/Errors.h"
#include "document/Digitizations.h"
#include "document/Parameters.h"
#include "follower/NonfunctionalVectorizer.h"
#include "follower/UiDispatcher.h"
#include "follower/VectorizerInitialConditions.h"
#include "image/ScaleSystem.h"

#include <QCoreApplication>
#include <QImage>
#include <QObject>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace korvane;
using namespace std::chrono_literals;

namespace {

// What a run follows on, without any panel: the working image, a coordinate system whose real
// values are image pixels with Y upwards from the bottom row's lower edge, follower settings
// without delay, the enhancements, and a queue of follower work the test pumps.
struct TChart {
    QImage Image;
    TScaleSystem Scale;
    TVectorizerParameters Settings;
    TFollowerEnhancements Enhancements;
    TQueuedDispatcher Queue;
    IUiDispatcher* OtherDispatcher = nullptr;

    TChart(int Width, int Height) : Image(Width, Height, QImage::Format_RGB888) {
        Image.fill(Qt::white);
        Scale.Define({0, Height}, {Width, Height}, {Width, 0}, {0, 0},
                     {double(Width), double(Height)}, false, false);
        Settings.SetDelay(0);
    }
    // What a run on this chart is handed.
    TFollowRun Run() {
        return {Image, Settings, Enhancements, OtherDispatcher ? *OtherDispatcher : Queue, Scale};
    }
};

// What a line tells its listeners, with the point count at that moment; the followed points
// apart, with the line's count and last point as each was heard.
struct TLineLog : ILineListener {
    struct TFollowed {
        TLongintPoint Pixel;
        TDoublePoint Real;
        std::int32_t Count;
        TDoublePoint Last;
    };
    std::vector<std::string> Events;
    std::vector<TFollowed> Followed;
    std::function<void(TLine&)> OnStart, OnEnd, OnPoint;
    void Add(const std::string& What, TDigitization& D) {
        Events.push_back(What + " " + std::to_string(D.Count()));
    }
    void DigitizationChanged(TDigitization& D) override { Add("Changed", D); }
    void PointsAdded(TDigitization& D) override { Add("PointsAdded", D); }
    void PointsChanged(TDigitization& D) override { Add("PointsChanged", D); }
    void FollowingStarted(TLine& L) override {
        Add("Started", L);
        if (OnStart)
            OnStart(L);
    }
    void PointFollowed(TLine& L, TLongintPoint Pixel, TDoublePoint Real) override {
        Followed.push_back({Pixel, Real, L.Count(), L.Last()});
        if (OnPoint)
            OnPoint(L);
    }
    void FollowingFailed(TLine& L) override {
        Add("Failed", L);
        if (OnEnd)
            OnEnd(L);
    }
    void FollowingFinished(TLine& L) override {
        Add("Finished", L);
        if (OnEnd)
            OnEnd(L);
    }
    void FollowingDiscarded(TLine& L) override { Add("Discarded", L); }
};

using TEvents = std::vector<std::string>;

void Fill(QImage& Image, int X0, int Y0, int X1, int Y1, QRgb Colour = qRgb(0, 0, 0)) {
    for (int Y = Y0; Y <= Y1; ++Y)
        for (int X = X0; X <= X1; ++X)
            Image.setPixel(X, Y, Colour);
}

TVectorizerInitialConditions Click(int X, int Y, TColor Colour = RGB(0, 0, 0)) {
    TVectorizerInitialConditions C({X, Y});
    C.SetTrackingColor(Colour);
    return C;
}

// Lines follow here without a panel: nothing is drawn while they run.
struct LineFollowing : ::testing::Test {
    TLineLog Log;
    std::unique_ptr<TChart> Chart;

    // A white image with a three-pixel black line in rows 50 to 52 from column 10 to the
    // right edge.
    void SetUp() override { MakeChart(130, 100); }
    void MakeChart(int Width, int Height) {
        Chart = std::make_unique<TChart>(Width, Height);
        Fill(Chart->Image, 10, 50, Width - 1, 52);
    }

    template <class L> std::unique_ptr<L> NewLine() {
        auto Line = std::make_unique<L>("Line");
        Line->AddListener(&Log);
        return Line;
    }

    template <class Predicate>
    bool PumpUntil(Predicate Done, std::chrono::milliseconds Limit = 10s) {
        const auto End = std::chrono::steady_clock::now() + Limit;
        while (!Done()) {
            if (std::chrono::steady_clock::now() > End)
                return false;
            Chart->Queue.WaitAndProcess(5ms);
        }
        return true;
    }
    void PumpFor(std::chrono::milliseconds Time) {
        PumpUntil([] { return false; }, Time);
    }
    ::testing::AssertionResult RunToEnd(TLine& Line) {
        if (!PumpUntil([&] { return !Line.Following(); }))
            return ::testing::AssertionFailure() << "the run did not end";
        return ::testing::AssertionSuccess();
    }

    // The image pixels of a line's points.
    std::vector<TLongintPoint> Pixels(const TLine& Line) const {
        std::vector<TLongintPoint> Result;
        for (std::int32_t I = 0; I < Line.Count(); ++I)
            Result.push_back(Chart->Scale.RealToImage(Line.GetPoint(I)));
        return Result;
    }
};

std::vector<TLongintPoint> Row(int FromX, int ToX, int Y) {
    std::vector<TLongintPoint> Result;
    for (int X = FromX; X <= ToX; ++X)
        Result.push_back({X, Y});
    return Result;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Runs and what the listeners hear

TEST_F(LineFollowing, RunAnnouncesEachPointAndAllOfThemOnceAtTheEnd) {
    auto Line = NewLine<TFunctionalLine>();
    Line->SetColorIndex(4);
    Log.Events.clear();
    Log.OnStart = [](TLine& L) { EXPECT_EQ(L.Follower(), nullptr); };
    Log.OnEnd = [&](TLine& L) {
        // The run is over for whoever hears its end.
        EXPECT_FALSE(L.Following());
        EXPECT_EQ(L.Track().Count(), 0);
    };
    Line->AutoDigitize(Chart->Run(), Click(10, 51));
    EXPECT_TRUE(Line->Following());
    EXPECT_EQ(Line->Track().GrowthStep(), 50);
    ASSERT_TRUE(RunToEnd(*Line));

    EXPECT_EQ(Log.Events, (TEvents{"Started 0", "Finished 120", "PointsAdded 120"}));
    EXPECT_EQ(Line->RunPointCount(), 120);
    EXPECT_EQ(Pixels(*Line), Row(10, 129, 51));
    EXPECT_EQ(Line->First().X, 10.0);
    EXPECT_EQ(Line->First().Y, 49.0); // rows count down from the top, real Y up
    EXPECT_FALSE(Line->Following());
    // Each point was announced as it was added: its pixel, and the real point it became.
    ASSERT_EQ(Log.Followed.size(), 120u);
    for (std::int32_t I = 0; I < Line->Count(); ++I) {
        const TLineLog::TFollowed& F = Log.Followed[static_cast<std::size_t>(I)];
        EXPECT_EQ(F.Pixel, (TLongintPoint{10 + I, 51}));
        EXPECT_EQ(F.Real, Line->GetPoint(I));
        EXPECT_EQ(F.Count, I + 1);
        EXPECT_EQ(F.Last, F.Real);
    }
}

TEST_F(LineFollowing, FailedStartAddsNothing) {
    struct TCase {
        const char* Name;
        bool HasPoints;
        bool KeepsTrackingColour;
    };
    for (const TCase& Case :
         {TCase{"empty line", false, false}, TCase{"line with points", true, true}}) {
        SCOPED_TRACE(Case.Name);
        auto Line = NewLine<TFunctionalLine>();
        if (Case.HasPoints)
            Line->AddPoint({1, 1});
        Line->SetTrackingColor(RGB(0, 0, 0));
        Log.Events.clear();
        Line->AutoDigitize(Chart->Run(), Click(60, 20)); // white
        ASSERT_TRUE(RunToEnd(*Line));
        const std::string N = Case.HasPoints ? "1" : "0";
        EXPECT_EQ(Log.Events, (TEvents{"Started " + N, "Failed " + N}));
        EXPECT_EQ(Line->TrackingColorSet, Case.KeepsTrackingColour);
        EXPECT_EQ(Line->RunPointCount(), 0);
    }
}

TEST_F(LineFollowing, FunctionalFollowerLosingTheLineFails) {
    // The line stops at column 99, well before the right edge: the follower gives up there.
    Fill(Chart->Image, 100, 50, 129, 52, qRgb(255, 255, 255));
    auto Line = NewLine<TFunctionalLine>();
    Log.Events.clear();
    Line->AutoDigitize(Chart->Run(), Click(10, 51));
    ASSERT_TRUE(RunToEnd(*Line));
    EXPECT_EQ(Log.Events, (TEvents{"Started 0", "Failed 90", "PointsAdded 90"}));
}

TEST_F(LineFollowing, PointThatCannotBePlacedEndsTheRunAsFailed) {
    Chart->Scale = TScaleSystem(); // no coordinate system: no pixel has a real value
    auto Line = NewLine<TFunctionalLine>();
    Log.Events.clear();
    Line->AutoDigitize(Chart->Run(), Click(10, 51));
    ASSERT_TRUE(RunToEnd(*Line));
    EXPECT_EQ(Log.Events, (TEvents{"Started 0", "Failed 0"}));
    EXPECT_TRUE(Log.Followed.empty());
}

TEST_F(LineFollowing, ListenerFailingToShowAPointEndsTheRunAsFailed) {
    // The point is the line's already; the follower must not see the exception.
    auto Line = NewLine<TFunctionalLine>();
    Log.Events.clear();
    Log.OnPoint = [](TLine& L) {
        if (L.Count() == 3)
            throw EKorvane("The view cannot show the point.");
    };
    Line->AutoDigitize(Chart->Run(), Click(10, 51));
    ASSERT_TRUE(RunToEnd(*Line));
    EXPECT_EQ(Log.Events, (TEvents{"Started 0", "Failed 3", "PointsAdded 3"}));
    EXPECT_EQ(Pixels(*Line), Row(10, 12, 51));
}

TEST_F(LineFollowing, EnhancementsGivePointsBetweenPixelsAndTheTrackKeepsThePixels) {
    // A second line above the first whose centre lies between rows: rows 20, 21 and 22 carry
    // 0.75, 1 and 0.25 of black.
    Fill(Chart->Image, 10, 20, 129, 20, qRgb(64, 64, 64));
    Fill(Chart->Image, 10, 21, 129, 21, qRgb(0, 0, 0));
    Fill(Chart->Image, 10, 22, 129, 22, qRgb(191, 191, 191));
    Chart->Enhancements.SubpixelOutput = true;
    Chart->Settings.SetDelay(1);
    auto Line = NewLine<TFunctionalLine>();
    Line->AutoDigitize(Chart->Run(), Click(10, 21));
    ASSERT_TRUE(PumpUntil([&] { return Line->Count() >= 5; }));
    for (std::int32_t I = 0; I < Line->Track().Count(); ++I)
        EXPECT_EQ(Line->Track()[I], (TDoublePoint{10.0 + I, 21.0}));
    ASSERT_TRUE(RunToEnd(*Line));

    ASSERT_EQ(Line->Count(), 120);
    const double Above = (255 - 64) / 255.0, Below = (255 - 191) / 255.0;
    const double Row = (Above * 20 + 21 + Below * 22) / (Above + 1 + Below);
    for (std::int32_t I = 0; I < Line->Count(); ++I) {
        EXPECT_EQ(Line->GetPoint(I).X, 10.0 + I);
        EXPECT_NEAR(Line->GetPoint(I).Y, 100 - Row, 1e-9); // real Y counts up from row 100
        EXPECT_EQ(Log.Followed[static_cast<std::size_t>(I)].Pixel, (TLongintPoint{10 + I, 21}));
    }
}

TEST_F(LineFollowing, StopEndsTheRunAsFinished) {
    Chart->Settings.SetDelay(1);
    auto Line = NewLine<TFunctionalLine>();
    Log.Events.clear();
    Line->AutoDigitize(Chart->Run(), Click(10, 51));
    ASSERT_TRUE(PumpUntil([&] { return Line->Count() >= 5; }));
    Line->Stop();
    EXPECT_TRUE(Line->IsFollowing()); // until the follower has seen the request
    ASSERT_TRUE(RunToEnd(*Line));
    // Each point is a step of its own here, so none came after the request.
    EXPECT_EQ(Log.Events, (TEvents{"Started 0", "Finished 5", "PointsAdded 5"}));
}

TEST_F(LineFollowing, OperationsNeedTheRightState) {
    auto Line = NewLine<TFunctionalLine>();
    const auto Message = [](const std::function<void()>& F) -> std::string {
        try {
            F();
        } catch (const EAssertion& E) {
            return E.what();
        }
        return "no assertion";
    };
    EXPECT_EQ(Message([&] { Line->Stop(); }), "TLine.Stop");
    EXPECT_EQ(Message([&] { Line->Pause(); }), "TLine.Pause");
    EXPECT_EQ(Message([&] { Line->Resume(); }), "TLine.Resume");
    EXPECT_FALSE(Line->IsFollowing());

    Log.Events.clear();
    Line->AutoDigitize(Chart->Run(), Click(10, 51));
    EXPECT_EQ(Message([&] { Line->AutoDigitize(Chart->Run(), Click(10, 51)); }),
              "TLine.AutoDigitize");
    ASSERT_TRUE(RunToEnd(*Line));
    EXPECT_EQ(Log.Events, (TEvents{"Started 0", "Finished 120", "PointsAdded 120"}));
}

// ---------------------------------------------------------------------------------------------
// Non-functional lines end on their own track

struct NonfunctionalFollowing : LineFollowing {
    // A ring three pixels thick around (50, 50).
    void SetUp() override {
        MakeChart(100, 100);
        Chart->Image.fill(Qt::white);
        for (int Y = 0; Y < 100; ++Y)
            for (int X = 0; X < 100; ++X) {
                const double D = std::hypot(X - 50, Y - 50);
                if (D >= 28.5 && D <= 31.5)
                    Chart->Image.setPixel(X, Y, qRgb(0, 0, 0));
            }
    }

    // What the follower reports on the ring when nothing stops it, for the first Limit points.
    std::vector<TLongintPoint> FreeRun(std::size_t Limit) {
        struct TRecorder : IVectorizerObserver {
            std::vector<TLongintPoint> Points;
            std::size_t Limit = 0;
            void FollowerPoint(TVectorizer& F, TLongintPoint P) override {
                Points.push_back(P);
                if (Points.size() >= Limit)
                    F.Terminate();
            }
        } Recorder;
        Recorder.Limit = Limit;
        TNonfunctionalVectorizer Follower(Recorder, Chart->Image);
        Chart->Settings.CopyToFollower(Follower);
        Click(50, 20).Apply(Follower);
        Follower.RunSynchronously();
        return Recorder.Points;
    }
};

TEST_F(NonfunctionalFollowing, RunEndsAtAVisitedPixelWithoutAddingIt) {
    const std::vector<TLongintPoint> Free = FreeRun(400);
    auto Line = NewLine<TNonfunctionalLine>();
    Log.Events.clear();
    Line->AutoDigitize(Chart->Run(), Click(50, 20));
    ASSERT_TRUE(RunToEnd(*Line));

    // The line holds the way once round; the free follower's next point repeats one of them.
    const std::vector<TLongintPoint> Got = Pixels(*Line);
    ASSERT_GT(Got.size(), 100u);
    ASSERT_GT(Free.size(), Got.size());
    EXPECT_TRUE(std::equal(Got.begin(), Got.end(), Free.begin()));
    EXPECT_NE(std::find(Got.begin(), Got.end(), Free[Got.size()]), Got.end());
    std::set<std::pair<int, int>> Unique;
    for (const TLongintPoint& P : Got)
        Unique.insert({P.X, P.Y});
    EXPECT_EQ(Unique.size(), Got.size());
    const std::string N = std::to_string(Got.size());
    EXPECT_EQ(Log.Events, (TEvents{"Started 0", "Finished " + N, "PointsAdded " + N}));
    EXPECT_EQ(Log.Followed.size(), Got.size()); // the visited pixel was not announced
}

TEST_F(NonfunctionalFollowing, RunEndsWhereTheLineWasDigitizedBefore) {
    const std::vector<TLongintPoint> Free = FreeRun(400);
    ASSERT_GT(Free.size(), 80u);
    // The line already holds the part of the ring from the 60th to the 80th point.
    auto Line = NewLine<TNonfunctionalLine>();
    TDoublePointArray Before;
    for (std::size_t I = 60; I <= 80; ++I)
        Before.Add(Chart->Scale.ImageToReal(Free[I]));
    Line->SetPoints(Before);
    Log.Events.clear();
    Line->AutoDigitize(Chart->Run(), Click(50, 20));
    EXPECT_EQ(Line->Track().Count(), 21); // the run begins with the line's own pixels
    ASSERT_TRUE(RunToEnd(*Line));

    const std::vector<TLongintPoint> Got = Pixels(*Line);
    ASSERT_EQ(Got.size(), 21u + 60u);
    EXPECT_TRUE(std::equal(Got.begin() + 21, Got.end(), Free.begin()));
    EXPECT_EQ(Log.Events, (TEvents{"Started 21", "Finished 81", "PointsAdded 81"}));
}

// ---------------------------------------------------------------------------------------------
// Pause, resume, speed

TEST_F(LineFollowing, PauseAndResumeNeitherLoseNorRepeatPoints) {
    Chart->Settings.SetDelay(1);
    auto Line = NewLine<TFunctionalLine>();
    Line->AutoDigitize(Chart->Run(), Click(10, 51));
    ASSERT_TRUE(PumpUntil([&] { return Line->Count() >= 5; }));
    Line->Pause();
    EXPECT_FALSE(Line->IsFollowing());
    EXPECT_TRUE(Line->Following());
    const std::int32_t AtPause = Line->Count();
    PumpFor(50ms);
    EXPECT_EQ(Line->Count(), AtPause);
    Line->Resume();
    EXPECT_TRUE(Line->IsFollowing());
    Chart->Settings.SetDelay(0);
    ASSERT_TRUE(RunToEnd(*Line));
    EXPECT_EQ(Pixels(*Line), Row(10, 129, 51));
}

TEST_F(LineFollowing, SpeedChangeTakesEffectAtTheNextPoint) {
    Chart->Settings.SetDelay(1);
    auto Line = NewLine<TFunctionalLine>();
    Line->AutoDigitize(Chart->Run(), Click(10, 51));
    ASSERT_TRUE(PumpUntil([&] { return Line->Count() >= 3; }));
    EXPECT_EQ(Line->Follower()->Delay, 1);
    Chart->Settings.SetDelay(7);
    EXPECT_EQ(Line->Follower()->Delay, 1);
    const std::int32_t Before = Line->Count();
    ASSERT_TRUE(PumpUntil([&] { return Line->Count() > Before; }));
    EXPECT_EQ(Line->Follower()->Delay, 7);
    Chart->Settings.SetDelay(0);
    ASSERT_TRUE(RunToEnd(*Line));
}

// ---------------------------------------------------------------------------------------------
// Discarding

TEST_F(LineFollowing, DiscardedFollowerDeliversNothingMore) {
    for (const bool Paused : {false, true}) {
        SCOPED_TRACE(Paused ? "paused" : "running");
        Chart->Settings.SetDelay(1);
        auto Line = NewLine<TFunctionalLine>();
        Log.Events.clear();
        Line->AutoDigitize(Chart->Run(), Click(10, 51));
        ASSERT_TRUE(PumpUntil([&] { return Line->Count() >= 3; }));
        if (Paused)
            Line->Pause();
        Line->DiscardFollower();
        EXPECT_FALSE(Line->Following());
        EXPECT_EQ(Line->Track().Count(), 0);
        const std::int32_t N = Line->Count();
        PumpFor(50ms);
        EXPECT_EQ(Line->Count(), N);
        EXPECT_EQ(Log.Events, (TEvents{"Started 0", "Discarded " + std::to_string(N)}));
        Line->DiscardFollower(); // nothing to discard
        EXPECT_EQ(Log.Events.size(), 2u);
    }
}

TEST_F(LineFollowing, DestroyingALineDiscardsItsFollower) {
    for (const auto Delay : {0, 1}) {
        Chart->Settings.SetDelay(Delay);
        auto Line = NewLine<TFunctionalLine>();
        Log.Events.clear();
        Line->AutoDigitize(Chart->Run(), Click(10, 51));
        Chart->Queue.WaitAndProcess(5ms);
        const std::int32_t N = Line->Count();
        Line.reset();
        PumpFor(30ms);
        EXPECT_EQ(Log.Events, (TEvents{"Started 0", "Discarded " + std::to_string(N)}));
    }
}

TEST_F(LineFollowing, DiscardInsideTheFollowersStep) {
    // A listener shown the fifth point discards the run: the follower is in the middle of its
    // step at that moment. A listener after it still hears that point, before the discard.
    TLineLog After;
    std::unique_ptr<TFunctionalLine> Line = NewLine<TFunctionalLine>();
    Line->AddListener(&After);
    Log.OnPoint = [&](TLine& L) {
        if (L.Count() == 5)
            L.DiscardFollower();
    };
    After.OnPoint = [&](TLine& L) { After.Add("Point", L); };
    Log.Events.clear();
    Line->AutoDigitize(Chart->Run(), Click(10, 51));
    ASSERT_TRUE(PumpUntil([&] { return !Line->Following(); }));
    PumpFor(30ms);
    EXPECT_EQ(Line->Count(), 5);
    EXPECT_EQ(Log.Followed.size(), 5u);
    EXPECT_EQ(Log.Events, (TEvents{"Started 0", "Discarded 5"}));
    EXPECT_EQ(After.Events, (TEvents{"Started 0", "Point 1", "Point 2", "Point 3", "Point 4",
                                     "Point 5", "Discarded 5"}));
    Line.reset();
}

// ---------------------------------------------------------------------------------------------
// The program's dispatcher

TEST_F(LineFollowing, RunsThroughTheQtEventLoop) {
    int Argc = 1;
    char Name[] = "core_tests";
    char* Argv[] = {Name, nullptr};
    std::optional<QCoreApplication> App;
    if (!QCoreApplication::instance())
        App.emplace(Argc, Argv);
    QObject Context;
    TQtDispatcher Dispatcher(&Context);
    Chart->OtherDispatcher = &Dispatcher;
    auto Line = NewLine<TFunctionalLine>();
    Log.Events.clear();
    Line->AutoDigitize(Chart->Run(), Click(10, 51));
    const auto End = std::chrono::steady_clock::now() + 10s;
    while (Line->Following() && std::chrono::steady_clock::now() < End)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    EXPECT_EQ(Log.Events, (TEvents{"Started 0", "Finished 120", "PointsAdded 120"}));
    EXPECT_EQ(Pixels(*Line), Row(10, 129, 51));
}
