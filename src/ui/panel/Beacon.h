#pragma once

#include "core/Colors.h"
#include "core/DoublePoints.h"
#include "ui/panel/KorvanePanel.h"

#include <cstdint>
#include <vector>

namespace korvane {

// Marks the follower's position on the panel's view: a ring with a cross, drawn by
// exclusive-or, so that drawing it a second time restores the view exactly. While shown it is
// an overlay of the panel, which draws it again whenever it composes the view afresh.
class TBeacon : public IViewOverlay {
public:
    explicit TBeacon(TKorvanePanel& Panel) : FPanel(Panel) {}
    // A visible beacon is hidden first.
    ~TBeacon() override;
    TBeacon(const TBeacon&) = delete;
    TBeacon& operator=(const TBeacon&) = delete;

    // Take effect at the next Show.
    TColor Color = RGB(255, 0, 0);
    std::int32_t Radius = 8;

    bool Visible() const { return FVisible; }
    // The centre, in paint-box pixels.
    std::int32_t X() const { return FCentre.X; }
    std::int32_t Y() const { return FCentre.Y; }

    // Hides the beacon, then draws it centred on P.
    void Show(TLongintPoint P);
    // Erases a visible beacon by drawing it once more.
    void Hide();

    void DrawOverlay(QPainter& Canvas) override;

    // The pixels one drawing centred on Centre toggles. The ring fills the box from
    // Centre - Radius to Centre + Radius without its right and bottom edge; the horizontal
    // line runs from X - Radius to X + Radius - 1 in row Y, the vertical one likewise in
    // column X. Each of the three toggles its pixels once, so that a pixel two of them share
    // stays as it was (the centre, the lines' first pixels on the ring).
    static std::vector<TLongintPoint> Pixels(TLongintPoint Centre, std::int32_t Radius);

private:
    // One exclusive-or drawing with the pen and brush of Canvas kept.
    void DrawOn(QPainter& Canvas) const;

    TKorvanePanel& FPanel;
    bool FVisible = false;
    TLongintPoint FCentre;
    // What the visible beacon was drawn with, so that erasing it toggles the same pixels.
    TColor FDrawnColor = 0;
    std::int32_t FDrawnRadius = 0;
};

} // namespace korvane
