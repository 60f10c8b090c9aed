// libFuzzer target for one image reader, chosen at compile time:
//   KORVANE_FUZZ_READER  the reader function (ReadTIFF, ...)
//   KORVANE_FUZZ_FORMAT  its name in messages ("TIFF", ...)
// A reader may only ever fail with EImageError; anything else (a crash, a sanitizer
// report, another exception, a runaway allocation) is a finding.

#include "image/ImageModel.h"
#include "image/readers/Readers.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    korvane::EnsureGuiApplication();
    try {
        korvane::TByteReader Input(Data, Size, KORVANE_FUZZ_FORMAT);
        const korvane::TWorkingImage Result = korvane::KORVANE_FUZZ_READER(Input);
        if (Result.Image.format() != QImage::Format_RGB888)
            __builtin_trap();
    } catch (const korvane::EImageError&) {
    }
    return 0;
}
