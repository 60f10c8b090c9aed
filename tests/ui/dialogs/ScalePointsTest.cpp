#include "ui/dialogs/ScalePoints.h"

#include "core/Errors.h"
#include "core/Prompter.h"
#include "support/HelpFixture.h"
#include "ui/common/HelpUtils.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>
#include <vector>

namespace korvane {
namespace {

// Runs a test under a default locale and puts the previous one back.
class TLocaleGuard {
public:
    explicit TLocaleGuard(const QLocale& Locale) : FSaved(QLocale()) {
        QLocale::setDefault(Locale);
    }
    ~TLocaleGuard() { QLocale::setDefault(FSaved); }

private:
    QLocale FSaved;
};

const QLocale English(QLocale::English, QLocale::UnitedStates);
const QLocale German(QLocale::German, QLocale::Germany);

void Type(QWidget& Target, int Key, const QString& Text,
          Qt::KeyboardModifiers Modifiers = Qt::NoModifier) {
    QKeyEvent Press(QEvent::KeyPress, Key, Modifiers, Text);
    QApplication::sendEvent(&Target, &Press);
    QKeyEvent Release(QEvent::KeyRelease, Key, Modifiers, Text);
    QApplication::sendEvent(&Target, &Release);
}

void TypeText(QWidget& Target, const QString& Text) {
    for (const QChar C : Text)
        Type(Target, C.toUpper().unicode(), QString(C));
}

TEST(ScalePoints, BuildsTheFormWithHiddenLogarithmicBoxesAndHelpNumbers) {
    TScriptedPrompter Prompter;
    TfrmScalePoints D(Prompter);
    EXPECT_EQ(D.windowTitle(), "Coordinates");
    EXPECT_EQ(D.lblX->text(), "&X:");
    EXPECT_EQ(D.lblY->text(), "&Y:");
    EXPECT_EQ(D.chkXLog->text(), "&Logarithmic");
    EXPECT_EQ(D.chkYLog->text(), "Lo&garithmic");
    EXPECT_EQ(D.cmdOK->text(), "OK");
    EXPECT_EQ(D.cmdCancel->text(), "Cancel");
    EXPECT_EQ(D.btnHelp->text(), "&Help");
    EXPECT_TRUE(D.cmdOK->isDefault());
    EXPECT_TRUE(D.windowFlags() & Qt::WindowContextHelpButtonHint);
    EXPECT_TRUE(D.chkXLog->isHidden());
    EXPECT_TRUE(D.chkYLog->isHidden());
    D.ShowLogarithmic(true);
    EXPECT_FALSE(D.chkXLog->isHidden());
    EXPECT_FALSE(D.chkYLog->isHidden());
    D.ShowLogarithmic(false);
    EXPECT_TRUE(D.chkXLog->isHidden());

    EXPECT_EQ(HelpContextOf(D), 1600);
    const std::vector<std::pair<QWidget*, int>> Numbers = {
        {D.txtX, 1601}, {D.chkXLog, 1602}, {D.txtY, 1603}, {D.chkYLog, 1604}};
    for (const auto& [Control, Number] : Numbers) {
        EXPECT_EQ(HelpContextOf(*Control), Number);
        EXPECT_EQ(Control->whatsThis(), QString::fromUtf8(HelpText(Number)));
    }
    EXPECT_EQ(D.txtX->whatsThis(), "The X value for this point.");
}

TEST(ScalePoints, KeyFilterLetsOnlyTheKeysOfANumberThrough) {
    struct TCase {
        const QLocale* Locale;
        QString Typed;
        QString Expected;
    };
    const std::vector<TCase> Cases = {
        {&English, "-12.5e3", "-12.5e3"},
        {&English, "1E-7", "1E-7"},
        {&English, "a1b2 x+", "12"}, // letters, blanks and '+' are swallowed
        {&English, "3,5", "35"},     // not the separator of this locale
        {&German, "3,5", "3,5"},
        {&German, "3.5", "35"},
        {&English, QString::fromUtf8("2\u00b5%/"), "2"},
    };
    for (const TCase& C : Cases) {
        TLocaleGuard Guard(*C.Locale);
        TScriptedPrompter Prompter;
        TfrmScalePoints D(Prompter);
        TypeText(*D.txtX, C.Typed);
        TypeText(*D.txtY, C.Typed);
        EXPECT_EQ(D.txtX->text(), C.Expected) << C.Typed.toStdString();
        EXPECT_EQ(D.txtY->text(), C.Expected) << C.Typed.toStdString();
    }
}

TEST(ScalePoints, EditingKeysKeepWorkingThroughTheFilter) {
    TScriptedPrompter Prompter;
    TfrmScalePoints D(Prompter);
    QLineEdit& Edit = *D.txtX;
    TypeText(Edit, "123");
    Type(Edit, Qt::Key_Backspace, "\b");
    EXPECT_EQ(Edit.text(), "12");
    Type(Edit, Qt::Key_Home, QString());
    TypeText(Edit, "9");
    EXPECT_EQ(Edit.text(), "912");
    EXPECT_EQ(Edit.cursorPosition(), 1);
    Type(Edit, Qt::Key_Delete, QString());
    EXPECT_EQ(Edit.text(), "92");
    Type(Edit, Qt::Key_End, QString());
    TypeText(Edit, "4");
    EXPECT_EQ(Edit.text(), "924");
    Type(Edit, Qt::Key_A, QString(QChar(1)), Qt::ControlModifier); // select all
    EXPECT_EQ(Edit.selectedText(), "924");
    TypeText(Edit, "7");
    EXPECT_EQ(Edit.text(), "7");
}

TEST(ScalePoints, ValuesUseTheLocaleDecimalSeparator) {
    TLocaleGuard Guard(German);
    TScriptedPrompter Prompter;
    TfrmScalePoints D(Prompter);
    D.SetXValue(1.5);
    D.SetYValue(-2.25e-7);
    EXPECT_EQ(D.txtX->text(), "1,5");
    EXPECT_DOUBLE_EQ(D.XValue(), 1.5);
    EXPECT_DOUBLE_EQ(D.YValue(), -2.25e-7);
    D.txtX->setText("1.5");
    EXPECT_THROW(D.XValue(), EConvertError);
}

struct TOkCase {
    const char* Name;
    bool XLog, YLog;
    const char* X;
    const char* Y;
    const char* Message; // nullptr: the dialog closes with OK
};

TEST(ScalePoints, OkRefusesNonpositiveLogarithmicValuesAndTextsThatAreNoNumbers) {
    const char* const Nonpositive = "Can't have nonpositive scale points with logarithmic axes.";
    const std::vector<TOkCase> Cases = {
        {"linear axes take any value", false, false, "-3", "0", nullptr},
        {"logarithmic X positive", true, false, "0.001", "-5", nullptr},
        {"logarithmic X zero", true, false, "0", "1", Nonpositive},
        {"logarithmic Y negative", false, true, "1", "-1e-9", Nonpositive},
        {"both logarithmic and positive", true, true, "10", "1e5", nullptr},
        {"X is no number", false, false, "-", "1", "'-' is not a valid floating point value"},
        {"Y is empty", true, true, "1", "", "'' is not a valid floating point value"},
        {"X is no number on a log axis", true, false, "1e", "1",
         "'1e' is not a valid floating point value"},
    };
    for (const TOkCase& C : Cases) {
        TLocaleGuard Guard(English);
        TScriptedPrompter Prompter;
        TfrmScalePoints D(Prompter);
        D.ShowLogarithmic(true);
        D.chkXLog->setChecked(C.XLog);
        D.chkYLog->setChecked(C.YLog);
        D.txtX->setText(C.X);
        D.txtY->setText(C.Y);
        D.show();
        D.cmdOK->click();
        if (C.Message) {
            ASSERT_EQ(Prompter.Asked.size(), 1u) << C.Name;
            EXPECT_EQ(Prompter.Asked[0].Text, C.Message) << C.Name;
            EXPECT_EQ(Prompter.Asked[0].Kind, EMessageKind::Error) << C.Name;
            EXPECT_EQ(Prompter.Asked[0].Buttons, unsigned(mbOK)) << C.Name;
            EXPECT_TRUE(D.isVisible()) << C.Name;
            EXPECT_NE(D.result(), QDialog::Accepted) << C.Name;
        } else {
            EXPECT_TRUE(Prompter.Asked.empty()) << C.Name;
            EXPECT_FALSE(D.isVisible()) << C.Name;
            EXPECT_EQ(D.result(), QDialog::Accepted) << C.Name;
        }
    }
}

TEST(ScalePoints, CorrectingARefusedValueLetsOkClose) {
    TLocaleGuard Guard(English);
    TScriptedPrompter Prompter;
    TfrmScalePoints D(Prompter);
    D.ShowLogarithmic(true);
    D.chkYLog->setChecked(true);
    D.SetXValue(0);
    D.SetYValue(0);
    D.show();
    D.cmdOK->click();
    ASSERT_TRUE(D.isVisible());
    D.SetYValue(100);
    D.cmdOK->click();
    EXPECT_EQ(D.result(), QDialog::Accepted);
    EXPECT_EQ(Prompter.Asked.size(), 1u);
    EXPECT_TRUE(D.YLogarithmic());
    EXPECT_FALSE(D.XLogarithmic());
    EXPECT_DOUBLE_EQ(D.YValue(), 100.0);
}

TEST(ScalePoints, CancelAndHelpCloseAsCancelled) {
    TScriptedPrompter Prompter;
    {
        THelpFixture NoManual({});
        TfrmScalePoints D(Prompter);
        EXPECT_FALSE(D.btnHelp->isEnabled()); // a program without a manual
        D.show();
        D.cmdCancel->click();
        EXPECT_FALSE(D.isVisible());
        EXPECT_EQ(D.result(), QDialog::Rejected);
    }
    THelpFixture Help;
    {
        TfrmScalePoints D(Prompter);
        ASSERT_TRUE(D.btnHelp->isEnabled());
        D.show();
        D.btnHelp->click();
        EXPECT_FALSE(D.isVisible());
        EXPECT_EQ(D.result(), QDialog::Rejected);
    }
    EXPECT_EQ(Help.Shown, (std::vector<int>{1600}));
    EXPECT_EQ(Help.Pages, (std::vector<QString>{"topic.md"}));
    EXPECT_TRUE(Prompter.Asked.empty());
}

TEST(ScalePoints, PositionNearFlipsAtTheRightAndBottomEdges) {
    TScriptedPrompter Prompter;
    TfrmScalePoints D(Prompter);
    D.ShowLogarithmic(true);
    D.adjustSize();
    const QSize Size = D.frameGeometry().size();
    const QRect Area = QGuiApplication::primaryScreen()->availableGeometry();
    const int Right = Area.x() + Area.width();
    const int Bottom = Area.y() + Area.height();
    ASSERT_GT(Area.width(), 2 * Size.width() + 40);
    ASSERT_GT(Area.height(), 2 * Size.height() + 40);

    struct TCase {
        QPoint Click;
        QPoint Expected;
    };
    const int X0 = Area.x() + 100;
    const int Y0 = Area.y() + 100;
    // The last point where the dialog still fits right of and below the click.
    const int FitX = Right - 10 - Size.width();
    const int FitY = Bottom - 10 - Size.height();
    const std::vector<TCase> Cases = {
        {{X0, Y0}, {X0 + 10, Y0 + 10}},
        {{FitX, Y0}, {FitX + 10, Y0 + 10}},
        {{FitX + 1, Y0}, {FitX + 1 - 10 - Size.width(), Y0 + 10}},
        {{X0, FitY}, {X0 + 10, FitY + 10}},
        {{X0, FitY + 1}, {X0 + 10, FitY + 1 - 10 - Size.height()}},
        {{Right - 1, Bottom - 1}, {Right - 11 - Size.width(), Bottom - 11 - Size.height()}},
    };
    for (const TCase& C : Cases) {
        D.PositionNear(C.Click);
        EXPECT_EQ(D.frameGeometry().topLeft(), C.Expected) << C.Click.x() << ", " << C.Click.y();
        EXPECT_EQ(D.frameGeometry().size(), Size);
    }
}

} // namespace
} // namespace korvane
