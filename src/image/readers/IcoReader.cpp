#include "image/readers/IcoReader.h"

#include "image/readers/DibDecoder.h"
#include "image/readers/Readers.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <numeric>
#include <vector>

namespace korvane {

namespace {

constexpr std::uint8_t PngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

struct TIcoEntry {
    // Size and depth as far as they are known, for choosing an image.
    std::int64_t Width = 0;
    std::int64_t Height = 0;
    int Bits = 0;
    std::int64_t Offset = 0;
    std::int64_t Bytes = 0;
};

std::uint32_t U32At(const std::uint8_t* P) {
    return P[0] | (P[1] << 8) | (P[2] << 16) | (static_cast<std::uint32_t>(P[3]) << 24);
}

std::uint32_t U32BeAt(const std::uint8_t* P) {
    return (static_cast<std::uint32_t>(P[0]) << 24) | (P[1] << 16) | (P[2] << 8) | P[3];
}

bool InFile(const TByteReader& Input, const TIcoEntry& Entry) {
    return Entry.Offset <= Input.Size() && Entry.Bytes <= Input.Size() - Entry.Offset;
}

[[noreturn]] void EntryOutsideFile(const TByteReader& Input, const TIcoEntry& Entry) {
    if (Entry.Offset > Input.Size())
        Input.Damaged("an image's data offset lies beyond the end of the file.");
    Input.Truncated();
}

std::vector<TIcoEntry> ReadDirectory(TByteReader& Input) {
    Input.Seek(0);
    const std::uint16_t Reserved = Input.U16LE();
    const std::uint16_t Type = Input.U16LE();
    const std::uint16_t Count = Input.U16LE();
    if (Reserved != 0)
        Input.Damaged("it is not an icon file.");
    if (Type != 1 && Type != 2)
        Input.Damaged("unknown resource type " + std::to_string(Type) +
                      " (1 is an icon, 2 a cursor).");
    if (Count == 0)
        Input.Damaged("the file holds no images.");
    std::vector<std::uint8_t> Directory(std::size_t(16) * Count);
    Input.Read(Directory.data(), Directory.size());
    std::vector<TIcoEntry> Entries(Count);
    for (std::size_t I = 0; I < Count; ++I) {
        const std::uint8_t* D = Directory.data() + 16 * I;
        TIcoEntry& E = Entries[I];
        E.Width = D[0] != 0 ? D[0] : 256;
        E.Height = D[1] != 0 ? D[1] : 256;
        // Cursors keep their hot spot where icons keep planes and bit count.
        E.Bits = Type == 1 ? D[6] | (D[7] << 8) : 0;
        if (E.Bits == 0 && D[2] != 0)
            E.Bits = std::bit_width(static_cast<unsigned>(D[2] - 1));
        E.Bytes = U32At(D + 8);
        E.Offset = U32At(D + 12);
    }
    return Entries;
}

// Takes the bit depth (and a size over 255) from the image's own header when the entry
// lies in the file.
void Refine(TByteReader& Input, TIcoEntry& E) {
    if (!InFile(Input, E) || E.Bytes < 26)
        return;
    std::uint8_t B[26];
    Input.Seek(E.Offset);
    Input.Read(B, sizeof B);
    int Bits = 0;
    if (std::memcmp(B, PngSignature, 8) == 0) {
        static const int Channels[7] = {1, 0, 3, 1, 2, 0, 4};
        Bits = B[25] <= 6 ? B[24] * Channels[B[25]] : 0;
        if (E.Width == 256 && E.Height == 256) {
            // Sizes beyond any image the program opens are held at that limit, so that
            // comparing two areas cannot overflow; such an image is refused when decoded.
            const auto Side = [](std::uint32_t V) {
                return std::clamp<std::int64_t>(V, 256, MaxImageSide + 1);
            };
            E.Width = Side(U32BeAt(B + 16));
            E.Height = Side(U32BeAt(B + 20));
        }
    } else {
        const std::uint32_t HeaderSize = U32At(B);
        Bits = HeaderSize == 12 ? B[10] | (B[11] << 8) : B[14] | (B[15] << 8);
    }
    if (Bits >= 1 && Bits <= 64)
        E.Bits = Bits;
}

// Marks the masked pixels of an image white.
void ApplyAndMask(TByteReader& Input, std::int64_t End, bool TopDown, QImage& Image) {
    const int Width = Image.width();
    const int Rows = Image.height();
    const std::int64_t Stride = DibStride(Width, 1);
    std::vector<std::uint8_t> Row(static_cast<std::size_t>(Stride));
    for (int Y = 0; Y < Rows; ++Y) {
        const std::int64_t Length = std::min(Stride, End - Input.Position());
        if (Length < (Width + 7) / 8)
            Input.Truncated();
        Input.Read(Row.data(), static_cast<std::size_t>(Length));
        std::uint8_t* Out = Image.scanLine(TopDown ? Y : Rows - 1 - Y);
        for (int X = 0; X < Width; ++X)
            if (Row[X >> 3] & (0x80 >> (X & 7)))
                std::memset(Out + 3 * X, 255, 3);
    }
}

TWorkingImage DecodePngEntry(TByteReader& Input, const TIcoEntry& E) {
    std::vector<std::uint8_t> Copy;
    const std::uint8_t* Data = Input.MemoryData();
    if (Data) {
        Data += E.Offset;
    } else {
        Copy.resize(static_cast<std::size_t>(E.Bytes));
        Input.Seek(E.Offset);
        Input.Read(Copy.data(), Copy.size());
        Data = Copy.data();
    }
    TByteReader Png(Data, static_cast<std::size_t>(E.Bytes), Input.Format());
    return ReadPNG(Png);
}

TWorkingImage DecodeEntry(TByteReader& Input, const TIcoEntry& E) {
    if (!InFile(Input, E))
        EntryOutsideFile(Input, E);
    const std::int64_t End = E.Offset + E.Bytes;
    if (E.Bytes >= 8) {
        std::uint8_t Signature[8];
        Input.Seek(E.Offset);
        Input.Read(Signature, 8);
        if (std::memcmp(Signature, PngSignature, 8) == 0)
            return DecodePngEntry(Input, E);
    }

    Input.Seek(E.Offset);
    TDibHeader Header = ReadDibHeader(Input);
    if (Input.Position() > End)
        Input.Truncated();
    if (Header.Compression != DibRgb && Header.Compression != DibBitFields &&
        Header.Compression != DibAlphaBitFields)
        throw EImageError(Input.Format() + " files with compressed bitmaps are not supported.");
    // The bitmap's height counts the colour rows and the mask rows.
    const std::int64_t Rows = Header.Height / 2;
    if (Header.BitCount == 32 && Header.Compression == DibRgb)
        Header.AlphaMask = 0xFF000000;
    const TDibPalette Palette = ReadDibPalette(Input, Header, End - Input.Position());
    const std::int64_t PixelStart = Input.Position();
    CheckDibDataSize(Input, Header, Rows, End - PixelStart);
    const std::int64_t MaskStart = PixelStart + DibStride(Header.Width, Header.BitCount) * Rows;
    const bool MaskPresent =
        End - MaskStart >= DibStride(Header.Width, 1) * (Rows - 1) + (Header.Width + 7) / 8;
    if (!MaskPresent && Header.AlphaMask == 0)
        Input.Truncated();

    TWorkingImage Result;
    Result.Image = NewWorkingImage(Header.Width, Rows, Input.Format().c_str());
    Result.PixelFormat = DibPixelFormat(Header);
    if (Header.AlphaMask != 0) {
        if (DecodeDibPixels(Input, End, Header, Palette, Result.Image, true))
            return Result; // the alpha channel rules; the mask is ignored
        // An alpha channel that is zero everywhere: opaque colours under the mask.
        Input.Seek(PixelStart);
        DecodeDibPixels(Input, End, Header, Palette, Result.Image, false);
        if (!MaskPresent)
            return Result;
    } else {
        DecodeDibPixels(Input, End, Header, Palette, Result.Image, false);
    }
    Input.Seek(MaskStart);
    ApplyAndMask(Input, End, Header.TopDown, Result.Image);
    return Result;
}

} // namespace

int IcoEntryCount(TByteReader& Input) {
    return static_cast<int>(ReadDirectory(Input).size());
}

TWorkingImage ReadIcoEntry(TByteReader& Input, int Index) {
    const std::vector<TIcoEntry> Entries = ReadDirectory(Input);
    if (Index < 0 || static_cast<std::size_t>(Index) >= Entries.size())
        throw EImageError(Input.Format() + " file has no image " + std::to_string(Index) + ".");
    return DecodeEntry(Input, Entries[static_cast<std::size_t>(Index)]);
}

// The largest image and, among those, the deepest; the first of equals. Images whose data
// lies outside the file are passed over while another one is usable.
TWorkingImage ReadICO(TByteReader& Input) {
    std::vector<TIcoEntry> Entries = ReadDirectory(Input);
    // Peek at the images in file order, so that a file reader reads forwards.
    std::vector<std::size_t> Order(Entries.size());
    std::iota(Order.begin(), Order.end(), 0);
    std::sort(Order.begin(), Order.end(),
              [&](std::size_t A, std::size_t B) { return Entries[A].Offset < Entries[B].Offset; });
    for (std::size_t I : Order)
        Refine(Input, Entries[I]);
    const TIcoEntry* Best = nullptr;
    for (const TIcoEntry& E : Entries) {
        if (!InFile(Input, E))
            continue;
        if (!Best || E.Width * E.Height > Best->Width * Best->Height ||
            (E.Width * E.Height == Best->Width * Best->Height && E.Bits > Best->Bits))
            Best = &E;
    }
    return DecodeEntry(Input, Best ? *Best : Entries.front());
}

} // namespace korvane
