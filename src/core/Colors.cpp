#include "core/Colors.h"

#include <QColor>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace korvane {

namespace {

std::uint8_t Clamp(double Channel) {
    // Truncate first, then clamp; a NaN factor ends as 0.
    if (!(Channel > 0.0))
        return 0;
    if (Channel >= 255.0)
        return 255;
    return static_cast<std::uint8_t>(Channel);
}

TColor Compose(TColor Flags, std::uint8_t R, std::uint8_t G, std::uint8_t B) {
    return (Flags & 0xFF000000u) | RGB(R, G, B);
}

} // namespace

bool ColorsMatch(TColor A, TColor B, double Tolerance) {
    const std::int64_t DR = static_cast<int>(GetRValue(A)) - GetRValue(B);
    const std::int64_t DG = static_cast<int>(GetGValue(A)) - GetGValue(B);
    const std::int64_t DB = static_cast<int>(GetBValue(A)) - GetBValue(B);
    return static_cast<double>(DR * DR + DG * DG + DB * DB) <= Tolerance * Tolerance * 585225.0;
}

TColor ScaleColor(TColor C, double Factor) {
    return Compose(C, Clamp(std::trunc(GetRValue(C) * Factor)),
                   Clamp(std::trunc(GetGValue(C) * Factor)),
                   Clamp(std::trunc(GetBValue(C) * Factor)));
}

TColor ShiftColor(TColor C, double Amount) {
    const double S = std::trunc(255.0 * Amount / std::sqrt(3.0));
    return Compose(C, Clamp(GetRValue(C) + S), Clamp(GetGValue(C) + S), Clamp(GetBValue(C) + S));
}

TColor DarkenColor(TColor C, double Amount) {
    return ShiftColor(C, std::max(-std::fabs(Amount), -1.0));
}

TColor LightenColor(TColor C, double Amount) {
    return ShiftColor(C, std::min(std::fabs(Amount), 1.0));
}

TColor InvertColor(TColor C) {
    return Compose(C, 255 - GetRValue(C), 255 - GetGValue(C), 255 - GetBValue(C));
}

void GradientFill(QPainter& Canvas, TColor From, TColor To, int Left, int Top, int Right,
                  int Bottom) {
    if (Right < Left || Bottom <= Top)
        return;
    const double N = static_cast<double>(Right) - Left + 1;
    const double StepR = (GetRValue(To) - GetRValue(From)) / N;
    const double StepG = (GetGValue(To) - GetGValue(From)) / N;
    const double StepB = (GetBValue(To) - GetBValue(From)) / N;
    for (int K = 0; Left + K <= Right; ++K) {
        const QColor Color(static_cast<int>(std::nearbyint(GetRValue(From) + K * StepR)),
                           static_cast<int>(std::nearbyint(GetGValue(From) + K * StepG)),
                           static_cast<int>(std::nearbyint(GetBValue(From) + K * StepB)));
        // A one-pixel-wide column from Top to Bottom - 1: the line's end pixel is left out.
        Canvas.fillRect(Left + K, Top, 1, Bottom - Top, Color);
    }
}

} // namespace korvane
