#pragma once

#include <QWidget>

namespace korvane {

class TKorvanePanel;

// The image panel's paint box: shows the composed view and reports the mouse to the view.
class TPaintBox : public QWidget {
public:
    explicit TPaintBox(TKorvanePanel& Owner);

protected:
    void paintEvent(QPaintEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    // Scrolls (Shift: sideways); with Ctrl zooms by the program's steps around the pointer.
    void wheelEvent(QWheelEvent* Event) override;
    void enterEvent(QEnterEvent*) override;
    void leaveEvent(QEvent*) override;

private:
    TKorvanePanel& FOwner;
    bool FClickPending = false;
    // Wheel turns below a whole notch, kept until they make one (zooming goes by notches).
    int FZoomAngle = 0;
};

} // namespace korvane
