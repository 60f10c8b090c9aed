#include "ui/dialogs/PointDialog.h"

#include "ui/common/DialogButtons.h"
#include "ui/common/HelpUtils.h"
#include "ui/common/SizeGripDialog.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace korvane {

namespace {

const int HelpContextDialog = 1100;
const int FormWidth = 306;
const int FormHeight = 200;

} // namespace

TfrmPointDialog::TfrmPointDialog(QWidget* Parent) : TSizeGripDialog(Parent) {
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
    const int Margin = 8;
    Main->setContentsMargins(Margin, Margin, GripMargin(), Margin);

    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);

    setMinimumWidth(FormWidth);
    setFixedHeight(FormHeight);
    resize(FormWidth, FormHeight);
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

} // namespace korvane
