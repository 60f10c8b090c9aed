#pragma once

#include "core/Colors.h"
#include "core/DoublePoints.h"
#include "core/Persistent.h"
#include "follower/Predictors.h"

namespace korvane {

class TVectorizer;

// What a follower needs to begin: the first pixel and, optionally, the colour to follow.
class TVectorizerInitialConditions : public TPersistent {
public:
    explicit TVectorizerInitialConditions(TLongintPoint Start) : StartPoint(Start) {}

    bool TrackingColorSet = false;
    TColor TrackingColor = 0;
    TLongintPoint StartPoint;

    void SetTrackingColor(TColor Color);
    // Sets the follower's start point and, if given, its tracking colour.
    virtual void Apply(TVectorizer& Follower) const;
};

// Resuming a functional line: the linear predictor carries the state of the line's last
// points, and following starts in column X at its prediction.
class TResumeFunctionalInitialConditions : public TVectorizerInitialConditions {
public:
    TResumeFunctionalInitialConditions(const TFunctionalLinearPredictor& P, std::int32_t X);

    TFunctionalLinearPredictor Predictor;

    // Also hands the predictor's state to the functional follower's linear predictor.
    void Apply(TVectorizer& Follower) const override;
};

// Resuming or dragging a non-functional line: the direction of its last step.
class TResumeNonfunctionalInitialConditions : public TVectorizerInitialConditions {
public:
    TResumeNonfunctionalInitialConditions(TLongintPoint Start, TLongintPoint Direction)
        : TVectorizerInitialConditions(Start), Direction(Direction) {}

    TLongintPoint Direction;

    void Apply(TVectorizer& Follower) const override;
};

} // namespace korvane
