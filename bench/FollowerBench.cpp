// Follower speed: points per second of a Delay-0 run along a long line, through the
// user-interface dispatcher (the real follower thread, pumped here as the window's event
// loop would) and directly on one thread, to show what the hand-over costs. The
// "Enhanced" runs switch on enhanced following (sub-pixel output, crossings, guard); their
// time against the plain runs is what the enhancements cost.

#include "follower/FunctionalVectorizer.h"
#include "follower/UiDispatcher.h"
#include "follower/VectorizerInitialConditions.h"
#include "follower/Vectorizers.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cmath>

using namespace korvane;

namespace {

constexpr int Columns = 20000;

const QImage& LongLine() {
    static const QImage Image = [] {
        QImage I(Columns, 200, QImage::Format_RGB888);
        I.fill(Qt::white);
        // A gentle wave three pixels thick.
        for (int X = 0; X < Columns; ++X) {
            const int Y = 100 + static_cast<int>(40 * std::sin(X / 300.0));
            for (int D = -1; D <= 1; ++D)
                I.setPixel(X, Y + D, qRgb(0, 0, 0));
        }
        return I;
    }();
    return Image;
}

struct TCounter : IVectorizerObserver {
    long Points = 0;
    void FollowerPoint(TVectorizer& F, TLongintPoint) override {
        ++Points;
        F.Delay = 0;
    }
};

void Prepare(TVectorizer& F, bool Enhanced) {
    F.Delay = 0;
    if (Enhanced)
        F.Enhancements = TFollowerEnhancements::Enhanced();
    F.ColorTolerance = 0.1;
    TVectorizerInitialConditions Conditions({0, 100});
    Conditions.SetTrackingColor(RGB(0, 0, 0));
    Conditions.Apply(F);
}

void BM_FollowThroughDispatcher(benchmark::State& State, bool Enhanced) {
    long Points = 0;
    for (auto _ : State) {
        TCounter Counter;
        TQueuedDispatcher Dispatcher;
        TFunctionalVectorizer F(Counter, LongLine());
        Prepare(F, Enhanced);
        bool Ended = false;
        F.Start(Dispatcher, [&](TVectorizer&) { Ended = true; });
        while (!Ended)
            Dispatcher.WaitAndProcess(std::chrono::milliseconds(10));
        Points += Counter.Points;
    }
    State.SetItemsProcessed(Points);
}

void BM_FollowDirect(benchmark::State& State, bool Enhanced) {
    long Points = 0;
    for (auto _ : State) {
        TCounter Counter;
        TFunctionalVectorizer F(Counter, LongLine());
        Prepare(F, Enhanced);
        F.RunSynchronously();
        Points += Counter.Points;
    }
    State.SetItemsProcessed(Points);
}

} // namespace

BENCHMARK_CAPTURE(BM_FollowThroughDispatcher, Plain, false)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_FollowThroughDispatcher, Enhanced, true)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_FollowDirect, Plain, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_FollowDirect, Enhanced, true)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
