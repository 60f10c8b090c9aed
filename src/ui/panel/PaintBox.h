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
    void enterEvent(QEnterEvent*) override;
    void leaveEvent(QEvent*) override;

private:
    TKorvanePanel& FOwner;
    bool FClickPending = false;
};

} // namespace korvane
