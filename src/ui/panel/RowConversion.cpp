#include "ui/panel/RowConversion.h"

namespace korvane {

// Cloned for AVX2, whose byte shuffles let the compiler vectorise the 3-byte loads.
__attribute__((target_clones("avx2", "default"))) void
RgbToRgb32(const std::uint8_t* __restrict Source, QRgb* __restrict Target, int Count) {
    for (int I = 0; I < Count; ++I)
        Target[I] = 0xFF000000u | (static_cast<QRgb>(Source[3 * I]) << 16) |
                    (static_cast<QRgb>(Source[3 * I + 1]) << 8) | Source[3 * I + 2];
}

} // namespace korvane
