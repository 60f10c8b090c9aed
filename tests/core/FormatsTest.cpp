#include "core/Formats.h"

#include "core/Errors.h"
#include "core/Streams.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace korvane;

namespace {

TCoordFormat Make(bool Fixed, int Precision) {
    TCoordFormat Scratch;
    Scratch.FloatingPoint = Fixed;
    Scratch.Precision = Precision;
    TCoordFormat F;
    F.Assign(Scratch);
    return F;
}

} // namespace

TEST(CoordFormat, DefaultsAndPatterns) {
    TCoordFormat F;
    EXPECT_TRUE(F.FloatingPoint);
    EXPECT_EQ(F.Precision, 2);
    EXPECT_EQ(F.Pattern(), "#.00");
    EXPECT_EQ(Make(false, 3).Pattern(), "0.000e+00");
    EXPECT_EQ(Make(true, 0).Pattern(), "#.");
    TCoordFormat G = Make(false, 5);
    G.Reset();
    EXPECT_EQ(G.Pattern(), "#.00");
}

TEST(CoordFormat, RendersLikeThePicture) {
    struct Case {
        double Value;
        bool Fixed;
        int Precision;
        const char* Text;
    } Cases[] = {
        {0.5, true, 2, ".50"},
        {-0.25, true, 2, "-.25"},
        {0, true, 2, ".00"},
        {1234.567, true, 2, "1234.57"},
        {12345, false, 2, "1.23e+04"},
        {-0.00123, false, 2, "-1.23e-03"},
        // Decimal halves round away from zero, judged on 18 significant digits.
        {0.125, true, 2, ".13"},
        {-0.125, true, 2, "-.13"},
        {2.5, true, 0, "3"},
        {1.005, true, 2, "1.00"}, // 1.00499999999999989...
        {0.995, true, 2, ".99"},  // 0.994999999999999995559...
        {99.996, true, 2, "100.00"},
        {0.004, true, 2, ".00"},
        {-0.004, true, 2, ".00"}, // no sign on a value that shows as zero
        {0.005, true, 2, ".01"},
        {7, true, 0, "7"},
        {0.2, true, 0, "0"}, // a bare "#" must still show something
        {1e17, true, 1, "100000000000000000.0"},
        {1.5e20, true, 2, "1.5E20"},
        {0, false, 2, "0.00e+00"},
        {9.996e-7, false, 2, "1.00e-06"},
        {1e300, false, 1, "1.0e+300"},
        {5e-324, false, 1, "4.9e-324"},
        {123456, false, 0, "1e+05"},
        {1.0 / 3.0, true, 18, ".333333333333333315"},
        {std::nan(""), true, 2, "NAN"},
        {-INFINITY, false, 2, "-INF"},
    };
    for (const auto& C : Cases)
        EXPECT_EQ(Make(C.Fixed, C.Precision).Format(C.Value), C.Text)
            << C.Value << (C.Fixed ? " fixed " : " sci ") << C.Precision;
}

TEST(CoordFormat, CallerChoosesTheDecimalSeparator) {
    EXPECT_EQ(TCoordFormat().Format(-1.5, ','), "-1,50");
    EXPECT_EQ(Make(false, 1).Format(1234, ','), "1,2e+03");
}

TEST(CoordFormat, PairRecord) {
    TCoordFormatPair Pair;
    TCoordFormatPair Source;
    Source.XFormat.Assign(Make(false, 4));
    Pair.Assign(Source);
    TMemoryStream S;
    Pair.SaveToStream(S);
    const std::vector<std::uint8_t> Expected{0, 4, 0, 0, 0, 1, 2, 0, 0, 0};
    EXPECT_EQ(S.Bytes(), Expected);
    S.Seek(0);
    TCoordFormatPair Loaded;
    Loaded.LoadFromStream(S);
    EXPECT_EQ(Loaded.XFormat.Pattern(), "0.0000e+00");
    EXPECT_EQ(Loaded.YFormat.Pattern(), "#.00");
}

TEST(CoordFormat, DamagedRecordsLeaveThePairAsItWas) {
    for (std::int32_t Precision : {-1, 19, 1 << 30}) {
        TMemoryStream S;
        Make(false, 3).SaveToStream(S);
        WriteBool(S, true);
        WriteInt32(S, Precision);
        S.Seek(0);
        TCoordFormatPair Pair;
        EXPECT_THROW(Pair.LoadFromStream(S), EReadError) << Precision;
        EXPECT_EQ(Pair.XFormat.Pattern(), "#.00");
    }
    TMemoryStream Short(std::vector<std::uint8_t>{1, 2, 0});
    TCoordFormat F;
    EXPECT_THROW(F.LoadFromStream(Short), EReadError);
}

TEST(CoordFormat, TextFormRoundTripsAndRefusesAnythingElse) {
    struct TCase {
        const char* Text;
        bool Read;
        const char* Pattern; // after reading; a text not read leaves scientific:5
    };
    const TCase Cases[] = {
        {"fixed:2", true, "#.00"},
        {"scientific:18", true, "0.000000000000000000e+00"},
        {"fixed:0", true, "#."},
        {"fixed:19", false, "0.00000e+00"},
        {"fixed:-1", false, "0.00000e+00"},
        {"fixed:", false, "0.00000e+00"},
        {"Fixed:2", false, "0.00000e+00"},
        {"fixed 2", false, "0.00000e+00"},
        {"scientific:2x", false, "0.00000e+00"},
        {"", false, "0.00000e+00"},
    };
    for (const TCase& C : Cases) {
        TCoordFormat Start;
        Start.FloatingPoint = false;
        Start.Precision = 5;
        TCoordFormat Format;
        Format.Assign(Start);
        EXPECT_EQ(Format.FromText(C.Text), C.Read) << C.Text;
        EXPECT_EQ(Format.Pattern(), C.Pattern) << C.Text;
        EXPECT_EQ(Format.ToText(), C.Read ? std::string(C.Text) : "scientific:5") << C.Text;
    }
}
