#include "ui/panel/PaintBox.h"

#include "ui/panel/KorvanePanel.h"
#include "ui/panel/Magnifier.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QWheelEvent>
#include <cmath>

namespace korvane {

namespace {

int ButtonOf(Qt::MouseButton Button) {
    switch (Button) {
    case Qt::LeftButton:
        return 1;
    case Qt::RightButton:
        return 2;
    case Qt::MiddleButton:
        return 3;
    default:
        return 0;
    }
}

unsigned ShiftOf(const QInputEvent* Event) {
    return static_cast<unsigned>(Event->modifiers().toInt());
}

TLongintPoint PointOf(const QMouseEvent* Event) {
    const QPointF P = Event->position();
    return {static_cast<std::int32_t>(std::floor(P.x())),
            static_cast<std::int32_t>(std::floor(P.y()))};
}

} // namespace

TPaintBox::TPaintBox(TKorvanePanel& Owner) : QWidget(&Owner), FOwner(Owner) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
}

void TPaintBox::paintEvent(QPaintEvent* Event) {
    QPainter Painter(this);
    FOwner.PaintBoxPaint(Painter, Event->rect());
}

void TPaintBox::mousePressEvent(QMouseEvent* Event) {
    if (Event->button() == Qt::LeftButton)
        FClickPending = true;
    FOwner.FView.MouseDown(PointOf(Event), ButtonOf(Event->button()), ShiftOf(Event));
}

void TPaintBox::mouseMoveEvent(QMouseEvent* Event) {
    const TLongintPoint P = PointOf(Event);
    FOwner.FMouseDevice = P;
    FOwner.FView.MouseMove(P, ShiftOf(Event));
    FOwner.FMagnifier->PointerAt(P);
}

void TPaintBox::mouseReleaseEvent(QMouseEvent* Event) {
    const TLongintPoint P = PointOf(Event);
    if (Event->button() == Qt::LeftButton && FClickPending) {
        FClickPending = false;
        if (rect().contains(P.X, P.Y))
            FOwner.FView.Click();
    }
    FOwner.FView.MouseUp(P, ButtonOf(Event->button()), ShiftOf(Event));
}

void TPaintBox::wheelEvent(QWheelEvent* Event) {
    constexpr int Notch = 120;      // eighths of a degree
    constexpr int NotchPixels = 48; // paint-box pixels scrolled by one notch
    if (Event->modifiers() & Qt::ControlModifier) {
        FZoomAngle += Event->angleDelta().y();
        const int Steps = FZoomAngle / Notch;
        FZoomAngle -= Steps * Notch;
        if (Steps != 0) {
            const QPointF P = Event->position();
            // Turned away from the user: in.
            FOwner.FView.ZoomStepAt(Steps, {static_cast<std::int32_t>(std::floor(P.x())),
                                            static_cast<std::int32_t>(std::floor(P.y()))});
            FOwner.SyncScrollBars();
            FOwner.RepaintImage();
        }
        Event->accept();
        return;
    }
    QPoint Move = -Event->pixelDelta();
    if (Move.isNull())
        Move = -Event->angleDelta() * NotchPixels / Notch;
    if (Event->modifiers() & Qt::ShiftModifier)
        Move = QPoint(Move.y() != 0 ? Move.y() : Move.x(), 0);
    FOwner.FView.ScrollByDevice(Move.x(), Move.y());
    FOwner.SyncScrollBars();
    Event->accept();
}

void TPaintBox::enterEvent(QEnterEvent*) {
    FOwner.FView.MouseEnter();
}

void TPaintBox::leaveEvent(QEvent*) {
    FOwner.FView.MouseLeave();
    FOwner.FMagnifier->PointerLeft();
}

} // namespace korvane
