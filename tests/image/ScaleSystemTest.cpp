#include "image/ScaleSystem.h"

#include "core/Errors.h"
#include "core/Streams.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace korvane;

namespace {

// The chart of the worked example: origin at (100, 400) is (0, 0), (500, 100) is (10, 30).
TScaleSystem Example(TLongintPoint Skew = {500, 400}) {
    TScaleSystem S;
    S.Define({100, 400}, Skew, {500, 100}, {0, 0}, {10, 30}, false, false);
    return S;
}

void ExpectMessage(const std::function<void()>& Action, const std::string& Message) {
    try {
        Action();
        ADD_FAILURE() << "no error, expected " << Message;
    } catch (const EScaleSystem& E) {
        EXPECT_EQ(E.what(), Message);
    }
}

} // namespace

TEST(ScaleSystem, WorkedExampleWithoutSkew) {
    const TScaleSystem S = Example();
    EXPECT_EQ(S.AxisSpan, (TDoublePoint{400, -300}));
    EXPECT_DOUBLE_EQ(S.LinearScale.X, 0.025);
    EXPECT_DOUBLE_EQ(S.LinearScale.Y, -0.1);
    EXPECT_FALSE(S.XReversed);
    EXPECT_EQ(S.DeskewedSecondPoint, (TLongintPoint{500, 100}));
    const TDoublePoint R = S.ImageToReal({300, 250});
    EXPECT_DOUBLE_EQ(R.X, 5);
    EXPECT_DOUBLE_EQ(R.Y, 15);
    EXPECT_EQ(S.RealToImage({5, 15}), (TLongintPoint{300, 250}));
}

TEST(ScaleSystem, SkewPointTiltsTheAxes) {
    const TScaleSystem S = Example({500, 401});
    const double Angle = std::atan(1.0 / 400.0);
    EXPECT_DOUBLE_EQ(S.CosAngle, std::cos(Angle));
    EXPECT_DOUBLE_EQ(S.SinAngle, std::sin(Angle));
    // Along the tilted X axis through the first and skew points the real Y stays 0.
    EXPECT_NEAR(S.ImageToReal({500, 401}).Y, 0.0, 1e-3);
    EXPECT_NEAR(S.ImageToReal({500, 401}).X, 10.0, 0.03);
    // Every pixel goes to a real value and back to itself.
    for (TLongintPoint P : {TLongintPoint{100, 400}, {300, 250}, {499, 101}, {0, 0}, {-40, 900}})
        EXPECT_EQ(S.RealToImage(S.ImageToReal(P)), P) << P.X << "," << P.Y;
    // A skew point to the left of the first point gives the same system.
    const TScaleSystem Left = Example({-300, 399});
    EXPECT_EQ(Left.CosAngle, S.CosAngle);
    EXPECT_EQ(Left.SinAngle, S.SinAngle);
}

TEST(ScaleSystem, LogarithmicAxes) {
    TScaleSystem S;
    S.Define({0, 300}, {300, 300}, {300, 0}, {1, 0}, {1000, 10}, true, false);
    EXPECT_DOUBLE_EQ(S.ImageToReal({100, 300}).X, 10.0);
    EXPECT_DOUBLE_EQ(S.ImageToReal({200, 150}).X, 100.0);
    EXPECT_DOUBLE_EQ(S.ImageToReal({200, 150}).Y, 5.0);
    EXPECT_EQ(S.RealToImage({10, 0}), (TLongintPoint{100, 300}));
    EXPECT_DOUBLE_EQ(S.LogRatio.X, std::log(1000.0));

    TScaleSystem Both;
    Both.Define({0, 100}, {100, 100}, {100, 0}, {0.1, 1}, {10, 1e4}, true, true);
    const TDoublePoint R = Both.ImageToReal({50, 25});
    EXPECT_NEAR(R.X, 1.0, 1e-12);
    EXPECT_NEAR(R.Y, 1000.0, 1e-9);
    EXPECT_THROW(Both.RealToImage({-1, 5}), EScaleSystem);
    EXPECT_THROW(Both.RealToImage({1, 0}), EScaleSystem);
}

TEST(ScaleSystem, ReversedXAxis) {
    TScaleSystem S;
    S.Define({100, 400}, {500, 400}, {500, 100}, {10, 0}, {0, 30}, false, false);
    EXPECT_TRUE(S.XReversed);
}

TEST(ScaleSystem, InvalidDefinitionsChangeNothing) {
    const double Inf = std::numeric_limits<double>::infinity();
    struct Case {
        TLongintPoint First, Skew, Second;
        TDoublePoint V1, V2;
        bool LogX, LogY;
        const char* Message; // nullptr: any message
    } Cases[] = {
        {{0, 9},
         {9, 9},
         {9, 0},
         {1, 5},
         {1, 7},
         false,
         false,
         "Scale values must be different between points."},
        // The logarithmic test comes first.
        {{0, 9},
         {9, 9},
         {9, 0},
         {1, 0},
         {1, 5},
         false,
         true,
         "Logarithmic scale values must be positive."},
        {{0, 9},
         {9, 9},
         {9, 0},
         {0, 1},
         {5, 2},
         true,
         false,
         "Logarithmic scale values must be positive."},
        {{0, 9},
         {9, 9},
         {9, 0},
         {-1, 1},
         {5, 2},
         true,
         false,
         "Logarithmic scale values must be positive."},
        // Degenerate geometry.
        {{5, 9}, {5, 0}, {9, 0}, {0, 0}, {1, 1}, false, false, nullptr},
        {{0, 9}, {9, 9}, {0, 0}, {0, 0}, {1, 1}, false, false, nullptr},
        {{0, 9}, {9, 9}, {9, 9}, {0, 0}, {1, 1}, false, false, nullptr},
        // Values that cannot make a finite system.
        {{0, 9}, {9, 9}, {9, 0}, {0, 0}, {Inf, 1}, false, false, nullptr},
        {{0, 9}, {9, 9}, {9, 0}, {std::nan(""), 0}, {1, 1}, false, false, nullptr},
        {{0, 9}, {9, 9}, {9, 0}, {-1e308, 0}, {1e308, 1}, false, false, nullptr},
        {{0, 9}, {9, 9}, {9, 0}, {1e-300, 1}, {1e300, 2}, true, false, nullptr},
    };
    for (const auto& C : Cases) {
        TScaleSystem S = Example();
        const TScaleSystem Before = S;
        try {
            S.Define(C.First, C.Skew, C.Second, C.V1, C.V2, C.LogX, C.LogY);
            ADD_FAILURE() << "accepted " << C.V1.X << "," << C.V1.Y << " " << C.V2.X;
        } catch (const EScaleSystem& E) {
            if (C.Message) {
                EXPECT_STREQ(E.what(), C.Message);
            }
        }
        TMemoryStream A, B;
        S.SaveToStream(A);
        Before.SaveToStream(B);
        EXPECT_EQ(A.Bytes(), B.Bytes());
        EXPECT_EQ(S.LinearScale, Before.LinearScale);
        EXPECT_EQ(S.CosAngle, Before.CosAngle);
    }
}

TEST(ScaleSystem, ConversionsNeverYieldNaNOrInfinity) {
    TScaleSystem S;
    S.Define({0, 100}, {100, 100}, {100, 0}, {1, 1}, {1e300, 10}, true, false);
    EXPECT_THROW(S.ImageToReal({1000, 0}), EScaleSystem); // 1e3000 overflows
    // A system that was never defined converts no real value to a position.
    EXPECT_THROW(TScaleSystem().RealToImage({1, 1}), EScaleSystem);
    // Real values far beyond the image end at a clamped position, not an overflow.
    const TLongintPoint Far = Example().RealToImage({1e200, -1e200});
    EXPECT_GT(Far.X, 100000000);
    EXPECT_GT(Far.Y, 100000000);
}

TEST(ScaleSystem, ScreenMappingAndHalfStep) {
    TScaleSystem S;
    EXPECT_EQ(S.ImageToScreen({0, 0}), (TLongintPoint{1, 1}));
    EXPECT_EQ(S.ScreenToImage({7, 9}), (TLongintPoint{7, 9}));
    EXPECT_EQ(S.ImageToScreen(S.ScreenToImage({7, 9})), (TLongintPoint{8, 10}));

    struct Case {
        int Viewport, Window, Half;
    } Cases[] = {{1, 1, 1}, {2, 1, 1}, {3, 1, 2}, {4, 1, 2}, {1, 2, 0}, {1, 4, 0}, {8, 1, 4}};
    for (const auto& C : Cases) {
        S.ViewportExt = {C.Viewport, C.Viewport};
        S.WindowExt = {C.Window, C.Window};
        EXPECT_EQ(S.HalfStep(), (TLongintPoint{C.Half, C.Half})) << C.Viewport << ":" << C.Window;
    }

    // Zoom 4:1, scrolled to image pixel (10, 20), viewport origin at (5, 6).
    S.WindowOrg = {10, 20};
    S.WindowExt = {1, 1};
    S.ViewportOrg = {5, 6};
    S.ViewportExt = {4, 4};
    EXPECT_EQ(S.ImageToScreen({12, 21}), (TLongintPoint{5 + 8 + 2, 6 + 4 + 2}));
    EXPECT_EQ(S.ScreenToImage({15, 12}), (TLongintPoint{13, 22})); // 10/4 = 2.5 rounds up
    EXPECT_EQ(S.ScreenToImage({13, 12}), (TLongintPoint{12, 22}));

    // Zoomed out 1:2.
    S.WindowOrg = {0, 0};
    S.ViewportOrg = {0, 0};
    S.WindowExt = {2, 2};
    S.ViewportExt = {1, 1};
    EXPECT_EQ(S.ImageToScreen({9, 10}), (TLongintPoint{5, 5}));
    EXPECT_EQ(S.ScreenToImage({5, 5}), (TLongintPoint{10, 10}));
}

TEST(ScaleSystem, ScreenToRealThroughTheViewMapping) {
    TScaleSystem S = Example();
    S.WindowOrg = {100, 200};
    S.ViewportExt = {2, 2};
    // Screen (400, 100) shows image pixel (300, 250).
    const TDoublePoint R = S.ScreenToReal({400, 100});
    EXPECT_DOUBLE_EQ(R.X, 5);
    EXPECT_DOUBLE_EQ(R.Y, 15);
    EXPECT_EQ(S.RealToScreen({5, 15}), (TLongintPoint{401, 101}));
}

TEST(ScaleSystem, RecordIs90BytesAndRoundTrips) {
    TScaleSystem S;
    S.Define({1, 2}, {3, 2}, {5, -6}, {1, 2}, {3, 4}, true, false);
    S.WindowOrg = {7, 8};
    S.ViewportExt = {3, 3};
    TMemoryStream M;
    S.SaveToStream(M);
    ASSERT_EQ(M.Size(), TScaleSystem::RecordSize);
    EXPECT_EQ(M.Bytes()[56], 1); // log X
    EXPECT_EQ(M.Bytes()[57], 0); // log Y
    EXPECT_EQ(M.Bytes()[58], 7); // WindowOrg.X
    M.Seek(0);
    TScaleSystem L;
    L.LoadFromStream(M);
    EXPECT_EQ(L.FirstPoint, S.FirstPoint);
    EXPECT_EQ(L.SecondValue, S.SecondValue);
    EXPECT_TRUE(L.LogAxes.X);
    EXPECT_EQ(L.LogRatio.X, S.LogRatio.X);
    EXPECT_EQ(L.AxisSpan, S.AxisSpan);
    EXPECT_EQ(L.WindowOrg, S.WindowOrg);
    EXPECT_EQ(L.ViewportExt, S.ViewportExt);

    // Any non-zero byte marks a logarithmic axis.
    std::vector<std::uint8_t> Bytes = M.Bytes();
    Bytes[57] = 9;
    TMemoryStream Nine(Bytes);
    L.LoadFromStream(Nine);
    EXPECT_TRUE(L.LogAxes.Y);
}

TEST(ScaleSystem, DamagedRecordsFailAndChangeNothing) {
    TMemoryStream Good;
    Example().SaveToStream(Good);
    auto Patched = [&](std::size_t Offset, std::vector<std::uint8_t> Patch) {
        std::vector<std::uint8_t> B = Good.Bytes();
        std::copy(Patch.begin(), Patch.end(), B.begin() + Offset);
        return B;
    };
    const std::vector<std::uint8_t> EqualValues = [&] {
        // SecondValue.X := FirstValue.X (0.0)
        return Patched(40, {0, 0, 0, 0, 0, 0, 0, 0});
    }();
    const std::vector<std::uint8_t> ZeroExtent = Patched(66, {0, 0, 0, 0}); // WindowExt.X
    std::vector<std::uint8_t> Short = Good.Bytes();
    Short.resize(89);

    TScaleSystem Target;
    Target.Define({0, 0}, {5, 0}, {5, 5}, {1, 1}, {2, 2}, false, false);
    const TScaleSystem Before = Target;
    TMemoryStream A(EqualValues), B(ZeroExtent), C(Short);
    ExpectMessage([&] { Target.LoadFromStream(A); },
                  "Scale values must be different between points.");
    EXPECT_THROW(Target.LoadFromStream(B), EScaleSystem);
    EXPECT_THROW(Target.LoadFromStream(C), EReadError);
    EXPECT_EQ(Target.FirstPoint, Before.FirstPoint);
    EXPECT_EQ(Target.LinearScale, Before.LinearScale);
    EXPECT_EQ(Target.WindowExt, Before.WindowExt);
}

TEST(ScaleSystem, AssignCopiesEverything) {
    TScaleSystem S = Example({500, 401});
    S.ViewportExt = {4, 4};
    TScaleSystem D;
    D.Assign(S);
    EXPECT_EQ(D.CosAngle, S.CosAngle);
    EXPECT_EQ(D.DeskewedSecondPoint, S.DeskewedSecondPoint);
    EXPECT_EQ(D.ViewportExt, S.ViewportExt);
    TDoublePointArray Other;
    EXPECT_THROW(Other.Assign(S), EConvertError);
    EXPECT_THROW(S.Assign(Other), EConvertError);
}
