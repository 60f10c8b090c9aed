#include "ui/common/SupportWidgets.h"

#include "core/Colors.h"
#include "core/Numerics.h"
#include "document/Digitizations.h"

#include <QCloseEvent>
#include <QColorDialog>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOption>
#include <QTableView>
#include <algorithm>
#include <cstdint>
#include <optional>

namespace korvane {

TWaitCursor::TWaitCursor() {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    else
        FSet = false;
}

TWaitCursor::~TWaitCursor() {
    if (FSet)
        QGuiApplication::restoreOverrideCursor();
}

// ---- TAnchoredDialog ----

TAnchoredDialog::TAnchoredDialog(QWidget* Parent)
    : QDialog(Parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {}

void TAnchoredDialog::Anchor(QWidget& Child, unsigned Anchors) {
    FChildren.push_back({&Child, Child.geometry(), size(), Anchors});
}

void TAnchoredDialog::resizeEvent(QResizeEvent* Event) {
    QDialog::resizeEvent(Event);
    for (const TAnchoredChild& C : FChildren) {
        const int Dx = width() - C.ParentSize.width();
        const int Dy = height() - C.ParentSize.height();
        QRect R = C.Rect;
        if (C.Anchors & AnchorRight) {
            if (C.Anchors & AnchorLeft)
                R.setWidth(std::max(0, R.width() + Dx));
            else
                R.moveLeft(R.left() + Dx);
        }
        if (C.Anchors & AnchorBottom) {
            if (C.Anchors & AnchorTop)
                R.setHeight(std::max(0, R.height() + Dy));
            else
                R.moveTop(R.top() + Dy);
        }
        C.Child->setGeometry(R);
    }
}

// ---- TSimpleDialog ----

TSimpleDialog::TSimpleDialog(QWidget* Owner) : FForm(new TAnchoredDialog(Owner)) {
    QDialog& F = *FForm;
    F.setModal(true);
    F.resize(313, 214);

    FBevel = new QFrame(&F);
    FBevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
    FBevel->setGeometry(8, 8, F.width() - 16, 0);

    FLabel = new QLabel(&F);
    FLabel->setGeometry(FBevel->x() + 8, FBevel->y() + 8, FBevel->width() - 16, 13);

    // Created before the buttons, so it comes first in the tab order and gets the focus.
    FEdit = new QLineEdit(&F);
    FEdit->setGeometry(FLabel->x(), FLabel->geometry().bottom() + 1 + 8, FBevel->width() - 16, 21);
    FLabel->setBuddy(FEdit);

    FBevel->resize(FBevel->width(), FEdit->geometry().bottom() + 1 + 8);
    const int BevelBottom = FBevel->geometry().bottom() + 1;
    const int BevelRight = FBevel->geometry().right() + 1;

    FOkButton = new QPushButton(QStringLiteral("OK"), &F);
    FOkButton->setDefault(true);
    FCancelButton = new QPushButton(QStringLiteral("Cancel"), &F);
    FCancelButton->setGeometry(BevelRight - 75, BevelBottom + 8, 75, 25);
    FOkButton->setGeometry(FCancelButton->x() - 75 - 8, BevelBottom + 8, 75, 25);
    QObject::connect(FOkButton, &QPushButton::clicked, &F, &QDialog::accept);
    QObject::connect(FCancelButton, &QPushButton::clicked, &F, &QDialog::reject);

    F.resize(F.width(), FOkButton->geometry().bottom() + 1 + 8);
    FBevel->lower();

    FForm->Anchor(*FLabel, AnchorLeft | AnchorTop | AnchorRight);
    FForm->Anchor(*FEdit, AnchorLeft | AnchorTop | AnchorRight);
    FForm->Anchor(*FBevel, AnchorLeft | AnchorTop | AnchorRight | AnchorBottom);
    FForm->Anchor(*FOkButton, AnchorRight | AnchorBottom);
    FForm->Anchor(*FCancelButton, AnchorRight | AnchorBottom);
    FEdit->setFocus();
}

TSimpleDialog::~TSimpleDialog() {
    delete FForm.data();
}

void TSimpleDialog::SetPrompt(const QString& Prompt) {
    FLabel->setText(Prompt);
}

QString TSimpleDialog::Text() const {
    return FEdit->text();
}

void TSimpleDialog::SetText(const QString& Text) {
    FEdit->setText(Text);
}

// ---- TUnclosableDockForm ----

TUnclosableDockForm::TUnclosableDockForm(const QString& Title, QWidget* Parent)
    : QDockWidget(Title, Parent) {}

void TUnclosableDockForm::closeEvent(QCloseEvent* Event) {
    if (OnCloseQuery) {
        if (OnCloseQuery())
            QDockWidget::closeEvent(Event);
        else
            Event->ignore();
        return;
    }
    if (isFloating() && qobject_cast<QMainWindow*>(parentWidget()))
        setFloating(false);
    Event->ignore();
}

// ---- Dialog helpers ----

namespace {

std::optional<int> ParseInteger(const QString& Text) {
    bool Ok = false;
    const int Value = Text.trimmed().toInt(&Ok, 10);
    if (!Ok)
        return std::nullopt;
    return Value;
}

} // namespace

void ValidateUpDownEdit(QLineEdit& Edit, int Minimum, int Maximum) {
    if (Maximum < Minimum)
        std::swap(Minimum, Maximum);
    std::optional<int> Value = ParseInteger(Edit.text());
    while (!Value && Edit.isUndoAvailable()) {
        const QString Before = Edit.text();
        Edit.undo();
        if (Edit.text() == Before)
            break;
        Value = ParseInteger(Edit.text());
    }
    if (!Value) {
        Edit.setText(QString::number(Minimum));
        return;
    }
    if (*Value < Minimum)
        Edit.setText(QString::number(Minimum));
    else if (*Value > Maximum)
        Edit.setText(QString::number(Maximum));
}

void ValidateUpDownEdit(QSpinBox& UpDown) {
    const std::optional<int> Value = ParseInteger(UpDown.cleanText());
    // setValue clamps to the range and always rewrites the editor's text.
    UpDown.setValue(Value ? *Value : UpDown.value());
}

bool ChooseColor(QWidget* Parent, const QString& Caption, TColor& Color) {
    QColorDialog Dialog(ToQColor(Color), Parent);
    Dialog.setWindowTitle(Caption);
    // Qt's own dialog everywhere, so that it looks and answers alike on every desktop.
    Dialog.setOption(QColorDialog::DontUseNativeDialog);
    if (Dialog.exec() != QDialog::Accepted || !Dialog.selectedColor().isValid())
        return false;
    Color = FromQColor(Dialog.selectedColor());
    return true;
}

TUpDownEdit::TUpDownEdit(QWidget* Parent) : QSpinBox(Parent) {}

QValidator::State TUpDownEdit::validate(QString& Input, int& Pos) const {
    const QValidator::State State = QSpinBox::validate(Input, Pos);
    if (State != QValidator::Invalid)
        return State;
    // An integer beyond the range waits for the field to be left.
    static const QRegularExpression Integer(QStringLiteral("^\\s*[-+]?\\d{0,9}\\s*$"));
    return Integer.match(Input).hasMatch() ? QValidator::Intermediate : QValidator::Invalid;
}

void TUpDownEdit::fixup(QString& Input) const {
    if (const std::optional<int> Value = ParseInteger(Input))
        Input = textFromValue(std::clamp(*Value, minimum(), maximum()));
}

void TUpDownEdit::focusOutEvent(QFocusEvent* Event) {
    ValidateUpDownEdit(*this);
    QSpinBox::focusOutEvent(Event);
}

void FitTwoColumns(QTableView& Grid) {
    const QAbstractItemModel* Model = Grid.model();
    if (!Model || Model->columnCount() < 2)
        return;
    const std::int64_t W0 = Grid.columnWidth(0);
    const std::int64_t W1 = Grid.columnWidth(1);
    if (W0 + W1 <= 0)
        return;
    const std::int64_t Client = Grid.viewport()->width();
    Grid.setColumnWidth(0,
                        static_cast<int>(std::max<std::int64_t>(0, Client * W0 / (W0 + W1) - 1)));
    Grid.setColumnWidth(1,
                        static_cast<int>(std::max<std::int64_t>(0, Client * W1 / (W0 + W1) - 1)));
}

void FitLabelHeight(QLabel& Label) {
    const QRect Contents = Label.contentsRect();
    const int Margin = 2 * Label.margin();
    const int Width = std::max(1, Contents.width() - Margin);
    const QRect Text = Label.fontMetrics().boundingRect(
        QRect(0, 0, Width, 1 << 20), static_cast<int>(Label.alignment()) | Qt::TextWordWrap,
        Label.text());
    const int Extra = Label.height() - Contents.height() + Margin;
    Label.resize(Label.width(), Text.height() + Extra);
}

QRect SizeGripRect(const QWidget& Form) {
    const int Side = Form.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &Form);
    return QRect(Form.width() - Side, Form.height() - Side, Side, Side);
}

void DrawSizeGrip(QWidget& Form, QPainter& Painter) {
    QStyleOptionSizeGrip Option;
    Option.initFrom(&Form);
    Option.rect = SizeGripRect(Form);
    Option.corner =
        Form.layoutDirection() == Qt::RightToLeft ? Qt::BottomLeftCorner : Qt::BottomRightCorner;
    Form.style()->drawControl(QStyle::CE_SizeGrip, &Option, &Painter, &Form);
}

void InvalidateSizeGrip(QWidget& Form) {
    Form.update(SizeGripRect(Form));
}

// ---- TColorComboBox ----

TColorComboBox::TColorComboBox(QWidget* Parent) : QComboBox(Parent) {
    const int Side = fontMetrics().height();
    setIconSize(QSize(2 * Side, Side));
    for (const TDisplayColor& Entry : DisplayColors) {
        QPixmap Swatch(iconSize());
        Swatch.fill(Qt::transparent);
        {
            QPainter P(&Swatch);
            P.setPen(palette().color(QPalette::Text));
            P.setBrush(ToQColor(Entry.Color));
            P.drawRect(Swatch.rect().adjusted(0, 2, -1, -3));
        }
        addItem(QIcon(Swatch), QString::fromUtf8(Entry.Name));
    }
}

void TColorComboBox::SetSelectedColorIndex(int Index) {
    setCurrentIndex(Index >= 0 && Index < count() ? Index : -1);
}

TNumericKeyFilter::TNumericKeyFilter(QObject* Parent, std::function<char32_t()> DecimalSeparator)
    : QObject(Parent), FDecimalSeparator(std::move(DecimalSeparator)) {}

bool TNumericKeyFilter::eventFilter(QObject* Watched, QEvent* Event) {
    if (Event->type() == QEvent::KeyPress && Swallows(*static_cast<QKeyEvent*>(Event)))
        return true;
    return QObject::eventFilter(Watched, Event);
}

bool TNumericKeyFilter::Swallows(const QKeyEvent& Key) const {
    if (Key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    const char32_t Separator = FDecimalSeparator ? FDecimalSeparator() : U'.';
    for (const uint C : Key.text().toUcs4()) {
        if (C < 0x20 || C == 0x7F)
            continue;
        if (FilterNumericKey(static_cast<char32_t>(C), Separator) == 0)
            return true;
    }
    return false;
}

} // namespace korvane
