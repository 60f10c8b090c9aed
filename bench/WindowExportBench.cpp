// Export in the real main window: the time from choosing Export to the file on disk, for a
// functional line shown as a cubic spline of 100,001 output points, through the
// "Comma-separated" template. The export dialog is built and filled as for a user (template
// list, preview) and accepted at once; the save dialog answers with a file name. Prints the
// best and the median of the runs, and how the best run divides into opening the dialog and
// writing the file.
//
//     korvane-window-export-bench [RUNS]
#include "app/MainWindow.h"
#include "core/Prompter.h"
#include "document/Digitizations.h"
#include "output/ApproximatorParams.h"
#include "output/CurveApproximators.h"
#include "ui/dialogs/ExportDialog.h"
#include "ui/dialogs/KorvaneDialogs.h"
#include "ui/modes/KorvaneActions.h"
#include "ui/panel/KorvanePanel.h"

#include <functional>
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPushButton>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>
#include <vector>

using namespace korvane;
namespace fs = std::filesystem;

namespace {

class TAcceptingDialogs : public IKorvaneDialogs {
public:
    QElapsedTimer* Clock = nullptr;
    qint64 DialogShown = 0;
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
        DialogShown = Clock->nsecsElapsed();
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

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication Application(argc, argv);
    const int Runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;

    const fs::path Dir =
        fs::temp_directory_path() / ("korvane-export-bench-" + std::to_string(getpid()));
    fs::create_directories(Dir);
    TScriptedPrompter Prompter;
    TAcceptingDialogs Dialogs;
    SetExceptionHandler(
        [](const std::exception& E) { std::fprintf(stderr, "error: %s\n", E.what()); });
    auto Window = std::make_unique<TfrmMain>(Dir.string(), Prompter, &Dialogs);
    Window->resize(1200, 800);
    Window->show();

    QImage Picture(400, 300, QImage::Format_RGB888);
    Picture.fill(Qt::white);
    const fs::path File = Dir / "chart.ppm";
    Picture.save(QString::fromStdString(File.string()), "PPM");
    Window->OpenImage(QString::fromStdString(File.string()));
    TPanelScale& Scale = Window->pzImage->Scale();
    Scale.SetFirstScalePoint({0, 299}, {0, 0});
    Scale.SetSkewPoint({399, 299});
    Scale.SetSecondScalePoint({399, 0}, {399, 299});
    Scale.DefineScale(false, false);

    // 3126 digitized points shown as a spline sampled every 1/32 from 0 to 3125.
    Window->actDigitizeNewFunctionalLine->Execute();
    auto* Line = dynamic_cast<TLine*>(Window->CurrentDigitization());
    if (!Line) {
        std::fprintf(stderr, "no line\n");
        return 1;
    }
    TDoublePointArray Points;
    for (int X = 0; X <= 3125; ++X)
        Points.Add({double(X), double((X * 37) % 101)});
    Line->SetPoints(Points);
    Line->SetApproximatorClass(TCubicSpline::Class());
    auto& Spline = dynamic_cast<TCubicSplineParamSet&>(Line->ParamSet());
    Spline.ResetRange();
    Spline.SetIncrement(1.0 / 32);
    const std::int32_t Output = Spline.PointCount();
    QApplication::processEvents();

    Dialogs.Target = QString::fromStdString((Dir / "spline.csv").string());
    std::vector<double> Totals, Opening;
    for (int Run = 0; Run < Runs; ++Run) {
        QElapsedTimer Clock;
        Dialogs.Clock = &Clock;
        Clock.start();
        Window->actDataExport->Execute();
        const qint64 Total = Clock.nsecsElapsed();
        Totals.push_back(Total / 1e6);
        Opening.push_back(Dialogs.DialogShown / 1e6);
    }
    const std::size_t Best = std::min_element(Totals.begin(), Totals.end()) - Totals.begin();
    std::vector<double> Sorted = Totals;
    std::sort(Sorted.begin(), Sorted.end());
    std::printf("output points %d, file %ju bytes, %d runs: best %.1f ms (dialog open %.1f ms, "
                "writing %.1f ms), median %.1f ms\n",
                Output, static_cast<std::uintmax_t>(fs::file_size(Dir / "spline.csv")), Runs,
                Totals[Best], Opening[Best], Totals[Best] - Opening[Best],
                Sorted[Sorted.size() / 2]);
    Window.reset();
    SetExceptionHandler(nullptr);
    fs::remove_all(Dir);
    return 0;
}
