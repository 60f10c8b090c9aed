#pragma once

#include "core/Errors.h"
#include "core/Streams.h"

#include <cstdint>

namespace korvane {

// A spreadsheet that cannot be written: more rows than the format holds, or a cell outside
// the sheet.
class EExcelError : public EKorvane {
public:
    using EKorvane::EKorvane;
};

// Writes a minimal spreadsheet file of number cells into memory. Records are a 16-bit type,
// a 16-bit body length and the body, all little-endian:
//   0x0409 beginning of file, 0x0200 dimensions (written on creation),
//   0x0003 number cell (row, column, cell attributes 40 00 00, IEEE double),
//   0x000A end of file (written by Close).
// Rows and columns are counted from 1 here and stored from 0 in the file.
class TmxNativeExcel {
public:
    static constexpr std::uint16_t MaxRows = 65535;
    static constexpr std::uint16_t MaxCols = 256;

    TmxNativeExcel();
    TmxNativeExcel(const TmxNativeExcel&) = delete;
    TmxNativeExcel& operator=(const TmxNativeExcel&) = delete;

    bool IsOpen() const { return FOpen; }
    std::uint16_t Row() const { return FRow; }
    std::uint16_t Col() const { return FCol; }
    // A row of 0 or above MaxRows (a column of 0 or above MaxCols) is ignored.
    void SetRow(std::uint32_t Row);
    void SetCol(std::uint32_t Col);

    // A number cell at the current position; the column then advances by one. Throws
    // EExcelError when the column has run past the last one, EAssertion once closed.
    void WriteNumber(double Value);
    // Writes the end record. Further calls do nothing.
    void Close();

    const TMemoryStream& Data() const { return FData; }
    // Copies everything written so far to Stream.
    void SaveToStream(TStream& Stream) const;

private:
    void WriteRecordHead(std::uint16_t Type, std::uint16_t Length);

    TMemoryStream FData;
    bool FOpen = true;
    std::uint16_t FRow = 1;
    std::uint16_t FCol = 1;
};

} // namespace korvane
