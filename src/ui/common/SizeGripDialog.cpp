#include "ui/common/SizeGripDialog.h"

#include "ui/common/HelpUtils.h"
#include "ui/common/SupportWidgets.h"

#include <QMouseEvent>
#include <QPainter>
#include <QShowEvent>
#include <QWindow>
#include <algorithm>

namespace korvane {

TSizeGripDialog::TSizeGripDialog(QWidget* Parent) : QDialog(Parent, HelpDialogFlags) {
    setModal(true);
    setMouseTracking(true);
}

int TSizeGripDialog::GripMargin() const {
    return SizeGripRect(*this).width() + 2;
}

void TSizeGripDialog::showEvent(QShowEvent* Event) {
    QDialog::showEvent(Event);
    if (!Event->spontaneous())
        CenterOnScreen(*this);
}

void TSizeGripDialog::paintEvent(QPaintEvent* Event) {
    QDialog::paintEvent(Event);
    QPainter Painter(this);
    DrawSizeGrip(*this, Painter);
}

void TSizeGripDialog::resizeEvent(QResizeEvent* Event) {
    QDialog::resizeEvent(Event);
    InvalidateSizeGrip(*this);
}

void TSizeGripDialog::mousePressEvent(QMouseEvent* Event) {
    if (Event->button() == Qt::LeftButton &&
        SizeGripRect(*this).contains(Event->position().toPoint())) {
        QWindow* Window = windowHandle();
        const Qt::Edges Edges =
            Heightens() ? Qt::Edges(Qt::RightEdge | Qt::BottomEdge) : Qt::Edges(Qt::RightEdge);
        if (!Window || !Window->startSystemResize(Edges)) {
            FSizing = true;
            FSizingStart = Event->globalPosition().toPoint();
            FSizingStartSize = size();
        }
        Event->accept();
        return;
    }
    QDialog::mousePressEvent(Event);
}

void TSizeGripDialog::mouseMoveEvent(QMouseEvent* Event) {
    if (FSizing) {
        const QPoint Moved = Event->globalPosition().toPoint() - FSizingStart;
        const int Height = Heightens() ? FSizingStartSize.height() + Moved.y() : height();
        resize(std::clamp(FSizingStartSize.width() + Moved.x(), minimumWidth(), maximumWidth()),
               std::clamp(Height, minimumHeight(), maximumHeight()));
        Event->accept();
        return;
    }
    if (SizeGripRect(*this).contains(Event->position().toPoint()))
        setCursor(Heightens() ? Qt::SizeFDiagCursor : Qt::SizeHorCursor);
    else
        unsetCursor();
    QDialog::mouseMoveEvent(Event);
}

void TSizeGripDialog::mouseReleaseEvent(QMouseEvent* Event) {
    if (FSizing && Event->button() == Qt::LeftButton) {
        FSizing = false;
        Event->accept();
        return;
    }
    QDialog::mouseReleaseEvent(Event);
}

} // namespace korvane
