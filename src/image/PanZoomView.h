#pragma once

#include "core/DoublePoints.h"
#include "image/PanelScale.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace korvane {

// Takes the paint box's mouse buttons: the program's current mode.
class IPanelMouseHandler {
public:
    virtual ~IPanelMouseHandler() = default;
    virtual void PanelMouseDown(TLongintPoint Device, TDoublePoint Actual, int Button,
                                unsigned Shift) = 0;
    virtual void PanelMouseUp(TLongintPoint Device, TDoublePoint Actual, int Button,
                              unsigned Shift) = 0;
    // The mouse moved over the paint box (after the view's own handling). Base: nothing.
    virtual void PanelMouseMove(TLongintPoint /*Device*/, unsigned /*Shift*/) {}
};

class TPanZoomView;

// Told by the image panel about paints and pen changes.
class IPanelListener {
public:
    virtual ~IPanelListener() = default;
    // At the very end of every paint of the view.
    virtual void PanelPainted(TPanZoomView& Panel) = 0;
    // After PenDown changed.
    virtual void PenStateChanged(TPanZoomView& Panel) = 0;
    // After the pen width was set.
    virtual void PenWidthChanged(TPanZoomView& Panel) = 0;
};

// A device rectangle; normalised ones have Left <= Right and Top <= Bottom.
struct TDeviceRect {
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Right = 0;
    std::int32_t Bottom = 0;
    friend bool operator==(const TDeviceRect&, const TDeviceRect&) = default;
};

TDeviceRect NormalizedRect(TLongintPoint A, TLongintPoint B);

// Four real corners: a device rectangle seen in a possibly skewed coordinate system.
struct TQuadrilateral {
    std::array<TDoublePoint, 4> Corners;
};

// Paint-box cursor numbers.
constexpr std::int16_t CursorZoom = 8;
constexpr std::int16_t CursorBasic = 13;
constexpr std::int16_t CursorSizeAll = -22; // the four-way move cursor

// The rubber band's geometry. Drawing and erasing are the same inverting frame, so the
// one hook Draw does both; the widget paints it BandWidth pixels thick.
class TRubberBand {
public:
    bool Started() const { return FStarted; }
    TLongintPoint Anchor() const { return FAnchor; }
    TLongintPoint Corner() const { return FCorner; }
    TDeviceRect Rect() const { return NormalizedRect(FAnchor, FCorner); }

    // A ratio with a zero side makes the band free.
    void SetProportional(bool Proportional, std::int32_t RatioWidth = 1,
                         std::int32_t RatioHeight = 1);
    bool Proportional() const { return FProportional; }
    std::int32_t BandWidth() const { return FBandWidth; }
    // Only while not started and only to a positive value; answers whether it took.
    bool SetBandWidth(std::int32_t Width);

    void Start(TLongintPoint P);
    void Move(TLongintPoint P);
    void Stop(TLongintPoint P);
    void Cancel();

    std::function<void(const TDeviceRect&)> Draw;
    std::function<void(const TDeviceRect&)> OnStop;
    std::function<void()> OnCancel;

private:
    void SetCorner(TLongintPoint P);
    void Invert() const;

    bool FStarted = false;
    bool FProportional = false;
    std::int32_t FRatioWidth = 1;
    std::int32_t FRatioHeight = 1;
    std::int32_t FBandWidth = 1;
    TLongintPoint FAnchor;
    TLongintPoint FCorner;
};

// One scroll bar as the view computes it; positions count image pixels.
struct TScrollBarState {
    bool Visible = false;
    bool Enabled = true;
    std::int32_t Position = 0;
    std::int32_t Min = 0;
    std::int32_t Max = 0;
    std::int32_t PageSize = 1;
    std::int32_t LargeChange = 10;
    std::int32_t SmallChange = 2;
    // The last position the bar can take: Max - PageSize + 1, but never below Min.
    std::int32_t LastPosition() const;
    std::int32_t Clamp(std::int32_t Value) const;
};

// The image panel without a widget: the view mapping (zoom and scroll) written into the
// current scale system, the scroll bars and the paint box's size, the rubber band, the
// exclusive interaction states and the panel's events. The widget forwards mouse and
// scroll-bar activity here, lays itself out from PaintBoxSize and the two bars, and
// paints through the hooks.
class TPanZoomView : public IPanelScroller {
public:
    static constexpr double ZoomInFactor = 0.75;
    static constexpr double ZoomOutFactor = 4.0 / 3.0;
    static constexpr std::int32_t MaxZoom = 16;

    TPanZoomView();
    ~TPanZoomView() override;
    TPanZoomView(const TPanZoomView&) = delete;
    TPanZoomView& operator=(const TPanZoomView&) = delete;

    TPanelScale& Scale() { return FScale; }
    const TPanelScale& Scale() const { return FScale; }
    const TScaleSystem& View() const { return FScale.CurrentScaleSystem(); }

    // Geometry the widget supplies: the panel's usable interior, the thickness of the
    // horizontal bar (its height) and of the vertical bar (its width), the minimum thumb.
    void SetUsableSize(std::int32_t Width, std::int32_t Height);
    void SetScrollBarMetrics(std::int32_t HorzBarHeight, std::int32_t VertBarWidth,
                             std::int32_t MinThumbWidth, std::int32_t MinThumbHeight);
    std::int32_t UsableWidth() const { return FUsableWidth; }
    std::int32_t UsableHeight() const { return FUsableHeight; }

    // The image's size; SetImage resets the view, ClearImage undefines the scale.
    void SetImage(std::int32_t Width, std::int32_t Height);
    void ClearImage();
    bool HasImage() const { return FHasImage; }
    TLongintPoint ImageSize() const { return FImageSize; }

    void ResetView();
    // Multiplies the window extents by Factor (truncated), then limits the zoom.
    void ZoomBy(double Factor);
    // The program's zoom steps: Steps > 0 zooms in by 3/4 of the window extents a step,
    // Steps < 0 out by 4/3. A level is computed exactly from the extents the steps started
    // at (an area zoom, a reset or a loaded view), so every sequence of steps that comes to
    // the same count gives the same extents, and a round trip comes back exactly. Steps
    // beyond 16 : 1, or beyond 48 steps out, change nothing. Answers whether the view changed.
    bool ZoomStep(std::int32_t Steps);
    // The whole image in the usable area, as large as fits (at most 16 : 1), from its top
    // left corner, with the same scale on both axes.
    void ZoomToFit();
    // The image is wider or taller than the usable area at one image pixel per screen pixel.
    bool ImageLargerThanView() const;
    // ZoomStep keeping the image pixel under the paint-box point Device where it is (as far
    // as the scroll bars allow). Answers whether the view changed.
    bool ZoomStepAt(std::int32_t Steps, TLongintPoint Device);
    // Scrolls by a distance in paint-box pixels (a wheel turned, a touchpad swept), at least
    // one image pixel for any move; positive moves towards the image's right and bottom.
    void ScrollByDevice(std::int32_t DX, std::int32_t DY);
    // The zoom steps taken since the extents were last set otherwise.
    std::int32_t ZoomSteps() const { return FZoomSteps; }
    void LimitZoom();
    void ZoomToArea(const TDeviceRect& R);
    void UpdateScrollBars();

    TLongintPoint PaintBoxSize() const { return FPaintBox; }
    const TScrollBarState& HorzScrollBar() const { return FHorz; }
    const TScrollBarState& VertScrollBar() const { return FVert; }
    void SetSmallChange(std::int32_t Value);
    void ScrollHorizontally(std::int32_t Delta);
    void ScrollVertically(std::int32_t Delta);
    // The user moved a bar (arrow, page or thumb); EndOfDrag skips the repaint.
    void ScrollBarMoved(bool Horizontal, std::int32_t Position, bool EndOfDrag = false);
    bool ScrollToShow(TLongintPoint P);
    void DisableScrollBars();
    void EnableScrollBars();
    // Where the widget puts the bars: the horizontal one along the bottom of the usable
    // interior, the vertical one along its right edge; each ends where the other begins.
    TDeviceRect HorzBarRect() const;
    TDeviceRect VertBarRect() const;
    // Whether a device point lies in the paint box.
    bool ContainsDevicePoint(TLongintPoint P) const;

    // IPanelScroller, for the coordinate-system record.
    void RecomputeScrollBars() override { UpdateScrollBars(); }
    std::int32_t ScrollPosition(bool Horizontal) const override;
    void ScrollBy(bool Horizontal, std::int32_t Delta) override;

    // Exclusive interaction states.
    bool ZoomingIn() const { return FZoomingIn; }
    bool Painting() const { return FPainting; }
    bool Panning() const { return FPanning; }
    bool Selecting() const { return FSelecting; }
    void SetZoomingIn(bool Value);
    void SetPainting(bool Value);
    void SetPanning(bool Value);
    void SetSelecting(bool Value);
    bool PenDown() const { return FPenDown; }
    void SetPenDown(bool Value);
    bool NewStroke() const { return FNewStroke; }
    void SetNewStroke(bool Value) { FNewStroke = Value; }
    std::size_t SavedStateCount() const { return FSavedStates.size(); }

    // The pen on the screen; pen widths count image pixels.
    // The width the pen may have: at most 31 screen pixels in image pixels (truncated,
    // 1 .. 65535) with a coordinate system, at most 31 without one, and at least 1.
    std::int32_t LimitedPenWidth(std::int32_t Width) const;
    // A pen's width on the screen, rounded (halves away from zero); 0 without a horizontal
    // window extent.
    std::int64_t PenWidthOnScreen(std::int32_t Width) const;
    // How far beyond a stroke's end points the pen may change image pixels.
    static std::int32_t PenReach(std::int32_t Width) { return Width / 2 + 2; }
    // The device rectangle to repaint after a stroke from image point From to To, drawn as
    // the mouse moved from device point FromDevice to ToDevice: the span of the two mouse
    // positions grown by the pen's width on the screen (rounded up) and one pixel, together
    // with the blocks of all image pixels within the pen's reach, which a mouse position
    // rounded to the neighbouring image pixel would leave out at high zoom. Nothing while
    // the view mapping has an extent that is not positive.
    std::optional<TDeviceRect> StrokeRepaintRect(TLongintPoint From, TLongintPoint To,
                                                 TLongintPoint FromDevice, TLongintPoint ToDevice,
                                                 std::int32_t PenWidth) const;

    bool Movable = true;
    bool UseProportionalRubberBand = false;
    std::int16_t ZoomCursor = CursorZoom;
    std::int16_t PaintBoxCursor() const { return FPaintBoxCursor; }
    void SetPaintBoxCursor(std::int16_t Cursor);
    bool UseSpanningCursor() const { return FUseSpanningCursor; }
    void SetUseSpanningCursor(bool Value);
    // Whether the cross-hair is drawn at the moment, and where.
    bool SpanningCursorShown() const { return FSpanningShown; }
    TLongintPoint SpanningCursorPos() const { return FSpanningPos; }

    TRubberBand& RubberBand() { return FBand; }
    bool RubberBandActive() const { return FBand.Started(); }

    // Mouse activity in the paint box, device coordinates. Button and Shift are passed
    // through to the events untouched.
    void MouseDown(TLongintPoint P, int Button, unsigned Shift);
    void MouseMove(TLongintPoint P, unsigned Shift);
    void MouseUp(TLongintPoint P, int Button, unsigned Shift);
    void MouseLeave();
    void MouseEnter() { Fire(OnMouseEnter); }
    // A left click (press and release) in the paint box.
    void Click() { Fire(OnClick); }
    TLongintPoint LastMousePos() const { return FLastMousePos; }
    // The widget calls this at the end of every paint.
    void Painted();

    void AddListener(IPanelListener* Listener);
    void RemoveListener(IPanelListener* Listener);
    bool HasListener(IPanelListener* Listener) const;
    void NotifyPenWidthChanged();

    // The actual value of a device point; (0, 0) without a coordinate system or when the
    // point has no value on a logarithmic axis.
    TDoublePoint ActualOf(TLongintPoint P) const;

    // Events.
    std::function<void(TLongintPoint Device, TDoublePoint Actual, int Button, unsigned Shift)>
        OnMouseDown, OnMouseUp;
    std::function<void(unsigned Shift, TLongintPoint Device, TLongintPoint Master)> OnMouseMove;
    // Who takes a press or release after OnMouseDown and OnMouseUp: asked anew at every one,
    // so the buttons always go to whatever is current then (none: nobody).
    std::function<IPanelMouseHandler*()> MouseHandler;
    std::function<void()> OnMouseEnter, OnMouseLeave, OnClick, OnPaintBoxPaint;
    std::function<void()> OnZoomInBegin, OnZoomInEnd, OnZoomToArea, OnZoomOut;
    std::function<void()> OnSelectBegin, OnSelectEnd;
    std::function<void(const TDeviceRect&, const TQuadrilateral&)> OnSelectArea;
    std::function<void()> OnPaintBegin, OnPaintEnd, OnPanBegin, OnPanEnd, OnPenChanged;

    // Hooks for the widget.
    std::function<void()> Repaint;
    // The paint-box size or a bar changed: lay the widget out again.
    std::function<void()> LayoutChanged;
    std::function<void(std::int16_t)> CursorChanged;
    // Draw (or, drawn a second time, erase) the inverting cross-hair at a device point.
    std::function<void(TLongintPoint)> DrawSpanningCursor;
    // The pen width is to be set again to its current value (limits and pen cursor).
    std::function<void()> ResetPenWidth;
    // The pen moves to an image point while painting with the pen down.
    std::function<void(TLongintPoint Master)> StrokeTo;

private:
    struct TSavedState {
        bool Movable, Painting, PenDown, Panning, ZoomingIn, Selecting;
        std::int16_t Cursor;
        bool SpanningCursor;
    };
    enum class EStateKind { Painting = 1, Panning = 2, Zooming = 3, Selecting = 4 };

    void Fire(const std::function<void()>& Event) const {
        if (Event)
            Event();
    }
    void Layout();
    void SetBarPosition(bool Horizontal, std::int32_t Position, bool Paint);
    void BandStopped(const TDeviceRect& R);

    void SaveState();
    void RestoreState(EStateKind Kind);
    void DoSetZoomingIn(bool Value);
    // After the window extents changed by a factor or a step: the mapping, the bars, the pen.
    void ZoomChanged();
    void DoSetPainting(bool Value);
    void DoSetPanning(bool Value);
    void DoSetSelecting(bool Value);
    void HideSpanningCursor();

    TPanelScale FScale;
    bool FHasImage = false;
    TLongintPoint FImageSize;
    std::int32_t FUsableWidth = 0;
    std::int32_t FUsableHeight = 0;
    std::int32_t FHorzBarHeight = 16;
    std::int32_t FVertBarWidth = 16;
    std::int32_t FMinThumbWidth = 8;
    std::int32_t FMinThumbHeight = 8;
    TLongintPoint FPaintBox;
    TScrollBarState FHorz, FVert;
    // ZoomStep's starting extents, its step count and the extents it set last: extents that
    // differ from those were set otherwise and become the new start.
    TLongintPoint FZoomBase{1, 1};
    std::int32_t FZoomSteps = 0;
    TLongintPoint FZoomSet{0, 0};

    bool FZoomingIn = false, FPainting = false, FPanning = false, FSelecting = false;
    bool FPenDown = false;
    bool FNewStroke = false;
    std::int16_t FPaintBoxCursor = CursorBasic;
    bool FUseSpanningCursor = false;
    bool FSpanningShown = false;
    TLongintPoint FSpanningPos;
    std::vector<TSavedState> FSavedStates;
    TLongintPoint FLastMousePos{-1, -1};
    TRubberBand FBand;
    std::vector<IPanelListener*> FListeners;
};

} // namespace korvane
