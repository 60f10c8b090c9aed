// The line follower in the real main window: a Delay-0 run along a 10000-column line, as a
// user starts it with a click. Prints the points per second and how long the event loop went
// without handling a timer tick during the run (the window's responsiveness).
//
//     korvane-window-follow-bench [COLUMNS]
#include "app/MainWindow.h"
#include "core/Prompter.h"
#include "document/Digitizations.h"
#include "ui/modes/KorvaneActions.h"
#include "ui/panel/KorvanePanel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

using namespace korvane;
namespace fs = std::filesystem;

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication Application(argc, argv);
    const int Columns = argc > 1 ? std::max(100, std::atoi(argv[1])) : 10000;
    const int Rows = 400;

    const fs::path Dir =
        fs::temp_directory_path() / ("korvane-follow-bench-" + std::to_string(getpid()));
    fs::create_directories(Dir);
    TScriptedPrompter Prompter;
    SetExceptionHandler(
        [](const std::exception& E) { std::fprintf(stderr, "error: %s\n", E.what()); });
    auto Window = std::make_unique<TfrmMain>(Dir.string(), Prompter);
    Window->resize(1200, 800);
    Window->show();

    // A white picture with a 2-pixel black wave, saved as PPM and opened as a user would.
    QImage Picture(Columns, Rows, QImage::Format_RGB888);
    Picture.fill(Qt::white);
    for (int X = 0; X < Columns; ++X) {
        const int Y = static_cast<int>(std::lround(Rows / 2 + 120 * std::sin(X / 300.0)));
        for (int R = Y - 1; R <= Y + 1; ++R)
            Picture.setPixelColor(X, R, Qt::black);
    }
    const fs::path File = Dir / "wave.ppm";
    Picture.save(QString::fromStdString(File.string()), "PPM");
    Window->OpenImage(QString::fromStdString(File.string()));

    TPanelScale& Scale = Window->pzImage->Scale();
    Scale.SetFirstScalePoint({0, Rows - 1}, {0, 0});
    Scale.SetSkewPoint({Columns - 1, Rows - 1});
    Scale.SetSecondScalePoint({Columns - 1, 0}, {1, 1});
    Scale.DefineScale(false, false);
    Window->App().FileParameters().VectorizerParameters.SetDelay(0);
    Window->actDigitizeNewFunctionalLine->Execute();
    auto* Line = dynamic_cast<TLine*>(Window->CurrentDigitization());
    if (!Line) {
        std::fprintf(stderr, "no line\n");
        return 1;
    }

    // A timer ticking every 5 ms measures how long the event loop is kept away.
    QElapsedTimer Clock;
    qint64 LastTick = 0, LongestGap = 0;
    QTimer Tick;
    Tick.setInterval(5);
    QObject::connect(&Tick, &QTimer::timeout, [&] {
        const qint64 Now = Clock.nsecsElapsed();
        if (LastTick)
            LongestGap = std::max(LongestGap, Now - LastTick);
        LastTick = Now;
    });
    const int StartY = static_cast<int>(std::lround(Rows / 2 + 120 * std::sin(0.0)));
    // At actual size a paint-box pixel is the image pixel.
    const TLongintPoint Device{0, StartY};
    Clock.start();
    Tick.start();
    Window->pzImage->View().MouseDown(Device, 1, 0);
    while (Line->Following())
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    const double Seconds = Clock.nsecsElapsed() / 1e9;
    Tick.stop();

    std::printf("columns %d, points %d, %.3f s, %.0f points/s, longest event-loop gap %.1f ms\n",
                Columns, Line->Count(), Seconds, Line->Count() / Seconds, LongestGap / 1e6);
    Window.reset();
    SetExceptionHandler(nullptr);
    fs::remove_all(Dir);
    return 0;
}
