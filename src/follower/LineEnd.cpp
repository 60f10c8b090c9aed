#include "follower/LineEnd.h"

#include <algorithm>
#include <cmath>

namespace korvane {

bool InkAhead(const QImage& Image, const TLineEndQuery& Q) {
    const double Length = std::hypot(Q.Direction.X, Q.Direction.Y);
    if (!(Length > 0) || Image.isNull())
        return false;
    // Unit vectors along and across the direction of travel.
    const double AX = Q.Direction.X / Length, AY = Q.Direction.Y / Length;
    const double CX = -AY, CY = AX;
    const std::int32_t Box = Q.Reach + Q.Spread;
    const std::int32_t Left = std::max(Q.Last.X - Box, 0);
    const std::int32_t Right = std::min(Q.Last.X + Box, Image.width() - 1);
    const std::int32_t Top = std::max(Q.Last.Y - Box, 0);
    const std::int32_t Bottom = std::min(Q.Last.Y + Box, Image.height() - 1);
    for (std::int32_t Y = Top; Y <= Bottom; ++Y)
        for (std::int32_t X = Left; X <= Right; ++X) {
            const double DX = X - Q.Last.X, DY = Y - Q.Last.Y;
            const double Along = DX * AX + DY * AY;
            const double Across = DX * CX + DY * CY;
            if (Along <= Q.Clearance || Along > Q.Reach || std::fabs(Across) > Q.Spread)
                continue;
            if (ColorsMatch(ImagePixelColor(Image, X, Y), Q.TrackingColor, Q.ColorTolerance))
                return true;
        }
    return false;
}

} // namespace korvane
