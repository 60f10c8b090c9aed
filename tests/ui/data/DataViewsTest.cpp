#include "core/Prompter.h"
#include "document/Parameters.h"
#include "follower/UiDispatcher.h"
#include "follower/VectorizerInitialConditions.h"
#include "image/PanelScale.h"
#include "image/ScaleSystem.h"
#include "interaction/KorvaneApplication.h"
#include "ui/common/NumberText.h"
#include "ui/data/ApproximatorParamPanels.h"
#include "ui/data/DigitizationDataViews.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <thread>
#include <vector>

namespace korvane {
namespace {

// An open image needs a coordinate-system record owner; these tests store none.
struct TNoScaleRecord : IScaleRecordOwner {
    void LoadScaleRecord(TStream&) override {}
    void SaveScaleRecord(TStream&) const override {}
};

// The controls of the main window's data panel, both views bound to them as the main window
// binds them, and an application object for the formats and the dirty flag.
struct DataViews : ::testing::Test {
    QTemporaryDir Folder;
    TScriptedPrompter Prompter;
    TNoScaleRecord ScaleRecord;
    std::unique_ptr<TKorvaneApplication> App;
    QWidget Window;
    QWidget* ControlsPanel;
    QWidget* LineControls;
    QComboBox* Combo;
    QWidget* ParamParent;
    TDigitizationGrid* Grid;
    QLabel* Status;
    std::unique_ptr<TLineDataPanel> LineView;
    std::unique_ptr<TScatterDataPanel> ScatterView;
    TFunctionalLine Line{"Line"};
    TScatter Scatter{"Scatter"};

    DataViews() {
        App = std::make_unique<TKorvaneApplication>(Folder.path().toStdString(), Prompter);
        App->NewFile(ScaleRecord);
        App->SetFileIsDirty(false);
        Window.resize(240, 560);
        auto* Layout = new QVBoxLayout(&Window);
        ControlsPanel = new QWidget(&Window);
        auto* ControlsLayout = new QVBoxLayout(ControlsPanel);
        ControlsLayout->setContentsMargins(0, 0, 0, 0);
        LineControls = new QWidget(ControlsPanel);
        ControlsLayout->addWidget(LineControls);
        auto* LineLayout = new QVBoxLayout(LineControls);
        LineLayout->setContentsMargins(0, 0, 0, 0);
        Combo = new QComboBox(LineControls);
        LineLayout->addWidget(Combo);
        ParamParent = new QWidget(LineControls);
        LineLayout->addWidget(ParamParent);
        Layout->addWidget(ControlsPanel);
        Grid = new TDigitizationGrid(&Window);
        Layout->addWidget(Grid, 1);
        Status = new QLabel(&Window);
        Layout->addWidget(Status);
        LineView = std::make_unique<TLineDataPanel>(ControlsPanel, Status, Grid, Combo,
                                                    LineControls, ParamParent);
        ScatterView = std::make_unique<TScatterDataPanel>(ControlsPanel, Status, Grid);
        LineView->SetApplication(App.get());
        ScatterView->SetApplication(App.get());
        LineView->SetActive(false);
        ScatterView->SetActive(false);
        Window.show();
        for (int X = 0; X <= 10; ++X)
            Line.AddPoint({double(X), double(X * X)});
    }
    ~DataViews() override {
        LineView.reset();
        ScatterView.reset();
    }

    // What the line modes do when they start.
    void OpenLine() {
        LineView->SetApproximators(&FunctionalApproximators());
        LineView->SetEnabled(true);
        LineView->SetActive(true);
        LineView->SetDigitization(&Line);
    }
    void OpenScatter() {
        ScatterView->SetEnabled(true);
        ScatterView->SetActive(true);
        ScatterView->SetDigitization(&Scatter);
    }
    void Choose(int Index) {
        Combo->setCurrentIndex(Index);
        emit Combo->activated(Index);
    }

    QRect RowRect(int Row, int Column = 0) {
        const QModelIndex Index = Grid->model()->index(Row - 1, Column);
        Grid->scrollTo(Index);
        return Grid->visualRect(Index);
    }
    void Click(int Row, Qt::KeyboardModifiers Modifiers = Qt::NoModifier,
               Qt::MouseButton Button = Qt::LeftButton) {
        const QPoint P = RowRect(Row).center();
        const QPoint Global = Grid->viewport()->mapToGlobal(P);
        QMouseEvent Press(QEvent::MouseButtonPress, P, Global, Button, Button, Modifiers);
        QApplication::sendEvent(Grid->viewport(), &Press);
        QMouseEvent Release(QEvent::MouseButtonRelease, P, Global, Button, Qt::NoButton, Modifiers);
        QApplication::sendEvent(Grid->viewport(), &Release);
    }
    void PressKey(int Key, Qt::KeyboardModifiers Modifiers = Qt::NoModifier) {
        QKeyEvent Press(QEvent::KeyPress, Key, Modifiers, Key == Qt::Key_Space ? " " : "");
        QApplication::sendEvent(Grid, &Press);
    }

    std::vector<std::int32_t> Selected(const TDigitization& D) const {
        return D.Selection().SortedItems();
    }
    QString Text(TDigitizationDataPanel& View, int Row, int Column = 0) {
        return View.CellText(Column, Row);
    }
    TCoordFormatPair Precision(int Digits) {
        TCoordFormatPair Scratch;
        Scratch.XFormat.Precision = Digits;
        Scratch.YFormat.Precision = Digits;
        TCoordFormatPair Pair;
        Pair.Assign(Scratch);
        return Pair;
    }
};

TEST_F(DataViews, NothingToShowIsZeroPointsInOneEmptyRow) {
    LineView->SetActive(true);
    LineView->SetDigitization(nullptr);
    EXPECT_EQ(Status->text(), "0 points.");
    EXPECT_EQ(Grid->RowCount(), 2);
    EXPECT_EQ(Text(*LineView, 1), "");

    // A line without points, and one whose set lost its start.
    TFunctionalLine Empty;
    LineView->SetDigitization(&Empty);
    EXPECT_EQ(Status->text(), "0 points.");
    EXPECT_EQ(Grid->RowCount(), 2);
    OpenLine();
    Choose(1);
    auto& Set = dynamic_cast<TCubicSplineParamSet&>(Line.ParamSet());
    Set.ClearStartX();
    EXPECT_EQ(Status->text(), "0 points.");
    EXPECT_EQ(Grid->RowCount(), 2);
    EXPECT_EQ(LineView->Iterator(), nullptr);
    Set.SetStartX(2);
    EXPECT_EQ(Status->text(), "17 points.");
}

TEST_F(DataViews, CountsAndCellTexts) {
    TFunctionalLine One;
    One.AddPoint({1.5, -2});
    LineView->SetActive(true);
    LineView->SetDigitization(&One);
    EXPECT_EQ(Status->text(), "1 point.");
    EXPECT_EQ(Text(*LineView, 1, 0), "1.50");
    EXPECT_EQ(Text(*LineView, 1, 1), "-2.00");

    OpenLine();
    EXPECT_EQ(Status->text(), "11 points.");
    Choose(1);
    EXPECT_EQ(Status->text(), "21 points.");
    EXPECT_EQ(Grid->RowCount(), 22);
    EXPECT_EQ(Text(*LineView, 0, 0), "X");
    EXPECT_EQ(Text(*LineView, 0, 1), "Y");
    EXPECT_EQ(Text(*LineView, 2, 0), ".50");
    EXPECT_EQ(Text(*LineView, 21, 0), "10.00");
    EXPECT_EQ(Text(*LineView, 21, 1), "100.00");
    EXPECT_EQ(Text(*LineView, 22, 0), "");
    // The grid's model asks the view.
    EXPECT_EQ(Grid->model()->index(20, 1).data().toString(), "100.00");
    EXPECT_EQ(Grid->model()->headerData(1, Qt::Horizontal).toString(), "Y");
}

TEST_F(DataViews, KeptPointsMatchTheIteratorInAnyOrder) {
    OpenLine();
    Choose(1);
    dynamic_cast<TCubicSplineParamSet&>(Line.ParamSet()).SetIncrement(0.3);
    const auto Fresh = Line.ParamSet().NewIterator();
    const char Separator = DisplayDecimalSeparator();
    for (const int Row : {LineView->Count(), 1, 17, 2, LineView->Count() - 1, 30}) {
        SCOPED_TRACE(Row);
        Fresh->MoveTo(Row - 1);
        const TCoordFormatPair& F = LineView->Formats();
        EXPECT_EQ(Text(*LineView, Row, 0),
                  QString::fromStdString(F.XFormat.Format(Fresh->CurrentX(), Separator)));
        EXPECT_EQ(Text(*LineView, Row, 1),
                  QString::fromStdString(F.YFormat.Format(Fresh->CurrentY(), Separator)));
    }
}

TEST_F(DataViews, ALongSplineCountsEveryRow) {
    TFunctionalLine Long;
    TDoublePointArray Points;
    for (int X = 0; X <= 3125; ++X)
        Points.Add({double(X), double(X % 7)});
    Long.SetPoints(Points);
    Long.SetApproximatorClass(TCubicSpline::Class());
    Long.ParamSet().ResetRange();
    dynamic_cast<TCubicSplineParamSet&>(Long.ParamSet()).SetIncrement(1.0 / 32);
    LineView->SetApproximators(&FunctionalApproximators());
    LineView->SetActive(true);
    LineView->SetDigitization(&Long);
    EXPECT_EQ(Status->text(), "100001 points.");
    Grid->SetTopRow(Grid->RowCount());
    EXPECT_EQ(Grid->TopRow() + Grid->VisibleRowCount() - 1, 100001);
    EXPECT_EQ(Text(*LineView, 100001), "3125.00");
    EXPECT_EQ(Text(*LineView, 50001), "1562.50");
    EXPECT_EQ(Text(*LineView, 1), ".00");
    LineView->SetDigitization(nullptr);
}

TEST_F(DataViews, SelectedRowsAreHighlightedWithoutANewIterator) {
    OpenLine();
    Choose(1);
    const TCurveIterator* Before = LineView->Iterator();
    Line.Selection().SelectRange(2, 3);
    EXPECT_EQ(LineView->Iterator(), Before);

    const QColor Highlight = Grid->palette().color(QPalette::Highlight);
    const QColor Base = Grid->palette().color(QPalette::Base);
    ASSERT_NE(Highlight, Base);
    const QImage Shot = Grid->viewport()->grab().toImage();
    const auto Background = [&](int Row) {
        const QRect R = Grid->visualRect(Grid->model()->index(Row - 1, 1));
        return Shot.pixelColor(R.right() - 4, R.center().y());
    };
    EXPECT_EQ(Background(2), Base);
    EXPECT_EQ(Background(3), Highlight);
    EXPECT_EQ(Background(4), Highlight);
    EXPECT_EQ(Background(5), Base);

    Line.Selection().Deselect(2);
    EXPECT_EQ(LineView->Iterator(), Before);
}

TEST_F(DataViews, OnlyRowsOfDigitizedPointsCanBeClicked) {
    OpenLine();
    Choose(1);                  // 21 output rows over 11 points
    App->SetFileIsDirty(false); // the choice was a change of its own
    Click(15);
    EXPECT_TRUE(Selected(Line).empty());
    EXPECT_FALSE(App->FileIsDirty());
    Click(5);
    EXPECT_EQ(Selected(Line), (std::vector<std::int32_t>{4}));
    EXPECT_TRUE(App->FileIsDirty());
    Click(6, Qt::NoModifier, Qt::RightButton);
    EXPECT_EQ(Selected(Line), (std::vector<std::int32_t>{4}));
}

TEST_F(DataViews, ClickRulesWithShiftAndCtrl) {
    struct TCase {
        const char* Name;
        std::vector<std::int32_t> Before;
        int AnchorRow;
        int Row;
        Qt::KeyboardModifiers Modifiers;
        std::vector<std::int32_t> After;
    };
    const Qt::KeyboardModifiers Shift = Qt::ShiftModifier;
    const Qt::KeyboardModifiers Ctrl = Qt::ControlModifier;
    const std::vector<TCase> Cases = {
        {"plain click replaces", {0, 1}, 1, 4, Qt::NoModifier, {3}},
        {"plain click on the one selected row keeps it", {3}, 1, 4, Qt::NoModifier, {3}},
        {"ctrl toggles off", {1, 2}, 1, 3, Ctrl, {1}},
        {"ctrl toggles on", {1, 2}, 1, 6, Ctrl, {1, 2, 5}},
        {"shift from row 3 to 7", {9}, 3, 7, Shift, {2, 3, 4, 5, 6}},
        {"shift down takes the run before the anchor", {0, 1}, 3, 5, Shift, {0, 1, 2, 3, 4}},
        {"shift up takes the run after the anchor", {6, 7, 8}, 7, 3, Shift, {2, 3, 4, 5, 6, 7, 8}},
        {"ctrl shift from a selected anchor adds", {2, 9}, 3, 6, Ctrl | Shift, {2, 3, 4, 5, 9}},
        {"ctrl shift from an unselected anchor removes", {3, 4, 5, 6}, 2, 6, Ctrl | Shift, {6}},
    };
    OpenLine();
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        Grid->SetRow(C.AnchorRow == 1 ? 2 : 1);
        Grid->SetRow(C.AnchorRow);
        Line.Selection().Clear();
        Line.Selection().SelectList(C.Before);
        Click(C.Row, C.Modifiers);
        EXPECT_EQ(LineView->AnchorRow(), C.AnchorRow);
        EXPECT_EQ(Selected(Line), C.After);
        EXPECT_EQ(Grid->Row(), C.Row);
    }
}

TEST_F(DataViews, SpaceClicksTheCurrentRow) {
    OpenLine();
    Grid->SetRow(4);
    PressKey(Qt::Key_Space);
    EXPECT_EQ(Selected(Line), (std::vector<std::int32_t>{3}));
    PressKey(Qt::Key_Space, Qt::ControlModifier);
    EXPECT_TRUE(Selected(Line).empty());
    EXPECT_EQ(Grid->Row(), 4);
    PressKey(Qt::Key_Down);
    EXPECT_EQ(Grid->Row(), 5);
    PressKey(Qt::Key_Space, Qt::ShiftModifier);
    EXPECT_EQ(Selected(Line), (std::vector<std::int32_t>{3, 4}));
}

TEST_F(DataViews, InactiveViewLeavesTheSharedControlsAlone) {
    OpenLine();
    EXPECT_TRUE(ControlsPanel->isVisible());
    EXPECT_TRUE(LineControls->isVisible());
    EXPECT_EQ(Grid->Handler(), LineView.get());
    LineView->SetDigitization(nullptr);
    LineView->SetActive(false);
    EXPECT_FALSE(ControlsPanel->isVisible());
    EXPECT_EQ(Grid->Handler(), nullptr);

    // The inactive line view still follows its digitization, but the label and the grid are
    // the scatter view's.
    OpenScatter();
    Scatter.AddPoint({1, 1});
    LineView->SetDigitization(&Line);
    Line.AddPoint({11, 121});
    EXPECT_EQ(Status->text(), "1 point.");
    EXPECT_EQ(LineView->Count(), 12);
    EXPECT_EQ(Grid->Handler(), ScatterView.get());
    EXPECT_TRUE(ControlsPanel->isVisible());
    EXPECT_FALSE(LineControls->isVisible());
    LineView->SetDigitization(nullptr);
}

TEST_F(DataViews, SortingAScatterShowsTheNewOrderAtOnce) {
    for (const TDoublePoint P : {TDoublePoint{3, 30}, {1, 10}, {2, 20}})
        Scatter.AddPoint(P);
    OpenScatter();
    EXPECT_EQ(Text(*ScatterView, 1), "3.00");
    Scatter.SortAscendingX();
    EXPECT_EQ(Text(*ScatterView, 1), "1.00");
    EXPECT_EQ(Text(*ScatterView, 2, 1), "20.00");
    EXPECT_EQ(Text(*ScatterView, 3), "3.00");
}

TEST_F(DataViews, ScatterKeepsTheNewestPointInSight) {
    OpenScatter();
    const int Visible = Grid->VisibleRowCount();
    ASSERT_GT(Visible, 3);
    for (int N = 1; N <= Visible + 25; ++N) {
        Scatter.AddPoint({double(N), double(-N)});
        ASSERT_EQ(Status->text(), QString("%1 point%2.").arg(N).arg(N == 1 ? "" : "s"));
        EXPECT_EQ(Grid->TopRow(), std::max(1, N - Visible + 1)) << N;
    }
    // Scrolled back up, the next point brings the view down again.
    Grid->SetTopRow(1);
    Scatter.AddPoint({0, 0});
    const int N = Scatter.Count();
    EXPECT_EQ(Grid->TopRow(), N - Visible + 1);
    EXPECT_TRUE(Grid->viewport()->rect().contains(RowRect(N).bottomLeft()));
}

TEST_F(DataViews, ControlsAreDisabledWhileTheFollowerRuns) {
    OpenLine();
    Choose(1);
    QLineEdit* StartEdit =
        dynamic_cast<TCubicSplineParamPanel&>(*LineView->ParamPanel()).StartEdit();
    EXPECT_TRUE(Combo->isEnabled());
    EXPECT_TRUE(StartEdit->isEnabled());
    LineView->FollowingStarted(Line);
    EXPECT_FALSE(Combo->isEnabled());
    EXPECT_FALSE(StartEdit->isEnabled());
    EXPECT_FALSE(LineView->ControlsEnabled());
    LineView->FollowingFinished(Line);
    EXPECT_TRUE(Combo->isEnabled());
    EXPECT_TRUE(StartEdit->isEnabled());
    LineView->FollowingStarted(Line);
    LineView->FollowingFailed(Line);
    EXPECT_TRUE(Combo->isEnabled());
    EXPECT_TRUE(StartEdit->isEnabled());
}

TEST_F(DataViews, TheCountFollowsARunAFewTimesASecond) {
    // A run along a 600-pixel line with a millisecond between points.
    QImage Image(620, 40, QImage::Format_RGB888);
    Image.fill(Qt::white);
    for (int X = 10; X < 610; ++X)
        Image.setPixel(X, 20, qRgb(0, 0, 0));
    TScaleSystem Scale;
    Scale.DefineImageCoordinates();
    TVectorizerParameters Settings;
    Settings.SetDelay(1);
    TQueuedDispatcher Queue;
    TFunctionalLine Run("Run");
    LineView->SetApproximators(&FunctionalApproximators());
    LineView->SetActive(true);
    LineView->SetDigitization(&Run);
    TVectorizerInitialConditions Click({10, 20});
    Click.SetTrackingColor(RGB(0, 0, 0));
    const auto Start = std::chrono::steady_clock::now();
    Run.AutoDigitize({Image, Settings, {}, Queue, Scale}, Click);
    std::vector<QString> Shown;
    while (Run.Following()) {
        Queue.WaitAndProcess(std::chrono::milliseconds(5));
        if (Shown.empty() || Shown.back() != Status->text())
            Shown.push_back(Status->text());
    }
    const auto Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start);
    EXPECT_EQ(Run.Count(), 600);
    EXPECT_EQ(Status->text(), "600 points.");
    // The count moved during the run, but not with every point.
    EXPECT_GE(Shown.size(), 3u);
    EXPECT_LE(Shown.size(), static_cast<std::size_t>(Seconds.count() * 4) + 3);
    LineView->SetDigitization(nullptr);
}

TEST_F(DataViews, ChoosingTheApproximatorReplacesThePanel) {
    OpenLine();
    ASSERT_EQ(Combo->count(), 2);
    EXPECT_EQ(Combo->itemText(0), "Actual digitized points");
    EXPECT_EQ(Combo->itemText(1), "Cubic spline");
    EXPECT_EQ(Combo->currentIndex(), 0);
    EXPECT_NE(dynamic_cast<TFunctionalRawDataParamPanel*>(LineView->ParamPanel()), nullptr);
    EXPECT_FALSE(App->FileIsDirty());

    // What "Show" chooses is what the data set exports: the work has changed.
    Choose(1);
    EXPECT_TRUE(App->FileIsDirty());
    EXPECT_EQ(Line.ParamSet().Approximator().ClassName(), "TCubicSpline");
    EXPECT_EQ(LineView->SelectedApproximatorClass(), &TCubicSpline::Class());
    auto* Panel = dynamic_cast<TCubicSplineParamPanel*>(LineView->ParamPanel());
    ASSERT_NE(Panel, nullptr);
    EXPECT_EQ(Panel->parentWidget(), ParamParent);
    EXPECT_TRUE(Panel->isVisible());
    EXPECT_EQ(ParamParent->height(), Panel->height() + 2 * Panel->y());
    EXPECT_EQ(Panel->width(), ParamParent->width());
    EXPECT_EQ(Status->text(), "21 points.");

    Choose(0);
    EXPECT_EQ(Line.ParamSet().Approximator().ClassName(), "TFunctionalRawData");
    EXPECT_EQ(Status->text(), "11 points.");
    EXPECT_EQ(ParamParent->height(), LineView->ParamPanel()->height());

    // Changed elsewhere, the view still follows with the right panel.
    Line.SetApproximatorClass(TCubicSpline::Class());
    EXPECT_NE(dynamic_cast<TCubicSplineParamPanel*>(LineView->ParamPanel()), nullptr);
    EXPECT_EQ(LineView->ParamPanel()->ParamSet(), &Line.ParamSet());
    EXPECT_EQ(Status->text(), "21 points.");
    EXPECT_EQ(Combo->currentIndex(), 1);
}

TEST_F(DataViews, AppliedStartMovesTheGridAndTheEndFollowsTheData) {
    OpenLine();
    Choose(1);
    auto& Panel = dynamic_cast<TCubicSplineParamPanel&>(*LineView->ParamPanel());
    // Applying a range that changes nothing leaves the work as it was; a new start changes it.
    App->SetFileIsDirty(false);
    Panel.ApplyButton()->click();
    EXPECT_FALSE(App->FileIsDirty());
    Panel.StartEdit()->setText("3");
    Panel.ApplyButton()->click();
    EXPECT_TRUE(App->FileIsDirty());
    EXPECT_EQ(Panel.StartEdit()->text(), "3.00");
    EXPECT_EQ(Text(*LineView, 1), "3.00");
    EXPECT_EQ(Status->text(), "15 points.");
    Line.AddPoint({11, 121});
    EXPECT_EQ(Status->text(), "17 points.");
    EXPECT_EQ(Text(*LineView, 17), "11.00");

    Panel.StartEdit()->clear();
    Panel.ApplyButton()->click();
    EXPECT_EQ(Status->text(), "0 points.");

    // The raw data always show every point.
    Choose(0);
    Line.AddPoint({12, 144});
    EXPECT_EQ(Status->text(), "13 points.");
    EXPECT_EQ(Text(*LineView, 1), ".00");
}

TEST_F(DataViews, ClipboardTextHasAHeaderAndTheSelectedOrAllPoints) {
    OpenLine();
    EXPECT_EQ(LineView->ClipboardText(false).section('\n', 0, 0), "X\tY");
    TStringPoint Units{"s", "V"};
    App->FileParameters().SetUnits(Units);
    const QString All = LineView->ClipboardText(false);
    const QStringList Lines = All.split('\n');
    ASSERT_EQ(Lines.size(), 13); // header, 11 points, the empty end after the last newline
    EXPECT_EQ(Lines[0], "X (s)\tY (V)");
    EXPECT_EQ(Lines[1], Text(*LineView, 1) + '\t' + Text(*LineView, 1, 1));
    EXPECT_EQ(Lines[4], "3.00\t9.00");
    EXPECT_TRUE(Lines[12].isEmpty());

    // The selected points only, in their order, at full precision.
    Line.Selection().SelectList({3, 1});
    EXPECT_EQ(LineView->ClipboardText(true), "X (s)\tY (V)\n1\t1\n3\t9\n");
    Choose(1); // a spline: its output points, with every digit
    Line.Selection().Clear();
    const QStringList Spline = LineView->ClipboardText(true).split('\n');
    ASSERT_EQ(Spline.size(), 23);
    EXPECT_TRUE(Spline[2].startsWith("0.5\t0.34150")) << Spline[2].toStdString();
    EXPECT_GT(Spline[2].size(), 15); // not the grid's two decimals
}

TEST_F(DataViews, FormatsOfTheImageAreUsed) {
    OpenLine();
    Choose(1);
    App->FileParameters().SetFormats(Precision(3));
    EXPECT_EQ(Text(*LineView, 2), ".500");
    EXPECT_EQ(Text(*LineView, 1, 1), ".000");
    // The set-formats command hands the new formats to the shown panel.
    LineView->ParamPanel()->SetFormats(App->FileParameters().Formats);
    EXPECT_EQ(
        dynamic_cast<TCubicSplineParamPanel&>(*LineView->ParamPanel()).IncrementEdit()->text(),
        ".500");
}

} // namespace
} // namespace korvane
