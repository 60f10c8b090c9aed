#include "ui/dialogs/EliminateGridDialog.h"

#include "ui/common/DialogButtons.h"
#include "ui/common/HelpUtils.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QShowEvent>
#include <QSlider>
#include <QVBoxLayout>

namespace korvane {

namespace {

const int HelpContextDialog = 2400;

} // namespace

TfrmEliminateGrid::TfrmEliminateGrid(QWidget* Parent) : QDialog(Parent, HelpDialogFlags) {
    setWindowTitle(QStringLiteral("Eliminate Grid"));
    setModal(true);
    SetHelpContext(*this, HelpContextDialog);

    chkFrame = new QCheckBox(QStringLiteral("Remove the &frame lines too"), this);
    chkTicks = new QCheckBox(QStringLiteral("Remove &tick marks on the frame"), this);
    auto* StrengthLabel = new QLabel(QStringLiteral("&Strength:"), this);
    trkStrength = new QSlider(Qt::Horizontal, this);
    trkStrength->setRange(10, 30); // tenths: 1.0 (normal) to 3.0 (faint grids)
    trkStrength->setPageStep(5);
    trkStrength->setTickInterval(5);
    trkStrength->setTickPosition(QSlider::TicksBelow);
    StrengthLabel->setBuddy(trkStrength);
    chkPreview =
        new QCheckBox(QStringLiteral("Show the &preview (red: erased, green: kept)"), this);
    chkPreview->setChecked(true);
    lblResult = new QLabel(this);
    lblResult->setWordWrap(true);

    const TDialogButtons Buttons(*this, HelpContextDialog);
    btnOK = Buttons.OK;
    btnCancel = Buttons.Cancel;
    btnHelp = Buttons.Help;
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);

    auto* StrengthRow = new QHBoxLayout;
    StrengthRow->addWidget(StrengthLabel);
    StrengthRow->addWidget(new QLabel(QStringLiteral("Normal"), this));
    StrengthRow->addWidget(trkStrength, 1);
    StrengthRow->addWidget(new QLabel(QStringLiteral("Faint grids"), this));
    auto* Main = new QVBoxLayout(this);
    Main->addWidget(chkFrame);
    Main->addWidget(chkTicks);
    Main->addLayout(StrengthRow);
    Main->addWidget(chkPreview);
    Main->addWidget(lblResult);
    Main->addStretch();
    Main->addLayout(Buttons.Row);
    setMinimumWidth(420);

    const auto Changed = [this] {
        if (OnChanged)
            OnChanged();
    };
    connect(chkFrame, &QCheckBox::toggled, this, Changed);
    connect(chkTicks, &QCheckBox::toggled, this, Changed);
    connect(chkPreview, &QCheckBox::toggled, this, Changed);
    // The search runs when the slider is let go, not at every step of a drag.
    trkStrength->setTracking(false);
    connect(trkStrength, &QSlider::valueChanged, this, Changed);
}

TGridEliminationOptions TfrmEliminateGrid::Options() const {
    TGridEliminationOptions Result;
    Result.Frame = chkFrame->isChecked();
    Result.Ticks = chkTicks->isChecked();
    Result.Strength = trkStrength->value() / 10.0;
    return Result;
}

bool TfrmEliminateGrid::ShowPreview() const {
    return chkPreview->isChecked();
}

void TfrmEliminateGrid::SetResult(const TGridElimination& Found) {
    if (!Found.Found()) {
        lblResult->setText(QStringLiteral("No grid lines were found."));
        btnOK->setEnabled(false);
        return;
    }
    const QLocale Locale;
    lblResult->setText(QStringLiteral("%1 lines found; %2 pixels will be painted with the paper's "
                                      "colour and %3 pixels of curves kept.")
                           .arg(Found.LinesX + Found.LinesY)
                           .arg(Locale.toString(static_cast<qlonglong>(Found.ErasedCount)),
                                Locale.toString(static_cast<qlonglong>(Found.KeptCount))));
    btnOK->setEnabled(true);
}

void TfrmEliminateGrid::showEvent(QShowEvent* Event) {
    QDialog::showEvent(Event);
    if (!Event->spontaneous())
        CenterOnScreen(*this);
}

} // namespace korvane
