#include "image/readers/DibDecoder.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

namespace korvane {

namespace {

std::uint32_t U32At(const std::uint8_t* P) {
    return P[0] | (P[1] << 8) | (P[2] << 16) | (static_cast<std::uint32_t>(P[3]) << 24);
}

std::uint16_t U16At(const std::uint8_t* P) {
    return static_cast<std::uint16_t>(P[0] | (P[1] << 8));
}

[[noreturn]] void Unsupported(const TByteReader& Input, const std::string& What) {
    throw EImageError(Input.Format() + " files " + What + " are not supported.");
}

std::string Hex(std::uint32_t Value) {
    static const char Digits[] = "0123456789ABCDEF";
    std::string Text = "0x";
    for (int Shift = 28; Shift >= 0; Shift -= 4)
        Text += Digits[(Value >> Shift) & 15];
    return Text;
}

void CheckMask(const TByteReader& Input, std::uint32_t Mask) {
    if (Mask == 0)
        return;
    const std::uint32_t Bits = Mask >> std::countr_zero(Mask);
    if ((Bits & (Bits + 1)) != 0)
        Input.Damaged("the colour mask " + Hex(Mask) + " is not one run of bits.");
}

// One colour channel of a bit-field pixel: (Pixel >> Shift) & Max indexes Table, which
// scales the channel to 8 bits. Channels of 16 bits and more keep their high byte.
struct TChannel {
    unsigned Shift = 0;
    std::uint32_t Max = 0;
    std::vector<std::uint8_t> Table{0};

    explicit TChannel(std::uint32_t Mask) {
        if (Mask == 0)
            return;
        const int Low = std::countr_zero(Mask);
        const int Width = std::popcount(Mask);
        Shift = static_cast<unsigned>(Width >= 16 ? Low + Width - 8 : Low);
        Max = Width >= 16 ? 255u : (1u << Width) - 1;
        Table.resize(Max + 1);
        for (std::uint32_t V = 0; V <= Max; ++V)
            Table[V] = Width >= 16 ? static_cast<std::uint8_t>(V) : ScaleSample(V, Max);
    }
    std::uint8_t operator()(std::uint32_t Pixel) const { return Table[(Pixel >> Shift) & Max]; }
};

template <int Bits>
void ConvertIndexed(const std::uint8_t* Row, std::uint8_t* Out, int Width,
                    const TDibPalette& Palette) {
    constexpr int PerByte = 8 / Bits;
    constexpr unsigned Mask = (1u << Bits) - 1;
    int X = 0;
    for (; X + PerByte <= Width; X += PerByte) {
        const unsigned Byte = *Row++;
        for (int I = 0; I < PerByte; ++I) {
            const auto& C = Palette[(Byte >> (8 - Bits * (I + 1))) & Mask];
            Out[0] = C[0];
            Out[1] = C[1];
            Out[2] = C[2];
            Out += 3;
        }
    }
    if (X < Width) {
        const unsigned Byte = *Row;
        for (int I = 0; X < Width; ++I, ++X) {
            const auto& C = Palette[(Byte >> (8 - Bits * (I + 1))) & Mask];
            Out[0] = C[0];
            Out[1] = C[1];
            Out[2] = C[2];
            Out += 3;
        }
    }
}

void ConvertBgr(const std::uint8_t* Row, std::uint8_t* Out, int Width, int BytesPerPixel) {
    for (int X = 0; X < Width; ++X, Row += BytesPerPixel, Out += 3) {
        Out[0] = Row[2];
        Out[1] = Row[1];
        Out[2] = Row[0];
    }
}

// Bytes B, G, R, A; returns whether any alpha value was non-zero.
bool ConvertBgra(const std::uint8_t* Row, std::uint8_t* Out, int Width) {
    std::uint8_t AnyAlpha = 0;
    for (int X = 0; X < Width; ++X, Row += 4, Out += 3) {
        const std::uint8_t Alpha = Row[3];
        AnyAlpha |= Alpha;
        if (Alpha == 255) {
            Out[0] = Row[2];
            Out[1] = Row[1];
            Out[2] = Row[0];
        } else {
            Out[0] = CompositeOverWhite(Row[2], Alpha);
            Out[1] = CompositeOverWhite(Row[1], Alpha);
            Out[2] = CompositeOverWhite(Row[0], Alpha);
        }
    }
    return AnyAlpha != 0;
}

// Bit-field pixels of 2, 3 or 4 bytes; returns whether any alpha value was non-zero.
template <int Bytes, bool WithAlpha>
bool ConvertFields(const std::uint8_t* Row, std::uint8_t* Out, int Width, const TChannel& R,
                   const TChannel& G, const TChannel& B, const TChannel& A) {
    bool AnyAlpha = false;
    for (int X = 0; X < Width; ++X, Row += Bytes, Out += 3) {
        std::uint32_t P = Row[0] | (Row[1] << 8);
        if constexpr (Bytes >= 3)
            P |= static_cast<std::uint32_t>(Row[2]) << 16;
        if constexpr (Bytes == 4)
            P |= static_cast<std::uint32_t>(Row[3]) << 24;
        if constexpr (WithAlpha) {
            const std::uint8_t Alpha = A(P);
            AnyAlpha |= Alpha != 0;
            if (Alpha == 255) {
                Out[0] = R(P);
                Out[1] = G(P);
                Out[2] = B(P);
            } else {
                Out[0] = CompositeOverWhite(R(P), Alpha);
                Out[1] = CompositeOverWhite(G(P), Alpha);
                Out[2] = CompositeOverWhite(B(P), Alpha);
            }
        } else {
            Out[0] = R(P);
            Out[1] = G(P);
            Out[2] = B(P);
        }
    }
    return AnyAlpha;
}

// The compressed stream, read in blocks rather than byte by byte.
class TRleSource {
public:
    TRleSource(TByteReader& Input, std::int64_t End) : FInput(Input), FEnd(End) {}

    bool Exhausted() const { return FPosition == FLength && FInput.Position() >= FEnd; }

    std::uint8_t Next() {
        if (FPosition == FLength)
            Refill();
        return FBuffer[FPosition++];
    }

private:
    void Refill() {
        const std::int64_t Left = FEnd - FInput.Position();
        if (Left <= 0)
            FInput.Truncated();
        FLength = static_cast<std::size_t>(std::min<std::int64_t>(Left, FBuffer.size()));
        FInput.Read(FBuffer.data(), FLength);
        FPosition = 0;
    }

    TByteReader& FInput;
    std::int64_t FEnd;
    std::vector<std::uint8_t> FBuffer = std::vector<std::uint8_t>(1 << 16);
    std::size_t FPosition = 0;
    std::size_t FLength = 0;
};

// RLE8 and RLE4. Pixels past the right edge are dropped (some writers encode each row to the
// padded stride); rows past the last one are ignored; pixels skipped by end-of-line and
// delta escapes stay white.
void DecodeRle(TByteReader& Input, std::int64_t End, const TDibHeader& Header,
               const TDibPalette& Palette, QImage& Image) {
    const bool Rle4 = Header.Compression == DibRle4;
    const std::int64_t Width = Image.width();
    const std::int64_t Rows = Image.height();
    TRleSource Source(Input, End);
    std::int64_t X = 0, Y = 0;
    std::uint8_t* Out = nullptr;
    auto SelectRow = [&] {
        Out = Y < Rows ? Image.scanLine(static_cast<int>(Header.TopDown ? Y : Rows - 1 - Y))
                       : nullptr;
    };
    auto Put = [&](std::int64_t At, std::uint8_t Index) {
        const auto& C = Palette[Index];
        std::uint8_t* P = Out + At * 3;
        P[0] = C[0];
        P[1] = C[1];
        P[2] = C[2];
    };
    SelectRow();
    while (Y < Rows) {
        if (Source.Exhausted()) {
            // A missing end-of-bitmap after the last row is tolerated; missing rows are not.
            if (Y >= Rows - 1)
                break;
            Input.Truncated();
        }
        const std::uint8_t Count = Source.Next();
        const std::uint8_t Value = Source.Next();
        if (Count > 0) {
            const std::int64_t Shown = std::clamp<std::int64_t>(Width - X, 0, Count);
            if (Rle4) {
                const std::uint8_t Pair[2] = {static_cast<std::uint8_t>(Value >> 4),
                                              static_cast<std::uint8_t>(Value & 15)};
                for (std::int64_t I = 0; I < Shown; ++I)
                    Put(X + I, Pair[I & 1]);
            } else {
                for (std::int64_t I = 0; I < Shown; ++I)
                    Put(X + I, Value);
            }
            X += Count;
        } else if (Value == 0) {
            X = 0;
            ++Y;
            SelectRow();
        } else if (Value == 1) {
            break;
        } else if (Value == 2) {
            X += Source.Next();
            Y += Source.Next();
            SelectRow();
        } else {
            // An absolute run of Value pixels, padded to a 16-bit boundary.
            const int DataBytes = Rle4 ? (Value + 1) / 2 : Value;
            std::uint8_t Byte = 0;
            for (int I = 0; I < Value; ++I, ++X) {
                std::uint8_t Index;
                if (Rle4) {
                    if ((I & 1) == 0)
                        Byte = Source.Next();
                    Index = (I & 1) ? (Byte & 15) : (Byte >> 4);
                } else {
                    Index = Source.Next();
                }
                if (X < Width)
                    Put(X, Index);
            }
            if (DataBytes & 1)
                Source.Next();
        }
    }
}

} // namespace

TDibHeader ReadDibHeader(TByteReader& Input) {
    TDibHeader H;
    H.HeaderSize = Input.U32LE();
    if (H.HeaderSize == 12) {
        // OS/2 1.x core header: 16-bit sizes, 3-byte colour table entries.
        H.Width = Input.U16LE();
        H.Height = Input.U16LE();
        Input.U16LE(); // planes
        H.BitCount = Input.U16LE();
        H.PaletteEntrySize = 3;
    } else {
        if (H.HeaderSize < 16 || (H.HeaderSize > 64 && H.HeaderSize != 108 && H.HeaderSize != 124))
            Input.Damaged("unknown bitmap header size " + std::to_string(H.HeaderSize) + ".");
        std::uint8_t B[124] = {};
        Input.Read(B + 4, H.HeaderSize - 4);
        // Headers of 16 to 64 bytes other than the Windows ones are OS/2 2.x headers.
        const bool Os2 =
            H.HeaderSize != 40 && H.HeaderSize != 52 && H.HeaderSize != 56 && H.HeaderSize <= 64;
        const std::int32_t Height = static_cast<std::int32_t>(U32At(B + 8));
        H.Width = static_cast<std::int32_t>(U32At(B + 4));
        H.Height = Height < 0 ? -static_cast<std::int64_t>(Height) : Height;
        H.TopDown = Height < 0;
        H.BitCount = U16At(B + 14);
        H.Compression = U32At(B + 16);
        H.ColorsUsed = U32At(B + 32);
        if (Os2 && H.Compression == 3)
            Unsupported(Input, "with OS/2 Huffman compression");
        if (Os2 && H.Compression == 4)
            Unsupported(Input, "with OS/2 RLE24 compression");
        if (H.Compression == DibBitFields || H.Compression == DibAlphaBitFields) {
            const bool Alpha = H.Compression == DibAlphaBitFields;
            if (H.HeaderSize >= (Alpha ? 56u : 52u)) {
                H.RedMask = U32At(B + 40);
                H.GreenMask = U32At(B + 44);
                H.BlueMask = U32At(B + 48);
                if (H.HeaderSize >= 56)
                    H.AlphaMask = U32At(B + 52);
            } else {
                // A 40-byte header is followed by the masks.
                H.RedMask = Input.U32LE();
                H.GreenMask = Input.U32LE();
                H.BlueMask = Input.U32LE();
                if (Alpha)
                    H.AlphaMask = Input.U32LE();
            }
        }
    }

    switch (H.BitCount) {
    case 1:
    case 2:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
        break;
    default:
        Unsupported(Input, "with " + std::to_string(H.BitCount) + " bits per pixel");
    }
    switch (H.Compression) {
    case DibRgb:
        if (H.BitCount == 16) {
            H.RedMask = 0x7C00;
            H.GreenMask = 0x03E0;
            H.BlueMask = 0x001F;
        } else if (H.BitCount == 32) {
            // The fourth byte is unused: not alpha.
            H.RedMask = 0xFF0000;
            H.GreenMask = 0xFF00;
            H.BlueMask = 0xFF;
        }
        break;
    case DibRle8:
    case DibRle4:
        if (H.BitCount != (H.Compression == DibRle8 ? 8 : 4))
            Input.Damaged(std::string(H.Compression == DibRle8 ? "RLE8" : "RLE4") +
                          " compression with " + std::to_string(H.BitCount) + " bits per pixel.");
        break;
    case DibBitFields:
    case DibAlphaBitFields:
        if (H.BitCount < 16)
            Input.Damaged("bit-field compression with " + std::to_string(H.BitCount) +
                          " bits per pixel.");
        for (std::uint32_t Mask : {H.RedMask, H.GreenMask, H.BlueMask, H.AlphaMask})
            CheckMask(Input, Mask);
        break;
    case DibJpeg:
        Unsupported(Input, "holding a JPEG image");
    case DibPng:
        Unsupported(Input, "holding a PNG image");
    default:
        Unsupported(Input, "with compression type " + std::to_string(H.Compression));
    }
    return H;
}

TDibPalette ReadDibPalette(TByteReader& Input, const TDibHeader& Header, std::int64_t MaxBytes) {
    TDibPalette Palette{};
    if (Header.BitCount > 8)
        return Palette;
    const std::int64_t Full = std::int64_t(1) << Header.BitCount;
    std::int64_t Count =
        Header.ColorsUsed != 0 ? std::min<std::int64_t>(Header.ColorsUsed, Full) : Full;
    Count = std::clamp<std::int64_t>(MaxBytes / Header.PaletteEntrySize, 0, Count);
    std::uint8_t Table[256 * 4];
    Input.Read(Table, static_cast<std::size_t>(Count * Header.PaletteEntrySize));
    for (std::int64_t I = 0; I < Count; ++I) {
        const std::uint8_t* E = Table + I * Header.PaletteEntrySize;
        Palette[static_cast<std::size_t>(I)] = {E[2], E[1], E[0]};
    }
    return Palette;
}

EPixelFormat DibPixelFormat(const TDibHeader& Header) {
    switch (Header.BitCount) {
    case 1:
        return EPixelFormat::BlackWhite;
    case 2:
    case 4:
        return EPixelFormat::Color16;
    case 8:
        return EPixelFormat::Color256;
    default:
        return EPixelFormat::TrueColor;
    }
}

std::int64_t DibStride(std::int64_t Width, int BitCount) {
    return (Width * BitCount + 31) / 32 * 4;
}

void CheckDibDataSize(TByteReader& Input, const TDibHeader& Header, std::int64_t Rows,
                      std::int64_t Available) {
    CheckImageSize(Header.Width, Rows, Input.Format().c_str());
    if (Header.Compression == DibRle8 || Header.Compression == DibRle4) {
        // Two bytes encode at most 255 pixels, but end-of-line, delta and end-of-bitmap
        // escapes can leave large areas out. Only a stream of absurdly few bytes per pixel
        // is refused.
        if (Available < 2 || Available * 8192 < Header.Width * Rows)
            Input.Damaged("the compressed pixel data (" +
                          std::to_string(std::max<std::int64_t>(Available, 0)) +
                          " bytes) is far too short for a " + std::to_string(Header.Width) + " x " +
                          std::to_string(Rows) + " image.");
        return;
    }
    const std::int64_t Needed = DibStride(Header.Width, Header.BitCount) * (Rows - 1) +
                                (Header.Width * Header.BitCount + 7) / 8;
    if (Available < Needed)
        Input.Truncated();
}

bool DecodeDibPixels(TByteReader& Input, std::int64_t End, const TDibHeader& Header,
                     const TDibPalette& Palette, QImage& Image, bool UseAlpha) {
    if (Header.Compression == DibRle8 || Header.Compression == DibRle4) {
        DecodeRle(Input, End, Header, Palette, Image);
        return false;
    }
    const int Width = Image.width();
    const int Rows = Image.height();
    const int Bits = Header.BitCount;
    const std::int64_t Stride = DibStride(Width, Bits);
    const std::int64_t RowBytes = (std::int64_t(Width) * Bits + 7) / 8;
    const bool Alpha = UseAlpha && Header.AlphaMask != 0;
    const bool Plain = Bits == 32 && Header.RedMask == 0xFF0000 && Header.GreenMask == 0xFF00 &&
                       Header.BlueMask == 0xFF;
    const bool PlainBgr = Plain && !Alpha;
    const bool PlainBgra = Plain && Alpha && Header.AlphaMask == 0xFF000000;
    const TChannel R(Header.RedMask), G(Header.GreenMask), B(Header.BlueMask), A(Header.AlphaMask);
    std::vector<std::uint8_t> Row(static_cast<std::size_t>(Stride));
    bool AnyAlpha = false;
    for (int Y = 0; Y < Rows; ++Y) {
        const std::int64_t Length = std::min(Stride, End - Input.Position());
        if (Length < RowBytes)
            Input.Truncated();
        Input.Read(Row.data(), static_cast<std::size_t>(Length));
        std::uint8_t* Out = Image.scanLine(Header.TopDown ? Y : Rows - 1 - Y);
        const std::uint8_t* In = Row.data();
        switch (Bits) {
        case 1:
            ConvertIndexed<1>(In, Out, Width, Palette);
            break;
        case 2:
            ConvertIndexed<2>(In, Out, Width, Palette);
            break;
        case 4:
            ConvertIndexed<4>(In, Out, Width, Palette);
            break;
        case 8:
            ConvertIndexed<8>(In, Out, Width, Palette);
            break;
        case 16:
            AnyAlpha |= Alpha ? ConvertFields<2, true>(In, Out, Width, R, G, B, A)
                              : ConvertFields<2, false>(In, Out, Width, R, G, B, A);
            break;
        case 24:
            if (Header.Compression == DibRgb)
                ConvertBgr(In, Out, Width, 3);
            else
                ConvertFields<3, false>(In, Out, Width, R, G, B, A);
            break;
        default:
            if (PlainBgr)
                ConvertBgr(In, Out, Width, 4);
            else if (PlainBgra)
                AnyAlpha |= ConvertBgra(In, Out, Width);
            else
                AnyAlpha |= Alpha ? ConvertFields<4, true>(In, Out, Width, R, G, B, A)
                                  : ConvertFields<4, false>(In, Out, Width, R, G, B, A);
            break;
        }
    }
    return AnyAlpha;
}

} // namespace korvane
