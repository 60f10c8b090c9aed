#pragma once

#include "core/Errors.h"
#include "core/Persistent.h"
#include "output/CurveApproximators.h"
#include "output/CurveIterators.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace korvane {

class TStream;
class TApproximatorParamSet;

// An unset parameter read ("StartX is not set."), a value that is not a finite number, or an
// approximator class without a parameter set.
class EParamSetError : public EKorvane {
public:
    using EKorvane::EKorvane;
};

// Watches a parameter set: sent after a parameter took a new value or became unset, and
// after CopyListenersFrom.
class IApproximatorListener {
public:
    virtual ~IApproximatorListener() = default;
    virtual void ApproximatorParamsChanged(TApproximatorParamSet& ParamSet) = 0;
};

// The kind of parameter panel that shows a set; the user interface maps it to its widget.
enum class EParamPanelClass {
    None,
    FunctionalRawData,     // TFunctionalRawDataParamPanel
    CubicSpline,           // TCubicSplineParamPanel
    NonfunctionalRawData,  // TNonfunctionalRawDataParamPanel
    ParametricCubicSpline, // TParametricCubicSplineParamPanel
};

// Which part of a digitization's approximation is output, and how finely. It owns the
// approximator, creates iterators over it and notifies its listeners (not owned, in
// registration order) when a parameter changes. While the point array has points, every
// setter clamps its value into the data.
//
// Record (SaveToStream): the set's class name (StringToStream), then the set's own fields;
// LoadFromStream reads the fields after the class name and then calls Reclamp.
class TApproximatorParamSet : public TPersistent {
public:
    TApproximatorParamSet(const TApproximatorParamSet&) = delete;
    TApproximatorParamSet& operator=(const TApproximatorParamSet&) = delete;
    ~TApproximatorParamSet() override;

    TCurveApproximator& Approximator() const { return *FApproximator; }
    const TDoublePointArray& Points() const { return FApproximator->Points(); }

    // At least one point; the range and increment sets also need their values set.
    virtual bool IsComplete() const;
    // The number of output points: 0 when not complete, else a full walk of a new iterator.
    virtual std::int32_t PointCount() const;
    // A new iterator over the output points; EAssertion
    // "TApproximatorParamSet.NewIterator: not complete" unless IsComplete.
    virtual std::unique_ptr<TCurveIterator> NewIterator() const = 0;
    virtual void SaveToStream(TStream& Stream) const;
    virtual void LoadFromStream(TStream& Stream, const std::string& Version);
    // Passes the stored values through their setters again so that they fit the data.
    virtual void Reclamp() = 0;
    // With points: ResetStart, then ResetEnd.
    virtual void ResetRange();
    virtual void ResetStart() {}
    virtual void ResetEnd() {}
    virtual EParamPanelClass ParamPanelClass() const = 0;

    void AddListener(IApproximatorListener* Listener);
    void RemoveListener(IApproximatorListener* Listener);
    bool HasListener(const IApproximatorListener* Listener) const;
    // Adds each listener of Other (those not yet present), then notifies once.
    void CopyListenersFrom(const TApproximatorParamSet& Other);
    void NotifyListeners();

protected:
    explicit TApproximatorParamSet(std::unique_ptr<TCurveApproximator> Approximator);
    void CheckComplete(const char* Operation) const;

private:
    std::unique_ptr<TCurveApproximator> FApproximator;
    std::vector<IApproximatorListener*> FListeners;
};

// One optional number of a parameter set: unset, or set to a finite value. Its name is the
// one the messages give it ("StartX is not set.").
class TOptionalParam {
public:
    explicit TOptionalParam(const char* Name) : FName(Name) {}

    bool IsSet() const { return FIsSet; }
    // "<Name> is not set." when unset.
    double Value() const;
    // "<Name> must be a finite number." unless Value is one.
    void Check(double Value) const;
    // Stores Value, which the set has checked and fitted to its data; true when that changed
    // the parameter.
    bool Set(double Value);
    // True when the parameter was set.
    bool Clear();

    // Record: the flag (WriteBool) and, when set, the value (WriteDouble).
    void Write(TStream& Stream) const;
    // Takes a record as it was stored. A value that is not a finite number means a damaged
    // record: EReadError "Invalid <Name> in stream.", and the parameter stays as it was.
    void Read(TStream& Stream);

private:
    const char* FName;
    bool FIsSet = false;
    double FValue = 0.0;
};

// An output range from a start to an end: in X for the functional line's sets
// (TNonParametricParamSet), in arc length for the parametric ones (TParametricParamSet). Both
// ends are clamped into the family's DataRange, the end kept at or after the start in the
// data's direction; without points, setting an end clears it.
//
// Record: after the class name, the start and then the end, each as TOptionalParam writes it.
class TRangeParamSet : public TApproximatorParamSet {
public:
    bool IsComplete() const override;
    void SaveToStream(TStream& Stream) const override;
    void LoadFromStream(TStream& Stream, const std::string& Version) override;
    void Reclamp() override;
    void ResetStart() override;
    void ResetEnd() override;
    // From another set of the same family: start and end through their setters (or cleared).
    // A source of another family changes nothing.
    void Assign(const TPersistent& Source) override;

    bool HasStart() const { return FStart.IsSet(); }
    bool HasEnd() const { return FEnd.IsSet(); }
    // "<Start name> is not set." when unset; likewise the end.
    double Start() const { return FStart.Value(); }
    double End() const { return FEnd.Value(); }
    // A value that is not a finite number throws EParamSetError; else it is clamped, and the
    // listeners hear of a change.
    virtual void SetStart(double Value);
    void SetEnd(double Value);
    void ClearStart();
    void ClearEnd();

protected:
    TRangeParamSet(std::unique_ptr<TCurveApproximator> Approximator, const char* StartName,
                   const char* EndName);

    // The data in the family's measure: its first and last value, and whether the values
    // grow from the first to the last.
    struct TDataRange {
        double First;
        double Last;
        bool Ascending;
    };
    // Asked only while there are points.
    virtual TDataRange DataRange() const = 0;
    virtual bool IsSameFamily(const TRangeParamSet& Other) const = 0;
    // Reads the range fields without clamping or notifying; a damaged end leaves both as
    // they were.
    void ReadRange(TStream& Stream);

private:
    TOptionalParam FStart;
    TOptionalParam FEnd;
};

// A range set that also steps through its range by an increment: the cubic spline sets of
// both families. Record: the range's, then the increment as TOptionalParam writes it.
template <class TRangeSet> class TSteppedParamSet : public TRangeSet {
public:
    bool IsComplete() const override;
    void SaveToStream(TStream& Stream) const override;
    void LoadFromStream(TStream& Stream, const std::string& Version) override;
    // The range as the family assigns it; from a set of the same class the increment too.
    void Assign(const TPersistent& Source) override;

    bool HasIncrement() const { return FIncrement.IsSet(); }
    // "Increment is not set." when unset.
    double Increment() const { return FIncrement.Value(); }
    // Fitted to the data by FitIncrement; without points the increment is cleared.
    void SetIncrement(double Value);
    void ClearIncrement();

protected:
    using TRangeSet::TRangeSet;
    // (last - first) / 20 in the family's measure; 1 without points.
    double DefaultIncrement() const;
    // Value as the class stores it, at least the class's minimum in magnitude (asked only
    // while there are points).
    virtual double FitIncrement(double Value) const = 0;

private:
    TOptionalParam FIncrement{"Increment"};
};

// A range in X: StartX and EndX.
class TNonParametricParamSet : public TRangeParamSet {
public:
    TNonParametricCurveApproximator& NonParametric() const;

    // "StartX is not set." / "EndX is not set." when unset.
    bool HasStartX() const { return HasStart(); }
    bool HasEndX() const { return HasEnd(); }
    double StartX() const { return Start(); }
    double EndX() const { return End(); }
    void SetStartX(double Value) { SetStart(Value); }
    void SetEndX(double Value) { SetEnd(Value); }
    void ClearStartX() { ClearStart(); }
    void ClearEndX() { ClearEnd(); }

    // Clamps into the data range; then re-clamps a set end against the new start.
    void SetStart(double Value) override;

protected:
    explicit TNonParametricParamSet(std::unique_ptr<TNonParametricCurveApproximator> Approximator);
    // The first and the last X, either way round.
    TDataRange DataRange() const override;
    bool IsSameFamily(const TRangeParamSet& Other) const override;
};

extern template class TSteppedParamSet<TNonParametricParamSet>;

class TFunctionalRawDataParamSet : public TNonParametricParamSet {
public:
    explicit TFunctionalRawDataParamSet(std::unique_ptr<TFunctionalRawData> Approximator);

    std::unique_ptr<TCurveIterator> NewIterator() const override;
    EParamPanelClass ParamPanelClass() const override {
        return EParamPanelClass::FunctionalRawData;
    }
};

class TCubicSplineParamSet : public TSteppedParamSet<TNonParametricParamSet> {
public:
    explicit TCubicSplineParamSet(std::unique_ptr<TCubicSpline> Approximator);

    std::unique_ptr<TCurveIterator> NewIterator() const override;
    EParamPanelClass ParamPanelClass() const override { return EParamPanelClass::CubicSpline; }
    // (last X - first X) / n / 50, signed with the direction; 1 without points.
    double MinimumIncrement() const;

protected:
    // Given the sign of the data's direction, and raised to the minimum in magnitude.
    double FitIncrement(double Value) const override;
};

// A range in arc length: StartS and EndS.
class TParametricParamSet : public TRangeParamSet {
public:
    TParametricCurveApproximator& Parametric() const;

    // The range under the names its callers use ("StartS is not set." / "EndS is not set."
    // when unset); HasStart, HasEnd and ClearEnd serve as they are. Setting the start does
    // not re-clamp the end.
    double StartS() const { return Start(); }
    double EndS() const { return End(); }
    void SetStartS(double Value) { SetStart(Value); }
    void SetEndS(double Value) { SetEnd(Value); }
    void ClearStartS() { ClearStart(); }

protected:
    explicit TParametricParamSet(std::unique_ptr<TParametricCurveApproximator> Approximator);
    // S[0] to S[n-1], ascending.
    TDataRange DataRange() const override;
    bool IsSameFamily(const TRangeParamSet& Other) const override;
};

extern template class TSteppedParamSet<TParametricParamSet>;

class TNonfunctionalRawDataParamSet : public TParametricParamSet {
public:
    explicit TNonfunctionalRawDataParamSet(std::unique_ptr<TNonfunctionalRawData> Approximator);

    std::unique_ptr<TCurveIterator> NewIterator() const override;
    EParamPanelClass ParamPanelClass() const override {
        return EParamPanelClass::NonfunctionalRawData;
    }
};

class TParametricCubicSplineParamSet : public TSteppedParamSet<TParametricParamSet> {
public:
    explicit TParametricCubicSplineParamSet(std::unique_ptr<TParametricCubicSpline> Approximator);

    std::unique_ptr<TCurveIterator> NewIterator() const override;
    EParamPanelClass ParamPanelClass() const override {
        return EParamPanelClass::ParametricCubicSpline;
    }
    // S[n-1] / n / 50; 1 without points.
    double MinimumIncrement() const;

protected:
    // |Value|, raised to the minimum.
    double FitIncrement(double Value) const override;
};

class TScatterParamSet : public TApproximatorParamSet {
protected:
    using TApproximatorParamSet::TApproximatorParamSet;
};

// Every point of a scatter; no parameters. Its record is its class name alone.
class TScatterRawDataParamSet : public TScatterParamSet {
public:
    explicit TScatterRawDataParamSet(std::unique_ptr<TScatterRawData> Approximator);

    std::int32_t PointCount() const override;
    std::unique_ptr<TCurveIterator> NewIterator() const override;
    void Reclamp() override {}
    EParamPanelClass ParamPanelClass() const override { return EParamPanelClass::None; }
    // From another TScatterRawDataParamSet nothing is copied; from anything else
    // "Cannot assign a ... to a TScatterRawDataParamSet.".
    void Assign(const TPersistent& Source) override;
};

// Constructs an approximator of the class over Points and the parameter set that matches it;
// the set owns the approximator. Any other class (abstract or unknown) throws
// EParamSetError "Cannot create param set for curve approximator class 'TFoo'".
std::unique_ptr<TApproximatorParamSet> CreateParamSet(const TApproximatorClassInfo& Class,
                                                      const TDoublePointArray& Points);
// The same by stored class name; an unregistered name throws EClassNotFound.
std::unique_ptr<TApproximatorParamSet> CreateParamSet(const std::string& ClassName,
                                                      const TDoublePointArray& Points);

} // namespace korvane
