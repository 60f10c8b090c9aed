#include "ui/dialogs/PreferencesDialog.h"

#include "ui/common/DialogButtons.h"
#include "ui/common/HelpUtils.h"
#include "ui/common/SupportWidgets.h"

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QSlider>
#include <QTabWidget>
#include <QVBoxLayout>
#include <cmath>

namespace korvane {

namespace {

const char* const SwatchColorProperty = "korvaneColor";

// A numeric field with its caption before it and its unit after it, on one row of Grid.
TUpDownEdit* AddNumberRow(QGridLayout& Grid, int Row, const QString& Caption, const QString& Unit,
                          int Minimum, int Maximum, int HelpContext) {
    QWidget* Parent = Grid.parentWidget();
    auto* Label = new QLabel(Caption, Parent);
    auto* Edit = new TUpDownEdit(Parent);
    Edit->setRange(Minimum, Maximum);
    Edit->setMinimumWidth(64);
    Label->setBuddy(Edit);
    SetHelpContext(*Edit, HelpContext);
    Grid.addWidget(Label, Row, 0);
    Grid.addWidget(Edit, Row, 1);
    Grid.addWidget(new QLabel(Unit, Parent), Row, 2);
    return Edit;
}

void ShowSwatch(QFrame& Swatch, TColor Color) {
    Swatch.setProperty(SwatchColorProperty, static_cast<uint>(Color & 0xFFFFFF));
    QPalette Palette = Swatch.palette();
    Palette.setColor(QPalette::Window, ToQColor(Color));
    Swatch.setPalette(Palette);
    Swatch.update();
}

QLabel* Note(const QString& Text, QWidget* Parent) {
    auto* Label = new QLabel(Text, Parent);
    Label->setWordWrap(true);
    return Label;
}

} // namespace

TfrmPreferencesDialog::TfrmPreferencesDialog(QWidget* Parent) : QDialog(Parent, HelpDialogFlags) {
    setWindowTitle(QStringLiteral("Settings"));
    setModal(true);

    pcMain = new QTabWidget(this);
    pcMain->setObjectName(QStringLiteral("pcMain"));

    // ---- Digitizing ----
    tsDigitizing = new QWidget;
    SetHelpContext(*tsDigitizing, DigitizingHelpContext);

    auto* Appearance = new QGroupBox(QStringLiteral("Appearance"), tsDigitizing);
    {
        auto* Label = new QLabel(QStringLiteral("Selected &point color:"), Appearance);
        cboSelectedPointColor = new TColorComboBox(Appearance);
        Label->setBuddy(cboSelectedPointColor);
        SetHelpContext(*cboSelectedPointColor, 1001);
        chkUseBeacon = new QCheckBox(QStringLiteral("Show &marker when digitizing"), Appearance);
        SetHelpContext(*chkUseBeacon, 1002);
        chkShowSpanningCursor = new QCheckBox(
            QStringLiteral("&Use special cursor when defining coordinate system"), Appearance);
        SetHelpContext(*chkShowSpanningCursor, 1002);
        auto* ColorRow = new QHBoxLayout;
        ColorRow->addWidget(Label);
        ColorRow->addWidget(cboSelectedPointColor);
        ColorRow->addStretch();
        auto* Layout = new QVBoxLayout(Appearance);
        Layout->addLayout(ColorRow);
        Layout->addWidget(chkUseBeacon);
        Layout->addWidget(chkShowSpanningCursor);
    }

    auto* Operation = new QGroupBox(QStringLiteral("Operation"), tsDigitizing);
    {
        auto* Grid = new QGridLayout(Operation);
        auto* SpeedLabel = new QLabel(QStringLiteral("&Speed:"), Operation);
        trkSpeed = new QSlider(Qt::Horizontal, Operation);
        trkSpeed->setRange(0, 300);
        trkSpeed->setPageStep(30);
        trkSpeed->setSingleStep(1);
        trkSpeed->setTickInterval(30);
        trkSpeed->setTickPosition(QSlider::TicksBelow);
        SpeedLabel->setBuddy(trkSpeed);
        SetHelpContext(*trkSpeed, 1003);
        auto* SpeedRow = new QHBoxLayout;
        SpeedRow->addWidget(new QLabel(QStringLiteral("Slow"), Operation));
        SpeedRow->addWidget(trkSpeed, 1);
        SpeedRow->addWidget(new QLabel(QStringLiteral("Fast"), Operation));
        Grid->addWidget(SpeedLabel, 0, 0);
        Grid->addLayout(SpeedRow, 0, 1, 1, 2);
        udColorTolerance = AddNumberRow(*Grid, 1, QStringLiteral("&Color tolerance:"),
                                        QStringLiteral("percent"), 0, 100, 1004);
        udMaxHorizontalJump = AddNumberRow(*Grid, 2, QStringLiteral("Maximum ho&rizontal jump:"),
                                           QStringLiteral("pixels"), 1, 10, 1005);
        udThicknessTolerance = AddNumberRow(*Grid, 3, QStringLiteral("&Thickness tolerance:"),
                                            QStringLiteral("pixels"), 1, 300, 1006);
        udMaxVerticalJump = AddNumberRow(*Grid, 4, QStringLiteral("Maximum &vertical jump:"),
                                         QStringLiteral("pixels"), 1, 500, 1007);
        Grid->setColumnStretch(2, 1);
    }

    grpEnhancements = new QGroupBox(QStringLiteral("Following"), tsDigitizing);
    {
        chkEnhancedFollowing = new QCheckBox(
            QStringLiteral("&") + QLatin1String(EnhancedFollowingCaption), grpEnhancements);
        chkEnhancedFollowing->setToolTip(
            QStringLiteral("Follow lines to a fraction of a pixel, through crossings with lines "
                           "of the same colour, and without jumping off a curve's end"));
        const TFollowerEnhancementOption& Gaps = FollowerEnhancementOptions[3];
        chkGapFilling = new QCheckBox(QString::fromUtf8(Gaps.Caption), grpEnhancements);
        chkGapFilling->setToolTip(
            QStringLiteral("Where a line is lost for a few columns and found again, report "
                           "points interpolated across the gap"));
        auto* Layout = new QVBoxLayout(grpEnhancements);
        Layout->addWidget(chkEnhancedFollowing);
        Layout->addWidget(chkGapFilling);
    }
    // Once clicked, "Enhanced following" is on or off; the half state only shows a mixed set.
    connect(chkEnhancedFollowing, &QCheckBox::clicked, this,
            [this] { chkEnhancedFollowing->setTristate(false); });

    {
        auto* Layout = new QVBoxLayout(tsDigitizing);
        Layout->addWidget(Appearance);
        Layout->addWidget(Operation);
        Layout->addWidget(grpEnhancements);
        Layout->addStretch();
    }

    // ---- Painting ----
    tsPainting = new QWidget;
    SetHelpContext(*tsPainting, PaintingHelpContext);

    auto* Colors = new QGroupBox(QStringLiteral("Colors"), tsPainting);
    {
        auto* Grid = new QGridLayout(Colors);
        struct TRow {
            const char* Caption;
            QFrame** Swatch;
            QPushButton** Button;
            int HelpContext;
        };
        const TRow Rows[] = {
            {"&Replacing color:", &boxReplacingColor, &btnChooseReplacingColor, 1051},
            {"&Erasing color:", &boxErasingColor, &btnChooseErasingColor, 1052},
            {"&Marking color:", &boxMarkingColor, &btnChooseMarkingColor, 1053},
        };
        int Row = 0;
        for (const TRow& R : Rows) {
            auto* Label = new QLabel(QString::fromUtf8(R.Caption), Colors);
            auto* Swatch = new QFrame(Colors);
            Swatch->setFrameStyle(QFrame::Box | QFrame::Plain);
            Swatch->setFixedSize(48, 21);
            Swatch->setAutoFillBackground(true);
            auto* Button = new QPushButton(QStringLiteral("Choose..."), Colors);
            Label->setBuddy(Button);
            SetHelpContext(*Swatch, R.HelpContext);
            SetHelpContext(*Button, R.HelpContext);
            const QString ColorCaption = QString::fromUtf8(R.Caption).remove(QLatin1Char('&'));
            connect(Button, &QPushButton::clicked, this,
                    [this, Swatch, ColorCaption] { ChooseColor(*Swatch, ColorCaption); });
            Grid->addWidget(Label, Row, 0);
            Grid->addWidget(Swatch, Row, 1);
            Grid->addWidget(Button, Row, 2);
            *R.Swatch = Swatch;
            *R.Button = Button;
            ++Row;
        }
        Grid->addWidget(Note(QStringLiteral("Colors can be set while painting. Hold down Shift "
                                            "while clicking to set the color to the pixel "
                                            "underneath the cursor."),
                             Colors),
                        Row, 0, 1, 4);
        Grid->setColumnStretch(3, 1);
    }

    auto* Pen = new QGroupBox(QStringLiteral("Pen"), tsPainting);
    {
        auto* Grid = new QGridLayout(Pen);
        udPenSize = AddNumberRow(*Grid, 0, QStringLiteral("&Pen size:"), QStringLiteral("pixels"),
                                 1, 31, 1054);
        Grid->addWidget(Note(QStringLiteral("Pen size can be set while painting. Use Alt plus "
                                            "the up and down arrow keys to change size."),
                             Pen),
                        1, 0, 1, 3);
        Grid->setColumnStretch(2, 1);
    }

    {
        auto* Layout = new QVBoxLayout(tsPainting);
        Layout->addWidget(Colors);
        Layout->addWidget(Pen);
        Layout->addStretch();
    }

    pcMain->addTab(tsDigitizing, QStringLiteral("Digitizing"));
    pcMain->addTab(tsPainting, QStringLiteral("Painting"));

    const TDialogButtons Buttons(*this, [this] { return ActiveHelpContext(); });
    btnOK = Buttons.OK;
    btnCancel = Buttons.Cancel;
    btnHelp = Buttons.Help;
    connect(btnOK, &QPushButton::clicked, this, [this] {
        ReadControls();
        accept();
    });

    auto* Main = new QVBoxLayout(this);
    Main->addWidget(pcMain);
    Main->addSpacing(4);
    Main->addLayout(Buttons.Row);
    Main->setSizeConstraint(QLayout::SetFixedSize);

    SetVectorizerParameters(FVectorizerParameters);
    SetPaintParameters(FPaintParameters);
    SetEnhancements(FEnhancements);
    ShowPaintingPage(false);
}

void TfrmPreferencesDialog::SetShowSpanningCursor(bool Value) {
    chkShowSpanningCursor->setChecked(Value);
}

bool TfrmPreferencesDialog::GetShowSpanningCursor() const {
    return chkShowSpanningCursor->isChecked();
}

void TfrmPreferencesDialog::SetVectorizerParameters(const TVectorizerParameters& Parameters) {
    FVectorizerParameters.Assign(Parameters);
    cboSelectedPointColor->SetSelectedColorIndex(Parameters.SelectedPointColor);
    chkUseBeacon->setChecked(Parameters.UseBeacon);
    trkSpeed->setValue(300 - Parameters.Delay());
    udColorTolerance->setValue(static_cast<int>(std::lround(Parameters.ColorTolerance() * 100.0)));
    udMaxHorizontalJump->setValue(Parameters.MaxHorizontalJump());
    udThicknessTolerance->setValue(Parameters.ThicknessTolerance());
    udMaxVerticalJump->setValue(Parameters.MaxVerticalJump());
}

void TfrmPreferencesDialog::SetPaintParameters(const TPaintParameters& Parameters) {
    FPaintParameters.Assign(Parameters);
    ShowSwatch(*boxReplacingColor, Parameters.ReplacingColor());
    ShowSwatch(*boxErasingColor, Parameters.ErasingColor());
    ShowSwatch(*boxMarkingColor, Parameters.MarkingColor());
    udPenSize->setValue(Parameters.PenSize());
}

void TfrmPreferencesDialog::SetEnhancements(const TFollowerEnhancements& Enhancements) {
    FEnhancements = Enhancements;
    const bool Mixed =
        !Enhancements.EnhancedFollowing() &&
        (Enhancements.SubpixelOutput || Enhancements.Crossings || Enhancements.Guard);
    chkEnhancedFollowing->setTristate(Mixed);
    chkEnhancedFollowing->setCheckState(Mixed                              ? Qt::PartiallyChecked
                                        : Enhancements.EnhancedFollowing() ? Qt::Checked
                                                                           : Qt::Unchecked);
    chkGapFilling->setChecked(Enhancements.GapFilling);
}

void TfrmPreferencesDialog::ShowPaintingPage(bool Painting) {
    pcMain->setCurrentWidget(Painting ? tsPainting : tsDigitizing);
}

void TfrmPreferencesDialog::ReadControls() {
    for (TUpDownEdit* Edit : {udColorTolerance, udMaxHorizontalJump, udThicknessTolerance,
                              udMaxVerticalJump, udPenSize})
        ValidateUpDownEdit(*Edit);

    if (const int Index = cboSelectedPointColor->SelectedColorIndex(); Index >= 0)
        FVectorizerParameters.SelectedPointColor = static_cast<std::uint8_t>(Index);
    FVectorizerParameters.UseBeacon = chkUseBeacon->isChecked();
    FVectorizerParameters.SetDelay(300 - trkSpeed->value());
    FVectorizerParameters.SetColorTolerance(udColorTolerance->value() / 100.0);
    FVectorizerParameters.SetMaxHorizontalJump(udMaxHorizontalJump->value());
    FVectorizerParameters.SetThicknessTolerance(udThicknessTolerance->value());
    FVectorizerParameters.SetMaxVerticalJump(udMaxVerticalJump->value());

    FPaintParameters.SetReplacingColor(SwatchColor(*boxReplacingColor));
    FPaintParameters.SetErasingColor(SwatchColor(*boxErasingColor));
    FPaintParameters.SetMarkingColor(SwatchColor(*boxMarkingColor));
    FPaintParameters.SetPenSize(udPenSize->value());

    if (chkEnhancedFollowing->checkState() != Qt::PartiallyChecked)
        FEnhancements.SetEnhancedFollowing(chkEnhancedFollowing->isChecked());
    FEnhancements.GapFilling = chkGapFilling->isChecked();
}

TColor TfrmPreferencesDialog::SwatchColor(const QFrame& Swatch) {
    return static_cast<TColor>(Swatch.property(SwatchColorProperty).toUInt());
}

void TfrmPreferencesDialog::ChooseColor(QFrame& Swatch, const QString& Caption) {
    TColor Color = SwatchColor(Swatch);
    if (korvane::ChooseColor(this, Caption, Color))
        ShowSwatch(Swatch, Color);
}

int TfrmPreferencesDialog::ActiveHelpContext() const {
    return pcMain->currentWidget() == tsPainting ? PaintingHelpContext : DigitizingHelpContext;
}

void TfrmPreferencesDialog::showEvent(QShowEvent* Event) {
    QDialog::showEvent(Event);
    if (!Event->spontaneous()) {
        adjustSize();
        CenterOnScreen(*this);
    }
}

} // namespace korvane
