#include "ui/panel/KorvanePanel.h"

#include "core/Errors.h"
#include "image/AxisMapping.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEnterEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPixmap>
#include <QScrollBar>
#include <QStyle>
#include <QUrl>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace korvane {

const char* const TKorvanePanel::PaintModeNames[3] = {"Replacing", "Erasing", "Marking"};

namespace {

// The size of the most recently built pen cursor (cursor number 5): the pen's size on the
// screen plus 2, at most the cursor's 32 pixels.
int GPenCursorSize = 3;

constexpr QRgb Green = 0xFF00FF00u;
constexpr std::uint32_t InvertMask = 0x00FFFFFFu;

// The scale-point marker: a filled circle in the 8 x 8 box from (x - 4, y - 4), the right
// and bottom edge of the bounding square left out.
constexpr std::array<const char*, 8> MarkerShape = {"..####..", ".######.", "########", "########",
                                                    "########", "########", ".######.", "..####.."};

// Black strokes get a one-pixel white halo, so that the cursor shows on any background.
QCursor CursorFromShape(QImage& Shape, int HotX, int HotY) {
    QImage Out = Shape.copy();
    const QRgb Black = qRgba(0, 0, 0, 255);
    const QRgb White = qRgba(255, 255, 255, 255);
    for (int Y = 0; Y < Shape.height(); ++Y)
        for (int X = 0; X < Shape.width(); ++X) {
            if (qAlpha(Shape.pixel(X, Y)) != 0)
                continue;
            bool Near = false;
            for (int Dy = -1; Dy <= 1 && !Near; ++Dy)
                for (int Dx = -1; Dx <= 1 && !Near; ++Dx) {
                    const int NX = X + Dx, NY = Y + Dy;
                    Near = NX >= 0 && NY >= 0 && NX < Shape.width() && NY < Shape.height() &&
                           Shape.pixel(NX, NY) == Black;
                }
            if (Near)
                Out.setPixel(X, Y, White);
        }
    return QCursor(QPixmap::fromImage(Out), HotX, HotY);
}

// The cursors 6 .. 13: a cross-hair with a small sign at its top right, and the eyedropper.
QCursor ShapeCursor(std::int16_t Number) {
    QImage Shape(32, 32, QImage::Format_ARGB32);
    Shape.fill(Qt::transparent);
    QPainter P(&Shape);
    P.setPen(QPen(Qt::black, 1));
    P.setBrush(Qt::NoBrush);
    if (Number == 12) { // EYEDROPPER: the tip at the bottom left is the hot spot
        P.setPen(QPen(Qt::black, 2, Qt::SolidLine, Qt::FlatCap));
        P.drawLine(3, 28, 20, 11);
        P.setPen(QPen(Qt::black, 1));
        P.drawPoint(2, 29);
        P.drawLine(17, 10, 21, 14);
        P.setBrush(Qt::black);
        P.drawEllipse(QRect(21, 4, 6, 6));
        P.end();
        return CursorFromShape(Shape, 2, 29);
    }
    P.drawLine(15, 2, 15, 12);
    P.drawLine(15, 18, 15, 28);
    P.drawLine(2, 15, 12, 15);
    P.drawLine(18, 15, 28, 15);
    P.drawPoint(15, 15);
    switch (Number) {
    case 6: // CROSSPLUS
        P.drawLine(22, 5, 28, 5);
        P.drawLine(25, 2, 25, 8);
        break;
    case 7: // CROSSMINUS
        P.drawLine(22, 5, 28, 5);
        break;
    case 8: // CROSSZOOM: a magnifier
        P.drawEllipse(QRect(23, 2, 6, 6));
        P.drawLine(22, 8, 20, 10);
        break;
    case 9: // CROSSSELECT: a dotted box
        P.setPen(QPen(Qt::black, 1, Qt::DotLine));
        P.drawRect(QRect(20, 2, 9, 7));
        break;
    case 10: // CROSSERASE: an eraser block
        P.fillRect(QRect(21, 3, 8, 5), Qt::black);
        break;
    case 11: // CROSSLEFTRIGHT: a double-headed arrow
        P.drawLine(20, 5, 30, 5);
        P.drawLine(21, 4, 21, 6);
        P.drawLine(22, 3, 22, 7);
        P.drawLine(29, 4, 29, 6);
        P.drawLine(28, 3, 28, 7);
        break;
    default: // 13 CROSSBASIC
        break;
    }
    P.end();
    return CursorFromShape(Shape, 15, 15);
}

// The pen cursor: the one-pixel outline of the square from (32 - S) div 2 to (32 + S) div 2
// (right and bottom edge left out) around the hot spot (16, 16), in alternating black and
// white pixels, so that it shows on any background like an inverted outline.
QCursor PenCursorOfSize(int S) {
    S = std::clamp(S, 2, 32);
    QImage Img(32, 32, QImage::Format_ARGB32);
    Img.fill(Qt::transparent);
    const int A = (32 - S) / 2;
    const int B = (32 + S) / 2 - 1;
    for (int Y = A; Y <= B; ++Y)
        for (int X = A; X <= B; ++X)
            if (X == A || X == B || Y == A || Y == B)
                Img.setPixel(X, Y, ((X + Y) & 1) ? qRgba(255, 255, 255, 255) : qRgba(0, 0, 0, 255));
    return QCursor(QPixmap::fromImage(Img), 16, 16);
}

int ButtonOf(Qt::MouseButton Button) {
    switch (Button) {
    case Qt::LeftButton:
        return 1;
    case Qt::RightButton:
        return 2;
    case Qt::MiddleButton:
        return 3;
    default:
        return 0;
    }
}

unsigned ShiftOf(const QInputEvent* Event) {
    return static_cast<unsigned>(Event->modifiers().toInt());
}

TLongintPoint PointOf(const QMouseEvent* Event) {
    const QPointF P = Event->position();
    return {static_cast<std::int32_t>(std::floor(P.x())),
            static_cast<std::int32_t>(std::floor(P.y()))};
}

QString FirstLocalFile(const QMimeData* Data) {
    if (!Data || !Data->hasUrls() || Data->urls().isEmpty())
        return {};
    const QUrl First = Data->urls().first();
    return First.isLocalFile() ? First.toLocalFile() : QString();
}

} // namespace

// ---------------------------------------------------------------------------------------------
// TPaintBox: shows the composed view and reports the mouse to the view.

class TPaintBox : public QWidget {
public:
    explicit TPaintBox(TKorvanePanel& Owner) : QWidget(&Owner), FOwner(Owner) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setMouseTracking(true);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent* Event) override {
        QPainter Painter(this);
        FOwner.PaintBoxPaint(Painter, Event->rect());
    }
    void mousePressEvent(QMouseEvent* Event) override {
        if (Event->button() == Qt::LeftButton)
            FClickPending = true;
        FOwner.FView.MouseDown(PointOf(Event), ButtonOf(Event->button()), ShiftOf(Event));
    }
    void mouseMoveEvent(QMouseEvent* Event) override {
        const TLongintPoint P = PointOf(Event);
        FOwner.FMouseDevice = P;
        FOwner.FView.MouseMove(P, ShiftOf(Event));
    }
    void mouseReleaseEvent(QMouseEvent* Event) override {
        const TLongintPoint P = PointOf(Event);
        if (Event->button() == Qt::LeftButton && FClickPending) {
            FClickPending = false;
            if (rect().contains(P.X, P.Y))
                FOwner.FView.Click();
        }
        FOwner.FView.MouseUp(P, ButtonOf(Event->button()), ShiftOf(Event));
    }
    void enterEvent(QEnterEvent*) override { FOwner.FView.MouseEnter(); }
    void leaveEvent(QEvent*) override { FOwner.FView.MouseLeave(); }

private:
    TKorvanePanel& FOwner;
    bool FClickPending = false;
};

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
}

TKorvanePanel::~TKorvanePanel() {
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

TKorvanePanel::TComposedWith TKorvanePanel::CurrentComposition() const {
    const TScaleSystem& V = FView.View();
    return {V.WindowOrg,   V.WindowExt,          V.ViewportOrg,
            V.ViewportExt, FView.PaintBoxSize(), HasImage() && FView.HasImage()};
}

bool TKorvanePanel::FitComposition() {
    const TLongintPoint Box = FView.PaintBoxSize();
    // Never empty, so that a painter can always be opened on it.
    const QSize Size(std::max(Box.X, 1), std::max(Box.Y, 1));
    if (FComposition.size() == Size)
        return false;
    EndCanvas();
    FComposition = QImage(Size, QImage::Format_RGB32);
    FStale = true;
    return true;
}

void TKorvanePanel::Layout() {
    const TLongintPoint Box = FView.PaintBoxSize();
    const TScrollBarState& H = FView.HorzScrollBar();
    const TScrollBarState& V = FView.VertScrollBar();
    const int W = FView.UsableWidth();
    const int Ht = FView.UsableHeight();
    FPaintBox->setGeometry(0, 0, Box.X, Box.Y);
    // The horizontal bar ends where the vertical one begins, and the other way round.
    FHorz->setGeometry(0, Ht - FBarExtent, std::max(W - (V.Visible ? FBarExtent : 0), 0),
                       FBarExtent);
    FVert->setGeometry(W - FBarExtent, 0, FBarExtent,
                       std::max(Ht - (H.Visible ? FBarExtent : 0), 0));
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
                                    : FollowerSettings().ThicknessTolerance();
}

std::uint8_t TKorvanePanel::SelectedPointColor() const {
    return SelectedPointColorSource ? SelectedPointColorSource()
                                    : FollowerSettings().SelectedPointColor;
}

// ---------------------------------------------------------------------------------------------
// Following a line

const TVectorizerParameters& TKorvanePanel::FollowerSettings() const {
    return FollowerSettingsSource ? FollowerSettingsSource() : FDefaultFollowerSettings;
}

TFollowerEnhancements TKorvanePanel::FollowerEnhancements() const {
    return FollowerEnhancementsSource ? FollowerEnhancementsSource() : TFollowerEnhancements{};
}

IUiDispatcher& TKorvanePanel::Dispatcher() {
    if (DispatcherSource)
        return DispatcherSource();
    if (!FDispatcher)
        FDispatcher = std::make_unique<TQtDispatcher>(this);
    return *FDispatcher;
}

bool TKorvanePanel::ContainsScreenPoint(TLongintPoint Screen) const {
    const TLongintPoint Box = FView.PaintBoxSize();
    return Screen.X >= 0 && Screen.Y >= 0 && Screen.X < Box.X && Screen.Y < Box.Y;
}

void TKorvanePanel::AddOverlay(IViewOverlay* Overlay) {
    if (std::find(FOverlays.begin(), FOverlays.end(), Overlay) == FOverlays.end())
        FOverlays.push_back(Overlay);
}

void TKorvanePanel::RemoveOverlay(IViewOverlay* Overlay) {
    FOverlays.erase(std::remove(FOverlays.begin(), FOverlays.end(), Overlay), FOverlays.end());
}

// ---------------------------------------------------------------------------------------------
// Composition

void TKorvanePanel::RepaintImage() {
    if (FComposing) { // asked from a listener while painting: once more afterwards
        FStale = true;
        FPaintBox->update();
        return;
    }
    FitComposition();
    FStale = false;
    FComposedWith = CurrentComposition();
    Compose(QRect(QPoint(0, 0), FComposition.size()));
    FPaintBox->update();
}

void TKorvanePanel::RepaintDeviceRect(const TDeviceRect& R) {
    if (FComposing || FStale || FitComposition() || !(CurrentComposition() == FComposedWith)) {
        RepaintImage();
        return;
    }
    const QRect Part =
        QRect(QPoint(R.Left, R.Top), QPoint(R.Right - 1, R.Bottom - 1)) & FComposition.rect();
    if (Part.isEmpty())
        return;
    Compose(Part);
    FPaintBox->update(Part);
}

void TKorvanePanel::Compose(const QRect& Device) {
    FComposing = true;
    EndCanvas();
    SyncScrollBars();
    if (HasImage() && FView.HasImage() && MappingUsable(FView.View())) {
        ComposeImage(Device);
        if (ShowScalePoints())
            DrawScalePoints(Device);
    } else {
        const QRgb Background = palette().color(QPalette::Window).rgb();
        for (int Y = Device.top(); Y <= Device.bottom(); ++Y)
            std::fill_n(reinterpret_cast<QRgb*>(FComposition.scanLine(Y)) + Device.left(),
                        Device.width(), Background);
    }
    // Listeners draw through a painter clipped to the part being composed.
    try {
        FCanvas.emplace(&FComposition);
        FCanvas->setClipRect(Device);
        FView.Painted();
    } catch (...) {
        EndCanvas();
        DrawOverlays(Device);
        FComposing = false;
        throw;
    }
    EndCanvas();
    DrawOverlays(Device);
    FComposing = false;
}

void TKorvanePanel::ComposeImage(const QRect& Device) {
    const TScaleSystem& V = FView.View();
    const QRgb Background = palette().color(QPalette::Window).rgb();
    const int ImageW = FImage.width();
    const int ImageH = FImage.height();
    const int Width = Device.width();

    // For every device column the byte offset of the image pixel shown there (-1 outside the
    // image); the shown columns are one run, since the mapping never goes back.
    const TAxisMapping MX = HorzMapping(V);
    std::vector<std::int32_t> Columns(static_cast<std::size_t>(Width));
    int First = Width, Last = 0;
    for (int C = 0; C < Width; ++C) {
        const std::int64_t X = MX.PixelAt(Device.left() + C);
        if (X >= 0 && X < ImageW) {
            Columns[C] = static_cast<std::int32_t>(3 * X);
            First = std::min(First, C);
            Last = C + 1;
        } else {
            Columns[C] = -1;
        }
    }
    if (First >= Last)
        First = Last = 0;

    const TAxisMapping MY = VertMapping(V);
    const uchar* Source = FImage.constBits();
    const qsizetype SourceStride = FImage.bytesPerLine();
    uchar* Target = FComposition.bits();
    const qsizetype TargetStride = FComposition.bytesPerLine();
    const std::int32_t* Offsets = Columns.data();
    std::int64_t PreviousRow = -2;
    const QRgb* PreviousLine = nullptr;
    for (int D = Device.top(); D <= Device.bottom(); ++D) {
        QRgb* Line = reinterpret_cast<QRgb*>(Target + D * TargetStride) + Device.left();
        std::int64_t Y = MY.PixelAt(D);
        if (Y < 0 || Y >= ImageH)
            Y = -1;
        if (Y == PreviousRow && PreviousLine) { // a zoomed image row repeats
            std::memcpy(Line, PreviousLine, static_cast<std::size_t>(Width) * sizeof(QRgb));
        } else if (Y < 0) {
            std::fill_n(Line, Width, Background);
        } else {
            const uchar* Row = Source + Y * SourceStride;
            std::fill_n(Line, First, Background);
            for (int C = First; C < Last; ++C) {
                const uchar* S = Row + Offsets[C];
                Line[C] = 0xFF000000u | (static_cast<QRgb>(S[0]) << 16) |
                          (static_cast<QRgb>(S[1]) << 8) | S[2];
            }
            std::fill_n(Line + Last, Width - Last, Background);
        }
        PreviousRow = Y;
        PreviousLine = Line;
    }
}

void TKorvanePanel::DrawScalePoints(const QRect& Clip) {
    const TPanelScale& S = Scale();
    for (const TPanelScale::TSlot* Slot : {&S.FirstSlot(), &S.SkewSlot(), &S.SecondSlot()}) {
        if (!Slot->Set)
            continue;
        TLongintPoint P;
        try {
            P = FView.View().ImageToScreen(Slot->Position);
        } catch (const EKorvane&) {
            continue; // far outside any screen
        }
        for (int J = 0; J < 8; ++J)
            for (int I = 0; I < 8; ++I) {
                const int X = P.X - 4 + I, Y = P.Y - 4 + J;
                if (MarkerShape[J][I] == '#' && Clip.contains(X, Y))
                    reinterpret_cast<QRgb*>(FComposition.scanLine(Y))[X] = Green;
            }
    }
}

// ---------------------------------------------------------------------------------------------
// Inverting overlays

void TKorvanePanel::InvertFrame(const TDeviceRect& R, const QRect& Clip) {
    if (R.Right <= R.Left || R.Bottom <= R.Top)
        return;
    const QRect Area = Clip & FComposition.rect();
    if (Area.isEmpty())
        return;
    uchar* Bits = FComposition.bits();
    const qsizetype Stride = FComposition.bytesPerLine();
    // A dotted frame: every other pixel, in a pattern fixed to the paint box.
    const auto Toggle = [&](int X, int Y) {
        if (((X + Y) & 1) == 0 && Area.contains(X, Y))
            reinterpret_cast<std::uint32_t*>(Bits + Y * Stride)[X] ^= InvertMask;
    };
    const int Right = R.Right - 1, Bottom = R.Bottom - 1;
    for (int X = std::max(R.Left, Area.left()); X <= std::min(Right, Area.right()); ++X) {
        Toggle(X, R.Top);
        if (Bottom > R.Top)
            Toggle(X, Bottom);
    }
    for (int Y = std::max(R.Top + 1, Area.top()); Y <= std::min(Bottom - 1, Area.bottom()); ++Y) {
        Toggle(R.Left, Y);
        if (Right > R.Left)
            Toggle(Right, Y);
    }
}

void TKorvanePanel::DrawBand(const TDeviceRect& R, const QRect& Clip) {
    // A band without area is not drawn at all, however wide: its first erase after the
    // start then has nothing to remove.
    if (R.Right == R.Left || R.Bottom == R.Top)
        return;
    TDeviceRect Frame = R;
    for (int I = 0; I < FView.RubberBand().BandWidth(); ++I) {
        InvertFrame(Frame, Clip);
        Frame = {Frame.Left - 1, Frame.Top - 1, Frame.Right + 1, Frame.Bottom + 1};
    }
}

void TKorvanePanel::DrawCrossHair(TLongintPoint P, const QRect& Clip) {
    const TLongintPoint Box = FView.PaintBoxSize();
    InvertFrame({0, P.Y - 1, Box.X, P.Y + 1}, Clip);
    InvertFrame({P.X - 1, 0, P.X + 1, Box.Y}, Clip);
}

void TKorvanePanel::DrawOverlays(const QRect& Clip) {
    const TRubberBand& Band = FView.RubberBand();
    if (Band.Started())
        DrawBand(Band.Rect(), Clip);
    if (FView.SpanningCursorShown())
        DrawCrossHair(FView.SpanningCursorPos(), Clip);
    if (!FOverlays.empty()) {
        QPainter Painter(&FComposition);
        Painter.setClipRect(Clip & FComposition.rect());
        for (IViewOverlay* Overlay : std::vector(FOverlays))
            Overlay->DrawOverlay(Painter);
    }
}

// ---------------------------------------------------------------------------------------------
// Canvas and paint

QPainter& TKorvanePanel::Canvas() {
    if (!FCanvas) {
        FCanvas.emplace(&FComposition);
        if (!FComposing && !FFlushQueued) {
            FFlushQueued = true;
            QMetaObject::invokeMethod(
                this,
                [this] {
                    FFlushQueued = false;
                    FlushCanvas();
                },
                Qt::QueuedConnection);
        }
    }
    return *FCanvas;
}

void TKorvanePanel::FlushCanvas() {
    if (!FCanvas)
        return;
    EndCanvas();
    FPaintBox->update();
}

void TKorvanePanel::EndCanvas() {
    FCanvas.reset();
}

void TKorvanePanel::PaintBoxPaint(QPainter& Painter, const QRect& Rect) {
    const bool Drawn = FCanvas.has_value();
    EndCanvas();
    bool Whole = Drawn;
    if (FStale || FitComposition() || !(CurrentComposition() == FComposedWith)) {
        FStale = false;
        FComposedWith = CurrentComposition();
        Compose(QRect(QPoint(0, 0), FComposition.size()));
        Whole = true;
    }
    Painter.drawImage(Rect, FComposition, Rect);
    // Drawing on the canvas or composing may have changed more than this paint covers.
    if (Whole && Rect != FPaintBox->rect())
        FPaintBox->update();
}

// ---------------------------------------------------------------------------------------------
// Cursors

QCursor TKorvanePanel::CursorOf(std::int16_t Number) {
    switch (Number) {
    case 5:
        return PenCursorOfSize(GPenCursorSize);
    case 6:
    case 7:
    case 8:
    case 9:
    case 10:
    case 11:
    case 12:
    case 13:
        return ShapeCursor(Number);
    case CursorSizeAll:
        return QCursor(Qt::SizeAllCursor);
    case -3:
        return QCursor(Qt::CrossCursor);
    case -4:
        return QCursor(Qt::IBeamCursor);
    case -11:
        return QCursor(Qt::WaitCursor);
    case -21:
        return QCursor(Qt::PointingHandCursor);
    default:
        return QCursor(Qt::ArrowCursor);
    }
}

QCursor TKorvanePanel::PenCursor() const {
    return FPenCursor ? *FPenCursor : CursorOf(5);
}

void TKorvanePanel::SetPaintBoxCursor(std::int16_t Number) {
    FPaintBox->setCursor(Number == 5 ? PenCursor() : CursorOf(Number));
}

void TKorvanePanel::RebuildPenCursor() {
    const TScaleSystem& V = FView.View();
    std::int64_t S = 2;
    if (V.WindowExt.X > 0)
        S = MulDiv64(FPenWidth, V.ViewportExt.X, V.WindowExt.X) + 2;
    // A pen wider than the cursor shows as the cursor's border.
    GPenCursorSize = static_cast<int>(std::clamp<std::int64_t>(S, 2, 32));
    FPenCursor = std::make_unique<QCursor>(PenCursorOfSize(GPenCursorSize));
    // Shown while painting; built earlier it would otherwise be saved with the states that
    // painting pushes and come back after painting ends.
    if (FView.Painting() || FView.PaintBoxCursor() == 5)
        FView.SetPaintBoxCursor(5);
}

// ---------------------------------------------------------------------------------------------
// The pen

void TKorvanePanel::UpdatePenColor() {
    switch (FPaintMode) {
    case pmErasing:
        FPenColor = FErasingColor;
        break;
    case pmMarking:
        FPenColor = InvertColor(ScaleColor(FMarkingColor, 1.05));
        break;
    default:
        FPenColor = FReplacingColor;
        break;
    }
}

void TKorvanePanel::SetPaintMode(int Mode) {
    if (Mode == FPaintMode)
        return;
    if (Mode < pmReplacing || Mode > pmMarking)
        throw EKorvane("Invalid paint mode: " + std::to_string(Mode));
    FPaintMode = Mode;
    UpdatePenColor();
}

// The pen follows a colour of its mode at once, painting or not, so that painting never
// starts with the colour the mode had before.
void TKorvanePanel::SetReplacingColor(TColor Color) {
    FReplacingColor = Color;
    if (FPaintMode == pmReplacing)
        UpdatePenColor();
}

void TKorvanePanel::SetErasingColor(TColor Color) {
    FErasingColor = Color;
    if (FPaintMode == pmErasing)
        UpdatePenColor();
}

void TKorvanePanel::SetMarkingColor(TColor Color) {
    FMarkingColor = Color;
    if (FPaintMode == pmMarking)
        UpdatePenColor();
}

void TKorvanePanel::SetPenWidth(std::int32_t Width) {
    if (!HasImage())
        return;
    const TScaleSystem& V = FView.View();
    std::int64_t Limit = 31;
    if (ScaleDefined() && V.ViewportExt.X > 0)
        Limit = std::clamp<std::int64_t>(31LL * V.WindowExt.X / V.ViewportExt.X, 1, 65535);
    FPenWidth = Width <= 0 ? 1 : static_cast<std::int32_t>(std::min<std::int64_t>(Width, Limit));
    if (FView.Painting())
        RebuildPenCursor();
    FView.NotifyPenWidthChanged();
}

void TKorvanePanel::StrokeTo(TLongintPoint Master) {
    if (FView.NewStroke()) {
        FPenPos = Master;
        FLastStrokeDevice = FMouseDevice;
        FView.SetNewStroke(false);
        return;
    }
    const TLongintPoint From = FPenPos;
    DrawStroke(From, Master);
    FPenPos = Master;

    // The device rectangle spanning the two mouse positions, grown by the pen's size on the
    // screen; together with the blocks of the changed image pixels, which a mouse position
    // rounded to the neighbouring image pixel would leave out at high zoom.
    const TScaleSystem& V = FView.View();
    if (!MappingUsable(V))
        return;
    const std::int64_t Grow =
        CeilDiv(static_cast<std::int64_t>(FPenWidth) * V.ViewportExt.X, V.WindowExt.X) + 1;
    const TDeviceRect Span = NormalizedRect(FLastStrokeDevice, FMouseDevice);
    FLastStrokeDevice = FMouseDevice;
    QRect Changed(
        QPoint(static_cast<int>(Span.Left - Grow), static_cast<int>(Span.Top - Grow)),
        QPoint(static_cast<int>(Span.Right + Grow - 1), static_cast<int>(Span.Bottom + Grow - 1)));
    const int Reach = FPenWidth / 2 + 2;
    const TAxisMapping MX = HorzMapping(V), MY = VertMapping(V);
    const QRect Blocks(
        QPoint(static_cast<int>(MX.BlockStart(std::min(From.X, Master.X) - Reach)),
               static_cast<int>(MY.BlockStart(std::min(From.Y, Master.Y) - Reach))),
        QPoint(static_cast<int>(MX.BlockStart(std::max(From.X, Master.X) + Reach + 1)),
               static_cast<int>(MY.BlockStart(std::max(From.Y, Master.Y) + Reach + 1))));
    Changed |= Blocks;
    RepaintDeviceRect({Changed.left(), Changed.top(), Changed.right() + 1, Changed.bottom() + 1});
}

void TKorvanePanel::DrawStroke(TLongintPoint From, TLongintPoint To) {
    if (FImage.isNull())
        return;
    const int Reach = FPenWidth / 2 + 2;
    const QRect Box =
        QRect(QPoint(std::min(From.X, To.X) - Reach, std::min(From.Y, To.Y) - Reach),
              QPoint(std::max(From.X, To.X) + Reach, std::max(From.Y, To.Y) + Reach)) &
        FImage.rect();
    if (Box.isEmpty())
        return;
    // The pen's coverage, drawn as a mask, so that every mode changes exactly these pixels.
    // The pen runs through the pixels' centres; a stroke that does not move leaves a round dot.
    QImage Mask(Box.size(), QImage::Format_Grayscale8);
    Mask.fill(0);
    if (From == To) {
        const double Radius2 = FPenWidth * FPenWidth / 4.0;
        for (int Y = 0; Y < Box.height(); ++Y)
            for (int X = 0; X < Box.width(); ++X) {
                const double Dx = Box.left() + X - From.X, Dy = Box.top() + Y - From.Y;
                if (Dx * Dx + Dy * Dy <= Radius2)
                    Mask.scanLine(Y)[X] = 255;
            }
    } else {
        QPainter P(&Mask);
        P.setRenderHint(QPainter::Antialiasing, false);
        P.setPen(QPen(Qt::white, FPenWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        P.translate(0.5 - Box.left(), 0.5 - Box.top());
        P.drawLine(QPointF(From.X, From.Y), QPointF(To.X, To.Y));
    }
    // Merge-not-pen ORs the inverse of the pen into each channel; the others copy the pen.
    const bool Merge = PenMerges();
    const TColor C = Merge ? InvertColor(FPenColor) : FPenColor;
    const uchar R = GetRValue(C), G = GetGValue(C), B = GetBValue(C);
    for (int Y = 0; Y < Box.height(); ++Y) {
        const uchar* M = Mask.constScanLine(Y);
        uchar* Pixel = FImage.scanLine(Box.top() + Y) + 3 * Box.left();
        for (int X = 0; X < Box.width(); ++X, Pixel += 3) {
            if (!M[X])
                continue;
            if (Merge) {
                Pixel[0] |= R;
                Pixel[1] |= G;
                Pixel[2] |= B;
            } else {
                Pixel[0] = R;
                Pixel[1] = G;
                Pixel[2] = B;
            }
        }
    }
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
    if (P.X < 0 || P.Y < 0 || P.X >= FImage.width() || P.Y >= FImage.height())
        return RGB(255, 255, 255);
    const uchar* Pixel = FImage.constScanLine(P.Y) + 3 * static_cast<std::ptrdiff_t>(P.X);
    return RGB(Pixel[0], Pixel[1], Pixel[2]);
}

} // namespace korvane
