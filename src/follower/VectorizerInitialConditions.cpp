#include "follower/VectorizerInitialConditions.h"

#include "core/Errors.h"
#include "follower/FunctionalVectorizer.h"
#include "follower/NonfunctionalVectorizer.h"
#include "follower/Vectorizers.h"

namespace korvane {

void TVectorizerInitialConditions::SetTrackingColor(TColor Color) {
    TrackingColor = Color;
    TrackingColorSet = true;
}

void TVectorizerInitialConditions::Apply(TVectorizer& Follower) const {
    Follower.StartPoint = StartPoint;
    if (TrackingColorSet)
        Follower.SetTrackingColor(TrackingColor);
}

TResumeFunctionalInitialConditions::TResumeFunctionalInitialConditions(
    const TFunctionalLinearPredictor& P, std::int32_t X)
    : TVectorizerInitialConditions({X, P.Prediction}) {
    Predictor.Assign(P);
}

void TResumeFunctionalInitialConditions::Apply(TVectorizer& Follower) const {
    TVectorizerInitialConditions::Apply(Follower);
    auto* Functional = dynamic_cast<TFunctionalVectorizer*>(&Follower);
    Assert(Functional != nullptr, "TResumeFunctionalInitialConditions.Apply");
    Functional->Predictors[0]->Assign(Predictor);
}

void TResumeNonfunctionalInitialConditions::Apply(TVectorizer& Follower) const {
    TVectorizerInitialConditions::Apply(Follower);
    auto* Nonfunctional = dynamic_cast<TNonfunctionalVectorizer*>(&Follower);
    Assert(Nonfunctional != nullptr, "TResumeNonfunctionalInitialConditions.Apply");
    Nonfunctional->SetDirection(Direction);
}

} // namespace korvane
