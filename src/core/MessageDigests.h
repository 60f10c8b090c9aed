#pragma once

#include "core/Errors.h"
#include "core/Streams.h"

#include <array>
#include <cstdint>
#include <nettle/ripemd160.h>
#include <string>

namespace korvane {

constexpr std::size_t RipeMD160Size = 20;
using TRipeMD160Digest = std::array<std::uint8_t, RipeMD160Size>;

// The RIPEMD-160 hash function (160-bit digest), fed piece by piece.
class TRipeMD160 {
public:
    TRipeMD160() { Reset(); }

    void Reset();
    void Update(const void* Data, std::size_t Count);
    // Completes the digest of everything fed since the last reset and starts over.
    TRipeMD160Digest Final();

private:
    ripemd160_ctx FContext;
};

TRipeMD160Digest RipeMD160(const void* Data, std::size_t Count);
TRipeMD160Digest RipeMD160(const std::string& Text);
// 40 lower-case hexadecimal digits.
std::string DigestToHex(const TRipeMD160Digest& Digest);

// A stored digest that does not match the content, or a file too short to hold one.
class EChecksumError : public EStreamError {
public:
    EChecksumError() : EStreamError("Hash value doesn't match.") {}
};

// A stream over another one (a file, or memory) whose content ends with the RIPEMD-160
// digest of the bytes before it. Every byte read goes through a read digest and every byte
// written through a write digest; Verify checks a stored digest, Finish appends one.
// The inner stream must outlive this one.
class TChecksumStream : public TStream {
public:
    // Remembers the inner stream's size.
    explicit TChecksumStream(TStream& Inner);

    std::size_t Read(void* Buffer, std::size_t Count) override;
    std::size_t Write(const void* Buffer, std::size_t Count) override;
    std::int64_t Position() const override { return FInner.Position(); }
    // After Verify: where the stored digest begins.
    std::int64_t Size() const override { return FContentEnd >= 0 ? FContentEnd : FInner.Size(); }
    void Seek(std::int64_t Offset) override { FInner.Seek(Offset); }

    // Called once, right after opening for reading: digests everything from the current
    // position up to the last 20 bytes, compares that with the 20 stored bytes and returns
    // to where it was. Throws EChecksumError when they differ or when the content is too
    // short to hold a digest. Afterwards reads end where the stored digest begins, so the
    // digest is never taken for content.
    void Verify();
    // Called after the last write: appends the digest of everything written so far and
    // starts a new one.
    void Finish();

private:
    TStream& FInner;
    std::int64_t FSize;
    std::int64_t FContentEnd = -1; // set by Verify
    TRipeMD160 FReadDigest;
    TRipeMD160 FWriteDigest;
};

} // namespace korvane
