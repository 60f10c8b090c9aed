#pragma once

// What the pieces of grid elimination share: the rules' numbers and the median.

#include "image/PixelBuffer.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <vector>

namespace korvane::grid {

using korvane::TPixelBuffer;

struct TParams {
    int Tile = 64;
    double Ink = 24;
    double NoiseK = 4;
    int Gap = 10;
    int SegMin = 40;
    double Density = 0.25;
    double Rel = 0.6;
    int MinLen = 40;
    double RefRel = 0.5;
    double Beta = 0.2;
    double BetaExt = 0.04;
    double AlphaExt = 0.1;
    double AlphaLo = 0.1;
    double AlphaHi = 1.5;
    double Resid = 60;
    int EndMargin = 2;
    int TrimLen = 20;
    double FrameRel = 0.85;
    double AlphaEv = 0.6;
    int HealD0 = 2;
    double HealK = 1.2;
    // The longest stretch of a curve lying on a grid line that is kept (pass 2 only).
    int TangentGap = 24;
    double InkT = 24; // set from the image
};

const double Infinity = std::numeric_limits<double>::infinity();

// The median as numpy gives it: the mean of the two middle values of an even count.
template <class T> double Median(std::vector<T> Values) {
    if (Values.empty())
        return 0;
    const std::size_t N = Values.size(), Half = N / 2;
    std::nth_element(Values.begin(), Values.begin() + std::ptrdiff_t(Half), Values.end());
    const double Upper = static_cast<double>(Values[Half]);
    if (N % 2)
        return Upper;
    const double Lower = static_cast<double>(
        *std::max_element(Values.begin(), Values.begin() + std::ptrdiff_t(Half)));
    return (Lower + Upper) / 2;
}

} // namespace korvane::grid
