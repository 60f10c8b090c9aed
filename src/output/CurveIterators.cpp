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

TNonParametricCurveIterator::TNonParametricCurveIterator(
    TNonParametricCurveApproximator& Approximator, double StartX, double EndX)
    : TCurveIterator(Approximator), FStartX(StartX), FEndX(EndX) {
    Approximator.Recompute();
}

TNonParametricCurveApproximator& TNonParametricCurveIterator::NonParametric() const {
    return static_cast<TNonParametricCurveApproximator&>(Approximator());
}

TParametricCurveIterator::TParametricCurveIterator(TParametricCurveApproximator& Approximator,
                                                   double StartS, double EndS)
    : TCurveIterator(Approximator), FStartS(StartS), FEndS(EndS) {
    Approximator.Recompute();
}

TParametricCurveApproximator& TParametricCurveIterator::Parametric() const {
    return static_cast<TParametricCurveApproximator&>(Approximator());
}

// --- TCubicSplineIterator

TCubicSplineIterator::TCubicSplineIterator(TCubicSpline& Spline, double StartX, double EndX,
                                           double Increment)
    : TNonParametricCurveIterator(Spline, StartX, EndX), FIncrement(Increment) {
    CheckFiniteArguments("TCubicSplineIterator", StartX, EndX, Increment);
    const double LastX = Spline.Points().Last().X;
    FEndX = FIncrement > 0.0 ? std::min(FEndX, LastX) : std::max(FEndX, LastX);
    First();
}

TCubicSpline& TCubicSplineIterator::Spline() const {
    return static_cast<TCubicSpline&>(Approximator());
}

void TCubicSplineIterator::First() {
    FCurrent = FStartX;
    FSteps = 0;
    FStuck = false;
}

void TCubicSplineIterator::Last() {
    // Without a usable increment the only output point is the start.
    FCurrent = FIncrement == 0.0 ? FStartX : FEndX;
    FSteps = -1;
    FStuck = false;
}

void TCubicSplineIterator::Next() {
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

void TCubicSplineIterator::Prev() {
    FSteps = -1;
    if (FStuck) {
        FStuck = false;
        return;
    }
    FCurrent -= FIncrement;
}

void TCubicSplineIterator::MoveTo(std::int32_t N) {
    MoveForwardTo(
        N, FSteps, FStuck, [this] { First(); }, [this] { Next(); });
}

bool TCubicSplineIterator::IsDone() const {
    if (FStuck)
        return true;
    if (FIncrement > 0.0)
        return FCurrent > FEndX;
    if (FIncrement < 0.0)
        return FCurrent < FEndX;
    return false;
}

double TCubicSplineIterator::CurrentY() const {
    return Spline().Evaluate(FCurrent);
}

// --- TFunctionalRawDataIterator

TFunctionalRawDataIterator::TFunctionalRawDataIterator(
    TNonParametricCurveApproximator& Approximator, double StartX, double EndX)
    : TNonParametricCurveIterator(Approximator, StartX, EndX) {
    First();
}

void TFunctionalRawDataIterator::First() {
    FIndex = NonParametric().IndexOfNearestL(FStartX);
}

void TFunctionalRawDataIterator::Last() {
    FIndex = NonParametric().IndexOfNearestL(FEndX);
}

void TFunctionalRawDataIterator::MoveTo(std::int32_t N) {
    First();
    FIndex = SaturatedSum(FIndex, N);
}

bool TFunctionalRawDataIterator::IsDone() const {
    return NonParametric().IndexOfNearestL(FEndX) < FIndex;
}

double TFunctionalRawDataIterator::CurrentX() const {
    return Approximator().Points()[FIndex].X;
}

double TFunctionalRawDataIterator::CurrentY() const {
    return Approximator().Points()[FIndex].Y;
}

TDoublePoint TFunctionalRawDataIterator::CurrentPoint() const {
    return Approximator().Points()[FIndex];
}

// --- TNonfunctionalRawDataIterator

TNonfunctionalRawDataIterator::TNonfunctionalRawDataIterator(
    TParametricCurveApproximator& Approximator, double StartS, double EndS)
    : TParametricCurveIterator(Approximator, StartS, EndS) {
    First();
}

void TNonfunctionalRawDataIterator::First() {
    FIndex = Parametric().IndexOfNearestLT(FStartS);
}

void TNonfunctionalRawDataIterator::Last() {
    FIndex = Parametric().IndexOfNearestGT(FEndS);
}

void TNonfunctionalRawDataIterator::MoveTo(std::int32_t N) {
    First();
    FIndex = SaturatedSum(FIndex, N);
}

bool TNonfunctionalRawDataIterator::IsDone() const {
    return Parametric().IndexOfNearestGT(FEndS) < FIndex;
}

double TNonfunctionalRawDataIterator::CurrentX() const {
    return Approximator().Points()[FIndex].X;
}

double TNonfunctionalRawDataIterator::CurrentY() const {
    return Approximator().Points()[FIndex].Y;
}

TDoublePoint TNonfunctionalRawDataIterator::CurrentPoint() const {
    return Approximator().Points()[FIndex];
}

// --- TParametricCubicSplineIterator

TParametricCubicSplineIterator::TParametricCubicSplineIterator(TParametricCubicSpline& Spline,
                                                               double StartS, double EndS,
                                                               double Increment)
    : TParametricCurveIterator(Spline, StartS, EndS), FIncrement(std::fabs(Increment)) {
    CheckFiniteArguments("TParametricCubicSplineIterator", StartS, EndS, Increment);
    FEndS = std::min(FEndS, Spline.ArcLength(Spline.Points().Count() - 1));
    First();
}

TParametricCubicSpline& TParametricCubicSplineIterator::Spline() const {
    return static_cast<TParametricCubicSpline&>(Approximator());
}

void TParametricCubicSplineIterator::First() {
    FCurrent = FStartS;
    FSteps = 0;
    FStuck = false;
}

void TParametricCubicSplineIterator::Last() {
    FCurrent = FIncrement == 0.0 ? FStartS : FEndS;
    FSteps = -1;
    FStuck = false;
}

void TParametricCubicSplineIterator::Next() {
    const double NewCurrent = FCurrent + FIncrement;
    if (NewCurrent == FCurrent) {
        FStuck = true;
        return;
    }
    FCurrent = NewCurrent;
    if (FSteps >= 0)
        ++FSteps;
}

void TParametricCubicSplineIterator::Prev() {
    FSteps = -1;
    if (FStuck) {
        FStuck = false;
        return;
    }
    FCurrent -= FIncrement;
}

void TParametricCubicSplineIterator::MoveTo(std::int32_t N) {
    MoveForwardTo(
        N, FSteps, FStuck, [this] { First(); }, [this] { Next(); });
}

bool TParametricCubicSplineIterator::IsDone() const {
    return FStuck || FCurrent > FEndS;
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
    : TScatterIterator(Approximator) {
    Approximator.Recompute();
    First();
}

void TScatterRawDataIterator::Last() {
    FIndex = Approximator().Points().Count() - 1;
}

bool TScatterRawDataIterator::IsDone() const {
    return FIndex > Approximator().Points().Count() - 1;
}

double TScatterRawDataIterator::CurrentX() const {
    return Approximator().Points()[FIndex].X;
}

double TScatterRawDataIterator::CurrentY() const {
    return Approximator().Points()[FIndex].Y;
}

TDoublePoint TScatterRawDataIterator::CurrentPoint() const {
    return Approximator().Points()[FIndex];
}

} // namespace korvane
