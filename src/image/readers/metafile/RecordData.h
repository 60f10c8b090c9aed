#pragma once

#include <cstdint>
#include <cstring>

namespace korvane {

// A metafile record too short for the fields it announces. The players skip such a record,
// as they skip records they do not know.
struct EShortRecord {};

// Bounds-checked little-endian reads inside one record.
class TRecordData {
public:
    TRecordData(const std::uint8_t* Data, std::size_t Size) : FData(Data), FSize(Size) {}

    std::size_t Size() const { return FSize; }
    std::size_t Position() const { return FPosition; }
    std::size_t Remaining() const { return FSize - FPosition; }
    void Seek(std::size_t Position) {
        if (Position > FSize)
            throw EShortRecord();
        FPosition = Position;
    }
    void Skip(std::size_t Count) { Seek(Count > Remaining() ? FSize + 1 : FPosition + Count); }

    // Count bytes at the position, which then moves past them.
    const std::uint8_t* Bytes(std::size_t Count) {
        if (Count > Remaining())
            throw EShortRecord();
        const std::uint8_t* Result = FData + FPosition;
        FPosition += Count;
        return Result;
    }
    std::uint8_t U8() { return *Bytes(1); }
    std::uint16_t U16() {
        const std::uint8_t* B = Bytes(2);
        return std::uint16_t(B[0] | (B[1] << 8));
    }
    std::int16_t I16() { return std::int16_t(U16()); }
    std::uint32_t U32() {
        const std::uint8_t* B = Bytes(4);
        return std::uint32_t(B[0]) | (std::uint32_t(B[1]) << 8) | (std::uint32_t(B[2]) << 16) |
               (std::uint32_t(B[3]) << 24);
    }
    std::int32_t I32() { return std::int32_t(U32()); }
    float F32() {
        const std::uint32_t Bits = U32();
        float Value;
        std::memcpy(&Value, &Bits, sizeof Value);
        return Value;
    }

private:
    const std::uint8_t* FData;
    std::size_t FSize;
    std::size_t FPosition = 0;
};

} // namespace korvane
