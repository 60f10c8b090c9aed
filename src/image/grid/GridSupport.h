#pragma once

// What the pieces of grid elimination share: the rules' numbers, whole-image buffers and the
// median.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <new>
#include <sys/mman.h>
#include <vector>

namespace korvane::grid {

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

// Whole-image buffers (tens of megabytes) in huge pages where the system offers them: the
// first touch of every 4 KB page otherwise costs more than the work done on it.
template <class T> struct THugePageAllocator {
    using value_type = T;
    THugePageAllocator() = default;
    template <class U> THugePageAllocator(const THugePageAllocator<U>&) {}
    static constexpr std::size_t Huge = std::size_t(2) << 20;
    T* allocate(std::size_t Count) {
        const std::size_t Bytes = Count * sizeof(T);
        if (Bytes < 2 * Huge) {
            if (void* P = std::malloc(Bytes))
                return static_cast<T*>(P);
            throw std::bad_alloc();
        }
        const std::size_t Rounded = (Bytes + Huge - 1) / Huge * Huge;
        void* P = std::aligned_alloc(Huge, Rounded);
        if (!P)
            throw std::bad_alloc();
        ::madvise(P, Rounded, MADV_HUGEPAGE);
        return static_cast<T*>(P);
    }
    void deallocate(T* P, std::size_t) { std::free(P); }
    friend bool operator==(const THugePageAllocator&, const THugePageAllocator&) { return true; }
};
using TPixelBuffer = std::vector<std::uint8_t, THugePageAllocator<std::uint8_t>>;

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
