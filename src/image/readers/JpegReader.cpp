// JPEG images through libjpeg(-turbo): 8-bit baseline, extended and progressive files,
// Huffman or arithmetic coded, greyscale, YCbCr/RGB, CMYK and YCCK. Grey and colour images decode
// straight into the working image's rows (islow IDCT, fancy upsampling); CMYK, and YCCK which
// libjpeg hands back as CMYK, become RGB as R = (255 − C)(255 − K) / 255 after undoing the inverted
// storage that an Adobe APP14 marker announces. No colour management.
//
// libjpeg would only warn about a file that ends early or about damaged entropy-coded data
// and fill in grey; here those warnings are errors. Harmless ones (extraneous bytes between
// markers, an unknown JFIF revision, a bad ICC marker) are ignored.
//
// libjpeg leaves a failing call by longjmp, back to the small function that made the call.
// Those functions hold only plain data; the C++ objects (the working image, buffers) live in
// their caller ReadJPEG, which a jump never crosses.

#include "image/readers/Readers.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>
// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

namespace korvane {

namespace {

constexpr const char* FormatName = "JPEG";
constexpr std::size_t FileBufferSize = 1 << 16;
// Rows handed to libjpeg per call.
constexpr int RowsPerCall = 16;

// libjpeg's error manager with what the reader needs to report: plain data only.
struct TJpegError {
    jpeg_error_mgr Manager; // first: libjpeg sees a jpeg_error_mgr*
    std::jmp_buf Jump;
    bool Truncated = false;
    char Message[JMSG_LENGTH_MAX] = {};
    char InputError[256] = {};
};

[[noreturn]] void LeaveLibrary(j_common_ptr Info) {
    auto* Error = reinterpret_cast<TJpegError*>(Info->err);
    std::longjmp(Error->Jump, 1);
}

[[noreturn]] void OnJpegError(j_common_ptr Info) {
    auto* Error = reinterpret_cast<TJpegError*>(Info->err);
    if (!Error->Message[0])
        (*Info->err->format_message)(Info, Error->Message);
    LeaveLibrary(Info);
}

// Warnings (level −1) that mean pixels were lost or made up.
bool DamagesPixels(int Code) {
    switch (Code) {
    case JWRN_ARITH_BAD_CODE:
    case JWRN_BOGUS_PROGRESSION:
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_JPEG_EOF:
    case JWRN_MUST_RESYNC:
    case JWRN_NOT_SEQUENTIAL:
        return true;
    default:
        return false;
    }
}

void OnJpegMessage(j_common_ptr Info, int Level) {
    if (Level >= 0 || !DamagesPixels(Info->err->msg_code))
        return;
    if (Info->err->msg_code == JWRN_JPEG_EOF)
        reinterpret_cast<TJpegError*>(Info->err)->Truncated = true;
    OnJpegError(Info);
}

// A source manager over the reader's input: memory is handed over whole, files a buffer
// at a time.
struct TJpegSource {
    jpeg_source_mgr Manager; // first: libjpeg sees a jpeg_source_mgr*
    TByteReader* Input = nullptr;
    std::uint8_t* Buffer = nullptr; // FileBufferSize bytes, for files
};

void InitSource(j_decompress_ptr) {}

void TermSource(j_decompress_ptr) {}

// The file ended where libjpeg needs more: that is an error, not grey padding.
[[noreturn]] void EndOfInput(j_decompress_ptr Info) {
    reinterpret_cast<TJpegError*>(Info->err)->Truncated = true;
    LeaveLibrary(reinterpret_cast<j_common_ptr>(Info));
}

boolean FillInputBuffer(j_decompress_ptr Info) {
    auto* Source = reinterpret_cast<TJpegSource*>(Info->src);
    std::size_t Got = 0;
    bool Failed = false;
    if (Source->Buffer) {
        try {
            Got = Source->Input->ReadSome(Source->Buffer, FileBufferSize);
        } catch (const std::exception& Exception) {
            auto* Error = reinterpret_cast<TJpegError*>(Info->err);
            std::strncpy(Error->InputError, Exception.what(), sizeof Error->InputError - 1);
            Failed = true;
        }
    }
    if (Failed)
        LeaveLibrary(reinterpret_cast<j_common_ptr>(Info));
    if (Got == 0)
        EndOfInput(Info);
    Source->Manager.next_input_byte = Source->Buffer;
    Source->Manager.bytes_in_buffer = Got;
    return TRUE;
}

void SkipInputData(j_decompress_ptr Info, long Count) {
    if (Count <= 0)
        return;
    auto* Source = reinterpret_cast<TJpegSource*>(Info->src);
    auto Skip = static_cast<std::size_t>(Count);
    if (Skip <= Source->Manager.bytes_in_buffer) {
        Source->Manager.next_input_byte += Skip;
        Source->Manager.bytes_in_buffer -= Skip;
        return;
    }
    Skip -= Source->Manager.bytes_in_buffer;
    Source->Manager.bytes_in_buffer = 0;
    TByteReader& Input = *Source->Input;
    if (!Source->Buffer || static_cast<std::int64_t>(Skip) > Input.Remaining())
        EndOfInput(Info);
    Input.Seek(Input.Position() + static_cast<std::int64_t>(Skip)); // within the file
}

struct TJpegTarget {
    std::uint8_t* Pixels = nullptr; // the working image's first row
    std::size_t Stride = 0;         // its bytes per line
    std::uint8_t* Cmyk = nullptr;   // RowsPerCall CMYK rows, for four-component images
    bool Inverted = false;          // Adobe-style CMYK storage
};

// Each phase below sets the jump point for the libjpeg calls it makes and returns false
// when libjpeg failed.

bool CreateDecompress(jpeg_decompress_struct* Info) {
    auto* Error = reinterpret_cast<TJpegError*>(Info->err);
    if (setjmp(Error->Jump))
        return false;
    jpeg_create_decompress(Info);
    return true;
}

bool ReadHeader(jpeg_decompress_struct* Info) {
    auto* Error = reinterpret_cast<TJpegError*>(Info->err);
    if (setjmp(Error->Jump))
        return false;
    jpeg_read_header(Info, TRUE);
    return true;
}

bool StartDecompress(jpeg_decompress_struct* Info) {
    auto* Error = reinterpret_cast<TJpegError*>(Info->err);
    if (setjmp(Error->Jump))
        return false;
    jpeg_start_decompress(Info);
    return true;
}

void CmykToRgb(const std::uint8_t* In, std::size_t Width, bool Inverted, std::uint8_t* Out) {
    for (std::size_t X = 0; X < Width; ++X, In += 4, Out += 3) {
        std::uint32_t C = In[0], M = In[1], Y = In[2], K = In[3];
        if (!Inverted) {
            C = 255 - C;
            M = 255 - M;
            Y = 255 - Y;
            K = 255 - K;
        }
        // Now 255 − ink for each component.
        Out[0] = static_cast<std::uint8_t>((C * K + 127) / 255);
        Out[1] = static_cast<std::uint8_t>((M * K + 127) / 255);
        Out[2] = static_cast<std::uint8_t>((Y * K + 127) / 255);
    }
}

bool ReadRows(jpeg_decompress_struct* Info, const TJpegTarget* Target) {
    auto* Error = reinterpret_cast<TJpegError*>(Info->err);
    if (setjmp(Error->Jump))
        return false;
    const std::size_t Width = Info->output_width;
    while (Info->output_scanline < Info->output_height) {
        const JDIMENSION First = Info->output_scanline;
        const int Rows =
            static_cast<int>(std::min<JDIMENSION>(RowsPerCall, Info->output_height - First));
        JSAMPROW Pointers[RowsPerCall];
        for (int R = 0; R < Rows; ++R)
            Pointers[R] = Target->Cmyk ? Target->Cmyk + std::size_t(R) * Width * 4
                                       : Target->Pixels + (First + R) * Target->Stride;
        const JDIMENSION Got = jpeg_read_scanlines(Info, Pointers, static_cast<JDIMENSION>(Rows));
        if (Got == 0) {
            std::strcpy(Error->Message, "decoding stalled");
            return false;
        }
        if (Target->Cmyk) {
            for (JDIMENSION R = 0; R < Got; ++R)
                CmykToRgb(Pointers[R], Width, Target->Inverted,
                          Target->Pixels + (First + R) * Target->Stride);
        }
    }
    return true;
}

class TJpegDecompress {
public:
    TJpegDecompress(TJpegError& Error, TJpegSource& Source) {
        std::memset(&FInfo, 0, sizeof FInfo);
        FInfo.err = jpeg_std_error(&Error.Manager);
        Error.Manager.error_exit = OnJpegError;
        Error.Manager.emit_message = OnJpegMessage;
        if (!CreateDecompress(&FInfo))
            throw EImageError("Not enough memory to read a JPEG file.");
        FCreated = true;
        FInfo.src = &Source.Manager;
    }
    ~TJpegDecompress() {
        if (FCreated)
            jpeg_destroy_decompress(&FInfo);
    }
    TJpegDecompress(const TJpegDecompress&) = delete;
    TJpegDecompress& operator=(const TJpegDecompress&) = delete;

    jpeg_decompress_struct* Info() { return &FInfo; }

private:
    jpeg_decompress_struct FInfo;
    bool FCreated = false;
};

[[noreturn]] void Fail(const TJpegError& Error, const TByteReader& Input) {
    if (Error.InputError[0])
        throw EImageError(Error.InputError);
    if (Error.Truncated)
        Input.Truncated();
    std::string Message = Error.Message[0] ? Error.Message : "cannot decode the image";
    if (Message.back() != '.')
        Message += '.';
    Input.Damaged(Message);
}

// Huffman coding spends at least one bit on every block of every component, so a file
// smaller than that cannot hold the image it declares.
bool PlausibleSize(const jpeg_decompress_struct& Info, std::int64_t FileSize) {
    if (Info.arith_code)
        return true;
    std::uint64_t Blocks = 0;
    for (int C = 0; C < Info.num_components; ++C)
        Blocks = std::max<std::uint64_t>(Blocks, std::uint64_t(Info.comp_info[C].width_in_blocks) *
                                                     Info.comp_info[C].height_in_blocks);
    return static_cast<std::uint64_t>(FileSize) >= Blocks / 8;
}

} // namespace

TWorkingImage ReadJPEG(TByteReader& Input) {
    TJpegError Error;
    TJpegSource Source;
    std::vector<std::uint8_t> FileBuffer;
    Source.Input = &Input;
    Source.Manager.init_source = InitSource;
    Source.Manager.fill_input_buffer = FillInputBuffer;
    Source.Manager.skip_input_data = SkipInputData;
    Source.Manager.resync_to_restart = jpeg_resync_to_restart;
    Source.Manager.term_source = TermSource;
    if (const std::uint8_t* Memory = Input.MemoryData()) {
        Source.Manager.next_input_byte = Memory + Input.Position();
        Source.Manager.bytes_in_buffer = static_cast<std::size_t>(Input.Remaining());
    } else {
        FileBuffer.resize(FileBufferSize);
        Source.Buffer = FileBuffer.data();
        Source.Manager.next_input_byte = nullptr;
        Source.Manager.bytes_in_buffer = 0;
    }

    TJpegDecompress Decompress(Error, Source);
    jpeg_decompress_struct* Info = Decompress.Info();
    if (!ReadHeader(Info))
        Fail(Error, Input);
    CheckImageSize(Info->image_width, Info->image_height, FormatName);
    if (!PlausibleSize(*Info, Input.Size()))
        Input.Truncated();

    TWorkingImage Result;
    TJpegTarget Target;
    switch (Info->jpeg_color_space) {
    case JCS_GRAYSCALE:
        Info->out_color_space = JCS_RGB; // libjpeg replicates grey into RGB
        Result.PixelFormat = EPixelFormat::Gray256;
        break;
    case JCS_YCbCr:
    case JCS_RGB:
        Info->out_color_space = JCS_RGB;
        break;
    case JCS_CMYK:
    case JCS_YCCK:
        Info->out_color_space = JCS_CMYK;
        Target.Inverted = Info->saw_Adobe_marker;
        break;
    default:
        throw EImageError("JPEG image uses an unsupported colour space (" +
                          std::to_string(Info->num_components) + " components).");
    }
    Info->dct_method = JDCT_ISLOW;
    Info->do_fancy_upsampling = TRUE;

    Result.Image = NewWorkingImage(Info->image_width, Info->image_height, FormatName);
    if (!StartDecompress(Info))
        Fail(Error, Input);
    if (Info->output_width != Info->image_width || Info->output_height != Info->image_height)
        Input.Damaged("unexpected output size.");
    std::vector<std::uint8_t> CmykRows;
    if (Info->out_color_space == JCS_CMYK) {
        CmykRows.resize(CheckedMul(std::size_t(Info->output_width) * 4, RowsPerCall));
        Target.Cmyk = CmykRows.data();
    }
    Target.Pixels = Result.Image.bits();
    Target.Stride = static_cast<std::size_t>(Result.Image.bytesPerLine());
    if (!ReadRows(Info, &Target))
        Fail(Error, Input);
    return Result;
}

} // namespace korvane
