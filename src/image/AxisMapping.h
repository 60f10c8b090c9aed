#pragma once

#include "core/Numerics.h"

#include <cstdint>

namespace korvane {

class TScaleSystem;

// One axis of the view mapping: image pixel X covers the device pixels from BlockStart(X)
// up to BlockStart(X + 1).
struct TAxisMapping {
    std::int64_t WindowOrg, WindowExt, ViewportOrg, ViewportExt;

    std::int64_t BlockStart(std::int64_t X) const {
        return MulDiv64(X - WindowOrg, ViewportExt, WindowExt) + ViewportOrg;
    }
    // The image pixel shown at device pixel C: the last one whose block starts at or before
    // C (when zoomed out several blocks are empty).
    std::int64_t PixelAt(std::int64_t C) const {
        std::int64_t X =
            WindowOrg + CeilDiv((2 * (C - ViewportOrg) + 1) * WindowExt, 2 * ViewportExt) - 1;
        while (BlockStart(X + 1) <= C)
            ++X;
        while (BlockStart(X) > C)
            --X;
        return X;
    }
};

// The horizontal and the vertical axis of a scale system's view mapping.
TAxisMapping HorzMapping(const TScaleSystem& V);
TAxisMapping VertMapping(const TScaleSystem& V);

// Whether all four extents are positive, so that the mapping can be drawn through.
bool MappingUsable(const TScaleSystem& V);

} // namespace korvane
