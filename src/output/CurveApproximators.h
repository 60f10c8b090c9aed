#pragma once

#include "core/DoublePoints.h"
#include "core/Errors.h"
#include "core/Persistent.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace korvane {

class TCurveApproximator;

// An index search of an approximator outside its data ("...: Invalid X: 3.50"), or a spline
// that cannot be evaluated.
class ECurveApproximator : public EKorvane {
public:
    using EKorvane::EKorvane;
};

// What stands for an approximator class: its stored name, its display name and a way to
// construct it over a point array. The abstract classes of the tree are known by name too
// (a file may name them) but cannot be constructed: IsAbstract() is true and DisplayName
// is empty.
struct TApproximatorClassInfo {
    std::string ClassName;
    std::string DisplayName;
    std::function<std::unique_ptr<TCurveApproximator>(const TDoublePointArray&)> Create;

    bool IsAbstract() const { return !Create; }
    // Throws EAssertion for an abstract class.
    std::unique_ptr<TCurveApproximator> NewApproximator(const TDoublePointArray& Points) const;
};

// The registry of approximator classes by stored name ("TCubicSpline", "TFunctionalRawData",
// ...). All nine classes of the tree are registered. An unknown name throws EClassNotFound
// "Class TFoo not found.".
const TApproximatorClassInfo& FindApproximatorClass(const std::string& ClassName);
// nullptr for an unknown name.
const TApproximatorClassInfo* GetApproximatorClass(const std::string& ClassName);

// Turns the points of one digitization into something the output stages can sample. It
// reads the point array live (never owning or changing it) and keeps derived tables that
// Recompute rebuilds.
class TCurveApproximator : public TPersistent {
public:
    TCurveApproximator(const TCurveApproximator&) = delete;
    TCurveApproximator& operator=(const TCurveApproximator&) = delete;
    ~TCurveApproximator() override = default;

    static const TApproximatorClassInfo& Class();
    // The class of this object.
    virtual const TApproximatorClassInfo& GetClass() const = 0;
    std::string ClassName() const override { return GetClass().ClassName; }
    std::string DisplayName() const { return GetClass().DisplayName; }

    const TDoublePointArray& Points() const { return *FPoints; }

    // Rebuilds the derived tables from the current points. Every new iterator calls it.
    virtual void Recompute() {}

protected:
    explicit TCurveApproximator(const TDoublePointArray& Points) : FPoints(&Points) {}

private:
    const TDoublePointArray* FPoints;
};

// An approximator that gives Y for X.
class TNonParametricCurveApproximator : public TCurveApproximator {
public:
    static const TApproximatorClassInfo& Class();

    // Rebuilds the search table of the index searches.
    void Recompute() override;

    // The first point's X is less than the last point's X; equal ends count as descending.
    bool IsAscending() const;
    // The first index whose X is not before X in the data's direction (ascending: x[i] >= X,
    // descending: x[i] <= X). None (or no points): "...IndexOfNearestL: Invalid X: %.2f".
    std::int32_t IndexOfNearestL(double X) const;
    // The interval that holds X: starting at 0, i advances while i < n - 1 and X lies strictly
    // beyond x[i + 1]. No points: "...IndexOfNearestR: Invalid X: %.2f".
    std::int32_t IndexOfNearestR(double X) const;

    virtual double Evaluate(double X) = 0;

protected:
    using TCurveApproximator::TCurveApproximator;

private:
    // Both searches are defined as scans from index 0, which would make a walk over a long
    // line quadratic. Over the running extreme of x[1..j] (maximum for ascending data,
    // minimum for descending) the same first index is found by bisection, whatever the order
    // of the points. Like the spline's tables, this one describes the points as of the last
    // Recompute: it is used while the count and direction still match and the index found
    // agrees with its live neighbours; otherwise the searches scan the live points.
    std::int32_t SearchFirstAtOrBeyond(double X, std::int32_t From) const;
    bool SearchTableUsable() const;

    std::vector<double> FRunningExtreme; // [j] = extreme of x[1..j], j >= 1
    bool FTableAscending = false;
};

// The natural cubic spline in X through the points.
//
// Choices where the plain algorithm has no answer:
// - No points: Evaluate raises the IndexOfNearestR error. One point: Evaluate gives its Y.
// - Two consecutive points with the same X, or an interval running against the direction of
//   the interval before it, separate the points into pieces that are each solved as their
//   own natural spline (the solver never divides by a zero width or a zero pivot). At a
//   zero-width interval Evaluate gives the Y of the end point on X's side.
// - X beyond the last point extrapolates with the last interval's cubic.
// - Evaluate recomputes first when the tables do not match the point count.
// - A result that is not a finite number raises ECurveApproximator.
class TCubicSpline : public TNonParametricCurveApproximator {
public:
    explicit TCubicSpline(const TDoublePointArray& Points)
        : TNonParametricCurveApproximator(Points) {}

    static const TApproximatorClassInfo& Class();
    const TApproximatorClassInfo& GetClass() const override { return Class(); }

    void Recompute() override;
    double Evaluate(double X) override;

    // h[k] = x[k+1] - x[k] and the second derivatives, one entry per point.
    const std::vector<double>& Intervals() const { return FIntervals; }
    const std::vector<double>& SecondDerivatives() const { return FSecondDerivatives; }

private:
    std::vector<double> FIntervals;
    std::vector<double> FSecondDerivatives;
};

// The digitized points as they are: Y of the point whose interval holds X.
class TFunctionalRawData : public TNonParametricCurveApproximator {
public:
    explicit TFunctionalRawData(const TDoublePointArray& Points)
        : TNonParametricCurveApproximator(Points) {}

    static const TApproximatorClassInfo& Class();
    const TApproximatorClassInfo& GetClass() const override { return Class(); }

    double Evaluate(double X) override;
};

// An approximator along the cumulative chord length S of the points, measured in the data's
// own units. S[0] = 0; the table counts as stale exactly when its length differs from the
// point count.
class TParametricCurveApproximator : public TCurveApproximator {
public:
    static const TApproximatorClassInfo& Class();

    void Recompute() override;

    bool NeedsRecompute() const;
    // S[Index], recomputing first when stale. EListError outside 0..n - 1.
    double ArcLength(std::int32_t Index);
    // The first i with S[i] >= S. Beyond the last (or no points):
    // "...IndexOfNearestLT: Invalid S: %.2f".
    std::int32_t IndexOfNearestLT(double S);
    // The last i with S[i] <= S, scanning from 0 (0 when S < S[1]). No points:
    // "...IndexOfNearestGT: Invalid S: %.2f".
    std::int32_t IndexOfNearestGT(double S);

    const std::vector<double>& ArcLengths() const { return FArcLengths; }

protected:
    using TCurveApproximator::TCurveApproximator;

private:
    void RecomputeIfStale();

    std::vector<double> FArcLengths;
};

// The digitized points as they are, in the order they were taken.
class TNonfunctionalRawData : public TParametricCurveApproximator {
public:
    explicit TNonfunctionalRawData(const TDoublePointArray& Points)
        : TParametricCurveApproximator(Points) {}

    static const TApproximatorClassInfo& Class();
    const TApproximatorClassInfo& GetClass() const override { return Class(); }
};

// Two natural cubic splines in S, one for X and one for Y. Coincident consecutive points give
// a zero-width interval in S, handled as TCubicSpline handles equal X.
class TParametricCubicSpline : public TParametricCurveApproximator {
public:
    explicit TParametricCubicSpline(const TDoublePointArray& Points);
    ~TParametricCubicSpline() override;

    static const TApproximatorClassInfo& Class();
    const TApproximatorClassInfo& GetClass() const override { return Class(); }

    void Recompute() override;
    // (X of SplineX at S, Y of SplineY at S); recomputes first when stale.
    TDoublePoint EvaluateAt(double S);

    // (S[i], x[i]) and (S[i], y[i]).
    const TDoublePointArray& XOfS() const { return *FXOfS; }
    const TDoublePointArray& YOfS() const { return *FYOfS; }

private:
    // Rebuilt whole by Recompute, so that a long line is copied in one allocation.
    std::unique_ptr<TDoublePointArray> FXOfS;
    std::unique_ptr<TDoublePointArray> FYOfS;
    std::unique_ptr<TCubicSpline> FSplineX;
    std::unique_ptr<TCubicSpline> FSplineY;
};

class TScatterApproximator : public TCurveApproximator {
public:
    static const TApproximatorClassInfo& Class();

protected:
    using TCurveApproximator::TCurveApproximator;
};

class TScatterRawData : public TScatterApproximator {
public:
    explicit TScatterRawData(const TDoublePointArray& Points) : TScatterApproximator(Points) {}

    static const TApproximatorClassInfo& Class();
    const TApproximatorClassInfo& GetClass() const override { return Class(); }
};

// An ordered list of approximator classes (not owned).
class TCurveApproximatorList {
public:
    std::int32_t Add(const TApproximatorClassInfo& Class);
    std::int32_t Count() const { return static_cast<std::int32_t>(FItems.size()); }
    // EListError outside 0..Count - 1.
    const TApproximatorClassInfo& Items(std::int32_t I) const;
    // The entry whose class name is that of Approximator, searching from the last entry
    // down; -1 when none matches.
    std::int32_t IndexOf(const TCurveApproximator& Approximator) const;

private:
    std::vector<const TApproximatorClassInfo*> FItems;
};

// TFunctionalRawData, TCubicSpline.
const TCurveApproximatorList& FunctionalApproximators();
// TNonfunctionalRawData, TParametricCubicSpline.
const TCurveApproximatorList& NonfunctionalApproximators();

} // namespace korvane
