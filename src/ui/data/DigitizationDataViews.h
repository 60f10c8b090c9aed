#pragma once

#include "core/Interfaces.h"
#include "document/Digitizations.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QMetaObject>
#include <QPointer>
#include <QString>
#include <QTableView>
#include <memory>
#include <vector>

class QPainter;

namespace korvane {

class TKorvaneApplication;
class TApproximatorParamPanel;
class TCoordFormatPair;
class TCurveApproximatorList;
class TCurveIterator;
struct TApproximatorClassInfo;

// What the data grid asks of the view that drives it. Rows are numbered as the grid shows
// them: row 0 is the fixed row ("X", "Y"), row r > 0 shows output point r - 1.
class IDigitizationGridHandler {
public:
    virtual ~IDigitizationGridHandler() = default;
    virtual QString GridCellText(int Column, int Row) = 0;
    // Paints the whole cell (background and text) into Rect.
    virtual void GridDrawCell(QPainter& Canvas, int Column, int Row, const QRect& Rect) = 0;
    // Any mouse button pressed at Position (viewport coordinates), after a left press has made
    // the cell under the pointer current.
    virtual void GridMouseDown(Qt::MouseButton Button, Qt::KeyboardModifiers Modifiers,
                               QPoint Position) = 0;
    // A key pressed in the grid; setting Key to 0 swallows it.
    virtual void GridKeyDown(int& Key, Qt::KeyboardModifiers Modifiers) = 0;
    // The current cell is about to move to (Column, Row); Row() still answers the old row.
    virtual void GridSelectCell(int Column, int Row) = 0;
};

// The two-column data grid ("X", "Y") with one fixed row. It keeps no data: every cell is
// asked of its handler when it is painted, so a grid of any length costs only its visible
// rows. The rows are the text height plus 4 pixels high, whole rows are drawn by the handler
// (Qt's own selection is off) and the two columns fill the width.
class TDigitizationGrid : public QTableView {
public:
    explicit TDigitizationGrid(QWidget* Parent = nullptr);
    ~TDigitizationGrid() override;

    IDigitizationGridHandler* Handler() const { return FHandler; }
    // The view whose events the grid reports, or none; the grid is repainted.
    void SetHandler(IDigitizationGridHandler* Handler);

    // Rows including the fixed row; at least 2.
    int RowCount() const;
    void SetRowCount(int Value);
    // The current row (1 when no cell is current).
    int Row() const { return FRow; }
    void SetRow(int Value);
    // The first data row shown whole and the number of data rows that fit whole.
    int TopRow() const;
    void SetTopRow(int Value);
    int VisibleRowCount() const;
    int RowHeight() const;
    // The data cell under Position (viewport coordinates); false outside the data cells.
    bool MouseToCell(QPoint Position, int& Column, int& Row) const;
    // Schedules a repaint of every cell.
    void InvalidateGrid();

protected:
    void currentChanged(const QModelIndex& Current, const QModelIndex& Previous) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseDoubleClickEvent(QMouseEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    void changeEvent(QEvent* Event) override;

private:
    class TModel;
    class TDelegate;

    void UpdateRowHeight();

    TModel* FModel;
    TDelegate* FDelegate;
    IDigitizationGridHandler* FHandler = nullptr;
    int FRow = 1;
};

// Shows the output points of the current digitization in the data grid, their number in the
// status label and the selection as highlighted rows; clicking rows selects output points.
// The view is a controller: it owns none of the controls it is bound to. Both views of the
// main window share the grid, the status label and the controls panel; only the active one
// drives them.
//
// Output points are taken from one iterator, rebuilt after every change that can alter them,
// and kept once computed, so that scrolling back over a long spline costs nothing.
class TDigitizationDataPanel : public TUnmanagedInterface,
                               public ISelectionListener,
                               public IApproximatorListener,
                               public virtual IDigitizationListener,
                               public IDigitizationGridHandler {
public:
    TDigitizationDataPanel(QWidget* ControlsPanel, QLabel* StatusLabel, TDigitizationGrid* Grid);
    ~TDigitizationDataPanel() override;
    TDigitizationDataPanel(const TDigitizationDataPanel&) = delete;
    TDigitizationDataPanel& operator=(const TDigitizationDataPanel&) = delete;

    // The application whose image's formats the grid shows and whose work a selection made
    // in the grid marks as changed; none: default formats, nothing marked.
    void SetApplication(TKorvaneApplication* Application) { FApplication = Application; }

    bool ControlsEnabled() const { return FControlsEnabled; }
    bool Active() const { return FActive; }
    QWidget* ControlsPanel() const { return FControlsPanel; }
    TDigitization* Digitization() const { return FDigitization; }
    QLabel* StatusLabel() const { return FStatusLabel; }
    TDigitizationGrid* Grid() const { return FGrid; }
    const TCurveIterator* Iterator() const { return FIterator.get(); }
    // The grid row that was current before the last move of the current cell; -1 without grid.
    int AnchorRow() const { return FAnchorRow; }
    // The number of output points at the last count.
    int Count() const { return FCount; }

    // A new iterator when a digitization is shown and its parameter set is complete, then
    // UpdateCount.
    virtual void Rebuild();
    // "n point(s)." in the status label and max(n, 1) data rows, while the view is active.
    virtual void UpdateCount();
    // One cell: the fixed row's caption, or output point Row - 1 in the open image's formats,
    // highlighted when it is selected.
    virtual void DrawCell(QPainter& Canvas, int Column, int Row, const QRect& Rect);
    // Shows or hides the controls panel and makes the grid report to this view (or stop).
    virtual void SetActive(bool Value);
    // Enables or disables every child control of the controls panel.
    virtual void SetEnabled(bool Value);
    // Leaves the old digitization's listeners, joins the new one's (Value may be null) and
    // rebuilds.
    virtual void SetDigitization(TDigitization* Value);
    void SetGrid(TDigitizationGrid* Value);

    // The text of a cell (empty where there is no output point).
    QString CellText(int Column, int Row);
    // The output points for the clipboard, as spreadsheets paste them into two columns: a
    // header line "X<tab>Y" (each with its unit in brackets when the image has one), then
    // one line per point, tab-separated, for the selected points or all of them when none
    // is selected. The numbers as the grid shows them, or with every digit that tells the
    // value apart (FullPrecision); both with the grid's decimal separator.
    QString ClipboardText(bool FullPrecision);
    // A left click on grid row Row: selects, extends or toggles output points by the Shift
    // and Ctrl rules. Only rows of digitized points count.
    void ClickRow(int Row, Qt::KeyboardModifiers Modifiers);
    // The formats of the open image's parameters (the default formats without an application).
    const TCoordFormatPair& Formats() const;

    // IDigitizationListener
    void DigitizationChanged(TDigitization&) override {}
    void PointsAdded(TDigitization& Digitization) override;
    void PointsChanged(TDigitization& Digitization) override;
    // IApproximatorListener
    void ApproximatorParamsChanged(TApproximatorParamSet& Set) override;
    // ISelectionListener
    void SelectionChanged(TPointSelection& Selection) override;

    // IDigitizationGridHandler
    QString GridCellText(int Column, int Row) override { return CellText(Column, Row); }
    void GridDrawCell(QPainter& Canvas, int Column, int Row, const QRect& Rect) override {
        DrawCell(Canvas, Column, Row, Rect);
    }
    void GridMouseDown(Qt::MouseButton Button, Qt::KeyboardModifiers Modifiers,
                       QPoint Position) override;
    void GridKeyDown(int& Key, Qt::KeyboardModifiers Modifiers) override;
    void GridSelectCell(int Column, int Row) override;

protected:
    void FreeIterator();
    void InvalidateGrid();
    // The user changed what the data set exports or stores: the open work is marked changed.
    void MarkWorkChanged();
    // Output point K, computed on the first request and kept until the next rebuild.
    bool OutputPoint(int K, TDoublePoint& Point);

private:
    TKorvaneApplication* FApplication = nullptr;
    bool FControlsEnabled = true;
    bool FActive = false;
    QPointer<QWidget> FControlsPanel;
    TDigitization* FDigitization = nullptr;
    QPointer<QLabel> FStatusLabel;
    QPointer<TDigitizationGrid> FGrid;
    std::unique_ptr<TCurveIterator> FIterator;
    // The output points the iterator has passed; it stands on point FOutput.size().
    std::vector<TDoublePoint> FOutput;
    int FAnchorRow = -1;
    int FCount = 0;
};

// The data view of a line: besides the grid, the approximator choice ("&Show") and the
// parameter panel of the chosen approximator below it. While the line's follower runs, its
// controls are disabled and the grid keeps its points.
class TLineDataPanel : public TDigitizationDataPanel, public ILineListener {
public:
    TLineDataPanel(QWidget* ControlsPanel, QLabel* StatusLabel, TDigitizationGrid* Grid,
                   QComboBox* ApproximatorCombo, QWidget* LineControlsPanel,
                   QWidget* ParamPanelParent);
    ~TLineDataPanel() override;

    TLine* Line() const { return FLine; }
    QComboBox* ApproximatorCombo() const { return FApproximatorCombo; }
    QWidget* LineControlsPanel() const { return FLineControlsPanel; }
    QWidget* ParamPanelParent() const { return FParamPanelParent; }
    const TCurveApproximatorList* Approximators() const { return FApproximators; }
    TApproximatorParamPanel* ParamPanel() const { return FParamPanel.get(); }

    // The base, after resetting the ends of the range the parameter panel does not offer for
    // editing to the data's first or last value.
    void Rebuild() override;
    void SetActive(bool Value) override;
    void SetEnabled(bool Value) override;
    void SetDigitization(TDigitization* Value) override;
    // Rebuilds unless the line's follower is running.
    void PointsAdded(TDigitization& Digitization) override;
    // A new parameter panel for the line's parameter set, under ParamPanelParent, which is
    // kept as high as the panel.
    virtual void RecreateParamPanel();

    // Stores List (not owned) and fills the combo box with the display names of its classes.
    void SetApproximators(const TCurveApproximatorList* List);
    // The class chosen in the combo box, or none.
    const TApproximatorClassInfo* SelectedApproximatorClass() const;
    // What choosing an entry in the combo box does: the line gets the chosen approximator
    // class, and the parameter panel and the grid follow.
    void ApproximatorChosen();

    // ILineListener
    void FollowingStarted(TLine& Line) override;
    // While the follower runs, the status label counts the line's points, at most four
    // times a second.
    void PointFollowed(TLine& Line, TLongintPoint Pixel, TDoublePoint Real) override;
    void FollowingFailed(TLine& Line) override;
    void FollowingFinished(TLine& Line) override;

private:
    void FreeParamPanel();
    void SelectCurrentApproximator();
    void FitParamPanelParent();
    bool FollowerRunning() const;

    TLine* FLine = nullptr;
    QPointer<QComboBox> FApproximatorCombo;
    QPointer<QWidget> FLineControlsPanel;
    QPointer<QWidget> FParamPanelParent;
    const TCurveApproximatorList* FApproximators = nullptr;
    std::unique_ptr<TApproximatorParamPanel> FParamPanel;
    EParamPanelClass FParamPanelClass = EParamPanelClass::None;
    QMetaObject::Connection FComboConnection;
    bool FResettingRange = false;
    // When the status label last counted a run's points.
    QElapsedTimer FLastRunCount;
};

// The data view of a scatter: it keeps the newest point in sight.
class TScatterDataPanel : public TDigitizationDataPanel, public IScatterListener {
public:
    TScatterDataPanel(QWidget* ControlsPanel, QLabel* StatusLabel, TDigitizationGrid* Grid);

    TScatter* Scatter() const { return FScatter; }

    // The base; then, when the last point lies below the visible rows, the grid scrolls so
    // that it is the bottom visible row; the columns are fitted to the width.
    void Rebuild() override;
    void SetDigitization(TDigitization* Value) override;

    // IScatterListener
    void ScatterSorted(TScatter& Scatter) override;

private:
    TScatter* FScatter = nullptr;
};

} // namespace korvane
