// Tests in a real X server (Xvfb, started by ctest through xvfb-run) with real input from
// xdotool: the program starts and exits through its menu, and a chart is opened through the
// File menu, its coordinate system defined with clicks and typed values, a line followed and
// exported to a file and to the clipboard through the real dialogs.
#include "app/MainWindow.h"
#include "core/Prompter.h"
#include "document/Digitizations.h"
#include "export/DataCalculations.h"
#include "image/PanelScale.h"
#include "image/ScaleSystem.h"
#include "output/CurveIterators.h"
#include "support/WaveChartWindow.h"
#include "ui/data/DigitizationDataViews.h"
#include "ui/dialogs/CalculationDialog.h"
#include "ui/dialogs/ExportDialog.h"
#include "ui/dialogs/KorvaneDialogs.h"
#include "ui/modes/KorvaneActions.h"
#include "ui/panel/KorvanePanel.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenuBar>
#include <QProcess>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>

namespace korvane {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Runs one xdotool command line; every command has its own time limit.
bool Xdotool(const std::string& Arguments) {
    const std::string Command = "timeout 30 xdotool " + Arguments + " >/dev/null 2>&1";
    return std::system(Command.c_str()) == 0;
}

// Runs a shell command line, collecting its output; false when it fails.
bool RunCommand(const std::string& Command, std::string& Output) {
    FILE* Pipe = ::popen(Command.c_str(), "r");
    if (!Pipe)
        return false;
    char Buffer[4096];
    std::size_t N;
    while ((N = std::fread(Buffer, 1, sizeof Buffer, Pipe)) > 0)
        Output.append(Buffer, N);
    return ::pclose(Pipe) == 0;
}

// Keeps the event loop running until Done or the time is up.
bool PumpUntil(const std::function<bool()>& Done, int Seconds) {
    const auto Deadline = Clock::now() + std::chrono::seconds(Seconds);
    while (!Done()) {
        if (Clock::now() > Deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return true;
}

fs::path TempFolder(const char* Name) {
    const fs::path Dir = fs::temp_directory_path() /
                         (std::string("korvane-x11-") + Name + "-" + std::to_string(::getpid()));
    fs::remove_all(Dir);
    fs::create_directories(Dir);
    return Dir;
}

// The main window at the screen's top-left corner, shown and drawn.
std::unique_ptr<TfrmMain> ShowWindow(const fs::path& Dir, IPrompter& Prompter,
                                     IKorvaneDialogs* Dialogs = nullptr) {
    auto Window = std::make_unique<TfrmMain>(Dir.string(), Prompter, Dialogs);
    Window->resize(1300, 900);
    Window->move(0, 0);
    Window->show();
    Window->activateWindow();
    EXPECT_TRUE(PumpUntil([&] { return Window->windowHandle()->isExposed(); }, 20))
        << "the window was not shown";
    return Window;
}

TEST(KorvaneProgram, StartsWithItsCaptionAndExitsThroughTheFileMenu) {
    // A copy of the program in a folder of its own keeps its settings there.
    const fs::path Dir = TempFolder("program");
    const fs::path Program = Dir / "korvane";
    fs::copy_file(KORVANE_PROGRAM, Program);

    QProcess Process;
    QProcessEnvironment Environment = QProcessEnvironment::systemEnvironment();
    Environment.insert("QT_QPA_PLATFORM", "xcb");
    Process.setProcessEnvironment(Environment);
    Process.start(QString::fromStdString(Program.string()), {});
    ASSERT_TRUE(Process.waitForStarted(10000));
    const bool Found = Xdotool("search --sync --name '^Korvane 5$'");
    bool Exited = false;
    if (Found) {
        // No window manager: give the window the keyboard, then File > Exit.
        Xdotool("search --name '^Korvane 5$' windowfocus --sync");
        Xdotool("key --clearmodifiers alt+f");
        Xdotool("key x");
        Exited = Process.waitForFinished(15000);
    }
    if (!Exited) {
        Process.kill();
        Process.waitForFinished(5000);
    }
    EXPECT_TRUE(Found) << "no window captioned \"Korvane 5\" appeared";
    EXPECT_TRUE(Exited) << "File > Exit did not end the program";
    EXPECT_EQ(Process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(Process.exitCode(), 0);
    EXPECT_TRUE(fs::exists(Dir / "Korvane5.app")) << "the settings were not written on exit";
    fs::remove_all(Dir);
}

TEST(KorvaneProgram, OpensTheFileGivenOnItsCommandLine) {
    const fs::path Dir = TempFolder("argument");
    const fs::path Program = Dir / "korvane";
    fs::copy_file(KORVANE_PROGRAM, Program);
    const fs::path Chart = fs::path(KORVANE_SHARED_DIR) / "bench" / "cases" /
                           "p01_clean_black_1px" / "p01_clean_black_1px.png";
    if (!fs::exists(Chart))
        GTEST_SKIP() << "no bench charts";
    QProcess Process;
    QProcessEnvironment Environment = QProcessEnvironment::systemEnvironment();
    Environment.insert("QT_QPA_PLATFORM", "xcb");
    Process.setProcessEnvironment(Environment);
    Process.start(QString::fromStdString(Program.string()),
                  {QString::fromStdString(Chart.string())});
    ASSERT_TRUE(Process.waitForStarted(10000));
    const bool Found = Xdotool("search --sync --name '^p01_clean_black_1px.png - Korvane 5$'");
    Process.kill();
    Process.waitForFinished(5000);
    EXPECT_TRUE(Found) << "the chart given was not opened";
    fs::remove_all(Dir);
}

// Run with QT_SCALE_FACTOR=2 (the test KorvaneX11HighDpi): image pixels shown as sharp 2 x 2
// blocks of device pixels, and cursors drawn at the screen's density.
TEST(KorvaneHighDpi, ImagePixelsStayCrispAndCursorsFullSizeAtRatioTwo) {
    if (qApp->devicePixelRatio() != 2)
        GTEST_SKIP() << "for a device pixel ratio of 2";
    const fs::path Dir = TempFolder("highdpi");
    // A checkerboard of single pixels with a red cross: any blur would show as a mixed colour.
    QImage Chart(160, 120, QImage::Format_RGB888);
    for (int Y = 0; Y < Chart.height(); ++Y)
        for (int X = 0; X < Chart.width(); ++X)
            Chart.setPixelColor(X, Y,
                                (X == 80 || Y == 60) ? QColor(Qt::red)
                                : ((X + Y) & 1)      ? QColor(Qt::black)
                                                     : QColor(Qt::white));
    const fs::path File = Dir / "checker.png";
    ASSERT_TRUE(Chart.save(QString::fromStdString(File.string())));
    TScriptedPrompter Prompter;
    auto Window = ShowWindow(Dir, Prompter);
    Window->OpenImage(QString::fromStdString(File.string()));
    ASSERT_TRUE(Window->App().FileIsOpen());
    PumpUntil([] { return false; }, 1);

    QWidget* Box = Window->pzImage->PaintBox();
    const QPoint Origin = Box->mapTo(Window.get(), QPoint(0, 0));
    const QPixmap Shot = Window->screen()->grabWindow(Window->winId(), Origin.x(), Origin.y(),
                                                      Chart.width(), Chart.height());
    const QImage Device = Shot.toImage().convertToFormat(QImage::Format_RGB32);
    Device.save(QString::fromStdString(KORVANE_BINARY_DIR) + "/korvane-highdpi.png");
    ASSERT_EQ(Device.size(), Chart.size() * 2);
    int Wrong = 0;
    for (int Y = 0; Y < Device.height(); ++Y)
        for (int X = 0; X < Device.width(); ++X)
            Wrong += Device.pixelColor(X, Y) != Chart.pixelColor(X / 2, Y / 2);
    EXPECT_EQ(Wrong, 0) << "device pixels that are not their image pixel's colour";

    // The coordinate-system mode's cross-hair: a picture of the screen's density.
    Window->actEditDefineCoordinateSystem->Execute();
    PumpUntil([] { return false; }, 1);
    // The whole window, to look at: menus, tool buttons and guide at twice the density.
    Window->grab().save(QString::fromStdString(KORVANE_BINARY_DIR) +
                        "/korvane-highdpi-window.png");
    const QPixmap Cursor = Box->cursor().pixmap();
    EXPECT_EQ(Cursor.devicePixelRatio(), 2);
    EXPECT_EQ(Cursor.size(), QSize(64, 64));
    Window.reset();
    fs::remove_all(Dir);
}

TEST(KorvaneWindow, OpensAChartDefinesItsCoordinateSystemAndFollowsALine) {
    const std::string Case = "p01_clean_black_1px";
    const fs::path CaseDir = fs::path(KORVANE_SHARED_DIR) / "bench" / "cases" / Case;
    QFile TruthFile(QString::fromStdString((CaseDir / "truth.json").string()));
    ASSERT_TRUE(TruthFile.open(QIODevice::ReadOnly));
    const QJsonObject Truth = QJsonDocument::fromJson(TruthFile.readAll()).object();
    const QJsonObject Axes = Truth["axes"].toObject();
    const auto Pixel = [](const QJsonValue& V) {
        const QJsonArray A = V.toObject()["pixel"].toArray();
        return QPoint(A[0].toInt(), A[1].toInt());
    };
    const auto Values = [](const QJsonValue& V) {
        const QJsonArray A = V.toObject()["value"].toArray();
        return std::make_pair(A[0].toDouble(), A[1].toDouble());
    };
    ASSERT_FALSE(Axes["log_x"].toBool());
    ASSERT_FALSE(Axes["log_y"].toBool());
    const QPoint First = Pixel(Axes["first"]), Skew = Pixel(Axes["skew"]),
                 Second = Pixel(Axes["second"]);
    // Plain variables, not structured bindings: the script's lambdas capture them.
    const double FirstX = Values(Axes["first"]).first, FirstY = Values(Axes["first"]).second;
    const double SecondX = Values(Axes["second"]).first, SecondY = Values(Axes["second"]).second;
    // A fourth pixel and its real value, from the truth's linear axes.
    const QPoint Fourth((First.x() + Second.x()) / 2, (First.y() + Second.y()) / 2);
    const double FourthX =
        FirstX + (SecondX - FirstX) * (Fourth.x() - First.x()) / (Second.x() - First.x());
    const double FourthY =
        FirstY + (SecondY - FirstY) * (Fourth.y() - First.y()) / (Second.y() - First.y());

    const fs::path Dir = TempFolder("window");
    TScriptedPrompter Prompter;
    std::vector<std::string> Errors;
    SetExceptionHandler([&](const std::exception& E) { Errors.push_back(E.what()); });
    auto Window = ShowWindow(Dir, Prompter);
    PumpUntil([] { return false; }, 1);

    // Where things are on the screen: the image is shown at actual size from the paint box's
    // top-left corner; the menus are opened by clicking their titles.
    const QPoint Origin = Window->pzImage->PaintBox()->mapToGlobal(QPoint(0, 0));
    const auto TitleCentre = [&](QMenu* Menu) {
        const QRect R = Window->menuBar()->actionGeometry(Menu->menuAction());
        return Window->menuBar()->mapToGlobal(R.center());
    };
    const QPoint FileMenu = TitleCentre(Window->mnuFile);
    const QPoint EditMenu = TitleCentre(Window->mnuEdit);
    const auto Click = [](QPoint P) {
        return Xdotool("mousemove --sync " + std::to_string(P.x()) + " " + std::to_string(P.y()) +
                       " click 1");
    };
    const auto ScreenOf = [&](QPoint ImagePixel) { return Origin + ImagePixel; };
    const std::string Image = (CaseDir / (Case + ".png")).string();
    const std::string Title = Case + ".png - Korvane 5";

    std::atomic<bool> Done{false};
    // The main thread says when the image is open (its caption), the script waits for it.
    std::atomic<bool> Opened{false};
    const std::string WindowId = std::to_string(Window->winId());
    const auto WaitForOpened = [&] {
        for (int I = 0; I < 600 && !Opened; ++I)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        return Opened.load();
    };
    std::string Failed;
    std::mutex FailedLock;
    std::thread Script([&] {
        const auto Step = [&](bool Ok, const char* What) {
            if (!Ok) {
                std::lock_guard<std::mutex> Lock(FailedLock);
                if (Failed.empty())
                    Failed = What;
            }
            return Ok;
        };
        const auto Type = [](const std::string& Text) {
            return Xdotool("type --delay 20 '" + Text + "'");
        };
        const auto Dialog = [](const std::string& Caption) {
            return Xdotool("search --sync --name '^" + Caption + "$' windowfocus --sync");
        };
        [&] {
            if (!Step(Click(FileMenu), "opening the File menu") ||
                !Step(Xdotool("key o"), "choosing Open") || !Step(Dialog("Open"), "file dialog") ||
                !Step(Type(Image), "typing the file name") ||
                !Step(Xdotool("sleep 0.5 key Return"), "confirming the file") ||
                !Step(WaitForOpened(), "caption with the file"))
                return;
            if (!Step(Click(EditMenu), "opening the Edit menu") ||
                !Step(Xdotool("key d"), "choosing Define Coordinate System") ||
                !Step(Click(ScreenOf(First)), "clicking the first point") ||
                !Step(Dialog("First scaling point"), "first point dialog") ||
                !Step(Type(QString::number(FirstX).toStdString()), "typing X") ||
                !Step(Xdotool("key Tab"), "Tab") ||
                !Step(Type(QString::number(FirstY).toStdString()), "typing Y") ||
                !Step(Xdotool("key Return"), "OK"))
                return;
            if (!Step(Xdotool("windowfocus --sync " + WindowId), "back to the window") ||
                !Step(Click(ScreenOf(Skew)), "clicking the skew point") ||
                !Step(Click(ScreenOf(Second)), "clicking the second point") ||
                !Step(Dialog("Second scaling point"), "second point dialog") ||
                !Step(Type(QString::number(SecondX).toStdString()), "typing X") ||
                !Step(Xdotool("key Tab Tab"), "Tab past the logarithmic box") ||
                !Step(Type(QString::number(SecondY).toStdString()), "typing Y") ||
                !Step(Xdotool("key Return"), "OK"))
                return;
            Step(Xdotool("mousemove --sync " + std::to_string(ScreenOf(Fourth).x()) + " " +
                         std::to_string(ScreenOf(Fourth).y())),
                 "moving to the fourth pixel");
        }();
        if (!Failed.empty()) // Leave no modal dialog open behind.
            for (int I = 0; I < 3; ++I)
                Xdotool("key Escape");
        Done = true;
    });
    const bool InTime = PumpUntil(
        [&] {
            Opened = Window->windowTitle().toStdString() == Title;
            return Done.load();
        },
        150);
    if (!InTime)
        Xdotool("key Escape");
    Script.join();
    PumpUntil([&] { return Window->CoordinatesText().startsWith("X:"); }, 5);

    // The screenshot stays in the build folder for a look.
    QScreen* Screen = QGuiApplication::primaryScreen();
    Screen->grabWindow(0).save(QString::fromStdString(KORVANE_BINARY_DIR) +
                               "/korvane-define-scale.png");

    EXPECT_TRUE(InTime);
    EXPECT_TRUE(Failed.empty()) << "failed at: " << Failed;
    EXPECT_TRUE(Errors.empty()) << (Errors.empty() ? "" : Errors.front());
    EXPECT_EQ(Window->windowTitle().toStdString(), Title);
    EXPECT_TRUE(Window->pzImage->ScaleDefined());
    const QString Expected =
        QString("X:  %1        Y:  %2  ").arg(FourthX, 0, 'f', 2).arg(FourthY, 0, 'f', 2);
    EXPECT_EQ(Window->CoordinatesText().toStdString(), Expected.toStdString());
    EXPECT_EQ(Window->actEditDefineCoordinateSystem->text().toStdString(),
              "Re&define Coordinate System");

    // Then a functional line: Digitize > New Functional Line, a click on the truth's start
    // pixel, and the follower's run, at full speed.
    const QJsonObject Curve = Truth["curves"].toArray()[0].toObject();
    const QJsonArray StartArray = Curve["start_pixel"].toArray();
    const QPoint Start(StartArray[0].toInt(), StartArray[1].toInt());
    Window->App().FileParameters().VectorizerParameters.SetDelay(0);
    const QPoint DigitizeMenu = TitleCentre(Window->mnuDigitize);
    Done = false;
    std::thread Digitize([&] {
        if (Click(DigitizeMenu) && Xdotool("key f"))
            Click(ScreenOf(Start));
        Done = true;
    });
    const bool Started = PumpUntil([&] { return Done.load(); }, 60);
    Digitize.join();
    auto* Line = dynamic_cast<TLine*>(Window->CurrentDigitization());
    ASSERT_TRUE(Started);
    ASSERT_NE(Line, nullptr) << "no line was created";
    ASSERT_TRUE(PumpUntil([&] { return Line->Count() > 0 && !Line->Following(); }, 60))
        << "the run did not end";
    PumpUntil([] { return false; }, 1);
    Screen->grabWindow(0).save(QString::fromStdString(KORVANE_BINARY_DIR) +
                               "/korvane-digitize-line.png");
    EXPECT_TRUE(Errors.empty()) << (Errors.empty() ? "" : Errors.front());
    EXPECT_TRUE(Prompter.Asked.empty());

    // The grid's points, as real values, scored against the truth like the command-line
    // follower's on the same case.
    const TCurveIterator* Points = Window->LineDataPanel().Iterator();
    ASSERT_NE(Points, nullptr);
    ASSERT_EQ(Window->LineDataPanel().Count(), Line->Count());
    const fs::path Grid = Dir / "grid.csv";
    {
        std::unique_ptr<TCurveIterator> Walk = Line->ParamSet().NewIterator();
        std::ofstream Out(Grid);
        Out.precision(17);
        for (Walk->First(); !Walk->IsDone(); Walk->Next())
            Out << Walk->CurrentX() << "," << Walk->CurrentY() << "\n";
    }
    const fs::path Cli = Dir / "cli.csv";
    const auto Pair = [](const QJsonValue& V) {
        const QJsonArray A = V.toArray();
        return QString("%1,%2").arg(A[0].toDouble(), 0, 'g', 17).arg(A[1].toDouble(), 0, 'g', 17);
    };
    const QString Follow =
        QString("%1 follow %2 --first %3=%4 --skew %5 --second %6=%7 --start %8 -o %9")
            .arg(KORVANE_CLI, QString::fromStdString(Image),
                 Pair(Axes["first"].toObject()["pixel"]), Pair(Axes["first"].toObject()["value"]),
                 Pair(Axes["skew"].toObject()["pixel"]), Pair(Axes["second"].toObject()["pixel"]),
                 Pair(Axes["second"].toObject()["value"]), Pair(Curve["start_pixel"]),
                 QString::fromStdString(Cli.string()));
    ASSERT_EQ(std::system(Follow.toStdString().c_str()), 0) << Follow.toStdString();
    const auto Score = [&](const fs::path& Csv) {
        const std::string Command = "/usr/bin/python3 " +
                                    (CaseDir.parent_path().parent_path() / "evaluate.py").string() +
                                    " " + (CaseDir / "truth.json").string() + " " +
                                    Curve["name"].toString().toStdString() + " " + Csv.string();
        std::string Result;
        if (FILE* Pipe = ::popen(Command.c_str(), "r")) {
            char Buffer[512];
            while (std::fgets(Buffer, sizeof Buffer, Pipe))
                if (std::string(Buffer).rfind("RESULT ", 0) == 0)
                    Result = Buffer;
            ::pclose(Pipe);
        }
        return Result;
    };
    const std::string WindowScore = Score(Grid);
    const std::string CliScore = Score(Cli);
    std::printf("window: %sCLI:    %s", WindowScore.c_str(), CliScore.c_str());
    ASSERT_FALSE(WindowScore.empty());
    EXPECT_EQ(WindowScore, CliScore);
    const std::size_t Mean = WindowScore.find("mean_px=");
    ASSERT_NE(Mean, std::string::npos);
    EXPECT_LT(std::stod(WindowScore.substr(Mean + 8)), 0.5) << WindowScore;

    // Then the numbers out: Data > Export (Ctrl+E) to a file through the real export and
    // save dialogs, then again to the clipboard, read by another program while this one runs.
    const fs::path Exported = Dir / "exported.csv";
    std::string Pasted, Targets;
    // The main thread watches the dialog for the script (inside the dialog's own event loop):
    // whether it has the keyboard, whether the clipboard box is ticked, and takes the
    // screenshot when asked.
    std::atomic<bool> DialogActive{false}, ClipboardTicked{false}, GrabNow{false}, Grabbed{false};
    QTimer Watcher;
    Watcher.setInterval(50);
    QObject::connect(&Watcher, &QTimer::timeout, [&] {
        auto* Dialog = dynamic_cast<TfrmExportData*>(QApplication::activeWindow());
        DialogActive = Dialog && Dialog->isVisible();
        ClipboardTicked = Dialog && Dialog->chkExportToClipboard->isChecked();
        if (Dialog && GrabNow && !Grabbed) {
            PumpUntil([] { return false; }, 1); // let the dialog paint itself
            Screen->grabWindow(0).save(QString::fromStdString(KORVANE_BINARY_DIR) +
                                       "/korvane-export-dialog.png");
            Grabbed = true;
        }
    });
    Watcher.start();
    Done = false;
    Failed.clear();
    std::thread Export([&] {
        const auto Step = [&](bool Ok, const char* What) {
            if (!Ok && Failed.empty())
                Failed = What;
            return Ok;
        };
        const auto Dialog = [](const std::string& Caption) {
            return Xdotool("search --sync --name '^" + Caption + "$' windowfocus --sync");
        };
        const auto WaitFor = [](const std::atomic<bool>& Flag) {
            for (int I = 0; I < 300 && !Flag; ++I)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            return Flag.load();
        };
        [&] {
            if (!Step(Xdotool("windowfocus --sync " + WindowId), "focusing the window") ||
                !Step(Xdotool("key ctrl+e"), "Ctrl+E") ||
                !Step(Dialog("Export Data"), "the export dialog") ||
                !Step(WaitFor(DialogActive), "the export dialog taking keys"))
                return;
            GrabNow = true;
            if (!Step(WaitFor(Grabbed), "the screenshot") ||
                !Step(Xdotool("key Return"), "Export") || !Step(Dialog("Save As"), "save dialog") ||
                !Step(Xdotool("key ctrl+a"), "selecting the offered name") ||
                !Step(Xdotool("type --delay 20 '" + Exported.string() + "'"), "typing the name") ||
                !Step(Xdotool("sleep 0.5 key Return"), "saving"))
                return;
            for (int I = 0; I < 100 && !fs::exists(Exported); ++I)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            if (!Step(Xdotool("windowfocus --sync " + WindowId), "back to the window") ||
                !Step(Xdotool("key ctrl+e"), "Ctrl+E again") ||
                !Step(Dialog("Export Data"), "the export dialog again") ||
                !Step(WaitFor(DialogActive), "the export dialog taking keys again") ||
                !Step(Xdotool("key alt+c"), "Copy to clipboard") ||
                !Step(WaitFor(ClipboardTicked), "the box ticked") ||
                !Step(Xdotool("key Return"), "Export to the clipboard"))
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            Step(RunCommand("timeout 20 xclip -o -selection clipboard -t TARGETS", Targets),
                 "xclip asking for the clipboard's formats");
            Step(RunCommand("timeout 20 xclip -o -selection clipboard -t UTF8_STRING", Pasted),
                 "xclip reading the clipboard");
        }();
        if (!Failed.empty())
            for (int I = 0; I < 3; ++I)
                Xdotool("key Escape");
        Done = true;
    });
    const bool Exporting = PumpUntil([&] { return Done.load(); }, 120);
    Export.join();
    Watcher.stop();
    ASSERT_TRUE(Exporting);
    EXPECT_TRUE(Failed.empty()) << "failed at: " << Failed << "; the clipboard offers " << Targets;
    EXPECT_TRUE(Grabbed);
    EXPECT_TRUE(Errors.empty()) << (Errors.empty() ? "" : Errors.front());

    // The saved work exported by the command-line tool: the same bytes.
    const std::string Name = Line->Name();
    Prompter = TScriptedPrompter({EMessageAnswer::Yes}); // "Save changes to data?"
    ASSERT_TRUE(Window->CloseImage());
    const fs::path FromCli = Dir / "cli-export.csv";
    const std::string CliExport = std::string(KORVANE_CLI) + " export '" + Image +
                                  "' --settings-dir '" + Dir.string() + "' --dataset '" + Name +
                                  "' -o '" + FromCli.string() + "'";
    ASSERT_EQ(std::system(CliExport.c_str()), 0) << CliExport;
    const auto Read = [](const fs::path& File) {
        std::ifstream In(File, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(In), {});
    };
    const std::string FromCliBytes = Read(FromCli);
    ASSERT_GT(FromCliBytes.size(), 100u);
    EXPECT_EQ(Read(Exported), FromCliBytes);
    EXPECT_EQ(Pasted, FromCliBytes);

    Prompter.Asked.clear();
    Window.reset();
    SetExceptionHandler(nullptr);
    fs::remove_all(Dir);
}

TEST(KorvaneWindow, ZoomsBackExactlyCopiesTheGridAndPastesAScreenshot) {
    const std::string Case = "p01_clean_black_1px";
    const fs::path CaseDir = fs::path(KORVANE_SHARED_DIR) / "bench" / "cases" / Case;
    QFile TruthFile(QString::fromStdString((CaseDir / "truth.json").string()));
    ASSERT_TRUE(TruthFile.open(QIODevice::ReadOnly));
    const QJsonObject Axes =
        QJsonDocument::fromJson(TruthFile.readAll()).object()["axes"].toObject();
    const auto Pixel = [&](const char* Key) {
        const QJsonArray A = Axes[Key].toObject()["pixel"].toArray();
        return TLongintPoint{A[0].toInt(), A[1].toInt()};
    };
    const std::vector<TLongintPoint> Aims{Pixel("first"), Pixel("skew"), Pixel("second"),
                                          {200, 200},     {300, 250},    {400, 300}};

    const fs::path Dir = TempFolder("zoom");
    TScriptedPrompter Prompter;
    TWaveDialogs Dialogs; // the scale points typed; the clicks themselves are real
    Dialogs.Answers = {{0, 0, false, false}, {10, 5, false, false}};
    std::vector<std::string> Errors;
    SetExceptionHandler([&](const std::exception& E) { Errors.push_back(E.what()); });
    auto Window = ShowWindow(Dir, Prompter, &Dialogs);
    Window->OpenImage(QString::fromStdString((CaseDir / (Case + ".png")).string()));
    ASSERT_TRUE(Window->App().FileIsOpen());
    PumpUntil([] { return false; }, 1);
    const TLongintPoint StartExtent = Window->pzImage->CurrentScaleSystem().WindowExt;
    const QRect EditTitle = Window->menuBar()->actionGeometry(Window->mnuEdit->menuAction());
    const QPoint EditMenu = Window->menuBar()->mapToGlobal(EditTitle.center());

    // What the main thread sees, for the script: the zoom steps, where the aimed image
    // pixels are on the screen now, and how far the work has come.
    std::atomic<int> Steps{0};
    std::atomic<bool> Defined{false}, GridReady{false}, Pasted{false}, Done{false};
    std::mutex Lock;
    std::vector<QPoint> Targets(Aims.size());
    const fs::path Shot = Dir / "screenshot.png";
    QImage Picture(120, 90, QImage::Format_RGB888);
    Picture.fill(qRgb(10, 200, 30));
    Picture.setPixel(7, 5, qRgb(250, 0, 0));
    ASSERT_TRUE(Picture.save(QString::fromStdString(Shot.string())));

    std::string Failed, Clipboard;
    const std::string WindowId = std::to_string(Window->winId());
    std::thread Script([&] {
        const auto Step = [&](bool Ok, const char* What) {
            if (!Ok && Failed.empty())
                Failed = What;
            return Ok;
        };
        const auto Until = [](const std::function<bool()>& Ready) {
            for (int I = 0; I < 300 && !Ready(); ++I)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            return Ready();
        };
        const auto Click = [&](std::size_t I) {
            QPoint P;
            {
                std::lock_guard<std::mutex> Guard(Lock);
                P = Targets[I];
            }
            return Xdotool("mousemove --sync " + std::to_string(P.x()) + " " +
                           std::to_string(P.y()) + " click 1");
        };
        const auto Key = [&](const char* Keys, int ThenSteps) {
            return Xdotool(std::string("key ") + Keys) &&
                   Until([&] { return Steps.load() == ThenSteps; });
        };
        [&] {
            if (!Step(Xdotool("windowfocus --sync " + WindowId), "focusing the window") ||
                !Step(Key("ctrl+o", -1), "zooming out") || !Step(Key("ctrl+o", -2), "again") ||
                !Step(Key("ctrl+i", -1), "zooming in") || !Step(Key("ctrl+i", 0), "again"))
                return;
            const std::string Menu =
                std::to_string(EditMenu.x()) + " " + std::to_string(EditMenu.y());
            if (!Step(Xdotool("mousemove --sync " + Menu + " click 1"), "the Edit menu") ||
                !Step(Xdotool("key d"), "Define Coordinate System") ||
                !Step(Click(0), "the first point") || !Step(Click(1), "the skew point") ||
                !Step(Click(2), "the second point") ||
                !Step(Until([&] { return Defined.load(); }), "the coordinate system"))
                return;
            if (!Step(Click(3), "scatter point 1") || !Step(Click(4), "scatter point 2") ||
                !Step(Click(5), "scatter point 3") ||
                !Step(Until([&] { return GridReady.load(); }), "the grid with the focus") ||
                !Step(Xdotool("key ctrl+c"), "Ctrl+C") ||
                !Step(RunCommand("sleep 0.5; timeout 20 xclip -o -selection clipboard", Clipboard),
                      "another program reading the clipboard"))
                return;
            // Another program offers a picture; Ctrl+V in the window takes it.
            const std::string Offer =
                "timeout 20 xclip -selection clipboard -t image/png -i '" + Shot.string() + "'";
            if (!Step(std::system(Offer.c_str()) == 0, "another program offering an image") ||
                !Step(Xdotool("windowfocus --sync " + WindowId), "back to the window") ||
                !Step(Xdotool("key ctrl+v"), "Ctrl+V") ||
                !Step(Until([&] { return Pasted.load(); }), "the pasted image"))
                return;
        }();
        Done = true;
    });
    // The chart's work is not kept when the paste closes it.
    Prompter.Queue(EMessageAnswer::No);
    TLongintPoint DefinedAt{};
    std::vector<TLongintPoint> DefinedPoints;
    const bool InTime = PumpUntil(
        [&] {
            TKorvanePanel& Panel = *Window->pzImage;
            Steps = Panel.View().ZoomSteps();
            {
                std::lock_guard<std::mutex> Guard(Lock);
                const QPoint Origin = Panel.PaintBox()->mapToGlobal(QPoint(0, 0));
                for (std::size_t I = 0; I < Aims.size(); ++I) {
                    // ImageToScreen answers the middle of the pixel's block; its top-left
                    // screen pixel is the one that shows the image pixel at any zoom.
                    const TScaleSystem& V = Panel.CurrentScaleSystem();
                    const TLongintPoint S = V.ImageToScreen(Aims[I]);
                    Targets[I] = Origin + QPoint(S.X - V.HalfStep().X, S.Y - V.HalfStep().Y);
                }
            }
            if (!Defined && Panel.ScaleDefined()) {
                DefinedAt = Panel.CurrentScaleSystem().WindowExt;
                const TScaleSystem& D = Panel.Scale().DefinedScaleSystem();
                DefinedPoints = {D.FirstPoint, D.SkewPoint, D.SecondPoint};
                Window->actDigitizeNewScatter->trigger();
                Defined = true;
            }
            const auto* Scatter = dynamic_cast<TScatter*>(Window->CurrentDigitization());
            if (Defined && !GridReady && Scatter && Scatter->Count() == 3) {
                Window->dgDigData->setFocus();
                GridReady = true;
            }
            Pasted = Window->App().FileIsOpen() && Panel.Image().size() == QSize(120, 90);
            return Done.load();
        },
        150);
    if (!InTime)
        for (int I = 0; I < 3; ++I)
            Xdotool("key Escape");
    Script.join();

    EXPECT_TRUE(InTime);
    EXPECT_TRUE(Failed.empty()) << "failed at: " << Failed;
    EXPECT_TRUE(Errors.empty()) << (Errors.empty() ? "" : Errors.front());
    // Out twice and in twice is exactly where the view started; the clicks then put the
    // reference points on the truth's pixels.
    EXPECT_EQ(DefinedAt, StartExtent);
    ASSERT_EQ(DefinedPoints.size(), 3u);
    for (std::size_t I = 0; I < 3; ++I)
        EXPECT_EQ(DefinedPoints[I], Aims[I]) << "reference point " << I;
    // The grid's three points as another program reads them off the clipboard.
    const QStringList Lines = QString::fromStdString(Clipboard).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(Lines.size(), 4) << Clipboard;
    EXPECT_EQ(Lines[0], "X\tY");
    // The pasted picture is the image now.
    ASSERT_TRUE(Pasted);
    EXPECT_EQ(Window->pzImage->Image().pixel(7, 5) & 0xFFFFFF, 0xFA0000u);
    EXPECT_EQ(Window->pzImage->Image().pixel(8, 5) & 0xFFFFFF, qRgb(10, 200, 30) & 0xFFFFFFu);

    Window.reset();
    SetExceptionHandler(nullptr);
    fs::remove_all(Dir);
}

// A bench case: its chart, its linear axes and its curves.
struct TBenchCase {
    explicit TBenchCase(const std::string& CaseName) : Name(CaseName) {
        Dir = fs::path(KORVANE_SHARED_DIR) / "bench" / "cases" / Name;
        QFile File(QString::fromStdString((Dir / "truth.json").string()));
        if (File.open(QIODevice::ReadOnly))
            Truth = QJsonDocument::fromJson(File.readAll()).object();
        const QJsonObject Axes = Truth["axes"].toObject();
        const auto Pixel = [&](const char* Key) {
            const QJsonArray A = Axes[Key].toObject()["pixel"].toArray();
            return QPoint(A[0].toInt(), A[1].toInt());
        };
        const auto Value = [&](const char* Key) {
            const QJsonArray A = Axes[Key].toObject()["value"].toArray();
            return TDoublePoint{A[0].toDouble(), A[1].toDouble()};
        };
        First = Pixel("first");
        Skew = Pixel("skew");
        Second = Pixel("second");
        FirstValue = Value("first");
        SecondValue = Value("second");
        Image = (Dir / Truth["image"].toString().toStdString()).string();
    }
    QJsonObject Curve(int I) const { return Truth["curves"].toArray()[I].toObject(); }
    QPoint Start(int I) const {
        const QJsonArray A = Curve(I)["start_pixel"].toArray();
        return {A[0].toInt(), A[1].toInt()};
    }
    // Real values to image pixels, for the upright linear axes of the cases used here.
    double Column(double X) const {
        return First.x() +
               (X - FirstValue.X) / (SecondValue.X - FirstValue.X) * (Second.x() - First.x());
    }
    double Row(double Y) const {
        return First.y() +
               (Y - FirstValue.Y) / (SecondValue.Y - FirstValue.Y) * (Second.y() - First.y());
    }

    std::string Name, Image;
    fs::path Dir;
    QJsonObject Truth;
    QPoint First, Skew, Second;
    TDoublePoint FirstValue, SecondValue;
};

// Opens the case's chart and defines its coordinate system by clicks on the panel, the
// values answered by Dialogs; the follower then runs at full speed.
void OpenAndDefine(TfrmMain& Window, TWaveDialogs& Dialogs, const TBenchCase& Case) {
    Dialogs.Answers = {{Case.FirstValue.X, Case.FirstValue.Y, false, false},
                       {Case.SecondValue.X, Case.SecondValue.Y, false, false}};
    Window.OpenImage(QString::fromStdString(Case.Image));
    ASSERT_TRUE(Window.App().FileIsOpen());
    TPanZoomView& View = Window.pzImage->View();
    Window.actEditDefineCoordinateSystem->Execute();
    for (const QPoint P : {Case.First, Case.Skew, Case.Second}) {
        View.MouseDown({P.x(), P.y()}, 1, 0);
        View.MouseUp({P.x(), P.y()}, 1, 0);
    }
    PumpUntil([] { return false; }, 1);
    ASSERT_TRUE(Window.pzImage->ScaleDefined());
    Window.App().FileParameters().VectorizerParameters.SetDelay(0);
    // The chart is shown at actual size from the paint box's corner.
    const TScaleSystem& Screen = Window.pzImage->CurrentScaleSystem();
    ASSERT_EQ(Screen.ImageToScreen({100, 100}).X - Screen.ImageToScreen({0, 0}).X, 100);
    ASSERT_EQ(Screen.ImageToScreen({0, 0}).X - Screen.HalfStep().X, 0);
}

// The screen position of an image pixel, as xdotool takes it, for a chart at actual size.
std::string ScreenAt(const TfrmMain& Window, QPoint ImagePixel) {
    const QPoint P = Window.pzImage->PaintBox()->mapToGlobal(ImagePixel);
    return std::to_string(P.x()) + " " + std::to_string(P.y());
}

std::string MenuAt(const TfrmMain& Window, QMenu* Menu) {
    const QPoint P = Window.menuBar()->mapToGlobal(
        Window.menuBar()->actionGeometry(Menu->menuAction()).center());
    return std::to_string(P.x()) + " " + std::to_string(P.y());
}

using TStep = std::function<bool(bool Ok, const char* What)>;

// Runs Body on a thread of its own while the main thread keeps the window going and calls
// Watch (to publish what the script waits for); answers the step that failed, or nothing.
std::string RunScript(const std::function<void(const TStep&)>& Body,
                      const std::function<void()>& Watch = {}) {
    std::atomic<bool> Done{false};
    std::string Failed;
    std::thread Thread([&] {
        Body([&](bool Ok, const char* What) {
            if (!Ok && Failed.empty())
                Failed = What;
            return Ok;
        });
        if (!Failed.empty())
            for (int I = 0; I < 3; ++I)
                Xdotool("key Escape");
        Done = true;
    });
    const bool InTime = PumpUntil(
        [&] {
            if (Watch)
                Watch();
            return Done.load();
        },
        120);
    Thread.join();
    return InTime ? Failed : std::string("the script ran out of time");
}

// Polled by a script: Ready within ten seconds.
bool WaitFor(const std::function<bool()>& Ready) {
    for (int I = 0; I < 200 && !Ready(); ++I)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return Ready();
}

// Digitize > New Functional Line from the menu and a real click on the start pixel; the
// run to its end.
TLine* FollowFromMenu(TfrmMain& Window, QPoint Start) {
    const std::string Menu = MenuAt(Window, Window.mnuDigitize);
    const std::string At = ScreenAt(Window, Start);
    std::atomic<bool> MenuOpen{false};
    const std::string Failed = RunScript(
        [&](const TStep& Step) {
            Step(Xdotool("mousemove --sync " + Menu + " click 1"), "the Digitize menu") &&
                Step(WaitFor([&] { return MenuOpen.load(); }), "the menu open") &&
                Step(Xdotool("key f") && Xdotool("mousemove --sync " + At + " click 1"),
                     "starting a functional line");
        },
        [&] { MenuOpen = Window.mnuDigitize->isVisible(); });
    EXPECT_EQ(Failed, "");
    auto* Line = dynamic_cast<TLine*>(Window.CurrentDigitization());
    if (!Line)
        return nullptr;
    EXPECT_TRUE(PumpUntil([&] { return Line->Count() > 0 && !Line->Following(); }, 60));
    return Line;
}

// A chart whose black curve runs into a black grid line: the follower leaves the curve along
// the line. The user erases the grid line beside the crossing with the erasing pen, by real
// keys and mouse moves, and follows the curve again: this time it gets past the crossing.
TEST(KorvaneWindow, ErasingAGridLineTheCurveRunsIntoLetsTheFollowerGoFarther) {
    const TBenchCase Case("p07_black_grid_same_colour");
    ASSERT_FALSE(Case.Truth.isEmpty());
    std::map<int, double> TruthRow; // pixel column -> the curve's row there
    for (const QJsonValue& P : Case.Curve(0)["truth"].toArray())
        TruthRow.emplace(static_cast<int>(Case.Column(P.toArray()[0].toDouble())),
                         Case.Row(P.toArray()[1].toDouble()));
    // The last column a line reaches on the curve (within three pixels of it) before it
    // leaves the curve for good: a stretch of more than 15 points off it. (At a crossing the
    // follower may take a few pixels of the grid line and come back.)
    const auto Reach = [&](const TLine& Line) {
        int Last = -1, Off = 0;
        for (std::int32_t I = 0; I < Line.Count() && Off <= 15; ++I) {
            const double C = Case.Column(Line.GetPoint(I).X);
            const double R = Case.Row(Line.GetPoint(I).Y) + 0.5;
            const auto Found = TruthRow.find(static_cast<int>(C));
            if (Found == TruthRow.end() || std::abs(R - Found->second) > 3) {
                ++Off;
                continue;
            }
            Last = static_cast<int>(C);
            Off = 0;
        }
        return Last;
    };

    const fs::path Dir = TempFolder("erase");
    TScriptedPrompter Prompter;
    TWaveDialogs Dialogs;
    std::vector<std::string> Errors;
    SetExceptionHandler([&](const std::exception& E) { Errors.push_back(E.what()); });
    auto Window = ShowWindow(Dir, Prompter, &Dialogs);
    OpenAndDefine(*Window, Dialogs, Case);
    const std::string WindowId = std::to_string(Window->winId());

    TLine* Before = FollowFromMenu(*Window, Case.Start(0));
    ASSERT_NE(Before, nullptr);
    const int ReachBefore = Reach(*Before);

    // The grid line the curve runs into, right of where it leaves the curve: erased along
    // its row from a few pixels past the crossing to the frame, with a 5-pixel pen.
    const int GridRow = 330;
    const QImage Original = Window->pzImage->Image().copy();
    ASSERT_EQ(qGray(Original.pixel(600, GridRow)), 0) << "no grid line at row 330";
    // What the main thread sees, for the script.
    std::atomic<bool> Painting{false};
    std::atomic<int> PaintMode{-1}, PenWidth{0};
    const auto Watch = [&] {
        Painting = Window->App().ModeManager().CurrentMode() && Window->actEditPaint->isChecked();
        PaintMode = Window->pzImage->PaintMode();
        PenWidth = Window->pzImage->PenWidth();
    };
    const auto At = [&](int X) { return ScreenAt(*Window, {X, GridRow}); };
    const std::string Failed = RunScript(
        [&](const TStep& Step) {
            if (!Step(Xdotool("windowfocus --sync " + WindowId), "focusing the window") ||
                !Step(Xdotool("key ctrl+p"), "Ctrl+P") ||
                !Step(WaitFor([&] { return Painting.load(); }), "the painting mode") ||
                !Step(Xdotool("key g"), "g") ||
                !Step(WaitFor([&] { return PaintMode == 1; }), "the erasing pen") ||
                !Step(Xdotool("key alt+Up alt+Up alt+Up"), "Alt+Up") ||
                !Step(WaitFor([&] { return PenWidth == 5; }), "a 5-pixel pen"))
                return;
            // Pen down, a drag in short moves, pen up, and Escape.
            if (!Step(Xdotool("mousemove --sync " + At(566) + " click 1"), "pen down"))
                return;
            for (int X = 586; X <= 766; X += 20)
                if (!Step(Xdotool("mousemove --sync " + At(X)), "dragging"))
                    return;
            Step(Xdotool("mousemove --sync " + At(768) + " click 1"), "pen up") &&
                Step(Xdotool("key Escape"), "Escape") &&
                Step(WaitFor([&] { return !Painting.load(); }), "the end of painting");
        },
        Watch);
    EXPECT_EQ(Failed, "");
    EXPECT_EQ(Window->actEditUndo->text(), "&Undo Paint");
    const QImage& Repaired = Window->pzImage->Image();
    for (int X = 570; X <= 766; X += 14)
        EXPECT_EQ(Repaired.pixel(X, GridRow), qRgb(255, 255, 255)) << X;
    // Nothing outside the pen's reach changed: the curve above the grid line keeps its ink.
    for (int Y = 0; Y < Repaired.height(); ++Y)
        for (int X = 0; X < Repaired.width(); ++X) {
            if (std::abs(Y - GridRow) > 3 || X < 562) {
                ASSERT_EQ(Repaired.pixel(X, Y), Original.pixel(X, Y)) << X << "," << Y;
            }
        }

    TLine* After = FollowFromMenu(*Window, Case.Start(0));
    ASSERT_NE(After, nullptr);
    ASSERT_NE(After, Before);
    const int ReachAfter = Reach(*After);
    PumpUntil([] { return false; }, 1);
    QGuiApplication::primaryScreen()->grabWindow(0).save(
        QString::fromStdString(KORVANE_BINARY_DIR) + "/korvane-erase-repair.png");
    std::printf("reach on the curve: column %d before the repair, %d after\n", ReachBefore,
                ReachAfter);
    EXPECT_GT(ReachBefore, 500);
    EXPECT_LT(ReachBefore, 565);
    EXPECT_GT(ReachAfter, ReachBefore + 100);
    EXPECT_TRUE(Errors.empty()) << (Errors.empty() ? "" : Errors.front());

    Prompter = TScriptedPrompter({EMessageAnswer::No, EMessageAnswer::No});
    Window.reset();
    SetExceptionHandler(nullptr);
    fs::remove_all(Dir);
}

// Two curves of a chart followed, then Data > Calculate by keys: the difference of the two
// lines, which must equal the model's subtraction of the same lines point for point.
TEST(KorvaneWindow, TheDifferenceOfTwoFollowedCurvesComesThroughTheCalculationDialog) {
    const TBenchCase Case("p02_colour_aa_curves");
    ASSERT_FALSE(Case.Truth.isEmpty());
    const fs::path Dir = TempFolder("calculate");
    TScriptedPrompter Prompter;
    TWaveDialogs Dialogs;
    // The real dialog, run by the keys the script types.
    Dialogs.OnCalculation = [](TfrmCalculationDialog& Dialog) {
        return Dialog.exec() == QDialog::Accepted;
    };
    std::vector<std::string> Errors;
    SetExceptionHandler([&](const std::exception& E) { Errors.push_back(E.what()); });
    auto Window = ShowWindow(Dir, Prompter, &Dialogs);
    OpenAndDefine(*Window, Dialogs, Case);
    TLine* Blue = FollowFromMenu(*Window, Case.Start(0));
    TLine* Red = FollowFromMenu(*Window, Case.Start(1));
    ASSERT_TRUE(Blue && Red);
    ASSERT_GT(Blue->Count(), 500);
    ASSERT_GT(Red->Count(), 500);
    const int Count = Window->App().Count();

    // The dialog opens with the current line (red) first and the first line it offers (blue)
    // second; Tab reaches the operation, Down turns "plus" into "minus", Enter is OK.
    const std::string WindowId = std::to_string(Window->winId());
    const std::string Menu = MenuAt(*Window, Window->mnuData);
    std::atomic<bool> MenuOpen{false};
    const std::string Failed = RunScript(
        [&](const TStep& Step) {
            Step(Xdotool("windowfocus --sync " + WindowId), "focusing the window") &&
                Step(Xdotool("mousemove --sync " + Menu + " click 1"), "the Data menu") &&
                Step(WaitFor([&] { return MenuOpen.load(); }), "the menu open") &&
                Step(Xdotool("key c"), "Calculate") &&
                Step(Xdotool("search --sync --name '^Calculations$' windowfocus --sync"),
                     "the dialog") &&
                Step(Xdotool("sleep 0.3 key Tab Down"), "choosing minus") &&
                Step(Xdotool("sleep 0.3 key Return"), "OK");
        },
        [&] { MenuOpen = Window->mnuData->isVisible(); });
    EXPECT_EQ(Failed, "");
    PumpUntil([] { return false; }, 1);
    QGuiApplication::primaryScreen()->grabWindow(0).save(
        QString::fromStdString(KORVANE_BINARY_DIR) + "/korvane-calculation.png");
    ASSERT_EQ(Window->App().Count(), Count + 1);
    const TDigitization& Result = Window->App().Digitization(Count);
    EXPECT_EQ(Result.Name(), Red->Name() + " - " + Blue->Name());

    TDoublePointArray Expected(50);
    TSubtractionOperation().Execute(*Red, Blue, Expected);
    ASSERT_GT(Expected.Count(), 500);
    ASSERT_EQ(Result.Count(), Expected.Count());
    for (std::int32_t I = 0; I < Expected.Count(); ++I) {
        ASSERT_EQ(Result.GetPoint(I).X, Expected[I].X) << I;
        ASSERT_EQ(Result.GetPoint(I).Y, Expected[I].Y) << I;
    }
    EXPECT_TRUE(Errors.empty()) << (Errors.empty() ? "" : Errors.front());

    Prompter = TScriptedPrompter({EMessageAnswer::No, EMessageAnswer::No});
    Window.reset();
    SetExceptionHandler(nullptr);
    fs::remove_all(Dir);
}

} // namespace
} // namespace korvane
