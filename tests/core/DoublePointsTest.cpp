#include "core/DoublePoints.h"

#include "core/Errors.h"
#include "core/Streams.h"

#include <gtest/gtest.h>
#include <limits>

using namespace korvane;

namespace {

TDoublePointArray Numbered(int N) {
    TDoublePointArray A;
    for (int I = 0; I < N; ++I)
        A.Add({double(I), double(10 * I)});
    return A;
}

std::vector<double> Xs(const TDoublePointArray& A) {
    std::vector<double> R;
    for (int I = 0; I < A.Count(); ++I)
        R.push_back(A[I].X);
    return R;
}

} // namespace

TEST(PointHelpers, UnitStepPointsToTheNearestNeighbour) {
    struct Case {
        TLongintPoint In, Out;
    } Cases[] = {
        {{5, 2}, {1, 0}},
        {{3, -3}, {1, -1}},
        {{0, 0}, {1, 0}},
        {{-7, 0}, {-1, 0}},
        {{0, 4}, {0, 1}},
        {{-2, -5}, {0, -1}},
        {{-4, 3}, {-1, 1}},
        {{1, 2}, {0, 1}},
        // |1/√5·2| rounds up, |1/√5| = 0.447 rounds down.
        {{std::numeric_limits<int>::max(), std::numeric_limits<int>::max()}, {1, 1}},
    };
    for (const auto& C : Cases)
        EXPECT_EQ(UnitStep(C.In), C.Out) << C.In.X << "," << C.In.Y;
}

TEST(PointHelpers, IntegerArithmetic) {
    EXPECT_DOUBLE_EQ(PointDistance({0, 0}, {3, 4}), 5.0);
    EXPECT_DOUBLE_EQ(PointLength({-3, -4}), 5.0);
    EXPECT_EQ(PointSum({1, 2}, {3, 4}), (TLongintPoint{4, 6}));
    EXPECT_EQ(PointDifference({1, 2}, {3, 5}), (TLongintPoint{-2, -3}));
    EXPECT_EQ(PointScaled({1, -2}, 3), (TLongintPoint{3, -6}));
    EXPECT_DOUBLE_EQ(DoublePointDistance({0.5, 0}, {0.5, -2}), 2.0);
}

TEST(PointHelpers, PointInQuadrangle) {
    const std::array<TDoublePoint, 4> Square{{{0, 0}, {10, 0}, {10, 10}, {0, 10}}};
    const std::array<TDoublePoint, 4> Diamond{{{5, 0}, {10, 5}, {5, 10}, {0, 5}}};
    struct Case {
        const std::array<TDoublePoint, 4>& Q;
        TDoublePoint P;
        bool Inside;
    } Cases[] = {
        {Square, {5, 5}, true},
        {Square, {-1, 5}, false},
        {Square, {11, 5}, false},
        {Square, {5, 11}, false},
        {Diamond, {5, 5}, true},
        {Diamond, {1, 1}, false},
        {Diamond, {9, 5.5}, true},
        {Diamond, {9, 1}, false},
        // Half-open edges: the top edge belongs, the bottom and right edges do not.
        {Square, {5, 0}, true},
        {Square, {5, 10}, false},
        {Square, {0, 5}, true},
        {Square, {10, 5}, false},
    };
    for (const auto& C : Cases)
        EXPECT_EQ(PointInQuadrangle(C.P, C.Q), C.Inside) << C.P.X << "," << C.P.Y;
    // Corners in the other order describe the same area.
    const std::array<TDoublePoint, 4> Reversed{{{0, 10}, {10, 10}, {10, 0}, {0, 0}}};
    EXPECT_TRUE(PointInQuadrangle({5, 5}, Reversed));
}

TEST(DoublePointArray, GrowsByItsStepAndReleasesOnlyOnClear) {
    TDoublePointArray A;
    EXPECT_EQ(A.GrowthStep(), 50);
    for (int I = 0; I < 51; ++I)
        A.Add({double(I), 0});
    EXPECT_EQ(A.Capacity(), 100);
    A.DeleteRange(0, 40);
    A.Delete(0);
    A.DeleteIndices({0, 1});
    EXPECT_EQ(A.Count(), 7);
    EXPECT_EQ(A.Capacity(), 100);
    A.Clear();
    EXPECT_EQ(A.Count(), 0);
    EXPECT_EQ(A.Capacity(), 0);
}

TEST(DoublePointArray, IndexErrorsLeaveTheArrayUnchanged) {
    TDoublePointArray A = Numbered(10);
    TDoublePointArray Empty;
    const auto Before = Xs(A);
    auto ExpectIndexError = [&](auto&& Action) {
        try {
            Action();
            ADD_FAILURE() << "no error";
        } catch (const EListError& E) {
            EXPECT_STREQ(E.what(), "TDoublePointArray: Index out of bounds.");
        }
        EXPECT_EQ(Xs(A), Before);
    };
    ExpectIndexError([&] { A.GetPoint(-1); });
    ExpectIndexError([&] { A.GetPoint(10); });
    ExpectIndexError([&] { Empty.First(); });
    ExpectIndexError([&] { Empty.Last(); });
    ExpectIndexError([&] { A.Delete(10); });
    ExpectIndexError([&] { A.DeleteRange(5, 12); });
    ExpectIndexError([&] { A.DeleteIndices({2, 10}); });
    ExpectIndexError([&] { A.DeleteIndices({3, 3}); });
    ExpectIndexError([&] { A.AppendRange(Empty, 0, 0); });
    ExpectIndexError([&] { A.AppendRange(Empty, 1, 0); });

    A.DeleteRange(5, 3); // a reversed range does nothing
    EXPECT_EQ(Xs(A), Before);
}

TEST(DoublePointArray, RangeOperations) {
    TDoublePointArray A = Numbered(6);
    A.DeleteIndices({1, 3, 4});
    EXPECT_EQ(Xs(A), (std::vector<double>{0, 2, 5}));

    TDoublePointArray B = Numbered(10);
    B.DeleteRange(2, 7);
    EXPECT_EQ(Xs(B), (std::vector<double>{0, 1, 8, 9}));
    B.Delete(3);
    EXPECT_EQ(Xs(B), (std::vector<double>{0, 1, 8}));

    TDoublePointArray C(7);
    C.AppendRange(Numbered(5), 1, 3);
    EXPECT_EQ(Xs(C), (std::vector<double>{1, 2, 3}));
    EXPECT_EQ(C.Capacity(), 3); // sized exactly
    C.AppendRange(C, 0, 2);     // from itself
    EXPECT_EQ(Xs(C), (std::vector<double>{1, 2, 3, 1, 2, 3}));
    EXPECT_EQ(C[1].Y, 20.0);
}

TEST(DoublePointArray, AssignCopiesPointsAndGrowthStep) {
    TDoublePointArray Source(7);
    Source.Add({1, 2});
    TDoublePointArray Dest;
    Dest.Assign(Source);
    EXPECT_EQ(Dest.GrowthStep(), 7);
    EXPECT_EQ(Dest.Count(), 1);
    EXPECT_EQ(Dest.First(), (TDoublePoint{1, 2}));
}

TEST(DoublePointArray, HeapSortKeepsItsUnstableOrder) {
    TDoublePointArray A;
    for (auto P : {TDoublePoint{1, 5}, {1, 2}, {0, 7}})
        A.Add(P);
    A.SortAscendingX();
    ASSERT_EQ(A.Count(), 3);
    EXPECT_EQ(A[0], (TDoublePoint{0, 7}));
    EXPECT_EQ(A[1], (TDoublePoint{1, 2}));
    EXPECT_EQ(A[2], (TDoublePoint{1, 5}));

    TDoublePointArray One;
    One.Add({3, 3});
    One.SortDescendingY();
    EXPECT_EQ(One.First(), (TDoublePoint{3, 3}));
    TDoublePointArray None;
    None.SortAscendingY();
    EXPECT_EQ(None.Count(), 0);

    // Every direction orders a larger set correctly.
    TDoublePointArray B;
    for (int I = 0; I < 200; ++I)
        B.Add({double((I * 37) % 101), double((I * 53) % 97)});
    B.SortAscendingX();
    for (int I = 1; I < B.Count(); ++I)
        ASSERT_LE(B[I - 1].X, B[I].X);
    B.SortDescendingX();
    for (int I = 1; I < B.Count(); ++I)
        ASSERT_GE(B[I - 1].X, B[I].X);
    B.SortAscendingY();
    for (int I = 1; I < B.Count(); ++I)
        ASSERT_LE(B[I - 1].Y, B[I].Y);
    B.SortDescendingY();
    for (int I = 1; I < B.Count(); ++I)
        ASSERT_GE(B[I - 1].Y, B[I].Y);
}

TEST(DoublePointArray, LastIndexWithin) {
    TDoublePointArray A;
    EXPECT_EQ(A.LastIndexWithin({0, 0}, 1), -1);
    for (auto P : {TDoublePoint{3, 4}, {5, 5}, {3, 4}, {9, 9}})
        A.Add(P);
    EXPECT_EQ(A.LastIndexWithin({3, 4}, 0.25), 2); // the latest visit of the pixel
    EXPECT_EQ(A.LastIndexWithin({5, 6}, 1.0), -1); // strictly less than the radius
    EXPECT_EQ(A.LastIndexWithin({5, 6}, 1.01), 1);
}

TEST(DoublePointArray, StreamRecordRoundTrips) {
    TDoublePointArray A = Numbered(3);
    TMemoryStream S;
    A.SaveToStream(S);
    ASSERT_EQ(S.Size(), 4 + 3 * 16);
    EXPECT_EQ(S.Bytes()[0], 3);
    S.Seek(0);
    TDoublePointArray B(9);
    B.Add({42, 42});
    B.LoadFromStream(S);
    EXPECT_EQ(Xs(B), Xs(A));
    EXPECT_EQ(B.Capacity(), 3);
    EXPECT_EQ(B.GrowthStep(), 9);
}

TEST(DoublePointArray, DamagedRecordsAreRejected) {
    struct Case {
        std::int32_t Count;
        int PointsPresent;
    } Cases[] = {{-1, 0}, {2, 1}, {std::numeric_limits<std::int32_t>::max(), 2}};
    for (const auto& C : Cases) {
        TMemoryStream S;
        WriteInt32(S, C.Count);
        for (int I = 0; I < C.PointsPresent; ++I)
            WritePoint(S, TDoublePoint{1, 1});
        S.Seek(0);
        TDoublePointArray A = Numbered(2);
        EXPECT_THROW(A.LoadFromStream(S), EReadError) << C.Count;
        EXPECT_EQ(A.Count(), 0);
    }
}
