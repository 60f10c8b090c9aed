#include "export/NativeExcel.h"

#include <string>

namespace korvane {

namespace {

constexpr std::uint16_t BeginOfFileRecord = 0x0409;
constexpr std::uint16_t DimensionsRecord = 0x0200;
constexpr std::uint16_t NumberRecord = 0x0003;
constexpr std::uint16_t EndOfFileRecord = 0x000A;

// Locked set; hidden, font, format, alignment, shading and borders clear.
constexpr std::uint8_t CellAttributes[3] = {0x40, 0x00, 0x00};

} // namespace

TmxNativeExcel::TmxNativeExcel() {
    WriteRecordHead(BeginOfFileRecord, 6);
    WriteValue<std::uint16_t>(FData, 0x0200); // version
    WriteValue<std::uint16_t>(FData, 0x0010); // worksheet
    WriteValue<std::uint16_t>(FData, 0);
    WriteRecordHead(DimensionsRecord, 10);
    WriteValue<std::uint16_t>(FData, 0);      // first row
    WriteValue<std::uint16_t>(FData, 0xFFFF); // last row
    WriteValue<std::uint16_t>(FData, 0);      // first column
    WriteValue<std::uint16_t>(FData, 0x0100); // last column
    WriteValue<std::uint16_t>(FData, 0);
}

void TmxNativeExcel::SetRow(std::uint32_t Row) {
    if (Row >= 1 && Row <= MaxRows)
        FRow = static_cast<std::uint16_t>(Row);
}

void TmxNativeExcel::SetCol(std::uint32_t Col) {
    if (Col >= 1 && Col <= MaxCols)
        FCol = static_cast<std::uint16_t>(Col);
}

void TmxNativeExcel::WriteNumber(double Value) {
    Assert(FOpen, "TmxNativeExcel.WriteNumber");
    if (FCol > MaxCols)
        throw EExcelError("The spreadsheet format holds at most " + std::to_string(MaxCols) +
                          " columns.");
    WriteRecordHead(NumberRecord, 15);
    WriteValue<std::uint16_t>(FData, static_cast<std::uint16_t>(FRow - 1));
    WriteValue<std::uint16_t>(FData, static_cast<std::uint16_t>(FCol - 1));
    FData.WriteBuffer(CellAttributes, sizeof CellAttributes);
    WriteValue<double>(FData, Value);
    ++FCol;
}

void TmxNativeExcel::Close() {
    if (!FOpen)
        return;
    WriteRecordHead(EndOfFileRecord, 0);
    FOpen = false;
}

void TmxNativeExcel::SaveToStream(TStream& Stream) const {
    const auto& Bytes = FData.Bytes();
    if (!Bytes.empty())
        Stream.WriteBuffer(Bytes.data(), Bytes.size());
}

void TmxNativeExcel::WriteRecordHead(std::uint16_t Type, std::uint16_t Length) {
    WriteValue<std::uint16_t>(FData, Type);
    WriteValue<std::uint16_t>(FData, Length);
}

} // namespace korvane
