#include "ui/dialogs/PropertiesDialogs.h"

#include "document/PointMarkers.h"
#include "ui/common/DialogButtons.h"
#include "ui/common/HelpUtils.h"
#include "ui/common/SupportWidgets.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace korvane {

bool TidyDigitizationName(std::string& Name) {
    const QString Tidy = QString::fromStdString(Name).trimmed();
    if (Tidy.isEmpty())
        return false;
    Name = Tidy.toStdString();
    return true;
}

// ---- the shared part ----

TPropertiesDialog::TPropertiesDialog(QWidget* Parent, int HelpContext, int NameHelpContext)
    : TSizeGripDialog(Parent) {
    setWindowTitle(QStringLiteral("Properties"));
    SetHelpContext(*this, HelpContext);
    txtName = new QLineEdit(this);
    SetHelpContext(*txtName, NameHelpContext);
    auto* NameLabel = new QLabel(QStringLiteral("&Name:"), this);
    NameLabel->setBuddy(txtName);

    Fields = new QFormLayout;
    Fields->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    Fields->addRow(NameLabel, txtName);
    const TDialogButtons Buttons(*this, HelpContext);
    btnOK = Buttons.OK;
    btnCancel = Buttons.Cancel;
    btnHelp = Buttons.Help;
    auto* Main = new QVBoxLayout(this);
    Main->addLayout(Fields);
    Main->addStretch();
    Main->addLayout(Buttons.Row);
    Main->setContentsMargins(8, 8, GripMargin(), 8);

    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(txtName, &QLineEdit::textChanged, this,
            [this](const QString& Text) { btnOK->setEnabled(!Text.trimmed().isEmpty()); });
    btnOK->setEnabled(false);
    txtName->setFocus();
}

void TPropertiesDialog::SetName(const std::string& Name) {
    txtName->setText(QString::fromStdString(Name));
    txtName->selectAll();
}

std::string TPropertiesDialog::GetName() const {
    return txtName->text().trimmed().toStdString();
}

namespace {

QLabel* Caption(const char* Text, QWidget& Buddy) {
    auto* Label = new QLabel(QString::fromUtf8(Text), Buddy.parentWidget());
    Label->setBuddy(&Buddy);
    return Label;
}

// The tracking colour's preview; a click chooses the colour.
class TTrackingColorBox : public QWidget {
public:
    explicit TTrackingColorBox(TfrmLineProperties& Owner) : QWidget(&Owner), FOwner(Owner) {
        setFixedSize(46, 29);
        setCursor(Qt::PointingHandCursor);
        setToolTip(QStringLiteral("Click to choose the tracking color"));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter Painter(this);
        FOwner.PaintTrackingColor(Painter, width(), height());
    }
    void mousePressEvent(QMouseEvent* Event) override {
        if (Event->button() != Qt::LeftButton)
            return;
        TColor Color = FOwner.TrackingColorSet ? FOwner.TrackingColor : RGB(0, 0, 0);
        if (ChooseColor(this, QStringLiteral("Tracking color"), Color))
            FOwner.SetTrackingColor(Color);
    }

private:
    TfrmLineProperties& FOwner;
};

} // namespace

// ---- scatter ----

TfrmScatterProperties::TfrmScatterProperties(QWidget* Parent)
    : TPropertiesDialog(Parent, 1300, 1301) {
    cboColor = new TColorComboBox(this);
    SetHelpContext(*cboColor, 1302);
    updRadius = new TUpDownEdit(this);
    updRadius->setRange(1, 10);
    SetHelpContext(*updRadius, 1303);
    cboStyle = new QComboBox(this);
    for (const std::string& ClassName : TPointMarkerRegistry::ClassNames())
        cboStyle->addItem(
            QString::fromStdString(TPointMarkerRegistry::Create(ClassName)->StyleName()),
            QString::fromStdString(ClassName));

    auto* RadiusRow = new QHBoxLayout;
    RadiusRow->addWidget(updRadius);
    RadiusRow->addWidget(new QLabel(QStringLiteral("pixels"), this));
    RadiusRow->addStretch();
    Fields->addRow(Caption("&Color:", *cboColor), cboColor);
    Fields->addRow(Caption("&Radius:", *updRadius), RadiusRow);
    Fields->addRow(Caption("&Style:", *cboStyle), cboStyle);

    setMinimumWidth(266);
    setFixedHeight(236);
    resize(300, 236);
}

int TfrmScatterProperties::GetColorIndex() const {
    return cboColor->SelectedColorIndex();
}

void TfrmScatterProperties::SetColorIndex(int Index) {
    cboColor->SetSelectedColorIndex(Index);
}

void TfrmScatterProperties::SetMarker(const TPointMarker& Marker) {
    updRadius->setRange(Marker.MinSize(), Marker.MaxSize());
    updRadius->setValue(Marker.GetSize());
    int Found = -1;
    for (int I = cboStyle->count() - 1; I >= 0 && Found < 0; --I)
        if (cboStyle->itemData(I).toString().toStdString() == Marker.ClassName())
            Found = I;
    cboStyle->setCurrentIndex(Found);
}

std::unique_ptr<TPointMarker> TfrmScatterProperties::GetMarker() const {
    if (cboStyle->currentIndex() < 0)
        return nullptr;
    ValidateUpDownEdit(*updRadius);
    auto Marker = TPointMarkerRegistry::Create(cboStyle->currentData().toString().toStdString());
    Marker->SetSize(updRadius->value());
    return Marker;
}

// ---- line ----

TfrmLineProperties::TfrmLineProperties(QWidget* Parent) : TPropertiesDialog(Parent, 1400, 1401) {
    cboDisplayColor = new TColorComboBox(this);
    SetHelpContext(*cboDisplayColor, 1402);
    pbTrackingColor = new TTrackingColorBox(*this);
    btnClearTrackingColor = new QPushButton(QStringLiteral("&Clear"), this);
    connect(btnClearTrackingColor, &QPushButton::clicked, this, [this] { ClearTrackingColor(); });

    auto* TrackingRow = new QHBoxLayout;
    TrackingRow->addWidget(pbTrackingColor);
    TrackingRow->addWidget(btnClearTrackingColor);
    TrackingRow->addStretch();
    Fields->addRow(Caption("&Display color:", *cboDisplayColor), cboDisplayColor);
    Fields->addRow(Caption("&Tracking color:", *btnClearTrackingColor), TrackingRow);

    setMinimumWidth(344);
    setFixedHeight(244);
    resize(344, 244);
    TrackingColorChanged();
}

int TfrmLineProperties::GetColorIndex() const {
    return cboDisplayColor->SelectedColorIndex();
}

void TfrmLineProperties::SetColorIndex(int Index) {
    cboDisplayColor->SetSelectedColorIndex(Index);
}

void TfrmLineProperties::SetTrackingColor(TColor Color) {
    TrackingColor = Color;
    TrackingColorSet = true;
    TrackingColorChanged();
}

void TfrmLineProperties::ClearTrackingColor() {
    TrackingColorSet = false;
    TrackingColorChanged();
}

void TfrmLineProperties::SetColorTolerance(double Tolerance) {
    FColorTolerance = Tolerance;
    pbTrackingColor->update();
}

void TfrmLineProperties::TrackingColorChanged() {
    btnClearTrackingColor->setEnabled(TrackingColorSet);
    pbTrackingColor->update();
}

void TfrmLineProperties::PaintTrackingColor(QPainter& Painter, int Width, int Height) const {
    Painter.setPen(QPen(Qt::black, 1, Qt::SolidLine));
    if (TrackingColorSet) {
        // Lightest at both ends, darkest in the middle: the colours the follower accepts.
        const TColor Dark = DarkenColor(TrackingColor, FColorTolerance);
        const TColor Light = LightenColor(TrackingColor, FColorTolerance);
        GradientFill(Painter, Light, Dark, 0, 0, Width / 2, Height);
        GradientFill(Painter, Dark, Light, Width / 2 + 1, 0, Width, Height);
    } else {
        Painter.setBrush(QBrush(Qt::black, Qt::BDiagPattern));
        Painter.drawRect(0, 0, Width - 1, Height - 1);
    }
}

} // namespace korvane
