// Truevision Targa (.tga, .vst, .afi): colour-mapped, true-colour and grey images, raw or
// run-length encoded, either origin. Attribute (alpha) bits count only when the descriptor
// declares them and no TGA 2.0 extension area says they are unused; they are composited over
// white.

#include "image/readers/BlockInput.h"
#include "image/readers/PaletteFormat.h"
#include "image/readers/Readers.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace korvane {

namespace {

constexpr std::int64_t HeaderSize = 18;
constexpr std::int64_t FooterSize = 26;
constexpr std::int64_t ExtensionAreaSize = 495;

unsigned LE16(const std::uint8_t* P) {
    return P[0] | (P[1] << 8);
}

// Run-length packets: a header byte (bit 7 set: one pixel repeated, else literal pixels) for
// 1..128 pixels. A packet may continue into the next row (TGA 1.0 writers do this); whatever
// lies beyond the last row is never read.
class TRleRows {
public:
    TRleRows(TBlockInput& Input, int PixelBytes) : FInput(Input), FBytes(PixelBytes) {}

    void DecodeRow(std::uint8_t* Row, int Width) {
        int X = 0;
        while (X < Width) {
            if (FPending == 0) {
                const std::uint8_t Header = FInput.Next();
                FPending = (Header & 0x7F) + 1;
                FRun = (Header & 0x80) != 0;
                if (FRun)
                    FInput.Copy(FValue, static_cast<std::size_t>(FBytes));
            }
            const int N = std::min(FPending, Width - X);
            std::uint8_t* Out = Row + static_cast<std::size_t>(X) * FBytes;
            if (!FRun) {
                FInput.Copy(Out, static_cast<std::size_t>(N) * FBytes);
            } else if (FBytes == 1) {
                std::memset(Out, FValue[0], static_cast<std::size_t>(N));
            } else {
                // One pixel, then copies of what is already filled, doubling each time.
                const std::size_t Total = static_cast<std::size_t>(N) * FBytes;
                std::memcpy(Out, FValue, static_cast<std::size_t>(FBytes));
                for (std::size_t Done = FBytes; Done < Total; Done *= 2)
                    std::memcpy(Out + Done, Out, std::min(Done, Total - Done));
            }
            X += N;
            FPending -= N;
        }
    }

private:
    TBlockInput& FInput;
    int FBytes;
    int FPending = 0;
    bool FRun = false;
    std::uint8_t FValue[4] = {};
};

enum class EPixel { Index8, Index16, Grey8, GreyAlpha16, Rgb555, Bgr24, Bgra32 };
enum class EAlpha { None, Straight, Premultiplied };

std::uint8_t Expand5(unsigned V) {
    return static_cast<std::uint8_t>((V << 3) | (V >> 2));
}

std::uint8_t Blend(unsigned C, unsigned A, EAlpha Alpha) {
    if (Alpha == EAlpha::Premultiplied)
        return static_cast<std::uint8_t>(std::min(255u, C + 255u - A));
    return CompositeOverWhite(C, A);
}

void PutColour(std::uint8_t* Out, unsigned R, unsigned G, unsigned B, unsigned A, EAlpha Alpha) {
    if (Alpha == EAlpha::None || A == 255) {
        Out[0] = static_cast<std::uint8_t>(R);
        Out[1] = static_cast<std::uint8_t>(G);
        Out[2] = static_cast<std::uint8_t>(B);
    } else {
        Out[0] = Blend(R, A, Alpha);
        Out[1] = Blend(G, A, Alpha);
        Out[2] = Blend(B, A, Alpha);
    }
}

// A 16-bit A-R-G-B 1-5-5-5 little-endian value; the attribute bit is alpha only on request.
void Put555(std::uint8_t* Out, unsigned V, EAlpha Alpha) {
    PutColour(Out, Expand5((V >> 10) & 31), Expand5((V >> 5) & 31), Expand5(V & 31),
              (V & 0x8000) ? 255 : 0, Alpha);
}

struct TConverter {
    EPixel Pixel = EPixel::Bgr24;
    EAlpha Alpha = EAlpha::None;
    // Colour-mapped images: RGB for every possible pixel value; values outside the map are black.
    std::vector<std::uint8_t> Lut;
};

// File pixels to RGB. Src may be Dst: the expanding formats run backwards and the others
// forwards, so no pixel is overwritten before it is read.
void ConvertRow(const TConverter& C, const std::uint8_t* Src, std::uint8_t* Dst, int Width) {
    switch (C.Pixel) {
    case EPixel::Index8:
        for (int X = Width - 1; X >= 0; --X) {
            const std::uint8_t* P = &C.Lut[Src[X] * 3u];
            std::uint8_t* D = Dst + 3 * X;
            D[0] = P[0];
            D[1] = P[1];
            D[2] = P[2];
        }
        break;
    case EPixel::Index16:
        for (int X = Width - 1; X >= 0; --X) {
            const std::uint8_t* P = &C.Lut[LE16(Src + 2 * X) * 3u];
            std::uint8_t* D = Dst + 3 * X;
            D[0] = P[0];
            D[1] = P[1];
            D[2] = P[2];
        }
        break;
    case EPixel::Grey8:
        for (int X = Width - 1; X >= 0; --X) {
            const std::uint8_t V = Src[X];
            std::uint8_t* D = Dst + 3 * X;
            D[0] = D[1] = D[2] = V;
        }
        break;
    case EPixel::GreyAlpha16:
        for (int X = Width - 1; X >= 0; --X) {
            const unsigned V = Src[2 * X];
            const unsigned A = Src[2 * X + 1];
            PutColour(Dst + 3 * X, V, V, V, A, C.Alpha);
        }
        break;
    case EPixel::Rgb555:
        for (int X = Width - 1; X >= 0; --X)
            Put555(Dst + 3 * X, LE16(Src + 2 * X), C.Alpha);
        break;
    case EPixel::Bgr24:
        for (int X = 0; X < Width; ++X) {
            const std::uint8_t* S = Src + 3 * X;
            std::uint8_t* D = Dst + 3 * X;
            const std::uint8_t B = S[0];
            D[1] = S[1];
            D[0] = S[2];
            D[2] = B;
        }
        break;
    case EPixel::Bgra32:
        for (int X = 0; X < Width; ++X) {
            const std::uint8_t* S = Src + 4 * X;
            PutColour(Dst + 3 * X, S[2], S[1], S[0], S[3], C.Alpha);
        }
        break;
    }
}

void MirrorRow(std::uint8_t* Row, int Width) {
    for (int L = 0, R = Width - 1; L < R; ++L, --R)
        std::swap_ranges(Row + 3 * L, Row + 3 * L + 3, Row + 3 * R);
}

// Alpha counts when the descriptor declares alpha bits, unless a TGA 2.0 extension area says
// the attribute bits hold no alpha (types 0-2) or premultiplied alpha (type 4).
EAlpha AlphaUse(TByteReader& Input, unsigned AlphaBits) {
    if (AlphaBits == 0)
        return EAlpha::None;
    if (Input.Size() < HeaderSize + FooterSize)
        return EAlpha::Straight;
    std::uint8_t Footer[FooterSize];
    Input.Seek(Input.Size() - FooterSize);
    Input.Read(Footer, sizeof Footer);
    if (std::memcmp(Footer + 8, "TRUEVISION-XFILE.", 18) != 0)
        return EAlpha::Straight;
    const std::int64_t Extension = Footer[0] | (Footer[1] << 8) | (Footer[2] << 16) |
                                   (static_cast<std::int64_t>(Footer[3]) << 24);
    if (Extension < HeaderSize || Extension + ExtensionAreaSize > Input.Size() - FooterSize)
        return EAlpha::Straight;
    Input.Seek(Extension);
    if (Input.U16LE() != ExtensionAreaSize)
        return EAlpha::Straight;
    Input.Seek(Extension + ExtensionAreaSize - 1);
    const std::uint8_t Type = Input.U8();
    if (Type < 3)
        return EAlpha::None;
    return Type == 4 ? EAlpha::Premultiplied : EAlpha::Straight;
}

[[noreturn]] void Unsupported(const TByteReader& Input, const std::string& What) {
    throw EImageError(Input.Format() + " images " + What + " are not supported.");
}

// The colour map as a lookup table over every pixel value (2^IndexBits of them).
std::vector<std::uint8_t> BuildLut(const std::vector<std::uint8_t>& Map, unsigned EntryBits,
                                   unsigned First, unsigned Length, unsigned IndexBits,
                                   EAlpha Alpha, std::vector<std::uint8_t>& Colours) {
    const unsigned Values = 1u << IndexBits;
    const unsigned EntryBytes = (EntryBits + 7) / 8;
    std::vector<std::uint8_t> Lut(static_cast<std::size_t>(Values) * 3, 0);
    for (unsigned I = 0; I < Length && First + I < Values; ++I) {
        const std::uint8_t* E = &Map[static_cast<std::size_t>(I) * EntryBytes];
        std::uint8_t* Out = &Lut[(First + I) * 3u];
        switch (EntryBits) {
        case 15:
            Put555(Out, LE16(E), EAlpha::None);
            break;
        case 16:
            Put555(Out, LE16(E), Alpha);
            break;
        case 24:
            PutColour(Out, E[2], E[1], E[0], 255, EAlpha::None);
            break;
        default:
            PutColour(Out, E[2], E[1], E[0], E[3], Alpha);
            break;
        }
        Colours.insert(Colours.end(), Out, Out + 3);
    }
    return Lut;
}

} // namespace

TWorkingImage ReadTGA(TByteReader& Input) {
    std::uint8_t H[HeaderSize];
    Input.Read(H, sizeof H);
    const unsigned IdLength = H[0];
    const unsigned MapType = H[1];
    const unsigned ImageType = H[2];
    const unsigned MapFirst = LE16(H + 3);
    const unsigned MapLength = LE16(H + 5);
    const unsigned MapBits = H[7];
    const int Width = static_cast<int>(LE16(H + 12));
    const int Height = static_cast<int>(LE16(H + 14));
    const unsigned PixelBits = H[16];
    const unsigned Descriptor = H[17];

    bool Rle = false;
    switch (ImageType) {
    case 1:
    case 2:
    case 3:
        break;
    case 9:
    case 10:
    case 11:
        Rle = true;
        break;
    case 0:
        throw EImageError(Input.Format() + " file holds no image data.");
    case 32:
    case 33:
        Unsupported(Input, "compressed with Huffman and delta coding");
    default:
        Input.Damaged("unknown image type " + std::to_string(ImageType) + ".");
    }
    const unsigned Kind = ImageType & 7;
    if (MapType > 1)
        Input.Damaged("unknown colour map type " + std::to_string(MapType) + ".");
    if (Kind == 1 && (MapType != 1 || MapLength == 0))
        Input.Damaged("the colour-mapped image has no colour map.");
    if (Kind == 1 && MapBits != 15 && MapBits != 16 && MapBits != 24 && MapBits != 32)
        Unsupported(Input, "with " + std::to_string(MapBits) + "-bit colour map entries");

    TConverter C;
    // PixelBits is a byte: a factor of 1000 keeps the kinds apart (1 × 100 + 132 would be
    // taken for 2 × 100 + 32).
    switch (Kind * 1000 + PixelBits) {
    case 1008:
        C.Pixel = EPixel::Index8;
        break;
    case 1016:
        C.Pixel = EPixel::Index16;
        break;
    case 2015:
    case 2016:
        C.Pixel = EPixel::Rgb555;
        break;
    case 2024:
        C.Pixel = EPixel::Bgr24;
        break;
    case 2032:
        C.Pixel = EPixel::Bgra32;
        break;
    case 3008:
        C.Pixel = EPixel::Grey8;
        break;
    case 3016:
        C.Pixel = EPixel::GreyAlpha16;
        break;
    default:
        Unsupported(Input, "of type " + std::to_string(ImageType) + " with " +
                               std::to_string(PixelBits) + " bits per pixel");
    }
    CheckImageSize(Width, Height, Input.Format().c_str());

    const bool MayHaveAlpha = (Kind == 1 && (MapBits == 16 || MapBits == 32)) ||
                              (Kind == 2 && PixelBits != 15 && PixelBits != 24) ||
                              C.Pixel == EPixel::GreyAlpha16;
    if (MayHaveAlpha)
        C.Alpha = AlphaUse(Input, Descriptor & 15);

    Input.Seek(HeaderSize + IdLength);
    EPixelFormat Format = Kind == 3 ? EPixelFormat::Gray256 : EPixelFormat::TrueColor;
    if (MapType == 1) {
        const std::int64_t MapBytes = static_cast<std::int64_t>(MapLength) * ((MapBits + 7) / 8);
        if (Kind != 1) {
            Input.Skip(MapBytes);
        } else {
            if (MapBytes > Input.Remaining())
                Input.Truncated();
            std::vector<std::uint8_t> Map(static_cast<std::size_t>(MapBytes));
            Input.Read(Map.data(), Map.size());
            std::vector<std::uint8_t> Colours;
            C.Lut = BuildLut(Map, MapBits, MapFirst, MapLength, PixelBits, C.Alpha, Colours);
            Format = PaletteFormat(Colours.data(), Colours.size() / 3);
        }
    }

    // Refuse before allocating when the data cannot hold the image: raw pixels need their
    // bytes, and an RLE packet of at most 128 pixels needs a header byte and one pixel.
    const int Bytes = static_cast<int>((PixelBits + 7) / 8);
    const std::int64_t Pixels = static_cast<std::int64_t>(Width) * Height;
    const std::int64_t Needed = Rle ? (Pixels + 127) / 128 * (1 + Bytes) : Pixels * Bytes;
    if (Needed > Input.Remaining())
        Input.Truncated();

    TWorkingImage Result;
    Result.Image = NewWorkingImage(Width, Height, Input.Format().c_str());
    Result.PixelFormat = Format;
    const bool TopDown = (Descriptor & 0x20) != 0;
    const bool RightToLeft = (Descriptor & 0x10) != 0;
    // Pixels of up to 3 bytes are read into the image row and converted in place.
    std::vector<std::uint8_t> Wide(Bytes > 3 ? CheckedMul(Width, Bytes) : 0);
    std::unique_ptr<TBlockInput> Block;
    std::unique_ptr<TRleRows> Packets;
    if (Rle) {
        Block = std::make_unique<TBlockInput>(Input);
        Packets = std::make_unique<TRleRows>(*Block, Bytes);
    }
    for (int Row = 0; Row < Height; ++Row) {
        std::uint8_t* Dst = Result.Image.scanLine(TopDown ? Row : Height - 1 - Row);
        std::uint8_t* Src = Bytes > 3 ? Wide.data() : Dst;
        if (Rle)
            Packets->DecodeRow(Src, Width);
        else
            Input.Read(Src, static_cast<std::size_t>(Width) * Bytes);
        ConvertRow(C, Src, Dst, Width);
        if (RightToLeft)
            MirrorRow(Dst, Width);
    }
    return Result;
}

} // namespace korvane
