#include "ui/data/DigitizationDataViews.h"

#include "core/Formats.h"
#include "document/Parameters.h"
#include "interaction/KorvaneApplication.h"
#include "output/CurveApproximators.h"
#include "output/CurveIterators.h"
#include "ui/common/Guarded.h"
#include "ui/common/NumberText.h"
#include "ui/common/SupportWidgets.h"
#include "ui/data/ApproximatorParamPanels.h"

#include <QAbstractTableModel>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <algorithm>
#include <charconv>

namespace korvane {

namespace {

constexpr int TextOffset = 2;
constexpr int DefaultColumnWidth = 64;

void EnableChildren(QWidget* Parent, bool Value) {
    if (!Parent)
        return;
    for (QWidget* Child : Parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        Child->setEnabled(Value);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// TDigitizationGrid

// The grid's rows as a table model: rows are data rows (grid row - 1), texts come from the
// handler when Qt asks for them.
class TDigitizationGrid::TModel : public QAbstractTableModel {
public:
    explicit TModel(TDigitizationGrid& Grid) : QAbstractTableModel(&Grid), FGrid(Grid) {}

    int rowCount(const QModelIndex& Parent = QModelIndex()) const override {
        return Parent.isValid() ? 0 : FRows;
    }
    int columnCount(const QModelIndex& Parent = QModelIndex()) const override {
        return Parent.isValid() ? 0 : 2;
    }

    QVariant data(const QModelIndex& Index, int Role) const override {
        if (!Index.isValid() || Role != Qt::DisplayRole || !FGrid.Handler())
            return {};
        try {
            return FGrid.Handler()->GridCellText(Index.column(), Index.row() + 1);
        } catch (const std::exception&) {
            return {};
        }
    }

    QVariant headerData(int Section, Qt::Orientation Orientation, int Role) const override {
        if (Orientation == Qt::Horizontal) {
            if (Role == Qt::DisplayRole)
                return Section == 0 ? QStringLiteral("X") : QStringLiteral("Y");
            if (Role == Qt::TextAlignmentRole)
                return static_cast<int>(Qt::AlignLeft | Qt::AlignVCenter);
        }
        return QAbstractTableModel::headerData(Section, Orientation, Role);
    }

    Qt::ItemFlags flags(const QModelIndex& Index) const override {
        return Index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }

    void SetRows(int Rows) {
        if (Rows > FRows) {
            beginInsertRows(QModelIndex(), FRows, Rows - 1);
            FRows = Rows;
            endInsertRows();
        } else if (Rows < FRows) {
            beginRemoveRows(QModelIndex(), Rows, FRows - 1);
            FRows = Rows;
            endRemoveRows();
        }
    }

private:
    TDigitizationGrid& FGrid;
    int FRows = 1;
};

// Lets the handler paint each cell; an empty cell without a handler.
class TDigitizationGrid::TDelegate : public QStyledItemDelegate {
public:
    explicit TDelegate(TDigitizationGrid& Grid) : QStyledItemDelegate(&Grid), FGrid(Grid) {}

    void paint(QPainter* Painter, const QStyleOptionViewItem& Option,
               const QModelIndex& Index) const override {
        Painter->save();
        Painter->setClipRect(Option.rect);
        Painter->setFont(Option.font);
        Painter->fillRect(Option.rect, Option.palette.base());
        if (IDigitizationGridHandler* Handler = FGrid.Handler()) {
            try {
                Handler->GridDrawCell(*Painter, Index.column(), Index.row() + 1, Option.rect);
            } catch (const std::exception&) {
                // A cell that cannot be computed stays empty; painting goes on.
            }
        }
        Painter->restore();
        if (Option.state & QStyle::State_HasFocus) {
            QStyleOptionFocusRect Focus;
            Focus.initFrom(&FGrid);
            Focus.rect = Option.rect;
            Focus.state |= QStyle::State_KeyboardFocusChange;
            FGrid.style()->drawPrimitive(QStyle::PE_FrameFocusRect, &Focus, Painter, &FGrid);
        }
    }

private:
    TDigitizationGrid& FGrid;
};

TDigitizationGrid::TDigitizationGrid(QWidget* Parent) : QTableView(Parent) {
    FModel = new TModel(*this);
    FDelegate = new TDelegate(*this);
    setModel(FModel);
    setItemDelegate(FDelegate);
    setSelectionMode(QAbstractItemView::NoSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setTabKeyNavigation(false);
    verticalHeader()->setVisible(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setColumnWidth(0, DefaultColumnWidth);
    setColumnWidth(1, DefaultColumnWidth);
    UpdateRowHeight();
}

TDigitizationGrid::~TDigitizationGrid() = default;

void TDigitizationGrid::SetHandler(IDigitizationGridHandler* Handler) {
    if (FHandler == Handler)
        return;
    FHandler = Handler;
    InvalidateGrid();
}

int TDigitizationGrid::RowCount() const {
    return FModel->rowCount() + 1;
}

void TDigitizationGrid::SetRowCount(int Value) {
    FModel->SetRows(std::max(Value, 2) - 1);
}

void TDigitizationGrid::SetRow(int Value) {
    const int Column = currentIndex().isValid() ? currentIndex().column() : 0;
    setCurrentIndex(FModel->index(std::clamp(Value, 1, RowCount() - 1) - 1, Column));
}

int TDigitizationGrid::TopRow() const {
    // Scrolled to the end, Qt shows the last row whole and the first one cut at the top.
    int Row = rowAt(0);
    if (Row < 0)
        return 1;
    if (rowViewportPosition(Row) < 0 && Row + 1 < FModel->rowCount())
        ++Row;
    return Row + 1;
}

void TDigitizationGrid::SetTopRow(int Value) {
    // The scroll range follows a change of the row count only when the layout is done.
    executeDelayedItemsLayout();
    updateGeometries();
    verticalScrollBar()->setValue(std::max(Value, 1) - 1);
}

int TDigitizationGrid::VisibleRowCount() const {
    return viewport()->height() / std::max(RowHeight(), 1);
}

int TDigitizationGrid::RowHeight() const {
    return verticalHeader()->defaultSectionSize();
}

bool TDigitizationGrid::MouseToCell(QPoint Position, int& Column, int& Row) const {
    const QModelIndex Index = indexAt(Position);
    if (!Index.isValid())
        return false;
    Column = Index.column();
    Row = Index.row() + 1;
    return true;
}

void TDigitizationGrid::InvalidateGrid() {
    viewport()->update();
}

void TDigitizationGrid::currentChanged(const QModelIndex& Current, const QModelIndex& Previous) {
    if (FHandler && Current.isValid())
        Guarded([&] { FHandler->GridSelectCell(Current.column(), Current.row() + 1); });
    FRow = Current.isValid() ? Current.row() + 1 : 1;
    QTableView::currentChanged(Current, Previous);
}

void TDigitizationGrid::mousePressEvent(QMouseEvent* Event) {
    // Only the left button moves the current cell.
    if (Event->button() == Qt::LeftButton)
        QTableView::mousePressEvent(Event);
    if (FHandler)
        Guarded([&] {
            FHandler->GridMouseDown(Event->button(), Event->modifiers(),
                                    Event->position().toPoint());
        });
}

void TDigitizationGrid::mouseDoubleClickEvent(QMouseEvent* Event) {
    // The second press of a double click is a press like the first.
    mousePressEvent(Event);
}

void TDigitizationGrid::keyPressEvent(QKeyEvent* Event) {
    if (FHandler) {
        int Key = Event->key();
        Guarded([&] { FHandler->GridKeyDown(Key, Event->modifiers()); });
        if (Key == 0) {
            Event->accept();
            return;
        }
    }
    QTableView::keyPressEvent(Event);
}

void TDigitizationGrid::resizeEvent(QResizeEvent* Event) {
    QTableView::resizeEvent(Event);
    FitTwoColumns(*this);
}

void TDigitizationGrid::changeEvent(QEvent* Event) {
    QTableView::changeEvent(Event);
    if (Event->type() == QEvent::FontChange)
        UpdateRowHeight();
}

void TDigitizationGrid::UpdateRowHeight() {
    const int Height = fontMetrics().height() + 4;
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(Height);
    horizontalHeader()->setFixedHeight(Height);
}

// ---------------------------------------------------------------------------------------------
// TDigitizationDataPanel

TDigitizationDataPanel::TDigitizationDataPanel(QWidget* ControlsPanel, QLabel* StatusLabel,
                                               TDigitizationGrid* Grid)
    : FControlsPanel(ControlsPanel), FStatusLabel(StatusLabel) {
    SetGrid(Grid);
}

TDigitizationDataPanel::~TDigitizationDataPanel() {
    try {
        TDigitizationDataPanel::SetDigitization(nullptr);
    } catch (...) {
        // Leaving the digitization only counts its points; nothing to report while closing.
    }
    SetGrid(nullptr);
}

const TCoordFormatPair& TDigitizationDataPanel::Formats() const {
    static const TCoordFormatPair Defaults;
    return FApplication ? FApplication->FileParameters().Formats : Defaults;
}

void TDigitizationDataPanel::Rebuild() {
    FreeIterator();
    if (FDigitization && FDigitization->ParamSet().IsComplete())
        FIterator = FDigitization->ParamSet().NewIterator();
    UpdateCount();
}

void TDigitizationDataPanel::UpdateCount() {
    FCount = FDigitization ? FDigitization->ParamSet().PointCount() : 0;
    if (!FActive)
        return;
    if (FStatusLabel)
        FStatusLabel->setText(QStringLiteral("%1 point%2.")
                                  .arg(FCount)
                                  .arg(FCount == 1 ? QString() : QStringLiteral("s")));
    if (FGrid) {
        FGrid->SetRowCount(std::max(FCount, 1) + 1);
        FGrid->InvalidateGrid();
    }
}

void TDigitizationDataPanel::DrawCell(QPainter& Canvas, int Column, int Row, const QRect& Rect) {
    const QPalette Palette = FGrid ? FGrid->palette() : QPalette();
    const QRect TextRect = Rect.adjusted(TextOffset, TextOffset, 0, 0);
    const int Flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine;
    if (Row == 0) {
        Canvas.drawText(TextRect, Flags, CellText(Column, Row));
        return;
    }
    bool Selected = false;
    QString Text;
    if (FDigitization && FIterator && FDigitization->ParamSet().IsComplete()) {
        Selected = FDigitization->Selection().IsSelected(Row - 1);
        Text = CellText(Column, Row);
    }
    Canvas.fillRect(Rect, Selected ? Palette.highlight() : Palette.base());
    Canvas.setPen(Palette.color(Selected ? QPalette::HighlightedText : QPalette::Text));
    Canvas.drawText(TextRect, Flags, Text);
}

QString TDigitizationDataPanel::CellText(int Column, int Row) {
    if (Row == 0)
        return Column == 0 ? QStringLiteral("X") : QStringLiteral("Y");
    TDoublePoint P;
    if (!FDigitization || !OutputPoint(Row - 1, P))
        return {};
    const TCoordFormatPair& Pair = Formats();
    const char Separator = DisplayDecimalSeparator();
    return QString::fromStdString(Column == 0 ? Pair.XFormat.Format(P.X, Separator)
                                              : Pair.YFormat.Format(P.Y, Separator));
}

namespace {

// The shortest text that reads back as V, with Separator for the decimal point.
QString FullPrecisionText(double V, char Separator) {
    char Buffer[64];
    const auto End = std::to_chars(Buffer, Buffer + sizeof Buffer, V).ptr;
    QString Text = QString::fromLatin1(Buffer, static_cast<int>(End - Buffer));
    Text.replace(QLatin1Char('.'), QLatin1Char(Separator));
    return Text;
}

} // namespace

QString TDigitizationDataPanel::ClipboardText(bool FullPrecision) {
    QString Text;
    const auto Caption = [](const char* Axis, const std::string& Unit) {
        return Unit.empty() ? QString::fromLatin1(Axis)
                            : QString::fromLatin1(Axis) + " (" + QString::fromStdString(Unit) + ")";
    };
    const TStringPoint Units = FApplication ? FApplication->FileParameters().Units : TStringPoint();
    Text += Caption("X", Units.X) + '\t' + Caption("Y", Units.Y) + '\n';
    if (!FDigitization)
        return Text;
    const TCoordFormatPair& Pair = Formats();
    const char Separator = DisplayDecimalSeparator();
    const auto Line = [&](int K) {
        TDoublePoint P;
        if (!OutputPoint(K, P))
            return;
        if (FullPrecision)
            Text += FullPrecisionText(P.X, Separator) + '\t' + FullPrecisionText(P.Y, Separator);
        else
            Text += QString::fromStdString(Pair.XFormat.Format(P.X, Separator)) + '\t' +
                    QString::fromStdString(Pair.YFormat.Format(P.Y, Separator));
        Text += '\n';
    };
    const std::vector<std::int32_t>& Selected = FDigitization->Selection().SortedItems();
    if (Selected.empty())
        for (int K = 0; K < FCount; ++K)
            Line(K);
    else
        for (const std::int32_t K : Selected)
            Line(K);
    return Text;
}

bool TDigitizationDataPanel::OutputPoint(int K, TDoublePoint& Point) {
    if (K < 0 || !FIterator)
        return false;
    // The iterator walks forward only: each point is computed once, in order, and kept.
    while (static_cast<int>(FOutput.size()) <= K && !FIterator->IsDone()) {
        FOutput.push_back(FIterator->CurrentPoint());
        FIterator->Next();
    }
    if (K >= static_cast<int>(FOutput.size()))
        return false;
    Point = FOutput[static_cast<std::size_t>(K)];
    return true;
}

void TDigitizationDataPanel::SetActive(bool Value) {
    FActive = Value;
    if (FControlsPanel)
        FControlsPanel->setVisible(Value);
    if (FGrid) {
        if (Value)
            FGrid->SetHandler(this);
        else if (FGrid->Handler() == this)
            FGrid->SetHandler(nullptr);
    }
    if (Value)
        UpdateCount();
}

void TDigitizationDataPanel::SetEnabled(bool Value) {
    FControlsEnabled = Value;
    EnableChildren(FControlsPanel, Value);
}

void TDigitizationDataPanel::SetDigitization(TDigitization* Value) {
    if (FDigitization)
        FDigitization->RemoveListener(this);
    FreeIterator();
    FDigitization = Value;
    if (FDigitization)
        FDigitization->AddListener(this);
    Rebuild();
}

void TDigitizationDataPanel::SetGrid(TDigitizationGrid* Value) {
    if (FGrid && FGrid->Handler() == this)
        FGrid->SetHandler(nullptr);
    FAnchorRow = -1;
    FGrid = Value;
    if (FGrid) {
        FAnchorRow = FGrid->Row();
        if (FActive)
            FGrid->SetHandler(this);
    }
}

void TDigitizationDataPanel::FreeIterator() {
    FIterator.reset();
    FOutput.clear();
}

void TDigitizationDataPanel::InvalidateGrid() {
    if (FGrid)
        FGrid->InvalidateGrid();
}

void TDigitizationDataPanel::PointsAdded(TDigitization&) {
    Rebuild();
}

void TDigitizationDataPanel::PointsChanged(TDigitization&) {
    Rebuild();
}

void TDigitizationDataPanel::ApproximatorParamsChanged(TApproximatorParamSet&) {
    Rebuild();
}

void TDigitizationDataPanel::SelectionChanged(TPointSelection&) {
    InvalidateGrid();
}

void TDigitizationDataPanel::GridMouseDown(Qt::MouseButton Button, Qt::KeyboardModifiers Modifiers,
                                           QPoint Position) {
    int Column = 0;
    int Row = 0;
    if (Button != Qt::LeftButton || !FGrid || !FGrid->MouseToCell(Position, Column, Row))
        return;
    ClickRow(Row, Modifiers);
}

void TDigitizationDataPanel::ClickRow(int Row, Qt::KeyboardModifiers Modifiers) {
    const int K = Row - 1;
    if (!FDigitization || K < 0 || K >= FDigitization->Count())
        return;
    const int A = FAnchorRow > 0 ? FAnchorRow - 1 : 0;
    TPointSelection& Selection = FDigitization->Selection();
    // One announcement of the selection for the whole click.
    FDigitization->BeginUpdate();
    try {
        if (Modifiers & Qt::ShiftModifier) {
            const int D = A < K ? Selection.TrailingRunStart(A) : K < A ? Selection.RunEnd(A) : K;
            if (Modifiers & Qt::ControlModifier) {
                if (Selection.IsSelected(A))
                    Selection.SelectRange(D, K);
                else
                    Selection.DeselectRange(D, K);
            } else {
                Selection.Clear();
                Selection.SelectRange(D, K);
            }
        } else {
            if (!(Modifiers & Qt::ControlModifier))
                Selection.Clear();
            if (Selection.IsSelected(K))
                Selection.Deselect(K);
            else
                Selection.Select(K);
        }
    } catch (...) {
        FDigitization->EndUpdate();
        throw;
    }
    FDigitization->EndUpdate();
    MarkWorkChanged();
}

void TDigitizationDataPanel::MarkWorkChanged() {
    if (FApplication && FApplication->FileIsOpen())
        FApplication->SetFileIsDirty(true);
}

void TDigitizationDataPanel::GridKeyDown(int& Key, Qt::KeyboardModifiers Modifiers) {
    if (Key != Qt::Key_Space)
        return;
    // A click in the current row, with the key's Shift and Ctrl state.
    if (FGrid)
        ClickRow(FGrid->Row(), Modifiers);
    Key = 0;
}

void TDigitizationDataPanel::GridSelectCell(int, int) {
    if (FGrid)
        FAnchorRow = FGrid->Row();
}

// ---------------------------------------------------------------------------------------------
// TLineDataPanel

TLineDataPanel::TLineDataPanel(QWidget* ControlsPanel, QLabel* StatusLabel, TDigitizationGrid* Grid,
                               QComboBox* ApproximatorCombo, QWidget* LineControlsPanel,
                               QWidget* ParamPanelParent)
    : TDigitizationDataPanel(ControlsPanel, StatusLabel, Grid),
      FApproximatorCombo(ApproximatorCombo), FLineControlsPanel(LineControlsPanel),
      FParamPanelParent(ParamPanelParent) {
    if (FApproximatorCombo)
        FComboConnection =
            QObject::connect(FApproximatorCombo, &QComboBox::activated, FApproximatorCombo,
                             [this](int) { Guarded([this] { ApproximatorChosen(); }); });
}

TLineDataPanel::~TLineDataPanel() {
    QObject::disconnect(FComboConnection);
    try {
        TLineDataPanel::SetDigitization(nullptr);
    } catch (...) {
        // As in the base: nothing to report while closing.
    }
    FreeParamPanel();
}

void TLineDataPanel::Rebuild() {
    if (FResettingRange)
        return;
    // A panel made for another parameter set (the line changed its approximator class
    // elsewhere) is replaced first, and the combo box shows the new class.
    if (FLine && FParamPanel &&
        (FParamPanel->ParamSet() != &FLine->ParamSet() ||
         FParamPanelClass != FLine->ParamSet().ParamPanelClass())) {
        SelectCurrentApproximator();
        RecreateParamPanel();
    }
    // The ends the panel does not offer follow the data. They are reset before the iterator
    // is made; the rebuilds their notifications ask for meanwhile are this one.
    if (FLine && FParamPanel) {
        TApproximatorParamSet& Set = FLine->ParamSet();
        FResettingRange = true;
        try {
            if (!FParamPanel->StartEditable())
                Set.ResetStart();
            if (!FParamPanel->EndEditable())
                Set.ResetEnd();
        } catch (...) {
            FResettingRange = false;
            throw;
        }
        FResettingRange = false;
    }
    TDigitizationDataPanel::Rebuild();
}

void TLineDataPanel::SetActive(bool Value) {
    TDigitizationDataPanel::SetActive(Value);
    if (FLineControlsPanel)
        FLineControlsPanel->setVisible(Value);
    if (FParamPanel)
        FParamPanel->setVisible(Value && FParamPanel->parentWidget());
}

void TLineDataPanel::SetEnabled(bool Value) {
    TDigitizationDataPanel::SetEnabled(Value);
    EnableChildren(FLineControlsPanel, Value);
    EnableChildren(FParamPanel.get(), Value);
}

void TLineDataPanel::SetDigitization(TDigitization* Value) {
    // The panel is made for the new line before the base rebuilds, so that the first rebuild
    // already fits the range to the data.
    FreeParamPanel();
    FLine = dynamic_cast<TLine*>(Value);
    SelectCurrentApproximator();
    RecreateParamPanel();
    TDigitizationDataPanel::SetDigitization(Value);
}

void TLineDataPanel::PointsAdded(TDigitization& Digitization) {
    if (!FollowerRunning())
        TDigitizationDataPanel::PointsAdded(Digitization);
}

void TLineDataPanel::RecreateParamPanel() {
    FreeParamPanel();
    if (!FLine)
        return;
    TApproximatorParamSet& Set = FLine->ParamSet();
    std::unique_ptr<TApproximatorParamPanel> Panel = CreateParamPanel(Set.ParamPanelClass());
    if (!Panel)
        return;
    Panel->OnResize = [this](TApproximatorParamPanel&) { FitParamPanelParent(); };
    Panel->OnEdited = [this] { MarkWorkChanged(); };
    // Should the parent go first and take the panel along, the panel is not freed twice.
    QObject::connect(Panel.get(), &QObject::destroyed, [this, P = Panel.get()] {
        if (FParamPanel.get() == P)
            static_cast<void>(FParamPanel.release());
    });
    Panel->setParent(FParamPanelParent);
    Panel->SetParamSet(&Set);
    Panel->SetFormats(Formats());
    EnableChildren(Panel.get(), ControlsEnabled());
    Panel->setVisible(Active() && FParamPanelParent);
    FParamPanelClass = Set.ParamPanelClass();
    FParamPanel = std::move(Panel);
    FitParamPanelParent();
}

void TLineDataPanel::FreeParamPanel() {
    if (!FParamPanel)
        return;
    // The panel may also be listed by the line's current set (a set that took over the
    // listeners of the one the panel shows); it must not be told anything once freed.
    if (FLine)
        FLine->ParamSet().RemoveListener(FParamPanel.get());
    FParamPanel->OnResize = nullptr;
    FParamPanel->OnEdited = nullptr;
    FParamPanel.reset();
    FParamPanelClass = EParamPanelClass::None;
}

void TLineDataPanel::FitParamPanelParent() {
    if (FParamPanel && FParamPanelParent)
        FParamPanelParent->setFixedHeight(FParamPanel->height() + 2 * FParamPanel->y());
}

void TLineDataPanel::SetApproximators(const TCurveApproximatorList* List) {
    FApproximators = List;
    if (!FApproximatorCombo)
        return;
    FApproximatorCombo->clear();
    if (FApproximators)
        for (std::int32_t I = 0; I < FApproximators->Count(); ++I)
            FApproximatorCombo->addItem(
                QString::fromStdString(FApproximators->Items(I).DisplayName));
    SelectCurrentApproximator();
}

const TApproximatorClassInfo* TLineDataPanel::SelectedApproximatorClass() const {
    if (!FApproximators || !FApproximatorCombo)
        return nullptr;
    const int Index = FApproximatorCombo->currentIndex();
    if (Index < 0 || Index >= FApproximators->Count())
        return nullptr;
    return &FApproximators->Items(Index);
}

void TLineDataPanel::SelectCurrentApproximator() {
    if (!FApproximatorCombo)
        return;
    int Index = -1;
    if (FLine && FApproximators)
        Index = FApproximators->IndexOf(FLine->ParamSet().Approximator());
    FApproximatorCombo->setCurrentIndex(Index);
}

void TLineDataPanel::ApproximatorChosen() {
    FreeParamPanel();
    const TApproximatorClassInfo* Class = SelectedApproximatorClass();
    if (Class && FLine) {
        // The user's choice: what the data set exports changes with it.
        FLine->SetApproximatorClass(*Class);
        MarkWorkChanged();
    }
    RecreateParamPanel();
    Rebuild();
}

void TLineDataPanel::FollowingStarted(TLine&) {
    SetEnabled(false);
    FLastRunCount.invalidate();
}

void TLineDataPanel::PointFollowed(TLine& Followed, TLongintPoint, TDoublePoint) {
    constexpr qint64 Interval = 250; // ms
    if (!Active() || !StatusLabel() || &Followed != FLine)
        return;
    if (FLastRunCount.isValid() && FLastRunCount.elapsed() < Interval)
        return;
    FLastRunCount.start();
    const std::int32_t N = Followed.Count();
    StatusLabel()->setText(QStringLiteral("%1 point%2.").arg(N).arg(N == 1 ? "" : "s"));
}

void TLineDataPanel::FollowingFailed(TLine&) {
    SetEnabled(true);
}

void TLineDataPanel::FollowingFinished(TLine&) {
    SetEnabled(true);
}

// A paused follower lets the grid show the points of the run so far.
bool TLineDataPanel::FollowerRunning() const {
    return FLine && FLine->IsFollowing();
}

// ---------------------------------------------------------------------------------------------
// TScatterDataPanel

TScatterDataPanel::TScatterDataPanel(QWidget* ControlsPanel, QLabel* StatusLabel,
                                     TDigitizationGrid* Grid)
    : TDigitizationDataPanel(ControlsPanel, StatusLabel, Grid) {}

void TScatterDataPanel::Rebuild() {
    TDigitizationDataPanel::Rebuild();
    TDigitizationGrid* G = Grid();
    if (!G || !Active())
        return;
    if (FScatter) {
        const int Visible = G->VisibleRowCount();
        const int N = FScatter->Count();
        if (Visible + G->TopRow() < N + 1)
            G->SetTopRow(N - Visible + 1);
    }
    FitTwoColumns(*G);
}

void TScatterDataPanel::SetDigitization(TDigitization* Value) {
    FScatter = dynamic_cast<TScatter*>(Value);
    TDigitizationDataPanel::SetDigitization(Value);
}

void TScatterDataPanel::ScatterSorted(TScatter&) {
    // The kept output points are in the old order.
    Rebuild();
    InvalidateGrid();
}

} // namespace korvane
