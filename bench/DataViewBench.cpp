// The data grid over a cubic spline of 100,001 output rows (3126 points, increment 1/32):
// rebuilding the view, showing the last screenful right after a rebuild, and then the first
// screenful.

#include "ui/data/DigitizationDataViews.h"

#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QVBoxLayout>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <memory>

using namespace korvane;

namespace {

struct TBenchView {
    QWidget Window;
    QWidget* Controls;
    QWidget* LineControls;
    QComboBox* Combo;
    QWidget* ParamParent;
    TDigitizationGrid* Grid;
    QLabel* Status;
    std::unique_ptr<TLineDataPanel> View;
    TFunctionalLine Line{"Spline"};
    QImage Frame;

    TBenchView() {
        Window.resize(260, 700);
        auto* Layout = new QVBoxLayout(&Window);
        Controls = new QWidget(&Window);
        LineControls = new QWidget(Controls);
        Combo = new QComboBox(LineControls);
        ParamParent = new QWidget(LineControls);
        Layout->addWidget(Controls);
        Grid = new TDigitizationGrid(&Window);
        Layout->addWidget(Grid, 1);
        Status = new QLabel(&Window);
        Layout->addWidget(Status);
        Window.show();

        TDoublePointArray Points;
        for (int X = 0; X <= 3125; ++X)
            Points.Add({double(X), double((X * 37) % 101)});
        Line.SetPoints(Points);
        Line.SetApproximatorClass(TCubicSpline::Class());
        Line.ParamSet().ResetRange();
        dynamic_cast<TCubicSplineParamSet&>(Line.ParamSet()).SetIncrement(1.0 / 32);

        View = std::make_unique<TLineDataPanel>(Controls, Status, Grid, Combo, LineControls,
                                                ParamParent);
        View->SetApproximators(&FunctionalApproximators());
        View->SetEnabled(true);
        View->SetActive(true);
        View->SetDigitization(&Line);
        Frame = QImage(Grid->viewport()->size(), QImage::Format_RGB32);
    }
    ~TBenchView() { View.reset(); }

    void Show(int TopRow) {
        Grid->SetTopRow(TopRow);
        Grid->viewport()->render(&Frame);
        benchmark::DoNotOptimize(Frame.constBits());
    }
    int LastRow() const { return Grid->RowCount() - 1; }
};

TBenchView* GView = nullptr;

void BM_Rebuild(benchmark::State& State) {
    for (auto _ : State)
        GView->View->Rebuild();
    State.SetLabel(std::to_string(GView->View->Count()) + " rows");
}
BENCHMARK(BM_Rebuild)->Unit(benchmark::kMillisecond);

// Every row up to the end is computed once.
void BM_LastScreenfulAfterRebuild(benchmark::State& State) {
    for (auto _ : State) {
        State.PauseTiming();
        GView->View->Rebuild();
        GView->Show(1);
        State.ResumeTiming();
        GView->Show(GView->LastRow());
    }
    State.SetLabel(std::to_string(GView->Grid->VisibleRowCount()) + " visible rows");
}
BENCHMARK(BM_LastScreenfulAfterRebuild)->Unit(benchmark::kMillisecond);

// Then back at the top, over rows already computed.
void BM_FirstScreenfulAfterLast(benchmark::State& State) {
    GView->View->Rebuild();
    GView->Show(GView->LastRow());
    for (auto _ : State) {
        State.PauseTiming();
        GView->Show(GView->LastRow());
        State.ResumeTiming();
        GView->Show(1);
    }
}
BENCHMARK(BM_FirstScreenfulAfterLast)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication App(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    {
        TBenchView View;
        GView = &View;
        benchmark::RunSpecifiedBenchmarks();
        GView = nullptr;
    }
    benchmark::Shutdown();
    return 0;
}
