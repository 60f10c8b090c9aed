#include "image/PanZoomView.h"

#include "core/Numerics.h"
#include "image/AxisMapping.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>

namespace korvane {

namespace {

// Zooming out stops before a window extent could overflow the conversions' arithmetic.
constexpr double MaxWindowExtent = 1 << 30;

std::int32_t Sign(std::int32_t V) {
    return V < 0 ? -1 : 1;
}

// The smallest rectangle holding two normalised ones.
TDeviceRect BoundingRect(const TDeviceRect& A, const TDeviceRect& B) {
    return {std::min(A.Left, B.Left), std::min(A.Top, B.Top), std::max(A.Right, B.Right),
            std::max(A.Bottom, B.Bottom)};
}

} // namespace

TDeviceRect NormalizedRect(TLongintPoint A, TLongintPoint B) {
    return {std::min(A.X, B.X), std::min(A.Y, B.Y), std::max(A.X, B.X), std::max(A.Y, B.Y)};
}

// ---------------------------------------------------------------------------------------------
// TRubberBand

void TRubberBand::SetProportional(bool Proportional, std::int32_t RatioWidth,
                                  std::int32_t RatioHeight) {
    FProportional = Proportional && RatioWidth > 0 && RatioHeight > 0;
    if (FProportional) {
        FRatioWidth = RatioWidth;
        FRatioHeight = RatioHeight;
    }
}

bool TRubberBand::SetBandWidth(std::int32_t Width) {
    if (FStarted || Width <= 0)
        return false;
    FBandWidth = Width;
    return true;
}

void TRubberBand::Invert() const {
    if (Draw)
        Draw(Rect());
}

void TRubberBand::SetCorner(TLongintPoint P) {
    if (!FProportional) {
        FCorner = P;
        return;
    }
    const std::int32_t Dx = std::abs(P.X - FAnchor.X);
    const std::int32_t Dyw = MulDiv(std::abs(P.Y - FAnchor.Y), FRatioWidth, FRatioHeight);
    if (Dyw < Dx) {
        FCorner = {FAnchor.X + Sign(P.X - FAnchor.X) * Dyw, P.Y};
    } else {
        FCorner = {P.X, FAnchor.Y + Sign(P.Y - FAnchor.Y) * MulDiv(Dx, FRatioHeight, FRatioWidth)};
    }
}

void TRubberBand::Start(TLongintPoint P) {
    if (FStarted)
        return;
    FAnchor = FCorner = P;
    FStarted = true;
}

void TRubberBand::Move(TLongintPoint P) {
    if (!FStarted)
        return;
    Invert();
    SetCorner(P);
    Invert();
}

void TRubberBand::Stop(TLongintPoint P) {
    if (!FStarted)
        return;
    Invert();
    SetCorner(P);
    FStarted = false;
    if (OnStop)
        OnStop(Rect());
}

void TRubberBand::Cancel() {
    if (!FStarted)
        return;
    Invert();
    FStarted = false;
    if (OnCancel)
        OnCancel();
}

// ---------------------------------------------------------------------------------------------
// TScrollBarState

std::int32_t TScrollBarState::LastPosition() const {
    return std::max(Min, Max - PageSize + 1);
}

std::int32_t TScrollBarState::Clamp(std::int32_t Value) const {
    return std::max(Min, std::min(Value, LastPosition()));
}

// ---------------------------------------------------------------------------------------------
// TPanZoomView: view mapping and scroll bars

TPanZoomView::TPanZoomView() {
    FBand.OnStop = [this](const TDeviceRect& R) { BandStopped(R); };
}

TPanZoomView::~TPanZoomView() = default;

void TPanZoomView::SetUsableSize(std::int32_t Width, std::int32_t Height) {
    FUsableWidth = std::max(Width, 0);
    FUsableHeight = std::max(Height, 0);
    UpdateScrollBars();
}

void TPanZoomView::SetScrollBarMetrics(std::int32_t HorzBarHeight, std::int32_t VertBarWidth,
                                       std::int32_t MinThumbWidth, std::int32_t MinThumbHeight) {
    FHorzBarHeight = std::max(HorzBarHeight, 0);
    FVertBarWidth = std::max(VertBarWidth, 0);
    FMinThumbWidth = std::max(MinThumbWidth, 1);
    FMinThumbHeight = std::max(MinThumbHeight, 1);
}

void TPanZoomView::SetImage(std::int32_t Width, std::int32_t Height) {
    ClearImage();
    if (Width <= 0 || Height <= 0)
        return;
    FHasImage = true;
    FImageSize = {Width, Height};
    ResetView();
}

void TPanZoomView::ClearImage() {
    FHasImage = false;
    FImageSize = {0, 0};
    FScale.UndefineScale();
    UpdateScrollBars();
}

void TPanZoomView::ResetView() {
    if (!FHasImage)
        return;
    TScaleSystem& V = FScale.CurrentScaleSystem();
    V.WindowOrg = {0, 0};
    V.WindowExt = V.ViewportExt = FImageSize;
    V.ViewportOrg = {0, 0};
    FScale.RebuildCurrentScale();
    UpdateScrollBars();
    Fire(ResetPenWidth);
}

void TPanZoomView::ZoomBy(double Factor) {
    TScaleSystem& V = FScale.CurrentScaleSystem();
    const auto Scaled = [](std::int32_t Ext, double F) {
        const double E = Ext * F;
        // A factor that would overflow the extent leaves it as it is.
        if (!(std::fabs(E) < MaxWindowExtent))
            return Ext;
        // Truncate the exact product: 600 x 1.3333333333333333 is just below 800, though
        // the rounded double product is 800.
        double T = std::trunc(E);
        if (T == E) {
            const double Residue = std::fma(static_cast<double>(Ext), F, -E);
            if (E > 0 && Residue < 0)
                T -= 1;
            else if (E < 0 && Residue > 0)
                T += 1;
        }
        return static_cast<std::int32_t>(T);
    };
    V.WindowExt = {Scaled(V.WindowExt.X, Factor), Scaled(V.WindowExt.Y, Factor)};
    LimitZoom();
    ZoomChanged();
}

namespace {

// Extent × (3/4)^Steps for Steps > 0, × (4/3)^-Steps for Steps < 0, exactly, truncated toward
// zero; nothing when the result would reach MaxWindowExtent or the steps are too many to
// compute exactly.
std::optional<std::int32_t> SteppedExtent(std::int32_t Extent, std::int32_t Steps) {
    constexpr std::int32_t MaxSteps = 48; // 4^48 × 2^31 still fits in 127 bits
    if (Steps > MaxSteps || Steps < -MaxSteps)
        return std::nullopt;
    __int128 Numerator = Extent, Denominator = 1;
    for (std::int32_t I = 0; I < (Steps < 0 ? -Steps : Steps); ++I) {
        Numerator *= Steps > 0 ? 3 : 4;
        Denominator *= Steps > 0 ? 4 : 3;
    }
    const __int128 Result = Numerator / Denominator;
    if (Result >= static_cast<__int128>(MaxWindowExtent) ||
        Result <= -static_cast<__int128>(MaxWindowExtent))
        return std::nullopt;
    return static_cast<std::int32_t>(Result);
}

} // namespace

void TPanZoomView::ZoomChanged() {
    FScale.RebuildCurrentScale();
    UpdateScrollBars();
    Fire(ResetPenWidth);
    if (FUseSpanningCursor)
        Fire(Repaint);
    Fire(OnZoomOut);
}

bool TPanZoomView::ZoomStep(std::int32_t Steps) {
    TScaleSystem& V = FScale.CurrentScaleSystem();
    if (V.WindowExt != FZoomSet) {
        FZoomBase = V.WindowExt;
        FZoomSteps = 0;
    }
    const std::int32_t Target = FZoomSteps + Steps;
    const std::optional<std::int32_t> X = SteppedExtent(FZoomBase.X, Target);
    const std::optional<std::int32_t> Y = SteppedExtent(FZoomBase.Y, Target);
    if (!X || !Y)
        return false;
    const TLongintPoint Old = V.WindowExt;
    V.WindowExt = {*X, *Y};
    LimitZoom();
    if (V.WindowExt == Old)
        return false; // at the limit already: the step count stays where the view is
    FZoomSteps = Target;
    FZoomSet = V.WindowExt;
    ZoomChanged();
    return true;
}

void TPanZoomView::ZoomToFit() {
    if (!FHasImage)
        return;
    TScaleSystem& V = FScale.CurrentScaleSystem();
    const std::int32_t W = std::max(FUsableWidth, 1), H = std::max(FUsableHeight, 1);
    // Both axes get the ratio of the axis that limits: usable / image.
    if (static_cast<std::int64_t>(W) * FImageSize.Y <=
        static_cast<std::int64_t>(H) * FImageSize.X) {
        V.ViewportExt = {W, W};
        V.WindowExt = {FImageSize.X, FImageSize.X};
    } else {
        V.ViewportExt = {H, H};
        V.WindowExt = {FImageSize.Y, FImageSize.Y};
    }
    V.WindowOrg = {0, 0};
    V.ViewportOrg = {0, 0};
    LimitZoom();
    FScale.RebuildCurrentScale();
    UpdateScrollBars();
    Fire(ResetPenWidth);
    Fire(Repaint);
}

bool TPanZoomView::ImageLargerThanView() const {
    return FHasImage && (FImageSize.X > FUsableWidth || FImageSize.Y > FUsableHeight);
}

bool TPanZoomView::ZoomStepAt(std::int32_t Steps, TLongintPoint Device) {
    const TLongintPoint Fixed = View().ScreenToImage(Device);
    const TLongintPoint Before = View().ImageToScreen(Fixed);
    if (!ZoomStep(Steps))
        return false;
    const TLongintPoint After = View().ImageToScreen(Fixed);
    ScrollByDevice(After.X - Before.X, After.Y - Before.Y);
    Fire(Repaint);
    return true;
}

void TPanZoomView::ScrollByDevice(std::int32_t DX, std::int32_t DY) {
    const TScaleSystem& V = View();
    const auto ToImage = [](std::int32_t D, std::int32_t Window, std::int32_t Viewport) {
        if (D == 0)
            return 0;
        const std::int32_t I = MulDiv(D, Window, Viewport);
        return I != 0 ? I : (D > 0 ? 1 : -1);
    };
    ScrollHorizontally(ToImage(DX, V.WindowExt.X, V.ViewportExt.X));
    ScrollVertically(ToImage(DY, V.WindowExt.Y, V.ViewportExt.Y));
}

void TPanZoomView::LimitZoom() {
    TScaleSystem& V = FScale.CurrentScaleSystem();
    const auto Limit = [](std::int32_t Viewport, std::int32_t& Window) {
        if (Window <= 0 || static_cast<double>(Viewport) / Window > MaxZoom)
            Window = std::max(Viewport / MaxZoom, 1);
    };
    Limit(V.ViewportExt.X, V.WindowExt.X);
    Limit(V.ViewportExt.Y, V.WindowExt.Y);
}

void TPanZoomView::UpdateScrollBars() {
    TScaleSystem& V = FScale.CurrentScaleSystem();
    if (!FHasImage) {
        FHorz.Visible = FVert.Visible = false;
        FPaintBox = {FUsableWidth, FUsableHeight};
        Fire(LayoutChanged);
        Fire(Repaint);
        return;
    }
    // The image's size on the screen.
    const std::int32_t Wd = MulDiv(FImageSize.X, V.ViewportExt.X, V.WindowExt.X);
    const std::int32_t Hd = MulDiv(FImageSize.Y, V.ViewportExt.Y, V.WindowExt.Y);
    const bool WasHorz = FHorz.Visible;
    const bool WasVert = FVert.Visible;

    std::int32_t BoxW = FUsableWidth;
    std::int32_t BoxH = FUsableHeight;
    bool Horz = BoxW < Wd;
    if (Horz)
        BoxH -= FHorzBarHeight;
    const bool Vert = BoxH < Hd;
    if (Vert)
        BoxW -= FVertBarWidth;
    if (!Horz && BoxW < Wd) { // the vertical bar made the box narrower
        Horz = true;
        BoxH -= FHorzBarHeight;
    }
    // A small image shows at the top-left with nothing beyond it.
    if (!Horz)
        BoxW = Wd;
    if (!Vert)
        BoxH = Hd;
    FPaintBox = {std::max(BoxW, 0), std::max(BoxH, 0)};
    FHorz.Visible = Horz;
    FVert.Visible = Vert;

    const auto Setup = [](TScrollBarState& Bar, bool WasVisible, std::int32_t Page,
                          std::int32_t Range) {
        const std::int32_t Old = Bar.Position;
        Bar.Min = 0;
        Bar.Max = Range;
        Bar.PageSize = Page;
        Bar.LargeChange = Page;
        Bar.Position = WasVisible ? std::min(Old, Range - Page + 1) : 0;
    };
    if (Horz) {
        Setup(FHorz, WasHorz,
              std::max(MulDiv(FPaintBox.X, V.WindowExt.X, V.ViewportExt.X) + 1, FMinThumbWidth),
              FImageSize.X);
        SetBarPosition(true, FHorz.Position, false);
    } else {
        V.WindowOrg.X = 0;
    }
    if (Vert) {
        Setup(FVert, WasVert,
              std::max(MulDiv(FPaintBox.Y, V.WindowExt.Y, V.ViewportExt.Y) + 1, FMinThumbHeight),
              FImageSize.Y);
        SetBarPosition(false, FVert.Position, false);
    } else {
        V.WindowOrg.Y = 0;
    }
    FScale.RebuildCurrentScale();
    Fire(LayoutChanged);
}

void TPanZoomView::SetBarPosition(bool Horizontal, std::int32_t Position, bool Paint) {
    TScrollBarState& Bar = Horizontal ? FHorz : FVert;
    Bar.Position = Bar.Clamp(Position);
    TScaleSystem& V = FScale.CurrentScaleSystem();
    (Horizontal ? V.WindowOrg.X : V.WindowOrg.Y) = Bar.Position;
    if (Paint)
        Fire(Repaint);
}

void TPanZoomView::ZoomToArea(const TDeviceRect& R) {
    if (!FHasImage)
        return;
    TScaleSystem& V = FScale.CurrentScaleSystem();
    const TLongintPoint A = V.ScreenToImage({R.Left, R.Top});
    const TLongintPoint C = V.ScreenToImage({R.Right, R.Bottom});
    V.WindowOrg = A;
    // A band narrower than one image pixel still zooms to one pixel.
    V.WindowExt = {std::max(C.X - A.X, 1), std::max(C.Y - A.Y, 1)};
    V.ViewportExt = {std::max(FUsableWidth - (FVert.Visible ? FVertBarWidth : 0), 1),
                     std::max(FUsableHeight - (FHorz.Visible ? FHorzBarHeight : 0), 1)};
    const bool WasHorz = FHorz.Visible;
    const bool WasVert = FVert.Visible;
    LimitZoom();
    UpdateScrollBars();
    const bool NewHorz = !WasHorz && FHorz.Visible;
    const bool NewVert = !WasVert && FVert.Visible;
    if (NewHorz || NewVert) {
        if (NewHorz)
            V.ViewportExt.Y = std::max(V.ViewportExt.Y - FHorzBarHeight, 1);
        if (NewVert)
            V.ViewportExt.X = std::max(V.ViewportExt.X - FVertBarWidth, 1);
        UpdateScrollBars();
    }
    ScrollHorizontally(A.X - FHorz.Position);
    ScrollVertically(A.Y - FVert.Position);
    Fire(Repaint);
    Fire(OnZoomToArea);
}

void TPanZoomView::SetSmallChange(std::int32_t Value) {
    FHorz.SmallChange = FVert.SmallChange = Value;
}

void TPanZoomView::ScrollHorizontally(std::int32_t Delta) {
    if (FHorz.Visible)
        SetBarPosition(true, FHorz.Position + Delta, true);
}

void TPanZoomView::ScrollVertically(std::int32_t Delta) {
    if (FVert.Visible)
        SetBarPosition(false, FVert.Position + Delta, true);
}

void TPanZoomView::ScrollBarMoved(bool Horizontal, std::int32_t Position, bool EndOfDrag) {
    SetBarPosition(Horizontal, Position, !EndOfDrag);
}

bool TPanZoomView::ScrollToShow(TLongintPoint P) {
    const TScaleSystem& V = View();
    bool Scrolled = false;
    const auto Move = [&](bool Horizontal, std::int32_t Delta) {
        TScrollBarState& Bar = Horizontal ? FHorz : FVert;
        if (!Bar.Visible)
            return;
        const std::int32_t Old = Bar.Position;
        SetBarPosition(Horizontal, Old + Delta, false);
        Scrolled = Scrolled || Bar.Position != Old;
    };
    const std::int32_t H = MulDiv(FPaintBox.X / 2, V.WindowExt.X, V.ViewportExt.X);
    if (P.X >= FPaintBox.X) {
        if (FHorz.Visible && FHorz.Position == FHorz.LastPosition())
            return false;
        Move(true, H);
    } else if (P.X < 0) {
        Move(true, -H);
    }
    const std::int32_t Half = MulDiv(FPaintBox.Y / 2, V.WindowExt.Y, V.ViewportExt.Y);
    if (P.Y >= FPaintBox.Y)
        Move(false, Half);
    else if (P.Y < 0)
        Move(false, -Half);
    return Scrolled;
}

void TPanZoomView::DisableScrollBars() {
    FHorz.Enabled = FVert.Enabled = false;
    Fire(LayoutChanged);
}

void TPanZoomView::EnableScrollBars() {
    FHorz.Enabled = FVert.Enabled = true;
    Fire(LayoutChanged);
}

TDeviceRect TPanZoomView::HorzBarRect() const {
    const std::int32_t Width = std::max(FUsableWidth - (FVert.Visible ? FVertBarWidth : 0), 0);
    return {0, FUsableHeight - FHorzBarHeight, Width, FUsableHeight};
}

TDeviceRect TPanZoomView::VertBarRect() const {
    const std::int32_t Height = std::max(FUsableHeight - (FHorz.Visible ? FHorzBarHeight : 0), 0);
    return {FUsableWidth - FVertBarWidth, 0, FUsableWidth, Height};
}

bool TPanZoomView::ContainsDevicePoint(TLongintPoint P) const {
    return P.X >= 0 && P.Y >= 0 && P.X < FPaintBox.X && P.Y < FPaintBox.Y;
}

std::int32_t TPanZoomView::ScrollPosition(bool Horizontal) const {
    const TScrollBarState& Bar = Horizontal ? FHorz : FVert;
    return Bar.Visible ? Bar.Position : -1;
}

void TPanZoomView::ScrollBy(bool Horizontal, std::int32_t Delta) {
    if (Horizontal)
        ScrollHorizontally(Delta);
    else
        ScrollVertically(Delta);
}

// ---------------------------------------------------------------------------------------------
// Exclusive states

void TPanZoomView::SetPaintBoxCursor(std::int16_t Cursor) {
    FPaintBoxCursor = Cursor;
    if (CursorChanged)
        CursorChanged(Cursor);
}

void TPanZoomView::HideSpanningCursor() {
    if (FSpanningShown && DrawSpanningCursor)
        DrawSpanningCursor(FSpanningPos);
    FSpanningShown = false;
}

void TPanZoomView::SetUseSpanningCursor(bool Value) {
    if (Value == FUseSpanningCursor)
        return;
    if (!Value)
        HideSpanningCursor();
    FUseSpanningCursor = Value;
    if (Value)
        Fire(Repaint);
}

void TPanZoomView::SaveState() {
    FSavedStates.push_back({Movable, FPainting, FPenDown, FPanning, FZoomingIn, FSelecting,
                            FPaintBoxCursor, FUseSpanningCursor});
}

void TPanZoomView::RestoreState(EStateKind Kind) {
    if (FSavedStates.empty())
        return;
    const TSavedState S = FSavedStates.back();
    FSavedStates.pop_back();
    Movable = S.Movable;
    if (Kind != EStateKind::Painting) {
        DoSetPainting(S.Painting);
        FPenDown = S.PenDown;
    }
    if (Kind != EStateKind::Panning)
        DoSetPanning(S.Panning);
    if (Kind != EStateKind::Zooming)
        DoSetZoomingIn(S.ZoomingIn);
    if (Kind != EStateKind::Selecting)
        DoSetSelecting(S.Selecting);
    SetPaintBoxCursor(S.Cursor);
    SetUseSpanningCursor(S.SpanningCursor);
}

void TPanZoomView::DoSetZoomingIn(bool Value) {
    if (Value == FZoomingIn)
        return;
    if (Value) {
        Movable = false;
        DoSetPainting(false);
        DoSetPanning(false);
        DoSetSelecting(false);
        SetUseSpanningCursor(false);
        FZoomingIn = true;
        SetPaintBoxCursor(ZoomCursor);
        FBand.SetProportional(UseProportionalRubberBand, FUsableWidth, FUsableHeight);
        Fire(OnZoomInBegin);
    } else {
        FZoomingIn = false;
        FBand.Cancel();
        Fire(OnZoomInEnd);
    }
}

void TPanZoomView::DoSetPainting(bool Value) {
    if (Value == FPainting)
        return;
    if (Value) {
        FPenDown = false;
        Movable = false;
        FNewStroke = true;
        DoSetPanning(false);
        DoSetZoomingIn(false);
        DoSetSelecting(false);
        SetUseSpanningCursor(false);
        FPainting = true;
        Fire(ResetPenWidth);
        Fire(OnPaintBegin);
    } else {
        FPainting = false;
        if (FPenDown)
            SetPenDown(false);
        Fire(OnPaintEnd);
    }
}

void TPanZoomView::DoSetPanning(bool Value) {
    if (Value == FPanning)
        return;
    if (Value) {
        Movable = false;
        DoSetPainting(false);
        DoSetZoomingIn(false);
        DoSetSelecting(false);
        SetUseSpanningCursor(false);
        FPanning = true;
        SetPaintBoxCursor(CursorSizeAll);
        Fire(OnPanBegin);
    } else {
        FPanning = false;
        Fire(OnPanEnd);
    }
}

void TPanZoomView::DoSetSelecting(bool Value) {
    if (Value == FSelecting)
        return;
    if (Value) {
        Movable = false;
        DoSetZoomingIn(false);
        DoSetPainting(false);
        DoSetPanning(false);
        SetUseSpanningCursor(false);
        FSelecting = true;
        SetPaintBoxCursor(ZoomCursor);
        FBand.SetProportional(false);
        Fire(OnSelectBegin);
    } else {
        FSelecting = false;
        FBand.Cancel();
        Fire(OnSelectEnd);
    }
}

void TPanZoomView::SetZoomingIn(bool Value) {
    if (Value == FZoomingIn)
        return;
    if (Value) {
        SaveState();
        DoSetZoomingIn(true);
    } else {
        DoSetZoomingIn(false);
        RestoreState(EStateKind::Zooming);
    }
}

void TPanZoomView::SetPainting(bool Value) {
    if (Value == FPainting)
        return;
    if (Value) {
        SaveState();
        DoSetPainting(true);
    } else {
        DoSetPainting(false);
        RestoreState(EStateKind::Painting);
    }
}

void TPanZoomView::SetPanning(bool Value) {
    if (Value == FPanning)
        return;
    if (Value) {
        SaveState();
        DoSetPanning(true);
    } else {
        DoSetPanning(false);
        RestoreState(EStateKind::Panning);
    }
}

void TPanZoomView::SetSelecting(bool Value) {
    if (Value == FSelecting)
        return;
    if (Value) {
        SaveState();
        DoSetSelecting(true);
    } else {
        DoSetSelecting(false);
        RestoreState(EStateKind::Selecting);
    }
}

void TPanZoomView::SetPenDown(bool Value) {
    FPenDown = FNewStroke = Value;
    Fire(OnPenChanged);
    for (IPanelListener* L : std::vector<IPanelListener*>(FListeners))
        L->PenStateChanged(*this);
}

// ---------------------------------------------------------------------------------------------
// The pen on the screen

std::int32_t TPanZoomView::LimitedPenWidth(std::int32_t Width) const {
    const TScaleSystem& V = View();
    std::int64_t Limit = 31;
    if (FScale.ScaleDefined() && V.ViewportExt.X > 0)
        Limit = std::clamp<std::int64_t>(31LL * V.WindowExt.X / V.ViewportExt.X, 1, 65535);
    return Width <= 0 ? 1 : static_cast<std::int32_t>(std::min<std::int64_t>(Width, Limit));
}

std::int64_t TPanZoomView::PenWidthOnScreen(std::int32_t Width) const {
    const TScaleSystem& V = View();
    return V.WindowExt.X > 0 ? MulDiv64(Width, V.ViewportExt.X, V.WindowExt.X) : 0;
}

std::optional<TDeviceRect> TPanZoomView::StrokeRepaintRect(TLongintPoint From, TLongintPoint To,
                                                           TLongintPoint FromDevice,
                                                           TLongintPoint ToDevice,
                                                           std::int32_t PenWidth) const {
    const TScaleSystem& V = View();
    if (!MappingUsable(V))
        return std::nullopt;
    const auto Int = [](std::int64_t Value) { return static_cast<std::int32_t>(Value); };
    const std::int64_t Grow =
        CeilDiv(static_cast<std::int64_t>(PenWidth) * V.ViewportExt.X, V.WindowExt.X) + 1;
    const TDeviceRect Span = NormalizedRect(FromDevice, ToDevice);
    const TDeviceRect Grown = {Int(Span.Left - Grow), Int(Span.Top - Grow), Int(Span.Right + Grow),
                               Int(Span.Bottom + Grow)};
    // The blocks of the image pixels within the pen's reach, and the device pixel after them.
    const std::int32_t Reach = PenReach(PenWidth);
    const TAxisMapping MX = HorzMapping(V), MY = VertMapping(V);
    const TDeviceRect Blocks = {Int(MX.BlockStart(std::min(From.X, To.X) - Reach)),
                                Int(MY.BlockStart(std::min(From.Y, To.Y) - Reach)),
                                Int(MX.BlockStart(std::max(From.X, To.X) + Reach + 1)) + 1,
                                Int(MY.BlockStart(std::max(From.Y, To.Y) + Reach + 1)) + 1};
    return BoundingRect(Grown, Blocks);
}

// ---------------------------------------------------------------------------------------------
// Mouse, paint and listeners

TDoublePoint TPanZoomView::ActualOf(TLongintPoint P) const {
    try {
        return FScale.ScreenToReal(P);
    } catch (const EScaleSystem&) {
        return {0.0, 0.0};
    }
}

void TPanZoomView::MouseDown(TLongintPoint P, int Button, unsigned Shift) {
    if (FZoomingIn || (FSelecting && !FBand.Started()))
        FBand.Start(P);
    if (OnMouseDown)
        OnMouseDown(P, ActualOf(P), Button, Shift);
    if (IPanelMouseHandler* Handler = MouseHandler ? MouseHandler() : nullptr)
        Handler->PanelMouseDown(P, ActualOf(P), Button, Shift);
}

void TPanZoomView::MouseMove(TLongintPoint P, unsigned Shift) {
    const TLongintPoint M = View().ScreenToImage(P);
    if (FZoomingIn || FSelecting)
        FBand.Move(P);
    if (FPainting && FPenDown && StrokeTo)
        StrokeTo(M);
    if (FUseSpanningCursor && !(FSpanningShown && FSpanningPos == P)) {
        HideSpanningCursor();
        FSpanningPos = P;
        FSpanningShown = true;
        if (DrawSpanningCursor)
            DrawSpanningCursor(P);
    }
    if (FPanning && FLastMousePos != TLongintPoint{-1, -1}) {
        ScrollHorizontally(P.X - FLastMousePos.X);
        ScrollVertically(P.Y - FLastMousePos.Y);
    }
    FLastMousePos = P;
    if (OnMouseMove)
        OnMouseMove(Shift, P, M);
    if (IPanelMouseHandler* Handler = MouseHandler ? MouseHandler() : nullptr)
        Handler->PanelMouseMove(P, Shift);
}

void TPanZoomView::MouseUp(TLongintPoint P, int Button, unsigned Shift) {
    if (FZoomingIn || (FSelecting && FBand.Started()))
        FBand.Stop(P);
    if (OnMouseUp)
        OnMouseUp(P, ActualOf(P), Button, Shift);
    if (IPanelMouseHandler* Handler = MouseHandler ? MouseHandler() : nullptr)
        Handler->PanelMouseUp(P, ActualOf(P), Button, Shift);
}

void TPanZoomView::MouseLeave() {
    HideSpanningCursor();
    FLastMousePos = {-1, -1};
    FNewStroke = FPainting;
    Fire(OnMouseLeave);
}

void TPanZoomView::BandStopped(const TDeviceRect& R) {
    if (R.Right == R.Left || R.Bottom == R.Top)
        return;
    if (FZoomingIn) {
        ZoomToArea(R);
    } else if (FSelecting) {
        TQuadrilateral Q;
        Q.Corners = {ActualOf({R.Left, R.Top}), ActualOf({R.Left, R.Bottom}),
                     ActualOf({R.Right, R.Bottom}), ActualOf({R.Right, R.Top})};
        if (OnSelectArea)
            OnSelectArea(R, Q);
    }
}

void TPanZoomView::Painted() {
    Fire(OnPaintBoxPaint);
    for (IPanelListener* L : std::vector<IPanelListener*>(FListeners))
        L->PanelPainted(*this);
}

void TPanZoomView::NotifyPenWidthChanged() {
    for (IPanelListener* L : std::vector<IPanelListener*>(FListeners))
        L->PenWidthChanged(*this);
}

void TPanZoomView::AddListener(IPanelListener* Listener) {
    if (Listener && !HasListener(Listener))
        FListeners.push_back(Listener);
}

void TPanZoomView::RemoveListener(IPanelListener* Listener) {
    std::erase(FListeners, Listener);
}

bool TPanZoomView::HasListener(IPanelListener* Listener) const {
    return std::find(FListeners.begin(), FListeners.end(), Listener) != FListeners.end();
}

} // namespace korvane
