// Composing the image panel's whole view: a 10000 x 10000 working image in a panel of about
// 1200 x 800 and in one of 3840 x 2160 (4K) at actual size, at zoom 4 and at zoom 16, scrolled
// into the image's middle; and
// one stroke of the pen there (a 200-pixel drag in 20 mouse moves, pen width 5), painted,
// shown and kept for Undo by the paint command, at actual size and at zoom 16.

#include "core/Prompter.h"
#include "image/PanelScale.h"
#include "interaction/KorvaneApplication.h"
#include "ui/modes/PaintCommand.h"
#include "ui/panel/KorvanePanel.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMouseEvent>
#include <benchmark/benchmark.h>
#include <cstdlib>

using namespace korvane;

namespace {

constexpr int ImageSize = 10000;

QImage LargeImage() {
    QImage Image(ImageSize, ImageSize, QImage::Format_RGB888);
    for (int Y = 0; Y < ImageSize; ++Y) {
        uchar* Row = Image.scanLine(Y);
        for (int X = 0; X < ImageSize; ++X) {
            Row[3 * X] = static_cast<uchar>(X);
            Row[3 * X + 1] = static_cast<uchar>(Y);
            Row[3 * X + 2] = static_cast<uchar>(X ^ Y);
        }
    }
    return Image;
}

// Created in main, after the application object.
TKorvanePanel* GPanel = nullptr;

// Zoom device pixels per image pixel, scrolled into the image's middle.
void ViewMiddleAt(TKorvanePanel& P, std::int64_t Zoom) {
    P.View().ResetView();
    if (Zoom > 1)
        P.View().ZoomBy(1.0 / static_cast<double>(Zoom));
    P.View().ScrollHorizontally(ImageSize / 2);
    P.View().ScrollVertically(ImageSize / 2);
}

// Zoom is the number of device pixels per image pixel.
void BM_RepaintImage(benchmark::State& State) {
    TKorvanePanel& P = *GPanel;
    ViewMiddleAt(P, State.range(0));
    for (auto _ : State) {
        P.RepaintImage();
        benchmark::DoNotOptimize(P.Composition().constBits());
    }
    const QSize Box = P.PaintBox()->size();
    State.SetItemsProcessed(State.iterations() * Box.width() * Box.height());
    State.SetLabel(std::to_string(Box.width()) + "x" + std::to_string(Box.height()));
}
BENCHMARK(BM_RepaintImage)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);

// The same on a 4K screen: a paint box of 3840 x 2160.
void BM_RepaintImage4K(benchmark::State& State) {
    TKorvanePanel& P = *GPanel;
    const QSize Before = P.size();
    const QSize Margin = P.size() - P.PaintBox()->size();
    P.resize(QSize(3840, 2160) + Margin);
    QApplication::processEvents();
    BM_RepaintImage(State);
    P.resize(Before);
    QApplication::processEvents();
}
BENCHMARK(BM_RepaintImage4K)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);

TKorvaneApplication* GApp = nullptr;

void Move(TKorvanePanel& P, QPoint At) {
    QMouseEvent Event(QEvent::MouseMove, QPointF(At), P.PaintBox()->mapToGlobal(QPointF(At)),
                      Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(P.PaintBox(), &Event);
}

void BM_PaintStroke(benchmark::State& State) {
    TKorvanePanel& P = *GPanel;
    ViewMiddleAt(P, State.range(0));
    P.SetPenWidth(5);
    P.View().SetPainting(true);
    std::int64_t Stored = 0;
    for (auto _ : State) {
        TPaintCommand Command;
        Command.SetApplication(*GApp);
        Command.Execute({&P});
        P.View().SetPenDown(true);
        for (int I = 0; I <= 20; ++I) {
            const QPoint At(300 + 10 * I, 300 + (I % 3));
            Move(P, At);
            const TLongintPoint Pixel = P.CurrentScaleSystem().ScreenToImage({At.x(), At.y()});
            Command.AddPaintPoint(Pixel);
        }
        P.View().SetPenDown(false);
        Command.Finish();
        Stored = static_cast<std::int64_t>(
            QFileInfo(QString::fromStdString(Command.TempFileName())).size());
    }
    P.View().SetPainting(false);
    State.counters["file_bytes"] = static_cast<double>(Stored);
}
BENCHMARK(BM_PaintStroke)->Arg(1)->Arg(16)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication App(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    {
        TKorvanePanel Panel;
        Panel.resize(1200, 800);
        Panel.show();
        Panel.SetImage(LargeImage());
        // An application with the image open, for the paint command's changed-image flag.
        TScriptedPrompter Prompter;
        struct TNoRecord : IScaleRecordOwner {
            void LoadScaleRecord(TStream&) override {}
            void SaveScaleRecord(TStream&) const override {}
        } Record;
        TKorvaneApplication Korvane(QDir::tempPath().toStdString(), Prompter);
        Korvane.NewFile(Record);
        GPanel = &Panel;
        GApp = &Korvane;
        benchmark::RunSpecifiedBenchmarks();
        GPanel = nullptr;
        GApp = nullptr;
    }
    benchmark::Shutdown();
    return 0;
}
