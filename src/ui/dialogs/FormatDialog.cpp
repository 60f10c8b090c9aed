#include "ui/dialogs/FormatDialog.h"

#include "ui/common/DialogButtons.h"
#include "ui/common/HelpUtils.h"
#include "ui/common/SupportWidgets.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QVBoxLayout>

namespace korvane {

namespace {

const int HelpContextDialog = 500;

struct TAxisControls {
    QGroupBox* Group;
    QRadioButton* Scientific;
    QRadioButton* FloatingPoint;
    QSpinBox* Precision;
};

TAxisControls BuildAxis(QWidget& Form, const QString& Caption, int FirstHelpContext) {
    TAxisControls C;
    C.Group = new QGroupBox(Caption, &Form);
    C.Scientific = new QRadioButton(QStringLiteral("Scientific"), C.Group);
    C.FloatingPoint = new QRadioButton(QStringLiteral("Floating point"), C.Group);
    auto* Label = new QLabel(QStringLiteral("Precision:"), C.Group);
    C.Precision = new TUpDownEdit(C.Group);
    C.Precision->setRange(0, TCoordFormat::MaxPrecision);
    C.Precision->setMinimumWidth(50);
    Label->setBuddy(C.Precision);
    SetHelpContext(*C.Scientific, FirstHelpContext);
    SetHelpContext(*C.FloatingPoint, FirstHelpContext + 1);
    SetHelpContext(*C.Precision, FirstHelpContext + 2);

    auto* PrecisionRow = new QHBoxLayout;
    PrecisionRow->addWidget(Label);
    PrecisionRow->addWidget(C.Precision);
    PrecisionRow->addStretch();
    auto* Layout = new QVBoxLayout(C.Group);
    Layout->addWidget(C.Scientific);
    Layout->addWidget(C.FloatingPoint);
    Layout->addLayout(PrecisionRow);
    return C;
}

void ShowFormat(const TCoordFormat& Format, QRadioButton& Scientific, QRadioButton& FloatingPoint,
                QSpinBox& Precision) {
    Precision.setValue(Format.Precision);
    (Format.FloatingPoint ? FloatingPoint : Scientific).setChecked(true);
}

void ReadFormat(TCoordFormat& Format, const QRadioButton& Scientific, QSpinBox& Precision) {
    ValidateUpDownEdit(Precision);
    Format.Precision = Precision.value();
    Format.FloatingPoint = !Scientific.isChecked();
}

} // namespace

TfrmFormatDialog::TfrmFormatDialog(QWidget* Parent) : QDialog(Parent, HelpDialogFlags) {
    setWindowTitle(QStringLiteral("Formats"));
    setModal(true);
    SetHelpContext(*this, HelpContextDialog);

    const TAxisControls X = BuildAxis(*this, QStringLiteral("X Axis"), 1201);
    const TAxisControls Y = BuildAxis(*this, QStringLiteral("Y Axis"), 1204);
    grpX = X.Group;
    rdoXScientific = X.Scientific;
    rdoXFloatingPoint = X.FloatingPoint;
    updXPrecision = X.Precision;
    grpY = Y.Group;
    rdoYScientific = Y.Scientific;
    rdoYFloatingPoint = Y.FloatingPoint;
    updYPrecision = Y.Precision;

    chkDefault = new QCheckBox(QStringLiteral("Set as &default"), this);
    SetHelpContext(*chkDefault, 1207);

    const TDialogButtons Buttons(*this, HelpContextDialog);
    btnOK = Buttons.OK;
    btnCancel = Buttons.Cancel;
    btnHelp = Buttons.Help;

    auto* Groups = new QHBoxLayout;
    Groups->addWidget(grpX);
    Groups->addWidget(grpY);
    auto* Main = new QVBoxLayout(this);
    Main->addLayout(Groups);
    Main->addWidget(chkDefault);
    Main->addSpacing(8);
    Main->addLayout(Buttons.Row);
    Main->setSizeConstraint(QLayout::SetFixedSize);

    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);

    SetFormats(FFormats);
}

void TfrmFormatDialog::SetFormats(const TCoordFormatPair& Formats) {
    ShowFormat(Formats.XFormat, *rdoXScientific, *rdoXFloatingPoint, *updXPrecision);
    ShowFormat(Formats.YFormat, *rdoYScientific, *rdoYFloatingPoint, *updYPrecision);
}

const TCoordFormatPair& TfrmFormatDialog::GetFormats() {
    ReadFormat(FFormats.XFormat, *rdoXScientific, *updXPrecision);
    ReadFormat(FFormats.YFormat, *rdoYScientific, *updYPrecision);
    return FFormats;
}

bool TfrmFormatDialog::SetAsDefault() const {
    return chkDefault->isChecked();
}

void TfrmFormatDialog::showEvent(QShowEvent* Event) {
    QDialog::showEvent(Event);
    if (!Event->spontaneous()) {
        adjustSize();
        CenterOnScreen(*this);
    }
}

} // namespace korvane
