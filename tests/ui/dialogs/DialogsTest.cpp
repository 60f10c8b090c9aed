#include "support/HelpFixture.h"
#include "ui/common/HelpUtils.h"
#include "ui/common/SupportWidgets.h"
#include "ui/dialogs/FormatDialog.h"
#include "ui/dialogs/PointDialog.h"
#include "ui/dialogs/PreferencesDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QFile>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace korvane {
namespace {

QPoint CentredTopLeft(const QWidget& Form) {
    const QRect Area = QGuiApplication::primaryScreen()->availableGeometry();
    const QSize Size = Form.frameGeometry().size();
    return {Area.x() + (Area.width() - Size.width()) / 2,
            Area.y() + (Area.height() - Size.height()) / 2};
}

void SendMouse(QWidget& Target, QEvent::Type Type, QPoint Local, Qt::MouseButton Button,
               Qt::MouseButtons Buttons) {
    QMouseEvent Event(Type, QPointF(Local), QPointF(Target.mapToGlobal(Local)), Button, Buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(&Target, &Event);
}

// ---- Units dialog ----

TEST(PointDialog, TextsRoundTripIncludingNonAsciiUnits) {
    TfrmPointDialog D;
    D.setWindowTitle("Units");
    D.SetXText("\xc2\xb5m"); // µm
    D.SetYText("\xc2\xb0"
               "C"); // °C
    EXPECT_EQ(D.txtX->text(), QString::fromUtf8("\xc2\xb5m"));
    EXPECT_EQ(D.GetXText(), "\xc2\xb5m");
    EXPECT_EQ(D.GetYText(), "\xc2\xb0"
                            "C");
    D.txtY->setText("kg");
    EXPECT_EQ(D.GetYText(), "kg");
    D.SetXText("");
    EXPECT_EQ(D.GetXText(), "");

    EXPECT_EQ(D.lblX->text(), "X:");
    EXPECT_EQ(D.lblY->text(), "Y:");
    EXPECT_EQ(D.btnOK->text(), "OK");
    EXPECT_EQ(D.btnCancel->text(), "Cancel");
    EXPECT_EQ(D.btnHelp->text(), "&Help");
    EXPECT_TRUE(D.btnOK->isDefault());
    EXPECT_TRUE(D.windowFlags() & Qt::WindowContextHelpButtonHint);
    EXPECT_EQ(HelpContextOf(D), 1100);
    EXPECT_EQ(HelpContextOf(*D.txtX), 1101);
    EXPECT_EQ(D.txtY->whatsThis(), "The units for the Y axis.");
    EXPECT_TRUE(D.btnHelp->isEnabled()); // the manual is built in

    D.show();
    D.btnOK->click();
    EXPECT_EQ(D.result(), QDialog::Accepted);
    D.show();
    D.btnCancel->click();
    EXPECT_EQ(D.result(), QDialog::Rejected);
}

TEST(PointDialog, OpensCentredAndWidensButKeepsItsHeight) {
    TfrmPointDialog D;
    EXPECT_EQ(D.size(), QSize(306, 200));
    D.show();
    QApplication::processEvents();
    EXPECT_EQ(D.size(), QSize(306, 200));
    EXPECT_EQ(D.frameGeometry().topLeft(), CentredTopLeft(D));

    D.resize(500, 300);
    EXPECT_EQ(D.size(), QSize(500, 200));
    D.resize(100, 100);
    EXPECT_EQ(D.size(), QSize(306, 200));

    // The buttons stay clear of the size grip and follow the right edge.
    const QRect Grip = SizeGripRect(D);
    EXPECT_EQ(Grip.bottomRight(), D.rect().bottomRight());
    for (QPushButton* Button : {D.btnOK, D.btnCancel, D.btnHelp})
        EXPECT_FALSE(Button->geometry().intersects(Grip)) << Button->text().toStdString();

    // Dragging the grip widens the form, never below its minimum width.
    const QPoint Start = Grip.center();
    SendMouse(D, QEvent::MouseButtonPress, Start, Qt::LeftButton, Qt::LeftButton);
    SendMouse(D, QEvent::MouseMove, Start + QPoint(60, 40), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(D.size(), QSize(366, 200));
    SendMouse(D, QEvent::MouseMove, Start + QPoint(-200, 0), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(D.size(), QSize(306, 200));
    SendMouse(D, QEvent::MouseMove, Start + QPoint(30, 0), Qt::NoButton, Qt::LeftButton);
    SendMouse(D, QEvent::MouseButtonRelease, Start + QPoint(30, 0), Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(D.size(), QSize(336, 200));
    QApplication::processEvents();
    const QRect Wider = SizeGripRect(D);
    EXPECT_FALSE(D.btnHelp->geometry().intersects(Wider));
    EXPECT_EQ(D.btnHelp->geometry().right() + 1 + D.layout()->contentsMargins().right(), D.width());
    EXPECT_GT(D.txtX->width(), 336 / 2); // the edits grow with the form

    // Once released, moving over the form no longer resizes it.
    SendMouse(D, QEvent::MouseMove, Wider.center() + QPoint(50, 0), Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(D.size(), QSize(336, 200));
}

TEST(PointDialog, HelpButtonOpensItsTopicAndLeavesTheDialogOpen) {
    THelpFixture Help;
    TfrmPointDialog D;
    ASSERT_TRUE(D.btnHelp->isEnabled());
    D.show();
    D.btnHelp->click();
    EXPECT_EQ(Help.Shown, std::vector<int>{1100});
    EXPECT_TRUE(D.isVisible());
}

// ---- Format dialog ----

TCoordFormatPair MakePair(bool XFloating, int XPrecision, bool YFloating, int YPrecision) {
    TCoordFormatPair Pair;
    Pair.XFormat.FloatingPoint = XFloating;
    Pair.XFormat.Precision = XPrecision;
    Pair.YFormat.FloatingPoint = YFloating;
    Pair.YFormat.Precision = YPrecision;
    return Pair;
}

void ExpectSamePair(const TCoordFormatPair& A, const TCoordFormatPair& B) {
    EXPECT_EQ(A.XFormat.FloatingPoint, B.XFormat.FloatingPoint);
    EXPECT_EQ(A.XFormat.Precision, B.XFormat.Precision);
    EXPECT_EQ(A.YFormat.FloatingPoint, B.YFormat.FloatingPoint);
    EXPECT_EQ(A.YFormat.Precision, B.YFormat.Precision);
}

TEST(FormatDialog, ShowsFixedPointXAndScientificYAndReturnsAnEqualPairOnOk) {
    TfrmFormatDialog D;
    EXPECT_EQ(D.windowTitle(), "Formats");
    EXPECT_EQ(D.grpX->title(), "X Axis");
    EXPECT_EQ(D.grpY->title(), "Y Axis");
    EXPECT_EQ(D.rdoXScientific->text(), "Scientific");
    EXPECT_EQ(D.rdoYFloatingPoint->text(), "Floating point");
    EXPECT_EQ(D.chkDefault->text(), "Set as &default");
    EXPECT_EQ(D.btnHelp->text(), "&Help");
    EXPECT_TRUE(D.btnOK->isDefault());
    EXPECT_EQ(HelpContextOf(D), 500);

    const TCoordFormatPair Given = MakePair(true, 2, false, 3);
    D.SetFormats(Given);
    EXPECT_TRUE(D.rdoXFloatingPoint->isChecked());
    EXPECT_FALSE(D.rdoXScientific->isChecked());
    EXPECT_EQ(D.updXPrecision->value(), 2);
    EXPECT_TRUE(D.rdoYScientific->isChecked());
    EXPECT_FALSE(D.rdoYFloatingPoint->isChecked());
    EXPECT_EQ(D.updYPrecision->value(), 3);

    D.show();
    QApplication::processEvents();
    EXPECT_EQ(D.frameGeometry().topLeft(), CentredTopLeft(D));
    D.btnOK->click();
    EXPECT_EQ(D.result(), QDialog::Accepted);
    ExpectSamePair(D.GetFormats(), Given);

    // The pair is a valid source for the caller's copy.
    TCoordFormatPair Copy;
    Copy.Assign(D.GetFormats());
    EXPECT_EQ(Copy.XFormat.Format(1.5), "1.50");
    EXPECT_EQ(Copy.YFormat.Format(1.5), "1.500e+00");
}

TEST(FormatDialog, ChoicesAreReadBackPerAxisAndPrecisionStaysWithin0To18) {
    TfrmFormatDialog D;
    D.SetFormats(MakePair(false, 0, true, 18));
    D.rdoXFloatingPoint->setChecked(true);
    D.rdoYScientific->setChecked(true);
    EXPECT_FALSE(D.rdoXScientific->isChecked()); // the radio buttons of one axis exclude
    EXPECT_TRUE(D.rdoXFloatingPoint->isChecked());
    EXPECT_FALSE(D.rdoYFloatingPoint->isChecked());
    ExpectSamePair(D.GetFormats(), MakePair(true, 0, false, 18));

    EXPECT_EQ(D.updXPrecision->minimum(), 0);
    EXPECT_EQ(D.updXPrecision->maximum(), 18);
    D.updXPrecision->setValue(25);
    D.updYPrecision->setValue(-3);
    EXPECT_EQ(D.GetFormats().XFormat.Precision, 18);
    EXPECT_EQ(D.GetFormats().YFormat.Precision, 0);

    // An unfinished precision text reads as the last valid value.
    D.updXPrecision->setValue(7);
    D.updXPrecision->findChild<QLineEdit*>()->setText("");
    EXPECT_EQ(D.GetFormats().XFormat.Precision, 7);
    EXPECT_EQ(D.updXPrecision->text(), "7");

    EXPECT_FALSE(D.SetAsDefault());
    D.chkDefault->setChecked(true);
    EXPECT_TRUE(D.SetAsDefault());

    const std::vector<std::pair<QWidget*, int>> Numbers = {
        {D.rdoXScientific, 1201}, {D.rdoXFloatingPoint, 1202}, {D.updXPrecision, 1203},
        {D.rdoYScientific, 1204}, {D.rdoYFloatingPoint, 1205}, {D.updYPrecision, 1206},
        {D.chkDefault, 1207}};
    for (const auto& [Control, Number] : Numbers) {
        EXPECT_EQ(HelpContextOf(*Control), Number);
        EXPECT_EQ(Control->whatsThis(), QString::fromUtf8(HelpText(Number)));
    }
}

TEST(FormatDialog, CancelLeavesTheResultRejected) {
    TfrmFormatDialog D;
    D.show();
    D.btnCancel->click();
    EXPECT_EQ(D.result(), QDialog::Rejected);
    EXPECT_FALSE(D.isVisible());
}

// ---- Settings dialog ----

TEST(PreferencesDialog, ShowsTheStoredSettingsAndOkWritesEveryControlBack) {
    THelpFixture Help;
    TfrmPreferencesDialog D;
    EXPECT_EQ(D.windowTitle(), "Settings");
    ASSERT_EQ(D.pcMain->count(), 2);
    EXPECT_EQ(D.pcMain->tabText(0), "Digitizing");
    EXPECT_EQ(D.pcMain->tabText(1), "Painting");
    EXPECT_EQ(D.trkSpeed->minimum(), 0);
    EXPECT_EQ(D.trkSpeed->maximum(), 300);
    EXPECT_EQ(D.trkSpeed->pageStep(), 30);
    EXPECT_EQ(D.trkSpeed->tickInterval(), 30);

    TVectorizerParameters Follower;
    Follower.SelectedPointColor = 3;
    Follower.UseBeacon = false;
    Follower.SetDelay(100);
    Follower.SetColorTolerance(0.25);
    Follower.SetMaxHorizontalJump(4);
    Follower.SetThicknessTolerance(30);
    Follower.SetMaxVerticalJump(120);
    TPaintParameters Paint;
    Paint.SetPenSize(5);
    Paint.SetReplacingColor(RGB(10, 20, 30));
    Paint.SetErasingColor(RGB(250, 250, 240));
    Paint.SetMarkingColor(RGB(0, 0, 200));
    TFollowerEnhancements Mixed;
    Mixed.Crossings = true; // only one of the recommended three
    D.SetShowSpanningCursor(false);
    D.SetVectorizerParameters(Follower);
    D.SetPaintParameters(Paint);
    D.SetEnhancements(Mixed);

    EXPECT_EQ(D.cboSelectedPointColor->SelectedColorIndex(), 3);
    EXPECT_FALSE(D.chkUseBeacon->isChecked());
    EXPECT_FALSE(D.GetShowSpanningCursor());
    EXPECT_EQ(D.trkSpeed->value(), 200);
    EXPECT_EQ(D.udColorTolerance->value(), 25);
    EXPECT_EQ(D.udMaxHorizontalJump->value(), 4);
    EXPECT_EQ(D.udThicknessTolerance->value(), 30);
    EXPECT_EQ(D.udMaxVerticalJump->value(), 120);
    EXPECT_EQ(D.chkEnhancedFollowing->checkState(), Qt::PartiallyChecked);
    EXPECT_EQ(TfrmPreferencesDialog::SwatchColor(*D.boxErasingColor), RGB(250, 250, 240));
    EXPECT_EQ(D.udPenSize->value(), 5);

    // Help follows the page that is shown.
    D.ShowPaintingPage(true);
    D.btnHelp->click();
    D.ShowPaintingPage(false);
    D.btnHelp->click();
    EXPECT_EQ(Help.Shown, (std::vector<int>{1050, 1000}));

    D.trkSpeed->setValue(300);
    D.udColorTolerance->setValue(60);
    D.udPenSize->setValue(12);
    D.chkGapFilling->setChecked(true);
    D.show();
    D.btnOK->click();
    EXPECT_EQ(D.result(), QDialog::Accepted);
    EXPECT_EQ(D.VectorizerParameters().Delay(), 0);
    EXPECT_DOUBLE_EQ(D.VectorizerParameters().ColorTolerance(), 0.6);
    EXPECT_EQ(D.VectorizerParameters().MaxVerticalJump(), 120);
    EXPECT_EQ(D.VectorizerParameters().SelectedPointColor, 3);
    EXPECT_EQ(D.PaintParameters().PenSize(), 12);
    EXPECT_EQ(D.PaintParameters().ReplacingColor(), RGB(10, 20, 30));
    // The half-checked switch left the enhancements as they were; gap filling was added.
    TFollowerEnhancements Expected = Mixed;
    Expected.GapFilling = true;
    EXPECT_EQ(D.Enhancements(), Expected);

    const std::vector<std::pair<QWidget*, int>> Numbers = {
        {D.cboSelectedPointColor, 1001},   {D.chkUseBeacon, 1002},
        {D.chkShowSpanningCursor, 1002},   {D.trkSpeed, 1003},
        {D.udColorTolerance, 1004},        {D.udMaxHorizontalJump, 1005},
        {D.udThicknessTolerance, 1006},    {D.udMaxVerticalJump, 1007},
        {D.btnChooseReplacingColor, 1051}, {D.btnChooseErasingColor, 1052},
        {D.btnChooseMarkingColor, 1053},   {D.udPenSize, 1054}};
    for (const auto& [Control, Number] : Numbers)
        EXPECT_EQ(HelpContextOf(*Control), Number);
}

TEST(PreferencesDialog, TypedValuesAreClampedToTheirRangesWhenRead) {
    struct TCase {
        TUpDownEdit* TfrmPreferencesDialog::*Field;
        const char* Typed;
        int Shown;
    };
    const TCase Cases[] = {
        {&TfrmPreferencesDialog::udMaxVerticalJump, "700", 500},
        {&TfrmPreferencesDialog::udMaxHorizontalJump, "0", 1},
        {&TfrmPreferencesDialog::udThicknessTolerance, "301", 300},
        {&TfrmPreferencesDialog::udColorTolerance, "-4", 0},
        {&TfrmPreferencesDialog::udPenSize, "99", 31},
    };
    TfrmPreferencesDialog D;
    for (const TCase& C : Cases) {
        TUpDownEdit& Box = *(D.*C.Field);
        auto* Editor = Box.findChild<QLineEdit*>();
        Editor->selectAll();
        Editor->del();
        for (const QChar Key : QString::fromLatin1(C.Typed)) {
            QKeyEvent Press(QEvent::KeyPress, 0, Qt::NoModifier, QString(Key));
            QApplication::sendEvent(Editor, &Press);
        }
        EXPECT_EQ(Box.text(), QString::fromLatin1(C.Typed));
    }
    D.ReadControls(); // what OK does, without leaving the fields first
    for (const TCase& C : Cases)
        EXPECT_EQ((D.*C.Field)->text(), QString::number(C.Shown)) << C.Typed;
    EXPECT_EQ(D.VectorizerParameters().MaxVerticalJump(), 500);
    EXPECT_EQ(D.PaintParameters().PenSize(), 31);
}

TEST(PreferencesDialog, ChooseOpensTheColourDialogAndOnlyOkChangesTheSwatch) {
    TfrmPreferencesDialog D;
    TPaintParameters Paint;
    Paint.SetMarkingColor(RGB(0, 128, 128));
    D.SetPaintParameters(Paint);
    D.show();
    for (const bool Accept : {false, true}) {
        QString Caption;
        QTimer::singleShot(0, [&] {
            auto* Colors = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(Colors, nullptr);
            Caption = Colors->windowTitle();
            Colors->setCurrentColor(QColor(255, 0, 0));
            Accept ? Colors->accept() : Colors->reject();
        });
        D.btnChooseMarkingColor->click();
        EXPECT_EQ(Caption, "Marking color:");
        EXPECT_EQ(TfrmPreferencesDialog::SwatchColor(*D.boxMarkingColor),
                  Accept ? RGB(255, 0, 0) : RGB(0, 128, 128));
    }
    D.ReadControls();
    EXPECT_EQ(D.PaintParameters().MarkingColor(), RGB(255, 0, 0));
}

// ---- Context help ----

TEST(HelpUtils, TableGivesTheTextsAndNothingForOtherNumbers) {
    struct TCase {
        int Context;
        const char* Text;
    };
    const std::vector<TCase> Cases = {
        {1001, "Specifies the display color for selected points."},
        {1004, "How tolerant to be when matching pixels on a line. 0 requires an exact match. "
               "100 is completely permissive."},
        {1009, "How far to the left and right the vectorizer will look to predict the "
               "centerline."},
        {1053, "The color for marking a line to digitize. This should be different from both "
               "the foreground color and the background color."},
        {1207, "Makes the current formats the default for new images."},
        {1301, "The name of the digitization."},
        {1401, "The name of the digitization."},
        {1302, "The color used for displaying the digitization."},
        {1402, "The color used for displaying the digitization."},
        {1503, "The right operand of the expression. This digitization's X values will be fit "
               "to the left operand's X values when calculating."},
        {1604, "Whether or not the Y axis is logarithmic."},
        {2305, "Outputs only the selected points on the digitization"},
        {2311, "Saves the current template to be reused with other data."},
    };
    for (const TCase& C : Cases) {
        const char* Text = HelpText(C.Context);
        ASSERT_NE(Text, nullptr) << C.Context;
        EXPECT_STREQ(Text, C.Text) << C.Context;
    }
    for (const int Context :
         {0, -1, 500, 900, 1000, 1010, 1050, 1100, 1304, 1403, 1600, 1605, 2300, 2312})
        EXPECT_EQ(HelpText(Context), nullptr) << Context;
}

TEST(HelpUtils, HelpContextSetsWhatsThisOnlyForNumbersWithText) {
    QLabel Control;
    EXPECT_EQ(HelpContextOf(Control), 0);
    SetHelpContext(Control, 2305);
    EXPECT_EQ(HelpContextOf(Control), 2305);
    EXPECT_EQ(Control.whatsThis(), "Outputs only the selected points on the digitization");
    SetHelpContext(Control, 1100);
    EXPECT_EQ(HelpContextOf(Control), 1100);
    EXPECT_TRUE(Control.whatsThis().isEmpty());
}

TEST(HelpUtils, TopicsOpenOnlyWhenThereIsAManual) {
    {
        THelpFixture NoManual({});
        EXPECT_FALSE(HelpAvailable());
        ShowHelpTopic(500);
        EXPECT_TRUE(NoManual.Shown.empty());
        TfrmFormatDialog D;
        EXPECT_FALSE(D.btnHelp->isEnabled());
    }
    THelpFixture Help;
    EXPECT_TRUE(HelpAvailable());
    EXPECT_EQ(HelpTopicOf(500), "topic.md");
    EXPECT_TRUE(HelpTopicOf(4321).isEmpty());
    ShowHelpTopic(500);
    TfrmFormatDialog D;
    ASSERT_TRUE(D.btnHelp->isEnabled());
    D.btnHelp->click();
    EXPECT_EQ(Help.Shown, (std::vector<int>{500, 500}));
    EXPECT_EQ(Help.Pages, (std::vector<QString>{"topic.md", "topic.md"}));
    // F1: the focused control's page when the manual has one for it, else the dialog's.
    QShortcut* F1 = D.findChild<QShortcut*>();
    ASSERT_TRUE(F1);
    EXPECT_EQ(F1->key(), QKeySequence(QKeySequence::HelpContents));
    D.show();
    D.setFocus();
    emit F1->activated();
    EXPECT_EQ(Help.Shown.back(), 500);
    {
        THelpFixture Controls({500, 1201});
        const QList<QWidget*> Children = D.findChildren<QWidget*>();
        const auto Own = std::find_if(Children.begin(), Children.end(),
                                      [](QWidget* W) { return HelpContextOf(*W) == 1201; });
        ASSERT_NE(Own, Children.end());
        (*Own)->setFocus();
        emit F1->activated();
        EXPECT_EQ(Controls.Shown, (std::vector<int>{1201}));
    }
}

} // namespace
} // namespace korvane
