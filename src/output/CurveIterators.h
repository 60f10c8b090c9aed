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

// An iterator over a range of a line, from a start to an end: in X for the functional line's
// iterators (TNonParametricCurveIterator), in arc length for the parametric ones
// (TParametricCurveIterator).
class TRangeCurveIterator : public TCurveIterator {
protected:
    TRangeCurveIterator(TCurveApproximator& Approximator, double Start, double End);

    double FStart;
    double FEnd;
};

class TNonParametricCurveIterator : public TRangeCurveIterator {
public:
    double StartX() const { return FStart; }
    double EndX() const { return FEnd; }

protected:
    TNonParametricCurveIterator(TNonParametricCurveApproximator& Approximator, double StartX,
                                double EndX);
    TNonParametricCurveApproximator& NonParametric() const;
};

class TParametricCurveIterator : public TRangeCurveIterator {
public:
    double StartS() const { return FStart; }
    double EndS() const { return FEnd; }

protected:
    TParametricCurveIterator(TParametricCurveApproximator& Approximator, double StartS,
                             double EndS);
    TParametricCurveApproximator& Parametric() const;
};

class TScatterIterator : public TCurveIterator {
protected:
    using TCurveIterator::TCurveIterator;
};

// The walk of the spline iterators over TRangeIterator's range: from the start in steps of
// the increment. Current accumulates (Current += Increment), so MoveTo(n) reaches exactly the
// value a walk reaches. An increment of zero, or one too small to move Current, yields exactly
// one point, at the start: the walk always ends.
template <class TRangeIterator> class TSteppingIterator : public TRangeIterator {
public:
    void First() override;
    void Last() override;
    void Prev() override;
    void Next() override;
    void MoveTo(std::int32_t N) override;

    double Increment() const { return FIncrement; }

protected:
    template <class TApproximator>
    TSteppingIterator(TApproximator& Approximator, double Start, double End, double Increment)
        : TRangeIterator(Approximator, Start, End), FIncrement(Increment) {}

    double FCurrent = 0.0;
    double FIncrement;
    // Steps taken since First while only Next was called (-1 after Last or Prev): lets MoveTo
    // continue a forward walk instead of starting over, with the same result.
    std::int64_t FSteps = 0;
    // Set when Next could not move Current (zero or vanishing increment).
    bool FStuck = false;
};

// The walk of the iterators over digitized points: by index, one point at a time; MoveTo(N)
// is First and then N points on (the index saturates instead of overflowing).
template <class TBase> class TIndexIterator : public TBase {
public:
    void Prev() override { --FIndex; }
    void Next() override { ++FIndex; }
    void MoveTo(std::int32_t N) override;
    double CurrentX() const override;
    double CurrentY() const override;
    TDoublePoint CurrentPoint() const override;

    std::int32_t Index() const { return FIndex; }

protected:
    using TBase::TBase;

    std::int32_t FIndex = 0;
};

extern template class TSteppingIterator<TNonParametricCurveIterator>;
extern template class TSteppingIterator<TParametricCurveIterator>;
extern template class TIndexIterator<TNonParametricCurveIterator>;
extern template class TIndexIterator<TParametricCurveIterator>;
extern template class TIndexIterator<TScatterIterator>;

// Samples a cubic spline from StartX in steps of Increment up to EndX, which is limited to the
// last point's X. The increment is zero only when the first and last X are equal.
class TCubicSplineIterator : public TSteppingIterator<TNonParametricCurveIterator> {
public:
    TCubicSplineIterator(TCubicSpline& Spline, double StartX, double EndX, double Increment);

    bool IsDone() const override;
    double CurrentX() const override { return FCurrent; }
    double CurrentY() const override;

private:
    TCubicSpline& Spline() const;
};

// The digitized points from the one IndexOfNearestL finds for StartX to the one it finds for
// EndX.
class TFunctionalRawDataIterator : public TIndexIterator<TNonParametricCurveIterator> {
public:
    TFunctionalRawDataIterator(TNonParametricCurveApproximator& Approximator, double StartX,
                               double EndX);

    void First() override;
    void Last() override;
    bool IsDone() const override;
};

// The digitized points whose arc length lies in [StartS, EndS].
class TNonfunctionalRawDataIterator : public TIndexIterator<TParametricCurveIterator> {
public:
    TNonfunctionalRawDataIterator(TParametricCurveApproximator& Approximator, double StartS,
                                  double EndS);

    void First() override;
    void Last() override;
    bool IsDone() const override;
};

// Samples a parametric cubic spline from StartS in steps of |Increment| up to EndS, which is
// limited to the last arc length.
class TParametricCubicSplineIterator : public TSteppingIterator<TParametricCurveIterator> {
public:
    TParametricCubicSplineIterator(TParametricCubicSpline& Spline, double StartS, double EndS,
                                   double Increment);

    bool IsDone() const override;
    double CurrentX() const override;
    double CurrentY() const override;
    TDoublePoint CurrentPoint() const override;

private:
    TParametricCubicSpline& Spline() const;
};

// Every point in stored order.
class TScatterRawDataIterator : public TIndexIterator<TScatterIterator> {
public:
    explicit TScatterRawDataIterator(TCurveApproximator& Approximator);

    void First() override { FIndex = 0; }
    void Last() override;
    bool IsDone() const override;
};

} // namespace korvane
