#include "ui/dialogs/ScalePoints.h"

#include "core/Colors.h"
#include "core/Errors.h"
#include "core/Prompter.h"
#include "ui/common/DialogButtons.h"
#include "ui/common/HelpUtils.h"
#include "ui/common/NumberText.h"
#include "ui/common/SupportWidgets.h"
#include "ui/dialogs/MessageBoxPrompter.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QScreen>
#include <cmath>
#include <string>

namespace korvane {

namespace {

const int HelpContextDialog = 1600;

} // namespace

TfrmScalePoints::TfrmScalePoints(IPrompter& Prompter, QWidget* Parent)
    : QDialog(Parent, HelpDialogFlags), FPrompter(Prompter) {
    Build();
}

TfrmScalePoints::TfrmScalePoints(QWidget* Parent)
    : QDialog(Parent, HelpDialogFlags), FOwnPrompter(std::make_unique<TMessageBoxPrompter>(this)),
      FPrompter(*FOwnPrompter) {
    Build();
}

TfrmScalePoints::~TfrmScalePoints() = default;

void TfrmScalePoints::Build() {
    setWindowTitle(QStringLiteral("Coordinates"));
    setModal(true);
    SetHelpContext(*this, HelpContextDialog);

    FKeyFilter = std::make_unique<TNumericKeyFilter>(
        nullptr, [] { return static_cast<char32_t>(LocaleDecimalSeparator().unicode()); });

    lblX = new QLabel(QStringLiteral("&X:"), this);
    txtX = new QLineEdit(this);
    chkXLog = new QCheckBox(QStringLiteral("&Logarithmic"), this);
    lblY = new QLabel(QStringLiteral("&Y:"), this);
    txtY = new QLineEdit(this);
    chkYLog = new QCheckBox(QStringLiteral("Lo&garithmic"), this);
    const TDialogButtons Buttons(*this, HelpContextDialog);
    cmdOK = Buttons.OK;
    cmdCancel = Buttons.Cancel;
    btnHelp = Buttons.Help;

    lblX->setBuddy(txtX);
    lblY->setBuddy(txtY);
    for (QLineEdit* Edit : {txtX, txtY}) {
        Edit->setMinimumWidth(121);
        Edit->installEventFilter(FKeyFilter.get());
    }
    SetHelpContext(*txtX, 1601);
    SetHelpContext(*chkXLog, 1602);
    SetHelpContext(*txtY, 1603);
    SetHelpContext(*chkYLog, 1604);
    chkXLog->hide();
    chkYLog->hide();

    auto* Grid = new QGridLayout;
    Grid->addWidget(lblX, 0, 0);
    Grid->addWidget(txtX, 0, 1);
    Grid->addWidget(chkXLog, 0, 2);
    Grid->addWidget(lblY, 1, 0);
    Grid->addWidget(txtY, 1, 1);
    Grid->addWidget(chkYLog, 1, 2);

    auto* Main = new QVBoxLayout(this);
    Main->addLayout(Grid);
    Main->addSpacing(8);
    Main->addLayout(Buttons.Row);
    Main->setSizeConstraint(QLayout::SetFixedSize);

    connect(cmdOK, &QPushButton::clicked, this, [this] { OkClick(); });
    connect(btnHelp, &QPushButton::clicked, this, &QDialog::reject);
    txtX->setFocus();
}

double TfrmScalePoints::XValue() const {
    return TextToFloat(txtX->text(), LocaleDecimalSeparator());
}

double TfrmScalePoints::YValue() const {
    return TextToFloat(txtY->text(), LocaleDecimalSeparator());
}

namespace {

QString FloatToText(double Value) {
    QString Text = QString::number(Value, 'g', 15);
    Text.replace(QLatin1Char('.'), LocaleDecimalSeparator());
    return Text;
}

} // namespace

void TfrmScalePoints::SetXValue(double Value) {
    txtX->setText(FloatToText(Value));
}

void TfrmScalePoints::SetYValue(double Value) {
    txtY->setText(FloatToText(Value));
}

void TfrmScalePoints::ShowLogarithmic(bool Show) {
    chkXLog->setVisible(Show);
    chkYLog->setVisible(Show);
}

bool TfrmScalePoints::XLogarithmic() const {
    return chkXLog->isChecked();
}

bool TfrmScalePoints::YLogarithmic() const {
    return chkYLog->isChecked();
}

void TfrmScalePoints::PositionNear(QPoint Screen) {
    adjustSize();
    QScreen* Display = QGuiApplication::screenAt(Screen);
    if (!Display)
        Display = QGuiApplication::primaryScreen();
    const QRect Area = Display ? Display->availableGeometry() : QRect();
    const QSize Size = frameGeometry().size();
    int Left = Screen.x() + 10;
    if (Display && Area.x() + Area.width() < Left + Size.width())
        Left -= Size.width() + 20;
    int Top = Screen.y() + 10;
    if (Display && Area.y() + Area.height() < Top + Size.height())
        Top -= Size.height() + 20;
    move(Left, Top);
}

void TfrmScalePoints::OkClick() {
    // A text that is no number is refused here too, so the dialog never closes on a value
    // its caller cannot read.
    QLineEdit* Culprit = txtX;
    try {
        const double X = XValue();
        Culprit = txtY;
        const double Y = YValue();
        Culprit = (XLogarithmic() && !(X > 0)) ? txtX : txtY;
        if ((XLogarithmic() && !(X > 0)) || (YLogarithmic() && !(Y > 0)))
            throw EKorvane("Can't have nonpositive scale points with logarithmic axes.");
    } catch (const EKorvane& E) {
        FPrompter.Ask(EMessageKind::Error, E.what(), mbOK);
        Culprit->setFocus();
        Culprit->selectAll();
        return;
    }
    accept();
}

} // namespace korvane
