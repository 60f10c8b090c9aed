#pragma once

#include <QDialog>

namespace korvane {

// A modal dialog of the program that draws a size grip in its bottom-right corner and opens
// centred on the screen. Dragging the grip widens it, and heightens it too when the dialog
// allows that (its minimum and maximum heights differ). The window manager does the resizing
// when it can; without one the grip is followed by hand.
class TSizeGripDialog : public QDialog {
public:
    explicit TSizeGripDialog(QWidget* Parent = nullptr);

protected:
    // The right margin a layout keeps so that its buttons stay clear of the grip.
    int GripMargin() const;

    void showEvent(QShowEvent* Event) override;
    void paintEvent(QPaintEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;

private:
    bool Heightens() const { return minimumHeight() != maximumHeight(); }

    // While the grip is dragged by hand: where the press was and the size then.
    bool FSizing = false;
    QPoint FSizingStart;
    QSize FSizingStartSize;
};

} // namespace korvane
