#include "follower/Predictors.h"

#include "core/Errors.h"

namespace korvane {

void TFunctionalPredictor::Update(std::int32_t V) {
    Prediction = V;
    Delta = 0;
}

void TFunctionalPredictor::Assign(const TPersistent& Source) {
    if (auto* Other = dynamic_cast<const TFunctionalPredictor*>(&Source)) {
        Delta = Other->Delta;
        UpdateCount = Other->UpdateCount;
        Prediction = Other->Prediction;
        return;
    }
    TPersistent::Assign(Source);
}

void TFunctionalLinearPredictor::Update(std::int32_t V) {
    if (UpdateCount == 0) {
        TFunctionalPredictor::Update(V);
        UpdateCount = 1;
    } else {
        Prediction = 2 * V - Previous;
        Delta = V - Previous;
    }
    Previous = V;
}

void TFunctionalLinearPredictor::Assign(const TPersistent& Source) {
    TFunctionalPredictor::Assign(Source);
    if (auto* Other = dynamic_cast<const TFunctionalLinearPredictor*>(&Source))
        Previous = Other->Previous;
}

void TFunctionalParabolicPredictor::Update(std::int32_t V) {
    switch (UpdateCount) {
    case 0:
        TFunctionalPredictor::Update(V);
        UpdateCount = 1;
        break;
    case 1:
        Prediction = 2 * V - Previous;
        Delta = V - Previous;
        UpdateCount = 2;
        break;
    default:
        // The parabola through the last three equally spaced rows, one column further.
        Prediction = 3 * (V - Previous) + BeforePrevious;
        Delta = V - Previous;
        break;
    }
    BeforePrevious = Previous;
    Previous = V;
}

void TFunctionalParabolicPredictor::Assign(const TPersistent& Source) {
    TFunctionalLinearPredictor::Assign(Source);
    if (auto* Other = dynamic_cast<const TFunctionalParabolicPredictor*>(&Source))
        BeforePrevious = Other->BeforePrevious;
}

void TNonfunctionalPredictor::Update(TLongintPoint P) {
    if (UpdateCount == 0) {
        Prediction = PointSum(P, InitialDirection);
        if (PointDistance(Prediction, P) < 1)
            ++Prediction.X;
    } else {
        Prediction = PointSum(P, PointDifference(P, LastPoint));
    }
    LastPoint = P;
    if (UpdateCount < 2)
        ++UpdateCount;
}

} // namespace korvane
