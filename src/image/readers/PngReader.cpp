// PNG images through libpng: every colour type and bit depth, tRNS transparency and Adam7
// interlacing. libpng expands palettes, low-bit grey and tRNS and keeps the high byte of
// 16-bit samples (png_set_strip_16); alpha is composited over white here. Ancillary colour
// chunks (gAMA, cHRM, iCCP, sBIT, bKGD) are ignored: pixels stay as stored. They and the other
// ancillary chunks but tRNS are not even read.
//
// libpng leaves a failing call by longjmp, back to the small function that made the call.
// Those functions hold only plain data; the C++ objects (the working image, buffers) live in
// their caller ReadPNG, which a jump never crosses.

#include "image/readers/Readers.h"

#include <csetjmp>
#include <cstring>
#include <png.h>
#include <vector>

namespace korvane {

namespace {

constexpr const char* FormatName = "PNG";
// Deflate never compresses better than 1032:1, so image data needs at least this fraction
// of its decompressed size in the file.
constexpr std::uint64_t MaxDeflateRatio = 1032;

// What the libpng callbacks share with the reader: plain data only.
struct TPngState {
    TByteReader* Input = nullptr;
    bool Truncated = false;
    char Message[256] = {};    // libpng's error
    char InputError[256] = {}; // the input's own exception
    char Warning[256] = {};    // libpng's first warning
};

void CopyMessage(char (&To)[256], const char* From) {
    if (!To[0]) {
        std::strncpy(To, From ? From : "", sizeof To - 1);
        To[sizeof To - 1] = '\0';
    }
}

[[noreturn]] void OnPngError(png_structp Png, png_const_charp Message) {
    auto* State = static_cast<TPngState*>(png_get_error_ptr(Png));
    CopyMessage(State->Message, Message);
    png_longjmp(Png, 1);
}

void OnPngWarning(png_structp Png, png_const_charp Message) {
    CopyMessage(static_cast<TPngState*>(png_get_error_ptr(Png))->Warning, Message);
}

void ReadPngData(png_structp Png, png_bytep Data, std::size_t Length) {
    auto* State = static_cast<TPngState*>(png_get_io_ptr(Png));
    bool Failed = false;
    try {
        if (State->Input->ReadSome(Data, Length) != Length) {
            State->Truncated = true;
            Failed = true;
        }
    } catch (const std::exception& Error) {
        CopyMessage(State->InputError, Error.what());
        Failed = true;
    }
    if (Failed)
        png_error(Png, "Read error");
}

struct TPngHeader {
    png_uint_32 Width = 0;
    png_uint_32 Height = 0;
    int Depth = 0;
    int ColourType = 0;
    int Interlace = PNG_INTERLACE_NONE;
    int FileChannels = 0;
    // After the transformations: 8-bit grey, grey + alpha, RGB or RGBA.
    int Channels = 0;
    std::size_t RowBytes = 0;
};

// Reads the chunks before the image data. False when libpng failed.
bool ReadPngInfo(png_structp Png, png_infop Info, TPngHeader* Header) {
    if (setjmp(png_jmpbuf(Png)))
        return false;
    png_read_info(Png, Info);
    png_get_IHDR(Png, Info, &Header->Width, &Header->Height, &Header->Depth, &Header->ColourType,
                 &Header->Interlace, nullptr, nullptr);
    Header->FileChannels = png_get_channels(Png, Info);
    return true;
}

// Sets up the conversion to 8-bit samples. False when libpng failed.
bool StartPngImage(png_structp Png, png_infop Info, TPngHeader* Header) {
    if (setjmp(png_jmpbuf(Png)))
        return false;
    png_set_expand(Png);
    png_set_strip_16(Png);
    if (Header->Interlace != PNG_INTERLACE_NONE)
        png_set_interlace_handling(Png);
    png_read_update_info(Png, Info);
    Header->Channels = png_get_channels(Png, Info);
    Header->RowBytes = png_get_rowbytes(Png, Info);
    return true;
}

// Writes the pixels First, First + Step, ... of an expanded row into an RGB888 row.
void ConvertRow(const std::uint8_t* In, int Channels, std::size_t Width, std::size_t First,
                std::size_t Step, std::uint8_t* Out) {
    for (std::size_t X = First; X < Width; X += Step) {
        const std::uint8_t* P = In + X * Channels;
        std::uint8_t* Q = Out + X * 3;
        switch (Channels) {
        case 1:
            Q[0] = Q[1] = Q[2] = P[0];
            break;
        case 2:
            Q[0] = Q[1] = Q[2] = CompositeOverWhite(P[0], P[1]);
            break;
        case 3:
            Q[0] = P[0];
            Q[1] = P[1];
            Q[2] = P[2];
            break;
        default:
            Q[0] = CompositeOverWhite(P[0], P[3]);
            Q[1] = CompositeOverWhite(P[1], P[3]);
            Q[2] = CompositeOverWhite(P[2], P[3]);
            break;
        }
    }
}

struct TPngTarget {
    std::uint8_t* Pixels = nullptr; // the working image's first row
    std::size_t Stride = 0;         // its bytes per line
    std::uint8_t* Row = nullptr;    // one expanded row, when the rows need converting
};

// Decodes every row into the working image. False when libpng failed.
bool ReadPngRows(png_structp Png, const TPngHeader* Header, const TPngTarget* Target) {
    if (setjmp(png_jmpbuf(Png)))
        return false;
    const int Passes = Header->Interlace != PNG_INTERLACE_NONE ? 7 : 1;
    const std::size_t Width = Header->Width;
    for (int Pass = 0; Pass < Passes; ++Pass) {
        const std::size_t First = Passes == 1 ? 0 : PNG_PASS_START_COL(Pass);
        const std::size_t Step = Passes == 1 ? 1 : PNG_PASS_COL_OFFSET(Pass);
        for (png_uint_32 Y = 0; Y < Header->Height; ++Y) {
            std::uint8_t* Out = Target->Pixels + Y * Target->Stride;
            // Interlaced passes fill only their own pixels of a row.
            if (!Target->Row) {
                png_read_row(Png, Out, nullptr);
                continue;
            }
            png_read_row(Png, Target->Row, nullptr);
            if (Passes == 1 || PNG_ROW_IN_INTERLACE_PASS(Y, Pass))
                ConvertRow(Target->Row, Header->Channels, Width, First, Step, Out);
        }
    }
    return true;
}

EPixelFormat PixelFormatOf(const TPngHeader& Header) {
    switch (Header.ColourType) {
    case PNG_COLOR_TYPE_GRAY:
        return Header.Depth == 1
                   ? EPixelFormat::BlackWhite
                   : (Header.Depth <= 4 ? EPixelFormat::Gray16 : EPixelFormat::Gray256);
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        return EPixelFormat::Gray256;
    case PNG_COLOR_TYPE_PALETTE:
        return Header.Depth <= 4 ? EPixelFormat::Color16 : EPixelFormat::Color256;
    default:
        return EPixelFormat::TrueColor;
    }
}

class TPngReadStruct {
public:
    explicit TPngReadStruct(TPngState& State) {
        FPng = png_create_read_struct(PNG_LIBPNG_VER_STRING, &State, OnPngError, OnPngWarning);
        if (FPng)
            FInfo = png_create_info_struct(FPng);
        if (!FPng || !FInfo)
            throw EImageError("Not enough memory to read a PNG file.");
        png_set_read_fn(FPng, &State, ReadPngData);
        // The ancillary chunks that do not change the pixels are passed over unread, so that
        // none is inflated and no damaged chunk length makes libpng allocate that much (a text
        // chunk of 1.7 GB in a file of 67 bytes did).
        static constexpr png_byte Ignored[] = "bKGD\0cHRM\0eXIf\0gAMA\0hIST\0iCCP\0iTXt\0oFFs\0"
                                              "pCAL\0pHYs\0sBIT\0sCAL\0sPLT\0sRGB\0sTER\0tEXt\0"
                                              "tIME\0zTXt";
        png_set_keep_unknown_chunks(FPng, PNG_HANDLE_CHUNK_NEVER, Ignored, sizeof Ignored / 5);
    }
    ~TPngReadStruct() { png_destroy_read_struct(&FPng, FInfo ? &FInfo : nullptr, nullptr); }
    TPngReadStruct(const TPngReadStruct&) = delete;
    TPngReadStruct& operator=(const TPngReadStruct&) = delete;

    png_structp Png() const { return FPng; }
    png_infop Info() const { return FInfo; }

private:
    png_structp FPng = nullptr;
    png_infop FInfo = nullptr;
};

[[noreturn]] void Fail(const TPngState& State) {
    if (State.InputError[0])
        throw EImageError(State.InputError);
    if (State.Truncated)
        State.Input->Truncated();
    std::string Message = State.Message[0] ? State.Message : "cannot decode the image";
    // libpng explains an invalid header in the warnings before the error.
    if (Message == "Invalid IHDR data" && State.Warning[0])
        Message = State.Warning;
    if (Message.back() != '.')
        Message += '.';
    State.Input->Damaged(Message);
}

} // namespace

TWorkingImage ReadPNG(TByteReader& Input) {
    TPngState State;
    State.Input = &Input;
    TPngReadStruct Read(State);
    TPngHeader Header;
    if (!ReadPngInfo(Read.Png(), Read.Info(), &Header))
        Fail(State);
    CheckImageSize(Header.Width, Header.Height, FormatName);
    const std::uint64_t RawRow =
        (std::uint64_t(Header.Width) * Header.Depth * Header.FileChannels + 7) / 8 + 1;
    if (static_cast<std::uint64_t>(Input.Size()) < RawRow * Header.Height / MaxDeflateRatio)
        Input.Truncated();
    if (!StartPngImage(Read.Png(), Read.Info(), &Header))
        Fail(State);

    TWorkingImage Result;
    Result.PixelFormat = PixelFormatOf(Header);
    Result.Image = NewWorkingImage(Header.Width, Header.Height, FormatName);
    std::vector<std::uint8_t> Row;
    TPngTarget Target;
    Target.Pixels = Result.Image.bits();
    Target.Stride = static_cast<std::size_t>(Result.Image.bytesPerLine());
    if (Header.Channels != 3 || Header.RowBytes != std::size_t(Header.Width) * 3) {
        Row.resize(Header.RowBytes);
        Target.Row = Row.data();
    }
    if (!ReadPngRows(Read.Png(), &Header, &Target))
        Fail(State);
    return Result;
}

} // namespace korvane
