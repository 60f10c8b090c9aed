#include "ui/panel/KorvanePanel.h"

#include "ui/panel/PaintBox.h"

#include <QGuiApplication>
#include <QPixmap>
#include <algorithm>
#include <cmath>
#include <memory>

// The cursors drawn in code: the cross-hairs with a sign, the eyedropper and the pen's
// outline; and the paint box's cursor.

namespace korvane {

namespace {

// The size of the most recently built pen cursor (cursor number 5): the pen's size on the
// screen plus 2, at most the cursor's 32 pixels.
int GPenCursorSize = 3;

// A cursor from its 32 x 32 picture; on a high-density screen the picture is enlarged pixel
// for pixel to the screen's scale, so that the cursor is neither tiny nor blurred.
QCursor CursorFromImage(const QImage& Image, int HotX, int HotY) {
    const int Scale = std::max(1, static_cast<int>(std::lround(qApp->devicePixelRatio())));
    if (Scale == 1)
        return QCursor(QPixmap::fromImage(Image), HotX, HotY);
    QImage Large =
        Image.scaled(Image.size() * Scale, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    Large.setDevicePixelRatio(Scale);
    return QCursor(QPixmap::fromImage(Large), HotX, HotY);
}

// Black strokes get a one-pixel white halo, so that the cursor shows on any background.
QCursor CursorFromShape(QImage& Shape, int HotX, int HotY) {
    QImage Out = Shape.copy();
    const QRgb Black = qRgba(0, 0, 0, 255);
    const QRgb White = qRgba(255, 255, 255, 255);
    for (int Y = 0; Y < Shape.height(); ++Y)
        for (int X = 0; X < Shape.width(); ++X) {
            if (qAlpha(Shape.pixel(X, Y)) != 0)
                continue;
            bool Near = false;
            for (int Dy = -1; Dy <= 1 && !Near; ++Dy)
                for (int Dx = -1; Dx <= 1 && !Near; ++Dx) {
                    const int NX = X + Dx, NY = Y + Dy;
                    Near = NX >= 0 && NY >= 0 && NX < Shape.width() && NY < Shape.height() &&
                           Shape.pixel(NX, NY) == Black;
                }
            if (Near)
                Out.setPixel(X, Y, White);
        }
    return CursorFromImage(Out, HotX, HotY);
}

// The cursors 6 .. 13: a cross-hair with a small sign at its top right, and the eyedropper.
QCursor ShapeCursor(std::int16_t Number) {
    QImage Shape(32, 32, QImage::Format_ARGB32);
    Shape.fill(Qt::transparent);
    QPainter P(&Shape);
    P.setPen(QPen(Qt::black, 1));
    P.setBrush(Qt::NoBrush);
    if (Number == 12) { // EYEDROPPER: the tip at the bottom left is the hot spot
        P.setPen(QPen(Qt::black, 2, Qt::SolidLine, Qt::FlatCap));
        P.drawLine(3, 28, 20, 11);
        P.setPen(QPen(Qt::black, 1));
        P.drawPoint(2, 29);
        P.drawLine(17, 10, 21, 14);
        P.setBrush(Qt::black);
        P.drawEllipse(QRect(21, 4, 6, 6));
        P.end();
        return CursorFromShape(Shape, 2, 29);
    }
    P.drawLine(15, 2, 15, 12);
    P.drawLine(15, 18, 15, 28);
    P.drawLine(2, 15, 12, 15);
    P.drawLine(18, 15, 28, 15);
    P.drawPoint(15, 15);
    switch (Number) {
    case 6: // CROSSPLUS
        P.drawLine(22, 5, 28, 5);
        P.drawLine(25, 2, 25, 8);
        break;
    case 7: // CROSSMINUS
        P.drawLine(22, 5, 28, 5);
        break;
    case 8: // CROSSZOOM: a magnifier
        P.drawEllipse(QRect(23, 2, 6, 6));
        P.drawLine(22, 8, 20, 10);
        break;
    case 9: // CROSSSELECT: a dotted box
        P.setPen(QPen(Qt::black, 1, Qt::DotLine));
        P.drawRect(QRect(20, 2, 9, 7));
        break;
    case 10: // CROSSERASE: an eraser block
        P.fillRect(QRect(21, 3, 8, 5), Qt::black);
        break;
    case 11: // CROSSLEFTRIGHT: a double-headed arrow
        P.drawLine(20, 5, 30, 5);
        P.drawLine(21, 4, 21, 6);
        P.drawLine(22, 3, 22, 7);
        P.drawLine(29, 4, 29, 6);
        P.drawLine(28, 3, 28, 7);
        break;
    default: // 13 CROSSBASIC
        break;
    }
    P.end();
    return CursorFromShape(Shape, 15, 15);
}

// The pen cursor: the one-pixel outline of the square from (32 - S) div 2 to (32 + S) div 2
// (right and bottom edge left out) around the hot spot (16, 16), in alternating black and
// white pixels, so that it shows on any background like an inverted outline.
QCursor PenCursorOfSize(int S) {
    S = std::clamp(S, 2, 32);
    QImage Img(32, 32, QImage::Format_ARGB32);
    Img.fill(Qt::transparent);
    const int A = (32 - S) / 2;
    const int B = (32 + S) / 2 - 1;
    for (int Y = A; Y <= B; ++Y)
        for (int X = A; X <= B; ++X)
            if (X == A || X == B || Y == A || Y == B)
                Img.setPixel(X, Y, ((X + Y) & 1) ? qRgba(255, 255, 255, 255) : qRgba(0, 0, 0, 255));
    return CursorFromImage(Img, 16, 16);
}

} // namespace

QCursor TKorvanePanel::CursorOf(std::int16_t Number) {
    switch (Number) {
    case 5:
        return PenCursorOfSize(GPenCursorSize);
    case 6:
    case 7:
    case 8:
    case 9:
    case 10:
    case 11:
    case 12:
    case 13:
        return ShapeCursor(Number);
    case CursorSizeAll:
        return QCursor(Qt::SizeAllCursor);
    case -3:
        return QCursor(Qt::CrossCursor);
    case -4:
        return QCursor(Qt::IBeamCursor);
    case -11:
        return QCursor(Qt::WaitCursor);
    case -21:
        return QCursor(Qt::PointingHandCursor);
    default:
        return QCursor(Qt::ArrowCursor);
    }
}

QCursor TKorvanePanel::PenCursor() const {
    return FPenCursor ? *FPenCursor : CursorOf(5);
}

void TKorvanePanel::SetPaintBoxCursor(std::int16_t Number) {
    FPaintBox->setCursor(Number == 5 ? PenCursor() : CursorOf(Number));
}

void TKorvanePanel::RebuildPenCursor() {
    // The pen's width on the screen and a pixel on either side; a pen wider than the cursor
    // shows as the cursor's border.
    const std::int64_t S = FView.PenWidthOnScreen(FPenWidth) + 2;
    GPenCursorSize = static_cast<int>(std::clamp<std::int64_t>(S, 2, 32));
    FPenCursor = std::make_unique<QCursor>(PenCursorOfSize(GPenCursorSize));
    // Shown while painting; built earlier it would otherwise be saved with the states that
    // painting pushes and come back after painting ends.
    if (FView.Painting() || FView.PaintBoxCursor() == 5)
        FView.SetPaintBoxCursor(5);
}

} // namespace korvane
