#include "core/Errors.h"
#include "image/AxisMapping.h"
#include "ui/panel/KorvanePanel.h"

#include <algorithm>
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
    const TScaleSystem& V = FView.View();
    std::int64_t Limit = 31;
    if (ScaleDefined() && V.ViewportExt.X > 0)
        Limit = std::clamp<std::int64_t>(31LL * V.WindowExt.X / V.ViewportExt.X, 1, 65535);
    FPenWidth = Width <= 0 ? 1 : static_cast<std::int32_t>(std::min<std::int64_t>(Width, Limit));
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

    // The device rectangle spanning the two mouse positions, grown by the pen's size on the
    // screen; together with the blocks of the changed image pixels, which a mouse position
    // rounded to the neighbouring image pixel would leave out at high zoom.
    const TScaleSystem& V = FView.View();
    if (!MappingUsable(V))
        return;
    const std::int64_t Grow =
        CeilDiv(static_cast<std::int64_t>(FPenWidth) * V.ViewportExt.X, V.WindowExt.X) + 1;
    const TDeviceRect Span = NormalizedRect(FLastStrokeDevice, FMouseDevice);
    FLastStrokeDevice = FMouseDevice;
    QRect Changed(
        QPoint(static_cast<int>(Span.Left - Grow), static_cast<int>(Span.Top - Grow)),
        QPoint(static_cast<int>(Span.Right + Grow - 1), static_cast<int>(Span.Bottom + Grow - 1)));
    const int Reach = FPenWidth / 2 + 2;
    const TAxisMapping MX = HorzMapping(V), MY = VertMapping(V);
    const QRect Blocks(
        QPoint(static_cast<int>(MX.BlockStart(std::min(From.X, Master.X) - Reach)),
               static_cast<int>(MY.BlockStart(std::min(From.Y, Master.Y) - Reach))),
        QPoint(static_cast<int>(MX.BlockStart(std::max(From.X, Master.X) + Reach + 1)),
               static_cast<int>(MY.BlockStart(std::max(From.Y, Master.Y) + Reach + 1))));
    Changed |= Blocks;
    RepaintDeviceRect({Changed.left(), Changed.top(), Changed.right() + 1, Changed.bottom() + 1});
}

void TKorvanePanel::DrawStroke(TLongintPoint From, TLongintPoint To) {
    if (FImage.isNull())
        return;
    const int Reach = FPenWidth / 2 + 2;
    const QRect Box =
        QRect(QPoint(std::min(From.X, To.X) - Reach, std::min(From.Y, To.Y) - Reach),
              QPoint(std::max(From.X, To.X) + Reach, std::max(From.Y, To.Y) + Reach)) &
        FImage.rect();
    if (Box.isEmpty())
        return;
    // The pen's coverage, drawn as a mask, so that every mode changes exactly these pixels.
    // The pen runs through the pixels' centres; a stroke that does not move leaves a round dot.
    QImage Mask(Box.size(), QImage::Format_Grayscale8);
    Mask.fill(0);
    if (From == To) {
        const double Radius2 = FPenWidth * FPenWidth / 4.0;
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
