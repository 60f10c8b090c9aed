// libFuzzer target for one image reader, chosen at compile time:
//   KORVANE_FUZZ_READER  the reader function (ReadTIFF, ...), or a metafile player (PlayWMF,
//                        PlayEMF)
//   KORVANE_FUZZ_FORMAT  its name in messages ("TIFF", ...)
// A reader may only ever fail with EImageError; anything else (a crash, a sanitizer
// report, another exception, a runaway allocation) is a finding.
//
// Metafiles are drawn small, and every record of a large one is played for each input, so
// their seeds are kept short: with KORVANE_FUZZ_SEEDS=DIR in the environment a metafile
// target first shortens each sound metafile in DIR longer than MaxSeedBytes to its records
// up to that length and an EOF record, so that it still plays.

#include "image/ImageModel.h"
#include "image/readers/Readers.h"
#include "image/readers/metafile/MetafilePlayers.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <type_traits>
#include <vector>

namespace {

using namespace korvane;

// One of the two is unused in each target.
[[maybe_unused]] TWorkingImage Read(TWorkingImage (*Reader)(TByteReader&), TByteReader& Input) {
    return Reader(Input);
}

// Metafiles are drawn small: every record is still read and played, on few pixels, so that
// a large picture does not make the target slow.
[[maybe_unused]] TWorkingImage Read(TWorkingImage (*Player)(TByteReader&, const TMetafileDrawing&),
                                    TByteReader& Input) {
    return Player(Input, {.MaxSide = 64});
}

using TBytes = std::vector<std::uint8_t>;

constexpr std::size_t MaxSeedBytes = 32 << 10;

std::uint32_t Get(const TBytes& B, std::size_t At, int Bytes) {
    std::uint32_t Value = 0;
    for (int I = Bytes - 1; I >= 0; --I)
        Value = Value << 8 | B[At + std::size_t(I)];
    return Value;
}

// The metafile's header and its records up to MaxSeedBytes, then an EOF record. Comments and
// escapes, which the players pass over (a LibreOffice WMF carries its whole picture again as
// an EMF in escapes), are left out first. Empty unless its records walk soundly to an EOF
// record: a damaged sample stays as it is.
TBytes Shortened(const TBytes& File) {
    const bool Emf = File.size() >= 44 && Get(File, 0, 4) == 1 && Get(File, 40, 4) == 0x464D4520;
    const TBytes EmfEof = {14, 0, 0, 0, 20, 0, 0, 0, 0, 0, 0, 0, 16, 0, 0, 0, 20, 0, 0, 0};
    const TBytes WmfEof = {3, 0, 0, 0, 0, 0};
    const TBytes& Eof = Emf ? EmfEof : WmfEof;
    std::size_t At = 0;
    if (Emf) {
        At = Get(File, 4, 4); // the header record
    } else {
        if (File.size() >= 22 && Get(File, 0, 4) == 0x9AC6CDD7)
            At = 22;
        if (File.size() < At + 18 || Get(File, At + 2, 2) != 9)
            return {};
        At += 18;
    }
    if (At > File.size())
        return {};
    TBytes Result(File.begin(), File.begin() + std::ptrdiff_t(At));
    bool Full = false;
    for (;;) {
        if (File.size() < At + (Emf ? 8 : 6))
            return {};
        const std::size_t Size = Emf ? Get(File, At + 4, 4) : std::size_t(Get(File, At, 4)) * 2;
        const std::uint32_t Type = Emf ? Get(File, At, 4) : Get(File, At + 4, 2);
        if (Type == (Emf ? 14u : 0u))
            break;
        if (Size < 6 || Size > File.size() - At)
            return {};
        const bool Comment = Type == (Emf ? 70u : 0x0626u); // EMR_GDICOMMENT, META_ESCAPE
        Full = Full || (!Comment && Result.size() + Size + Eof.size() > MaxSeedBytes);
        if (!Comment && !Full)
            Result.insert(Result.end(), File.begin() + std::ptrdiff_t(At),
                          File.begin() + std::ptrdiff_t(At + Size));
        At += Size;
    }
    Result.insert(Result.end(), Eof.begin(), Eof.end());
    return Result;
}

void ShortenSeeds(const char* Folder) {
    for (const auto& Entry : std::filesystem::directory_iterator(Folder)) {
        std::ifstream In(Entry.path(), std::ios::binary);
        const TBytes File((std::istreambuf_iterator<char>(In)), {});
        if (File.size() <= MaxSeedBytes)
            continue;
        const TBytes Short = Shortened(File);
        if (Short.empty())
            continue;
        // A new file renamed over the sample, which may be read-only.
        const std::filesystem::path Temporary = Entry.path().string() + ".short";
        std::ofstream(Temporary, std::ios::binary)
            .write(reinterpret_cast<const char*>(Short.data()), std::streamsize(Short.size()));
        std::filesystem::rename(Temporary, Entry.path());
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    EnsureGuiApplication();
    constexpr bool Metafile =
        std::is_invocable_v<decltype(&KORVANE_FUZZ_READER), TByteReader&, const TMetafileDrawing&>;
    if (const char* Folder = std::getenv("KORVANE_FUZZ_SEEDS"); Metafile && Folder && *Folder)
        ShortenSeeds(Folder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    try {
        TByteReader Input(Data, Size, KORVANE_FUZZ_FORMAT);
        const TWorkingImage Result = Read(KORVANE_FUZZ_READER, Input);
        if (Result.Image.format() != QImage::Format_RGB888)
            __builtin_trap();
    } catch (const EImageError&) {
    }
    return 0;
}
