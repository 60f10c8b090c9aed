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

// A range in X: StartX and EndX.
class TNonParametricParamSet : public TApproximatorParamSet {
public:
    TNonParametricCurveApproximator& NonParametric() const;

    bool IsComplete() const override;
    void SaveToStream(TStream& Stream) const override;
    void LoadFromStream(TStream& Stream, const std::string& Version) override;
    void Reclamp() override;
    void ResetStart() override;
    void ResetEnd() override;
    // From another TNonParametricParamSet: start and end through their setters (or cleared).
    // A source of another family changes nothing.
    void Assign(const TPersistent& Source) override;

    bool HasStartX() const { return FHasStartX; }
    bool HasEndX() const { return FHasEndX; }
    // "StartX is not set." / "EndX is not set." when unset.
    double StartX() const;
    double EndX() const;
    // Clamps into the data range; then re-clamps a set end against the new start.
    void SetStartX(double Value);
    // Clamps between the start (or the first X) and the last X.
    void SetEndX(double Value);
    void ClearStartX();
    void ClearEndX();

protected:
    explicit TNonParametricParamSet(std::unique_ptr<TNonParametricCurveApproximator> Approximator);
    // Reads the range fields without clamping or notifying.
    void ReadRange(TStream& Stream);

private:
    bool FHasStartX = false;
    bool FHasEndX = false;
    double FStartX = 0.0;
    double FEndX = 0.0;
};

class TFunctionalRawDataParamSet : public TNonParametricParamSet {
public:
    explicit TFunctionalRawDataParamSet(std::unique_ptr<TFunctionalRawData> Approximator);

    std::unique_ptr<TCurveIterator> NewIterator() const override;
    EParamPanelClass ParamPanelClass() const override {
        return EParamPanelClass::FunctionalRawData;
    }
};

class TCubicSplineParamSet : public TNonParametricParamSet {
public:
    explicit TCubicSplineParamSet(std::unique_ptr<TCubicSpline> Approximator);

    bool IsComplete() const override;
    std::unique_ptr<TCurveIterator> NewIterator() const override;
    void SaveToStream(TStream& Stream) const override;
    void LoadFromStream(TStream& Stream, const std::string& Version) override;
    EParamPanelClass ParamPanelClass() const override { return EParamPanelClass::CubicSpline; }
    // The range as TNonParametricParamSet; from another TCubicSplineParamSet the increment too.
    void Assign(const TPersistent& Source) override;

    bool HasIncrement() const { return FHasIncrement; }
    // "Increment is not set." when unset.
    double Increment() const;
    // Given the sign of the data's direction, and raised to the minimum in magnitude.
    void SetIncrement(double Value);
    void ClearIncrement();
    // (last X - first X) / n / 50, signed with the direction; 1 without points.
    double MinimumIncrement() const;

private:
    bool FHasIncrement = false;
    double FIncrement = 0.0;
};

// A range in arc length: StartS and EndS.
class TParametricParamSet : public TApproximatorParamSet {
public:
    TParametricCurveApproximator& Parametric() const;

    bool IsComplete() const override;
    void SaveToStream(TStream& Stream) const override;
    void LoadFromStream(TStream& Stream, const std::string& Version) override;
    void Reclamp() override;
    void ResetStart() override;
    void ResetEnd() override;
    // From another TParametricParamSet: start and end through their setters (or cleared).
    // A source of another family changes nothing.
    void Assign(const TPersistent& Source) override;

    bool HasStartS() const { return FHasStartS; }
    bool HasEndS() const { return FHasEndS; }
    // "StartS is not set." / "EndS is not set." when unset.
    double StartS() const;
    double EndS() const;
    // Clamps into [S[0], S[n-1]]; the end is not re-clamped.
    void SetStartS(double Value);
    // Clamps into [StartS (or S[0]), S[n-1]].
    void SetEndS(double Value);
    void ClearStartS();
    void ClearEndS();

protected:
    explicit TParametricParamSet(std::unique_ptr<TParametricCurveApproximator> Approximator);
    void ReadRange(TStream& Stream);

private:
    bool FHasStartS = false;
    bool FHasEndS = false;
    double FStartS = 0.0;
    double FEndS = 0.0;
};

class TNonfunctionalRawDataParamSet : public TParametricParamSet {
public:
    explicit TNonfunctionalRawDataParamSet(std::unique_ptr<TNonfunctionalRawData> Approximator);

    std::unique_ptr<TCurveIterator> NewIterator() const override;
    EParamPanelClass ParamPanelClass() const override {
        return EParamPanelClass::NonfunctionalRawData;
    }
};

class TParametricCubicSplineParamSet : public TParametricParamSet {
public:
    explicit TParametricCubicSplineParamSet(std::unique_ptr<TParametricCubicSpline> Approximator);

    bool IsComplete() const override;
    std::unique_ptr<TCurveIterator> NewIterator() const override;
    void SaveToStream(TStream& Stream) const override;
    void LoadFromStream(TStream& Stream, const std::string& Version) override;
    EParamPanelClass ParamPanelClass() const override {
        return EParamPanelClass::ParametricCubicSpline;
    }
    void Assign(const TPersistent& Source) override;

    bool HasIncrement() const { return FHasIncrement; }
    double Increment() const;
    // |Value|, raised to the minimum.
    void SetIncrement(double Value);
    void ClearIncrement();
    // S[n-1] / n / 50; 1 without points.
    double MinimumIncrement() const;

private:
    bool FHasIncrement = false;
    double FIncrement = 0.0;
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
