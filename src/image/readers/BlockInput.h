#pragma once

#include "image/readers/ByteReader.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace korvane {

// The bytes from the reader's position up to End, fetched a block at a time, so that decoding
// loops do not call the reader per byte. Reading at End is a truncated file.
class TBlockInput {
public:
    static constexpr std::size_t BlockSize = 1 << 16;

    TBlockInput(TByteReader& Input, std::int64_t End)
        : FInput(Input), FEnd(End), FBlock(BlockSize) {}
    // Up to the end of the input.
    explicit TBlockInput(TByteReader& Input) : TBlockInput(Input, Input.Size()) {}

    std::uint8_t Next() {
        if (FAt == FLimit)
            Refill();
        return *FAt++;
    }

    void Copy(std::uint8_t* Out, std::size_t Count) {
        while (Count > 0) {
            if (FAt == FLimit)
                Refill();
            const std::size_t N = std::min<std::size_t>(Count, FLimit - FAt);
            std::memcpy(Out, FAt, N);
            FAt += N;
            Out += N;
            Count -= N;
        }
    }

    // The bytes fetched and not yet consumed (at least one); Consume(P) takes those before P.
    const std::uint8_t* Begin() {
        if (FAt == FLimit)
            Refill();
        return FAt;
    }
    const std::uint8_t* End() const { return FLimit; }
    void Consume(const std::uint8_t* To) { FAt = To; }

    // The file position of the next byte not yet consumed.
    std::int64_t Position() const { return FInput.Position() - (FLimit - FAt); }

private:
    void Refill() {
        const std::int64_t Left = FEnd - FInput.Position();
        if (Left <= 0)
            FInput.Truncated();
        const std::size_t N = FInput.ReadSome(
            FBlock.data(), static_cast<std::size_t>(std::min<std::int64_t>(Left, BlockSize)));
        if (N == 0)
            FInput.Truncated();
        FAt = FBlock.data();
        FLimit = FAt + N;
    }

    TByteReader& FInput;
    std::int64_t FEnd;
    std::vector<std::uint8_t> FBlock;
    const std::uint8_t* FAt = nullptr;
    const std::uint8_t* FLimit = nullptr;
};

} // namespace korvane
