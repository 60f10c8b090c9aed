#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace korvane {

// Bounds-checked, buffered random access to the bytes of an image file or a block of
// memory. Every read past the end throws EImageError "<Format> file is truncated.", so
// a reader never sees bytes that are not there. Not thread-safe; one reader at a time.
class TByteReader {
public:
    // Opens FileName; throws EImageError naming the file and the system's reason.
    TByteReader(const std::string& FileName, std::string Format);
    // Reads Size bytes at Data, which must outlive the reader.
    TByteReader(const std::uint8_t* Data, std::size_t Size, std::string Format);
    ~TByteReader();
    TByteReader(const TByteReader&) = delete;
    TByteReader& operator=(const TByteReader&) = delete;

    const std::string& Format() const { return FFormat; }
    void SetFormat(std::string Format) { FFormat = std::move(Format); }

    std::int64_t Size() const { return FSize; }
    std::int64_t Position() const { return FPosition; }
    std::int64_t Remaining() const { return FSize - FPosition; }
    // A position beyond the end throws (the end itself is allowed).
    void Seek(std::int64_t Position);
    void Skip(std::int64_t Count) { Seek(FPosition + Count); }

    // Exactly Count bytes or EImageError.
    void Read(void* Buffer, std::size_t Count);
    // Up to Count bytes; returns how many.
    std::size_t ReadSome(void* Buffer, std::size_t Count);

    std::uint8_t U8();
    std::uint16_t U16LE();
    std::uint32_t U32LE();
    std::int32_t I32LE() { return static_cast<std::int32_t>(U32LE()); }
    std::int16_t I16LE() { return static_cast<std::int16_t>(U16LE()); }
    std::uint16_t U16BE();
    std::uint32_t U32BE();

    // Throws "<Format> file is truncated.".
    [[noreturn]] void Truncated() const;
    // Throws "<Format> file is damaged: <What>".
    [[noreturn]] void Damaged(const std::string& What) const;

    // The whole content when the reader is over memory; nullptr for files.
    const std::uint8_t* MemoryData() const { return FMemory; }

private:
    void Fill();

    std::string FFormat;
    int FFile = -1;
    const std::uint8_t* FMemory = nullptr;
    std::int64_t FSize = 0;
    std::int64_t FPosition = 0;
    // File buffer: bytes [FBufferStart, FBufferStart + FBuffer.size()) of the file.
    std::vector<std::uint8_t> FBuffer;
    std::int64_t FBufferStart = 0;
    std::size_t FBufferLength = 0;
};

} // namespace korvane
