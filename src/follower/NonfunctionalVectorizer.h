#pragma once

#include "core/DoublePoints.h"
#include "follower/Predictors.h"
#include "follower/Vectorizers.h"

#include <cstdint>

namespace korvane {

// Follows a line that may run in any direction, one pixel in any of eight directions per step.
class TNonfunctionalVectorizer : public TVectorizer {
public:
    TNonfunctionalVectorizer(IVectorizerObserver& Observer, const QImage& Image);

    TLongintPoint Direction;
    TLongintPoint Perpendicular;
    bool DirectionSet = false;
    TLongintPoint EdgeMinus;
    TLongintPoint EdgePlus;
    TNonfunctionalPredictor Predictor;
    bool OffLine = false;

    // Direction becomes the unit step of V ((1, 0) for (0, 0)).
    void SetDirection(TLongintPoint V);

protected:
    bool CanStart() override;
    void BeginFollow() override;
    EStep FollowStep() override;

private:
    bool InImage(TLongintPoint P) const;
    double Distance(TLongintPoint P) const { return PointDistance(P, Position); }
    bool ClearAlong(TLongintPoint S);
    void WeightedSearch();
    void SearchAlong(TLongintPoint S);
    void MeasureWidth();
    void AdvancePredictor();

    std::int32_t FGap = 0;
};

} // namespace korvane
