#include "ui/panel/Magnifier.h"

#include "image/ScaleSystem.h"

#include <QPainter>

namespace korvane {

TMagnifier::~TMagnifier() {
    if (FShown)
        FPanel.RemoveOverlay(this);
}

void TMagnifier::SetEnabled(bool Value) {
    FEnabled = Value;
    if (!Value)
        Hide();
}

TDeviceRect TMagnifier::Box() const {
    return FShown.value_or(TDeviceRect{});
}

void TMagnifier::PointerAt(TLongintPoint Device) {
    if (!FEnabled || !FPanel.HasImage()) {
        Hide();
        return;
    }
    const TLongintPoint PaintBox = FPanel.View().PaintBoxSize();
    // Below and right of the pointer, or on the other side where the paint box ends.
    std::int32_t Left = Device.X + Offset, Top = Device.Y + Offset;
    if (Left + Side > PaintBox.X)
        Left = Device.X - Offset - Side;
    if (Top + Side > PaintBox.Y)
        Top = Device.Y - Offset - Side;
    const TDeviceRect New{Left, Top, Left + Side, Top + Side};
    const std::optional<TDeviceRect> Old = FShown;
    FCentre = FPanel.CurrentScaleSystem().ScreenToImage(Device);
    FShown = New;
    if (!Old)
        FPanel.AddOverlay(this);
    if (Old)
        FPanel.RepaintDeviceRect({std::min(Old->Left, New.Left), std::min(Old->Top, New.Top),
                                  std::max(Old->Right, New.Right),
                                  std::max(Old->Bottom, New.Bottom)});
    else
        FPanel.RepaintDeviceRect(New);
}

void TMagnifier::PointerLeft() {
    Hide();
}

void TMagnifier::Hide() {
    if (!FShown)
        return;
    const TDeviceRect Old = *FShown;
    FShown.reset();
    FPanel.RemoveOverlay(this);
    FPanel.RepaintDeviceRect(Old);
}

void TMagnifier::DrawOverlay(QPainter& Canvas) {
    if (!FShown)
        return;
    const TDeviceRect& B = *FShown;
    const QImage& Image = FPanel.Image();
    Canvas.save();
    Canvas.setRenderHint(QPainter::SmoothPixmapTransform, false);
    Canvas.setRenderHint(QPainter::Antialiasing, false);
    Canvas.fillRect(B.Left, B.Top, Side, Side, Qt::white);
    // The part of the image around the centre, pixel for pixel; outside the image stays white.
    const QRect Around(FCentre.X - Reach, FCentre.Y - Reach, 2 * Reach + 1, 2 * Reach + 1);
    const QRect Inside = Around & Image.rect();
    if (!Inside.isEmpty())
        Canvas.drawImage(QRect(B.Left + (Inside.left() - Around.left()) * Zoom,
                               B.Top + (Inside.top() - Around.top()) * Zoom, Inside.width() * Zoom,
                               Inside.height() * Zoom),
                         Image, Inside);
    // The pixel under the pointer, outlined in red inside a white one, and the frame.
    const int Cell = Reach * Zoom;
    Canvas.setBrush(Qt::NoBrush);
    Canvas.setPen(QPen(Qt::white, 1));
    Canvas.drawRect(B.Left + Cell - 2, B.Top + Cell - 2, Zoom + 3, Zoom + 3);
    Canvas.setPen(QPen(Qt::red, 1));
    Canvas.drawRect(B.Left + Cell - 1, B.Top + Cell - 1, Zoom + 1, Zoom + 1);
    Canvas.setPen(QPen(QColor(64, 64, 64), 1));
    Canvas.drawRect(B.Left, B.Top, Side - 1, Side - 1);
    Canvas.restore();
}

} // namespace korvane
