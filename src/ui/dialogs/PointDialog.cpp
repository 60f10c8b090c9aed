#include "ui/dialogs/PointDialog.h"

#include "ui/common/DialogButtons.h"
#include "ui/common/HelpUtils.h"
#include "ui/common/SupportWidgets.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>

namespace korvane {

namespace {

const int HelpContextDialog = 1100;
const int FormWidth = 306;
const int FormHeight = 200;

} // namespace

TfrmPointDialog::TfrmPointDialog(QWidget* Parent) : QDialog(Parent, HelpDialogFlags) {
    setModal(true);
    SetHelpContext(*this, HelpContextDialog);

    lblX = new QLabel(QStringLiteral("X:"), this);
    txtX = new QLineEdit(this);
    lblY = new QLabel(QStringLiteral("Y:"), this);
    txtY = new QLineEdit(this);
    const TDialogButtons Buttons(*this, HelpContextDialog);
    btnOK = Buttons.OK;
    btnCancel = Buttons.Cancel;
    btnHelp = Buttons.Help;
    lblX->setBuddy(txtX);
    lblY->setBuddy(txtY);
    SetHelpContext(*txtX, 1101);
    SetHelpContext(*txtY, 1102);

    auto* Fields = new QFormLayout;
    Fields->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    Fields->addRow(lblX, txtX);
    Fields->addRow(lblY, txtY);

    auto* Main = new QVBoxLayout(this);
    Main->addLayout(Fields);
    Main->addStretch();
    Main->addLayout(Buttons.Row);
    // The right margin keeps the buttons clear of the size grip in the corner.
    const int Margin = 8;
    Main->setContentsMargins(Margin, Margin, SizeGripRect(*this).width() + 2, Margin);

    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);

    setMinimumWidth(FormWidth);
    setFixedHeight(FormHeight);
    resize(FormWidth, FormHeight);
    setMouseTracking(true);
    txtX->setFocus();
}

void TfrmPointDialog::SetXText(const std::string& Text) {
    txtX->setText(QString::fromStdString(Text));
}

std::string TfrmPointDialog::GetXText() const {
    return txtX->text().toStdString();
}

void TfrmPointDialog::SetYText(const std::string& Text) {
    txtY->setText(QString::fromStdString(Text));
}

std::string TfrmPointDialog::GetYText() const {
    return txtY->text().toStdString();
}

void TfrmPointDialog::showEvent(QShowEvent* Event) {
    QDialog::showEvent(Event);
    if (!Event->spontaneous())
        CenterOnScreen(*this);
}

void TfrmPointDialog::paintEvent(QPaintEvent* Event) {
    QDialog::paintEvent(Event);
    QPainter Painter(this);
    DrawSizeGrip(*this, Painter);
}

void TfrmPointDialog::resizeEvent(QResizeEvent* Event) {
    QDialog::resizeEvent(Event);
    InvalidateSizeGrip(*this);
}

void TfrmPointDialog::mousePressEvent(QMouseEvent* Event) {
    if (Event->button() == Qt::LeftButton &&
        SizeGripRect(*this).contains(Event->position().toPoint())) {
        // The window manager resizes when it can; otherwise the grip is followed by hand.
        QWindow* Window = windowHandle();
        if (!Window || !Window->startSystemResize(Qt::RightEdge)) {
            FSizing = true;
            FSizingStartX = Event->globalPosition().toPoint().x();
            FSizingStartWidth = width();
        }
        Event->accept();
        return;
    }
    QDialog::mousePressEvent(Event);
}

void TfrmPointDialog::mouseMoveEvent(QMouseEvent* Event) {
    if (FSizing) {
        const int Dx = Event->globalPosition().toPoint().x() - FSizingStartX;
        resize(std::max(minimumWidth(), FSizingStartWidth + Dx), height());
        Event->accept();
        return;
    }
    if (SizeGripRect(*this).contains(Event->position().toPoint()))
        setCursor(Qt::SizeHorCursor);
    else
        unsetCursor();
    QDialog::mouseMoveEvent(Event);
}

void TfrmPointDialog::mouseReleaseEvent(QMouseEvent* Event) {
    if (FSizing && Event->button() == Qt::LeftButton) {
        FSizing = false;
        Event->accept();
        return;
    }
    QDialog::mouseReleaseEvent(Event);
}

} // namespace korvane
