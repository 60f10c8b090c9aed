// Huge inputs in the real main window (offscreen), with time and memory for each step:
//
//   image [SIDE]   an image of SIDE x SIDE pixels (default 16384, the pixel limit) with one
//                  curve across it: open, zoom, pan, follow the curve, close. Memory is the
//                  peak resident size above what the window took before opening, against
//                  the working image's size.
//   line [N]       a line of N points (default 1,000,000): export it, delete it and undo that,
//                  save the parameter file and open it again.
//   undo [N]       N steps of the history (default 10,000 added scatter points, then 1,000
//                  painted strokes): the memory they keep, per step.
//
// The image is made once and kept in the system's temporary folder.
//
//     korvane-huge-bench image|line|undo [COUNT]
#include "app/MainWindow.h"
#include "core/Prompter.h"
#include "document/Digitizations.h"
#include "document/Parameters.h"
#include "ui/dialogs/ExportDialog.h"
#include "ui/dialogs/KorvaneDialogs.h"
#include "ui/modes/KorvaneActions.h"
#include "ui/panel/KorvanePanel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPushButton>
#include <QScrollBar>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

using namespace korvane;
namespace fs = std::filesystem;

namespace {

class TBenchDialogs : public IKorvaneDialogs {
public:
    QString Target;
    bool AskScalePoint(const QString&, bool, QPoint, TScalePointAnswer&) override { return false; }
    bool AskUnits(TStringPoint&) override { return false; }
    bool AskFormats(TCoordFormatPair&, bool&) override { return false; }
    bool AskSettings(TSettingsAnswer&, bool) override { return false; }
    bool RunLinePropertiesDialog(TfrmLineProperties&) override { return false; }
    bool RunScatterPropertiesDialog(TfrmScatterProperties&) override { return false; }
    bool RunCalculationDialog(TfrmCalculationDialog&) override { return false; }
    bool RunEliminateGridDialog(TfrmEliminateGrid&) override { return false; }
    bool RunExportDialog(TfrmExportData& Dialog) override {
        Dialog.OKBtn->click();
        return Dialog.result() == QDialog::Accepted;
    }
    bool AskSaveFileName(const TSaveFileQuestion&, QString& FileName) override {
        FileName = Target;
        return true;
    }
    bool AskOpenFileName(const QString&, const QString&, const QString&, QString&) override {
        return false;
    }
    bool RunPdfPageDialog(TfrmPdfPage&) override { return false; }
    bool AskPassword(const QString&, bool, QString&) override { return false; }
};

// Resident and peak resident memory in MB, from /proc.
double StatusMB(const char* Field) {
    std::ifstream Status("/proc/self/status");
    std::string Line;
    while (std::getline(Status, Line))
        if (Line.rfind(Field, 0) == 0)
            return std::atof(Line.c_str() + std::strlen(Field)) / 1024.0;
    return 0;
}
double ResidentMB() {
    return StatusMB("VmRSS:");
}
double PeakMB() {
    return StatusMB("VmHWM:");
}
void ResetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

void Pump() {
    for (int I = 0; I < 5; ++I)
        QApplication::processEvents();
}

// Row of the curve at column X in an image of Side pixels.
int CurveRow(int X, int Side) {
    return static_cast<int>(Side / 2 + Side / 4 * std::sin(X * 6.283185307 / Side));
}

// The chart, made in a child process so that making it does not count.
std::string ChartFile(int Side) {
    const std::string Name =
        (fs::temp_directory_path() / ("korvane-huge-" + std::to_string(Side) + ".png")).string();
    if (fs::exists(Name))
        return Name;
    const pid_t Child = ::fork();
    if (Child == 0) {
        QImage Image(Side, Side, QImage::Format_RGB888);
        Image.fill(Qt::white);
        for (int X = 0; X < Side; ++X) {
            const int From = CurveRow(X, Side), To = CurveRow(std::min(X + 1, Side - 1), Side);
            for (int Y = std::min(From, To) - 1; Y <= std::max(From, To) + 1; ++Y)
                std::memset(Image.scanLine(Y) + 3 * X, 0, 3);
        }
        const std::string Part = Name + ".part";
        ::_exit(Image.save(QString::fromStdString(Part), "PNG", 90) &&
                        ::rename(Part.c_str(), Name.c_str()) == 0
                    ? 0
                    : 1);
    }
    int Status = 1;
    ::waitpid(Child, &Status, 0);
    if (!WIFEXITED(Status) || WEXITSTATUS(Status) != 0) {
        std::fprintf(stderr, "cannot make %s\n", Name.c_str());
        std::exit(1);
    }
    return Name;
}

struct TBench {
    fs::path Dir = fs::temp_directory_path() / ("korvane-huge-bench-" + std::to_string(getpid()));
    TScriptedPrompter Prompter;
    TBenchDialogs Dialogs;
    std::unique_ptr<TfrmMain> Window;
    QElapsedTimer Clock;

    TBench() {
        fs::create_directories(Dir);
        SetExceptionHandler(
            [](const std::exception& E) { std::fprintf(stderr, "error: %s\n", E.what()); });
        Window = std::make_unique<TfrmMain>(Dir.string(), Prompter, &Dialogs);
        Window->resize(1600, 1000);
        Window->show();
        Pump();
    }
    ~TBench() {
        Window.reset();
        SetExceptionHandler(nullptr);
        fs::remove_all(Dir);
    }
    void Step(const char* What, double Base, double Scale = 0) {
        const double Peak = PeakMB() - Base, Now = ResidentMB() - Base;
        std::printf("%-34s %9.1f ms  resident %+8.1f MB  peak %+8.1f MB", What,
                    Clock.nsecsElapsed() / 1e6, Now, Peak);
        if (Scale > 0)
            std::printf("  (peak %.2f x the working image)", Peak / Scale);
        std::printf("\n");
        std::fflush(stdout);
        Clock.restart();
    }
    TPanZoomView& View() { return Window->pzImage->View(); }
    void Click(int X, int Y, unsigned Shift = 0) {
        View().MouseDown({X, Y}, 1, Shift);
        View().MouseUp({X, Y}, 1, Shift);
    }
    // Defines the coordinate system so that real values are image pixels, y upwards. The
    // scale points are screen points: at actual size, unscrolled, they are image pixels.
    void DefineScale(int Width, int Height) {
        Window->pzImage->View().ResetView();
        TPanelScale& Scale = Window->pzImage->Scale();
        Scale.SetFirstScalePoint({0, Height - 1}, {0, 0});
        Scale.SetSkewPoint({Width - 1, Height - 1});
        Scale.SetSecondScalePoint({Width - 1, 0}, {double(Width - 1), double(Height - 1)});
        Scale.DefineScale(false, false);
        Window->App().FileParameters().VectorizerParameters.SetDelay(0);
    }
    void WaitForRun(const TLine& Line) {
        while (Line.Following())
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        Pump();
    }
};

int HugeImage(int Side) {
    const std::string File = ChartFile(Side);
    TBench B;
    const double Base = ResidentMB();
    const double ImageMB = 3.0 * Side * Side / (1024.0 * 1024.0);
    std::printf("%d x %d image, working image %.1f MB, file %.1f MB\n", Side, Side, ImageMB,
                fs::file_size(File) / (1024.0 * 1024.0));
    ResetPeak();
    B.Clock.start();
    B.Window->OpenImage(QString::fromStdString(File));
    Pump();
    if (!B.Window->App().FileIsOpen())
        return 1;
    B.Step("open", Base, ImageMB);
    B.DefineScale(Side, Side);
    for (int I = 0; I < 4; ++I)
        B.Window->actViewZoomIn->Execute();
    Pump();
    for (int I = 0; I < 8; ++I)
        B.Window->actViewZoomOut->Execute();
    Pump();
    B.Window->actViewActualSize->Execute();
    Pump();
    B.Step("zoom in 4x, out 8x, actual size", Base, ImageMB);
    QScrollBar* Bar = B.Window->pzImage->HorzScrollBar();
    for (int I = 0; I <= 20; ++I) {
        Bar->setValue(Bar->minimum() + (Bar->maximum() - Bar->minimum()) * I / 20);
        QApplication::processEvents();
    }
    Bar->setValue(Bar->minimum());
    B.Window->pzImage->VertScrollBar()->setValue(CurveRow(10, Side) - 300);
    Pump();
    B.Step("pan across", Base, ImageMB);
    B.Window->actDigitizeNewFunctionalLine->Execute();
    auto* Line = dynamic_cast<TLine*>(B.Window->CurrentDigitization());
    const TLongintPoint Start = B.Window->pzImage->CurrentScaleSystem().RealToScreen(
        {10.0, double(Side - 1 - CurveRow(10, Side))});
    B.Click(Start.X, Start.Y);
    B.WaitForRun(*Line);
    std::printf("followed %d points from screen (%d, %d)\n", Line->Count(), Start.X, Start.Y);
    for (const auto& Q : B.Prompter.Asked)
        std::printf("  asked: %s\n", Q.Text.c_str());
    B.Step("follow the curve across", Base, ImageMB);
    B.Prompter = TScriptedPrompter({EMessageAnswer::No});
    B.Window->actFileClose->Execute();
    Pump();
    B.Step("close", Base, ImageMB);
    return Line ? 0 : 1;
}

int HugeLine(int Count) {
    TBench B;
    QImage Picture(1000, 1000, QImage::Format_RGB888);
    Picture.fill(Qt::white);
    const std::string Image = (B.Dir / "chart.ppm").string();
    Picture.save(QString::fromStdString(Image), "PPM");
    B.Window->OpenImage(QString::fromStdString(Image));
    B.DefineScale(1000, 1000);
    B.Window->actDigitizeNewFunctionalLine->Execute();
    auto* Line = dynamic_cast<TLine*>(B.Window->CurrentDigitization());
    TDoublePointArray Points;
    for (int K = 0; K < Count; ++K)
        Points.Add({K * 1e-3, std::sin(K * 1e-4)});
    const double Base = ResidentMB();
    ResetPeak();
    B.Clock.start();
    Line->SetPoints(Points);
    Line->ParamSet().ResetRange();
    Pump();
    B.Step("show the line", Base);
    B.Dialogs.Target = QString::fromStdString((B.Dir / "line.csv").string());
    B.Window->actDataExport->Execute();
    B.Step("export to CSV", Base);
    std::printf("  %.1f MB written\n", fs::file_size(B.Dir / "line.csv") / (1024.0 * 1024.0));
    B.Window->actDigitizeDelete->Execute();
    Pump();
    B.Step("delete the line", Base);
    B.Window->actEditUndo->Execute();
    Pump();
    B.Step("undo the deletion", Base);
    const std::string Parameters = B.Window->App().FileParameters().ParameterFileName();
    B.Prompter = TScriptedPrompter({EMessageAnswer::Yes});
    B.Window->actFileClose->Execute();
    B.Step("close, saving the parameter file", Base);
    std::printf("  parameter file %.1f MB\n", fs::file_size(Parameters) / (1024.0 * 1024.0));
    B.Window->OpenImage(QString::fromStdString(Image));
    Pump();
    const std::int32_t Back =
        B.Window->App().Count() > 0 ? B.Window->App().Digitization(0).Count() : 0;
    B.Step("open again", Base);
    std::printf("  %d points back\n", Back);
    return Back == Count ? 0 : 1;
}

int ManySteps(int Count) {
    TBench B;
    QImage Picture(2000, 2000, QImage::Format_RGB888);
    Picture.fill(Qt::white);
    const std::string Image = (B.Dir / "chart.ppm").string();
    Picture.save(QString::fromStdString(Image), "PPM");
    B.Window->OpenImage(QString::fromStdString(Image));
    B.DefineScale(2000, 2000);
    B.Window->actDigitizeNewScatter->Execute();
    Pump();
    double Base = ResidentMB();
    ResetPeak();
    B.Clock.start();
    for (int K = 0; K < Count; ++K)
        B.Click(20 + K % 1000, 20 + K / 1000 * 5);
    Pump();
    const double Points = ResidentMB() - Base;
    B.Step("scatter points added", Base);
    std::printf("  %d steps, %.0f bytes a step\n", B.Window->App().History().Count(),
                Points * 1024 * 1024 / Count);
    // Painted strokes keep their pixels in temporary files, not in memory.
    B.Window->actEditPaint->Execute();
    Pump();
    Base = ResidentMB();
    ResetPeak();
    B.Clock.restart();
    const int Strokes = std::max(1, Count / 10);
    for (int K = 0; K < Strokes; ++K) {
        const int Y = 30 + (K % 100) * 6; // inside the view
        B.Click(100, Y); // pen down
        B.View().MouseMove({130, Y + 1}, 0);
        B.View().MouseMove({160, Y + 2}, 0);
        B.Click(160, Y + 2); // pen up: the stroke becomes a step
    }
    Pump();
    const double Painted = ResidentMB() - Base;
    B.Step("painted strokes", Base);
    std::printf("  %d steps, %.0f bytes a stroke in memory\n",
                B.Window->App().History().Count(), Painted * 1024 * 1024 / Strokes);
    B.Prompter = TScriptedPrompter({EMessageAnswer::No});
    B.Window->actFileClose->Execute();
    Pump();
    B.Step("close", Base);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const std::string What = argc > 1 ? argv[1] : "";
    const int Count = argc > 2 ? std::atoi(argv[2]) : 0;
    if (What == "image") {
        const int Side = Count > 0 ? Count : 16384;
        ChartFile(Side); // before Qt starts
        QApplication Application(argc, argv);
        return HugeImage(Side);
    }
    QApplication Application(argc, argv);
    if (What == "line")
        return HugeLine(Count > 0 ? Count : 1000000);
    if (What == "undo")
        return ManySteps(Count > 0 ? Count : 10000);
    std::fprintf(stderr, "usage: korvane-huge-bench image|line|undo [COUNT]\n");
    return 2;
}
