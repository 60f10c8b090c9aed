#pragma once

#include "core/Colors.h"
#include "document/Digitizations.h"
#include "document/Parameters.h"
#include "follower/UiDispatcher.h"
#include "image/PanZoomView.h"

#include <QImage>
#include <QPainter>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QScrollBar;

namespace korvane {

class TFollowingView;
class TMagnifier;
class TPaintBox;

// Drawn by exclusive-or over the panel's view (the follower's beacon). While it is
// registered with AddOverlay, the panel draws it again after composing any part of the view
// afresh, so that the view always shows it and one more drawing by its owner erases it.
class IViewOverlay {
public:
    virtual ~IViewOverlay() = default;
    // Draws the overlay on Canvas (which may be clipped to the part being composed).
    virtual void DrawOverlay(QPainter& Canvas) = 0;
};

// The image panel of the main window: the working image at any zoom with scroll bars, the
// rubber band, the cross-hair, the interaction states (all computed by TPanZoomView, which
// the panel forwards its events to), painting on the working image with the pen, and files
// dropped from the desktop.
//
// The view is composed in an offscreen RGB32 image of the paint box's size: the working
// image through the view mapping (nearest neighbour), then the scale-point markers, then
// whatever listeners draw on Canvas(). Inverting overlays (rubber band, cross-hair) are
// drawn into the composition by exclusive-or, so drawing them twice restores it exactly.
class TKorvanePanel : public QWidget, public IDigitizationPanel, public IPaintPanel {
public:
    enum EPaintMode : int { pmReplacing = 0, pmErasing = 1, pmMarking = 2 };
    static const char* const PaintModeNames[3]; // "Replacing", "Erasing", "Marking"

    explicit TKorvanePanel(QWidget* Parent = nullptr);
    ~TKorvanePanel() override;

    // Zoom, scroll bars, interaction states, rubber band, cursors and the mouse events
    // (OnMouseDown, OnMouseMove, ...): assign the events there.
    TPanZoomView& View() { return FView; }
    const TPanZoomView& View() const { return FView; }
    // The coordinate system and the scale-point slots.
    TPanelScale& Scale() { return FView.Scale(); }
    const TPanelScale& Scale() const { return FView.Scale(); }

    // Takes the working image (Format_RGB888), clearing the previous one; the view is reset
    // to actual size and the paint mode to replacing.
    void SetImage(QImage Image);
    // Frees the image, undefines the coordinate system, hides the scroll bars, repaints.
    void ClearImage();
    bool HasImage() const { return !FImage.isNull(); }
    // The working image. Whoever changes its pixels calls RepaintImage afterwards.
    QImage& Image() { return FImage; }
    const QImage& Image() const { return FImage; }

    // The colour of a working-image pixel; white outside the image.
    TColor PixelColor(TLongintPoint P) const;

    // Composes the whole view again and shows it.
    void RepaintImage();
    // Composes the part of the view inside R (device pixels, the right and bottom edge left
    // out, clipped to the paint box) and shows it. Listeners drawing on PanelPainted draw
    // through a painter clipped to that part.
    void RepaintDeviceRect(const TDeviceRect& R);

    // The scale-point markers; switching repaints.
    void SetShowScalePoints(bool Value);
    bool ShowScalePoints() const { return Scale().ShowScalePoints; }

    // IDigitizationPanel. Canvas() paints on the composed view; what is drawn there shows
    // when control returns to the event loop (or at FlushCanvas).
    bool ScaleDefined() const override { return Scale().ScaleDefined(); }
    const TScaleSystem& CurrentScaleSystem() const override { return FView.View(); }
    std::int32_t ThicknessTolerance() const override;
    std::uint8_t SelectedPointColor() const override;
    QPainter& Canvas() override;
    void FlushCanvas();
    // Where the two settings above come from (the main window sets them); without a source,
    // the follower settings' defaults.
    std::function<std::int32_t()> ThicknessToleranceSource;
    std::function<std::uint8_t()> SelectedPointColorSource;

    // The paint-box point lies inside the paint box.
    bool ContainsScreenPoint(TLongintPoint Screen) const;
    // Overlays are drawn last, after the rubber band and the cross-hair; an overlay leaves
    // before it is destroyed.
    void AddOverlay(IViewOverlay* Overlay);
    void RemoveOverlay(IViewOverlay* Overlay);

    // Shows the automatic runs of the lines it listens to on this panel (the main window
    // makes it a listener of every line).
    TFollowingView& FollowingView() { return *FFollowingView; }
    // The loupe beside the pointer; off until enabled.
    TMagnifier& Magnifier() { return *FMagnifier; }

    // Runs the follower's work for lines followed on this panel: DispatcherSource's
    // dispatcher (tests set one), else one on this panel's event loop.
    IUiDispatcher& Dispatcher();
    std::function<IUiDispatcher&()> DispatcherSource;

    // Called with the image rectangle a stroke of the pen is about to change, before it
    // changes it (the paint command keeps those pixels for Undo).
    std::function<void(const QRect& ImageRect)> BeforePainting;

    // The pen. SetPaintMode raises EKorvane "Invalid paint mode: %d" outside 0..2.
    int PaintMode() const { return FPaintMode; }
    void SetPaintMode(int Mode);
    TColor ReplacingColor() const { return FReplacingColor; }
    TColor ErasingColor() const { return FErasingColor; }
    TColor MarkingColor() const { return FMarkingColor; }
    void SetReplacingColor(TColor Color) override;
    void SetErasingColor(TColor Color) override;
    void SetMarkingColor(TColor Color) override;
    // Only with an image: limited to 1 .. 31 (31 × WindowExt.X / ViewportExt.X with a
    // coordinate system), rebuilds the pen cursor while painting, tells the listeners.
    void SetPenWidth(std::int32_t Width) override;
    std::int32_t PenWidth() const { return FPenWidth; }
    void RebuildPenCursor();
    // The pen's colour: the colour laid down by the copying modes; for marking the
    // merge-not-pen pen, whose inverse is ORed into every covered pixel.
    TColor PenColor() const { return FPenColor; }
    bool PenMerges() const { return FPaintMode == pmMarking; }

    // Cursor numbers (the paint-box cursor of TPanZoomView): 5 the pen, 6 "CROSSPLUS",
    // 7 "CROSSMINUS", 8 "CROSSZOOM", 9 "CROSSSELECT", 10 "CROSSERASE", 11 "CROSSLEFTRIGHT",
    // 12 "EYEDROPPER", 13 "CROSSBASIC"; CursorSizeAll the four-way move cursor, 0 the arrow.
    static QCursor CursorOf(std::int16_t Number);
    QCursor PenCursor() const;

    // The paint box: where the image is shown and the mouse is reported.
    QWidget* PaintBox() const;
    QScrollBar* HorzScrollBar() const;
    QScrollBar* VertScrollBar() const;
    // A device point of the paint box in screen coordinates.
    QPoint DeviceToGlobal(TLongintPoint P) const;
    // The composed view as it is shown (for tests and screenshots).
    const QImage& Composition() const { return FComposition; }

    // A file was dropped on the panel: the first file of the drop.
    std::function<void(const QString& FileName)> OnDropFile;

protected:
    void resizeEvent(QResizeEvent* Event) override;
    void dragEnterEvent(QDragEnterEvent* Event) override;
    void dropEvent(QDropEvent* Event) override;

private:
    friend class TPaintBox;
    // The view mapping and sizes a composition was made with; another one makes it stale.
    struct TComposedWith {
        TLongintPoint WindowOrg, WindowExt, ViewportOrg, ViewportExt, Box;
        bool Image = false;
        friend bool operator==(const TComposedWith&, const TComposedWith&) = default;
    };
    TComposedWith CurrentComposition() const;

    void PaintBoxPaint(QPainter& Painter, const QRect& Rect);
    // Gives the composition the paint box's size; answers whether it had to (it is stale).
    bool FitComposition();
    void Layout();
    void SyncScrollBars();
    void Compose(const QRect& Device);
    void ComposeImage(const QRect& Device);
    void DrawScalePoints(const QRect& Clip);
    void DrawOverlays(const QRect& Clip);
    void InvertFrame(const TDeviceRect& R, const QRect& Clip);
    void DrawBand(const TDeviceRect& R, const QRect& Clip);
    void DrawCrossHair(TLongintPoint P, const QRect& Clip);
    void EndCanvas();
    void SetPaintBoxCursor(std::int16_t Number);
    void UpdatePenColor();
    void StrokeTo(TLongintPoint Master);
    void DrawStroke(TLongintPoint From, TLongintPoint To);

    TPanZoomView FView;
    QImage FImage;
    QImage FComposition;
    std::optional<QPainter> FCanvas;
    TPaintBox* FPaintBox = nullptr;
    QScrollBar* FHorz = nullptr;
    QScrollBar* FVert = nullptr;
    int FBarExtent = 16;
    bool FLayingOut = false;
    bool FStale = true;
    bool FComposing = false;
    bool FFlushQueued = false;
    TComposedWith FComposedWith;

    int FPaintMode = pmReplacing;
    TColor FReplacingColor = RGB(0, 0, 0);
    TColor FErasingColor = RGB(255, 255, 255);
    TColor FMarkingColor = RGB(0, 128, 128);
    TColor FPenColor = RGB(0, 0, 0);
    std::int32_t FPenWidth = 1;
    TLongintPoint FPenPos;
    // The device point of the mouse movement being handled, and of the last stroke point.
    TLongintPoint FMouseDevice;
    TLongintPoint FLastStrokeDevice;
    std::unique_ptr<QCursor> FPenCursor;

    std::unique_ptr<TQtDispatcher> FDispatcher;
    std::vector<IViewOverlay*> FOverlays;
    std::unique_ptr<TFollowingView> FFollowingView;
    std::unique_ptr<TMagnifier> FMagnifier;
};

// NextColorIndex (i): the next display colour, 0 after the last.
std::uint8_t NextColorIndex(std::uint8_t Index);

} // namespace korvane
