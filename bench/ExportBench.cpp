// Export speed: a data set of a million points through the "Comma-separated" template into
// memory, next to a bare snprintf loop that writes the same text. The goal is at most twice
// the time of the bare loop.

#include "core/Streams.h"
#include "document/Digitizations.h"
#include "export/ExportData.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdio>
#include <string>

using namespace korvane;

namespace {

constexpr int PointCount = 1000000;

// Values of at least 1 whose third decimal is never an exact half, so that "%.2f" writes
// what the default "#.00" format writes.
TDoublePoint PointAt(int I) {
    return {1.0000001 + I * 0.00137, 5.0 + 3.0 * std::sin(I * 0.01)};
}

const TScatter& Data() {
    static const std::unique_ptr<TScatter> Scatter = [] {
        auto S = std::make_unique<TScatter>("Bench");
        TDoublePointArray Points(PointCount);
        for (int I = 0; I < PointCount; ++I)
            Points.Add(PointAt(I));
        S->SetPoints(Points);
        return S;
    }();
    return *Scatter;
}

TDataTemplate& CommaSeparated() {
    static const std::unique_ptr<TDataTemplateList> List = CreateBuiltInTemplates();
    return *List->Find(CommaSeparatedTemplateName);
}

void Baseline(TMemoryStream& Stream) {
    const TDoublePoint* Points = Data().Points().Data();
    char Line[64];
    for (int I = 0; I < PointCount; ++I) {
        const int N = std::snprintf(Line, sizeof Line, "%.2f,%.2f\r\n", Points[I].X, Points[I].Y);
        Stream.WriteBuffer(Line, static_cast<std::size_t>(N));
    }
}

bool SameText() {
    TMemoryStream Exported;
    ExportToStream(CommaSeparated(), Data(), false, TExpansionParams{}, Exported);
    TMemoryStream Plain;
    Baseline(Plain);
    const auto& A = Exported.Bytes();
    const auto& B = Plain.Bytes();
    const auto Diff = std::mismatch(A.begin(), A.end(), B.begin(), B.end());
    if (Diff.first == A.end() && Diff.second == B.end())
        return true;
    const auto At = static_cast<std::size_t>(Diff.first - A.begin());
    const std::size_t From = At < 20 ? 0 : At - 20;
    std::fprintf(stderr, "first difference at byte %zu:\n  export: %.40s\n  plain:  %.40s\n", At,
                 std::string(A.begin() + From, A.end()).c_str(),
                 std::string(B.begin() + From, B.end()).c_str());
    return false;
}

void BM_ExportCommaSeparated(benchmark::State& State) {
    static const bool Same = SameText();
    if (!Same) {
        State.SkipWithError("the export and the baseline differ");
        return;
    }
    const TExpansionParams Params;
    for (auto _ : State) {
        TMemoryStream Stream;
        ExportToStream(CommaSeparated(), Data(), false, Params, Stream);
        benchmark::DoNotOptimize(Stream.Bytes().data());
    }
    State.SetItemsProcessed(State.iterations() * PointCount);
}
BENCHMARK(BM_ExportCommaSeparated)->Unit(benchmark::kMillisecond);

void BM_ExportCommaSeparatedToText(benchmark::State& State) {
    const TExpansionParams Params;
    for (auto _ : State) {
        std::string Text = ExportToText(CommaSeparated(), Data(), false, Params);
        benchmark::DoNotOptimize(Text.data());
    }
    State.SetItemsProcessed(State.iterations() * PointCount);
}
BENCHMARK(BM_ExportCommaSeparatedToText)->Unit(benchmark::kMillisecond);

void BM_SnprintfBaseline(benchmark::State& State) {
    Data();
    for (auto _ : State) {
        TMemoryStream Stream;
        Baseline(Stream);
        benchmark::DoNotOptimize(Stream.Bytes().data());
    }
    State.SetItemsProcessed(State.iterations() * PointCount);
}
BENCHMARK(BM_SnprintfBaseline)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
