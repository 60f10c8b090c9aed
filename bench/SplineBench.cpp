// Output speed over a long line: solving a cubic spline through 1,000,000 points and walking
// iterators over it (one output point per digitized point), as the data views and the export
// do.

#include "output/ApproximatorParams.h"

#include <benchmark/benchmark.h>
#include <cmath>

using namespace korvane;

namespace {

constexpr int PointCount = 1000000;

const TDoublePointArray& LongLine() {
    static const TDoublePointArray Points = [] {
        TDoublePointArray P(PointCount);
        for (int I = 0; I < PointCount; ++I)
            P.Add({I * 0.25, std::sin(I * 0.001) * 100.0 + (I % 7) * 0.01});
        return P;
    }();
    return Points;
}

// A set whose increment gives about one output point per digitized point.
std::unique_ptr<TApproximatorParamSet> DenseSet(const char* Approximator) {
    auto Set = CreateParamSet(Approximator, LongLine());
    if (auto* Spline = dynamic_cast<TCubicSplineParamSet*>(Set.get()))
        Spline->SetIncrement(0.25);
    if (auto* Curve = dynamic_cast<TParametricCubicSplineParamSet*>(Set.get()))
        Curve->SetIncrement(Curve->EndS() / PointCount);
    return Set;
}

void BM_CubicSplineRecompute(benchmark::State& State) {
    TCubicSpline Spline(LongLine());
    for (auto _ : State) {
        Spline.Recompute();
        benchmark::DoNotOptimize(Spline.SecondDerivatives().data());
    }
    State.SetItemsProcessed(State.iterations() * PointCount);
}

// NewIterator solves the spline, then every output point is evaluated.
void BM_Walk(benchmark::State& State, const char* Approximator) {
    const auto Set = DenseSet(Approximator);
    std::int64_t Points = 0;
    for (auto _ : State) {
        const auto It = Set->NewIterator();
        double Sum = 0;
        for (It->First(); !It->IsDone(); It->Next()) {
            const TDoublePoint P = It->CurrentPoint();
            Sum += P.X + P.Y;
            ++Points;
        }
        benchmark::DoNotOptimize(Sum);
    }
    State.SetItemsProcessed(Points);
}

} // namespace

BENCHMARK(BM_CubicSplineRecompute)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Walk, CubicSpline, "TCubicSpline")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Walk, ParametricCubicSpline, "TParametricCubicSpline")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Walk, FunctionalRawData, "TFunctionalRawData")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Walk, NonfunctionalRawData, "TNonfunctionalRawData")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
