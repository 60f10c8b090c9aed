// Rendering a typical A4 page of a paper (two columns of text and a vector chart with a grid
// and three curves of 2000 points) at 150, 300 and 600 dpi, one core.
//
//     korvane-pdf-bench [--benchmark_filter=...]
//     korvane-pdf-bench --memory DPI    peak memory of one render / the working image
//
// The page is written by Qt's PDF writer at start-up.

#include "image/PdfDocument.h"

#include <QBuffer>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/resource.h>

namespace {

QByteArray PaperPage() {
    korvane::EnsureGuiApplication();
    QByteArray Bytes;
    QBuffer Buffer(&Bytes);
    Buffer.open(QIODevice::WriteOnly);
    QPdfWriter Writer(&Buffer);
    Writer.setResolution(72);
    Writer.setPageMargins({0, 0, 0, 0});
    Writer.setPageSize(QPageSize(QPageSize::A4));
    QPainter P(&Writer);
    P.setFont(QFont("DejaVu Serif", 9));
    const QString Line = "The response of the damped oscillator follows the model closely over "
                         "the whole range of frequencies measured.";
    for (int Column = 0; Column < 2; ++Column)
        for (int Row = 0; Row < 38; ++Row)
            P.drawText(QRectF(50 + Column * 255, 400 + Row * 11, 240, 11), Line.left(58 + Row % 5));
    const QRectF Chart(80, 80, 435, 280);
    P.setPen(QPen(QColor(200, 200, 200), 0.5));
    for (int I = 1; I < 10; ++I) {
        P.drawLine(QPointF(Chart.left() + Chart.width() * I / 10, Chart.top()),
                   QPointF(Chart.left() + Chart.width() * I / 10, Chart.bottom()));
        P.drawLine(QPointF(Chart.left(), Chart.top() + Chart.height() * I / 10),
                   QPointF(Chart.right(), Chart.top() + Chart.height() * I / 10));
    }
    P.setPen(QPen(Qt::black, 0.8));
    P.drawRect(Chart);
    const QColor Colours[] = {Qt::black, QColor(200, 0, 0), QColor(0, 0, 200)};
    for (int Curve = 0; Curve < 3; ++Curve) {
        QPainterPath Path;
        for (int I = 0; I < 2000; ++I) {
            const double T = I / 1999.0;
            const QPointF At(Chart.left() + T * Chart.width(),
                             Chart.center().y() - 0.4 * Chart.height() *
                                                      std::sin(6.28 * (Curve + 1) * T) *
                                                      std::exp(-T * (Curve + 1)));
            I == 0 ? Path.moveTo(At) : Path.lineTo(At);
        }
        P.setPen(QPen(Colours[Curve], 1));
        P.drawPath(Path);
    }
    P.end();
    return Bytes;
}

const korvane::TPdfDocument& Document() {
    static const korvane::TPdfDocument Page =
        korvane::TPdfDocument::FromData(PaperPage(), "paper.pdf");
    return Page;
}

void BM_RenderA4Page(benchmark::State& State) {
    const int Dpi = static_cast<int>(State.range(0));
    QSize Size;
    for (auto _ : State) {
        const korvane::TWorkingImage Image = Document().Render({1, Dpi, std::nullopt});
        Size = Image.Image.size();
        benchmark::DoNotOptimize(Image.Image.constBits());
    }
    State.counters["megapixels"] = double(Size.width()) * Size.height() / 1e6;
}
BENCHMARK(BM_RenderA4Page)->Arg(150)->Arg(300)->Arg(600)->Unit(benchmark::kMillisecond);

// The resident memory now, in kB.
long ResidentKb() {
    std::ifstream Status("/proc/self/status");
    std::string Key;
    long Value = 0;
    while (Status >> Key)
        if (Key == "VmRSS:" && Status >> Value)
            return Value;
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--memory") == 0) {
        const int Dpi = std::atoi(argv[2]);
        const korvane::TPdfDocument& Page = Document();
        const long Before = ResidentKb();
        const korvane::TWorkingImage Image = Page.Render({1, Dpi, std::nullopt});
        rusage Usage{};
        getrusage(RUSAGE_SELF, &Usage);
        const double ImageKb = Image.Image.sizeInBytes() / 1024.0;
        std::printf("%d dpi: %d x %d, working image %.1f MB, peak growth %.1f MB, ratio %.2f\n",
                    Dpi, Image.Image.width(), Image.Image.height(), ImageKb / 1024,
                    (Usage.ru_maxrss - Before) / 1024.0, (Usage.ru_maxrss - Before) / ImageKb);
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
