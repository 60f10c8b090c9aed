#include "ui/data/ApproximatorParamPanels.h"

#include "core/Colors.h"
#include "core/Errors.h"
#include "ui/common/Guarded.h"
#include "ui/common/NumberText.h"
#include "ui/common/SupportWidgets.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

namespace korvane {

namespace {

constexpr int Margin = 4;
constexpr int EditHeight = 21;
constexpr int ApplyWidth = 48;
constexpr int ApplyHeight = 21;

int Bottom(const QWidget& W) {
    return W.y() + W.height();
}

int Right(const QWidget& W) {
    return W.x() + W.width();
}

// The number in an edit: false for text that is not one.
bool ReadNumber(const QString& Text, double& Value) {
    try {
        Value = TextToFloat(Text, QChar::fromLatin1(DisplayDecimalSeparator()));
        return true;
    } catch (const EConvertError&) {
        return false;
    }
}

bool IsEmptyText(const QString& Text) {
    return Text.trimmed().isEmpty();
}

} // namespace

// ---------------------------------------------------------------------------------------------
// TApproximatorParamPanel

TApproximatorParamPanel::TApproximatorParamPanel(QWidget* Parent) : QWidget(Parent) {
    resize(185, 0);
    FKeyFilter = new TNumericKeyFilter(this, [] {
        return static_cast<char32_t>(static_cast<unsigned char>(DisplayDecimalSeparator()));
    });
    if (Parent)
        Parent->installEventFilter(this);
}

TApproximatorParamPanel::~TApproximatorParamPanel() {
    OnResize = nullptr;
    SetParamSet(nullptr);
}

void TApproximatorParamPanel::SetFormats(const TCoordFormatPair& Pair) {
    FDisplayFormats.Assign(Pair);
    UpdateDisplay();
}

void TApproximatorParamPanel::FitHeight() {
    const int Height = FLastControl ? Bottom(*FLastControl) + Margin : Margin;
    resize(width(), Height);
    if (!FRealigning)
        ReportSize();
}

void TApproximatorParamPanel::CreateApplyButton() {
    if (!HasEditableFields() || FApplyButton)
        return;
    const int Top = FLastControl ? Bottom(*FLastControl) : 0;
    FApplyButton = new QPushButton(QStringLiteral("A&pply"), this);
    FApplyButton->setObjectName(QStringLiteral("ApplyButton"));
    FApplyButton->setGeometry(width() - Margin - ApplyWidth, Top, ApplyWidth, ApplyHeight);
    AddControl(*FApplyButton);
    connect(FApplyButton, &QPushButton::clicked, this,
            [this] { Guarded([this] { ApplyClick(); }); });
}

void TApproximatorParamPanel::SetParamSet(TApproximatorParamSet* Set) {
    if (FParamSet)
        FParamSet->RemoveListener(this);
    FParamSet = Set;
    if (FParamSet)
        FParamSet->AddListener(this);
    UpdateDisplay();
}

void TApproximatorParamPanel::ApproximatorParamsChanged(TApproximatorParamSet& Set) {
    // A set that replaces ours (the digitization changed its approximator class) hands its
    // listeners over while ours still exists: follow it, so that we never keep the old one.
    if (&Set != FParamSet && FParamSet) {
        FParamSet->RemoveListener(this);
        FParamSet = &Set;
    }
    if (!FApplying)
        UpdateDisplay();
}

void TApproximatorParamPanel::Apply() {
    FApplying = true;
    try {
        ReadFields();
    } catch (...) {
        FApplying = false;
        UpdateDisplay();
        throw;
    }
    FApplying = false;
    UpdateDisplay();
}

QLabel* TApproximatorParamPanel::NewLabel(const QString& Caption, int Left, int Top, int MinWidth,
                                          int MinHeight) {
    auto* Label = new QLabel(Caption, this);
    const QFontMetrics Metrics(Label->font());
    Label->setGeometry(Left, Top, std::max(MinWidth, Metrics.horizontalAdvance(Caption)),
                       std::max(MinHeight, Metrics.height()));
    AddControl(*Label);
    return Label;
}

QLineEdit* TApproximatorParamPanel::NewNumberEdit(const QLabel& Label) {
    auto* Edit = new QLineEdit(this);
    const int Left = Right(Label) + Margin;
    Edit->setGeometry(Left, Label.y() - 3, std::max(0, width() - Margin - Left),
                      std::max(EditHeight, Edit->sizeHint().height()));
    Edit->installEventFilter(FKeyFilter);
    FStretched.push_back(Edit);
    AddControl(*Edit);
    return Edit;
}

void TApproximatorParamPanel::StretchToRight(QWidget& Control) const {
    Control.resize(std::max(0, width() - Margin - Control.x()), Control.height());
}

void TApproximatorParamPanel::ApplyAnchors() {
    for (QWidget* Control : FStretched)
        StretchToRight(*Control);
    if (FApplyButton)
        FApplyButton->move(width() - Margin - ApplyWidth, FApplyButton->y());
}

void TApproximatorParamPanel::Realign() {
    if (FRealigning)
        return;
    FRealigning = true;
    try {
        ApplyAnchors();
        ArrangeControls();
        FitHeight();
    } catch (...) {
        FRealigning = false;
        throw;
    }
    FRealigning = false;
    ReportSize();
}

void TApproximatorParamPanel::ReportSize() {
    if (size() == FReportedSize)
        return;
    FReportedSize = size();
    if (OnResize)
        OnResize(*this);
}

QString TApproximatorParamPanel::FormatX(double Value) const {
    return QString::fromStdString(FDisplayFormats.XFormat.Format(Value, DisplayDecimalSeparator()));
}

QString TApproximatorParamPanel::FormatY(double Value) const {
    return QString::fromStdString(FDisplayFormats.YFormat.Format(Value, DisplayDecimalSeparator()));
}

void TApproximatorParamPanel::FollowParent() {
    if (QWidget* Parent = parentWidget())
        setGeometry(0, 0, Parent->width(), height());
    Realign();
}

bool TApproximatorParamPanel::event(QEvent* Event) {
    if (Event->type() == QEvent::ParentAboutToChange && parentWidget())
        parentWidget()->removeEventFilter(this);
    const bool Result = QWidget::event(Event);
    if (Event->type() == QEvent::ParentChange && parentWidget()) {
        parentWidget()->installEventFilter(this);
        FollowParent();
    }
    return Result;
}

bool TApproximatorParamPanel::eventFilter(QObject* Watched, QEvent* Event) {
    if (Watched == parentWidget() && Event->type() == QEvent::Resize)
        FollowParent();
    return QWidget::eventFilter(Watched, Event);
}

void TApproximatorParamPanel::resizeEvent(QResizeEvent* Event) {
    QWidget::resizeEvent(Event);
    Realign();
}

// ---------------------------------------------------------------------------------------------
// Range label panels

TRangeLabelParamPanel::TRangeLabelParamPanel(QWidget* Parent) : TApproximatorParamPanel(Parent) {
    FRangeLabel = new QLabel(this);
    FRangeLabel->setObjectName(QStringLiteral("RangeLabel"));
    FRangeLabel->setWordWrap(true);
    FRangeLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    FRangeLabel->setGeometry(Margin, Margin, std::max(0, width() - 2 * Margin),
                             FRangeLabel->fontMetrics().height());
    AddControl(*FRangeLabel);
    resize(width(), FRangeLabel->height());
}

void TRangeLabelParamPanel::ArrangeControls() {
    FRangeLabel->resize(std::max(0, width() - 2 * FRangeLabel->x()), FRangeLabel->height());
    FitLabelHeight(*FRangeLabel);
}

std::unique_ptr<TFunctionalRawDataParamPanel>
TFunctionalRawDataParamPanel::Create(QWidget* Parent) {
    return Finish(
        std::unique_ptr<TFunctionalRawDataParamPanel>(new TFunctionalRawDataParamPanel(Parent)));
}

void TFunctionalRawDataParamPanel::UpdateDisplay() {
    const auto* Set = dynamic_cast<const TNonParametricParamSet*>(ParamSet());
    if (Set && Set->HasStartX() && Set->HasEndX())
        RangeLabel()->setText(QStringLiteral("Data range from X = ") + FormatX(Set->StartX()) +
                              QStringLiteral(" to X = ") + FormatX(Set->EndX()) +
                              QStringLiteral("."));
    else
        RangeLabel()->clear();
    Realign();
}

std::unique_ptr<TParametricParamPanel> TParametricParamPanel::Create(QWidget* Parent) {
    return Finish(std::unique_ptr<TParametricParamPanel>(new TParametricParamPanel(Parent)));
}

void TParametricParamPanel::UpdateDisplay() {
    const auto* Set = dynamic_cast<const TParametricParamSet*>(ParamSet());
    if (Set && Set->HasStart() && Set->HasEnd() && Set->Points().Count() > 0) {
        const TDoublePoint First = Set->Points().First();
        const TDoublePoint Last = Set->Points().Last();
        const auto Point = [this](TDoublePoint P) {
            return QStringLiteral("(%1, %2)").arg(FormatX(P.X), FormatY(P.Y));
        };
        RangeLabel()->setText(QStringLiteral("Data range from ") + Point(First) +
                              QStringLiteral(" to ") + Point(Last) + QStringLiteral("."));
    } else {
        RangeLabel()->clear();
    }
    Realign();
}

std::unique_ptr<TNonfunctionalRawDataParamPanel>
TNonfunctionalRawDataParamPanel::Create(QWidget* Parent) {
    return Finish(std::unique_ptr<TNonfunctionalRawDataParamPanel>(
        new TNonfunctionalRawDataParamPanel(Parent)));
}

// ---------------------------------------------------------------------------------------------
// TParametricCubicSplineParamPanel

TParametricCubicSplineParamPanel::TParametricCubicSplineParamPanel(QWidget* Parent)
    : TParametricParamPanel(Parent) {
    FIncrementLabel = NewLabel(QStringLiteral("Increment: "), Margin, Bottom(*RangeLabel()) + 4);
    FIncrementEdit = NewNumberEdit(*FIncrementLabel);
    FIncrementEdit->setObjectName(QStringLiteral("IncrementEdit"));
    resize(width(), Bottom(*FIncrementEdit));
}

std::unique_ptr<TParametricCubicSplineParamPanel>
TParametricCubicSplineParamPanel::Create(QWidget* Parent) {
    return Finish(std::unique_ptr<TParametricCubicSplineParamPanel>(
        new TParametricCubicSplineParamPanel(Parent)));
}

void TParametricCubicSplineParamPanel::UpdateDisplay() {
    TParametricParamPanel::UpdateDisplay();
    const auto* Set = dynamic_cast<const TParametricCubicSplineParamSet*>(ParamSet());
    FIncrementEdit->setText(Set && Set->HasIncrement() ? FormatX(Set->Increment()) : QString());
}

void TParametricCubicSplineParamPanel::ArrangeControls() {
    TParametricParamPanel::ArrangeControls();
    FIncrementLabel->move(FIncrementLabel->x(), Bottom(*RangeLabel()) + 8);
    FIncrementEdit->move(FIncrementEdit->x(), FIncrementLabel->y() - 3);
    if (ApplyButton())
        ApplyButton()->move(ApplyButton()->x(), Bottom(*FIncrementEdit) + 4);
}

void TParametricCubicSplineParamPanel::ReadIncrement() {
    auto* Set = dynamic_cast<TParametricCubicSplineParamSet*>(ParamSet());
    if (!Set)
        return;
    const QString Text = FIncrementEdit->text();
    double Value = 0.0;
    if (IsEmptyText(Text))
        Set->ClearIncrement();
    else if (ReadNumber(Text, Value))
        Set->SetIncrement(Value);
}

// ---------------------------------------------------------------------------------------------
// TNonParametricParamPanel

TNonParametricParamPanel::TNonParametricParamPanel(QWidget* Parent)
    : TApproximatorParamPanel(Parent) {
    FStartLabel = NewLabel(QStringLiteral("Select points from X = "), Margin, 7, 103, 13);
    FStartEdit = NewNumberEdit(*FStartLabel);
    FStartEdit->setObjectName(QStringLiteral("StartEdit"));
    resize(width(), Bottom(*FStartEdit));
}

std::unique_ptr<TNonParametricParamPanel> TNonParametricParamPanel::Create(QWidget* Parent) {
    return Finish(std::unique_ptr<TNonParametricParamPanel>(new TNonParametricParamPanel(Parent)));
}

void TNonParametricParamPanel::UpdateDisplay() {
    const auto* Set = dynamic_cast<const TNonParametricParamSet*>(ParamSet());
    FStartEdit->setText(Set && Set->HasStartX() ? FormatX(Set->StartX()) : QString());
}

void TNonParametricParamPanel::ReadStart() {
    auto* Set = dynamic_cast<TNonParametricParamSet*>(ParamSet());
    if (!Set)
        return;
    const QString Text = FStartEdit->text();
    double Value = 0.0;
    if (IsEmptyText(Text))
        Set->ClearStartX();
    else if (ReadNumber(Text, Value))
        Set->SetStartX(Value);
}

// ---------------------------------------------------------------------------------------------
// TCubicSplineParamPanel

TCubicSplineParamPanel::TCubicSplineParamPanel(QWidget* Parent) : TNonParametricParamPanel(Parent) {
    FIncrementLabel =
        NewLabel(QStringLiteral("in increments of "), Margin, Bottom(*StartEdit()) + 7, 74, 13);
    FIncrementEdit = NewNumberEdit(*FIncrementLabel);
    FIncrementEdit->setObjectName(QStringLiteral("IncrementEdit"));
    resize(width(), Bottom(*FIncrementEdit));
}

std::unique_ptr<TCubicSplineParamPanel> TCubicSplineParamPanel::Create(QWidget* Parent) {
    return Finish(std::unique_ptr<TCubicSplineParamPanel>(new TCubicSplineParamPanel(Parent)));
}

void TCubicSplineParamPanel::UpdateDisplay() {
    TNonParametricParamPanel::UpdateDisplay();
    const auto* Set = dynamic_cast<const TCubicSplineParamSet*>(ParamSet());
    FIncrementEdit->setText(Set && Set->HasIncrement() ? FormatX(Set->Increment()) : QString());
}

void TCubicSplineParamPanel::ArrangeControls() {
    TNonParametricParamPanel::ArrangeControls();
    FIncrementLabel->move(FIncrementLabel->x(), Bottom(*StartEdit()) + 7);
    FIncrementEdit->move(FIncrementEdit->x(), FIncrementLabel->y() - 3);
    if (ApplyButton())
        ApplyButton()->move(ApplyButton()->x(), Bottom(*FIncrementEdit) + 4);
}

void TCubicSplineParamPanel::ReadFields() {
    ReadStart();
    ReadIncrement();
}

void TCubicSplineParamPanel::ReadIncrement() {
    auto* Set = dynamic_cast<TCubicSplineParamSet*>(ParamSet());
    if (!Set)
        return;
    const QString Text = FIncrementEdit->text();
    double Value = 0.0;
    if (IsEmptyText(Text))
        Set->ClearIncrement();
    else if (ReadNumber(Text, Value))
        Set->SetIncrement(Value);
}

// ---------------------------------------------------------------------------------------------

std::unique_ptr<TApproximatorParamPanel> CreateParamPanel(EParamPanelClass Class, QWidget* Parent) {
    switch (Class) {
    case EParamPanelClass::FunctionalRawData:
        return TFunctionalRawDataParamPanel::Create(Parent);
    case EParamPanelClass::CubicSpline:
        return TCubicSplineParamPanel::Create(Parent);
    case EParamPanelClass::NonfunctionalRawData:
        return TNonfunctionalRawDataParamPanel::Create(Parent);
    case EParamPanelClass::ParametricCubicSpline:
        return TParametricCubicSplineParamPanel::Create(Parent);
    case EParamPanelClass::None:
        break;
    }
    return nullptr;
}

} // namespace korvane
