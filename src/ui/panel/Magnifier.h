#pragma once

#include "core/DoublePoints.h"
#include "image/PanZoomView.h"
#include "ui/panel/KorvanePanel.h"

#include <optional>

namespace korvane {

// A loupe beside the pointer: the working image's pixels around the one under the pointer,
// each drawn as a square of Zoom screen pixels, with the pixel under the pointer outlined,
// so that a reference point can be put on the exact pixel without zooming the view. It is an
// overlay of the panel while it is shown.
class TMagnifier : public IViewOverlay {
public:
    static constexpr std::int32_t Zoom = 6;
    // Pixels shown on each side of the centre pixel.
    static constexpr std::int32_t Reach = 7;
    static constexpr std::int32_t Side = (2 * Reach + 1) * Zoom;
    // From the pointer to the loupe's nearer corner.
    static constexpr std::int32_t Offset = 24;

    explicit TMagnifier(TKorvanePanel& Panel) : FPanel(Panel) {}
    ~TMagnifier() override;
    TMagnifier(const TMagnifier&) = delete;
    TMagnifier& operator=(const TMagnifier&) = delete;

    // Switched off, the loupe goes and pointer moves are ignored.
    void SetEnabled(bool Value);
    bool Enabled() const { return FEnabled; }
    // The pointer is at Device in the paint box (or has left it): the loupe follows.
    void PointerAt(TLongintPoint Device);
    void PointerLeft();

    bool Visible() const { return FShown.has_value(); }
    // Where the loupe is drawn, in paint-box pixels (right and bottom edges left out).
    TDeviceRect Box() const;
    // The image pixel shown at the loupe's centre.
    TLongintPoint Centre() const { return FCentre; }

    void DrawOverlay(QPainter& Canvas) override;

private:
    void Hide();

    TKorvanePanel& FPanel;
    bool FEnabled = false;
    std::optional<TDeviceRect> FShown;
    TLongintPoint FCentre;
};

} // namespace korvane
