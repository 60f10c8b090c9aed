#include "image/readers/DibDecoder.h"
#include "image/readers/Readers.h"

namespace korvane {

// Windows and OS/2 bitmaps: 1, 2, 4, 8, 16, 24 and 32 bits per pixel, uncompressed, RLE4,
// RLE8 and bit fields; core, info, V2 to V5 and OS/2 2.x headers; bottom-up or top-down.
TWorkingImage ReadBMP(TByteReader& Input) {
    std::uint8_t Magic[2];
    Input.Read(Magic, 2);
    if (Magic[0] != 'B' || Magic[1] != 'M')
        Input.Damaged("it does not start with \"BM\".");
    Input.Skip(8); // file size, reserved
    const std::int64_t PixelOffset = Input.U32LE();
    TDibHeader Header = ReadDibHeader(Input);
    const std::int64_t PaletteStart = Input.Position();
    if (PixelOffset > Input.Size())
        Input.Damaged("the pixel data offset lies beyond the end of the file.");
    if (PixelOffset < PaletteStart)
        Input.Damaged("the pixel data offset points into the bitmap header.");

    const TDibPalette Palette = ReadDibPalette(Input, Header, PixelOffset - PaletteStart);
    CheckDibDataSize(Input, Header, Header.Height, Input.Size() - PixelOffset);

    TWorkingImage Result;
    Result.Image = NewWorkingImage(Header.Width, Header.Height, Input.Format().c_str());
    Result.PixelFormat = DibPixelFormat(Header);
    Input.Seek(PixelOffset);
    const bool UseAlpha = Header.AlphaMask != 0;
    if (DecodeDibPixels(Input, Input.Size(), Header, Palette, Result.Image, UseAlpha) || !UseAlpha)
        return Result;
    // An alpha channel that is zero everywhere carries no transparency: show the colours.
    Input.Seek(PixelOffset);
    DecodeDibPixels(Input, Input.Size(), Header, Palette, Result.Image, false);
    return Result;
}

} // namespace korvane
