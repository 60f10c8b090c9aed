#include "output/CurveApproximators.h"

#include <cmath>
#include <gtest/gtest.h>
#include <optional>
#include <random>
#include <string>
#include <vector>

using namespace korvane;

namespace {

TDoublePointArray MakePoints(const std::vector<TDoublePoint>& List) {
    TDoublePointArray Points;
    for (const TDoublePoint& P : List)
        Points.Add(P);
    return Points;
}

TDoublePointArray PointsAtX(const std::vector<double>& Xs) {
    TDoublePointArray Points;
    for (double X : Xs)
        Points.Add({X, X * X});
    return Points;
}

template <class F> std::string MessageOf(F&& Action) {
    try {
        Action();
    } catch (const EKorvane& E) {
        return E.what();
    }
    return "(no error)";
}

// The searches as defined: plain scans from index 0.
std::optional<std::int32_t> ScanL(const TDoublePointArray& P, double X) {
    const bool Asc = P.Count() > 0 && P.First().X < P.Last().X;
    for (std::int32_t I = 0; I < P.Count(); ++I)
        if (Asc ? P[I].X >= X : P[I].X <= X)
            return I;
    return std::nullopt;
}

std::int32_t ScanR(const TDoublePointArray& P, double X) {
    const bool Asc = P.First().X < P.Last().X;
    std::int32_t I = 0;
    while (I < P.Count() - 1 && (Asc ? X > P[I + 1].X : X < P[I + 1].X))
        ++I;
    return I;
}

} // namespace

TEST(NonParametricSearch, IndexOfNearestOnAscendingAndDescendingData) {
    struct TCase {
        std::vector<double> Xs;
        double X;
        std::int32_t L; // -1: raises
        std::int32_t R;
    };
    const std::vector<TCase> Cases = {
        {{0, 1, 2, 3}, 1.5, 2, 1},
        {{0, 1, 2, 3}, 1, 1, 0},
        {{0, 1, 2, 3}, -5, 0, 0},
        {{0, 1, 2, 3}, 0, 0, 0},
        {{0, 1, 2, 3}, 3, 3, 2},
        {{0, 1, 2, 3}, 3.5, -1, 3},
        {{3, 2, 1}, 1.5, 2, 1},
        {{3, 2, 1}, 2.5, 1, 0},
        {{3, 2, 1}, 0.5, -1, 2},
        {{2, 2, 2}, 2, 0, 0},
        // One point counts as descending.
        {{5}, 6, 0, 0},
        {{5}, 4, -1, 0},
    };
    // Before Recompute the searches scan; after it they use the search table. Both must agree.
    for (bool Recomputed : {false, true})
        for (const TCase& Case : Cases) {
            SCOPED_TRACE(testing::Message() << "X = " << Case.X << " over " << Case.Xs.size()
                                            << " points, recomputed " << Recomputed);
            const TDoublePointArray Points = PointsAtX(Case.Xs);
            TFunctionalRawData Raw(Points);
            if (Recomputed)
                Raw.Recompute();
            if (Case.L < 0)
                EXPECT_THROW(Raw.IndexOfNearestL(Case.X), ECurveApproximator);
            else
                EXPECT_EQ(Raw.IndexOfNearestL(Case.X), Case.L);
            EXPECT_EQ(Raw.IndexOfNearestR(Case.X), Case.R);
        }
}

TEST(NonParametricSearch, ErrorMessages) {
    const TDoublePointArray Points = PointsAtX({0, 1, 2, 3});
    const TDoublePointArray Empty;
    TCubicSpline Spline(Points);
    TCubicSpline None(Empty);
    EXPECT_EQ(MessageOf([&] { Spline.IndexOfNearestL(3.5); }),
              "TNonParametricCurveApproximator.IndexOfNearestL: Invalid X: 3.50");
    EXPECT_EQ(MessageOf([&] { None.IndexOfNearestL(-1); }),
              "TNonParametricCurveApproximator.IndexOfNearestL: Invalid X: -1.00");
    EXPECT_EQ(MessageOf([&] { None.IndexOfNearestR(2.125); }),
              "TNonParametricCurveApproximator.IndexOfNearestR: Invalid X: 2.12");
    EXPECT_EQ(MessageOf([&] { None.Evaluate(1); }),
              "TNonParametricCurveApproximator.IndexOfNearestR: Invalid X: 1.00");
}

// The bisection over the running extreme must find what the scan finds, also over data whose
// X goes back and forth and has repeats.
TEST(NonParametricSearch, TableSearchMatchesTheScanOnUnorderedData) {
    std::mt19937 Random(12345);
    std::uniform_int_distribution<int> Value(0, 40);
    for (int Round = 0; Round < 200; ++Round) {
        TDoublePointArray Points;
        const int N = 1 + Round % 17;
        for (int I = 0; I < N; ++I)
            Points.Add({Value(Random) / 2.0, 0});
        TFunctionalRawData Raw(Points);
        Raw.Recompute();
        for (double X = -1; X <= 21; X += 0.25) {
            const auto L = ScanL(Points, X);
            if (L)
                ASSERT_EQ(Raw.IndexOfNearestL(X), *L) << "round " << Round << " X " << X;
            else
                ASSERT_THROW(Raw.IndexOfNearestL(X), ECurveApproximator);
            ASSERT_EQ(Raw.IndexOfNearestR(X), ScanR(Points, X)) << "round " << Round << " X " << X;
        }
        // NaN behaves as in the scan: no point reaches it, and it is beyond none.
        EXPECT_THROW(Raw.IndexOfNearestL(std::nan("")), ECurveApproximator);
        EXPECT_EQ(Raw.IndexOfNearestR(std::nan("")), 0);
    }
}

TEST(NonParametricSearch, ChangedPointCountFallsBackToTheLivePoints) {
    TDoublePointArray Points = PointsAtX({0, 1, 2});
    TFunctionalRawData Raw(Points);
    Raw.Recompute();
    Points.Add({3, 30});
    Points.Add({4, 40});
    EXPECT_EQ(Raw.IndexOfNearestL(3.5), 4);
    EXPECT_EQ(Raw.IndexOfNearestR(3.5), 3);
    EXPECT_EQ(Raw.Evaluate(3.5), 30);
}

TEST(CubicSpline, NaturalSplineValues) {
    struct TCase {
        const char* Name;
        std::vector<TDoublePoint> Points;
        double X;
        double Y;
    };
    const std::vector<TCase> Cases = {
        {"two points are a straight line", {{1, 1}, {3, 5}}, 2.5, 4},
        {"interior point exactly", {{0, 0}, {1, 3}, {2, -1}, {4, 7}}, 2, -1},
        {"hand-solved hump", {{0, 0}, {1, 1}, {2, 0}}, 0.5, 0.6875},
        {"descending hump", {{2, 0}, {1, 1}, {0, 0}}, 1.5, 0.6875},
        {"first point", {{0, 0}, {1, 1}, {2, 0}}, 0, 0},
        {"one point", {{4, 7}}, 100, 7},
        // Zero-width intervals split the data into pieces, here two straight ones.
        {"equal X, before", {{0, 0}, {1, 1}, {1, 3}, {2, 4}}, 0.5, 0.5},
        {"equal X, at", {{0, 0}, {1, 1}, {1, 3}, {2, 4}}, 1, 1},
        {"equal X, after", {{0, 0}, {1, 1}, {1, 3}, {2, 4}}, 1.5, 3.5},
        {"equal X first, at", {{0, 2}, {0, 5}, {1, 6}}, 0, 2},
        {"equal X last, beyond", {{0, 2}, {1, 5}, {1, 6}}, 3, 6},
        {"beyond the last X extrapolates", {{0, 0}, {1, 1}}, 3, 3},
    };
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        const TDoublePointArray Points = MakePoints(Case.Points);
        TCubicSpline Spline(Points);
        Spline.Recompute();
        EXPECT_NEAR(Spline.Evaluate(Case.X), Case.Y, 1e-12);
    }
}

TEST(CubicSpline, TablesAfterRecompute) {
    const TDoublePointArray Points = MakePoints({{0, 0}, {1, 1}, {3, 0}, {4, 2}});
    TCubicSpline Spline(Points);
    Spline.Recompute();
    EXPECT_EQ(Spline.Intervals(), (std::vector<double>{1, 2, 1, 0}));
    ASSERT_EQ(Spline.SecondDerivatives().size(), 4u);
    EXPECT_EQ(Spline.SecondDerivatives().front(), 0);
    EXPECT_EQ(Spline.SecondDerivatives().back(), 0);
    // Each interior second derivative satisfies its equation of the natural spline.
    const auto& H = Spline.Intervals();
    const auto& Y2 = Spline.SecondDerivatives();
    for (int K = 1; K <= 2; ++K) {
        const double Left = H[K - 1] * Y2[K - 1] + 2 * (H[K - 1] + H[K]) * Y2[K] + H[K] * Y2[K + 1];
        const double Right = 6 * ((Points[K + 1].Y - Points[K].Y) / H[K] -
                                  (Points[K].Y - Points[K - 1].Y) / H[K - 1]);
        EXPECT_NEAR(Left, Right, 1e-12);
    }
    EXPECT_NEAR(Spline.Evaluate(3), 0, 1e-12);
}

// Equal X, points that go back, coincident points and a single point: every value across the
// data (and a little beyond) is a finite number.
TEST(CubicSpline, DegenerateDataGivesFiniteValues) {
    const std::vector<std::vector<TDoublePoint>> Sets = {
        {{0, 0}, {1, 1}, {1, 3}, {2, 4}, {3, 0}}, {{0, 0}, {0, 1}, {0, 2}},
        {{0, 0}, {2, 1}, {1, 3}, {3, 4}},         {{0, 0}, {2, 1}, {0, 2}, {2, 3}, {0, 4}},
        {{1, 1}, {1, 1}, {2, 2}, {2, 2}},         {{5, 5}},
    };
    for (const auto& Set : Sets) {
        const TDoublePointArray Points = MakePoints(Set);
        TCubicSpline Spline(Points);
        Spline.Recompute();
        for (double X = -1; X <= 4; X += 0.125) {
            const double Y = Spline.Evaluate(X);
            ASSERT_TRUE(std::isfinite(Y)) << "X = " << X;
        }
    }
}

TEST(CubicSpline, StaleTablesAreRebuiltWhenTheCountChanged) {
    TDoublePointArray Points = MakePoints({{0, 0}, {1, 1}});
    TCubicSpline Spline(Points);
    Spline.Recompute();
    Points.Add({2, 0});
    EXPECT_NEAR(Spline.Evaluate(0.5), 0.6875, 1e-12);
    Points.Clear();
    EXPECT_THROW(Spline.Evaluate(0.5), ECurveApproximator);
}

TEST(FunctionalRawData, EvaluateTakesThePointOfTheInterval) {
    const TDoublePointArray Points = MakePoints({{0, 10}, {1, 11}, {2, 12}});
    TFunctionalRawData Raw(Points);
    EXPECT_EQ(Raw.Evaluate(0.5), 10);
    EXPECT_EQ(Raw.Evaluate(1), 10);
    EXPECT_EQ(Raw.Evaluate(1.5), 11);
    EXPECT_EQ(Raw.Evaluate(9), 12);
}

TEST(ParametricApproximator, ArcLengthsAndSearches) {
    const TDoublePointArray Points = MakePoints({{0, 0}, {3, 4}, {6, 8}});
    TNonfunctionalRawData Raw(Points);
    EXPECT_TRUE(Raw.NeedsRecompute());
    EXPECT_EQ(Raw.ArcLength(2), 10);
    EXPECT_FALSE(Raw.NeedsRecompute());
    EXPECT_EQ(Raw.IndexOfNearestGT(5), 1);
    EXPECT_EQ(Raw.IndexOfNearestGT(4.9), 0);
    EXPECT_EQ(Raw.IndexOfNearestGT(12), 2);
    EXPECT_EQ(Raw.IndexOfNearestGT(-1), 0);
    EXPECT_EQ(Raw.IndexOfNearestLT(5), 1);
    EXPECT_EQ(Raw.IndexOfNearestLT(4.9), 1);
    EXPECT_EQ(Raw.IndexOfNearestLT(-1), 0);
    EXPECT_EQ(MessageOf([&] { Raw.IndexOfNearestLT(12); }),
              "TParametricCurveApproximator.IndexOfNearestLT: Invalid S: 12.00");
    EXPECT_THROW(Raw.ArcLength(3), EListError);

    const TDoublePointArray Empty;
    TNonfunctionalRawData None(Empty);
    EXPECT_EQ(MessageOf([&] { None.IndexOfNearestGT(1); }),
              "TParametricCurveApproximator.IndexOfNearestGT: Invalid S: 1.00");
    EXPECT_EQ(MessageOf([&] { None.IndexOfNearestLT(0); }),
              "TParametricCurveApproximator.IndexOfNearestLT: Invalid S: 0.00");
}

TEST(ParametricApproximator, CoincidentPointsAndEqualArcLengths) {
    const TDoublePointArray Points = MakePoints({{0, 0}, {3, 4}, {3, 4}, {6, 8}});
    TNonfunctionalRawData Raw(Points);
    Raw.Recompute();
    EXPECT_EQ(Raw.ArcLengths(), (std::vector<double>{0, 5, 5, 10}));
    EXPECT_EQ(Raw.IndexOfNearestLT(5), 1);
    EXPECT_EQ(Raw.IndexOfNearestGT(5), 2);
}

TEST(ParametricApproximator, TableIsStaleOnlyWhenTheCountChanges) {
    TDoublePointArray Points = MakePoints({{0, 0}, {3, 4}});
    TNonfunctionalRawData Raw(Points);
    EXPECT_EQ(Raw.ArcLength(1), 5);
    Points.Add({3, 14});
    EXPECT_EQ(Raw.ArcLength(2), 15);
    // Replace the last point: same count, so the table stays until the next Recompute.
    Points.Delete(2);
    Points.Add({3, 8});
    EXPECT_EQ(Raw.ArcLength(2), 15);
    Raw.Recompute();
    EXPECT_EQ(Raw.ArcLength(2), 9);
}

TEST(ParametricCubicSpline, EvaluatesAlongTheChord) {
    TDoublePointArray Points = MakePoints({{0, 0}, {3, 4}, {6, 8}});
    TParametricCubicSpline Spline(Points);
    Spline.Recompute();
    const TDoublePoint P = Spline.EvaluateAt(2.5);
    EXPECT_NEAR(P.X, 1.5, 1e-12);
    EXPECT_NEAR(P.Y, 2, 1e-12);
    EXPECT_EQ(Spline.XOfS().Count(), 3);
    EXPECT_EQ(Spline.XOfS()[2], (TDoublePoint{10, 6}));
    EXPECT_EQ(Spline.YOfS()[1], (TDoublePoint{5, 4}));
    // A new point makes the next evaluation rebuild both splines.
    Points.Add({6, 18});
    EXPECT_NEAR(Spline.EvaluateAt(20).Y, 18, 1e-12);
}

TEST(ParametricCubicSpline, CoincidentPointsGiveFiniteValues) {
    const TDoublePointArray Points = MakePoints({{0, 0}, {3, 4}, {3, 4}, {6, 8}, {6, 8}, {0, 1}});
    TParametricCubicSpline Spline(Points);
    Spline.Recompute();
    for (double S = 0; S <= Spline.ArcLength(5); S += 0.1) {
        const TDoublePoint P = Spline.EvaluateAt(S);
        ASSERT_TRUE(std::isfinite(P.X) && std::isfinite(P.Y)) << "S = " << S;
    }
    EXPECT_EQ(Spline.EvaluateAt(5), (TDoublePoint{3, 4}));
}

TEST(ApproximatorClasses, RegistryByStoredName) {
    struct TCase {
        const char* Name;
        const char* Display; // empty: abstract
    };
    const std::vector<TCase> Cases = {
        {"TCurveApproximator", ""},
        {"TNonParametricCurveApproximator", ""},
        {"TCubicSpline", "Cubic spline"},
        {"TFunctionalRawData", "Actual digitized points"},
        {"TParametricCurveApproximator", ""},
        {"TNonfunctionalRawData", "Actual digitized points"},
        {"TParametricCubicSpline", "Cubic spline"},
        {"TScatterApproximator", ""},
        {"TScatterRawData", "Scatter points"},
    };
    const TDoublePointArray Points = PointsAtX({1, 2});
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        const TApproximatorClassInfo& Class = FindApproximatorClass(Case.Name);
        EXPECT_EQ(Class.ClassName, Case.Name);
        EXPECT_EQ(Class.DisplayName, Case.Display);
        EXPECT_EQ(Class.IsAbstract(), std::string(Case.Display).empty());
        if (Class.IsAbstract()) {
            EXPECT_THROW(Class.NewApproximator(Points), EAssertion);
        } else {
            const auto Approximator = Class.NewApproximator(Points);
            EXPECT_EQ(Approximator->ClassName(), Case.Name);
            EXPECT_EQ(Approximator->DisplayName(), Case.Display);
            EXPECT_EQ(&Approximator->Points(), &Points);
        }
    }
    EXPECT_EQ(MessageOf([] { FindApproximatorClass("TFoo"); }), "Class TFoo not found.");
    EXPECT_THROW(FindApproximatorClass("tcubicspline"), EClassNotFound);
    EXPECT_EQ(GetApproximatorClass("TFoo"), nullptr);
}

TEST(ApproximatorClasses, Lists) {
    const TCurveApproximatorList& F = FunctionalApproximators();
    const TCurveApproximatorList& N = NonfunctionalApproximators();
    ASSERT_EQ(F.Count(), 2);
    EXPECT_EQ(F.Items(0).ClassName, "TFunctionalRawData");
    EXPECT_EQ(F.Items(1).ClassName, "TCubicSpline");
    ASSERT_EQ(N.Count(), 2);
    EXPECT_EQ(N.Items(0).ClassName, "TNonfunctionalRawData");
    EXPECT_EQ(N.Items(1).ClassName, "TParametricCubicSpline");
    EXPECT_THROW(F.Items(2), EListError);

    const TDoublePointArray Points;
    EXPECT_EQ(F.IndexOf(TCubicSpline(Points)), 1);
    EXPECT_EQ(F.IndexOf(TParametricCubicSpline(Points)), -1);
    EXPECT_EQ(N.IndexOf(TParametricCubicSpline(Points)), 1);

    // From the last entry down.
    TCurveApproximatorList Twice;
    Twice.Add(TScatterRawData::Class());
    EXPECT_EQ(Twice.Add(TScatterRawData::Class()), 1);
    EXPECT_EQ(Twice.IndexOf(TScatterRawData(Points)), 1);
}
