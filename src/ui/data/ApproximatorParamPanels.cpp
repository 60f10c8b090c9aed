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

// What was typed for an optional value of the set: empty text clears the value, a number
// goes to the set's setter (which clamps it), and any other text changes nothing.
template <class TClear, class TChange>
void ReadOptionalNumber(const QLineEdit& Edit, TClear Clear, TChange Change) {
    const QString Text = Edit.text();
    double Value = 0.0;
    if (Text.trimmed().isEmpty())
        Clear();
    else if (ReadNumber(Text, Value))
        Change(Value);
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
    if (FApplying)
        FChangedByApply = true;
    else
        UpdateDisplay();
}

void TApproximatorParamPanel::Apply() {
    FApplying = true;
    FChangedByApply = false;
    try {
        ReadFields();
    } catch (...) {
        FApplying = false;
        UpdateDisplay();
        throw;
    }
    FApplying = false;
    UpdateDisplay();
    if (FChangedByApply && OnEdited)
        OnEdited();
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
// TIncrementParamPanel

template <class TBasePanel, class TSet>
TIncrementParamPanel<TBasePanel, TSet>::TIncrementParamPanel(QWidget* Parent,
                                                             const QString& Caption, int Gap,
                                                             int MinWidth, int MinHeight)
    : TBasePanel(Parent), FAbove(this->LastControl()), FGap(Gap) {
    FIncrementLabel = this->NewLabel(Caption, Margin, Bottom(*FAbove) + FGap, MinWidth, MinHeight);
    FIncrementEdit = this->NewNumberEdit(*FIncrementLabel);
    FIncrementEdit->setObjectName(QStringLiteral("IncrementEdit"));
    this->resize(this->width(), Bottom(*FIncrementEdit));
}

template <class TBasePanel, class TSet>
void TIncrementParamPanel<TBasePanel, TSet>::UpdateDisplay() {
    TBasePanel::UpdateDisplay();
    const auto* Set = dynamic_cast<const TSet*>(this->ParamSet());
    FIncrementEdit->setText(Set && Set->HasIncrement() ? this->FormatX(Set->Increment())
                                                       : QString());
}

template <class TBasePanel, class TSet>
void TIncrementParamPanel<TBasePanel, TSet>::ArrangeControls() {
    TBasePanel::ArrangeControls();
    FIncrementLabel->move(FIncrementLabel->x(), Bottom(*FAbove) + FGap);
    FIncrementEdit->move(FIncrementEdit->x(), FIncrementLabel->y() - 3);
    if (QPushButton* Apply = this->ApplyButton())
        Apply->move(Apply->x(), Bottom(*FIncrementEdit) + 4);
}

template <class TBasePanel, class TSet>
void TIncrementParamPanel<TBasePanel, TSet>::ReadIncrement() {
    if (auto* Set = dynamic_cast<TSet*>(this->ParamSet()))
        ReadOptionalNumber(
            *FIncrementEdit, [Set] { Set->ClearIncrement(); },
            [Set](double Value) { Set->SetIncrement(Value); });
}

template class TIncrementParamPanel<TParametricParamPanel, TParametricCubicSplineParamSet>;
template class TIncrementParamPanel<TNonParametricParamPanel, TCubicSplineParamSet>;

// ---------------------------------------------------------------------------------------------
// TParametricCubicSplineParamPanel

// The increment row goes 8 pixels below the range label.
TParametricCubicSplineParamPanel::TParametricCubicSplineParamPanel(QWidget* Parent)
    : TIncrementParamPanel(Parent, QStringLiteral("Increment: "), 8) {}

std::unique_ptr<TParametricCubicSplineParamPanel>
TParametricCubicSplineParamPanel::Create(QWidget* Parent) {
    return Finish(std::unique_ptr<TParametricCubicSplineParamPanel>(
        new TParametricCubicSplineParamPanel(Parent)));
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
    if (auto* Set = dynamic_cast<TNonParametricParamSet*>(ParamSet()))
        ReadOptionalNumber(
            *FStartEdit, [Set] { Set->ClearStartX(); },
            [Set](double Value) { Set->SetStartX(Value); });
}

// ---------------------------------------------------------------------------------------------
// TCubicSplineParamPanel

// The increment row goes 7 pixels below the start edit.
TCubicSplineParamPanel::TCubicSplineParamPanel(QWidget* Parent)
    : TIncrementParamPanel(Parent, QStringLiteral("in increments of "), 7, 74, 13) {}

std::unique_ptr<TCubicSplineParamPanel> TCubicSplineParamPanel::Create(QWidget* Parent) {
    return Finish(std::unique_ptr<TCubicSplineParamPanel>(new TCubicSplineParamPanel(Parent)));
}

void TCubicSplineParamPanel::ReadFields() {
    ReadStart();
    ReadIncrement();
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
