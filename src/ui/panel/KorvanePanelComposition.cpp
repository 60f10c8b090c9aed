#include "ui/panel/KorvanePanel.h"

#include "core/Errors.h"
#include "image/AxisMapping.h"
#include "ui/panel/PaintBox.h"
#include "ui/panel/RowConversion.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

// The offscreen composition of the view: the working image through the view mapping, the
// scale-point markers, what listeners draw on the canvas, the inverting rubber band and
// cross-hair, and the overlays; and the paint box showing it.

namespace korvane {

namespace {

constexpr QRgb Green = 0xFF00FF00u;
constexpr std::uint32_t InvertMask = 0x00FFFFFFu;

// The scale-point marker: a filled circle in the 8 x 8 box from (x - 4, y - 4), the right
// and bottom edge of the bounding square left out.
constexpr std::array<const char*, 8> MarkerShape = {"..####..", ".######.", "########", "########",
                                                    "########", "########", ".######.", "..####.."};

} // namespace

// ---------------------------------------------------------------------------------------------
// The composition's size and mapping

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
    // At actual size the shown columns are consecutive image pixels: whole runs convert at once.
    bool Consecutive = true;
    for (int C = First + 1; C < Last && Consecutive; ++C)
        Consecutive = Columns[C] == Columns[C - 1] + 3;

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
            if (Consecutive && Last > First) {
                RgbToRgb32(Row + Offsets[First], Line + First, Last - First);
            } else {
                for (int C = First; C < Last; ++C) {
                    const uchar* S = Row + Offsets[C];
                    Line[C] = 0xFF000000u | (static_cast<QRgb>(S[0]) << 16) |
                              (static_cast<QRgb>(S[1]) << 8) | S[2];
                }
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

} // namespace korvane
