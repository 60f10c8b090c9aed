#pragma once

// Device-independent bitmaps: the bitmap header, palette and pixel data shared by BMP files
// and bitmap icon entries.

#include "image/ImageModel.h"
#include "image/readers/ByteReader.h"

#include <QImage>
#include <array>
#include <cstdint>

namespace korvane {

enum EDibCompression : std::uint32_t {
    DibRgb = 0,
    DibRle8 = 1,
    DibRle4 = 2,
    DibBitFields = 3,
    DibJpeg = 4,
    DibPng = 5,
    DibAlphaBitFields = 6,
};

struct TDibHeader {
    std::uint32_t HeaderSize = 0;
    std::int64_t Width = 0;
    std::int64_t Height = 0; // the header's value without its sign
    bool TopDown = false;
    int BitCount = 0;
    std::uint32_t Compression = DibRgb;
    std::uint32_t ColorsUsed = 0;
    int PaletteEntrySize = 4; // 3 for the OS/2 1.x core header
    // Channel masks of 16- and 32-bit pixels (implicit 5-5-5 and 8-8-8 for uncompressed
    // ones). AlphaMask is set only where the file declares an alpha channel.
    std::uint32_t RedMask = 0, GreenMask = 0, BlueMask = 0, AlphaMask = 0;
};

// Colour table as RGB triples; entries the file does not define are black.
using TDibPalette = std::array<std::array<std::uint8_t, 3>, 256>;

// Reads the bitmap header that starts at Input's position and, for bit-field bitmaps with a
// short header, the masks that follow it. Leaves Input at the colour table. Checks the
// fields that the pixel decoder relies on (bit count, compression) but not the size.
TDibHeader ReadDibHeader(TByteReader& Input);

// Reads up to MaxBytes of colour table at Input's position: ColorsUsed entries, or
// 2^BitCount when that is 0, never more than 2^BitCount.
TDibPalette ReadDibPalette(TByteReader& Input, const TDibHeader& Header, std::int64_t MaxBytes);

// 1-bit: black and white, 2- and 4-bit: 16 colour, 8-bit: 256 colour, else true colour.
EPixelFormat DibPixelFormat(const TDibHeader& Header);

// Bytes per row of an uncompressed bitmap (rows are padded to 4 bytes).
std::int64_t DibStride(std::int64_t Width, int BitCount);

// Throws unless an uncompressed bitmap of Rows rows fits in the Available bytes (the last
// row may lack its padding) or, for RLE, unless the Available bytes could plausibly encode
// the image. Call it before allocating the image.
void CheckDibDataSize(TByteReader& Input, const TDibHeader& Header, std::int64_t Rows,
                      std::int64_t Available);

// Decodes the pixels at Input's position into the rows of Image (RGB888, Header.Width wide;
// its height is the number of rows to decode, which may be smaller than Header.Height for
// icons). Reads no further than End. With UseAlpha and an alpha mask, pixels are
// composited over white. Returns whether any pixel had a non-zero alpha value, so that a
// caller can fall back to opaque pixels when the alpha channel is all zero.
bool DecodeDibPixels(TByteReader& Input, std::int64_t End, const TDibHeader& Header,
                     const TDibPalette& Palette, QImage& Image, bool UseAlpha);

} // namespace korvane
