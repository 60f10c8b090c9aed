#include "output/CurveIterators.h"

#include "document/PointSelections.h"
#include "output/CurveApproximators.h"

#include <cmath>
#include <gtest/gtest.h>
#include <vector>

using namespace korvane;

namespace {

TDoublePointArray MakePoints(const std::vector<TDoublePoint>& List) {
    TDoublePointArray Points;
    for (const TDoublePoint& P : List)
        Points.Add(P);
    return Points;
}

// Points (x, 2x) at the given X values.
TDoublePointArray LineAt(const std::vector<double>& Xs) {
    TDoublePointArray Points;
    for (double X : Xs)
        Points.Add({X, 2 * X});
    return Points;
}

std::vector<double> Range(double From, double To, double Step) {
    std::vector<double> Result;
    for (double X = From; Step > 0 ? X <= To : X >= To; X += Step)
        Result.push_back(X);
    return Result;
}

// Walks from First; stops after Limit points so that a broken iterator fails instead of
// hanging.
std::vector<TDoublePoint> Walk(TCurveIterator& It, int Limit = 100000) {
    std::vector<TDoublePoint> Result;
    for (It.First(); !It.IsDone() && static_cast<int>(Result.size()) < Limit; It.Next())
        Result.push_back(It.CurrentPoint());
    return Result;
}

std::vector<double> XsOf(const std::vector<TDoublePoint>& Points) {
    std::vector<double> Result;
    for (const TDoublePoint& P : Points)
        Result.push_back(P.X);
    return Result;
}

} // namespace

TEST(CubicSplineIterator, SamplesFromStartToTheLastX) {
    const TDoublePointArray Points = LineAt(Range(0, 10, 1));
    TCubicSpline Spline(Points);
    // The end is limited to the last point's X.
    TCubicSplineIterator It(Spline, 0, 25, 0.5);
    EXPECT_EQ(It.EndX(), 10);
    const auto Output = Walk(It);
    ASSERT_EQ(Output.size(), 21u);
    for (std::size_t K = 0; K < Output.size(); ++K) {
        EXPECT_EQ(Output[K].X, 0.5 * K);
        EXPECT_NEAR(Output[K].Y, 1.0 * K, 1e-12);
    }
    It.Last();
    EXPECT_EQ(It.CurrentX(), 10);
    It.Prev();
    EXPECT_EQ(It.CurrentX(), 9.5);
}

TEST(CubicSplineIterator, DescendingDataWalksDownwards) {
    const TDoublePointArray Points = LineAt(Range(10, 0, -1));
    TCubicSpline Spline(Points);
    TCubicSplineIterator It(Spline, 10, -3, -0.5);
    EXPECT_EQ(It.EndX(), 0);
    const auto Xs = XsOf(Walk(It));
    ASSERT_EQ(Xs.size(), 21u);
    EXPECT_EQ(Xs.front(), 10);
    EXPECT_EQ(Xs.back(), 0);
    It.Last();
    It.Next();
    EXPECT_TRUE(It.IsDone());
}

TEST(CubicSplineIterator, MoveToReachesWhatTheWalkReaches) {
    const TDoublePointArray Points = LineAt(Range(0, 10, 1));
    TCubicSpline Spline(Points);
    TCubicSplineIterator It(Spline, 0.3, 10, 0.1);
    const auto Walked = XsOf(Walk(It));
    ASSERT_GT(Walked.size(), 90u);
    // Forward, backward and after Prev and Last: always the walked value to the last bit.
    for (int N : {5, 17, 17, 3, 90, 0, 42}) {
        It.MoveTo(N);
        EXPECT_EQ(It.CurrentX(), Walked[N]) << N;
    }
    It.Last();
    It.MoveTo(50);
    EXPECT_EQ(It.CurrentX(), Walked[50]);
    It.Prev();
    It.MoveTo(51);
    EXPECT_EQ(It.CurrentX(), Walked[51]);
}

TEST(CubicSplineIterator, EveryWalkEnds) {
    struct TCase {
        const char* Name;
        std::vector<double> Xs;
        double Start, End, Increment;
        std::size_t Count;
    };
    const std::vector<TCase> Cases = {
        {"zero increment on one point", {4}, 4, 4, 0, 1},
        {"zero increment on a range", {0, 1, 2}, 0, 2, 0, 1},
        {"increment lost against the magnitude", {1e20, 2e20}, 1e20, 2e20, 1e-5, 1},
    };
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        const TDoublePointArray Points = LineAt(Case.Xs);
        TCubicSpline Spline(Points);
        TCubicSplineIterator It(Spline, Case.Start, Case.End, Case.Increment);
        const auto Output = Walk(It, 10);
        ASSERT_EQ(Output.size(), Case.Count);
        EXPECT_EQ(Output[0].X, Case.Start);
        EXPECT_TRUE(std::isfinite(Output[0].Y));
        // MoveTo beyond the end stays done; MoveTo(0) is the start again.
        It.MoveTo(1000000000);
        EXPECT_TRUE(It.IsDone());
        It.MoveTo(0);
        EXPECT_FALSE(It.IsDone());
        EXPECT_EQ(It.CurrentX(), Case.Start);
    }
}

TEST(CubicSplineIterator, IncrementAgainstTheDirectionYieldsNothing) {
    const TDoublePointArray Points = LineAt({0, 1, 2});
    TCubicSpline Spline(Points);
    TCubicSplineIterator It(Spline, 0, 2, -1);
    EXPECT_TRUE(Walk(It, 10).empty());
}

TEST(CubicSplineIterator, RefusesValuesThatAreNotNumbers) {
    const TDoublePointArray Points = LineAt({0, 1});
    TCubicSpline Spline(Points);
    EXPECT_THROW(TCubicSplineIterator(Spline, std::nan(""), 1, 0.1), ECurveApproximator);
    EXPECT_THROW(TCubicSplineIterator(Spline, 0, 1, INFINITY), ECurveApproximator);
}

TEST(CubicSplineIterator, RecomputesOverThePointsOfItsTime) {
    TDoublePointArray Points = LineAt({0, 1});
    TCubicSpline Spline(Points);
    Spline.Recompute();
    Points.Add({2, 0});
    TCubicSplineIterator After(Spline, 0, 2, 0.5);
    After.MoveTo(1);
    // Over (0,0) (1,2) (2,0) the natural spline at 0.5 is 1.375.
    EXPECT_NEAR(After.CurrentY(), 1.375, 1e-12);
}

TEST(FunctionalRawDataIterator, YieldsFromTheStartPointToTheEndPoint) {
    const TDoublePointArray Points = LineAt({0, 1, 2, 3});
    TFunctionalRawData Raw(Points);
    TFunctionalRawDataIterator It(Raw, 1.5, 2.5);
    EXPECT_EQ(XsOf(Walk(It)), (std::vector<double>{2, 3}));
    TFunctionalRawDataIterator All(Raw, 0, 3);
    EXPECT_EQ(XsOf(Walk(All)), (std::vector<double>{0, 1, 2, 3}));
    All.MoveTo(2);
    EXPECT_EQ(All.Index(), 2);
    All.Last();
    EXPECT_EQ(All.Index(), 3);
    All.MoveTo(2147483647);
    EXPECT_TRUE(All.IsDone());
    // A range beyond the data propagates the search's error.
    TFunctionalRawDataIterator Beyond(Raw, 0, 9);
    EXPECT_THROW(Beyond.IsDone(), ECurveApproximator);
}

TEST(NonfunctionalRawDataIterator, YieldsThePointsWithinTheArcLengthRange) {
    const TDoublePointArray Points = MakePoints({{0, 0}, {3, 4}, {3, 4}, {6, 8}});
    TNonfunctionalRawData Raw(Points);
    struct TCase {
        double Start, End;
        std::vector<std::int32_t> Indices;
    };
    for (const TCase& Case : std::vector<TCase>{
             {5, 10, {1, 2, 3}}, {0, 4.9, {0}}, {0, 10, {0, 1, 2, 3}}, {5.5, 9, {}}}) {
        TNonfunctionalRawDataIterator It(Raw, Case.Start, Case.End);
        std::vector<std::int32_t> Indices;
        for (It.First(); !It.IsDone() && Indices.size() < 10; It.Next())
            Indices.push_back(It.Index());
        EXPECT_EQ(Indices, Case.Indices) << Case.Start << " .. " << Case.End;
    }
}

TEST(ParametricCubicSplineIterator, SamplesByArcLength) {
    const TDoublePointArray Points = MakePoints({{0, 0}, {3, 4}, {6, 8}});
    TParametricCubicSpline Spline(Points);
    // The increment's sign is dropped; the end is limited to the total length.
    TParametricCubicSplineIterator It(Spline, 0, 50, -2.5);
    EXPECT_EQ(It.Increment(), 2.5);
    EXPECT_EQ(It.EndS(), 10);
    const auto Output = Walk(It);
    ASSERT_EQ(Output.size(), 5u);
    EXPECT_NEAR(Output[1].X, 1.5, 1e-12);
    EXPECT_NEAR(Output[1].Y, 2, 1e-12);
    EXPECT_NEAR(Output[4].X, 6, 1e-12);
    It.MoveTo(3);
    EXPECT_NEAR(It.CurrentY(), 6, 1e-12);

    // All points in one place: length 0, so the increment can be 0; one point comes out.
    const TDoublePointArray Same = MakePoints({{1, 1}, {1, 1}});
    TParametricCubicSpline Still(Same);
    TParametricCubicSplineIterator One(Still, 0, 0, 0);
    const auto Single = Walk(One, 10);
    ASSERT_EQ(Single.size(), 1u);
    EXPECT_EQ(Single[0], (TDoublePoint{1, 1}));
}

TEST(ScatterRawDataIterator, YieldsEveryPoint) {
    const TDoublePointArray Points = MakePoints({{5, 1}, {2, 2}, {9, 3}});
    TScatterRawData Scatter(Points);
    TScatterRawDataIterator It(Scatter);
    EXPECT_EQ(XsOf(Walk(It)), (std::vector<double>{5, 2, 9}));
    It.Last();
    EXPECT_EQ(It.CurrentY(), 3);
    It.MoveTo(1);
    EXPECT_EQ(It.CurrentPoint(), (TDoublePoint{2, 2}));
    It.MoveTo(3);
    EXPECT_TRUE(It.IsDone());

    const TDoublePointArray Empty;
    TScatterRawData None(Empty);
    TScatterRawDataIterator Nothing(None);
    EXPECT_TRUE(Nothing.IsDone());
}

TEST(SelectionIterator, YieldsTheSelectedRowsOfTheInnerIterator) {
    const TDoublePointArray Points = LineAt(Range(0, 10, 1));
    TCubicSpline Spline(Points);
    TPointSelection Selection;
    Selection.Select(5);
    Selection.Select(2);
    TSelectionIterator It(std::make_unique<TCubicSplineIterator>(Spline, 0, 10, 0.5), Selection);
    EXPECT_EQ(XsOf(Walk(It)), (std::vector<double>{1.0, 2.5}));
    It.Last();
    EXPECT_EQ(It.Position(), 1);
    EXPECT_EQ(It.CurrentX(), 2.5);
    It.Prev();
    EXPECT_EQ(It.CurrentX(), 1.0);
    It.Prev();
    EXPECT_EQ(It.Position(), 0);
    It.MoveTo(2); // outside: nothing happens
    EXPECT_EQ(It.Position(), 0);
    It.Next();
    It.Next();
    EXPECT_TRUE(It.IsDone());
    It.Next();
    EXPECT_EQ(It.Position(), 2);

    TPointSelection Empty;
    TSelectionIterator None(std::make_unique<TCubicSplineIterator>(Spline, 0, 10, 0.5), Empty);
    EXPECT_TRUE(None.IsDone());
    None.Last();
    EXPECT_TRUE(None.IsDone());
}

// Every row of a long spline through a selection: the inner iterator continues its walk, so
// this stays linear (the test would take minutes otherwise).
TEST(SelectionIterator, WalkingAllRowsOfALongSplineIsLinear) {
    TDoublePointArray Points(200001);
    for (int I = 0; I <= 200000; ++I)
        Points.Add({I * 0.5, std::sin(I * 0.01)});
    TCubicSpline Spline(Points);
    TPointSelection Selection;
    Selection.SelectRange(0, 199999);
    TSelectionIterator It(std::make_unique<TCubicSplineIterator>(Spline, 0, 100000, 0.5),
                          Selection);
    std::int32_t Count = 0;
    for (It.First(); !It.IsDone(); It.Next())
        ++Count;
    EXPECT_EQ(Count, 200000);
    It.MoveTo(123456);
    EXPECT_EQ(It.CurrentX(), 61728);
}
