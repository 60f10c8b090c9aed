#include "ui/panel/KorvanePanel.h"

#include "ui/panel/FollowingView.h"
#include "ui/panel/Magnifier.h"
#include "ui/panel/PaintBox.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QStyle>
#include <QUrl>
#include <algorithm>

// The panel itself: its paint box and scroll bars and their layout, the working image, what
// a line's run on it is handed, and files dropped on it.

namespace korvane {

namespace {

QRect QRectOf(const TDeviceRect& R) {
    return QRect(R.Left, R.Top, R.Right - R.Left, R.Bottom - R.Top);
}

QString FirstLocalFile(const QMimeData* Data) {
    if (!Data || !Data->hasUrls() || Data->urls().isEmpty())
        return {};
    const QUrl First = Data->urls().first();
    return First.isLocalFile() ? First.toLocalFile() : QString();
}

} // namespace

// ---------------------------------------------------------------------------------------------
// TKorvanePanel: construction and layout

TKorvanePanel::TKorvanePanel(QWidget* Parent) : QWidget(Parent) {
    setAcceptDrops(true);
    FPaintBox = new TPaintBox(*this);
    FHorz = new QScrollBar(Qt::Horizontal, this);
    FVert = new QScrollBar(Qt::Vertical, this);
    for (QScrollBar* Bar : {FHorz, FVert}) {
        const bool Horizontal = Bar == FHorz;
        Bar->setFocusPolicy(Qt::NoFocus);
        Bar->hide();
        QObject::connect(Bar, &QScrollBar::valueChanged, this, [this, Horizontal](int Value) {
            if (!FLayingOut)
                FView.ScrollBarMoved(Horizontal, Value);
        });
        QObject::connect(Bar, &QScrollBar::sliderReleased, this, [this, Horizontal, Bar] {
            if (!FLayingOut)
                FView.ScrollBarMoved(Horizontal, Bar->value(), true);
        });
    }
    FBarExtent = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, FHorz);
    const int MinThumb = style()->pixelMetric(QStyle::PM_ScrollBarSliderMin, nullptr, FHorz);
    FView.SetScrollBarMetrics(FBarExtent, FBarExtent, MinThumb, MinThumb);

    FView.Repaint = [this] { RepaintImage(); };
    FView.LayoutChanged = [this] { Layout(); };
    FView.CursorChanged = [this](std::int16_t Number) { SetPaintBoxCursor(Number); };
    FView.DrawSpanningCursor = [this](TLongintPoint P) {
        const QRect All = FComposition.rect();
        DrawCrossHair(P, All);
        FPaintBox->update(QRect(0, P.Y - 1, All.width(), 2));
        FPaintBox->update(QRect(P.X - 1, 0, 2, All.height()));
    };
    FView.ResetPenWidth = [this] { SetPenWidth(FPenWidth); };
    FView.StrokeTo = [this](TLongintPoint Master) { StrokeTo(Master); };
    FView.RubberBand().Draw = [this](const TDeviceRect& R) {
        DrawBand(R, FComposition.rect());
        const int W = FView.RubberBand().BandWidth();
        FPaintBox->update(
            QRect(QPoint(R.Left - W, R.Top - W), QPoint(R.Right + W - 1, R.Bottom + W - 1)));
    };
    Scale().OnSlotsChanged = [this] { RepaintImage(); };
    SetPaintBoxCursor(FView.PaintBoxCursor());
    FView.SetUsableSize(width(), height());
    FFollowingView = std::make_unique<TFollowingView>(*this);
    FMagnifier = std::make_unique<TMagnifier>(*this);
}

TKorvanePanel::~TKorvanePanel() {
    // A beacon still shown is erased while the panel is whole.
    FFollowingView.reset();
    FMagnifier.reset();
    EndCanvas();
    // The children go first, while the view they report to still exists.
    FView.Repaint = nullptr;
    FView.LayoutChanged = nullptr;
    FView.CursorChanged = nullptr;
    FView.DrawSpanningCursor = nullptr;
    FView.ResetPenWidth = nullptr;
    FView.StrokeTo = nullptr;
    FView.RubberBand().Draw = nullptr;
    Scale().OnSlotsChanged = nullptr;
    delete FPaintBox;
    delete FHorz;
    delete FVert;
}

void TKorvanePanel::resizeEvent(QResizeEvent* Event) {
    QWidget::resizeEvent(Event);
    FView.SetUsableSize(width(), height());
}

void TKorvanePanel::Layout() {
    const TLongintPoint Box = FView.PaintBoxSize();
    const TScrollBarState& H = FView.HorzScrollBar();
    const TScrollBarState& V = FView.VertScrollBar();
    FPaintBox->setGeometry(0, 0, Box.X, Box.Y);
    FHorz->setGeometry(QRectOf(FView.HorzBarRect()));
    FVert->setGeometry(QRectOf(FView.VertBarRect()));
    SyncScrollBars();
    FHorz->setVisible(H.Visible);
    FVert->setVisible(V.Visible);
    FitComposition();
    if (!(CurrentComposition() == FComposedWith))
        FStale = true;
    if (FStale)
        FPaintBox->update();
}

void TKorvanePanel::SyncScrollBars() {
    const bool Was = FLayingOut;
    FLayingOut = true;
    const auto Sync = [](QScrollBar& Bar, const TScrollBarState& S) {
        Bar.setEnabled(S.Enabled);
        // Qt's maximum is the last position; its page step sizes the thumb.
        Bar.setRange(S.Min, S.LastPosition());
        Bar.setPageStep(std::max(S.PageSize, 1));
        Bar.setSingleStep(S.SmallChange);
        Bar.setValue(S.Position);
    };
    Sync(*FHorz, FView.HorzScrollBar());
    Sync(*FVert, FView.VertScrollBar());
    FLayingOut = Was;
}

QWidget* TKorvanePanel::PaintBox() const {
    return FPaintBox;
}
QScrollBar* TKorvanePanel::HorzScrollBar() const {
    return FHorz;
}
QScrollBar* TKorvanePanel::VertScrollBar() const {
    return FVert;
}

QPoint TKorvanePanel::DeviceToGlobal(TLongintPoint P) const {
    return FPaintBox->mapToGlobal(QPoint(P.X, P.Y));
}

// ---------------------------------------------------------------------------------------------
// Image

void TKorvanePanel::SetImage(QImage Image) {
    if (!Image.isNull() && Image.format() != QImage::Format_RGB888)
        Image = Image.convertToFormat(QImage::Format_RGB888);
    EndCanvas();
    FImage = std::move(Image);
    FView.SetImage(FImage.width(), FImage.height());
    SetPaintMode(pmReplacing);
    RepaintImage();
}

void TKorvanePanel::ClearImage() {
    FMagnifier->PointerLeft();
    EndCanvas();
    FImage = QImage();
    FView.ClearImage();
    RepaintImage();
}

void TKorvanePanel::SetShowScalePoints(bool Value) {
    Scale().ShowScalePoints = Value;
    RepaintImage();
}

std::int32_t TKorvanePanel::ThicknessTolerance() const {
    return ThicknessToleranceSource ? ThicknessToleranceSource()
                                    : TVectorizerParameters().ThicknessTolerance();
}

std::uint8_t TKorvanePanel::SelectedPointColor() const {
    return SelectedPointColorSource ? SelectedPointColorSource()
                                    : TVectorizerParameters().SelectedPointColor;
}

// ---------------------------------------------------------------------------------------------
// Following a line

IUiDispatcher& TKorvanePanel::Dispatcher() {
    if (DispatcherSource)
        return DispatcherSource();
    if (!FDispatcher)
        FDispatcher = std::make_unique<TQtDispatcher>(this);
    return *FDispatcher;
}

bool TKorvanePanel::ContainsScreenPoint(TLongintPoint Screen) const {
    return FView.ContainsDevicePoint(Screen);
}

void TKorvanePanel::AddOverlay(IViewOverlay* Overlay) {
    if (std::find(FOverlays.begin(), FOverlays.end(), Overlay) == FOverlays.end())
        FOverlays.push_back(Overlay);
}

void TKorvanePanel::RemoveOverlay(IViewOverlay* Overlay) {
    FOverlays.erase(std::remove(FOverlays.begin(), FOverlays.end(), Overlay), FOverlays.end());
}

// ---------------------------------------------------------------------------------------------
// Dropped files

void TKorvanePanel::dragEnterEvent(QDragEnterEvent* Event) {
    if (!FirstLocalFile(Event->mimeData()).isEmpty())
        Event->acceptProposedAction();
}

void TKorvanePanel::dropEvent(QDropEvent* Event) {
    const QString FileName = FirstLocalFile(Event->mimeData());
    if (FileName.isEmpty())
        return;
    Event->acceptProposedAction();
    if (OnDropFile)
        OnDropFile(FileName);
}

std::uint8_t NextColorIndex(std::uint8_t Index) {
    return Index >= 12 ? 0 : static_cast<std::uint8_t>(Index + 1);
}

TColor TKorvanePanel::PixelColor(TLongintPoint P) const {
    return ImagePixelColor(FImage, P.X, P.Y);
}

} // namespace korvane
