#include "follower/NonfunctionalVectorizer.h"

#include "core/Numerics.h"

#include <algorithm>
#include <bit>
#include <cstdlib>

namespace korvane {

TNonfunctionalVectorizer::TNonfunctionalVectorizer(IVectorizerObserver& Observer,
                                                   const QImage& Image)
    : TVectorizer(Observer, Image) {
    SearchDepth = 4;
}

void TNonfunctionalVectorizer::SetDirection(TLongintPoint V) {
    Direction = UnitStep(V);
    Perpendicular = {Direction.Y, -Direction.X};
    DirectionSet = true;
}

bool TNonfunctionalVectorizer::InImage(TLongintPoint P) const {
    return P.X >= 0 && P.X < ImageWidth && P.Y >= 0 && P.Y < ImageHeight;
}

bool TNonfunctionalVectorizer::ClearAlong(TLongintPoint S) {
    TLongintPoint P = PointSum(Position, S);
    while (InImage(P) && Distance(P) <= MaxVerticalJump) {
        if (!PixelMatches(P))
            return true;
        P = PointSum(P, S);
    }
    return false;
}

bool TNonfunctionalVectorizer::CanStart() {
    if (!StartColourMatches())
        return false;
    if (!DirectionSet)
        SetDirection({1, 0});
    return ClearAlong({-Perpendicular.X, -Perpendicular.Y}) && ClearAlong(Perpendicular);
}

void TNonfunctionalVectorizer::BeginFollow() {
    Position = StartPoint;
    FGap = 0;
    if (!DirectionSet)
        SetDirection({1, 0});
    ThicknessSum = 0;
    ThicknessCount = 0;
    OffLine = false;
    if (!TrackingColorSet)
        SetTrackingColor(ReadPixel(StartPoint));
    if (Enhancements.SubpixelOutput)
        SamplePaper(Perpendicular);
}

TVectorizer::EStep TNonfunctionalVectorizer::FollowStep() {
    OffLine = !PixelMatches(Position);
    if (OffLine) {
        WeightedSearch();
        if (OffLine) {
            const TLongintPoint Plus = Perpendicular;
            const TLongintPoint Minus{-Perpendicular.X, -Perpendicular.Y};
            if (Perpendicular.X > 0) {
                SearchAlong(Plus);
                if (OffLine)
                    SearchAlong(Minus);
            } else {
                SearchAlong(Minus);
                if (OffLine)
                    SearchAlong(Plus);
            }
        }
        if (OffLine) {
            if (++FGap > MaxHorizontalJump)
                return EStep::End;
            Position = PointSum(Position, Direction);
        }
    }
    if (OffLine)
        return EStep::NoPoint;
    if (Predictor.UpdateCount > 0)
        SetDirection(PointDifference(Position, Predictor.LastPoint));
    MeasureWidth();
    const std::int32_t W = Round(PointDistance(EdgePlus, EdgeMinus));
    bool Centred = false;
    TDoublePoint Centre;
    if (ThicknessCount > 4 && W > AverageThickness() + ThicknessTolerance) {
        Position = PointSum(Position, Direction);
    } else {
        FGap = 0;
        AddThickness(W);
        if (Enhancements.SubpixelOutput) {
            const TLongintPoint Span = PointDifference(EdgePlus, EdgeMinus);
            const std::int32_t Count = std::max(std::abs(Span.X), std::abs(Span.Y)) + 1;
            Centre = InkCentre(EdgeMinus, Perpendicular, Count);
            Centred = true;
        }
        Position = {(EdgePlus.X + EdgeMinus.X) / 2, (EdgePlus.Y + EdgeMinus.Y) / 2};
    }
    if (Centred)
        ReportPoint(Position, Centre);
    else
        ReportPoint();
    AdvancePredictor();
    return EStep::Point;
}

void TNonfunctionalVectorizer::WeightedSearch() {
    const std::int32_t N = SearchDepth;
    auto Side = [&](TLongintPoint S) {
        std::uint32_t Sum = 0;
        std::uint32_t W = 1u << (N - 1);
        TLongintPoint P = Position;
        for (std::int32_t K = 0; K < N; ++K, W /= 2) {
            P = PointSum(P, S);
            if (!InImage(P))
                break;
            if (PixelMatches(P))
                Sum += W;
        }
        return Sum;
    };
    std::uint32_t Plus = Side(Perpendicular);
    std::uint32_t Minus = Side({-Perpendicular.X, -Perpendicular.Y});
    if (Minus != 0 && Plus != 0) {
        if (Minus < Plus)
            Minus = 0;
        else if (Minus > Plus)
            Plus = 0;
        else if (Perpendicular.X > 0)
            Minus = 0;
        else
            Plus = 0;
    }
    if (Minus == 0 && Plus == 0) {
        OffLine = true;
        return;
    }
    OffLine = false;
    if (Minus == 0) {
        const std::int32_t D = N - (std::bit_width(Plus) - 1);
        Position = PointSum(Position, PointScaled(Perpendicular, D));
    } else {
        const std::int32_t D = N - (std::bit_width(Minus) - 1);
        Position = PointDifference(Position, PointScaled(Perpendicular, D));
    }
}

void TNonfunctionalVectorizer::SearchAlong(TLongintPoint S) {
    TLongintPoint P = Position;
    while (InImage(P) && Distance(P) <= MaxVerticalJump) {
        if (PixelMatches(P)) {
            Position = P;
            OffLine = false;
            return;
        }
        P = PointSum(P, S);
    }
}

void TNonfunctionalVectorizer::MeasureWidth() {
    TLongintPoint P = Position;
    while (InImage(P) && PixelMatches(P) && Distance(P) <= MaxVerticalJump)
        P = PointSum(P, Perpendicular);
    EdgePlus = PointDifference(P, Perpendicular);
    P = Position;
    while (InImage(P) && PixelMatches(P) && Distance(P) <= MaxVerticalJump)
        P = PointDifference(P, Perpendicular);
    EdgeMinus = PointSum(P, Perpendicular);
}

void TNonfunctionalVectorizer::AdvancePredictor() {
    Predictor.InitialDirection = Direction;
    Predictor.Update(Position);
    Position = PointSum(Position, UnitStep(PointDifference(Predictor.Prediction, Position)));
}

} // namespace korvane
