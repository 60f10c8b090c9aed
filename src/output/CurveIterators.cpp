#include "output/CurveIterators.h"

#include "output/CurveApproximators.h"

#include <cmath>
#include <limits>

namespace korvane {

namespace {

void CheckFiniteArguments(const char* Operation, double A, double B, double C = 0.0) {
    if (!std::isfinite(A) || !std::isfinite(B) || !std::isfinite(C))
        throw ECurveApproximator(std::string(Operation) +
                                 ": the range and the increment must be finite numbers.");
}

std::int32_t SaturatedSum(std::int32_t A, std::int32_t B) {
    const std::int64_t Sum = static_cast<std::int64_t>(A) + B;
    if (Sum > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    if (Sum < std::numeric_limits<std::int32_t>::min())
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(Sum);
}

// MoveTo of the sampling iterators: First, then N times Next. A walk that has only gone
// forward from First goes on from where it stands, since the same additions give the same
// value; so visiting the rows of a long spline one by one (as a selection iterator does)
// stays linear. Steps counts the moves made since First (-1 after Last or Prev); Stuck says
// that the next Next could not move (and every later one would not either).
template <class TFirst, class TNext>
void MoveForwardTo(std::int32_t N, const std::int64_t& Steps, bool& Stuck, TFirst First,
                   TNext Next) {
    if (Steps < 0 || N < Steps)
        First();
    if (Stuck) {
        // N == Steps is the position before the step that could not be made.
        if (N == Steps)
            Stuck = false;
        return;
    }
    while (Steps < N && !Stuck)
        Next();
}

} // namespace

// --- TCurveIterator

void TCurveIterator::MoveTo(std::int32_t N) {
    First();
    for (std::int32_t I = 0; I < N; ++I)
        Next();
}

TDoublePoint TCurveIterator::CurrentPoint() const {
    return {CurrentX(), CurrentY()};
}

TRangeCurveIterator::TRangeCurveIterator(TCurveApproximator& Approximator, double Start, double End)
    : TCurveIterator(Approximator), FStart(Start), FEnd(End) {
    Approximator.Recompute();
}

TNonParametricCurveIterator::TNonParametricCurveIterator(
    TNonParametricCurveApproximator& Approximator, double StartX, double EndX)
    : TRangeCurveIterator(Approximator, StartX, EndX) {}

TNonParametricCurveApproximator& TNonParametricCurveIterator::NonParametric() const {
    return static_cast<TNonParametricCurveApproximator&>(Approximator());
}

TParametricCurveIterator::TParametricCurveIterator(TParametricCurveApproximator& Approximator,
                                                   double StartS, double EndS)
    : TRangeCurveIterator(Approximator, StartS, EndS) {}

TParametricCurveApproximator& TParametricCurveIterator::Parametric() const {
    return static_cast<TParametricCurveApproximator&>(Approximator());
}

// --- TSteppingIterator

template <class TRangeIterator> void TSteppingIterator<TRangeIterator>::First() {
    FCurrent = this->FStart;
    FSteps = 0;
    FStuck = false;
}

template <class TRangeIterator> void TSteppingIterator<TRangeIterator>::Last() {
    // Without a usable increment the only output point is the start.
    FCurrent = FIncrement == 0.0 ? this->FStart : this->FEnd;
    FSteps = -1;
    FStuck = false;
}

template <class TRangeIterator> void TSteppingIterator<TRangeIterator>::Next() {
    const double NewCurrent = FCurrent + FIncrement;
    if (NewCurrent == FCurrent) {
        // A zero increment, or one lost against the magnitude of Current: the walk ends here
        // instead of never ending.
        FStuck = true;
        return;
    }
    FCurrent = NewCurrent;
    if (FSteps >= 0)
        ++FSteps;
}

template <class TRangeIterator> void TSteppingIterator<TRangeIterator>::Prev() {
    FSteps = -1;
    if (FStuck) {
        FStuck = false;
        return;
    }
    FCurrent -= FIncrement;
}

template <class TRangeIterator> void TSteppingIterator<TRangeIterator>::MoveTo(std::int32_t N) {
    MoveForwardTo(
        N, FSteps, FStuck, [this] { First(); }, [this] { Next(); });
}

template class TSteppingIterator<TNonParametricCurveIterator>;
template class TSteppingIterator<TParametricCurveIterator>;

// --- TIndexIterator

template <class TBase> void TIndexIterator<TBase>::MoveTo(std::int32_t N) {
    this->First();
    FIndex = SaturatedSum(FIndex, N);
}

template <class TBase> double TIndexIterator<TBase>::CurrentX() const {
    return this->Approximator().Points()[FIndex].X;
}

template <class TBase> double TIndexIterator<TBase>::CurrentY() const {
    return this->Approximator().Points()[FIndex].Y;
}

template <class TBase> TDoublePoint TIndexIterator<TBase>::CurrentPoint() const {
    return this->Approximator().Points()[FIndex];
}

template class TIndexIterator<TNonParametricCurveIterator>;
template class TIndexIterator<TParametricCurveIterator>;
template class TIndexIterator<TScatterIterator>;

// --- TCubicSplineIterator

TCubicSplineIterator::TCubicSplineIterator(TCubicSpline& Spline, double StartX, double EndX,
                                           double Increment)
    : TSteppingIterator(Spline, StartX, EndX, Increment) {
    CheckFiniteArguments("TCubicSplineIterator", StartX, EndX, Increment);
    const double LastX = Spline.Points().Last().X;
    FEnd = FIncrement > 0.0 ? std::min(FEnd, LastX) : std::max(FEnd, LastX);
    First();
}

TCubicSpline& TCubicSplineIterator::Spline() const {
    return static_cast<TCubicSpline&>(Approximator());
}

bool TCubicSplineIterator::IsDone() const {
    if (FStuck)
        return true;
    if (FIncrement > 0.0)
        return FCurrent > FEnd;
    if (FIncrement < 0.0)
        return FCurrent < FEnd;
    return false;
}

double TCubicSplineIterator::CurrentY() const {
    return Spline().Evaluate(FCurrent);
}

// --- TFunctionalRawDataIterator

TFunctionalRawDataIterator::TFunctionalRawDataIterator(
    TNonParametricCurveApproximator& Approximator, double StartX, double EndX)
    : TIndexIterator(Approximator, StartX, EndX) {
    First();
}

void TFunctionalRawDataIterator::First() {
    FIndex = NonParametric().IndexOfNearestL(FStart);
}

void TFunctionalRawDataIterator::Last() {
    FIndex = NonParametric().IndexOfNearestL(FEnd);
}

bool TFunctionalRawDataIterator::IsDone() const {
    return NonParametric().IndexOfNearestL(FEnd) < FIndex;
}

// --- TNonfunctionalRawDataIterator

TNonfunctionalRawDataIterator::TNonfunctionalRawDataIterator(
    TParametricCurveApproximator& Approximator, double StartS, double EndS)
    : TIndexIterator(Approximator, StartS, EndS) {
    First();
}

void TNonfunctionalRawDataIterator::First() {
    FIndex = Parametric().IndexOfNearestLT(FStart);
}

void TNonfunctionalRawDataIterator::Last() {
    FIndex = Parametric().IndexOfNearestGT(FEnd);
}

bool TNonfunctionalRawDataIterator::IsDone() const {
    return Parametric().IndexOfNearestGT(FEnd) < FIndex;
}

// --- TParametricCubicSplineIterator

TParametricCubicSplineIterator::TParametricCubicSplineIterator(TParametricCubicSpline& Spline,
                                                               double StartS, double EndS,
                                                               double Increment)
    : TSteppingIterator(Spline, StartS, EndS, std::fabs(Increment)) {
    CheckFiniteArguments("TParametricCubicSplineIterator", StartS, EndS, Increment);
    FEnd = std::min(FEnd, Spline.ArcLength(Spline.Points().Count() - 1));
    First();
}

TParametricCubicSpline& TParametricCubicSplineIterator::Spline() const {
    return static_cast<TParametricCubicSpline&>(Approximator());
}

bool TParametricCubicSplineIterator::IsDone() const {
    return FStuck || FCurrent > FEnd;
}

double TParametricCubicSplineIterator::CurrentX() const {
    return Spline().EvaluateAt(FCurrent).X;
}

double TParametricCubicSplineIterator::CurrentY() const {
    return Spline().EvaluateAt(FCurrent).Y;
}

TDoublePoint TParametricCubicSplineIterator::CurrentPoint() const {
    return Spline().EvaluateAt(FCurrent);
}

// --- TScatterRawDataIterator

TScatterRawDataIterator::TScatterRawDataIterator(TCurveApproximator& Approximator)
    : TIndexIterator(Approximator) {
    Approximator.Recompute();
    First();
}

void TScatterRawDataIterator::Last() {
    FIndex = Approximator().Points().Count() - 1;
}

bool TScatterRawDataIterator::IsDone() const {
    return FIndex > Approximator().Points().Count() - 1;
}

} // namespace korvane
