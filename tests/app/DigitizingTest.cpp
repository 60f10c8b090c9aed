// Digitizing through the main window: data sets, the line modes with real follower runs,
// the digitizing commands with undo and redo, and the scatter mode.
#include "app/MainWindow.h"
#include "core/Prompter.h"
#include "document/Digitizations.h"
#include "follower/Vectorizers.h"
#include "support/WaveChartWindow.h"
#include "ui/data/DigitizationDataViews.h"
#include "ui/dialogs/KorvaneDialogs.h"
#include "ui/modes/DigitizingCommands.h"
#include "ui/modes/DigitizingModes.h"
#include "ui/modes/GuideControls.h"
#include "ui/modes/KorvaneActions.h"
#include "ui/modes/PaintingMode.h"
#include "ui/panel/FollowingView.h"
#include "ui/panel/KorvanePanel.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace korvane {
namespace {

namespace fs = std::filesystem;

using Digitizing = TWaveChartWindow;

TEST_F(Digitizing, NewDataSetsAreNumberedColouredAndOpenedInTheirMode) {
    const std::int32_t Next = TCreateDigitizationCommand::NextNumber() + 1;
    Window->actDigitizeNewScatter->Execute();
    Window->actDigitizeNewFunctionalLine->Execute();
    ASSERT_EQ(Window->lbDigs->count(), 2);
    EXPECT_EQ(Window->lbDigs->item(0)->text().toStdString(), "Scatter " + std::to_string(Next));
    EXPECT_EQ(Window->lbDigs->item(1)->text().toStdString(),
              "Functional Line " + std::to_string(Next + 1));
    EXPECT_EQ(Window->App().Digitization(1).ColorIndex(),
              (Window->App().Digitization(0).ColorIndex() + 1) % 13);
    EXPECT_NE(dynamic_cast<TFunctionalLineMode*>(Window->App().ModeManager().CurrentMode()),
              nullptr);
    EXPECT_EQ(Window->App().StatusMessage(),
              "FUNCTIONAL LINE DIGITIZING: Click to automatically digitize.");
    EXPECT_TRUE(GuideHas("Functional Line Digitizing"));
    EXPECT_TRUE(GuideHas("Mark"));
    ASSERT_NE(Window->findChild<QSlider*>("trkSpeed"), nullptr);
    EXPECT_EQ(Window->findChild<QSlider*>("trkSpeed")->value(), 300);

    // Choosing the scatter opens it in the scatter mode; the speed control goes.
    Window->lbDigs->setCurrentRow(0);
    EXPECT_NE(dynamic_cast<TScatterMode*>(Window->App().ModeManager().CurrentMode()), nullptr);
    EXPECT_EQ(Window->findChild<QSlider*>("trkSpeed"), nullptr);
    EXPECT_EQ(Window->App().StatusMessage(), "SCATTER DIGITIZING: Click to add point.");

    // Undo of the creation takes the line out; redo puts the same object back.
    TDigitization* Line = &Window->App().Digitization(1);
    EXPECT_EQ(Window->actEditUndo->text(), "&Undo New Functional Line");
    Window->actEditUndo->Execute();
    EXPECT_EQ(Window->App().Count(), 1);
    Window->actEditRedo->Execute();
    ASSERT_EQ(Window->App().Count(), 2);
    EXPECT_EQ(&Window->App().Digitization(1), Line);
}

TEST_F(Digitizing, AClickFollowsTheLineAsOneUndoableRun) {
    TLine& Line = NewFunctionalLine();
    Click(50, LineRow(50));
    EXPECT_TRUE(Line.Following() || Line.Count() > 0);
    WaitForRun(Line);
    EXPECT_TRUE(Errors.empty()) << Errors.front();
    // From column 50 to the end of the line, one point per column, on the line.
    ASSERT_GE(Line.Count(), 490);
    for (std::int32_t I = 0; I < Line.Count(); I += 37) {
        const TDoublePoint P = Line.GetPoint(I);
        EXPECT_NEAR(300 - P.Y, LineRow(static_cast<int>(P.X)), 2.0) << "at x = " << P.X;
    }
    EXPECT_EQ(Line.TrackingColor, RGB(0, 0, 0));
    EXPECT_EQ(Window->actEditUndo->text(), "&Undo Automatic Digitization");
    EXPECT_TRUE(Window->actEditUndo->isEnabled());
    EXPECT_TRUE(Window->lbDigs->isEnabled());
    EXPECT_FALSE(Window->actDigitizePause->isEnabled());
    EXPECT_TRUE(Window->actDigitizeResume->isEnabled());
    EXPECT_EQ(Window->LineDataPanel().Count(), Line.Count());
    EXPECT_EQ(Window->lblDataStatus->text().toStdString(),
              std::to_string(Line.Count()) + " points.");
    // The curve simply ended: that is said, and no assistance is offered.
    EXPECT_EQ(Window->App().StatusMessage(),
              "LINE DIGITIZING: The line ends here; there is nothing further to follow. Click "
              "to automatically digitize.");
    EXPECT_FALSE(GuideHas("Assist"));
    EXPECT_TRUE(Prompter.Asked.empty());

    const std::int32_t Points = Line.Count();
    const TDoublePoint LastPoint = Line.Last();
    Window->actEditUndo->Execute();
    EXPECT_EQ(Line.Count(), 0);
    Window->actEditRedo->Execute();
    ASSERT_EQ(Line.Count(), Points);
    EXPECT_EQ(Line.Last().X, LastPoint.X);
    EXPECT_EQ(Line.Last().Y, LastPoint.Y);

    // Resume at the end: nobody clicked anywhere, and there is nothing more to follow.
    Window->actDigitizeResume->Execute();
    WaitForRun(Line);
    ASSERT_EQ(Prompter.Asked.size(), 1u);
    EXPECT_EQ(Prompter.Asked[0].Kind, EMessageKind::Information);
    EXPECT_EQ(Prompter.Asked[0].Text,
              "The line ends at its last point: there is nothing further to follow.");
    EXPECT_EQ(Line.Count(), Points);
    EXPECT_EQ(Window->actEditUndo->text(), "&Undo Automatic Digitization");
    EXPECT_FALSE(GuideHas("Assist"));
}

TEST_F(Digitizing, AClickBesideTheLineFindsNothingAndLeavesNoHistory) {
    TLine& Line = NewFunctionalLine();
    const int Before = Window->App().History().Count();
    Click(300, 20);
    WaitForRun(Line);
    ASSERT_EQ(Prompter.Asked.size(), 1u);
    EXPECT_EQ(Prompter.Asked[0].Text.rfind("The digitizer could not find a line at the point on "
                                           "which you clicked.",
                                           0),
              0u);
    EXPECT_EQ(Window->App().History().Count(), Before);
    EXPECT_EQ(Line.Count(), 0);
    EXPECT_FALSE(Line.TrackingColorSet);
}

TEST_F(Digitizing, ManualPointsBackwardClicksBackAndResume) {
    TLine& Line = NewFunctionalLine();
    // Shift-clicks add points where clicked.
    Click(100, LineRow(100), Qt::ShiftModifier);
    Click(110, LineRow(110), Qt::ShiftModifier);
    Click(120, LineRow(120), Qt::ShiftModifier);
    ASSERT_EQ(Line.Count(), 3);
    EXPECT_EQ(Line.Last().X, 120);
    EXPECT_EQ(Window->actEditUndo->text(), "&Undo Point Digitization");

    // A click left of the end is refused; with Shift it erases back from there.
    Click(105, LineRow(105));
    ASSERT_EQ(Prompter.Asked.size(), 1u);
    EXPECT_EQ(Prompter.Asked[0].Text,
              "Functional lines cannot go backwards in the X direction.\r\nPick a point whose X "
              "value places it to the right of the last digitized point.");
    EXPECT_EQ(Line.Count(), 3);
    Click(105, LineRow(105), Qt::ShiftModifier);
    EXPECT_EQ(Line.Count(), 1);
    EXPECT_EQ(Window->actEditUndo->text(), "&Undo Erase");
    Window->actEditUndo->Execute();
    EXPECT_EQ(Line.Count(), 3);

    // Back removes the last point.
    Window->actDigitizeBack->Execute();
    EXPECT_EQ(Line.Count(), 2);
    EXPECT_EQ(Line.Last().X, 110);

    // Resume continues the line from its end to the image's right side.
    ASSERT_TRUE(Window->actDigitizeResume->isEnabled());
    Window->actDigitizeResume->Execute();
    WaitForRun(Line);
    EXPECT_GT(Line.Count(), 400);
    EXPECT_EQ(Line.GetPoint(2).X, 111);
    EXPECT_EQ(Window->actEditUndo->text(), "&Undo Automatic Digitization");
    Window->actEditUndo->Execute();
    EXPECT_EQ(Line.Count(), 2);
}

TEST_F(Digitizing, AClickInTheLastPointsColumnStartsOneColumnFurther) {
    TLine& Line = NewFunctionalLine();
    Click(100, LineRow(100), Qt::ShiftModifier);
    Click(100, LineRow(100));
    WaitForRun(Line);
    ASSERT_GT(Line.Count(), 2);
    EXPECT_EQ(Line.GetPoint(1).X, 101);
    // The same at zoom 2, for a manual point.
    Window->actViewZoomIn->Execute();
    Window->actViewActualSize->Execute();
    for (int I = 0; I < 3; ++I)
        Window->actViewZoomIn->Execute();
    const TScaleSystem& V = Window->pzImage->CurrentScaleSystem();
    const TLongintPoint LastPixel = V.RealToImage(Line.Last());
    const TLongintPoint Device = V.ImageToScreen(LastPixel);
    const std::int32_t Before = Line.Count();
    Click(Device.X, Device.Y, Qt::ShiftModifier);
    ASSERT_EQ(Line.Count(), Before + 1);
    EXPECT_EQ(V.RealToImage(Line.Last()).X, LastPixel.X + 1);
}

TEST_F(Digitizing, EscapeStopsARunAndTheRunBlocksTheHistoryAndTheList) {
    TLine& Line = NewFunctionalLine();
    Settings().SetDelay(20);
    Click(50, LineRow(50));
    ASSERT_TRUE(Line.Following());
    // The panel shows the run: its scroll bars off, the beacon on.
    EXPECT_FALSE(Window->pzImage->View().HorzScrollBar().Enabled);
    EXPECT_NE(Window->pzImage->FollowingView().Beacon(), nullptr);
    EXPECT_FALSE(Window->lbDigs->isEnabled());
    EXPECT_FALSE(Window->actEditUndo->isEnabled());
    EXPECT_TRUE(Window->actDigitizePause->isEnabled());
    EXPECT_EQ(Window->actDigitizePause->shortcut(), QKeySequence(Qt::Key_Escape));
    EXPECT_EQ(Window->App().StatusMessage(),
              "LINE DIGITIZING: Press Escape to stop. Use Alt plus arrows to control speed.");
    // Alt+Up makes it faster by 30, never below 0.
    Key(Qt::Key_Up, Qt::AltModifier);
    EXPECT_EQ(Settings().Delay(), 0);
    EXPECT_EQ(Window->findChild<QSlider*>("trkSpeed")->value(), 300);
    Settings().SetDelay(20);
    WaitForPoints(Line, 5);
    Key(Qt::Key_Escape);
    WaitForRun(Line);
    EXPECT_GT(Line.Count(), 0);
    EXPECT_LT(Line.Count(), 400);
    EXPECT_TRUE(Window->pzImage->View().HorzScrollBar().Enabled);
    EXPECT_EQ(Window->pzImage->FollowingView().Beacon(), nullptr);
    EXPECT_TRUE(Window->lbDigs->isEnabled());
    EXPECT_TRUE(Window->actEditUndo->isEnabled());
    EXPECT_EQ(Window->actDigitizePause->shortcut(), QKeySequence());
    // Escape without a run does nothing.
    const std::int32_t Points = Line.Count();
    Key(Qt::Key_Escape);
    Settle();
    EXPECT_EQ(Line.Count(), Points);
    EXPECT_NE(Window->App().ModeManager().CurrentMode(), nullptr);
}

TEST_F(Digitizing, ClosingTheImageDuringARunAsksFirst) {
    TLine& Line = NewFunctionalLine();
    Settings().SetDelay(20);
    Click(50, LineRow(50));
    ASSERT_TRUE(Line.Following());
    Prompter = TScriptedPrompter({EMessageAnswer::No});
    EXPECT_FALSE(Window->CloseImage());
    ASSERT_FALSE(Prompter.Asked.empty());
    EXPECT_EQ(Prompter.Asked[0].Text, "A vectorization is currently being performed.\r\nClosing "
                                      "the file will abort this operation.\r\n\r\nDo you want to "
                                      "do this?");
    EXPECT_TRUE(Line.IsFollowing());
    Prompter = TScriptedPrompter({EMessageAnswer::Yes, EMessageAnswer::No});
    EXPECT_TRUE(Window->CloseImage());
    EXPECT_FALSE(Window->App().FileIsOpen());
    // The run was discarded: the panel took its beacon away and gave the scroll bars back.
    EXPECT_EQ(Window->pzImage->FollowingView().Beacon(), nullptr);
    EXPECT_TRUE(Window->pzImage->View().HorzScrollBar().Enabled);
}

TEST_F(Digitizing, ANonfunctionalDragGivesTheDirection) {
    Window->actDigitizeNewNonfunctionalLine->Execute();
    auto* Line = dynamic_cast<TLine*>(Window->CurrentDigitization());
    ASSERT_NE(Line, nullptr);
    EXPECT_EQ(Window->App().StatusMessage(), "NONFUNCTIONAL LINE DIGITIZING: Click and drag to "
                                             "automatically digitize in a direction.");
    // Dragging left from the middle of the line follows it to its left end.
    const int X = 300;
    View().MouseDown({X, LineRow(X)}, 1, 0);
    View().MouseUp({X - 20, LineRow(X - 20)}, 1, 0);
    WaitForRun(*Line);
    ASSERT_GT(Line->Count(), 100);
    EXPECT_LT(Line->Last().X, 100);
}

TEST_F(Digitizing, ScatterClicksAddPointsAndAClickOnAPointRemovesIt) {
    Window->actDigitizeNewScatter->Execute();
    auto* Scatter = dynamic_cast<TScatter*>(Window->CurrentDigitization());
    ASSERT_NE(Scatter, nullptr);
    Click(100, 100);
    Click(200, 100);
    Click(300, 100);
    ASSERT_EQ(Scatter->Count(), 3);
    EXPECT_EQ(Scatter->GetPoint(1).X, 200);
    EXPECT_EQ(Window->actEditUndo->text(), "&Undo Add Point");
    EXPECT_EQ(Window->lblDataStatus->text(), "3 points.");
    Click(201, 101); // on the second point: removed
    ASSERT_EQ(Scatter->Count(), 2);
    EXPECT_EQ(Window->actEditUndo->text(), "&Undo Remove Point");
    Window->actEditUndo->Execute(); // back where it was
    ASSERT_EQ(Scatter->Count(), 3);
    EXPECT_EQ(Scatter->GetPoint(1).X, 200);
    // Clicks go to the current mode only: drawing the zoom area adds no point.
    Window->actViewZoomToArea->Execute();
    ASSERT_NE(dynamic_cast<TZoomingMode*>(Window->App().ModeManager().CurrentMode()), nullptr);
    View().MouseDown({150, 150}, 1, 0);
    View().MouseMove({250, 200}, 0);
    View().MouseUp({250, 200}, 1, 0);
    Settle();
    EXPECT_EQ(Scatter->Count(), 3);
    EXPECT_NE(dynamic_cast<TScatterMode*>(Window->App().ModeManager().CurrentMode()), nullptr);
    Click(400, 120);
    EXPECT_EQ(Scatter->Count(), 4);
}

TEST_F(Digitizing, PaintingStrokesAreStepsOfTheHistoryAndTheKeysDriveThePen) {
    const auto Hash = [&] {
        const QImage& I = Window->pzImage->Image();
        return QByteArray(reinterpret_cast<const char*>(I.constBits()), I.sizeInBytes());
    };
    const QByteArray Before = Hash();
    const int History = Window->App().History().Count();
    Window->actEditPaint->Execute();
    auto* Mode = dynamic_cast<TPaintingMode*>(Window->App().ModeManager().CurrentMode());
    ASSERT_NE(Mode, nullptr);
    EXPECT_EQ(Window->actEditPaint->text(), "Stop &Painting");
    EXPECT_TRUE(Window->actEditPaint->isChecked());
    ASSERT_NE(Mode->ModeCombo, nullptr);
    EXPECT_EQ(Mode->ModeCombo->currentText(), "Replacing");
    EXPECT_EQ(Window->App().StatusMessage(),
              "Pen is up. Use Alt plus up and down arrows to change pen size.");
    const auto Key = [&](std::uint16_t Code, Qt::KeyboardModifiers Shift = Qt::NoModifier) {
        Mode->KeyDown(nullptr, Code, Shift);
        return Code; // 0 when consumed
    };

    // Click, move, click: one step "Paint"; undo gives the image back byte for byte.
    Click(100, 50);
    EXPECT_EQ(Window->App().StatusMessage(),
              "Pen is down. Use Alt plus up and down arrows to change pen size.");
    for (int X = 100; X <= 200; X += 10)
        View().MouseMove({X, 60}, 0);
    Click(200, 60);
    EXPECT_NE(Hash(), Before);
    // The stroke starts where the pen went down, not at the first move.
    EXPECT_EQ(Window->pzImage->Image().pixel(100, 50), qRgb(0, 0, 0));
    ASSERT_EQ(Window->App().History().Count(), History + 1);
    EXPECT_EQ(Window->actEditUndo->text(), "&Undo Paint");
    EXPECT_TRUE(Window->App().ImageIsDirty());
    const QByteArray Painted = Hash();
    // A click and a click without a move: no step.
    Click(300, 50);
    Click(300, 50);
    EXPECT_EQ(Window->App().History().Count(), History + 1);
    Window->actEditUndo->Execute();
    EXPECT_EQ(Hash(), Before);
    Window->actEditRedo->Execute();
    EXPECT_EQ(Hash(), Painted);

    // "g" cycles the paint modes; "d" lifts and lowers the pen; Alt+arrows stop at 1 and 31.
    EXPECT_EQ(Key('G'), 0);
    EXPECT_EQ(Mode->ModeCombo->currentText(), "Erasing");
    Key('G');
    Key('G');
    EXPECT_EQ(Window->pzImage->PaintMode(), 0);
    EXPECT_EQ(Key('D'), 0);
    EXPECT_TRUE(View().PenDown());
    Key('D');
    EXPECT_FALSE(View().PenDown());
    for (int I = 0; I < 40; ++I)
        Key(38, Qt::AltModifier);
    EXPECT_EQ(Window->pzImage->PenWidth(), 31);
    EXPECT_EQ(Mode->PenSizeEdit->value(), 31);
    for (int I = 0; I < 40; ++I)
        Key(40, Qt::AltModifier);
    EXPECT_EQ(Window->pzImage->PenWidth(), 1);
    // Zoomed in, the pen is at most 31 screen pixels wide; the box shows the width it got.
    for (int I = 0; I < 12 && View().LimitedPenWidth(31) >= 20; ++I)
        Window->actViewZoomIn->Execute();
    const int Limit = View().LimitedPenWidth(31);
    ASSERT_LT(Limit, 20);
    Mode->PenSizeEdit->setValue(20);
    EXPECT_EQ(Window->pzImage->PenWidth(), Limit);
    EXPECT_EQ(Mode->PenSizeEdit->value(), Limit);
    Window->actViewActualSize->Execute();

    // Shift-click takes the colour under the pointer for the current paint mode.
    Key('G'); // erasing
    Window->pzImage->Image().setPixel(50, 50, qRgb(255, 0, 0));
    Click(50, 50, Qt::ShiftModifier);
    EXPECT_EQ(Window->pzImage->ErasingColor(), RGB(255, 0, 0));
    EXPECT_EQ(Window->App().PaintParameters().ErasingColor(), RGB(255, 0, 0));
    EXPECT_FALSE(View().PenDown());

    // Escape with the pen down: the stroke so far is kept as a step and the mode ends.
    const int Steps = Window->App().History().Count();
    Click(400, 100);
    View().MouseMove({420, 110}, 0);
    EXPECT_NE(Key(27), 27);
    Settle();
    EXPECT_EQ(Window->App().History().Count(), Steps + 1);
    EXPECT_EQ(Window->App().ModeManager().CurrentMode(), nullptr);
    EXPECT_EQ(Window->findChild<QWidget*>("pnlPaintControls"), nullptr);
    EXPECT_EQ(Window->actEditPaint->text(), "&Paint");
}

TEST_F(Digitizing, TheGuidesMarkLinkStartsPaintingInMarking) {
    Window->actDigitizeNewFunctionalLine->Execute();
    TLinkLabel* Mark = nullptr;
    for (TLinkLabel* Link : Window->pnlGuideContent->findChildren<TLinkLabel*>())
        if (Link->text() == "Mark")
            Mark = Link;
    ASSERT_NE(Mark, nullptr);
    Window->Guide().LinkClicked(*Mark);
    Settle();
    auto* Mode = dynamic_cast<TPaintingMode*>(Window->App().ModeManager().CurrentMode());
    ASSERT_NE(Mode, nullptr);
    EXPECT_EQ(Mode->ModeCombo->currentText(), "Marking");
    EXPECT_EQ(Window->pzImage->PaintMode(), 2);
}

TEST_F(Digitizing, ErasingDragsAlongTheLineAndErasesItsTailAsOneStep) {
    TLine& Line = NewFunctionalLine();
    Click(50, LineRow(50));
    WaitForRun(Line);
    const std::int32_t Points = Line.Count();
    ASSERT_GT(Points, 400);
    ASSERT_TRUE(Window->actDataErase->isEnabled());
    Window->actDataErase->Execute();
    auto* Mode = dynamic_cast<TErasingMode*>(Window->App().ModeManager().CurrentMode());
    ASSERT_NE(Mode, nullptr);
    EXPECT_EQ(Window->App().StatusMessage(),
              "ERASING DIGITIZATION: Drag and release along line to erase.");
    // The screen pixel that shows point I (RealToScreen answers the middle of its block).
    const auto ScreenOf = [&](std::int32_t I) {
        const TScaleSystem& V = Window->pzImage->CurrentScaleSystem();
        const TLongintPoint S = V.RealToScreen(Line.GetPoint(I));
        return TLongintPoint{S.X - V.HalfStep().X, S.Y - V.HalfStep().Y};
    };
    // Pressed on point 300 and dragged back along the line to point 250: marked from there.
    View().MouseDown(ScreenOf(300), 1, 0);
    EXPECT_EQ(Line.EraseFrom(), 300);
    View().MouseMove(ScreenOf(280), 0);
    View().MouseMove(ScreenOf(250), 0);
    EXPECT_EQ(Line.EraseFrom(), 250);
    // Escape during the drag cancels it, and the mode stays.
    std::uint16_t Escape = 27;
    Mode->KeyDown(nullptr, Escape, Qt::NoModifier);
    EXPECT_EQ(Line.EraseFrom(), -1);
    View().MouseUp(ScreenOf(250), 1, 0);
    EXPECT_EQ(Line.Count(), Points);
    Settle();
    ASSERT_EQ(Window->App().ModeManager().CurrentMode(), Mode);

    View().MouseDown(ScreenOf(200), 1, 0);
    View().MouseMove(ScreenOf(150), 0);
    View().MouseUp(ScreenOf(150), 1, 0);
    EXPECT_EQ(Line.Count(), 150);
    EXPECT_EQ(Window->actEditUndo->text(), "&Undo Erase");
    Window->actEditUndo->Execute();
    EXPECT_EQ(Line.Count(), Points);
    // A release away from the line erases nothing.
    View().MouseDown({5, 5}, 1, 0);
    View().MouseUp({5, 5}, 1, 0);
    EXPECT_EQ(Line.Count(), Points);
    Escape = 27;
    Mode->KeyDown(nullptr, Escape, Qt::NoModifier);
    Settle();
    EXPECT_NE(dynamic_cast<TFunctionalLineMode*>(Window->App().ModeManager().CurrentMode()),
              nullptr);
}

TEST_F(Digitizing, SelectByAreaMakesAddsToAndTakesFromTheSelection) {
    Window->actDigitizeNewScatter->Execute();
    auto* Scatter = dynamic_cast<TScatter*>(Window->CurrentDigitization());
    ASSERT_NE(Scatter, nullptr);
    for (const int X : {100, 200, 300, 400})
        Click(X, 150);
    ASSERT_EQ(Scatter->Count(), 4);
    Window->App().SetFileIsDirty(false);
    ASSERT_TRUE(Window->actDataSelectByArea->isEnabled());
    Window->actDataSelectByArea->Execute();
    auto* Mode = dynamic_cast<TSelectingMode*>(Window->App().ModeManager().CurrentMode());
    ASSERT_NE(Mode, nullptr);
    EXPECT_EQ(Window->App().StatusMessage(),
              "SELECTING: Drag and release to define selection area.");
    EXPECT_EQ(Window->actDataSelectByArea->text(), "Stop Se&lect By Area");
    const auto Drag = [&](int FromX, int ToX, Qt::KeyboardModifiers Shift) {
        std::uint16_t Key = Shift & Qt::ShiftModifier ? 16 : Shift & Qt::ControlModifier ? 17 : 0;
        Mode->KeyDown(nullptr, Key, Shift);
        View().MouseDown({FromX, 100}, 1, 0);
        View().MouseMove({ToX, 200}, 0);
        View().MouseUp({ToX, 200}, 1, 0);
        Key = 0;
        Mode->KeyUp(nullptr, Key, Qt::NoModifier);
    };
    const auto Selected = [&] { return Scatter->Selection().SortedItems(); };
    // A plain drag: a new selection of the points inside.
    Drag(50, 250, Qt::NoModifier);
    EXPECT_EQ(Selected(), (std::vector<std::int32_t>{0, 1}));
    EXPECT_TRUE(Window->App().FileIsDirty());
    Drag(350, 450, Qt::NoModifier); // starts again
    EXPECT_EQ(Selected(), (std::vector<std::int32_t>{3}));
    Drag(150, 250, Qt::ShiftModifier); // adds
    EXPECT_EQ(Selected(), (std::vector<std::int32_t>{1, 3}));
    Drag(50, 450, Qt::ControlModifier); // takes away what is inside
    EXPECT_TRUE(Selected().empty());
    // Nothing of it is a step of the history; Escape ends the mode, the scatter's resumes.
    EXPECT_EQ(Window->actEditUndo->text(), "&Undo Add Point");
    std::uint16_t Escape = 27;
    Mode->KeyDown(nullptr, Escape, Qt::NoModifier);
    Settle();
    EXPECT_NE(dynamic_cast<TScatterMode*>(Window->App().ModeManager().CurrentMode()), nullptr);
}

TEST_F(Digitizing, TheOpenDataSetShowsItsOutputPointsAndItsSelectionInTheSelectedColour) {
    const auto ShownAt = [&](TDoublePoint Real) {
        Settle();
        Window->pzImage->PaintBox()->repaint();
        const TLongintPoint S = Window->pzImage->CurrentScaleSystem().RealToScreen(Real);
        return QColor(Window->pzImage->Composition().pixel(S.X, S.Y));
    };
    const QColor Lime(0, 255, 0);
    Window->actDigitizeNewScatter->Execute();
    auto* Scatter = dynamic_cast<TScatter*>(Window->CurrentDigitization());
    ASSERT_NE(Scatter, nullptr);
    for (const int X : {100, 200})
        Click(X, 150);
    const QColor Own = ToQColor(Scatter->DisplayColor());
    ASSERT_NE(Own, Lime);
    Scatter->Selection().Select(1);
    EXPECT_EQ(ShownAt(Scatter->GetPoint(0)), Own);
    EXPECT_EQ(ShownAt(Scatter->GetPoint(1)), Lime);
    // The colour comes from the settings.
    Window->App().FileParameters().VectorizerParameters.SelectedPointColor = 1; // Maroon
    Window->pzImage->RepaintImage();
    EXPECT_EQ(ShownAt(Scatter->GetPoint(1)), ToQColor(DisplayColors[1].Color));
    Window->App().FileParameters().VectorizerParameters.SelectedPointColor = 5;

    // A followed line: every output point is marked, the selected ones in lime, and the
    // selection leaves the image when it is cleared.
    TLine& Line = NewFunctionalLine();
    Click(50, LineRow(50));
    WaitForRun(Line);
    ASSERT_GT(Line.Count(), 100);
    const TDoublePoint Middle = Line.GetPoint(Line.Count() / 2);
    EXPECT_EQ(ShownAt(Middle), ToQColor(Line.DisplayColor()));
    Window->actDataSelectAll->Execute();
    EXPECT_EQ(ShownAt(Middle), Lime);
    EXPECT_EQ(ShownAt(Line.GetPoint(0)), Lime);
    Window->actDataSelectNone->Execute();
    EXPECT_EQ(ShownAt(Middle), ToQColor(Line.DisplayColor()));
    // Only the open data set shows its selection: the scatter's is not drawn now.
    EXPECT_EQ(ShownAt(Scatter->GetPoint(1)), Own);
}

TEST_F(Digitizing, ScatterSelectionsSortsAndDeletingTheSelection) {
    Window->actDigitizeNewScatter->Execute();
    auto* Scatter = dynamic_cast<TScatter*>(Window->CurrentDigitization());
    ASSERT_NE(Scatter, nullptr);
    for (const int X : {300, 100, 200, 400})
        Click(X, 100 + X / 10);
    ASSERT_EQ(Scatter->Count(), 4);
    EXPECT_TRUE(Window->actDataSortAscendingX->isEnabled());
    const int History = Window->App().History().Count();
    Window->actDataSortAscendingX->Execute();
    EXPECT_EQ(Scatter->GetPoint(0).X, 100);
    EXPECT_EQ(Scatter->GetPoint(3).X, 400);
    EXPECT_EQ(Window->App().History().Count(), History); // sorting is not undoable

    EXPECT_FALSE(Window->actDataDeleteSelectedScatterData->isEnabled());
    Window->actDataSelectAll->Execute();
    EXPECT_EQ(Scatter->Selection().Count(), 4);
    Window->actDataSelectNone->Execute();
    EXPECT_EQ(Scatter->Selection().Count(), 0);
    Scatter->Selection().Select(1);
    Scatter->Selection().Select(3);
    ASSERT_TRUE(Window->actDataDeleteSelectedScatterData->isEnabled());
    Window->actDataDeleteSelectedScatterData->Execute();
    ASSERT_EQ(Scatter->Count(), 2);
    EXPECT_EQ(Scatter->GetPoint(1).X, 300);
    EXPECT_EQ(Window->actEditUndo->text(), "&Undo Delete Selected Scatter Data");
    Window->actEditUndo->Execute();
    ASSERT_EQ(Scatter->Count(), 4);
    EXPECT_EQ(Scatter->GetPoint(1).X, 200);
    EXPECT_EQ(Scatter->Selection().Count(), 2);
    EXPECT_TRUE(Scatter->Selection().IsSelected(3));
    Window->actEditRedo->Execute();
    EXPECT_EQ(Scatter->Count(), 2);
}

TEST_F(Digitizing, DeletingADataSetAndUndoingPutsItBackInPlace) {
    Window->actDigitizeNewScatter->Execute();
    Window->actDigitizeNewFunctionalLine->Execute();
    Window->actDigitizeNewScatter->Execute();
    TDigitization* Middle = &Window->App().Digitization(1);
    Window->lbDigs->setCurrentRow(1);
    EXPECT_EQ(Window->actDigitizeDelete->text().toStdString(), "&Delete " + Middle->Name());
    Window->actDigitizeDelete->Execute();
    ASSERT_EQ(Window->App().Count(), 2);
    EXPECT_EQ(Window->actEditUndo->text(), "&Undo Delete Digitization");
    Window->actEditUndo->Execute();
    ASSERT_EQ(Window->App().Count(), 3);
    EXPECT_EQ(&Window->App().Digitization(1), Middle);
}

} // namespace
} // namespace korvane
