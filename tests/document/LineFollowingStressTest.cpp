// A line's automatic runs under stress: seeded random sequences of starts, pauses, resumes,
// stops, discards, speed changes and the destruction of whoever handles a run's end, with the
// follower on its own thread and this thread as the user-interface thread that pumps the
// follower's work. Each run is checked point by point against the same run left alone, and
// each sequence is bounded by a watchdog.
//
// The base seed is printed; KORVANE_STRESS_SEED sets it and KORVANE_STRESS_SEQUENCES the
// number of sequences (sequence k uses the base seed plus k), so that a failing sequence can
// be run again on its own. The timing of the threads is not replayed, only the operations.

#include "document/Digitizations.h"
#include "document/Parameters.h"
#include "follower/FunctionalVectorizer.h"
#include "follower/UiDispatcher.h"
#include "follower/VectorizerInitialConditions.h"
#include "image/ScaleSystem.h"

#include <QImage>
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#if defined(__SANITIZE_THREAD__)
#define KORVANE_UNDER_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define KORVANE_UNDER_TSAN 1
#endif
#endif
#ifdef KORVANE_UNDER_TSAN
#include <sanitizer/common_interface_defs.h>
#endif

using namespace korvane;
using namespace std::chrono_literals;

namespace {

// How long one sequence may take before it counts as stuck.
constexpr auto SequenceLimit = 30s;
// How long the last run of a sequence, resumed at full speed, may take to end.
constexpr auto DrainLimit = 20s;
constexpr std::uint64_t DefaultSequences = 1000;

// ---------------------------------------------------------------------------------------------
// The chart and the runs on it

constexpr int ChartWidth = 320;
constexpr int ChartHeight = 180;

// The wave's middle row in column X.
double WaveRow(double X) {
    return 70.0 + 40.0 * std::sin(X / 35.0);
}
// The slope's middle row in column X: from row 150 at the left to row 20 at the right.
double SlopeRow(double X) {
    return 150.0 - 130.0 * (X - 4.0) / 311.0;
}

// A wave three pixels thick across the chart with a gap of four columns in it, a straight line
// two pixels thick, anti-aliased, that crosses the wave twice, and a ring apart from both.
// Drawn pixel by pixel: QPainter may hand the work to threads of its own, which
// ThreadSanitizer cannot see into.
QImage DrawChart() {
    QImage Image(ChartWidth, ChartHeight, QImage::Format_RGB888);
    // How much ink each pixel gets: the most any figure gives it.
    std::vector<double> Ink(ChartWidth * ChartHeight, 0.0);
    const auto Put = [&](int X, int Y, double Amount) {
        if (X >= 0 && Y >= 0 && X < ChartWidth && Y < ChartHeight) {
            double& I = Ink[static_cast<std::size_t>(Y * ChartWidth + X)];
            I = std::max(I, std::clamp(Amount, 0.0, 1.0));
        }
    };
    for (double X = 4; X <= 315; X += 0.05) {
        if (X >= 150 && X < 154)
            continue; // the gap
        const double Y = WaveRow(X);
        for (int PX = int(X) - 2; PX <= int(X) + 2; ++PX)
            for (int PY = int(Y) - 2; PY <= int(Y) + 3; ++PY)
                if (std::hypot(PX - X, PY - Y) <= 1.5 && PX >= 4 && PX <= 315 &&
                    (PX < 150 || PX >= 154))
                    Put(PX, PY, 1.0);
    }
    // The slope's distance to a pixel, across the line.
    const double Run = 311.0, Rise = -130.0, Length = std::hypot(Run, Rise);
    for (int X = 4; X <= 315; ++X)
        for (int Y = 0; Y < ChartHeight; ++Y)
            Put(X, Y, 1.5 - std::abs((X - 4.0) * Rise - (Y - 150.0) * Run) / Length);
    for (int X = 0; X < ChartWidth; ++X)
        for (int Y = 0; Y < ChartHeight; ++Y)
            if (std::abs(std::hypot(X - 270.0, Y - 150.0) - 20.0) <= 1.5)
                Put(X, Y, 1.0);
    for (int Y = 0; Y < ChartHeight; ++Y)
        for (int X = 0; X < ChartWidth; ++X) {
            const int V = static_cast<int>(
                std::lround(255.0 * (1.0 - Ink[static_cast<std::size_t>(Y * ChartWidth + X)])));
            Image.setPixel(X, Y, qRgb(V, V, V));
        }
    return Image;
}

// Where a run starts (the darkest pixel in the start's column, at most three rows off it), on
// which kind of line, with which refinements.
struct TScenario {
    const char* Name;
    bool Functional;
    TLongintPoint Near;
    TFollowerEnhancements Enhancements;
};

TFollowerEnhancements AllEnhancements() {
    TFollowerEnhancements E = TFollowerEnhancements::Enhanced();
    E.GapFilling = true;
    return E;
}

const std::array<TScenario, 4> Scenarios{{
    {"wave", true, {6, static_cast<std::int32_t>(WaveRow(6))}, {}},
    {"enhanced wave", true, {6, static_cast<std::int32_t>(WaveRow(6))}, AllEnhancements()},
    {"slope", true, {6, static_cast<std::int32_t>(SlopeRow(6))}, {}},
    {"ring", false, {270, 130}, {}},
}};

// What a run left alone delivers: the pixels and real points its listeners hear, in order,
// and how it ends.
struct TReference {
    std::vector<TLongintPoint> Pixels;
    std::vector<TDoublePoint> Reals;
    bool Failed = false;
};

// The chart, the scenarios' start pixels and their references, made once for all sequences.
struct TChart {
    QImage Image = DrawChart();
    TScaleSystem Scale;
    std::array<TLongintPoint, Scenarios.size()> Starts;
    std::array<TReference, Scenarios.size()> References;

    TChart() {
        Scale.DefineImageCoordinates();
        for (std::size_t I = 0; I < Scenarios.size(); ++I) {
            TLongintPoint P = Scenarios[I].Near;
            Starts[I] = P;
            for (P.Y -= 3; P.Y <= Scenarios[I].Near.Y + 3; ++P.Y)
                if (qGray(Image.pixel(P.X, P.Y)) < qGray(Image.pixel(Starts[I].X, Starts[I].Y)))
                    Starts[I] = P;
        }
    }
};

// ---------------------------------------------------------------------------------------------
// Checking what a line's listeners hear

std::string Text(TLongintPoint P) {
    return "(" + std::to_string(P.X) + ", " + std::to_string(P.Y) + ")";
}
std::string Text(TDoublePoint P) {
    std::ostringstream S;
    S.precision(17);
    S << "(" << P.X << ", " << P.Y << ")";
    return S.str();
}

// Listens to every line of a sequence and checks each run as it goes: a run starts only when
// the previous one has ended; its points are those of the run left alone, in order, each the
// line's last point when it is heard; it ends once, as Finished or Failed (then the line holds
// exactly the points heard, and PointsAdded follows if there are any) or Discarded; nothing
// is heard after that. A run that nobody asked to stop or discard is complete and ends as the
// run left alone did.
class TRunChecker : public ILineListener {
public:
    std::vector<std::string> Errors;
    // Set while the line is being destroyed: its destructor's FollowingDiscarded may use
    // nothing of it but its address.
    bool LineDying = false;

    // A run starts now, from the scenario whose reference it must follow.
    void Expect(const TReference& Reference) { FReference = &Reference; }
    // Somebody asked the run to end early.
    void StopAsked() { FStopAsked = true; }
    bool RunOpen() const { return FOpen; }
    // The points the run under way gives when left alone.
    std::size_t Expected() const { return FReference ? FReference->Pixels.size() : 0; }
    bool AwaitingPointsAdded() const { return FAwaitPointsAdded; }
    std::size_t Delivered() const { return FDelivered; }

    void Error(const std::string& What) {
        if (Errors.size() < 8)
            Errors.push_back("run " + std::to_string(FRuns) + ": " + What);
    }

    void DigitizationChanged(TDigitization&) override {}
    void PointsChanged(TDigitization&) override {}

    void FollowingStarted(TLine& Line) override {
        if (FOpen)
            Error("a run started while another was under way");
        if (!FReference)
            Error("a run started unannounced");
        ++FRuns;
        FOpen = true;
        FAwaitPointsAdded = false;
        FStopAsked = false;
        FDelivered = 0;
        FStartCount = Line.Count();
    }

    void PointFollowed(TLine& Line, TLongintPoint Pixel, TDoublePoint Real) override {
        if (!FOpen) {
            Error("point " + Text(Pixel) + " heard outside a run");
            return;
        }
        const std::size_t I = FDelivered++;
        const TReference& R = *FReference;
        if (I >= R.Pixels.size())
            Error("point " + std::to_string(I) + " " + Text(Pixel) + " beyond the " +
                  std::to_string(R.Pixels.size()) + " of the run left alone");
        else if (Pixel != R.Pixels[I] || Real != R.Reals[I])
            Error("point " + std::to_string(I) + " is " + Text(Pixel) + " " + Text(Real) +
                  ", left alone it is " + Text(R.Pixels[I]) + " " + Text(R.Reals[I]));
        if (Line.Count() != FStartCount + static_cast<std::int32_t>(I) + 1 || Line.Last() != Real)
            Error("point " + std::to_string(I) + " is not the line's last point when heard");
    }

    void FollowingFinished(TLine& Line) override { Ended(Line, false); }
    void FollowingFailed(TLine& Line) override { Ended(Line, true); }

    void FollowingDiscarded(TLine& Line) override {
        if (!FOpen) {
            Error("discarded outside a run");
            return;
        }
        FOpen = false;
        if (!LineDying)
            CheckLineHoldsThePoints(Line);
    }

    void PointsAdded(TDigitization& D) override {
        if (!FAwaitPointsAdded) {
            Error("PointsAdded heard where no run's end announces points");
            return;
        }
        FAwaitPointsAdded = false;
        if (D.Count() != FStartCount + static_cast<std::int32_t>(FDelivered))
            Error("PointsAdded with " + std::to_string(D.Count()) + " points, " +
                  std::to_string(FStartCount + FDelivered) + " expected");
    }

private:
    void Ended(TLine& Line, bool Failed) {
        const char* Name = Failed ? "Failed" : "Finished";
        if (!FOpen) {
            Error(std::string(Name) + " outside a run");
            return;
        }
        FOpen = false;
        if (Line.Following())
            Error(std::string(Name) + " heard while the line still has a follower");
        CheckLineHoldsThePoints(Line);
        const TReference& R = *FReference;
        const bool Complete = FDelivered == R.Pixels.size();
        const bool AsLeftAlone = Complete && Failed == R.Failed;
        if (!FStopAsked && !AsLeftAlone)
            Error(std::string(Name) + " after " + std::to_string(FDelivered) +
                  " points; left alone the run gives " + std::to_string(R.Pixels.size()) +
                  " points and " + (R.Failed ? "fails" : "finishes"));
        if (FStopAsked && !AsLeftAlone && Failed)
            Error("a stopped run failed after " + std::to_string(FDelivered) + " points");
        FAwaitPointsAdded = FDelivered > 0;
    }

    void CheckLineHoldsThePoints(const TLine& Line) {
        if (Line.Count() != FStartCount + static_cast<std::int32_t>(FDelivered)) {
            Error("the line holds " + std::to_string(Line.Count() - FStartCount) +
                  " points of the run, " + std::to_string(FDelivered) + " were heard");
            return;
        }
        for (std::size_t I = 0; I < FDelivered && I < FReference->Reals.size(); ++I)
            if (Line.GetPoint(FStartCount + static_cast<std::int32_t>(I)) != FReference->Reals[I]) {
                Error("the line's point " + std::to_string(I) + " of the run differs");
                return;
            }
    }

    const TReference* FReference = nullptr;
    int FRuns = 0;
    bool FOpen = false;
    bool FAwaitPointsAdded = false;
    bool FStopAsked = false;
    std::size_t FDelivered = 0;
    std::int32_t FStartCount = 0;
};

// ---------------------------------------------------------------------------------------------
// The operations of a sequence

enum class EOp {
    Start,        // Value: the scenario
    Wait,         // Value: milliseconds of pumping the follower's work
    Busy,         // Value: milliseconds without pumping (the window busy elsewhere)
    Delay,        // Value: the follower's new Delay in milliseconds
    Pause,        // the line's Pause
    Resume,       // the line's Resume
    Stop,         // the line's Stop
    Discard,      // the line's DiscardFollower
    DestroyLine,  // the line goes while its run is under way or ending
    DestroyOwner, // the owner goes and discards the run, like a line mode ending
    StopAt,       // Value: the owner stops the run inside the step that delivers point Value
    DiscardAt,    // Value: the same, discarding the run
    PauseAt,      // Value: the same, pausing the run
    LeaveAtEnd,   // the owner destroys itself when it hears the run end
    ToLastPoint,  // pumping at full speed until the run has delivered its last point, so that
                  // what follows meets the run ending
};

struct TOp {
    EOp Kind;
    int Value = 0;
};

std::string Text(const TOp& Op) {
    const std::string V = std::to_string(Op.Value);
    switch (Op.Kind) {
    case EOp::Start:
        return std::string("start ") + Scenarios[static_cast<std::size_t>(Op.Value)].Name;
    case EOp::Wait:
        return "wait " + V + " ms";
    case EOp::Busy:
        return "busy " + V + " ms";
    case EOp::Delay:
        return "delay " + V + " ms";
    case EOp::Pause:
        return "pause";
    case EOp::Resume:
        return "resume";
    case EOp::Stop:
        return "stop";
    case EOp::Discard:
        return "discard";
    case EOp::DestroyLine:
        return "destroy the line";
    case EOp::DestroyOwner:
        return "destroy the owner";
    case EOp::StopAt:
        return "stop at point " + V;
    case EOp::DiscardAt:
        return "discard at point " + V;
    case EOp::PauseAt:
        return "pause at point " + V;
    case EOp::LeaveAtEnd:
        return "owner leaves at the end";
    case EOp::ToLastPoint:
        return "to the last point";
    }
    return "?";
}

std::string Text(const std::vector<TOp>& Ops) {
    std::string Result;
    for (const TOp& Op : Ops)
        Result += (Result.empty() ? "" : "; ") + Text(Op);
    return Result;
}

// A sequence from its seed: a speed, a start, then 3 to 14 operations, more starts among them.
std::vector<TOp> MakeSequence(std::uint64_t Seed, const TChart& Chart) {
    std::mt19937_64 Random(Seed);
    const auto Below = [&](int N) { return static_cast<int>(Random() % static_cast<unsigned>(N)); };
    std::vector<TOp> Ops;
    Ops.push_back({EOp::Delay, Below(4)});
    int Scenario = Below(Scenarios.size());
    Ops.push_back({EOp::Start, Scenario});
    // Relative weights of the kinds, in the order of EOp.
    static constexpr std::array<int, 15> Weights{10, 22, 5, 9, 10, 10, 4, 3, 2, 3, 3, 2, 3, 2, 4};
    std::discrete_distribution<int> Kind(Weights.begin(), Weights.end());
    const int Count = 3 + Below(12);
    for (int I = 0; I < Count; ++I) {
        TOp Op{static_cast<EOp>(Kind(Random))};
        const auto Length =
            static_cast<int>(Chart.References[static_cast<std::size_t>(Scenario)].Pixels.size());
        switch (Op.Kind) {
        case EOp::Start:
            Op.Value = Scenario = Below(Scenarios.size());
            break;
        case EOp::Wait:
            Op.Value = Below(6);
            break;
        case EOp::Busy:
            Op.Value = Below(3);
            break;
        case EOp::Delay:
            Op.Value = Below(4);
            break;
        case EOp::StopAt:
        case EOp::DiscardAt:
        case EOp::PauseAt:
            Op.Value = 1 + Below(Length + 5); // a few never come
            break;
        default:
            break;
        }
        Ops.push_back(Op);
    }
    return Ops;
}

// ---------------------------------------------------------------------------------------------
// The watchdog

// Ends the program, naming the sequence, when a sequence does not finish in time: a deadlock
// leaves nothing else to report it. Under ThreadSanitizer a report that halts the program
// names the sequence too.
class TWatchdog {
public:
    TWatchdog() : FThread([this] { Main(); }) {
        FCurrent = this;
#ifdef KORVANE_UNDER_TSAN
        __sanitizer_set_death_callback(&Dying);
#endif
    }
    ~TWatchdog() {
        {
            std::lock_guard Lock(FMutex);
            FQuit = true;
        }
        FChanged.notify_all();
        FThread.join();
        FCurrent = nullptr;
    }
    TWatchdog(const TWatchdog&) = delete;
    TWatchdog& operator=(const TWatchdog&) = delete;

    // A sequence begins; What names it.
    void Arm(std::string What) {
        {
            std::lock_guard Lock(FMutex);
            FWhat = std::move(What);
            FDeadline = std::chrono::steady_clock::now() + SequenceLimit;
            FStep.clear();
        }
        FChanged.notify_all();
    }
    // The operation under way.
    void Step(std::string What) {
        std::lock_guard Lock(FMutex);
        FStep = std::move(What);
    }
    void Disarm() {
        std::lock_guard Lock(FMutex);
        FDeadline.reset();
    }

private:
    void Main() {
        std::unique_lock Lock(FMutex);
        for (;;) {
            if (FQuit)
                return;
            if (!FDeadline) {
                FChanged.wait(Lock);
                continue;
            }
            const auto Deadline = *FDeadline;
            if (FChanged.wait_until(Lock, Deadline) == std::cv_status::timeout &&
                FDeadline == Deadline) {
                std::fprintf(stderr,
                             "\nFollower stress: a sequence did not finish within %lld s "
                             "(deadlock?)\n%s\nat: %s\n",
                             static_cast<long long>(SequenceLimit.count()), FWhat.c_str(),
                             FStep.c_str());
                std::fflush(stderr);
                std::abort();
            }
        }
    }

#ifdef KORVANE_UNDER_TSAN
    static void Dying() {
        if (TWatchdog* W = FCurrent) {
            // The dying thread may be any; the watchdog's lock is never held for long.
            std::lock_guard Lock(W->FMutex);
            std::fprintf(stderr, "\nFollower stress: during %s\nat: %s\n", W->FWhat.c_str(),
                         W->FStep.c_str());
            std::fflush(stderr);
        }
    }
#endif

    static inline TWatchdog* FCurrent = nullptr;
    std::mutex FMutex;
    std::condition_variable FChanged;
    std::string FWhat;
    std::string FStep;
    std::optional<std::chrono::steady_clock::time_point> FDeadline;
    bool FQuit = false;
    std::thread FThread;
};

// ---------------------------------------------------------------------------------------------
// One sequence

class TSequence;

// Plays the part of the mode that has the line open: it hears the runs like any listener, may
// act inside the step that delivers a point (as a view's repaint may), may leave when it hears
// a run end, and when it goes it discards the run and stops listening, as the line mode does.
class TOwner : public ILineListener {
public:
    TOwner(TSequence& Sequence, TLine& Line);
    ~TOwner() override;

    TLine* Line;
    EOp ActAt = EOp::Wait; // StopAt, DiscardAt or PauseAt when armed
    int AtPoint = 0;
    bool LeaveAtEnd = false;

    void DigitizationChanged(TDigitization&) override {}
    void PointsAdded(TDigitization&) override {}
    void PointsChanged(TDigitization&) override {}
    void FollowingStarted(TLine&) override {}
    void PointFollowed(TLine& L, TLongintPoint, TDoublePoint) override;
    void FollowingFailed(TLine&) override { Ended(); }
    void FollowingFinished(TLine&) override { Ended(); }

private:
    void Ended();
    TSequence& FSequence;
};

class TSequence {
public:
    TSequence(const TChart& Chart, TWatchdog& Watchdog) : FChart(Chart), FWatchdog(Watchdog) {
        FSettings.SetDelay(0);
    }
    ~TSequence() {
        FOwner.reset();
        DestroyLine();
        Flush();
    }

    TRunChecker Checker;

    void Run(const std::vector<TOp>& Ops) {
        for (std::size_t I = 0; I < Ops.size() && Checker.Errors.empty(); ++I) {
            FWatchdog.Step("operation " + std::to_string(I + 1) + ": " + Text(Ops[I]));
            Do(Ops[I]);
        }
        FWatchdog.Step("the last run ends");
        Drain();
        FWatchdog.Step("tearing down");
        FOwner.reset();
        DestroyLine();
        Flush();
        if (Checker.RunOpen())
            Checker.Error("a run is still open at the end");
        if (Checker.AwaitingPointsAdded())
            Checker.Error("the end of a run with points had no PointsAdded");
    }

    // The owner's acts inside a step.
    void StopRun() {
        Checker.StopAsked();
        FLine->Stop();
    }
    void DiscardRun() { FLine->DiscardFollower(); }
    void PauseRun() { FLine->Pause(); }
    // The owner destroys itself.
    void OwnerLeaves() { FOwner.reset(); }

private:
    bool Running() const { return FLine && FLine->Following(); }

    void Do(const TOp& Op) {
        switch (Op.Kind) {
        case EOp::Start:
            Start(static_cast<std::size_t>(Op.Value));
            break;
        case EOp::Wait:
            PumpFor(std::chrono::milliseconds(Op.Value));
            break;
        case EOp::Busy:
            std::this_thread::sleep_for(std::chrono::milliseconds(Op.Value));
            break;
        case EOp::Delay:
            FSettings.SetDelay(Op.Value);
            break;
        case EOp::Pause:
            if (Running())
                FLine->Pause();
            break;
        case EOp::Resume:
            if (Running())
                FLine->Resume();
            break;
        case EOp::Stop:
            if (Running())
                StopRun();
            break;
        case EOp::Discard:
            if (FLine)
                FLine->DiscardFollower();
            break;
        case EOp::DestroyLine:
            DestroyLine();
            break;
        case EOp::DestroyOwner:
            FOwner.reset();
            break;
        case EOp::StopAt:
        case EOp::DiscardAt:
        case EOp::PauseAt:
            if (FOwner) {
                FOwner->ActAt = Op.Kind;
                FOwner->AtPoint = Op.Value;
            }
            break;
        case EOp::LeaveAtEnd:
            if (FOwner)
                FOwner->LeaveAtEnd = true;
            break;
        case EOp::ToLastPoint:
            FSettings.SetDelay(0);
            while (Running() && FLine->IsFollowing() && Checker.RunOpen() &&
                   Checker.Delivered() < Checker.Expected())
                FQueue.WaitAndProcess(1ms);
            break;
        }
    }

    // A run of the scenario, unless one is under way: on the line if it is a functional line
    // and the scenario's is too (its points stay and the run adds to them), else on a new
    // line.
    void Start(std::size_t Scenario) {
        if (Running())
            return;
        const TScenario& S = Scenarios[Scenario];
        if (FLine && !(S.Functional && FFunctional))
            DestroyLine();
        if (!FLine) {
            if (S.Functional)
                FLine = std::make_unique<TFunctionalLine>("Line");
            else
                FLine = std::make_unique<TNonfunctionalLine>("Line");
            FFunctional = S.Functional;
            FCheckerFirst = !FCheckerFirst; // both orders of hearing
            if (FCheckerFirst)
                FLine->AddListener(&Checker);
            if (FOwner) {
                FOwner->Line = FLine.get();
                FLine->AddListener(FOwner.get());
            }
            if (!FCheckerFirst)
                FLine->AddListener(&Checker);
        }
        if (!FOwner)
            FOwner = std::make_unique<TOwner>(*this, *FLine);
        TVectorizerInitialConditions Conditions(FChart.Starts[Scenario]);
        Conditions.SetTrackingColor(RGB(0, 0, 0));
        Checker.Expect(FChart.References[Scenario]);
        FLine->AutoDigitize({FChart.Image, FSettings, S.Enhancements, FQueue, FChart.Scale},
                            Conditions);
    }

    void DestroyLine() {
        if (!FLine)
            return;
        const bool WasRunning = FLine->Following();
        Checker.LineDying = true;
        FLine.reset();
        Checker.LineDying = false;
        if (FOwner)
            FOwner->Line = nullptr;
        if (WasRunning && Checker.RunOpen())
            Checker.Error("the line went and its run was not discarded");
    }

    void PumpFor(std::chrono::milliseconds Time) {
        const auto End = std::chrono::steady_clock::now() + Time;
        FQueue.ProcessPending();
        for (auto Now = std::chrono::steady_clock::now(); Now < End;
             Now = std::chrono::steady_clock::now())
            FQueue.WaitAndProcess(std::chrono::duration_cast<std::chrono::milliseconds>(
                std::min<std::chrono::steady_clock::duration>(End - Now, 1ms)));
    }

    // The run under way goes on at full speed to its end (resumed whenever the owner pauses
    // it); then nothing more may be heard.
    void Drain() {
        if (Running()) {
            FSettings.SetDelay(0);
            const auto End = std::chrono::steady_clock::now() + DrainLimit;
            while (Running() && std::chrono::steady_clock::now() < End) {
                if (!FLine->IsFollowing())
                    FLine->Resume();
                FQueue.WaitAndProcess(5ms);
            }
            if (Running())
                Checker.Error("the run did not end within " + std::to_string(DrainLimit.count()) +
                              " s of resuming it at full speed");
        }
        PumpFor(2ms);
    }

    // Runs what is still queued (followers discarded inside a step go there).
    void Flush() {
        while (FQueue.ProcessPending() > 0) {
        }
    }

    const TChart& FChart;
    TWatchdog& FWatchdog;
    TVectorizerParameters FSettings;
    TQueuedDispatcher FQueue;
    std::unique_ptr<TLine> FLine;
    bool FFunctional = false;
    bool FCheckerFirst = false;
    std::unique_ptr<TOwner> FOwner;
};

TOwner::TOwner(TSequence& Sequence, TLine& L) : Line(&L), FSequence(Sequence) {
    L.AddListener(this);
}

TOwner::~TOwner() {
    if (Line) {
        Line->DiscardFollower();
        Line->RemoveListener(this);
    }
}

void TOwner::PointFollowed(TLine& L, TLongintPoint, TDoublePoint) {
    if (ActAt == EOp::Wait || L.RunPointCount() != AtPoint)
        return;
    const EOp Act = ActAt;
    ActAt = EOp::Wait;
    if (Act == EOp::StopAt)
        FSequence.StopRun();
    else if (Act == EOp::DiscardAt)
        FSequence.DiscardRun();
    else
        FSequence.PauseRun();
}

void TOwner::Ended() {
    if (LeaveAtEnd)
        FSequence.OwnerLeaves(); // destroys this
}

// The run of each scenario left alone, through the same line and threads at full speed.
TReference RunLeftAlone(const TChart& Chart, std::size_t Scenario) {
    const TScenario& S = Scenarios[Scenario];
    struct TRecorder : TFollowRecorder {
        std::vector<TDoublePoint> Reals;
        void PointFollowed(TLine& L, TLongintPoint Pixel, TDoublePoint Real) override {
            TFollowRecorder::PointFollowed(L, Pixel, Real);
            Reals.push_back(Real);
        }
    } Recorder;
    std::unique_ptr<TLine> Line;
    if (S.Functional)
        Line = std::make_unique<TFunctionalLine>();
    else
        Line = std::make_unique<TNonfunctionalLine>();
    Line->AddListener(&Recorder);
    TVectorizerParameters Settings;
    Settings.SetDelay(0);
    TQueuedDispatcher Queue;
    TVectorizerInitialConditions Conditions(Chart.Starts[Scenario]);
    Conditions.SetTrackingColor(RGB(0, 0, 0));
    Line->AutoDigitize({Chart.Image, Settings, S.Enhancements, Queue, Chart.Scale}, Conditions);
    const auto End = std::chrono::steady_clock::now() + DrainLimit;
    while (Line->Following() && std::chrono::steady_clock::now() < End)
        Queue.WaitAndProcess(5ms);
    EXPECT_TRUE(Recorder.Ended) << S.Name;
    return {Recorder.Pixels, Recorder.Reals, Recorder.Failed};
}

std::uint64_t FromEnvironment(const char* Name, std::uint64_t Otherwise) {
    const char* Value = std::getenv(Name);
    return Value && *Value ? std::strtoull(Value, nullptr, 0) : Otherwise;
}

} // namespace

TEST(LineFollowingStress, RandomSequencesDeliverPrefixesOfTheRunLeftAlone) {
    TChart Chart;
    for (std::size_t I = 0; I < Scenarios.size(); ++I) {
        const TScenario& S = Scenarios[I];
        Chart.References[I] = RunLeftAlone(Chart, I);
        const TReference& R = Chart.References[I];
        // Long enough to be cut anywhere; the wave and the slope run the chart's width.
        ASSERT_GE(R.Pixels.size(), S.Functional ? 250u : 80u) << S.Name;
        if (S.Functional) {
            // Left alone on its thread, a run gives what the follower gives on this thread.
            struct TPixels : IVectorizerObserver {
                std::vector<TLongintPoint> Points;
                void FollowerPoint(TVectorizer&, TLongintPoint P) override { Points.push_back(P); }
            } Direct;
            TFunctionalVectorizer F(Direct, Chart.Image);
            TVectorizerParameters Settings;
            Settings.SetDelay(0);
            Settings.CopyToFollower(F);
            F.Enhancements = S.Enhancements;
            TVectorizerInitialConditions Conditions(Chart.Starts[I]);
            Conditions.SetTrackingColor(RGB(0, 0, 0));
            Conditions.Apply(F);
            F.RunSynchronously();
            EXPECT_EQ(Direct.Points, R.Pixels) << S.Name;
        }
    }

    const std::uint64_t Base = FromEnvironment("KORVANE_STRESS_SEED", std::random_device()());
    const std::uint64_t Count = FromEnvironment("KORVANE_STRESS_SEQUENCES", DefaultSequences);
    std::printf("Follower stress: %llu sequences from base seed %llu (KORVANE_STRESS_SEED)\n",
                static_cast<unsigned long long>(Count), static_cast<unsigned long long>(Base));
    std::fflush(stdout);
    RecordProperty("seed", std::to_string(Base));

    TWatchdog Watchdog;
    int Failures = 0;
    for (std::uint64_t K = 0; K < Count && Failures < 3; ++K) {
        const std::uint64_t Seed = Base + K;
        const std::vector<TOp> Ops = MakeSequence(Seed, Chart);
        const std::string What = "sequence " + std::to_string(K) + " (seed " +
                                 std::to_string(Seed) +
                                 "; replay with KORVANE_STRESS_SEED=" + std::to_string(Seed) +
                                 " KORVANE_STRESS_SEQUENCES=1): " + Text(Ops);
        Watchdog.Arm(What);
        std::vector<std::string> Errors;
        {
            TSequence Sequence(Chart, Watchdog);
            Sequence.Run(Ops);
            Errors = Sequence.Checker.Errors;
        }
        Watchdog.Disarm();
        if (!Errors.empty()) {
            ++Failures;
            std::string All;
            for (const std::string& E : Errors)
                All += "\n  " + E;
            ADD_FAILURE() << What << All;
        }
    }
}
