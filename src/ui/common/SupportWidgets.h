#pragma once

#include "core/Colors.h"

#include <QComboBox>
#include <QDialog>
#include <QDockWidget>
#include <QPointer>
#include <QRect>
#include <QSpinBox>
#include <QString>
#include <functional>
#include <vector>

class QFrame;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPainter;
class QPushButton;
class QTableView;

namespace korvane {

// The hourglass while a file is read or a page scanned; the previous cursor comes back
// however that ends.
class TWaitCursor {
public:
    TWaitCursor();
    ~TWaitCursor();
    TWaitCursor(const TWaitCursor&) = delete;
    TWaitCursor& operator=(const TWaitCursor&) = delete;

private:
    bool FSet = true;
};

// Which sides of its parent a child keeps its distance to when the parent is resized.
enum TAnchor : unsigned { AnchorLeft = 1, AnchorTop = 2, AnchorRight = 4, AnchorBottom = 8 };

// A dialog that lays its children out by fixed rectangles and moves or stretches each of them
// by its anchors when it is resized. The rectangles given to Anchor are relative to the
// dialog's current client size, which becomes the reference size of that child.
class TAnchoredDialog : public QDialog {
public:
    explicit TAnchoredDialog(QWidget* Parent = nullptr);

    void Anchor(QWidget& Child, unsigned Anchors);

protected:
    void resizeEvent(QResizeEvent* Event) override;

private:
    struct TAnchoredChild {
        QWidget* Child;
        QRect Rect;
        QSize ParentSize;
        unsigned Anchors;
    };
    std::vector<TAnchoredChild> FChildren;
};

// A modal dialog asking for one line of text: a framed prompt and edit box above the OK and
// Cancel buttons. The caller sets the form's title and width and runs it with exec(); the
// text is accepted when exec() returns QDialog::Accepted.
class TSimpleDialog {
public:
    explicit TSimpleDialog(QWidget* Owner = nullptr);
    ~TSimpleDialog();
    TSimpleDialog(const TSimpleDialog&) = delete;
    TSimpleDialog& operator=(const TSimpleDialog&) = delete;

    QDialog& Form() const { return *FForm; }
    QFrame& Bevel() const { return *FBevel; }
    QPushButton& OkButton() const { return *FOkButton; }
    QPushButton& CancelButton() const { return *FCancelButton; }
    QLabel& PromptLabel() const { return *FLabel; }
    QLineEdit& Edit() const { return *FEdit; }

    void SetPrompt(const QString& Prompt);
    QString Text() const;
    void SetText(const QString& Text);

private:
    // Owned by the dialog, unless the owner widget was destroyed first and took it along.
    QPointer<TAnchoredDialog> FForm; // the form owns the controls below
    QFrame* FBevel;
    QLabel* FLabel;
    QLineEdit* FEdit;
    QPushButton* FOkButton;
    QPushButton* FCancelButton;
};

// The floating host of a dockable panel. Closing it asks OnCloseQuery first (true lets it
// close); without a handler it docks back into its main window and stays open, so the panel
// can never be lost by closing its floating window.
class TUnclosableDockForm : public QDockWidget {
public:
    explicit TUnclosableDockForm(const QString& Title, QWidget* Parent = nullptr);

    std::function<bool()> OnCloseQuery;

protected:
    void closeEvent(QCloseEvent* Event) override;
};

// Checks the integer in Edit when the user leaves it: text that is no integer is undone (step
// by step until it is one; the minimum if no earlier text was an integer), a value outside
// Minimum..Maximum becomes the limit it passed. Never throws.
void ValidateUpDownEdit(QLineEdit& Edit, int Minimum, int Maximum);
// The same for a spin box: its editor already refuses most bad keys, but unfinished text (an
// empty field, a lone "-") is replaced by the spin box's last value, and the value is clamped.
void ValidateUpDownEdit(QSpinBox& UpDown);

// The colour dialog, starting at Color; on OK Color holds the chosen colour.
bool ChooseColor(QWidget* Parent, const QString& Caption, TColor& Color);

// The numeric field of a dialog: an edit box with up and down arrows. While the user types, any
// integer stands, also one outside the range (so that "700" can be typed where 500 is the
// limit); leaving the field, pressing Enter or reading it through ValidateUpDownEdit clamps
// it to the range. Keys that no integer can contain are refused.
class TUpDownEdit : public QSpinBox {
public:
    explicit TUpDownEdit(QWidget* Parent = nullptr);

protected:
    QValidator::State validate(QString& Input, int& Pos) const override;
    void fixup(QString& Input) const override;
    void focusOutEvent(QFocusEvent* Event) override;
};

// Gives the first two columns of Grid new widths, in proportion to their current ones, that
// fill the grid's viewport: viewport width × width i / (width 0 + width 1), truncated, minus 1.
// Nothing happens for a grid with fewer than two columns or two columns of zero width.
void FitTwoColumns(QTableView& Grid);

// Sets the height of Label to that of its text wrapped at words inside the label's current
// width (frame and margins included). Meant for word-wrapped labels.
void FitLabelHeight(QLabel& Label);

// The size grip of a resizable form: a rectangle in the bottom-right corner of its client area
// as wide and as high as a scroll bar's arrow button.
QRect SizeGripRect(const QWidget& Form);
// Paints the style's size grip into SizeGripRect; call it at the end of the form's paintEvent.
void DrawSizeGrip(QWidget& Form, QPainter& Painter);
// Schedules a repaint of the grip; call it from the form's resizeEvent.
void InvalidateSizeGrip(QWidget& Form);

// A combo box offering the display colours of data sets by name with a swatch of each colour,
// in table order: the item index is the colour index.
// An event filter for edit boxes that take real numbers: it swallows every typed character a
// number cannot contain (FilterNumericKey with the decimal separator that DecimalSeparator
// answers when the key arrives). Editing keys, shortcuts with Ctrl, Alt or Meta and control
// characters pass unchanged.
class TNumericKeyFilter : public QObject {
public:
    TNumericKeyFilter(QObject* Parent, std::function<char32_t()> DecimalSeparator);

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    bool Swallows(const QKeyEvent& Key) const;
    std::function<char32_t()> FDecimalSeparator;
};

class TColorComboBox : public QComboBox {
public:
    explicit TColorComboBox(QWidget* Parent = nullptr);

    // -1 when nothing is selected.
    int SelectedColorIndex() const { return currentIndex(); }
    // An index outside the colour table selects nothing.
    void SetSelectedColorIndex(int Index);
};

} // namespace korvane
