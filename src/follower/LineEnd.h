#pragma once

#include "core/Colors.h"
#include "core/DoublePoints.h"

#include <QImage>

namespace korvane {

// Where a follower that lost its line stopped, and whether following can go on from there.
// A run that loses its line at a gap or a crossing has ink of the tracking colour ahead; a
// run at the end of its curve has none. The region looked at reaches Reach pixels ahead of
// Last along Direction (an image vector; (1, 0) for a functional line) and Spread pixels to
// each side of it; pixels within Clearance of Last along Direction are the line's own and
// are not counted.
struct TLineEndQuery {
    TLongintPoint Last;
    TDoublePoint Direction{1, 0};
    TColor TrackingColor = 0;
    double ColorTolerance = 0.1;
    std::int32_t Reach = 24;
    std::int32_t Spread = 50;
    double Clearance = 1.5;
};

// Whether any pixel of the tracking colour lies in the region ahead.
bool InkAhead(const QImage& Image, const TLineEndQuery& Query);

} // namespace korvane
