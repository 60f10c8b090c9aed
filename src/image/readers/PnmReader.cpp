// Netpbm images (.pbm, .pgm, .ppm), plain (P1-P3) and raw (P4-P6). Samples of a maxval M
// become 8 bits as (v·255 + M/2) / M, except that M = 65535 keeps the high byte. Samples above
// M count as M. Only the first image of a file is read.

#include "image/readers/Readers.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace korvane {

namespace {

constexpr std::size_t BlockSize = 1 << 16;
constexpr std::int64_t MaxMaxval = 65535;
// Header and sample numbers saturate here, far beyond anything valid.
constexpr std::int64_t NumberCap = std::int64_t(1) << 40;

bool IsSpace(int C) {
    return C == ' ' || C == '\t' || C == '\n' || C == '\r' || C == '\v' || C == '\f';
}

bool IsDigit(int C) {
    return C >= '0' && C <= '9';
}

// The text of the header and of plain rasters, fetched a block at a time. -1 is the end.
class TPnmText {
public:
    explicit TPnmText(TByteReader& Input) : FInput(Input), FBlock(BlockSize) {}

    int Peek() {
        if (FAt == FLimit && !Refill())
            return -1;
        return *FAt;
    }

    int Get() {
        const int C = Peek();
        if (C >= 0)
            ++FAt;
        return C;
    }

    // The file position of the next byte not yet consumed.
    std::int64_t Position() const { return FInput.Position() - (FLimit - FAt); }

    // Skips white space and comments (from '#' to the end of the line).
    void SkipSpace() {
        for (;;) {
            const int C = Peek();
            if (IsSpace(C)) {
                ++FAt;
            } else if (C == '#') {
                SkipComment();
            } else {
                return;
            }
        }
    }

    void SkipComment() {
        for (int C = Get(); C >= 0 && C != '\n' && C != '\r'; C = Get()) {
        }
    }

    // A decimal number after optional white space and comments; it must end in white space,
    // a comment or the end of the file. Throws with What when it is not a number.
    std::int64_t Number(const char* What) {
        SkipSpace();
        int C = Peek();
        if (C < 0)
            FInput.Truncated();
        if (!IsDigit(C))
            FInput.Damaged(std::string(What) + " is not a number.");
        std::int64_t Value = 0;
        do {
            Value = std::min(Value * 10 + (C - '0'), NumberCap);
            ++FAt;
            C = Peek();
        } while (IsDigit(C));
        if (C >= 0 && !IsSpace(C) && C != '#')
            FInput.Damaged(std::string(What) + " is not a number.");
        return Value;
    }

    const TByteReader& Input() const { return FInput; }

private:
    bool Refill() {
        const std::size_t N = FInput.ReadSome(FBlock.data(), FBlock.size());
        FAt = FBlock.data();
        FLimit = FAt + N;
        return N > 0;
    }

    TByteReader& FInput;
    std::vector<std::uint8_t> FBlock;
    const std::uint8_t* FAt = nullptr;
    const std::uint8_t* FLimit = nullptr;
};

// 8-bit value of every sample value 0..65535 (or 0..255); values above Maxval count as Maxval.
std::vector<std::uint8_t> SampleTable(std::int64_t Maxval, std::size_t Size) {
    std::vector<std::uint8_t> Table(Size, 255);
    const std::size_t Last = std::min<std::size_t>(static_cast<std::size_t>(Maxval), Size - 1);
    for (std::size_t V = 0; V <= Last; ++V)
        Table[V] = Maxval == MaxMaxval ? static_cast<std::uint8_t>(V >> 8)
                                       : ScaleSample(static_cast<std::uint32_t>(V),
                                                     static_cast<std::uint32_t>(Maxval));
    return Table;
}

void ReadPlain(TPnmText& Text, TWorkingImage& Result, int Kind, const std::uint8_t* Table) {
    const int Width = Result.Image.width();
    const int Height = Result.Image.height();
    for (int Y = 0; Y < Height; ++Y) {
        std::uint8_t* Row = Result.Image.scanLine(Y);
        if (Kind == 1) {
            // Pixels are single digits, with or without white space between them; 1 is black.
            for (int X = 0; X < Width; ++X) {
                Text.SkipSpace();
                const int C = Text.Get();
                if (C < 0)
                    Text.Input().Truncated();
                if (C != '0' && C != '1')
                    Text.Input().Damaged("a pixel of the bitmap is not 0 or 1.");
                std::memset(Row + 3 * X, C == '1' ? 0 : 255, 3);
            }
        } else if (Kind == 2) {
            for (int X = 0; X < Width; ++X) {
                const std::int64_t V = std::min<std::int64_t>(Text.Number("a sample"), MaxMaxval);
                std::memset(Row + 3 * X, Table[V], 3);
            }
        } else {
            for (int I = 0; I < 3 * Width; ++I)
                Row[I] = Table[std::min<std::int64_t>(Text.Number("a sample"), MaxMaxval)];
        }
    }
}

void ReadRaw(TByteReader& Input, TWorkingImage& Result, int Kind, std::int64_t Maxval) {
    const int Width = Result.Image.width();
    const int Height = Result.Image.height();
    if (Kind == 4) {
        // Rows are padded to whole bytes; 1 is black. Expanding backwards in the row never
        // overwrites a byte that is still to be read.
        const std::size_t RowBytes = (static_cast<std::size_t>(Width) + 7) / 8;
        for (int Y = 0; Y < Height; ++Y) {
            std::uint8_t* Row = Result.Image.scanLine(Y);
            Input.Read(Row, RowBytes);
            for (int X = Width - 1; X >= 0; --X) {
                const bool Black = (Row[X >> 3] >> (7 - (X & 7))) & 1;
                std::memset(Row + 3 * X, Black ? 0 : 255, 3);
            }
        }
        return;
    }
    const std::size_t Samples = static_cast<std::size_t>(Width) * (Kind == 6 ? 3 : 1);
    if (Maxval < 256) {
        const std::vector<std::uint8_t> Table = SampleTable(Maxval, 256);
        for (int Y = 0; Y < Height; ++Y) {
            std::uint8_t* Row = Result.Image.scanLine(Y);
            Input.Read(Row, Samples);
            if (Kind == 6) {
                if (Maxval != 255)
                    for (std::size_t I = 0; I < Samples; ++I)
                        Row[I] = Table[Row[I]];
            } else {
                for (int X = Width - 1; X >= 0; --X)
                    std::memset(Row + 3 * X, Table[Row[X]], 3);
            }
        }
        return;
    }
    // Two bytes per sample, most significant first.
    const std::vector<std::uint8_t> Table = SampleTable(Maxval, 65536);
    std::vector<std::uint8_t> Buffer(CheckedMul(Samples, 2));
    for (int Y = 0; Y < Height; ++Y) {
        std::uint8_t* Row = Result.Image.scanLine(Y);
        Input.Read(Buffer.data(), Buffer.size());
        const std::uint8_t* S = Buffer.data();
        if (Kind == 6) {
            for (std::size_t I = 0; I < Samples; ++I, S += 2)
                Row[I] = Table[(S[0] << 8) | S[1]];
        } else {
            for (int X = 0; X < Width; ++X, S += 2)
                std::memset(Row + 3 * X, Table[(S[0] << 8) | S[1]], 3);
        }
    }
}

} // namespace

TWorkingImage ReadPNM(TByteReader& Input) {
    TPnmText Text(Input);
    const int P = Text.Get();
    const int Digit = Text.Get();
    if (P < 0 || Digit < 0)
        Input.Truncated();
    if (P != 'P' || Digit < '1' || Digit > '6') {
        std::string Magic{static_cast<char>(P), static_cast<char>(Digit)};
        for (char& C : Magic)
            if (C < 32 || C > 126)
                C = '?';
        Input.Damaged("unknown magic number \"" + Magic + "\".");
    }
    const int Kind = Digit - '0';
    const bool Bitmap = Kind == 1 || Kind == 4;
    const std::int64_t Width = Text.Number("the width");
    const std::int64_t Height = Text.Number("the height");
    const std::int64_t Maxval = Bitmap ? 1 : Text.Number("the maximum sample value");
    CheckImageSize(Width, Height, Input.Format().c_str());
    if (Maxval < 1 || Maxval > MaxMaxval)
        Input.Damaged("the maximum sample value " + std::to_string(Maxval) +
                      " is not between 1 and 65535.");

    TWorkingImage Result;
    if (Bitmap || Maxval == 1)
        Result.PixelFormat = EPixelFormat::BlackWhite;
    else if (Kind == 3 || Kind == 6)
        Result.PixelFormat = EPixelFormat::TrueColor;
    else
        Result.PixelFormat = Maxval <= 15 ? EPixelFormat::Gray16 : EPixelFormat::Gray256;

    const std::int64_t Channels = (Kind == 3 || Kind == 6) ? 3 : 1;
    const std::int64_t Samples = Width * Height * Channels;
    if (Kind <= 3) {
        // Refuse before allocating when the text cannot hold the raster: a bitmap pixel takes
        // at least one character, other samples a digit and a separator.
        const std::int64_t Needed = Kind == 1 ? Samples : 2 * Samples - 1;
        if (Needed > Input.Size() - Text.Position())
            Input.Truncated();
        const std::vector<std::uint8_t> Table = SampleTable(Maxval, MaxMaxval + 1);
        Result.Image = NewWorkingImage(Width, Height, Input.Format().c_str());
        ReadPlain(Text, Result, Kind, Table.data());
        return Result;
    }

    // One white-space character (or a comment running to the end of its line) ends the header.
    const int Separator = Text.Get();
    if (Separator < 0)
        Input.Truncated();
    if (Separator == '#')
        Text.SkipComment();
    else if (!IsSpace(Separator))
        Input.Damaged("the header does not end in white space.");
    Input.Seek(Text.Position());
    const std::int64_t Needed =
        Kind == 4 ? (Width + 7) / 8 * Height : Samples * (Maxval < 256 ? 1 : 2);
    if (Needed > Input.Remaining())
        Input.Truncated();
    Result.Image = NewWorkingImage(Width, Height, Input.Format().c_str());
    ReadRaw(Input, Result, Kind, Maxval);
    return Result;
}

} // namespace korvane
