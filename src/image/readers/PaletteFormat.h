#pragma once

#include "image/ImageModel.h"

#include <cstddef>
#include <cstdint>

namespace korvane {

// A palette's pixel format: its size, and whether every colour is a grey. Rgb holds Count
// RGB triples. Black and white needs at most two entries, each black or white; 16 entries or
// fewer are 16 greys or colours, and more are 256 greys or colours, or true colour for more
// than 256 colours that are not all grey.
EPixelFormat PaletteFormat(const std::uint8_t* Rgb, std::size_t Count);

} // namespace korvane
