#include "image/readers/ByteReader.h"

#include "image/ImageModel.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korvane {

namespace {
constexpr std::size_t BufferSize = 1 << 16;
}

TByteReader::TByteReader(const std::string& FileName, std::string Format)
    : FFormat(std::move(Format)) {
    FFile = ::open(FileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (FFile < 0)
        throw EImageError("Cannot open file \"" + FileName + "\": " + std::strerror(errno) + ".");
    struct stat Info;
    if (::fstat(FFile, &Info) != 0 || !S_ISREG(Info.st_mode)) {
        ::close(FFile);
        FFile = -1;
        throw EImageError("\"" + FileName + "\" is not a regular file.");
    }
    FSize = Info.st_size;
    FBuffer.resize(BufferSize);
}

TByteReader::TByteReader(const std::uint8_t* Data, std::size_t Size, std::string Format)
    : FFormat(std::move(Format)), FMemory(Data), FSize(static_cast<std::int64_t>(Size)) {}

TByteReader::~TByteReader() {
    if (FFile >= 0)
        ::close(FFile);
}

void TByteReader::Seek(std::int64_t Position) {
    if (Position < 0 || Position > FSize)
        Truncated();
    FPosition = Position;
}

void TByteReader::Truncated() const {
    throw EImageError(FFormat + " file is truncated.");
}

void TByteReader::Damaged(const std::string& What) const {
    throw EImageError(FFormat + " file is damaged: " + What);
}

void TByteReader::Fill() {
    FBufferStart = FPosition;
    FBufferLength = 0;
    while (FBufferLength < FBuffer.size()) {
        const ssize_t N =
            ::pread(FFile, FBuffer.data() + FBufferLength, FBuffer.size() - FBufferLength,
                    static_cast<off_t>(FBufferStart + FBufferLength));
        if (N < 0 && errno == EINTR)
            continue;
        if (N < 0)
            throw EImageError(FFormat + " file cannot be read: " + std::strerror(errno) + ".");
        if (N == 0)
            break;
        FBufferLength += static_cast<std::size_t>(N);
    }
}

std::size_t TByteReader::ReadSome(void* Buffer, std::size_t Count) {
    const std::size_t Wanted = static_cast<std::size_t>(
        std::min<std::int64_t>(static_cast<std::int64_t>(Count), Remaining()));
    if (Wanted == 0) // Buffer may be null then (an empty vector's data())
        return 0;
    auto* Out = static_cast<std::uint8_t*>(Buffer);
    if (FMemory) {
        std::memcpy(Out, FMemory + FPosition, Wanted);
        FPosition += static_cast<std::int64_t>(Wanted);
        return Wanted;
    }
    std::size_t Done = 0;
    while (Done < Wanted) {
        if (FPosition < FBufferStart ||
            FPosition >= FBufferStart + static_cast<std::int64_t>(FBufferLength)) {
            // Large reads bypass the buffer.
            if (Wanted - Done >= FBuffer.size()) {
                const ssize_t N =
                    ::pread(FFile, Out + Done, Wanted - Done, static_cast<off_t>(FPosition));
                if (N < 0 && errno == EINTR)
                    continue;
                if (N <= 0)
                    break;
                Done += static_cast<std::size_t>(N);
                FPosition += N;
                continue;
            }
            Fill();
            if (FBufferLength == 0)
                break;
        }
        const std::size_t Offset = static_cast<std::size_t>(FPosition - FBufferStart);
        const std::size_t N = std::min(Wanted - Done, FBufferLength - Offset);
        std::memcpy(Out + Done, FBuffer.data() + Offset, N);
        Done += N;
        FPosition += static_cast<std::int64_t>(N);
    }
    return Done;
}

void TByteReader::Read(void* Buffer, std::size_t Count) {
    if (static_cast<std::int64_t>(Count) > Remaining() || ReadSome(Buffer, Count) != Count)
        Truncated();
}

std::uint8_t TByteReader::U8() {
    if (FMemory) {
        if (FPosition >= FSize)
            Truncated();
        return FMemory[FPosition++];
    }
    if (FPosition >= FBufferStart &&
        FPosition < FBufferStart + static_cast<std::int64_t>(FBufferLength))
        return FBuffer[static_cast<std::size_t>(FPosition++ - FBufferStart)];
    std::uint8_t B;
    Read(&B, 1);
    return B;
}

std::uint16_t TByteReader::U16LE() {
    std::uint8_t B[2];
    Read(B, 2);
    return static_cast<std::uint16_t>(B[0] | (B[1] << 8));
}

std::uint32_t TByteReader::U32LE() {
    std::uint8_t B[4];
    Read(B, 4);
    return B[0] | (B[1] << 8) | (B[2] << 16) | (static_cast<std::uint32_t>(B[3]) << 24);
}

std::uint16_t TByteReader::U16BE() {
    std::uint8_t B[2];
    Read(B, 2);
    return static_cast<std::uint16_t>((B[0] << 8) | B[1]);
}

std::uint32_t TByteReader::U32BE() {
    std::uint8_t B[4];
    Read(B, 4);
    return (static_cast<std::uint32_t>(B[0]) << 24) | (B[1] << 16) | (B[2] << 8) | B[3];
}

} // namespace korvane
