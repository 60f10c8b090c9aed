#pragma once

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

namespace korvane {

static_assert(std::endian::native == std::endian::little ||
              std::endian::native == std::endian::big);

// A sequential stream of bytes. Records are composed from the little-endian helpers below.
class TStream {
public:
    virtual ~TStream() = default;

    // Raw transfers; they return how many bytes moved.
    virtual std::size_t Read(void* Buffer, std::size_t Count) = 0;
    virtual std::size_t Write(const void* Buffer, std::size_t Count) = 0;

    virtual std::int64_t Position() const = 0;
    virtual std::int64_t Size() const = 0;
    virtual void Seek(std::int64_t Offset) = 0;

    // Exact transfers: a short read throws EReadError, a short write EWriteError.
    void ReadBuffer(void* Buffer, std::size_t Count);
    void WriteBuffer(const void* Buffer, std::size_t Count);

protected:
    TStream() = default;
    TStream(const TStream&) = delete;
    TStream& operator=(const TStream&) = delete;
};

// A stream over a growable block of memory.
class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::vector<std::uint8_t> Bytes) : FData(std::move(Bytes)) {}

    std::size_t Read(void* Buffer, std::size_t Count) override;
    std::size_t Write(const void* Buffer, std::size_t Count) override;
    std::int64_t Position() const override { return static_cast<std::int64_t>(FPosition); }
    std::int64_t Size() const override { return static_cast<std::int64_t>(FData.size()); }
    void Seek(std::int64_t Offset) override;

    const std::vector<std::uint8_t>& Bytes() const { return FData; }
    void Clear();

private:
    std::vector<std::uint8_t> FData;
    std::size_t FPosition = 0;
};

// A stream over a file on disk.
class TFileStream : public TStream {
public:
    enum class EMode { OpenRead, Create };

    // Throws EFOpenError naming the file and the system's reason.
    TFileStream(const std::string& FileName, EMode Mode);
    // Writes to an open descriptor, which it then owns; messages name FileName.
    TFileStream(int Descriptor, const std::string& FileName);
    ~TFileStream() override;

    std::size_t Read(void* Buffer, std::size_t Count) override;
    std::size_t Write(const void* Buffer, std::size_t Count) override;
    std::int64_t Position() const override;
    std::int64_t Size() const override;
    void Seek(std::int64_t Offset) override;

    // Pushes buffered bytes to the system; throws EWriteError on failure.
    void Flush();
    // Flushes and closes; throws EWriteError when the data did not reach the file.
    void Close();
    // Flushes and makes the system put the data on the disk; throws EWriteError.
    void Sync();
    // The system's descriptor of the open file, or -1.
    int Descriptor() const;

    const std::string& FileName() const { return FFileName; }

private:
    std::string FFileName;
    std::FILE* FFile = nullptr;
};

// Little-endian scalar fields.
template <class T> void WriteValue(TStream& Stream, T Value) {
    static_assert(std::is_arithmetic_v<T>);
    unsigned char Bytes[sizeof(T)];
    std::memcpy(Bytes, &Value, sizeof(T));
    if constexpr (std::endian::native == std::endian::big)
        for (std::size_t I = 0; I < sizeof(T) / 2; ++I)
            std::swap(Bytes[I], Bytes[sizeof(T) - 1 - I]);
    Stream.WriteBuffer(Bytes, sizeof(T));
}

template <class T> T ReadValue(TStream& Stream) {
    static_assert(std::is_arithmetic_v<T>);
    unsigned char Bytes[sizeof(T)];
    Stream.ReadBuffer(Bytes, sizeof(T));
    if constexpr (std::endian::native == std::endian::big)
        for (std::size_t I = 0; I < sizeof(T) / 2; ++I)
            std::swap(Bytes[I], Bytes[sizeof(T) - 1 - I]);
    T Value;
    std::memcpy(&Value, Bytes, sizeof(T));
    return Value;
}

inline std::int32_t ReadInt32(TStream& Stream) {
    return ReadValue<std::int32_t>(Stream);
}
inline void WriteInt32(TStream& Stream, std::int32_t Value) {
    WriteValue(Stream, Value);
}
inline double ReadDouble(TStream& Stream) {
    return ReadValue<double>(Stream);
}
inline void WriteDouble(TStream& Stream, double Value) {
    WriteValue(Stream, Value);
}
// A boolean is one byte: 0 is false, anything else true; true is written as 1.
inline bool ReadBool(TStream& Stream) {
    return ReadValue<std::uint8_t>(Stream) != 0;
}
inline void WriteBool(TStream& Stream, bool Value) {
    WriteValue<std::uint8_t>(Stream, Value ? 1 : 0);
}

// A string is its length in bytes as a 32-bit signed value followed by the bytes
// (UTF-8), without terminator.
void StringToStream(TStream& Stream, const std::string& Text);
// A stored length of 0 or less reads as the empty string; a length above 100000 throws
// "Corrupted length in StringFromStream." before any string byte is read.
std::string StringFromStream(TStream& Stream);

constexpr std::int32_t MaxStreamStringLength = 100000;

} // namespace korvane
