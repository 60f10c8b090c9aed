#include "FollowerTestSupport.h"
#include "core/Errors.h"
#include "follower/VectorizerInitialConditions.h"
#include "support/FollowAsLine.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace korvane;
using namespace korvane::testing;

namespace {

// The worked chart: a black line three pixels thick in rows 50..52, columns 10..100.
QImage ThreePixelLine() {
    QImage Image = WhiteImage(200, 200);
    Fill(Image, 10, 50, 100, 52);
    return Image;
}

struct TFunctionalRun {
    std::vector<TLongintPoint> Points;
    bool Lost = false;
    TLongintPoint End;
};

TFunctionalRun FollowFunctional(const QImage& Image, TLongintPoint Start) {
    TRecorder Recorder;
    TFunctionalVectorizer F(Recorder, Image);
    Configure(F);
    TVectorizerInitialConditions Conditions(Start);
    Conditions.SetTrackingColor(RGB(0, 0, 0));
    Conditions.Apply(F);
    F.RunSynchronously();
    EXPECT_EQ(F.PointsReported, static_cast<int>(Recorder.Points.size()));
    return {Recorder.Points, F.Lost, F.Position};
}

std::vector<TLongintPoint> Row(int X0, int X1, int Y) {
    std::vector<TLongintPoint> R;
    for (int X = X0; X <= X1; ++X)
        R.push_back({X, Y});
    return R;
}

} // namespace

TEST(FunctionalVectorizer, FollowsTheCentreOfAThickLineAndEndsLost) {
    const TFunctionalRun Run = FollowFunctional(ThreePixelLine(), {10, 50});
    EXPECT_EQ(Run.Points, Row(10, 100, 51));
    EXPECT_TRUE(Run.Lost);
    EXPECT_EQ(Run.End.X, 107); // the seventh column without the line
}

TEST(FunctionalVectorizer, GapsUpToTheHorizontalJumpAreBridged) {
    QImage Six = ThreePixelLine();
    Fill(Six, 60, 50, 65, 52, qRgb(255, 255, 255));
    std::vector<TLongintPoint> Expected = Row(10, 59, 51);
    for (const TLongintPoint& P : Row(66, 100, 51))
        Expected.push_back(P);
    EXPECT_EQ(FollowFunctional(Six, {10, 50}).Points, Expected);

    QImage Seven = ThreePixelLine();
    Fill(Seven, 60, 50, 66, 52, qRgb(255, 255, 255));
    const TFunctionalRun Run = FollowFunctional(Seven, {10, 50});
    EXPECT_EQ(Run.Points, Row(10, 59, 51));
    EXPECT_TRUE(Run.Lost);
    EXPECT_EQ(Run.End.X, 66);
}

TEST(FunctionalVectorizer, StepsAreFoundByLookingUpThenDown) {
    QImage Step = WhiteImage(200, 200);
    Fill(Step, 10, 50, 59, 52);
    Fill(Step, 60, 70, 100, 72); // 20 rows lower: beyond the weighted search
    const TFunctionalRun Run = FollowFunctional(Step, {10, 50});
    ASSERT_GT(Run.Points.size(), 50u);
    EXPECT_EQ(Run.Points[50], (TLongintPoint{60, 71}));
    EXPECT_EQ(Run.Points.back(), (TLongintPoint{100, 71}));

    QImage TooFar = WhiteImage(200, 200);
    Fill(TooFar, 10, 50, 59, 52);
    Fill(TooFar, 60, 110, 100, 112); // 60 rows: beyond the vertical jump
    const TFunctionalRun Far = FollowFunctional(TooFar, {10, 50});
    EXPECT_EQ(Far.Points, Row(10, 59, 51));
    EXPECT_EQ(Far.End.X, 66);
}

TEST(FunctionalVectorizer, WideSpotsAreReportedWhereTheFollowerStands) {
    QImage Crossing = ThreePixelLine();
    Fill(Crossing, 80, 40, 80, 79); // a bar 40 rows tall, centred below the line
    const TFunctionalRun Run = FollowFunctional(Crossing, {10, 50});
    EXPECT_EQ(Run.Points, Row(10, 100, 51));
}

TEST(FunctionalVectorizer, StartCheckNeedsTheLineToEndAboveAndBelow) {
    struct Case {
        const char* What;
        TLongintPoint Start;
        int FillTop, FillBottom; // a filled band across the image
    } Cases[] = {
        {"row 0", {10, 0}, 0, 2},
        {"filled area more than 50 rows both ways", {10, 100}, 40, 160},
        {"start pixel is white", {5, 51}, 50, 52},
    };
    for (const auto& C : Cases) {
        QImage Image = WhiteImage(200, 200);
        Fill(Image, 10, C.FillTop, 100, C.FillBottom);
        const TFunctionalRun Run = FollowFunctional(Image, C.Start);
        EXPECT_TRUE(Run.Points.empty()) << C.What;
        EXPECT_TRUE(Run.Lost) << C.What;
    }
    // The range above reaches y - 50, the range below stops at y + 49: a band may reach 49
    // rows above the start but only 48 below it.
    struct Band {
        int Top, Bottom;
        bool Starts;
    } Bands[] = {{51, 148, true}, {50, 148, false}, {51, 149, false}};
    for (const auto& B : Bands) {
        QImage Image = WhiteImage(200, 200);
        Fill(Image, 10, B.Top, 100, B.Bottom);
        EXPECT_EQ(FollowFunctional(Image, {10, 100}).Points.empty(), !B.Starts)
            << B.Top << ".." << B.Bottom;
    }
}

TEST(FunctionalVectorizer, WeightedSearchTieFollowsTheSlope) {
    // A line three pixels thick, flat or falling one row per column. In column 31 the line
    // is missing at the predicted row, and single pixels sit 3 rows above and 3 below it.
    for (const int Slope : {0, 1}) {
        QImage Image = WhiteImage(100, 150);
        for (int X = 10; X <= 30; ++X)
            Fill(Image, X, 40 + Slope * (X - 10), X, 42 + Slope * (X - 10));
        const int Predicted = 41 + Slope * 21;
        Fill(Image, 31, Predicted - 3, 31, Predicted - 3);
        Fill(Image, 31, Predicted + 3, 31, Predicted + 3);
        const TFunctionalRun Run = FollowFunctional(Image, {10, 40});
        ASSERT_GE(Run.Points.size(), 22u) << Slope;
        EXPECT_EQ(Run.Points[20], (TLongintPoint{30, Predicted - Slope})) << Slope;
        EXPECT_EQ(Run.Points[21], (TLongintPoint{31, Predicted + (Slope > 0 ? 3 : -3)})) << Slope;
    }
}

TEST(FunctionalVectorizer, ResumeConditionsCarryThePredictor) {
    // Resuming at column 40 of the three-pixel line with the state of rows 51, 51, 51.
    TFunctionalLinearPredictor P;
    for (int R : {51, 51, 51})
        P.Update(R);
    TResumeFunctionalInitialConditions Conditions(P, 40);
    Conditions.SetTrackingColor(RGB(0, 0, 0));
    EXPECT_EQ(Conditions.StartPoint, (TLongintPoint{40, 51}));
    const QImage Image = ThreePixelLine();
    TRecorder Recorder;
    TFunctionalVectorizer F(Recorder, Image);
    Configure(F);
    Conditions.Apply(F);
    EXPECT_EQ(F.Predictors[0]->UpdateCount, 1);
    EXPECT_EQ(static_cast<TFunctionalLinearPredictor&>(*F.Predictors[0]).Previous, 51);
    F.RunSynchronously();
    EXPECT_EQ(Recorder.Points, Row(40, 100, 51));

    TNonfunctionalVectorizer Wrong(Recorder, Image);
    EXPECT_THROW(Conditions.Apply(Wrong), EAssertion);
}

namespace {

struct TNonfunctionalRun {
    std::vector<TLongintPoint> Points;
    bool Lost = false;
};

// Follows as a non-functional line: the run ends at the first pixel visited before.
TNonfunctionalRun FollowNonfunctional(const QImage& Image, const TVectorizerInitialConditions& C) {
    const TLineRun Run = FollowAsLine(Image, C, true);
    return {Run.Pixels, Run.Lost};
}

} // namespace

TEST(NonfunctionalVectorizer, VerticalLineNeedsADirection) {
    QImage Image = WhiteImage(200, 200);
    Fill(Image, 100, 20, 100, 179);
    TVectorizerInitialConditions Click({100, 100});
    Click.SetTrackingColor(RGB(0, 0, 0));
    const TNonfunctionalRun Plain = FollowNonfunctional(Image, Click);
    EXPECT_TRUE(Plain.Points.empty());
    EXPECT_TRUE(Plain.Lost);

    TResumeNonfunctionalInitialConditions Drag({100, 100}, {0, 37});
    Drag.SetTrackingColor(RGB(0, 0, 0));
    const TNonfunctionalRun Run = FollowNonfunctional(Image, Drag);
    std::vector<TLongintPoint> Expected;
    for (int Y = 100; Y <= 179; ++Y)
        Expected.push_back({100, Y});
    EXPECT_EQ(Run.Points, Expected);
    EXPECT_FALSE(Run.Lost);
}

TEST(NonfunctionalVectorizer, FollowsACircleUntilItComesBack) {
    QImage Image = WhiteImage(120, 120);
    const double Cx = 60, Cy = 60;
    for (int Y = 0; Y < 120; ++Y)
        for (int X = 0; X < 120; ++X)
            if (std::fabs(std::hypot(X - Cx, Y - Cy) - 40) < 0.5)
                Fill(Image, X, Y, X, Y);
    TVectorizerInitialConditions Click({60, 20});
    Click.SetTrackingColor(RGB(0, 0, 0));
    const TNonfunctionalRun Run = FollowNonfunctional(Image, Click);
    // Once round (steps along the ring are sometimes two pixels long).
    EXPECT_GT(Run.Points.size(), 150u);
    EXPECT_LT(Run.Points.size(), 260u);
    for (const TLongintPoint& P : Run.Points)
        EXPECT_LE(std::fabs(std::hypot(P.X - Cx, P.Y - Cy) - 40), 1.0) << P.X << "," << P.Y;
    // It went all the way round: some point lies on each side of the centre.
    bool Left = false, Right = false, Bottom = false;
    for (const TLongintPoint& P : Run.Points) {
        Left |= P.X < 25;
        Right |= P.X > 95;
        Bottom |= P.Y > 95;
    }
    EXPECT_TRUE(Left && Right && Bottom);
}

TEST(NonfunctionalVectorizer, WalkingOffTheImageEndsWithoutLost) {
    QImage Image = WhiteImage(60, 40);
    Fill(Image, 10, 20, 59, 20); // a line up to the right edge
    TVectorizerInitialConditions Click({10, 20});
    Click.SetTrackingColor(RGB(0, 0, 0));
    const TNonfunctionalRun Run = FollowNonfunctional(Image, Click);
    ASSERT_FALSE(Run.Points.empty());
    EXPECT_EQ(Run.Points.front(), (TLongintPoint{10, 20}));
    EXPECT_EQ(Run.Points.back(), (TLongintPoint{59, 20}));
    EXPECT_EQ(Run.Points.size(), 50u);
    EXPECT_FALSE(Run.Lost);
}

TEST(NonfunctionalVectorizer, UntrackedStartTakesTheStartColour) {
    QImage Image = WhiteImage(60, 40);
    Fill(Image, 5, 10, 50, 12, qRgb(200, 30, 30));
    TRecorder Recorder;
    TNonfunctionalVectorizer F(Recorder, Image);
    Configure(F);
    TVectorizerInitialConditions({20, 11}).Apply(F);
    F.RunSynchronously();
    EXPECT_EQ(F.TrackingColor, RGB(200, 30, 30));
    EXPECT_EQ(Recorder.Points.size(), 31u); // columns 20..50 on the centre row
    EXPECT_EQ(Recorder.Points.front(), (TLongintPoint{20, 11}));
}
