#include "core/MessageDigests.h"

#include <algorithm>

namespace korvane {

// ---- TRipeMD160 ----

void TRipeMD160::Reset() {
    ripemd160_init(&FContext);
}

void TRipeMD160::Update(const void* Data, std::size_t Count) {
    if (Count != 0)
        ripemd160_update(&FContext, Count, static_cast<const std::uint8_t*>(Data));
}

TRipeMD160Digest TRipeMD160::Final() {
    TRipeMD160Digest Digest;
    ripemd160_digest(&FContext, Digest.size(), Digest.data()); // also re-initialises
    return Digest;
}

TRipeMD160Digest RipeMD160(const void* Data, std::size_t Count) {
    TRipeMD160 Hash;
    Hash.Update(Data, Count);
    return Hash.Final();
}

TRipeMD160Digest RipeMD160(const std::string& Text) {
    return RipeMD160(Text.data(), Text.size());
}

std::string DigestToHex(const TRipeMD160Digest& Digest) {
    static const char Digits[] = "0123456789abcdef";
    std::string Text;
    Text.reserve(Digest.size() * 2);
    for (std::uint8_t B : Digest) {
        Text += Digits[B >> 4];
        Text += Digits[B & 15];
    }
    return Text;
}

// ---- TChecksumStream ----

TChecksumStream::TChecksumStream(TStream& Inner) : FInner(Inner), FSize(Inner.Size()) {}

std::size_t TChecksumStream::Read(void* Buffer, std::size_t Count) {
    if (FContentEnd >= 0) {
        const std::int64_t Left = std::max<std::int64_t>(0, FContentEnd - FInner.Position());
        Count = static_cast<std::size_t>(std::min<std::int64_t>(Left, Count));
    }
    const std::size_t Done = FInner.Read(Buffer, Count);
    FReadDigest.Update(Buffer, Done);
    return Done;
}

std::size_t TChecksumStream::Write(const void* Buffer, std::size_t Count) {
    const std::size_t Done = FInner.Write(Buffer, Count);
    FWriteDigest.Update(Buffer, Done);
    return Done;
}

void TChecksumStream::Verify() {
    const std::int64_t Start = FInner.Position();
    const std::int64_t End = FSize - static_cast<std::int64_t>(RipeMD160Size);
    if (End < Start)
        throw EChecksumError();

    FReadDigest.Reset();
    std::uint8_t Block[1024];
    for (std::int64_t Left = End - Start; Left > 0;) {
        const auto Count = static_cast<std::size_t>(std::min<std::int64_t>(Left, sizeof Block));
        FInner.ReadBuffer(Block, Count);
        FReadDigest.Update(Block, Count);
        Left -= static_cast<std::int64_t>(Count);
    }
    const TRipeMD160Digest Computed = FReadDigest.Final();
    TRipeMD160Digest Stored;
    FInner.ReadBuffer(Stored.data(), Stored.size());
    FInner.Seek(Start);
    FReadDigest.Reset();
    if (Computed != Stored)
        throw EChecksumError();
    FContentEnd = End;
}

void TChecksumStream::Finish() {
    const TRipeMD160Digest Digest = FWriteDigest.Final();
    FInner.WriteBuffer(Digest.data(), Digest.size());
}

} // namespace korvane
