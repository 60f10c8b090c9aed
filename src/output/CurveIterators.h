#pragma once

#include "core/DoublePoints.h"

#include <cstdint>
#include <memory>

namespace korvane {

class TCurveApproximator;
class TNonParametricCurveApproximator;
class TParametricCurveApproximator;
class TCubicSpline;
class TParametricCubicSpline;

// Yields the output points of an approximator one by one. Every iterator recomputes its
// approximator when it is constructed and stands on its first point afterwards. Iterators do
// not watch the data: when the points change, their owner builds a new one.
//
//     for (It->First(); !It->IsDone(); It->Next()) Use(It->CurrentPoint());
class TCurveIterator {
public:
    TCurveIterator(const TCurveIterator&) = delete;
    TCurveIterator& operator=(const TCurveIterator&) = delete;
    virtual ~TCurveIterator() = default;

    virtual void First() = 0;
    virtual void Last() = 0;
    virtual void Prev() = 0;
    virtual void Next() = 0;
    // Output point N (0-based): First, then N times Next.
    virtual void MoveTo(std::int32_t N);
    // True when the position lies past the end.
    virtual bool IsDone() const = 0;
    virtual double CurrentX() const = 0;
    virtual double CurrentY() const = 0;
    virtual TDoublePoint CurrentPoint() const;

    TCurveApproximator& Approximator() const { return *FApproximator; }

protected:
    explicit TCurveIterator(TCurveApproximator& Approximator) : FApproximator(&Approximator) {}

private:
    TCurveApproximator* FApproximator;
};

class TNonParametricCurveIterator : public TCurveIterator {
public:
    double StartX() const { return FStartX; }
    double EndX() const { return FEndX; }

protected:
    TNonParametricCurveIterator(TNonParametricCurveApproximator& Approximator, double StartX,
                                double EndX);
    TNonParametricCurveApproximator& NonParametric() const;

    double FStartX;
    double FEndX;
};

class TParametricCurveIterator : public TCurveIterator {
public:
    double StartS() const { return FStartS; }
    double EndS() const { return FEndS; }

protected:
    TParametricCurveIterator(TParametricCurveApproximator& Approximator, double StartS,
                             double EndS);
    TParametricCurveApproximator& Parametric() const;

    double FStartS;
    double FEndS;
};

// Samples a cubic spline from StartX in steps of Increment up to EndX, which is limited to the
// last point's X. Current accumulates (Current += Increment), so MoveTo(n) reaches exactly
// the value a walk reaches.
//
// An increment of zero (possible only when the first and last X are equal) or one too small
// to move Current yields exactly one point, at StartX: the walk always ends.
class TCubicSplineIterator : public TNonParametricCurveIterator {
public:
    TCubicSplineIterator(TCubicSpline& Spline, double StartX, double EndX, double Increment);

    void First() override;
    void Last() override;
    void Prev() override;
    void Next() override;
    void MoveTo(std::int32_t N) override;
    bool IsDone() const override;
    double CurrentX() const override { return FCurrent; }
    double CurrentY() const override;

    double Increment() const { return FIncrement; }

private:
    TCubicSpline& Spline() const;

    double FCurrent = 0.0;
    double FIncrement;
    // Steps taken since First while only Next was called (-1 after Last or Prev): lets MoveTo
    // continue a forward walk instead of starting over, with the same result.
    std::int64_t FSteps = 0;
    // Set when Next could not move Current (zero or vanishing increment).
    bool FStuck = false;
};

// The digitized points from the one IndexOfNearestL finds for StartX to the one it finds for
// EndX.
class TFunctionalRawDataIterator : public TNonParametricCurveIterator {
public:
    TFunctionalRawDataIterator(TNonParametricCurveApproximator& Approximator, double StartX,
                               double EndX);

    void First() override;
    void Last() override;
    void Prev() override { --FIndex; }
    void Next() override { ++FIndex; }
    void MoveTo(std::int32_t N) override;
    bool IsDone() const override;
    double CurrentX() const override;
    double CurrentY() const override;
    TDoublePoint CurrentPoint() const override;

    std::int32_t Index() const { return FIndex; }

private:
    std::int32_t FIndex = 0;
};

// The digitized points whose arc length lies in [StartS, EndS].
class TNonfunctionalRawDataIterator : public TParametricCurveIterator {
public:
    TNonfunctionalRawDataIterator(TParametricCurveApproximator& Approximator, double StartS,
                                  double EndS);

    void First() override;
    void Last() override;
    void Prev() override { --FIndex; }
    void Next() override { ++FIndex; }
    void MoveTo(std::int32_t N) override;
    bool IsDone() const override;
    double CurrentX() const override;
    double CurrentY() const override;
    TDoublePoint CurrentPoint() const override;

    std::int32_t Index() const { return FIndex; }

private:
    std::int32_t FIndex = 0;
};

// Samples a parametric cubic spline from StartS in steps of |Increment| up to EndS, which is
// limited to the last arc length. A zero or vanishing increment yields one point, as for
// TCubicSplineIterator.
class TParametricCubicSplineIterator : public TParametricCurveIterator {
public:
    TParametricCubicSplineIterator(TParametricCubicSpline& Spline, double StartS, double EndS,
                                   double Increment);

    void First() override;
    void Last() override;
    void Prev() override;
    void Next() override;
    void MoveTo(std::int32_t N) override;
    bool IsDone() const override;
    double CurrentX() const override;
    double CurrentY() const override;
    TDoublePoint CurrentPoint() const override;

    double Increment() const { return FIncrement; }

private:
    TParametricCubicSpline& Spline() const;

    double FCurrent = 0.0;
    double FIncrement;
    std::int64_t FSteps = 0;
    bool FStuck = false;
};

class TScatterIterator : public TCurveIterator {
protected:
    using TCurveIterator::TCurveIterator;
};

// Every point in stored order.
class TScatterRawDataIterator : public TScatterIterator {
public:
    explicit TScatterRawDataIterator(TCurveApproximator& Approximator);

    void First() override { FIndex = 0; }
    void Last() override;
    void Prev() override { --FIndex; }
    void Next() override { ++FIndex; }
    void MoveTo(std::int32_t N) override { FIndex = N; }
    bool IsDone() const override;
    double CurrentX() const override;
    double CurrentY() const override;
    TDoublePoint CurrentPoint() const override;

    std::int32_t Index() const { return FIndex; }

private:
    std::int32_t FIndex = 0;
};

} // namespace korvane
