#include "core/Streams.h"

#include "core/Errors.h"

#include <algorithm>
#include <cerrno>
#include <limits>
#include <unistd.h>

namespace korvane {

void TStream::ReadBuffer(void* Buffer, std::size_t Count) {
    if (Count != 0 && Read(Buffer, Count) != Count)
        throw EReadError("Stream read error.");
}

void TStream::WriteBuffer(const void* Buffer, std::size_t Count) {
    if (Count != 0 && Write(Buffer, Count) != Count)
        throw EWriteError("Stream write error.");
}

// --- TMemoryStream

std::size_t TMemoryStream::Read(void* Buffer, std::size_t Count) {
    const std::size_t Available = FPosition < FData.size() ? FData.size() - FPosition : 0;
    const std::size_t N = std::min(Count, Available);
    if (N != 0)
        std::memcpy(Buffer, FData.data() + FPosition, N);
    FPosition += N;
    return N;
}

std::size_t TMemoryStream::Write(const void* Buffer, std::size_t Count) {
    if (Count == 0)
        return 0;
    if (FPosition + Count > FData.size())
        FData.resize(FPosition + Count);
    std::memcpy(FData.data() + FPosition, Buffer, Count);
    FPosition += Count;
    return Count;
}

void TMemoryStream::Seek(std::int64_t Offset) {
    if (Offset < 0)
        throw EStreamError("Stream seek error.");
    FPosition = static_cast<std::size_t>(Offset);
}

void TMemoryStream::Clear() {
    FData.clear();
    FPosition = 0;
}

// --- TFileStream

namespace {

std::string SystemReason() {
    return std::strerror(errno);
}

} // namespace

TFileStream::TFileStream(const std::string& FileName, EMode Mode) : FFileName(FileName) {
    FFile = std::fopen(FileName.c_str(), Mode == EMode::OpenRead ? "rb" : "wb");
    if (!FFile) {
        if (Mode == EMode::OpenRead)
            throw EFOpenError("Cannot open file \"" + FileName + "\". " + SystemReason() + ".");
        throw EFOpenError("Cannot create file \"" + FileName + "\". " + SystemReason() + ".");
    }
}

TFileStream::TFileStream(int Descriptor, const std::string& FileName) : FFileName(FileName) {
    FFile = ::fdopen(Descriptor, "wb");
    if (!FFile) {
        const std::string Reason = SystemReason();
        ::close(Descriptor);
        throw EFOpenError("Cannot create file \"" + FileName + "\". " + Reason + ".");
    }
}

TFileStream::~TFileStream() {
    if (FFile)
        std::fclose(FFile);
}

std::size_t TFileStream::Read(void* Buffer, std::size_t Count) {
    return FFile ? std::fread(Buffer, 1, Count, FFile) : 0;
}

std::size_t TFileStream::Write(const void* Buffer, std::size_t Count) {
    if (!FFile)
        return 0;
    const std::size_t Written = std::fwrite(Buffer, 1, Count, FFile);
    // A short write is an error of the file (a full disk): say which file and why.
    if (Written != Count && std::ferror(FFile))
        throw EWriteError("Cannot write file \"" + FFileName + "\". " + SystemReason() + ".");
    return Written;
}

std::int64_t TFileStream::Position() const {
    return FFile ? ftello(FFile) : 0;
}

std::int64_t TFileStream::Size() const {
    if (!FFile)
        return 0;
    const off_t Here = ftello(FFile);
    fseeko(FFile, 0, SEEK_END);
    const off_t End = ftello(FFile);
    fseeko(FFile, Here, SEEK_SET);
    return End;
}

void TFileStream::Seek(std::int64_t Offset) {
    if (!FFile || Offset < 0 || fseeko(FFile, static_cast<off_t>(Offset), SEEK_SET) != 0)
        throw EStreamError("Stream seek error.");
}

void TFileStream::Flush() {
    if (FFile && std::fflush(FFile) != 0)
        throw EWriteError("Cannot write file \"" + FFileName + "\". " + SystemReason() + ".");
}

void TFileStream::Sync() {
    Flush();
    if (FFile && ::fsync(::fileno(FFile)) != 0)
        throw EWriteError("Cannot write file \"" + FFileName + "\". " + SystemReason() + ".");
}

int TFileStream::Descriptor() const {
    return FFile ? ::fileno(FFile) : -1;
}

void TFileStream::Close() {
    if (!FFile)
        return;
    std::FILE* File = FFile;
    FFile = nullptr;
    const bool Failed = std::ferror(File) != 0;
    if (std::fclose(File) != 0 || Failed)
        throw EWriteError("Cannot write file \"" + FFileName + "\". " + SystemReason() + ".");
}

// --- strings

void StringToStream(TStream& Stream, const std::string& Text) {
    // What StringFromStream would refuse must never be written: the whole file would be lost
    // at the next start.
    if (Text.size() > static_cast<std::size_t>(MaxStreamStringLength))
        throw EWriteError("A text of " + std::to_string(Text.size()) +
                          " bytes is too long to be saved (at most " +
                          std::to_string(MaxStreamStringLength) +
                          "): shorten the data set's name, the units or the template.");
    WriteInt32(Stream, static_cast<std::int32_t>(Text.size()));
    Stream.WriteBuffer(Text.data(), Text.size());
}

std::string StringFromStream(TStream& Stream) {
    const std::int32_t Length = ReadInt32(Stream);
    if (Length <= 0)
        return {};
    if (Length > MaxStreamStringLength)
        throw EReadError("Corrupted length in StringFromStream.");
    std::string Text(static_cast<std::size_t>(Length), '\0');
    Stream.ReadBuffer(Text.data(), Text.size());
    return Text;
}

} // namespace korvane
