#pragma once

#include "core/DoublePoints.h"
#include "core/Persistent.h"

#include <cstdint>

namespace korvane {

// Predicts the row of a functional line (X never goes back) in the next pixel column
// from the rows of the previous columns. This base predictor is the constant one.
class TFunctionalPredictor : public TPersistent {
public:
    std::int32_t Delta = 0;       // last change of the row between two updates
    std::uint8_t UpdateCount = 0; // updates absorbed towards the full order; owners may reset it
    std::int32_t Prediction = 0;  // predicted row of the next column

    // Absorbs the row V of the newest column and recomputes Prediction and Delta.
    virtual void Update(std::int32_t V);

    // Copies the state of another functional predictor, as far as both know it.
    void Assign(const TPersistent& Source) override;
};

class TFunctionalLinearPredictor : public TFunctionalPredictor {
public:
    std::int32_t Previous = 0; // the row given to the last update

    void Update(std::int32_t V) override;
    void Assign(const TPersistent& Source) override;
};

class TFunctionalParabolicPredictor : public TFunctionalLinearPredictor {
public:
    std::int32_t BeforePrevious = 0; // the row given to the update before the last

    void Update(std::int32_t V) override;
    void Assign(const TPersistent& Source) override;
};

// Predicts the next pixel of a line that may run in any direction.
class TNonfunctionalPredictor : public TPersistent {
public:
    TLongintPoint LastPoint;
    std::uint8_t UpdateCount = 0;   // 0, 1, then 2 for good
    TLongintPoint InitialDirection; // step of the very first prediction
    TLongintPoint Prediction;

    void Update(TLongintPoint P);
};

} // namespace korvane
