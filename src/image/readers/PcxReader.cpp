// ZSoft PC Paintbrush (.pcx, .pcc) and its multi-page container DCX, of which the first page
// is shown. Supported layouts: 1 bit in 1 plane (black and white), 1 bit in 2-4 planes and
// packed 2 or 4 bits (header palette), 8 bits with the 256-colour palette that follows the
// image, and 8 bits in 3 or 4 planes (RGB, RGB plus alpha composited over white).

#include "image/readers/BlockInput.h"
#include "image/readers/PaletteFormat.h"
#include "image/readers/Readers.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace korvane {

namespace {

constexpr std::int64_t HeaderSize = 128;
// The 0x0C marker and 256 RGB entries.
constexpr std::int64_t TrailingPaletteSize = 769;
constexpr std::uint8_t TrailingPaletteMarker = 0x0C;
constexpr std::uint32_t DcxSignature = 987654321;
constexpr std::size_t DcxMaxPages = 1024;

// Used by 16-colour images whose header carries no palette.
constexpr std::uint8_t DefaultPalette[48] = {
    0,  0,   0,   0,   0,   170, 0,   170, 0,  0,   170, 170, 170, 0,   0,   170,
    0,  170, 170, 85,  0,   170, 170, 170, 85, 85,  85,  85,  85,  255, 85,  255,
    85, 85,  255, 255, 255, 85,  85,  255, 85, 255, 255, 255, 85,  255, 255, 255};

unsigned LE16(const std::uint8_t* P) {
    return P[0] | (P[1] << 8);
}

// Scan lines of BytesPerLine × planes bytes. In the RLE form a byte with its two top bits set
// repeats the next byte (count in the low 6 bits); a run that goes past the end of a line
// carries on into the next one, and what follows the last line is never read.
class TPcxLines {
public:
    TPcxLines(TBlockInput& Input, bool Rle) : FInput(Input), FRle(Rle) {}

    void DecodeLine(std::uint8_t* Line, std::size_t Size) {
        if (!FRle) {
            FInput.Copy(Line, Size);
            return;
        }
        std::size_t X = 0;
        while (X < Size) {
            if (FRunLeft > 0) {
                const std::size_t N = std::min(FRunLeft, Size - X);
                std::memset(Line + X, FRunValue, N);
                X += N;
                FRunLeft -= N;
                continue;
            }
            // Literal bytes straight from the block, up to the next run or the line end.
            const std::uint8_t* P = FInput.Begin();
            const std::uint8_t* Stop = P + std::min<std::size_t>(FInput.End() - P, Size - X);
            while (P < Stop && *P < 0xC0)
                Line[X++] = *P++;
            FInput.Consume(P);
            if (P < Stop) {
                FRunLeft = FInput.Next() & 0x3F;
                FRunValue = FInput.Next();
            }
        }
    }

private:
    TBlockInput& FInput;
    bool FRle;
    std::size_t FRunLeft = 0;
    std::uint8_t FRunValue = 0;
};

enum class ELayout { Mono, Planar, Packed, Indexed8, Rgb, Rgba };

struct TPcxHeader {
    unsigned Version = 0;
    bool Rle = true;
    unsigned Bits = 0;
    unsigned Planes = 0;
    int Width = 0;
    int Height = 0;
    std::size_t BytesPerLine = 0;
    const std::uint8_t* Palette16 = nullptr;
};

// Index to RGB for one index per output pixel; Src may be Dst (it runs backwards).
void ExpandIndices(const std::uint8_t* Lut, const std::uint8_t* Src, std::uint8_t* Dst, int Width) {
    for (int X = Width - 1; X >= 0; --X) {
        const std::uint8_t* P = Lut + Src[X] * 3u;
        std::uint8_t* D = Dst + 3 * X;
        D[0] = P[0];
        D[1] = P[1];
        D[2] = P[2];
    }
}

// One decoded scan line (planes one after the other) to RGB. Bytes beyond the width, which
// pad each plane to BytesPerLine, are dropped.
void ConvertLine(ELayout Layout, const TPcxHeader& H, const std::uint8_t* Lut,
                 const std::uint8_t* Line, std::uint8_t* Dst) {
    const int Width = H.Width;
    const std::size_t Stride = H.BytesPerLine;
    switch (Layout) {
    case ELayout::Mono:
        for (int X = 0; X < Width; ++X) {
            const bool White = (Line[X >> 3] >> (7 - (X & 7))) & 1;
            std::memset(Dst + 3 * X, White ? 255 : 0, 3);
        }
        break;
    case ELayout::Planar:
        for (int X = 0; X < Width; ++X) {
            const unsigned Shift = 7 - (X & 7);
            unsigned Index = 0;
            for (unsigned P = 0; P < H.Planes; ++P)
                Index |= ((Line[P * Stride + (X >> 3)] >> Shift) & 1) << P;
            std::memcpy(Dst + 3 * X, Lut + 3 * Index, 3);
        }
        break;
    case ELayout::Packed:
        for (int X = 0; X < Width; ++X) {
            const unsigned Index = H.Bits == 2 ? (Line[X >> 2] >> (6 - 2 * (X & 3))) & 3
                                               : (Line[X >> 1] >> ((X & 1) ? 0 : 4)) & 15;
            std::memcpy(Dst + 3 * X, Lut + 3 * Index, 3);
        }
        break;
    case ELayout::Indexed8:
        ExpandIndices(Lut, Line, Dst, Width);
        break;
    case ELayout::Rgb:
        for (int X = 0; X < Width; ++X) {
            std::uint8_t* D = Dst + 3 * X;
            D[0] = Line[X];
            D[1] = Line[Stride + X];
            D[2] = Line[2 * Stride + X];
        }
        break;
    case ELayout::Rgba:
        for (int X = 0; X < Width; ++X) {
            std::uint8_t* D = Dst + 3 * X;
            const unsigned A = Line[3 * Stride + X];
            D[0] = CompositeOverWhite(Line[X], A);
            D[1] = CompositeOverWhite(Line[Stride + X], A);
            D[2] = CompositeOverWhite(Line[2 * Stride + X], A);
        }
        break;
    }
}

ELayout LayoutOf(const TByteReader& Input, const TPcxHeader& H) {
    if (H.Bits == 1 && H.Planes == 1)
        return ELayout::Mono;
    if (H.Bits == 1 && H.Planes >= 2 && H.Planes <= 4)
        return ELayout::Planar;
    if ((H.Bits == 2 || H.Bits == 4) && H.Planes == 1)
        return ELayout::Packed;
    if (H.Bits == 8 && H.Planes == 1)
        return ELayout::Indexed8;
    if (H.Bits == 8 && H.Planes == 3)
        return ELayout::Rgb;
    if (H.Bits == 8 && H.Planes == 4)
        return ELayout::Rgba;
    throw EImageError(Input.Format() + " images with " + std::to_string(H.Bits) +
                      " bits per pixel in " + std::to_string(H.Planes) +
                      " planes are not supported.");
}

// Reads the trailing 256-colour palette at Position into Lut when the marker is there.
bool ReadTrailingPalette(TByteReader& Input, std::int64_t Position, std::int64_t End,
                         std::uint8_t* Lut) {
    if (Position < 0 || Position >= End)
        return false;
    Input.Seek(Position);
    if (Input.U8() != TrailingPaletteMarker)
        return false;
    if (End - Input.Position() < TrailingPaletteSize - 1)
        Input.Truncated();
    Input.Read(Lut, TrailingPaletteSize - 1);
    return true;
}

// The PCX image in bytes [Start, End) of the file.
TWorkingImage DecodePcx(TByteReader& Input, std::int64_t Start, std::int64_t End) {
    if (End - Start < HeaderSize)
        Input.Truncated();
    std::uint8_t Raw[HeaderSize];
    Input.Seek(Start);
    Input.Read(Raw, sizeof Raw);
    if (Raw[0] != 0x0A)
        Input.Damaged("the first byte is not the PCX signature 0x0A.");
    if (Raw[2] > 1)
        Input.Damaged("unknown encoding " + std::to_string(Raw[2]) + ".");
    TPcxHeader H;
    H.Version = Raw[1];
    H.Rle = Raw[2] == 1;
    H.Bits = Raw[3];
    H.Planes = Raw[65];
    H.Width = static_cast<int>(LE16(Raw + 8)) - static_cast<int>(LE16(Raw + 4)) + 1;
    H.Height = static_cast<int>(LE16(Raw + 10)) - static_cast<int>(LE16(Raw + 6)) + 1;
    H.BytesPerLine = LE16(Raw + 66);
    H.Palette16 = Raw + 16;
    const ELayout Layout = LayoutOf(Input, H);
    CheckImageSize(H.Width, H.Height, Input.Format().c_str());
    if (H.BytesPerLine * 8 < static_cast<std::size_t>(H.Width) * H.Bits)
        Input.Damaged(std::to_string(H.BytesPerLine) + " bytes per line cannot hold " +
                      std::to_string(H.Width) + " pixels.");
    const std::size_t LineSize = H.BytesPerLine * H.Planes;

    // Colours by index; indices a palette leaves out are black.
    std::vector<std::uint8_t> Lut(256 * 3, 0);
    EPixelFormat Format = EPixelFormat::TrueColor;
    bool PaletteKnown = true;
    std::int64_t DataEnd = End;
    if (Layout == ELayout::Mono) {
        Format = EPixelFormat::BlackWhite;
    } else if (Layout == ELayout::Planar || Layout == ELayout::Packed) {
        const bool NoPalette = H.Version == 3 || std::all_of(H.Palette16, H.Palette16 + 48,
                                                             [](std::uint8_t B) { return !B; });
        std::memcpy(Lut.data(), NoPalette ? DefaultPalette : H.Palette16, 48);
        Format = PaletteFormat(Lut.data(), std::size_t(1) << (H.Bits * H.Planes));
    } else if (Layout == ELayout::Indexed8) {
        // The palette normally ends the image (or the DCX page); some writers leave bytes after
        // it, and then it is looked for right after the pixel data.
        PaletteKnown = End - TrailingPaletteSize >= Start + HeaderSize &&
                       ReadTrailingPalette(Input, End - TrailingPaletteSize, End, Lut.data());
        if (PaletteKnown) {
            DataEnd = End - TrailingPaletteSize;
            Format = PaletteFormat(Lut.data(), 256);
        }
    }

    // Refuse before allocating when the data cannot hold the image: an RLE pair gives at most
    // 63 bytes.
    const std::int64_t Total = static_cast<std::int64_t>(LineSize) * H.Height;
    const std::int64_t Needed = H.Rle ? (Total + 62) / 63 * 2 : Total;
    if (Needed > DataEnd - (Start + HeaderSize))
        Input.Truncated();

    TWorkingImage Result;
    Result.Image = NewWorkingImage(H.Width, H.Height, Input.Format().c_str());
    Input.Seek(Start + HeaderSize);
    TBlockInput Block(Input, DataEnd);
    TPcxLines Lines(Block, H.Rle);
    std::vector<std::uint8_t> Line(LineSize);
    for (int Y = 0; Y < H.Height; ++Y) {
        std::uint8_t* Dst = Result.Image.scanLine(Y);
        Lines.DecodeLine(Line.data(), LineSize);
        if (PaletteKnown)
            ConvertLine(Layout, H, Lut.data(), Line.data(), Dst);
        else
            std::memcpy(Dst, Line.data(), static_cast<std::size_t>(H.Width));
    }
    if (!PaletteKnown) {
        // Rows hold indices until the palette is found; without one the image is grey.
        if (ReadTrailingPalette(Input, Block.Position(), End, Lut.data())) {
            Format = PaletteFormat(Lut.data(), 256);
        } else {
            for (unsigned I = 0; I < 256; ++I)
                std::memset(&Lut[3 * I], static_cast<int>(I), 3);
            Format = EPixelFormat::Gray256;
        }
        for (int Y = 0; Y < H.Height; ++Y) {
            std::uint8_t* Row = Result.Image.scanLine(Y);
            ExpandIndices(Lut.data(), Row, Row, H.Width);
        }
    }
    Result.PixelFormat = Format;
    return Result;
}

} // namespace

TWorkingImage ReadPCX(TByteReader& Input) {
    return DecodePcx(Input, 0, Input.Size());
}

// A DCX file: a signature, a table of up to 1024 page offsets ended by 0, and the pages, each
// a PCX image. A page ends where the next one in the file begins.
TWorkingImage ReadDCX(TByteReader& Input) {
    if (Input.U32LE() != DcxSignature)
        Input.Damaged("the signature is not that of a DCX file.");
    std::vector<std::int64_t> Offsets;
    while (Offsets.size() < DcxMaxPages && Input.Remaining() >= 4) {
        const std::uint32_t Offset = Input.U32LE();
        if (Offset == 0)
            break;
        Offsets.push_back(Offset);
    }
    if (Offsets.empty())
        throw EImageError(Input.Format() + " file holds no pages.");
    const std::int64_t First = Offsets.front();
    if (First >= Input.Size())
        Input.Damaged("the first page starts beyond the end of the file.");
    std::int64_t End = Input.Size();
    for (const std::int64_t Offset : Offsets)
        if (Offset > First && Offset < End)
            End = Offset;
    return DecodePcx(Input, First, End);
}

} // namespace korvane
