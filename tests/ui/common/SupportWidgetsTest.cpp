#include "ui/common/SupportWidgets.h"

#include "document/Digitizations.h"

#include <QApplication>
#include <QFrame>
#include <QHeaderView>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QTableWidget>
#include <gtest/gtest.h>
#include <memory>

namespace korvane {
namespace {

struct TExpectedRect {
    const char* Name;
    QWidget* Widget;
    QRect Rect;
};

void ExpectRects(const std::vector<TExpectedRect>& Cases) {
    for (const TExpectedRect& C : Cases)
        EXPECT_EQ(C.Widget->geometry(), C.Rect) << C.Name;
}

TEST(SimpleDialog, BuildsTheFormAndKeepsButtonsAtTheRightWhenWidened) {
    TSimpleDialog Dialog;
    QDialog& Form = Dialog.Form();
    EXPECT_EQ(Form.size(), QSize(313, 115));
    ExpectRects({{"bevel", &Dialog.Bevel(), QRect(8, 8, 297, 66)},
                 {"label", &Dialog.PromptLabel(), QRect(16, 16, 281, 13)},
                 {"edit", &Dialog.Edit(), QRect(16, 37, 281, 21)},
                 {"ok", &Dialog.OkButton(), QRect(147, 82, 75, 25)},
                 {"cancel", &Dialog.CancelButton(), QRect(230, 82, 75, 25)}});
    EXPECT_EQ(Dialog.OkButton().text(), "OK");
    EXPECT_EQ(Dialog.CancelButton().text(), "Cancel");
    EXPECT_TRUE(Dialog.OkButton().isDefault());
    EXPECT_EQ(Form.focusWidget(), &Dialog.Edit());

    Form.setWindowTitle("Save Template As");
    Form.resize(400, 135);
    Form.show();
    ExpectRects({{"bevel", &Dialog.Bevel(), QRect(8, 8, 384, 86)},
                 {"label", &Dialog.PromptLabel(), QRect(16, 16, 368, 13)},
                 {"edit", &Dialog.Edit(), QRect(16, 37, 368, 21)},
                 {"ok", &Dialog.OkButton(), QRect(234, 102, 75, 25)},
                 {"cancel", &Dialog.CancelButton(), QRect(317, 102, 75, 25)}});

    // Back to the first size: every control returns to where it was built.
    Form.resize(313, 115);
    QApplication::processEvents();
    ExpectRects({{"bevel", &Dialog.Bevel(), QRect(8, 8, 297, 66)},
                 {"cancel", &Dialog.CancelButton(), QRect(230, 82, 75, 25)}});
    Form.hide();
}

TEST(SimpleDialog, ButtonsSetTheResultAndTextRoundTrips) {
    TSimpleDialog Dialog;
    Dialog.SetPrompt("Save this template as:");
    Dialog.SetText("Mine");
    EXPECT_EQ(Dialog.PromptLabel().text(), "Save this template as:");
    EXPECT_EQ(Dialog.Text(), "Mine");

    Dialog.Form().show();
    Dialog.OkButton().click();
    EXPECT_EQ(Dialog.Form().result(), QDialog::Accepted);
    EXPECT_FALSE(Dialog.Form().isVisible());

    Dialog.Form().show();
    Dialog.CancelButton().click();
    EXPECT_EQ(Dialog.Form().result(), QDialog::Rejected);
}

TEST(SimpleDialog, OutlivingItsOwnerIsSafe) {
    auto Owner = std::make_unique<QWidget>();
    TSimpleDialog Dialog(Owner.get());
    EXPECT_EQ(Dialog.Form().parentWidget(), Owner.get());
    Owner.reset(); // takes the form along; the dialog must not free it again
}

TEST(UnclosableDockForm, FloatingHostDocksBackInsteadOfClosing) {
    QMainWindow Main;
    auto* Dock = new TUnclosableDockForm("Data", &Main);
    Main.addDockWidget(Qt::RightDockWidgetArea, Dock);
    Main.show();
    Dock->setFloating(true);
    ASSERT_TRUE(Dock->isFloating());

    EXPECT_FALSE(Dock->close());
    EXPECT_FALSE(Dock->isFloating());
    EXPECT_TRUE(Dock->isVisible());

    // A handler decides instead; refusing keeps the window, consenting closes it.
    int Asked = 0;
    bool Allow = false;
    Dock->OnCloseQuery = [&] {
        ++Asked;
        return Allow;
    };
    Dock->setFloating(true);
    EXPECT_FALSE(Dock->close());
    EXPECT_TRUE(Dock->isVisible());
    Allow = true;
    EXPECT_TRUE(Dock->close());
    EXPECT_FALSE(Dock->isVisible());
    EXPECT_EQ(Asked, 2);
}

TEST(ValidateUpDownEdit, UndoesBadTextAndClampsToTheRange) {
    struct TCase {
        const char* Before; // set without undo history
        const char* Typed;  // replaces all the text as an undoable edit
        const char* After;
    };
    const TCase Cases[] = {
        {"12", "55", "55"},          {"12", " 7 ", " 7 "}, // valid and in range: untouched
        {"12", "1x", "12"},          {"12", "", "12"},     // not an integer: undone
        {"12", "99999999999", "12"},                       // beyond int: undone
        {"12", "150", "100"},        {"12", "-5", "0"},    // clamped
        {"500", "x", "100"},                               // undone, then clamped
        {"abc", nullptr, "0"},                             // nothing to undo: the minimum
    };
    for (const TCase& C : Cases) {
        QLineEdit Edit;
        Edit.setText(C.Before);
        if (C.Typed) {
            Edit.selectAll();
            Edit.insert(C.Typed);
        }
        ValidateUpDownEdit(Edit, 0, 100);
        EXPECT_EQ(Edit.text(), C.After) << C.Before << " / " << (C.Typed ? C.Typed : "-");
    }
}

TEST(ValidateUpDownEdit, SpinBoxGetsItsLastValueOrTheLimit) {
    QSpinBox Box;
    Box.setRange(0, 100);
    Box.setValue(40);
    auto* Editor = Box.findChild<QLineEdit*>();
    ASSERT_NE(Editor, nullptr);

    Editor->setText("");
    ValidateUpDownEdit(Box);
    EXPECT_EQ(Box.cleanText(), "40");
    EXPECT_EQ(Box.value(), 40);

    Editor->setText("150");
    ValidateUpDownEdit(Box);
    EXPECT_EQ(Box.cleanText(), "100");
    EXPECT_EQ(Box.value(), 100);
}

// Types Text into Editor key by key, as the keyboard would.
void Type(QWidget& Editor, const QString& Text) {
    for (const QChar C : Text) {
        QKeyEvent Press(QEvent::KeyPress, 0, Qt::NoModifier, QString(C));
        QApplication::sendEvent(&Editor, &Press);
    }
}

TEST(UpDownEdit, TakesAnyIntegerWhileTypingAndClampsItWhenLeftOrEntered) {
    struct TCase {
        const char* Typed;
        const char* WhileTyping;
        bool Enter; // else the field is left
        int After;
    };
    const TCase Cases[] = {
        {"700", "700", false, 500},   {"700", "700", true, 500},  // over the limit: clamped
        {"-3", "-3", false, 1},       {"0", "0", true, 1},        // under it
        {"12", "12", false, 12},                                  // in range
        {"4x2", "42", false, 42},                                 // a letter never arrives
        {"", "", false, 50},                                      // nothing: the last value
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Typed);
        TUpDownEdit Box;
        Box.setRange(1, 500);
        Box.setValue(50);
        auto* Editor = Box.findChild<QLineEdit*>();
        ASSERT_NE(Editor, nullptr);
        Editor->selectAll();
        Editor->del();
        Type(*Editor, QString::fromLatin1(C.Typed));
        EXPECT_EQ(Box.text(), QString::fromLatin1(C.WhileTyping));
        if (C.Enter) {
            QKeyEvent Enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QApplication::sendEvent(&Box, &Enter);
        } else {
            QFocusEvent Out(QEvent::FocusOut, Qt::TabFocusReason);
            QApplication::sendEvent(&Box, &Out);
        }
        EXPECT_EQ(Box.value(), C.After);
        EXPECT_EQ(Box.text(), QString::number(C.After));
    }
}

TEST(FitTwoColumns, FillsTheViewportInProportionTruncatingEachColumn) {
    QTableWidget Grid(3, 2);
    Grid.verticalHeader()->hide();
    Grid.setFrameShape(QFrame::NoFrame);
    Grid.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Grid.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Grid.resize(301, 200);
    Grid.show();
    ASSERT_EQ(Grid.viewport()->width(), 301);

    Grid.setColumnWidth(0, 100);
    Grid.setColumnWidth(1, 200);
    FitTwoColumns(Grid);
    // 301 × 100 / 300 = 100.3 and 301 × 200 / 300 = 200.7, truncated, less one each.
    EXPECT_EQ(Grid.columnWidth(0), 99);
    EXPECT_EQ(Grid.columnWidth(1), 199);

    QTableWidget One(3, 1);
    One.setColumnWidth(0, 40);
    FitTwoColumns(One);
    EXPECT_EQ(One.columnWidth(0), 40);
}

TEST(FitLabelHeight, MatchesTheWrappedTextHeight) {
    QLabel Label;
    Label.setWordWrap(true);
    Label.resize(80, 5);
    const int Line = Label.fontMetrics().height();

    Label.setText("Word");
    FitLabelHeight(Label);
    EXPECT_EQ(Label.height(), Line);
    EXPECT_EQ(Label.width(), 80);

    Label.setText("several words that cannot possibly fit on one line of eighty pixels");
    FitLabelHeight(Label);
    EXPECT_GE(Label.height(), 3 * Line);
    EXPECT_EQ(Label.height() % Line, 0);
}

TEST(SizeGrip, IsDrawnOnlyInTheBottomRightCorner) {
    QWidget Form;
    Form.resize(120, 90);
    const int Side = Form.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &Form);
    const QRect Grip = SizeGripRect(Form);
    EXPECT_EQ(Grip, QRect(120 - Side, 90 - Side, Side, Side));

    QImage Canvas(Form.size(), QImage::Format_RGB32);
    Canvas.fill(Qt::white);
    {
        QPainter Painter(&Canvas);
        DrawSizeGrip(Form, Painter);
    }
    int Inside = 0;
    int Outside = 0;
    for (int Y = 0; Y < Canvas.height(); ++Y)
        for (int X = 0; X < Canvas.width(); ++X)
            if (Canvas.pixel(X, Y) != qRgb(255, 255, 255))
                ++(Grip.contains(X, Y) ? Inside : Outside);
    EXPECT_GT(Inside, 0);
    EXPECT_EQ(Outside, 0);
}

TEST(ColorComboBox, ListsTheDisplayColoursInTableOrder) {
    TColorComboBox Box;
    ASSERT_EQ(Box.count(), static_cast<int>(DisplayColors.size()));
    for (int I = 0; I < Box.count(); ++I) {
        const TColor C = DisplayColors[I].Color;
        EXPECT_EQ(Box.itemText(I), DisplayColors[I].Name);
        const QImage Swatch = Box.itemIcon(I).pixmap(Box.iconSize()).toImage();
        ASSERT_FALSE(Swatch.isNull()) << I;
        EXPECT_EQ(Swatch.pixelColor(Swatch.width() / 2, Swatch.height() / 2),
                  QColor(GetRValue(C), GetGValue(C), GetBValue(C)))
            << DisplayColors[I].Name;
    }

    Box.SetSelectedColorIndex(7);
    EXPECT_EQ(Box.SelectedColorIndex(), 7);
    EXPECT_EQ(Box.currentText(), "Teal");
    Box.setCurrentIndex(12);
    EXPECT_EQ(Box.SelectedColorIndex(), 12);
    Box.SetSelectedColorIndex(13);
    EXPECT_EQ(Box.SelectedColorIndex(), -1);
    Box.SetSelectedColorIndex(0);
    EXPECT_EQ(Box.currentText(), "Aqua");
}

} // namespace
} // namespace korvane
