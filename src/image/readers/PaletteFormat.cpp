#include "image/readers/PaletteFormat.h"

namespace korvane {

EPixelFormat PaletteFormat(const std::uint8_t* Rgb, std::size_t Count) {
    bool Grey = true;
    bool BlackWhite = Count <= 2;
    for (std::size_t I = 0; I < Count; ++I) {
        const std::uint8_t* P = Rgb + 3 * I;
        Grey = Grey && P[0] == P[1] && P[0] == P[2];
        BlackWhite = BlackWhite && Grey && (P[0] == 0 || P[0] == 255);
    }
    if (BlackWhite)
        return EPixelFormat::BlackWhite;
    if (Count <= 16)
        return Grey ? EPixelFormat::Gray16 : EPixelFormat::Color16;
    if (Grey)
        return EPixelFormat::Gray256;
    return Count <= 256 ? EPixelFormat::Color256 : EPixelFormat::TrueColor;
}

} // namespace korvane
