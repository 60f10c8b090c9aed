#include "Pictures.h"

#include "document/Digitizations.h"
#include "document/PointSelections.h"
#include "image/PdfDocument.h"
#include "ui/common/SupportWidgets.h"
#include "ui/data/ApproximatorParamPanels.h"
#include "ui/data/DigitizationDataViews.h"
#include "ui/dialogs/CalculationDialog.h"
#include "ui/dialogs/EliminateGridDialog.h"
#include "ui/dialogs/ExportDialog.h"
#include "ui/dialogs/FormatDialog.h"
#include "ui/dialogs/PdfPageDialog.h"
#include "ui/dialogs/PointDialog.h"
#include "ui/dialogs/PreferencesDialog.h"
#include "ui/dialogs/PropertiesDialogs.h"
#include "ui/dialogs/ScalePoints.h"
#include "ui/modes/DigitizingModes.h"
#include "ui/modes/KorvaneActions.h"
#include "ui/modes/PaintingMode.h"
#include "ui/panel/KorvanePanel.h"
#include "ui/panel/Magnifier.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QWindow>
#include <algorithm>
#include <cmath>

namespace korvane::shots {

namespace {

// The curves chart: two functional lines, blue and red.
const QString CurvesChart = "p02_colour_aa_curves";

// A combo box's entry by its text; throws when there is none.
void Choose(QComboBox& Box, const QString& Text) {
    const int Index = Box.findText(Text);
    Require(Index >= 0, "no entry \"" + Text.toStdString() + "\"");
    Box.setCurrentIndex(Index);
}

// Shows a dialog the window prepared (it runs modally in the program) and lets it paint.
void ShowDialog(QDialog& Dialog) {
    Dialog.show();
    Require(
        PumpUntil([&] { return Dialog.windowHandle() && Dialog.windowHandle()->isExposed(); }, 10),
        "the dialog was not shown");
    Pump(300);
}

// The line's Properties dialog gives it a name and a display colour.
void NameLine(TShotWindow& W, const QString& Name, const QString& Color) {
    W.Dialogs.OnLineProperties = [&](TfrmLineProperties& Dialog) {
        Dialog.txtName->setText(Name);
        Choose(*Dialog.cboDisplayColor, Color);
        return true;
    };
    W->actDataProperties->Execute();
    W.Dialogs.OnLineProperties = nullptr;
    Require(W->CurrentDigitization()->Name() == Name.toStdString(), "the line was not renamed");
}

// The truth point of a curve nearest to X.
QPointF TruthNear(const TBenchChart& Chart, const QString& Curve, double X) {
    const std::vector<QPointF> Points = Chart.Truth(Curve);
    return *std::min_element(Points.begin(), Points.end(), [X](QPointF A, QPointF B) {
        return std::abs(A.x() - X) < std::abs(B.x() - X);
    });
}

// A mouse event sent to Widget at its point P.
void SendMouse(QWidget& Widget, QEvent::Type Type, QPoint P) {
    const Qt::MouseButton Button = Type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons Held =
        Type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent Event(Type, QPointF(P), QPointF(Widget.mapToGlobal(P)), Button, Held,
                      Qt::NoModifier);
    QApplication::sendEvent(&Widget, &Event);
}

// ---------------------------------------------------------------------------------------------
// The curves chart: defining the coordinate system, two lines followed, and the dialogs of
// a line.

void MakeCurves(TPictureSet& Out, const TSources& Sources) {
    const TBenchChart Chart(Sources.SharedDir, CurvesChart);
    TShotWindow W;
    W.Open(Chart.ImageFile());

    // The settings as they are for a new image.
    if (Out.WantsAny({"settings-digitizing.png", "settings-painting.png"})) {
        TModalDialogCatcher Catch([&](QDialog& Dialog) {
            auto& Settings = dynamic_cast<TfrmPreferencesDialog&>(Dialog);
            Require(Settings.pcMain->currentWidget() == Settings.tsDigitizing,
                    "the settings did not open on Digitizing");
            Out.Save("settings-digitizing.png", FramedWindow(Dialog));
            Settings.pcMain->setCurrentWidget(Settings.tsPainting);
            Pump(200);
            Out.Save("settings-painting.png", FramedWindow(Dialog));
            Settings.btnCancel->click();
        });
        W->actEditPreferences->Execute();
        Catch.Check();
    }

    // Defining the coordinate system at actual size, the chart's plot area in view.
    W->actViewActualSize->Execute();
    W->actEditDefineCoordinateSystem->Execute();
    // The origin as near the middle as the view goes, for the loupe's picture.
    W.CentreOn(Chart.First);
    W.MoveTo(Chart.First);
    Pump(200);
    {
        // The pointer and the loupe beside it, in 400 x 300 pixels of the image area.
        const TDeviceRect Loupe = W->pzImage->Magnifier().Box();
        Require(W->pzImage->Magnifier().Visible(), "the magnifier is not shown");
        QRect Around = QRect(W.Pointer() - QPoint(16, 16), QSize(32, 32))
                           .united(QRect(Loupe.Left, Loupe.Top, Loupe.Right - Loupe.Left,
                                         Loupe.Bottom - Loupe.Top));
        QRect Crop(0, 0, 400, 300);
        Crop.moveCenter(Around.center());
        const QRect Box = W->pzImage->PaintBox()->rect();
        Crop.moveLeft(std::clamp(Crop.left(), 0, Box.width() - Crop.width()));
        Crop.moveTop(std::clamp(Crop.top(), 0, Box.height() - Crop.height()));
        const QPoint Corner = W->pzImage->PaintBox()->mapTo(&*W, QPoint(0, 0));
        Out.Save("magnifier.png", W.Grab(true).copy(Crop.translated(Corner)));
    }
    W.CentreOn((Chart.First + Chart.Second) / 2);
    W.Dialogs.ScalePoints = {{Chart.FirstValue.x(), Chart.FirstValue.y(), false, false}};
    W.Click(Chart.First);
    W.Click(Chart.Skew);
    Require(W->pzImage->PaintBox()->rect().contains(W.DeviceOf(Chart.Second)),
            "the plot area does not fit the image area");
    {
        // The second point: the real dialog, its values typed.
        TModalDialogCatcher Catch([&](QDialog& Dialog) {
            auto& Point = dynamic_cast<TfrmScalePoints&>(Dialog);
            Require(Point.windowTitle() == "Second scaling point", "not the second point's dialog");
            Require(Point.chkXLog->isVisible() && !Point.chkXLog->isChecked() &&
                        !Point.chkYLog->isChecked(),
                    "the Logarithmic boxes are not shown unticked");
            Point.txtX->setText(QString::number(Chart.SecondValue.x()));
            Point.txtY->setText(QString::number(Chart.SecondValue.y()));
            Pump(200);
            Out.Save("second-scaling-point.png", W.GrabWithDialogs({&Dialog}));
            Point.cmdOK->click();
        });
        W.Click(Chart.Second);
        Catch.Check();
    }
    Pump(200);
    Require(W->pzImage->ScaleDefined(), "the coordinate system was not defined");

    // Units, through the real dialog.
    {
        TModalDialogCatcher Catch([&](QDialog& Dialog) {
            auto& Units = dynamic_cast<TfrmPointDialog&>(Dialog);
            Units.txtX->setText("s");
            Units.txtY->setText("V");
            Pump(100);
            Out.Save("units-dialog.png", FramedWindow(Dialog));
            Units.btnOK->click();
        });
        W->actEditUnits->Execute();
        Catch.Check();
    }
    // Formats: only shown, then cancelled.
    if (Out.Wants("formats-dialog.png")) {
        TModalDialogCatcher Catch([&](QDialog& Dialog) {
            auto& Formats = dynamic_cast<TfrmFormatDialog&>(Dialog);
            Formats.rdoXFloatingPoint->setChecked(true);
            Formats.updXPrecision->setValue(3);
            Formats.rdoYScientific->setChecked(true);
            Formats.updYPrecision->setValue(3);
            Formats.chkDefault->setChecked(false);
            Pump(100);
            Out.Save("formats-dialog.png", FramedWindow(Dialog));
            Formats.btnCancel->click();
        });
        W->actEditFormats->Execute();
        Catch.Check();
    }

    // The two lines.
    W.SetFastFollower();
    TLine& Blue = W.FollowNewLine(Chart.StartPixel("blue"));
    NameLine(W, "Blue curve", "Blue");
    TLine& Red = W.FollowNewLine(Chart.StartPixel("red"));
    NameLine(W, "Red curve", "Red");
    W->lbDigs->setCurrentRow(0);
    Pump(200);
    Require(W->CurrentDigitization() == &Blue, "Blue curve is not the current data set");

    W->actViewZoomToFit->Execute();
    W.MoveTo(Chart.PixelOf(TruthNear(Chart, "blue", 6)));
    Pump(300);
    Require(W->CoordinatesText().startsWith("X:"), "the coordinates line is empty");
    Out.Save("main-window.png", W.Grab(true));

    // The line's dialogs, shown and cancelled.
    if (Out.Wants("line-properties.png")) {
        W.Dialogs.OnLineProperties = [&](TfrmLineProperties& Dialog) {
            Require(Dialog.TrackingColorSet, "the line has no tracking colour");
            ShowDialog(Dialog);
            Out.Save("line-properties.png", FramedWindow(Dialog));
            return false;
        };
        W->actDataProperties->Execute();
        W.Dialogs.OnLineProperties = nullptr;
    }
    if (Out.Wants("calculation-dialog.png")) {
        W.Dialogs.OnCalculation = [&](TfrmCalculationDialog& Dialog) {
            Dialog.SelectFirst(dynamic_cast<TFunctionalLine*>(&Blue));
            Choose(*Dialog.cboOperation, "minus");
            Choose(*Dialog.cboDigitization2, "Red curve");
            Require(Dialog.FirstLine() == &Blue && Dialog.SecondLine() == &Red,
                    "the calculation's lines are not chosen");
            ShowDialog(Dialog);
            Out.Save("calculation-dialog.png", FramedWindow(Dialog));
            return false;
        };
        W->actDataCalculate->Execute();
        W.Dialogs.OnCalculation = nullptr;
    }
    if (Out.WantsAny({"export-dialog.png", "export-template-editor.png"})) {
        W.Dialogs.OnExport = [&](TfrmExportData& Dialog) {
            Choose(*Dialog.cboTemplateName, "Comma-separated with header");
            Dialog.rdoExportAllPoints->setChecked(true);
            Dialog.chkExportToClipboard->setChecked(false);
            ShowDialog(Dialog);
            Require(Dialog.gbPreview->isVisible(), "the preview is not shown");
            Out.Save("export-dialog.png", FramedWindow(Dialog));
            Dialog.cmdEditTemplate->click();
            Dialog.tcTemplate->setCurrentIndex(TfrmExportData::tabHeader);
            Pump(TfrmExportData::LivePreviewDelay + 300);
            Require(Dialog.gbTemplate->isVisible(), "the template editor is not shown");
            Out.Save("export-template-editor.png", FramedWindow(Dialog));
            return false;
        };
        W->actDataExport->Execute();
        W.Dialogs.OnExport = nullptr;
    }

    // Select By Area: the points from X = 4 to X = 7.
    if (Out.Wants("select-by-area.png")) {
        double Low = 1e9, High = -1e9;
        for (const QPointF P : Chart.Truth("blue"))
            if (P.x() >= 4 && P.x() <= 7) {
                Low = std::min(Low, P.y());
                High = std::max(High, P.y());
            }
        const QPoint From = Chart.PixelOf({4, High}) - QPoint(0, 25);
        const QPoint To = Chart.PixelOf({7, Low}) + QPoint(0, 25);
        W->actDataSelectByArea->Execute();
        W.Drag(From, To);
        Pump(200);
        const TPointSelection& Selected = Blue.Selection();
        Require(Selected.Count() > 50, "too few points were selected");
        // The grid scrolled to the first selected row, as the user would.
        W->dgDigData->SetTopRow(std::max(1, Selected.SortedItems().front() + 1 - 3));
        Pump(200);
        Out.Save("select-by-area.png", W.Grab(true));
        W->App().ModeManager().EndMode();
        W->actDataSelectNone->Execute();
        Pump(100);
    }

    // The cubic spline through the blue line, from its first X in steps of 1.
    if (Out.Wants("spline-panel.png")) {
        Choose(*W->cboCurveApproximator, "Cubic spline");
        emit W->cboCurveApproximator->activated(W->cboCurveApproximator->currentIndex());
        Pump(200);
        auto* Panel = dynamic_cast<TCubicSplineParamPanel*>(W->LineDataPanel().ParamPanel());
        Require(Panel != nullptr, "no cubic spline panel");
        Panel->IncrementEdit()->setText("1");
        Panel->ApplyButton()->click();
        Pump(200);
        Require(Panel->StartEdit()->text() == ".23" && Panel->IncrementEdit()->text() == "1.00",
                "the spline panel shows " + Panel->StartEdit()->text().toStdString() + " and " +
                    Panel->IncrementEdit()->text().toStdString());
        Out.Save("spline-panel.png", W->pnlData->grab().toImage());
    }
}

// ---------------------------------------------------------------------------------------------
// The follower at work, slowly, on the blue curve.

void MakeLineFollowing(TPictureSet& Out, const TSources& Sources) {
    const TBenchChart Chart(Sources.SharedDir, CurvesChart);
    TShotWindow W;
    W.Open(Chart.ImageFile());
    W.DefineCoordinateSystem(Chart);
    W.CentreOn((Chart.First + Chart.Second) / 2);
    W->actDigitizeNewFunctionalLine->Execute();
    auto* Line = dynamic_cast<TLine*>(W->CurrentDigitization());
    Require(Line != nullptr, "no new functional line");
    auto* Mode = W->App().ModeManager().FindMode<TLineMode>();
    Require(Mode && Mode->SpeedBar(), "no speed control");
    // Near Slow: a point every quarter second.
    Mode->SpeedBar()->setValue(50);
    const QPoint Start = Chart.StartPixel("blue");
    const int Half = (Chart.PixelOf(Chart.Truth("blue").back()).x() - Start.x()) / 2;
    W.Click(Start);
    W.LeaveImage();
    Require(PumpUntil([&] { return Line->Count() >= Half || !Line->Following(); }, 240),
            "the follower is too slow");
    Require(Line->Following(), "the follower stopped early");
    Pump(100);
    Require(W->stbHintsText->text().startsWith("LINE DIGITIZING: Press Escape"),
            "the status bar does not show the running follower");
    Out.Save("line-following.png", W.Grab());
    W->actDigitizePause->Execute();
    W.WaitForRunEnd(*Line);
}

// ---------------------------------------------------------------------------------------------
// Painting: part of a label that crosses a thick curve erased.

void MakePainting(TPictureSet& Out, const TSources& Sources) {
    const TBenchChart Chart(Sources.SharedDir, "p09_thick_line_and_labels");
    TShotWindow W;
    W.Open(Chart.ImageFile());
    // The label "onset" lies at columns 325 to 375, rows 380 to 391; the curve crosses it
    // between its "n" and its "e".
    W->actViewZoomToArea->Execute();
    W.Drag({240, 330}, {470, 450});
    Pump(200);
    Require(W->App().ModeManager().CurrentMode() == nullptr, "Zoom To Area did not end");

    W->actEditPaint->Execute();
    auto* Mode = W->App().ModeManager().FindMode<TPaintingMode>();
    Require(Mode && Mode->ModeCombo && Mode->PenSizeEdit, "no painting controls");
    // Chosen in the status bar's box, as with the mouse.
    Choose(*Mode->ModeCombo, "Erasing");
    emit Mode->ModeCombo->activated(Mode->ModeCombo->currentIndex());
    Mode->PenSizeEdit->setValue(8);
    Pump(100);
    Require(W->pzImage->PaintMode() == TKorvanePanel::pmErasing && W->pzImage->PenWidth() == 8,
            "the pen is not the 8-pixel eraser");
    // Pen down, over the "o" and the "n"'s stem and back below, pen up: the curve is left.
    W.Click({327, 383});
    for (const QPoint P : {QPoint(330, 383), QPoint(333, 383), QPoint(336, 383), QPoint(336, 386),
                           QPoint(336, 388), QPoint(333, 388), QPoint(330, 388)})
        W.MoveTo(P);
    W.Click({327, 388});
    Require(!W->pzImage->View().PenDown(), "the pen is still down");
    Require(W->pzImage->Image().pixel(329, 382) == qRgb(255, 255, 255) &&
                W->pzImage->Image().pixel(329, 391) == qRgb(255, 255, 255),
            "the label was not erased");
    W.MoveTo({360, 420});
    Pump(200);
    Require(W->stbHintsText->text().startsWith("Pen is up."), "the status bar shows no pen");
    Out.Save("painting.png", W.Grab(true));
}

// ---------------------------------------------------------------------------------------------
// Eliminate Grid: the preview on a chart whose grid has the colour of its curve.

void MakeEliminateGrid(TPictureSet& Out, const TSources& Sources) {
    const TBenchChart Chart(Sources.SharedDir, "p07_black_grid_same_colour");
    TShotWindow W;
    W.Open(Chart.ImageFile());
    W.DefineCoordinateSystem(Chart);
    // The plot area, frame and all, at actual size: the image area is about as tall as the
    // plot area (Zoom To Area zooms to the band's width, which would cut its bottom off).
    W->actViewActualSize->Execute();
    W.CentreOn((Chart.First + Chart.Second) / 2);
    W.Dialogs.OnEliminateGrid = [&](TfrmEliminateGrid& Dialog) {
        Require(Dialog.ShowPreview() && !Dialog.chkFrame->isChecked() &&
                    !Dialog.chkTicks->isChecked(),
                "the choices are not the defaults");
        Require(Dialog.lblResult->text().contains("lines found"), "no grid lines were found");
        ShowDialog(Dialog);
        // Over the lower right corner of the window, where it hides least of the chart.
        Dialog.move(TShotWindow::Width - Dialog.width() - 12,
                    TShotWindow::Height - Dialog.height() - 36);
        Pump(300);
        Out.Save("eliminate-grid.png", W.GrabWithDialogs({&Dialog}));
        return false;
    };
    W->actEditEliminateGrid->Execute();
    W.Dialogs.OnEliminateGrid = nullptr;
}

// ---------------------------------------------------------------------------------------------
// A scatter of ten circle markers.

void MakeScatter(TPictureSet& Out, const TSources& Sources) {
    const TBenchChart Chart(Sources.SharedDir, "p13_scatter");
    TShotWindow W;
    W.Open(Chart.ImageFile());
    W.DefineCoordinateSystem(Chart);
    W.CentreOn((Chart.First + Chart.Second) / 2);
    W->actDigitizeNewScatter->Execute();
    auto* Scatter = dynamic_cast<TScatter*>(W->CurrentDigitization());
    Require(Scatter != nullptr, "no new scatter");
    W.Dialogs.OnScatterProperties = [&](TfrmScatterProperties& Dialog) {
        Dialog.txtName->setText("Circles");
        Choose(*Dialog.cboColor, "Red");
        Dialog.cboStyle->setCurrentIndex(Dialog.cboStyle->findData("TRingMarker"));
        Dialog.updRadius->setValue(6);
        return true;
    };
    W->actDataProperties->Execute();
    Require(Scatter->Name() == "Circles", "the scatter was not renamed");

    // Ten markers from left to right; the pointer rests on one of the others.
    std::vector<QPointF> Centres = Chart.Truth("circles");
    std::sort(Centres.begin(), Centres.end(), [](QPointF A, QPointF B) { return A.x() < B.x(); });
    Require(Centres.size() >= 12, "too few circles in the chart");
    const std::size_t Last = Centres.size() - 1;
    for (std::size_t K = 0; K < 10; ++K) {
        const QPoint P = Chart.PixelOf(Centres[K * Last / 9]);
        W.ScrollToShow(P);
        W.Click(P);
    }
    Require(Scatter->Count() == 10, "the scatter does not have ten points");
    W.CentreOn((Chart.First + Chart.Second) / 2);
    W.MoveTo(Chart.PixelOf(Centres[Last / 9 + 1]));
    Pump(200);
    Out.Save("scatter.png", W.Grab(true));

    if (Out.Wants("scatter-properties.png")) {
        W.Dialogs.OnScatterProperties = [&](TfrmScatterProperties& Dialog) {
            ShowDialog(Dialog);
            Out.Save("scatter-properties.png", FramedWindow(Dialog));
            return false;
        };
        W->actDataProperties->Execute();
    }
    W.Dialogs.OnScatterProperties = nullptr;
}

// ---------------------------------------------------------------------------------------------
// The page dialog of a PDF.

void MakePdfPage(TPictureSet& Out, const TSources& Sources) {
    const QString File = Sources.SourceDir + "/tests/data/pdf/three_pages.pdf";
    const QSizeF Page = TPdfDocument::Open(File.toStdString()).PageSize(2);
    TShotWindow W;
    bool Shown = false;
    W.Dialogs.OnPdfPage = [&](TfrmPdfPage& Dialog) {
        ShowDialog(Dialog);
        Dialog.lstPages->setCurrentRow(1);
        Require(PumpUntil([&] { return Dialog.PicturesRendered() >= Dialog.lstPages->count() + 1; },
                          30),
                "the page pictures did not come");
        Require(Dialog.Spec().Page == 2 && Dialog.Spec().Dpi == 300, "not page 2 at 300 dpi");
        // A rectangle over the middle half of the page, which the view shows as large as it
        // fits, 4 pixels from its edges at least.
        QWidget& View = *Dialog.pbCrop;
        const QSizeF Fitted = Page.scaled(QSizeF(View.size()) - QSizeF(8, 8), Qt::KeepAspectRatio);
        const QPointF Corner((View.width() - Fitted.width()) / 2,
                             (View.height() - Fitted.height()) / 2);
        const QPoint From = (Corner + QPointF(Fitted.width() / 4, Fitted.height() / 4)).toPoint();
        const QPoint To =
            (Corner + QPointF(Fitted.width() * 3 / 4, Fitted.height() * 3 / 4)).toPoint();
        SendMouse(View, QEvent::MouseButtonPress, From);
        for (int I = 1; I <= 6; ++I)
            SendMouse(View, QEvent::MouseMove, From + (To - From) * I / 6);
        SendMouse(View, QEvent::MouseButtonRelease, To);
        Pump(300);
        Require(Dialog.Spec().Crop.has_value(), "no part of the page was chosen");
        Require(Dialog.lblSize->styleSheet().isEmpty(), "the size line reports a problem");
        Out.Save("pdf-page-dialog.png", FramedWindow(Dialog));
        Shown = true;
        return false;
    };
    W.Dialogs.OpenFile = File;
    W->actFileOpen->Execute();
    Require(Shown, "the PDF page dialog was not shown");
}

} // namespace

const std::vector<TPictureGroup>& PictureGroups() {
    // The line followed slowly comes first: its default name is the first of the program's run.
    static const std::vector<TPictureGroup> Groups = {
        {{"line-following.png"}, MakeLineFollowing},
        {{"settings-digitizing.png", "settings-painting.png", "magnifier.png",
          "second-scaling-point.png", "units-dialog.png", "formats-dialog.png", "main-window.png",
          "line-properties.png", "calculation-dialog.png", "export-dialog.png",
          "export-template-editor.png", "select-by-area.png", "spline-panel.png"},
         MakeCurves},
        {{"painting.png"}, MakePainting},
        {{"eliminate-grid.png"}, MakeEliminateGrid},
        {{"scatter.png", "scatter-properties.png"}, MakeScatter},
        {{"pdf-page-dialog.png"}, MakePdfPage},
    };
    return Groups;
}

} // namespace korvane::shots
