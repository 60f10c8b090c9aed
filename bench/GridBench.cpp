// Grid elimination on the largest bench chart (4200 x 3100, three curves on a grid), one core.
//
//     korvane-grid-bench [--benchmark_filter=...]

#include "image/GridElimination.h"
#include "image/ImageFormats.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <malloc.h>

namespace {

const korvane::TWorkingImage& Chart() {
    static const korvane::TWorkingImage Image = korvane::LoadImageFile(
        KORVANE_SHARED_DIR "/bench/cases/p12_large_three_curves/p12_large_three_curves.png");
    return Image;
}

void BM_FindGridLargeChart(benchmark::State& State) {
    const QImage& Image = Chart().Image;
    // The chart's reference pixels (truth.json): the axes give the grid's directions.
    const korvane::TGridReference Reference{{330, 2920}, {4050, 2920}, {4050, 120}};
    std::int64_t Erased = 0;
    for (auto _ : State) {
        const korvane::TGridElimination Found = korvane::FindGrid(Image, Reference, {});
        Erased = Found.ErasedCount;
        benchmark::DoNotOptimize(Found.Mask.data());
    }
    State.counters["erased"] = static_cast<double>(Erased);
    State.counters["pixels"] = static_cast<double>(Image.width()) * Image.height();
}
BENCHMARK(BM_FindGridLargeChart)->Unit(benchmark::kMillisecond)->Iterations(3);

// As a user meets it: the first elimination in a process, its memory fresh from the system
// (freed memory is handed back before every run).
void BM_FindGridLargeChartFreshMemory(benchmark::State& State) {
    const QImage& Image = Chart().Image;
    const korvane::TGridReference Reference{{330, 2920}, {4050, 2920}, {4050, 120}};
    for (auto _ : State) {
        State.PauseTiming();
        ::malloc_trim(0);
        State.ResumeTiming();
        const korvane::TGridElimination Found = korvane::FindGrid(Image, Reference, {});
        benchmark::DoNotOptimize(Found.Mask.data());
    }
}
BENCHMARK(BM_FindGridLargeChartFreshMemory)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_FindGridLargeChartTiltSearched(benchmark::State& State) {
    const QImage& Image = Chart().Image;
    for (auto _ : State) {
        const korvane::TGridElimination Found = korvane::FindGrid(Image, std::nullopt, {});
        benchmark::DoNotOptimize(Found.Mask.data());
    }
}
BENCHMARK(BM_FindGridLargeChartTiltSearched)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
