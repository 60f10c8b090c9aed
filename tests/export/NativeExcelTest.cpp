#include "export/NativeExcel.h"

#include "export/DataTemplates.h"

#include <cstring>
#include <gtest/gtest.h>
#include <vector>

using namespace korvane;

namespace {

using TBytes = std::vector<std::uint8_t>;

const TBytes BeginOfFile{0x09, 0x04, 0x06, 0x00, 0x00, 0x02, 0x10, 0x00, 0x00, 0x00};
const TBytes Dimensions{0x00, 0x02, 0x0A, 0x00, 0x00, 0x00, 0xFF,
                        0xFF, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00};
const TBytes End{0x0A, 0x00, 0x00, 0x00};

TBytes NumberCell(std::uint16_t Row, std::uint16_t Col, double Value) {
    TBytes Cell{0x03, 0x00, 0x0F, 0x00};
    Cell.push_back(static_cast<std::uint8_t>(Row));
    Cell.push_back(static_cast<std::uint8_t>(Row >> 8));
    Cell.push_back(static_cast<std::uint8_t>(Col));
    Cell.push_back(static_cast<std::uint8_t>(Col >> 8));
    Cell.insert(Cell.end(), {0x40, 0x00, 0x00});
    std::uint64_t Bits;
    std::memcpy(&Bits, &Value, sizeof Bits);
    for (int I = 0; I < 8; ++I)
        Cell.push_back(static_cast<std::uint8_t>(Bits >> (8 * I)));
    return Cell;
}

TBytes Concat(std::initializer_list<TBytes> Parts) {
    TBytes Result;
    for (const TBytes& Part : Parts)
        Result.insert(Result.end(), Part.begin(), Part.end());
    return Result;
}

const TBytes Start = Concat({BeginOfFile, Dimensions});

TBytes Written(TExcelTemplate& Template) {
    TMemoryStream Stream;
    Template.WriteToStream(Stream);
    return Stream.Bytes();
}

} // namespace

TEST(NativeExcel, OnePointIsA66ByteFile) {
    TExcelTemplate Template("Microsoft Excel");
    Template.AddPoint({1.0, 2.0});
    const TBytes Bytes = Written(Template);
    EXPECT_EQ(Bytes.size(), 66u);
    EXPECT_EQ(Bytes, Concat({Start, NumberCell(0, 0, 1.0), NumberCell(0, 1, 2.0), End}));
    // 2.0 is stored as the IEEE double 00 .. 00 40.
    EXPECT_EQ(TBytes(Bytes.end() - 12, Bytes.end() - 4), (TBytes{0, 0, 0, 0, 0, 0, 0, 0x40}));
}

TEST(NativeExcel, PointKGoesToRowK) {
    TExcelTemplate Template;
    EXPECT_EQ(Template.Extension, "xls");
    EXPECT_EQ(Written(Template), Concat({Start, End}));
    Template.AddPoint({-1.5, 1e300});
    Template.AddPoint({0.1, -0.0});
    Template.AddPoint({7, 8});
    EXPECT_EQ(Written(Template),
              Concat({Start, NumberCell(0, 0, -1.5), NumberCell(0, 1, 1e300), NumberCell(1, 0, 0.1),
                      NumberCell(1, 1, -0.0), NumberCell(2, 0, 7), NumberCell(2, 1, 8), End}));
    Template.Clear();
    EXPECT_EQ(Template.CollectedPoints().Count(), 0);
    EXPECT_EQ(Written(Template), Concat({Start, End}));
}

TEST(NativeExcel, FillsEveryRowButRefusesMore) {
    TExcelTemplate Template;
    for (int K = 0; K < 65535; ++K)
        Template.AddPoint({double(K), -double(K)});
    const TBytes Bytes = Written(Template);
    ASSERT_EQ(Bytes.size(), 24u + 65535u * 38u + 4u);
    EXPECT_EQ(TBytes(Bytes.end() - 42, Bytes.end()),
              Concat({NumberCell(65534, 0, 65534), NumberCell(65534, 1, -65534), End}));

    Template.AddPoint({1, 1});
    TMemoryStream Stream;
    try {
        Template.WriteToStream(Stream);
        ADD_FAILURE() << "no error";
    } catch (const EExcelError& E) {
        EXPECT_STREQ(E.what(), "The spreadsheet format holds at most 65535 rows; this data set "
                               "has 65536 output points.");
    }
    EXPECT_EQ(Stream.Size(), 0);
}

TEST(NativeExcel, WriterPositionsAndLimits) {
    TmxNativeExcel Excel;
    EXPECT_TRUE(Excel.IsOpen());
    EXPECT_EQ(Excel.Row(), 1);
    EXPECT_EQ(Excel.Col(), 1);
    // Zero and positions beyond the sheet are ignored.
    for (std::uint32_t Row : {0u, 65536u, 70000u}) {
        Excel.SetRow(Row);
        EXPECT_EQ(Excel.Row(), 1);
    }
    Excel.SetRow(65535);
    EXPECT_EQ(Excel.Row(), 65535);
    Excel.SetCol(257);
    Excel.SetCol(0);
    EXPECT_EQ(Excel.Col(), 1);
    Excel.SetCol(256);
    Excel.WriteNumber(3);
    EXPECT_EQ(Excel.Col(), 257);
    EXPECT_THROW(Excel.WriteNumber(4), EExcelError);
    Excel.Close();
    Excel.Close();
    EXPECT_FALSE(Excel.IsOpen());
    EXPECT_THROW(Excel.WriteNumber(5), EAssertion);
    TMemoryStream Stream;
    Excel.SaveToStream(Stream);
    EXPECT_EQ(Stream.Bytes(), Concat({Start, NumberCell(65534, 255, 3), End}));
}
