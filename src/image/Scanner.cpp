#include "image/Scanner.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <sane/sane.h>
#include <sane/saneopts.h>

namespace korvane {

namespace {

TScanner* TheScanner = nullptr;

std::string StatusText(SANE_Status Status) {
    return sane_strstatus(Status);
}

void Check(SANE_Status Status, const std::string& What) {
    if (Status != SANE_STATUS_GOOD)
        throw EScannerError(What + ": " + StatusText(Status) + ".");
}

// Closes the device (and cancels a scan in progress) on every path.
struct TDevice {
    SANE_Handle Handle = nullptr;
    ~TDevice() {
        if (Handle) {
            sane_cancel(Handle);
            sane_close(Handle);
        }
    }
};

void SetResolution(SANE_Handle Handle, std::uint16_t Dpi) {
    if (Dpi == 0)
        return;
    for (SANE_Int I = 1;; ++I) {
        const SANE_Option_Descriptor* D = sane_get_option_descriptor(Handle, I);
        if (!D)
            return;
        if (!D->name || std::strcmp(D->name, SANE_NAME_SCAN_RESOLUTION) != 0)
            continue;
        if (!SANE_OPTION_IS_SETTABLE(D->cap) || !SANE_OPTION_IS_ACTIVE(D->cap))
            return;
        SANE_Int Info = 0;
        if (D->type == SANE_TYPE_FIXED) {
            SANE_Word Value = SANE_FIX(Dpi);
            sane_control_option(Handle, I, SANE_ACTION_SET_VALUE, &Value, &Info);
        } else if (D->type == SANE_TYPE_INT) {
            SANE_Word Value = Dpi;
            sane_control_option(Handle, I, SANE_ACTION_SET_VALUE, &Value, &Info);
        }
        return;
    }
}

// Reads one frame's bytes (Lines may be unknown: -1).
std::vector<std::uint8_t> ReadFrame(SANE_Handle Handle, const SANE_Parameters& P) {
    std::vector<std::uint8_t> Data;
    const std::size_t Limit = CheckedMul(static_cast<std::size_t>(MaxImagePixels), 6);
    if (P.lines > 0) {
        CheckImageSize(P.pixels_per_line, P.lines, "Scanned");
        Data.reserve(CheckedMul(static_cast<std::size_t>(P.bytes_per_line),
                                static_cast<std::size_t>(P.lines)));
    }
    std::uint8_t Buffer[1 << 15];
    for (;;) {
        SANE_Int Length = 0;
        const SANE_Status Status = sane_read(Handle, Buffer, sizeof Buffer, &Length);
        if (Status == SANE_STATUS_EOF)
            break;
        Check(Status, "Scanning failed");
        Data.insert(Data.end(), Buffer, Buffer + Length);
        if (Data.size() > Limit)
            throw EScannerError("The scanned image is too large.");
    }
    return Data;
}

// The 8-bit value of sample Index of a row (depth 1, 8 or 16; 16-bit samples come in the
// machine's byte order and keep their high byte; a set 1-bit sample is black).
std::uint8_t Sample(const std::uint8_t* Row, std::size_t Index, int Depth) {
    switch (Depth) {
    case 1:
        return (Row[Index / 8] & (0x80 >> (Index % 8))) ? 0 : 255;
    case 8:
        return Row[Index];
    default: {
        std::uint16_t V;
        std::memcpy(&V, Row + Index * 2, 2);
        return static_cast<std::uint8_t>(V >> 8);
    }
    }
}

} // namespace

TScanner::TScanner() {
    if (TheScanner)
        throw EScannerError("Only one scanner object is permitted");
    TheScanner = this;
}

TScanner::~TScanner() {
    Close();
    TheScanner = nullptr;
}

TScanner& TScanner::Instance() {
    if (!TheScanner) {
        // Lives until the program ends.
        static TScanner* Created = new TScanner();
        (void)Created;
    }
    return *TheScanner;
}

bool TScanner::Available() {
    if (FInitialised && !FSources.empty())
        return true;
    try {
        Open();
    } catch (const EKorvane&) {
        Close();
    }
    return FInitialised && !FSources.empty();
}

void TScanner::Open() {
    Close();
    SANE_Int Version = 0;
    Check(sane_init(&Version, nullptr), "No scanner interface");
    FInitialised = true;
    const SANE_Device** Devices = nullptr;
    Check(sane_get_devices(&Devices, SANE_FALSE), "Unable to list the scanners");
    for (int I = 0; Devices && Devices[I]; ++I) {
        const SANE_Device* D = Devices[I];
        std::string Caption =
            std::string(D->vendor ? D->vendor : "") + " " + (D->model ? D->model : "");
        FSources.push_back({D->name ? D->name : "", Caption});
    }
    FSelectedSource = FSources.empty() ? -1 : 0;
}

void TScanner::Close() {
    if (FInitialised)
        sane_exit();
    FInitialised = false;
    FSources.clear();
    FSelectedSource = -1;
}

int TScanner::IndexOf(const std::string& Device) const {
    for (std::size_t I = 0; I < FSources.size(); ++I)
        if (FSources[I].Device == Device)
            return static_cast<int>(I);
    return -1;
}

TWorkingImage TScanner::Acquire(int Index) {
    if (!Available())
        throw EScannerError("No scanner interface");
    if (Index < 0 || Index >= static_cast<int>(FSources.size()))
        throw EScannerError("No such scanner source.");
    TDevice Device;
    Check(sane_open(FSources[static_cast<std::size_t>(Index)].Device.c_str(), &Device.Handle),
          "Unable to open the scanner \"" + FSources[static_cast<std::size_t>(Index)].Caption +
              "\"");
    SetResolution(Device.Handle, Resolution);

    TWorkingImage Result;
    int Width = 0, Height = 0;
    bool Grey = true;
    for (bool Last = false; !Last;) {
        Check(sane_start(Device.Handle), "Unable to start the scan");
        SANE_Parameters P;
        Check(sane_get_parameters(Device.Handle, &P), "The scanner gave no image parameters");
        Last = P.last_frame;
        if (P.depth != 1 && P.depth != 8 && P.depth != 16)
            throw EScannerError("The scanner delivers " + std::to_string(P.depth) +
                                "-bit samples, which Korvane cannot read.");
        const int Channels = P.format == SANE_FRAME_RGB ? 3 : 1;
        if (P.format == SANE_FRAME_RGB && P.depth == 1)
            throw EScannerError("The scanner delivers 1-bit colour, which Korvane cannot read.");
        if (P.bytes_per_line <= 0 || P.pixels_per_line <= 0 ||
            static_cast<std::int64_t>(P.bytes_per_line) * 8 <
                static_cast<std::int64_t>(P.pixels_per_line) * Channels * P.depth)
            throw EScannerError("The scanner gave inconsistent image parameters.");
        const std::vector<std::uint8_t> Data = ReadFrame(Device.Handle, P);
        const int Lines =
            static_cast<int>(Data.size() / static_cast<std::size_t>(P.bytes_per_line));
        if (Result.Image.isNull()) {
            Width = P.pixels_per_line;
            Height = Lines;
            Result.Image = NewWorkingImage(Width, Height, "Scanned");
        } else if (P.pixels_per_line != Width || Lines < Height) {
            throw EScannerError("The scanner's colour frames differ in size.");
        }
        int Plane = -1; // -1: all channels
        switch (P.format) {
        case SANE_FRAME_GRAY:
            break;
        case SANE_FRAME_RGB:
            Grey = false;
            break;
        case SANE_FRAME_RED:
            Plane = 0;
            Grey = false;
            break;
        case SANE_FRAME_GREEN:
            Plane = 1;
            Grey = false;
            break;
        case SANE_FRAME_BLUE:
            Plane = 2;
            Grey = false;
            break;
        default:
            throw EScannerError("The scanner delivers a frame format Korvane cannot read.");
        }
        for (int Y = 0; Y < Height; ++Y) {
            const std::uint8_t* Row = Data.data() + static_cast<std::size_t>(Y) * P.bytes_per_line;
            std::uint8_t* Out = Result.Image.scanLine(Y);
            for (int X = 0; X < Width; ++X) {
                if (Channels == 3) {
                    for (int C = 0; C < 3; ++C)
                        Out[X * 3 + C] = Sample(Row, static_cast<std::size_t>(X) * 3 + C, P.depth);
                } else if (Plane >= 0) {
                    Out[X * 3 + Plane] = Sample(Row, static_cast<std::size_t>(X), P.depth);
                } else {
                    const std::uint8_t V = Sample(Row, static_cast<std::size_t>(X), P.depth);
                    Out[X * 3] = Out[X * 3 + 1] = Out[X * 3 + 2] = V;
                }
            }
        }
        if (Grey)
            Result.PixelFormat = P.depth == 1 ? EPixelFormat::BlackWhite : EPixelFormat::Gray256;
        else
            Result.PixelFormat = EPixelFormat::TrueColor;
    }
    return Result;
}

} // namespace korvane
