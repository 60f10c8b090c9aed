#include "core/Numerics.h"

#include "core/Errors.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace korvane;

TEST(Numerics, RoundTakesHalvesToEven) {
    struct Case {
        double In;
        int Out;
    } Cases[] = {{0.5, 0}, {1.5, 2}, {2.5, 2}, {-0.5, 0}, {-1.5, -2}, {2.4999, 2}, {-2.6, -3}};
    for (const auto& C : Cases)
        EXPECT_EQ(Round(C.In), C.Out) << C.In;
    EXPECT_EQ(Trunc(-2.9), -2);
    EXPECT_EQ(Trunc(2.9), 2);
}

TEST(Numerics, RoundRefusesWhatNoIntegerHolds) {
    for (double V : {std::nan(""), std::numeric_limits<double>::infinity(), 3e9, -3e9}) {
        EXPECT_THROW(Round(V), EMathError) << V;
        EXPECT_THROW(Trunc(V), EMathError) << V;
    }
}

TEST(Numerics, MulDivRoundsTheQuotient) {
    struct Case {
        int A, B, C, Out;
    } Cases[] = {
        {3, 1, 2, 2},
        {-3, 1, 2, -2},
        {5, 1, 4, 1},
        {7, 1, 4, 2},
        {2, 1, 3, 1},
        {1, 1, 3, 0},
        {3, -1, 2, -2},
        {-3, -1, -2, -2},
        {100000, 100000, 100000, 100000},
        {2147483647, 2, 2, 2147483647},
        {-2147483647 - 1, 1, 1, -2147483647 - 1},
    };
    for (const auto& C : Cases)
        EXPECT_EQ(MulDiv(C.A, C.B, C.C), C.Out) << C.A << "*" << C.B << "/" << C.C;
    EXPECT_THROW(MulDiv(1, 1, 0), EMathError);
    EXPECT_THROW(MulDiv(2147483647, 2, 1), EMathError);
}

TEST(Numerics, MulDiv64RoundsLikeMulDivBeyondThirtyTwoBits) {
    struct Case {
        std::int64_t A, B, C, Out;
    } Cases[] = {
        {3, 1, 2, 2},
        {-3, 1, 2, -2},
        {5, 1, 4, 1},
        {-7, 1, 4, -2},
        {1, 1, 3, 0},
        {std::int64_t{1} << 40, 3, 2, std::int64_t{3} << 39},
        {-(std::int64_t{1} << 40) - 1, 1, 2, -(std::int64_t{1} << 39) - 1},
        {2147483647, 2147483647, 1, std::int64_t{2147483647} * 2147483647},
    };
    for (const auto& C : Cases) {
        EXPECT_EQ(MulDiv64(C.A, C.B, C.C), C.Out) << C.A << "*" << C.B << "/" << C.C;
        if (C.A == static_cast<std::int32_t>(C.A) && C.Out == static_cast<std::int32_t>(C.Out)) {
            EXPECT_EQ(MulDiv64(C.A, C.B, C.C),
                      MulDiv(static_cast<std::int32_t>(C.A), static_cast<std::int32_t>(C.B),
                             static_cast<std::int32_t>(C.C)));
        }
    }
}

TEST(Numerics, CeilDivRoundsUpWhateverTheSigns) {
    struct Case {
        std::int64_t A, B, Out;
    } Cases[] = {{7, 2, 4}, {-7, 2, -3}, {7, -2, -3}, {-7, -2, 4},
                 {6, 3, 2}, {-6, 3, -2}, {0, 5, 0}};
    for (const auto& C : Cases)
        EXPECT_EQ(CeilDiv(C.A, C.B), C.Out) << C.A << "/" << C.B;
}

TEST(Keys, FilterNumericKey) {
    for (char32_t Key : {U'\b', U'\t', U'\r', U'-', U'0', U'5', U'9', U'E', U'e', U'.'})
        EXPECT_EQ(FilterNumericKey(Key), Key) << int(Key);
    for (char32_t Key : {U'+', U',', U'a', U'x', U' ', U'D', U'\x1b', U'π'})
        EXPECT_EQ(FilterNumericKey(Key), 0u) << int(Key);
    EXPECT_EQ(FilterNumericKey(',', ','), U',');
    EXPECT_EQ(FilterNumericKey('.', ','), 0u);
}
