// TIFF images through libtiff: the first page of the file, strips or tiles, contiguous or
// separate planes, every compression libtiff decodes. Grey, palette, RGB, CMYK and (through
// libtiff's JPEG and SGILOG codecs) JPEG YCbCr and LogLuv are converted here, a scanline or a
// tile at a time, straight into the working image; other colour models (uncompressed YCbCr,
// CIE L*a*b*, ...) go through libtiff's RGBA interface one strip or tile row at a time.
//
// Samples become 8 bits as follows: 16, 24 and 32-bit integers keep their high byte, other
// depths scale as (v·255 + M/2) / M, floating point samples map 0..1 to 0..255. Signed
// samples are shifted to unsigned first. Unassociated alpha is composited over white,
// associated alpha as c + 255 − a.
//
// libtiff reports through handlers attached to each TIFF handle (TIFFClientOpenExt), so the
// reader keeps no global state and may run on any thread.

#include "image/readers/Readers.h"

#include <algorithm>
#include <bit>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <tiffio.h>
#include <vector>

namespace korvane {

namespace {

constexpr const char* FormatName = "TIFF";
// No single allocation inside libtiff may exceed this; the largest legitimate one is a
// compressed strip, which cannot exceed the file.
constexpr tmsize_t MaxLibraryAllocation = tmsize_t(1) << 30;
// No scanline of the file may exceed this (65535 pixels of 64 samples of 16 bits fit).
constexpr tmsize_t MaxLineBytes = tmsize_t(64) << 20;
// A tile buffer may be this large even when the image is smaller.
constexpr std::int64_t MinTileLimit = std::int64_t(16) << 20;

// The input as libtiff sees it, and what libtiff said about it.
struct TTiffClient {
    TByteReader* Input = nullptr;
    std::int64_t Position = 0;
    std::string LibraryError; // first error libtiff reported
    std::string InputError;   // the input's own exception, when reading failed
};

// Keeps the first message; nothing may escape into libtiff, not even a failed allocation.
void Remember(std::string& To, const char* Text) noexcept {
    try {
        if (To.empty())
            To = Text;
    } catch (...) {
        // The generic message will do.
    }
}

int OnTiffError(TIFF*, void* UserData, const char* Module, const char* Format, va_list Args) {
    auto* Client = static_cast<TTiffClient*>(UserData);
    if (!Client || !Client->LibraryError.empty())
        return 1;
    char Text[512];
    std::vsnprintf(Text, sizeof Text, Format, Args);
    const char* Message = Text[0] ? Text : (Module ? Module : "libtiff error");
    // Messages about the whole file start with the handle's name.
    const std::size_t Prefix = std::strlen(FormatName);
    if (std::strncmp(Message, FormatName, Prefix) == 0 &&
        std::strncmp(Message + Prefix, ": ", 2) == 0)
        Message += Prefix + 2;
    Remember(Client->LibraryError, Message);
    return 1; // handled: libtiff's global handlers stay silent
}

int OnTiffWarning(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

tmsize_t TiffRead(thandle_t Handle, void* Buffer, tmsize_t Size) {
    auto* Client = static_cast<TTiffClient*>(Handle);
    if (Size < 0)
        return -1;
    if (Client->Position >= Client->Input->Size())
        return 0;
    try {
        Client->Input->Seek(Client->Position);
        const std::size_t Got = Client->Input->ReadSome(Buffer, static_cast<std::size_t>(Size));
        Client->Position += static_cast<std::int64_t>(Got);
        return static_cast<tmsize_t>(Got);
    } catch (const std::exception& Error) {
        Remember(Client->InputError, Error.what());
        return -1;
    }
}

tmsize_t TiffWrite(thandle_t, void*, tmsize_t) {
    return -1;
}

toff_t TiffSeek(thandle_t Handle, toff_t Offset, int Whence) {
    auto* Client = static_cast<TTiffClient*>(Handle);
    const auto Failed = static_cast<toff_t>(-1);
    std::int64_t Base = 0;
    if (Whence == SEEK_CUR)
        Base = Client->Position;
    else if (Whence == SEEK_END)
        Base = Client->Input->Size();
    else if (Whence != SEEK_SET)
        return Failed;
    // Offsets are unsigned; SEEK_CUR and SEEK_END may carry a negative value in two's
    // complement.
    const auto Delta = static_cast<std::int64_t>(Offset);
    if (Whence == SEEK_SET && Offset > static_cast<toff_t>(INT64_MAX))
        return Failed;
    if ((Delta > 0 && Base > INT64_MAX - Delta) || Base + Delta < 0)
        return Failed;
    Client->Position = Base + Delta;
    return static_cast<toff_t>(Client->Position);
}

int TiffClose(thandle_t) {
    return 0;
}

toff_t TiffSize(thandle_t Handle) {
    return static_cast<toff_t>(static_cast<TTiffClient*>(Handle)->Input->Size());
}

// Input over memory is handed to libtiff as a mapped file: no copies of the strips.
int TiffMap(thandle_t Handle, void** Base, toff_t* Size) {
    auto* Client = static_cast<TTiffClient*>(Handle);
    const std::uint8_t* Data = Client->Input->MemoryData();
    if (!Data)
        return 0;
    *Base = const_cast<std::uint8_t*>(Data);
    *Size = static_cast<toff_t>(Client->Input->Size());
    return 1;
}

void TiffUnmap(thandle_t, void*, toff_t) {}

std::string Sentence(std::string Text) {
    while (!Text.empty() && (Text.back() == '\n' || Text.back() == ' '))
        Text.pop_back();
    if (!Text.empty() && Text.back() != '.')
        Text += '.';
    return Text;
}

// One open TIFF handle over the input, positioned on the first directory.
class TTiffFile {
public:
    explicit TTiffFile(TByteReader& Input) {
        FClient.Input = &Input;
        std::unique_ptr<TIFFOpenOptions, void (*)(TIFFOpenOptions*)> Options(TIFFOpenOptionsAlloc(),
                                                                             TIFFOpenOptionsFree);
        if (!Options)
            throw EImageError("Not enough memory to open a TIFF file.");
        TIFFOpenOptionsSetErrorHandlerExtR(Options.get(), OnTiffError, &FClient);
        TIFFOpenOptionsSetWarningHandlerExtR(Options.get(), OnTiffWarning, &FClient);
        TIFFOpenOptionsSetMaxSingleMemAlloc(Options.get(), MaxLibraryAllocation);
        FTiff = TIFFClientOpenExt(FormatName, "r", &FClient, TiffRead, TiffWrite, TiffSeek,
                                  TiffClose, TiffSize, TiffMap, TiffUnmap, Options.get());
        if (!FTiff)
            Fail("not a readable TIFF file");
    }
    ~TTiffFile() {
        if (FTiff)
            TIFFClose(FTiff);
    }
    TTiffFile(const TTiffFile&) = delete;
    TTiffFile& operator=(const TTiffFile&) = delete;

    TIFF* Handle() const { return FTiff; }
    TByteReader& Input() const { return *FClient.Input; }

    // Throws what went wrong: the input's own error, else libtiff's message, else What.
    [[noreturn]] void Fail(const char* What) const {
        if (!FClient.InputError.empty())
            throw EImageError(FClient.InputError);
        FClient.Input->Damaged(
            Sentence(FClient.LibraryError.empty() ? std::string(What) : FClient.LibraryError));
    }

private:
    TTiffClient FClient;
    TIFF* FTiff = nullptr;
};

[[noreturn]] void Unsupported(const std::string& What) {
    throw EImageError("TIFF image uses an unsupported " + What + ".");
}

// How the samples of the first page are laid out and what they mean.
struct TLayout {
    std::uint32_t Width = 0;
    std::uint32_t Height = 0;
    std::uint16_t Photometric = PHOTOMETRIC_MINISBLACK;
    std::uint16_t Bits = 1;
    std::uint16_t SampleFormat = SAMPLEFORMAT_UINT;
    std::uint16_t SamplesPerPixel = 1;
    bool Separate = false;
    bool Tiled = false;
    // Converted here (else through libtiff's RGBA interface).
    bool Native = true;
    int Colours = 1;      // 1 grey or palette index, 3 RGB, 4 CMYK
    bool Invert = false;  // min-is-white
    bool Palette = false; // indices into the colour map
    bool HasAlpha = false;
    bool Associated = false;
    // Samples per pixel that matter (the colours and alpha), and so the planes read for
    // separate data.
    int Stride = 1;
};

bool IntegerDepth(std::uint16_t Bits) {
    return (Bits >= 1 && Bits <= 16) || Bits == 24 || Bits == 32;
}

// Reads the first directory's tags, and switches libtiff's JPEG and SGILOG codecs to
// 8-bit RGB output where that is how they are read. Applies to every handle of the file.
TLayout PrepareLayout(TTiffFile& File) {
    TIFF* Tif = File.Handle();
    TLayout L;
    if (!TIFFGetField(Tif, TIFFTAG_IMAGEWIDTH, &L.Width) ||
        !TIFFGetField(Tif, TIFFTAG_IMAGELENGTH, &L.Height))
        File.Fail("the image size is missing");
    CheckImageSize(L.Width, L.Height, FormatName);

    std::uint16_t Compression = COMPRESSION_NONE, Planar = PLANARCONFIG_CONTIG;
    TIFFGetFieldDefaulted(Tif, TIFFTAG_COMPRESSION, &Compression);
    TIFFGetFieldDefaulted(Tif, TIFFTAG_PLANARCONFIG, &Planar);
    if (!TIFFGetField(Tif, TIFFTAG_PHOTOMETRIC, &L.Photometric))
        File.Fail("the colour model (PhotometricInterpretation) is missing");
    L.Tiled = TIFFIsTiled(Tif) != 0;

    // Decoded by the codec itself into 8-bit RGB or grey.
    if (L.Photometric == PHOTOMETRIC_YCBCR && Compression == COMPRESSION_JPEG &&
        Planar == PLANARCONFIG_CONTIG) {
        if (!TIFFSetField(Tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB))
            File.Fail("cannot decode the JPEG data");
        L.Photometric = PHOTOMETRIC_RGB;
    } else if (L.Photometric == PHOTOMETRIC_LOGLUV || L.Photometric == PHOTOMETRIC_LOGL) {
        if (Compression != COMPRESSION_SGILOG && Compression != COMPRESSION_SGILOG24)
            Unsupported("LogLuv encoding (not SGILOG-compressed)");
        if (!TIFFSetField(Tif, TIFFTAG_SGILOGDATAFMT, SGILOGDATAFMT_8BIT))
            File.Fail("cannot decode the LogLuv data");
        L.Photometric =
            L.Photometric == PHOTOMETRIC_LOGL ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB;
    }

    TIFFGetFieldDefaulted(Tif, TIFFTAG_BITSPERSAMPLE, &L.Bits);
    TIFFGetFieldDefaulted(Tif, TIFFTAG_SAMPLESPERPIXEL, &L.SamplesPerPixel);
    TIFFGetFieldDefaulted(Tif, TIFFTAG_SAMPLEFORMAT, &L.SampleFormat);
    if (L.SampleFormat == SAMPLEFORMAT_VOID)
        L.SampleFormat = SAMPLEFORMAT_UINT;
    L.Separate = Planar == PLANARCONFIG_SEPARATE && L.SamplesPerPixel > 1;

    std::uint16_t ExtraCount = 0;
    std::uint16_t* ExtraTypes = nullptr;
    TIFFGetFieldDefaulted(Tif, TIFFTAG_EXTRASAMPLES, &ExtraCount, &ExtraTypes);

    switch (L.Photometric) {
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK:
        L.Colours = 1;
        L.Invert = L.Photometric == PHOTOMETRIC_MINISWHITE;
        break;
    case PHOTOMETRIC_PALETTE:
        L.Colours = 1;
        L.Palette = true;
        break;
    case PHOTOMETRIC_RGB:
        L.Colours = 3;
        break;
    case PHOTOMETRIC_SEPARATED: {
        std::uint16_t InkSet = INKSET_CMYK;
        TIFFGetFieldDefaulted(Tif, TIFFTAG_INKSET, &InkSet);
        L.Colours = 4;
        L.Native = InkSet == INKSET_CMYK && L.SamplesPerPixel - ExtraCount == 4;
        break;
    }
    default:
        L.Native = false;
        break;
    }
    if (L.Native) {
        const bool Integer =
            L.SampleFormat == SAMPLEFORMAT_UINT || L.SampleFormat == SAMPLEFORMAT_INT;
        const bool Float = L.SampleFormat == SAMPLEFORMAT_IEEEFP && (L.Bits == 32 || L.Bits == 64);
        if (!(Integer && IntegerDepth(L.Bits)) && !Float)
            Unsupported("sample format (" + std::to_string(L.Bits) + "-bit, format " +
                        std::to_string(L.SampleFormat) + ")");
        if (L.Palette && !(L.SampleFormat == SAMPLEFORMAT_UINT && L.Bits <= 16))
            Unsupported("palette depth (" + std::to_string(L.Bits) + " bits)");
        if (L.SamplesPerPixel < L.Colours)
            File.Fail("too few samples per pixel for the colour model");
        if (ExtraCount > 0 && L.SamplesPerPixel > L.Colours &&
            (ExtraTypes[0] == EXTRASAMPLE_ASSOCALPHA || ExtraTypes[0] == EXTRASAMPLE_UNASSALPHA)) {
            L.HasAlpha = true;
            L.Associated = ExtraTypes[0] == EXTRASAMPLE_ASSOCALPHA;
        }
        L.Stride = L.Colours + (L.HasAlpha ? 1 : 0);
    }
    return L;
}

EPixelFormat PixelFormatOf(const TLayout& L) {
    if (!L.Native || L.Colours != 1 || (L.HasAlpha && L.Palette))
        return EPixelFormat::TrueColor;
    if (L.Palette)
        return L.Bits <= 4 ? EPixelFormat::Color16
                           : (L.Bits <= 8 ? EPixelFormat::Color256 : EPixelFormat::TrueColor);
    if (L.HasAlpha || L.Bits > 4)
        return EPixelFormat::Gray256;
    return L.Bits == 1 ? EPixelFormat::BlackWhite : EPixelFormat::Gray16;
}

// Every strip or tile must lie inside the file, so that nothing is read or allocated on
// the strength of a byte count the file cannot back.
void CheckStrilesInsideFile(TTiffFile& File, std::int64_t FileSize) {
    TIFF* Tif = File.Handle();
    const bool Tiled = TIFFIsTiled(Tif) != 0;
    const std::uint32_t Count = Tiled ? TIFFNumberOfTiles(Tif) : TIFFNumberOfStrips(Tif);
    const auto Size = static_cast<std::uint64_t>(FileSize);
    for (std::uint32_t I = 0; I < Count; ++I) {
        int Error = 0;
        const std::uint64_t Offset = TIFFGetStrileOffsetWithErr(Tif, I, &Error);
        const std::uint64_t Bytes = Error ? 0 : TIFFGetStrileByteCountWithErr(Tif, I, &Error);
        if (Error)
            File.Fail("the strip offsets cannot be read");
        if (Offset > Size || Bytes > Size - Offset)
            File.Input().Damaged(std::string(Tiled ? "tile " : "strip ") + std::to_string(I) +
                                 " lies beyond the end of the file.");
    }
}

// Turns rows of file samples into RGB888 pixels.
class TSampleConverter {
public:
    TSampleConverter(TTiffFile& File, const TLayout& Layout) : L(Layout) {
        if (L.Bits < 8 || (L.Bits > 8 && L.Bits < 16)) {
            const std::uint32_t Max = (1u << L.Bits) - 1;
            FScale.resize(Max + 1);
            for (std::uint32_t V = 0; V <= Max; ++V)
                FScale[V] = ScaleSample(V, Max);
        }
        if (L.Palette)
            LoadPalette(File);
        BuildByteTable();
    }

    // Converts Count pixels whose samples start at Planes[0] (contiguous data) or at
    // Planes[0..Stride) (one pointer per separate plane, colours then alpha). Samples past
    // the colours and alpha are skipped.
    void Convert(const std::uint8_t* const* Planes, std::size_t Count, std::uint8_t* Out) {
        switch (FPixelsPerByte) {
        case 8:
            ExpandBytes<8>(Planes[0], Count, Out);
            return;
        case 4:
            ExpandBytes<4>(Planes[0], Count, Out);
            return;
        case 2:
            ExpandBytes<2>(Planes[0], Count, Out);
            return;
        case 1:
            ExpandBytes<1>(Planes[0], Count, Out);
            return;
        default:
            break;
        }
        if (L.Palette) {
            ConvertPalette(Planes, Count, Out);
            return;
        }
        const std::uint8_t* S = Samples8(Planes, Count);
        const std::size_t N = static_cast<std::size_t>(L.Stride);
        if (L.HasAlpha) {
            ConvertAlpha(S, Count, Out);
            return;
        }
        switch (L.Colours) {
        case 1: {
            const std::uint8_t Flip = L.Invert ? 0xFF : 0x00;
            for (std::size_t I = 0; I < Count; ++I, Out += 3) {
                const std::uint8_t G = S[I * N] ^ Flip;
                Out[0] = Out[1] = Out[2] = G;
            }
            break;
        }
        case 3:
            if (N == 3) {
                std::memcpy(Out, S, Count * 3);
                break;
            }
            for (std::size_t I = 0; I < Count; ++I, Out += 3, S += N) {
                Out[0] = S[0];
                Out[1] = S[1];
                Out[2] = S[2];
            }
            break;
        default:
            for (std::size_t I = 0; I < Count; ++I, Out += 3, S += N)
                Cmyk(S, Out);
            break;
        }
    }

private:
    // Grey and palette images of 1, 2, 4 or 8 bits without alpha convert a byte at a time,
    // through a table of the pixels each byte value stands for.
    void BuildByteTable() {
        const bool Packed = L.Bits == 1 || L.Bits == 2 || L.Bits == 4 || L.Bits == 8;
        if (L.Colours != 1 || L.HasAlpha || SourceStride() != 1 || !Packed ||
            L.SampleFormat == SAMPLEFORMAT_IEEEFP)
            return;
        FPixelsPerByte = 8u / L.Bits;
        const std::uint32_t Mask = (1u << L.Bits) - 1;
        const std::uint32_t SignBit = L.SampleFormat == SAMPLEFORMAT_INT ? 1u << (L.Bits - 1) : 0;
        const std::uint8_t Flip = L.Invert ? 0xFF : 0x00;
        FByteTable.resize(256 * FPixelsPerByte * 3);
        std::uint8_t* T = FByteTable.data();
        for (std::uint32_t Byte = 0; Byte < 256; ++Byte) {
            for (unsigned K = 0; K < FPixelsPerByte; ++K, T += 3) {
                const std::uint32_t V = (Byte >> (8 - L.Bits * (K + 1))) & Mask;
                if (L.Palette) {
                    std::memcpy(T, &FPalette[V * 3], 3);
                } else {
                    const std::uint32_t U = V ^ SignBit;
                    T[0] = T[1] = T[2] =
                        (L.Bits == 8 ? static_cast<std::uint8_t>(U) : FScale[U]) ^ Flip;
                }
            }
        }
    }

    template <unsigned PixelsPerByte>
    void ExpandBytes(const std::uint8_t* In, std::size_t Count, std::uint8_t* Out) const {
        constexpr std::size_t Size = PixelsPerByte * 3;
        const std::uint8_t* Table = FByteTable.data();
        const std::size_t Full = Count / PixelsPerByte;
        for (std::size_t I = 0; I < Full; ++I, Out += Size)
            std::memcpy(Out, Table + In[I] * Size, Size);
        if (const std::size_t Rest = Count % PixelsPerByte)
            std::memcpy(Out, Table + In[Full] * Size, Rest * 3);
    }

    static void Cmyk(const std::uint8_t* S, std::uint8_t* Out) {
        const std::uint32_t K = 255u - S[3];
        Out[0] = static_cast<std::uint8_t>(((255u - S[0]) * K + 127u) / 255u);
        Out[1] = static_cast<std::uint8_t>(((255u - S[1]) * K + 127u) / 255u);
        Out[2] = static_cast<std::uint8_t>(((255u - S[2]) * K + 127u) / 255u);
    }

    std::uint8_t Blend(std::uint32_t C, std::uint32_t A) const {
        if (L.Associated)
            return static_cast<std::uint8_t>(std::min<std::uint32_t>(255u, C + 255u - A));
        return CompositeOverWhite(C, A);
    }

    void ConvertAlpha(const std::uint8_t* S, std::size_t Count, std::uint8_t* Out) const {
        const std::size_t N = static_cast<std::size_t>(L.Stride);
        const int A = L.Colours;
        const std::uint8_t Flip = L.Invert ? 0xFF : 0x00;
        for (std::size_t I = 0; I < Count; ++I, Out += 3, S += N) {
            std::uint8_t Rgb[3];
            if (L.Colours == 1)
                Rgb[0] = Rgb[1] = Rgb[2] = S[0] ^ Flip;
            else if (L.Colours == 3)
                std::memcpy(Rgb, S, 3);
            else
                Cmyk(S, Rgb);
            for (int C = 0; C < 3; ++C)
                Out[C] = Blend(Rgb[C], S[A]);
        }
    }

    void ConvertPalette(const std::uint8_t* const* Planes, std::size_t Count, std::uint8_t* Out) {
        const std::size_t N = static_cast<std::size_t>(L.Stride);
        FRaw.resize(CheckedMul(Count, N));
        for (int P = 0; P < L.Stride; ++P)
            UnpackRaw(L.Separate ? Planes[P] : Planes[0], Count, SourceStride(), L.Separate ? 0 : P,
                      FRaw.data() + P, N);
        const std::uint16_t* R = FRaw.data();
        for (std::size_t I = 0; I < Count; ++I, Out += 3, R += N) {
            const std::uint8_t* Colour = &FPalette[std::size_t(R[0]) * 3];
            if (!L.HasAlpha) {
                Out[0] = Colour[0];
                Out[1] = Colour[1];
                Out[2] = Colour[2];
                continue;
            }
            const std::uint32_t A = L.Bits == 8 ? R[1] : (L.Bits == 16 ? R[1] >> 8 : FScale[R[1]]);
            for (int C = 0; C < 3; ++C)
                Out[C] = Blend(Colour[C], A);
        }
    }

    void LoadPalette(TTiffFile& File) {
        std::uint16_t *Red = nullptr, *Green = nullptr, *Blue = nullptr;
        if (!TIFFGetField(File.Handle(), TIFFTAG_COLORMAP, &Red, &Green, &Blue))
            File.Fail("the colour map of a palette image is missing");
        const std::size_t Entries = std::size_t(1) << L.Bits;
        // Some writers store 8-bit values in the 16-bit map; like libtiff, take a map whose
        // values all fit in 8 bits as such.
        bool EightBit = true;
        for (std::size_t I = 0; I < Entries && EightBit; ++I)
            EightBit = Red[I] < 256 && Green[I] < 256 && Blue[I] < 256;
        const int Shift = EightBit ? 0 : 8;
        FPalette.resize(Entries * 3);
        for (std::size_t I = 0; I < Entries; ++I) {
            FPalette[I * 3] = static_cast<std::uint8_t>(Red[I] >> Shift);
            FPalette[I * 3 + 1] = static_cast<std::uint8_t>(Green[I] >> Shift);
            FPalette[I * 3 + 2] = static_cast<std::uint8_t>(Blue[I] >> Shift);
        }
    }

    // Samples between one pixel and the next in a row buffer.
    std::size_t SourceStride() const { return L.Separate ? 1 : L.SamplesPerPixel; }

    // The colour and alpha samples as 8-bit values, interleaved Stride to a pixel.
    const std::uint8_t* Samples8(const std::uint8_t* const* Planes, std::size_t Count) {
        const bool Signed = L.SampleFormat == SAMPLEFORMAT_INT;
        const std::size_t N = static_cast<std::size_t>(L.Stride);
        if (!L.Separate && L.Bits == 8 && !Signed && L.SamplesPerPixel == N)
            return Planes[0];
        FSamples.resize(CheckedMul(Count, N));
        for (int P = 0; P < L.Stride; ++P)
            Unpack8(L.Separate ? Planes[P] : Planes[0], Count, SourceStride(), L.Separate ? 0 : P,
                    FSamples.data() + P, N);
        return FSamples.data();
    }

    // Sample Index of Count pixels whose samples lie Stride apart in a packed row, as 8-bit
    // values written Step apart.
    void Unpack8(const std::uint8_t* In, std::size_t Count, std::size_t Stride, std::size_t Index,
                 std::uint8_t* Out, std::size_t Step) const {
        const bool Signed = L.SampleFormat == SAMPLEFORMAT_INT;
        const std::uint8_t Flip = Signed ? 0x80 : 0x00;
        if (L.Bits % 8 == 0)
            In += Index * (L.Bits / 8); // packed depths find their sample below
        if (L.SampleFormat == SAMPLEFORMAT_IEEEFP) {
            for (std::size_t I = 0; I < Count; ++I, Out += Step) {
                double V;
                if (L.Bits == 32) {
                    float F;
                    std::memcpy(&F, In + I * Stride * 4, 4);
                    V = F;
                } else {
                    std::memcpy(&V, In + I * Stride * 8, 8);
                }
                // NaN fails both comparisons and ends up 0.
                V = V > 0.0 ? (V < 1.0 ? V : 1.0) : 0.0;
                *Out = static_cast<std::uint8_t>(V * 255.0 + 0.5);
            }
            return;
        }
        switch (L.Bits) {
        case 8:
            for (std::size_t I = 0; I < Count; ++I, Out += Step)
                *Out = In[I * Stride] ^ Flip;
            return;
        case 16:
            // libtiff hands 16, 24 and 32-bit samples over in the machine's byte order.
            for (std::size_t I = 0; I < Count; ++I, Out += Step) {
                std::uint16_t V;
                std::memcpy(&V, In + I * Stride * 2, 2);
                *Out = static_cast<std::uint8_t>(V >> 8) ^ Flip;
            }
            return;
        case 24: {
            const std::size_t High = std::endian::native == std::endian::little ? 2 : 0;
            for (std::size_t I = 0; I < Count; ++I, Out += Step)
                *Out = In[I * Stride * 3 + High] ^ Flip;
            return;
        }
        case 32:
            for (std::size_t I = 0; I < Count; ++I, Out += Step) {
                std::uint32_t V;
                std::memcpy(&V, In + I * Stride * 4, 4);
                *Out = static_cast<std::uint8_t>(V >> 24) ^ Flip;
            }
            return;
        default: {
            const std::uint32_t SignBit = Signed ? 1u << (L.Bits - 1) : 0u;
            UnpackPacked(In, Count, Stride, Index, [&](std::uint32_t V) {
                *Out = FScale[V ^ SignBit];
                Out += Step;
            });
            return;
        }
        }
    }

    // Raw values of sample Index (palette indices, alpha), as Unpack8 does.
    void UnpackRaw(const std::uint8_t* In, std::size_t Count, std::size_t Stride, std::size_t Index,
                   std::uint16_t* Out, std::size_t Step) const {
        if (L.Bits == 8) {
            for (std::size_t I = 0; I < Count; ++I, Out += Step)
                *Out = In[I * Stride + Index];
        } else if (L.Bits == 16) {
            for (std::size_t I = 0; I < Count; ++I, Out += Step)
                std::memcpy(Out, In + (I * Stride + Index) * 2, 2);
        } else {
            UnpackPacked(In, Count, Stride, Index, [&](std::uint32_t V) {
                *Out = static_cast<std::uint16_t>(V);
                Out += Step;
            });
        }
    }

    // Samples of fewer than 16 bits packed most significant bit first: sample Index of
    // Count pixels of Stride samples each.
    template <class TSink>
    void UnpackPacked(const std::uint8_t* In, std::size_t Count, std::size_t Stride,
                      std::size_t Index, TSink Sink) const {
        const unsigned Bits = L.Bits;
        const std::uint32_t Mask = (1u << Bits) - 1;
        if (Stride == 1) {
            std::uint32_t Accumulator = 0;
            unsigned Have = 0;
            for (std::size_t I = 0; I < Count; ++I) {
                while (Have < Bits) {
                    Accumulator = (Accumulator << 8) | *In++;
                    Have += 8;
                }
                Have -= Bits;
                Sink((Accumulator >> Have) & Mask);
            }
            return;
        }
        for (std::size_t I = 0; I < Count; ++I) {
            const std::uint64_t Bit = (std::uint64_t(I) * Stride + Index) * Bits;
            const std::uint8_t* P = In + Bit / 8;
            const unsigned Skip = static_cast<unsigned>(Bit % 8);
            const unsigned Bytes = (Skip + Bits + 7) / 8; // never past the sample's last byte
            std::uint32_t V = 0;
            for (unsigned B = 0; B < Bytes; ++B)
                V = (V << 8) | P[B];
            Sink((V >> (Bytes * 8 - Skip - Bits)) & Mask);
        }
    }

    const TLayout& L;
    std::vector<std::uint8_t> FScale;   // n-bit value -> 8 bits
    std::vector<std::uint8_t> FPalette; // RGB triples
    std::vector<std::uint8_t> FSamples;
    std::vector<std::uint16_t> FRaw;
    std::vector<std::uint8_t> FByteTable; // byte value -> FPixelsPerByte RGB pixels
    unsigned FPixelsPerByte = 0;          // 0: no table
};

// Strips, one scanline at a time. Separate planes are read through one handle per plane,
// so that each plane decodes forward without restarting its strip.
void ReadStrips(TTiffFile& File, TByteReader& Input, const TLayout& L, QImage& Image) {
    TSampleConverter Converter(File, L);
    const int Planes = L.Separate ? L.Stride : 1;
    std::vector<std::unique_ptr<TTiffFile>> Others;
    std::vector<TTiffFile*> Handles{&File};
    for (int P = 1; P < Planes; ++P) {
        Others.push_back(std::make_unique<TTiffFile>(Input));
        PrepareLayout(*Others.back());
        Handles.push_back(Others.back().get());
    }
    const tmsize_t LineSize = TIFFScanlineSize(File.Handle());
    if (LineSize <= 0)
        File.Fail("invalid scanline size");
    if (LineSize > MaxLineBytes)
        Unsupported("number of samples per pixel (" + std::to_string(L.SamplesPerPixel) + ")");
    const std::size_t Width = L.Width;
    // Plain 8-bit RGB lands in the working image as it is read.
    const bool Direct = !L.Separate && L.Colours == 3 && !L.Palette && L.Bits == 8 &&
                        L.SamplesPerPixel == 3 && L.SampleFormat == SAMPLEFORMAT_UINT &&
                        static_cast<std::size_t>(LineSize) == Width * 3;
    if (Direct && static_cast<std::size_t>(Image.bytesPerLine()) == Width * 3) {
        // Rows follow each other without padding: whole strips decode into place.
        std::uint32_t RowsPerStrip = 0;
        TIFFGetFieldDefaulted(File.Handle(), TIFFTAG_ROWSPERSTRIP, &RowsPerStrip);
        RowsPerStrip = std::clamp<std::uint32_t>(RowsPerStrip, 1, L.Height);
        for (std::uint32_t Y = 0; Y < L.Height; Y += RowsPerStrip) {
            const std::uint32_t Rows = std::min(RowsPerStrip, L.Height - Y);
            const tmsize_t Bytes = static_cast<tmsize_t>(Rows) * LineSize;
            if (TIFFReadEncodedStrip(File.Handle(), TIFFComputeStrip(File.Handle(), Y, 0),
                                     Image.scanLine(static_cast<int>(Y)), Bytes) != Bytes)
                File.Fail("cannot decode the image data");
        }
        return;
    }
    std::vector<std::vector<std::uint8_t>> Lines(Direct ? 0 : Planes);
    std::vector<const std::uint8_t*> Pointers(Planes);
    for (int P = 0; P < static_cast<int>(Lines.size()); ++P) {
        Lines[P].resize(static_cast<std::size_t>(LineSize));
        Pointers[P] = Lines[P].data();
    }
    for (std::uint32_t Y = 0; Y < L.Height; ++Y) {
        std::uint8_t* Row = Image.scanLine(static_cast<int>(Y));
        if (Direct) {
            if (TIFFReadScanline(File.Handle(), Row, Y, 0) < 0)
                File.Fail("cannot decode the image data");
            continue;
        }
        for (int P = 0; P < Planes; ++P) {
            if (TIFFReadScanline(Handles[P]->Handle(), Lines[P].data(), Y,
                                 static_cast<std::uint16_t>(P)) < 0)
                Handles[P]->Fail("cannot decode the image data");
        }
        Converter.Convert(Pointers.data(), Width, Row);
    }
}

// Tiles, one at a time (one per plane for separate planes), converted into place.
void ReadTiles(TTiffFile& File, const TLayout& L, QImage& Image) {
    TIFF* Tif = File.Handle();
    TSampleConverter Converter(File, L);
    std::uint32_t TileWidth = 0, TileHeight = 0;
    if (!TIFFGetField(Tif, TIFFTAG_TILEWIDTH, &TileWidth) ||
        !TIFFGetField(Tif, TIFFTAG_TILELENGTH, &TileHeight) || TileWidth == 0 || TileHeight == 0)
        File.Fail("the tile size is missing");
    const tmsize_t TileSize = TIFFTileSize(Tif);
    const tmsize_t TileRow = TIFFTileRowSize(Tif);
    const tmsize_t LineSize = TIFFScanlineSize(Tif);
    if (TileSize <= 0 || TileRow <= 0 || LineSize <= 0)
        File.Fail("invalid tile size");
    if (LineSize > MaxLineBytes)
        Unsupported("number of samples per pixel (" + std::to_string(L.SamplesPerPixel) + ")");
    // A tile may exceed a small image, but never the whole plane of a large one.
    const std::int64_t Limit =
        std::max<std::int64_t>(MinTileLimit, static_cast<std::int64_t>(LineSize) * L.Height);
    if (TileSize > Limit)
        File.Input().Damaged("the tiles (" + std::to_string(TileWidth) + " x " +
                             std::to_string(TileHeight) + ") are far larger than the image.");
    const int Planes = L.Separate ? L.Stride : 1;
    std::vector<std::vector<std::uint8_t>> Tiles(Planes);
    for (auto& Tile : Tiles)
        Tile.resize(static_cast<std::size_t>(TileSize));
    std::vector<const std::uint8_t*> Pointers(Planes);
    for (std::uint64_t Y0 = 0; Y0 < L.Height; Y0 += TileHeight) {
        const auto Rows =
            static_cast<std::uint32_t>(std::min<std::uint64_t>(TileHeight, L.Height - Y0));
        for (std::uint64_t X0 = 0; X0 < L.Width; X0 += TileWidth) {
            const auto Columns =
                static_cast<std::size_t>(std::min<std::uint64_t>(TileWidth, L.Width - X0));
            for (int P = 0; P < Planes; ++P) {
                if (TIFFReadTile(Tif, Tiles[P].data(), static_cast<std::uint32_t>(X0),
                                 static_cast<std::uint32_t>(Y0), 0,
                                 static_cast<std::uint16_t>(P)) < 0)
                    File.Fail("cannot decode the image data");
            }
            for (std::uint32_t R = 0; R < Rows; ++R) {
                for (int P = 0; P < Planes; ++P)
                    Pointers[P] = Tiles[P].data() + std::size_t(R) * TileRow;
                Converter.Convert(Pointers.data(), Columns,
                                  Image.scanLine(static_cast<int>(Y0 + R)) + X0 * 3);
            }
        }
    }
}

// Other colour models through libtiff's RGBA interface, one strip or row of tiles at a
// time. Its pixels carry associated alpha.
void ReadThroughRgba(TTiffFile& File, const TLayout& L, QImage& Image) {
    TIFF* Tif = File.Handle();
    char Message[1024] = {};
    if (!TIFFRGBAImageOK(Tif, Message))
        Unsupported(std::string("colour model (") +
                    (Message[0] ? Message : "photometric " + std::to_string(L.Photometric)) + ")");
    TIFFRGBAImage Rgba{};
    if (!TIFFRGBAImageBegin(&Rgba, Tif, 0, Message))
        File.Fail(Message);
    struct TEnd {
        TIFFRGBAImage* Image;
        ~TEnd() { TIFFRGBAImageEnd(Image); }
    } End{&Rgba};
    // Rows come in the file's order, whatever its Orientation says.
    Rgba.req_orientation = Rgba.orientation;

    std::uint32_t Band = 0;
    if (L.Tiled)
        TIFFGetField(Tif, TIFFTAG_TILELENGTH, &Band);
    else
        TIFFGetFieldDefaulted(Tif, TIFFTAG_ROWSPERSTRIP, &Band);
    Band = std::clamp<std::uint32_t>(Band, 1, L.Height);
    std::vector<std::uint32_t> Raster(CheckedMul(L.Width, Band));
    for (std::uint32_t Y0 = 0; Y0 < L.Height; Y0 += Band) { // Band <= Height: no wrap
        const std::uint32_t Rows = std::min(Band, L.Height - Y0);
        Rgba.row_offset = static_cast<int>(Y0);
        Rgba.col_offset = 0;
        if (!TIFFRGBAImageGet(&Rgba, Raster.data(), L.Width, Rows))
            File.Fail("cannot decode the image data");
        for (std::uint32_t R = 0; R < Rows; ++R) {
            const std::uint32_t* In = Raster.data() + std::size_t(R) * L.Width;
            std::uint8_t* Out = Image.scanLine(static_cast<int>(Y0 + R));
            for (std::uint32_t X = 0; X < L.Width; ++X, Out += 3) {
                const std::uint32_t P = In[X];
                const std::uint32_t Lift = 255u - TIFFGetA(P);
                Out[0] = static_cast<std::uint8_t>(std::min(255u, TIFFGetR(P) + Lift));
                Out[1] = static_cast<std::uint8_t>(std::min(255u, TIFFGetG(P) + Lift));
                Out[2] = static_cast<std::uint8_t>(std::min(255u, TIFFGetB(P) + Lift));
            }
        }
    }
}

} // namespace

TWorkingImage ReadTIFF(TByteReader& Input) {
    TTiffFile File(Input);
    const TLayout Layout = PrepareLayout(File);
    CheckStrilesInsideFile(File, Input.Size());
    TWorkingImage Result;
    // Strips, tiles and the colour-model path each write every pixel or fail.
    Result.Image = NewWorkingImage(Layout.Width, Layout.Height, FormatName, EImageFill::None);
    Result.PixelFormat = PixelFormatOf(Layout);
    if (!Layout.Native)
        ReadThroughRgba(File, Layout, Result.Image);
    else if (Layout.Tiled)
        ReadTiles(File, Layout, Result.Image);
    else
        ReadStrips(File, Input, Layout, Result.Image);
    return Result;
}

} // namespace korvane
