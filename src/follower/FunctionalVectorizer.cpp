#include "follower/FunctionalVectorizer.h"

#include <algorithm>
#include <bit>

namespace korvane {

TFunctionalVectorizer::TFunctionalVectorizer(IVectorizerObserver& Observer, const QImage& Image)
    : TVectorizer(Observer, Image) {
    SearchDepth = 8;
    Predictors[0] = std::make_unique<TFunctionalLinearPredictor>();
    Predictors[1] = std::make_unique<TFunctionalParabolicPredictor>();
    Predictors[2] = std::make_unique<TFunctionalPredictor>();
}

bool TFunctionalVectorizer::CanStart() {
    if (!StartColourMatches())
        return false;
    const std::int32_t X = Position.X, Y = Position.Y;
    // Clear above: some row in max(y - jump, 0) .. y - 1 is off the line.
    bool ClearAbove = false;
    for (std::int32_t R = Y - 1; R >= std::max(Y - MaxVerticalJump, 0); --R)
        if (!PixelMatches(X, R)) {
            ClearAbove = true;
            break;
        }
    if (!ClearAbove)
        return false;
    // Clear below: some row in y + 1 .. min(y + jump, height) - 1 is off the line.
    for (std::int32_t R = Y + 1; R <= std::min(Y + MaxVerticalJump, ImageHeight) - 1; ++R)
        if (!PixelMatches(X, R))
            return true;
    return false;
}

void TFunctionalVectorizer::BeginFollow() {
    Position = StartPoint;
    if (!TrackingColorSet)
        SetTrackingColor(ReadPixel(Position));
    FGap = 0;
    ThicknessSum = 0;
    ThicknessCount = 0;
    Lost = false;
    FCourse.Clear();
    FHavePreviousRun = false;
    FRecentRuns = {};
    FHaveLastReport = false;
    FCrossing = TCrossing();
    FNear = false;
    if (Enhancements.SubpixelOutput || Enhancements.Crossings)
        SamplePaper({0, 1});
    UseColumnCache(Enhancements.SubpixelOutput || Enhancements.Crossings);
}

TVectorizer::EStep TFunctionalVectorizer::FollowStep() {
    if (Enhancements.Any())
        return FollowStepEnhanced();
    Lost = !PixelMatches(Position);
    if (Lost) {
        ResetPredictors();
        SearchLostLine();
        if (Lost) {
            if (++FGap > MaxHorizontalJump)
                return EStep::End;
            // Carry the last slope through the gap.
            Position.Y += CurrentDelta();
        }
    }
    if (Lost) {
        ++Position.X;
        return EStep::NoPoint;
    }
    MeasureRun();
    const std::int32_t T = RunBottom - RunTop + 1;
    if (ThicknessCount > 4 && AverageThickness() + ThicknessTolerance < T) {
        // A wide spot (a crossing, a blob): report where the follower stands.
        ReportPoint();
        ++Position.X;
    } else {
        FGap = 0;
        AddThickness(T);
        Position.Y = (RunTop + RunBottom) / 2;
        ReportPoint();
        AdvancePredictors();
    }
    return EStep::Point;
}

void TFunctionalVectorizer::ResetPredictors() {
    for (auto& P : Predictors)
        P->UpdateCount = 0;
    CurrentPredictor = 0;
}

void TFunctionalVectorizer::WeightedSearch() {
    const std::int32_t N = SearchDepth;
    const std::int32_t X = Position.X, Y = Position.Y;
    std::uint32_t A = 0, B = 0;
    std::uint32_t W = 1u << (N - 1);
    for (std::int32_t R = Y - 1; R >= std::max(Y - N, 0); --R, W /= 2)
        if (PixelMatches(X, R))
            A += W;
    W = 1u << (N - 1);
    for (std::int32_t R = Y + 1; R <= std::min(Y + N, ImageHeight - 1); ++R, W /= 2)
        if (PixelMatches(X, R))
            B += W;
    if (A != 0 && B != 0) {
        if (A < B)
            A = 0;
        else if (A > B)
            B = 0;
        else if (CurrentDelta() > 0)
            A = 0; // equal: go down
        else
            B = 0; // equal: go up
    }
    if (A == 0 && B == 0) {
        Lost = true;
        return;
    }
    Lost = false;
    // The nearest match at distance d weighs 2^(N - d): d follows from the highest set bit.
    if (A == 0)
        Position.Y = Y + (N - (std::bit_width(B) - 1));
    else
        Position.Y = Y - (N - (std::bit_width(A) - 1));
}

void TFunctionalVectorizer::LookUp() {
    const std::int32_t X = Position.X, Y = Position.Y;
    for (std::int32_t R = Y - SearchDepth - 1; R >= std::max(Y - MaxVerticalJump, 0); --R)
        if (PixelMatches(X, R)) {
            Position.Y = R;
            Lost = false;
            return;
        }
}

void TFunctionalVectorizer::LookDown() {
    const std::int32_t X = Position.X, Y = Position.Y;
    for (std::int32_t R = Y + SearchDepth + 1; R <= std::min(Y + MaxVerticalJump, ImageHeight) - 1;
         ++R)
        if (PixelMatches(X, R)) {
            Position.Y = R;
            Lost = false;
            return;
        }
}

void TFunctionalVectorizer::SearchLostLine() {
    WeightedSearch();
    if (!Lost)
        return;
    if (CurrentDelta() <= 0) {
        LookUp();
        if (Lost)
            LookDown();
    } else {
        LookDown();
        if (Lost)
            LookUp();
    }
}

void TFunctionalVectorizer::MeasureRun() {
    const std::int32_t X = Position.X, Y = Position.Y;
    std::int32_t R = Y - 1;
    while (R >= 0 && PixelMatches(X, R))
        --R;
    RunTop = R + 1;
    R = Y + 1;
    while (R < ImageHeight && PixelMatches(X, R))
        ++R;
    RunBottom = R - 1;
}

void TFunctionalVectorizer::AdvancePredictors() {
    const std::int32_t X = Position.X;
    CurrentPredictor = 0;
    bool Found = false;
    for (std::int32_t I = 0; I < 3; ++I) {
        TFunctionalPredictor& P = *Predictors[static_cast<std::size_t>(I)];
        P.Update(Position.Y);
        if (!Found && PixelMatches(X + 1, P.Prediction)) {
            CurrentPredictor = I;
            Found = true;
        }
    }
    Position = {X + 1, Predictors[static_cast<std::size_t>(CurrentPredictor)]->Prediction};
}

} // namespace korvane
