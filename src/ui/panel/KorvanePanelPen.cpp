#include "ui/panel/KorvanePanel.h"

#include "core/Errors.h"

#include <algorithm>
#include <optional>
#include <string>

// Painting on the working image with the pen: the paint modes and their colours, the pen
// width, and the strokes with the part of the view they change.

namespace korvane {

const char* const TKorvanePanel::PaintModeNames[3] = {"Replacing", "Erasing", "Marking"};

void TKorvanePanel::UpdatePenColor() {
    switch (FPaintMode) {
    case pmErasing:
        FPenColor = FErasingColor;
        break;
    case pmMarking:
        FPenColor = InvertColor(ScaleColor(FMarkingColor, 1.05));
        break;
    default:
        FPenColor = FReplacingColor;
        break;
    }
}

void TKorvanePanel::SetPaintMode(int Mode) {
    if (Mode == FPaintMode)
        return;
    if (Mode < pmReplacing || Mode > pmMarking)
        throw EKorvane("Invalid paint mode: " + std::to_string(Mode));
    FPaintMode = Mode;
    UpdatePenColor();
}

// The pen follows a colour of its mode at once, painting or not, so that painting never
// starts with the colour the mode had before.
void TKorvanePanel::SetReplacingColor(TColor Color) {
    FReplacingColor = Color;
    if (FPaintMode == pmReplacing)
        UpdatePenColor();
}

void TKorvanePanel::SetErasingColor(TColor Color) {
    FErasingColor = Color;
    if (FPaintMode == pmErasing)
        UpdatePenColor();
}

void TKorvanePanel::SetMarkingColor(TColor Color) {
    FMarkingColor = Color;
    if (FPaintMode == pmMarking)
        UpdatePenColor();
}

void TKorvanePanel::SetPenWidth(std::int32_t Width) {
    if (!HasImage())
        return;
    FPenWidth = FView.LimitedPenWidth(Width);
    if (FView.Painting())
        RebuildPenCursor();
    FView.NotifyPenWidthChanged();
}

void TKorvanePanel::StrokeTo(TLongintPoint Master) {
    if (FView.NewStroke()) {
        FPenPos = Master;
        FLastStrokeDevice = FMouseDevice;
        FView.SetNewStroke(false);
        return;
    }
    const TLongintPoint From = FPenPos;
    DrawStroke(From, Master);
    FPenPos = Master;

    const std::optional<TDeviceRect> Changed =
        FView.StrokeRepaintRect(From, Master, FLastStrokeDevice, FMouseDevice, FPenWidth);
    if (!Changed)
        return;
    FLastStrokeDevice = FMouseDevice;
    RepaintDeviceRect(*Changed);
}

void TKorvanePanel::DrawStroke(TLongintPoint From, TLongintPoint To) {
    if (FImage.isNull())
        return;
    const int Reach = TPanZoomView::PenReach(FPenWidth);
    const QRect Box =
        QRect(QPoint(std::min(From.X, To.X) - Reach, std::min(From.Y, To.Y) - Reach),
              QPoint(std::max(From.X, To.X) + Reach, std::max(From.Y, To.Y) + Reach)) &
        FImage.rect();
    if (Box.isEmpty())
        return;
    if (BeforePainting)
        BeforePainting(Box);
    // The pen's coverage, drawn as a mask, so that every mode changes exactly these pixels.
    // The pen runs through the pixels' centres; a stroke that does not move leaves a round dot.
    QImage Mask(Box.size(), QImage::Format_Grayscale8);
    Mask.fill(0);
    if (From == To) {
        // In floating point: the square of a wide pen overflows an int.
        const double Radius2 = static_cast<double>(FPenWidth) * FPenWidth / 4.0;
        for (int Y = 0; Y < Box.height(); ++Y)
            for (int X = 0; X < Box.width(); ++X) {
                const double Dx = Box.left() + X - From.X, Dy = Box.top() + Y - From.Y;
                if (Dx * Dx + Dy * Dy <= Radius2)
                    Mask.scanLine(Y)[X] = 255;
            }
    } else {
        QPainter P(&Mask);
        P.setRenderHint(QPainter::Antialiasing, false);
        P.setPen(QPen(Qt::white, FPenWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        P.translate(0.5 - Box.left(), 0.5 - Box.top());
        P.drawLine(QPointF(From.X, From.Y), QPointF(To.X, To.Y));
    }
    // Merge-not-pen ORs the inverse of the pen into each channel; the others copy the pen.
    const bool Merge = PenMerges();
    const TColor C = Merge ? InvertColor(FPenColor) : FPenColor;
    const uchar R = GetRValue(C), G = GetGValue(C), B = GetBValue(C);
    for (int Y = 0; Y < Box.height(); ++Y) {
        const uchar* M = Mask.constScanLine(Y);
        uchar* Pixel = FImage.scanLine(Box.top() + Y) + 3 * Box.left();
        for (int X = 0; X < Box.width(); ++X, Pixel += 3) {
            if (!M[X])
                continue;
            if (Merge) {
                Pixel[0] |= R;
                Pixel[1] |= G;
                Pixel[2] |= B;
            } else {
                Pixel[0] = R;
                Pixel[1] = G;
                Pixel[2] = B;
            }
        }
    }
}

} // namespace korvane
