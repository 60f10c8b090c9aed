#pragma once

// Helpers shared by the parameter file tests: a temporary folder, raw file access, a
// byte builder for hand-made records and the image panel's coordinate-system record.

#include "core/Errors.h"
#include "core/MessageDigests.h"
#include "core/Streams.h"
#include "document/Parameters.h"
#include "image/PanelScale.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace korvane::test {

using TBytes = std::vector<std::uint8_t>;

// A fresh folder under the system's temporary folder, removed with everything in it.
class TTempFolder {
public:
    TTempFolder() {
        std::string Pattern = (std::filesystem::temp_directory_path() / "korvane-XXXXXX").string();
        if (!::mkdtemp(Pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        FPath = Pattern;
    }
    ~TTempFolder() {
        std::error_code Error;
        std::filesystem::remove_all(FPath, Error);
    }
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;

    const std::string& Path() const { return FPath; }
    std::string operator/(const std::string& Name) const { return FPath + "/" + Name; }
    // The names in the folder (not recursive), sorted.
    std::vector<std::string> Names(const std::string& Sub = {}) const {
        std::vector<std::string> Result;
        for (const auto& Entry : std::filesystem::directory_iterator(Sub.empty() ? FPath : Sub))
            Result.push_back(Entry.path().filename().string());
        std::sort(Result.begin(), Result.end());
        return Result;
    }

private:
    std::string FPath;
};

inline TBytes ReadFileBytes(const std::string& Name) {
    std::ifstream File(Name, std::ios::binary);
    if (!File)
        throw std::runtime_error("cannot read " + Name);
    return TBytes(std::istreambuf_iterator<char>(File), std::istreambuf_iterator<char>());
}

inline void WriteFileBytes(const std::string& Name, const TBytes& Bytes) {
    std::ofstream File(Name, std::ios::binary | std::ios::trunc);
    File.write(reinterpret_cast<const char*>(Bytes.data()),
               static_cast<std::streamsize>(Bytes.size()));
    if (!File)
        throw std::runtime_error("cannot write " + Name);
}

inline void TouchFile(const std::string& Name) {
    WriteFileBytes(Name, {});
}

// Little-endian fields appended one after another.
struct TByteBuilder {
    TBytes Bytes;
    TByteBuilder& Byte(std::uint8_t B) {
        Bytes.push_back(B);
        return *this;
    }
    TByteBuilder& Int32(std::int32_t V) {
        const auto U = static_cast<std::uint32_t>(V);
        for (int I = 0; I < 4; ++I)
            Bytes.push_back(static_cast<std::uint8_t>(U >> (8 * I)));
        return *this;
    }
    TByteBuilder& Double(double D) {
        std::uint64_t U;
        std::memcpy(&U, &D, 8);
        for (int I = 0; I < 8; ++I)
            Bytes.push_back(static_cast<std::uint8_t>(U >> (8 * I)));
        return *this;
    }
    TByteBuilder& String(const std::string& S) {
        Int32(static_cast<std::int32_t>(S.size()));
        Bytes.insert(Bytes.end(), S.begin(), S.end());
        return *this;
    }
    TByteBuilder& Raw(const TBytes& B) {
        Bytes.insert(Bytes.end(), B.begin(), B.end());
        return *this;
    }
};

// Content followed by its RIPEMD-160 digest, as the parameter files end.
inline TBytes Sealed(TBytes Content) {
    const TRipeMD160Digest Digest = RipeMD160(Content.data(), Content.size());
    Content.insert(Content.end(), Digest.begin(), Digest.end());
    return Content;
}

// The content without its last 20 bytes.
inline TBytes Unsealed(const TBytes& File) {
    return TBytes(File.begin(), File.end() - std::min<std::ptrdiff_t>(20, File.size()));
}

// The image panel's coordinate-system record over a widget-free panel scale. SaveFailsAfter
// makes saving throw after writing that many bytes of the record (a failing disk).
class TTestPanel : public IScaleRecordOwner {
public:
    TPanelScale Scale;
    mutable TStoredScroller Scroller;
    int SaveFailsAfter = -1;

    void LoadScaleRecord(TStream& Stream) override { Scale.LoadFromStream(Stream, Scroller); }
    void SaveScaleRecord(TStream& Stream) const override {
        if (SaveFailsAfter < 0) {
            Scale.SaveToStream(Stream, Scroller);
            return;
        }
        TMemoryStream Record;
        Scale.SaveToStream(Record, Scroller);
        Stream.WriteBuffer(Record.Bytes().data(),
                           std::min<std::size_t>(Record.Bytes().size(), SaveFailsAfter));
        throw EWriteError("No space left on device.");
    }
};

} // namespace korvane::test
