#pragma once

#include <QRgb>
#include <cstdint>

namespace korvane {

// Count pixels of 24-bit RGB (3 bytes each) as opaque 32-bit pixels.
void RgbToRgb32(const std::uint8_t* Source, QRgb* Target, int Count);

} // namespace korvane
