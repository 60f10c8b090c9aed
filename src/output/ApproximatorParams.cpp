#include "output/ApproximatorParams.h"

#include "core/Streams.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace korvane {

namespace {

void CheckValue(double Value, const char* Name) {
    if (!std::isfinite(Value))
        throw EParamSetError(std::string(Name) + " must be a finite number.");
}

// A stored optional value: its flag and, when the flag is set, the value. A value that is
// not a finite number means a damaged record.
bool ReadOptional(TStream& Stream, double& Value, const char* Name) {
    if (!ReadBool(Stream))
        return false;
    Value = ReadDouble(Stream);
    if (!std::isfinite(Value))
        throw EReadError(std::string("Invalid ") + Name + " in stream.");
    return true;
}

void WriteOptional(TStream& Stream, bool Has, double Value) {
    WriteBool(Stream, Has);
    if (Has)
        WriteDouble(Stream, Value);
}

[[noreturn]] void NotSet(const char* Name) {
    throw EParamSetError(std::string(Name) + " is not set.");
}

} // namespace

// --- TApproximatorParamSet

TApproximatorParamSet::TApproximatorParamSet(std::unique_ptr<TCurveApproximator> Approximator)
    : FApproximator(std::move(Approximator)) {
    Assert(FApproximator != nullptr, "TApproximatorParamSet.Create: no approximator");
}

TApproximatorParamSet::~TApproximatorParamSet() = default;

bool TApproximatorParamSet::IsComplete() const {
    return Points().Count() >= 1;
}

void TApproximatorParamSet::CheckComplete(const char* Operation) const {
    Assert(IsComplete(), Operation);
}

std::int32_t TApproximatorParamSet::PointCount() const {
    if (!IsComplete())
        return 0;
    const std::unique_ptr<TCurveIterator> Iterator = NewIterator();
    std::int64_t Count = 0;
    for (Iterator->First(); !Iterator->IsDone(); Iterator->Next())
        if (++Count > std::numeric_limits<std::int32_t>::max())
            throw EParamSetError("Too many output points.");
    return static_cast<std::int32_t>(Count);
}

void TApproximatorParamSet::SaveToStream(TStream& Stream) const {
    StringToStream(Stream, ClassName());
}

void TApproximatorParamSet::LoadFromStream(TStream& /*Stream*/, const std::string& /*Version*/) {}

void TApproximatorParamSet::ResetRange() {
    if (Points().Count() > 0) {
        ResetStart();
        ResetEnd();
    }
}

void TApproximatorParamSet::AddListener(IApproximatorListener* Listener) {
    if (Listener && !HasListener(Listener))
        FListeners.push_back(Listener);
}

void TApproximatorParamSet::RemoveListener(IApproximatorListener* Listener) {
    const auto It = std::find(FListeners.begin(), FListeners.end(), Listener);
    if (It != FListeners.end())
        FListeners.erase(It);
}

bool TApproximatorParamSet::HasListener(const IApproximatorListener* Listener) const {
    return std::find(FListeners.begin(), FListeners.end(), Listener) != FListeners.end();
}

void TApproximatorParamSet::CopyListenersFrom(const TApproximatorParamSet& Other) {
    for (IApproximatorListener* Listener : Other.FListeners)
        AddListener(Listener);
    NotifyListeners();
}

void TApproximatorParamSet::NotifyListeners() {
    // A listener may leave the list while being told; those that left are not called.
    const std::vector<IApproximatorListener*> Snapshot = FListeners;
    for (IApproximatorListener* Listener : Snapshot)
        if (HasListener(Listener))
            Listener->ApproximatorParamsChanged(*this);
}

// --- TNonParametricParamSet

TNonParametricParamSet::TNonParametricParamSet(
    std::unique_ptr<TNonParametricCurveApproximator> Approximator)
    : TApproximatorParamSet(std::move(Approximator)) {
    if (Points().Count() > 0) {
        SetStartX(Points().First().X);
        SetEndX(Points().Last().X);
    }
}

TNonParametricCurveApproximator& TNonParametricParamSet::NonParametric() const {
    return static_cast<TNonParametricCurveApproximator&>(Approximator());
}

bool TNonParametricParamSet::IsComplete() const {
    return TApproximatorParamSet::IsComplete() && FHasStartX && FHasEndX;
}

double TNonParametricParamSet::StartX() const {
    if (!FHasStartX)
        NotSet("StartX");
    return FStartX;
}

double TNonParametricParamSet::EndX() const {
    if (!FHasEndX)
        NotSet("EndX");
    return FEndX;
}

void TNonParametricParamSet::SetStartX(double Value) {
    CheckValue(Value, "StartX");
    if (Points().Count() == 0) {
        ClearStartX();
        return;
    }
    const double First = Points().First().X;
    const double Last = Points().Last().X;
    const double X = NonParametric().IsAscending() ? std::min(Last, std::max(First, Value))
                                                   : std::max(Last, std::min(First, Value));
    if (!FHasStartX || FStartX != X) {
        FStartX = X;
        FHasStartX = true;
        NotifyListeners();
    }
    if (FHasEndX)
        SetEndX(FEndX);
}

void TNonParametricParamSet::SetEndX(double Value) {
    CheckValue(Value, "EndX");
    if (Points().Count() == 0) {
        ClearEndX();
        return;
    }
    const double A = FHasStartX ? FStartX : Points().First().X;
    const double Last = Points().Last().X;
    const double X = NonParametric().IsAscending() ? std::max(A, std::min(Last, Value))
                                                   : std::min(A, std::max(Last, Value));
    if (!FHasEndX || FEndX != X) {
        FEndX = X;
        FHasEndX = true;
        NotifyListeners();
    }
}

void TNonParametricParamSet::ClearStartX() {
    if (FHasStartX) {
        FHasStartX = false;
        NotifyListeners();
    }
}

void TNonParametricParamSet::ClearEndX() {
    if (FHasEndX) {
        FHasEndX = false;
        NotifyListeners();
    }
}

void TNonParametricParamSet::Reclamp() {
    if (FHasStartX)
        SetStartX(FStartX);
    if (FHasEndX)
        SetEndX(FEndX);
}

void TNonParametricParamSet::ResetStart() {
    if (Points().Count() > 0)
        SetStartX(Points().First().X);
    else
        ClearStartX();
}

void TNonParametricParamSet::ResetEnd() {
    if (Points().Count() > 0)
        SetEndX(Points().Last().X);
    else
        ClearEndX();
}

void TNonParametricParamSet::Assign(const TPersistent& Source) {
    if (const auto* Other = dynamic_cast<const TNonParametricParamSet*>(&Source)) {
        if (Other->FHasStartX)
            SetStartX(Other->FStartX);
        else
            ClearStartX();
        if (Other->FHasEndX)
            SetEndX(Other->FEndX);
        else
            ClearEndX();
        return;
    }
    if (dynamic_cast<const TApproximatorParamSet*>(&Source))
        return; // a set of another family has nothing this one can use
    TApproximatorParamSet::Assign(Source);
}

void TNonParametricParamSet::SaveToStream(TStream& Stream) const {
    TApproximatorParamSet::SaveToStream(Stream);
    WriteOptional(Stream, FHasStartX, FStartX);
    WriteOptional(Stream, FHasEndX, FEndX);
}

void TNonParametricParamSet::ReadRange(TStream& Stream) {
    double Start = 0.0;
    double End = 0.0;
    const bool HasStart = ReadOptional(Stream, Start, "StartX");
    const bool HasEnd = ReadOptional(Stream, End, "EndX");
    FHasStartX = HasStart;
    FStartX = HasStart ? Start : 0.0;
    FHasEndX = HasEnd;
    FEndX = HasEnd ? End : 0.0;
}

void TNonParametricParamSet::LoadFromStream(TStream& Stream, const std::string& /*Version*/) {
    ReadRange(Stream);
    Reclamp();
}

// --- TFunctionalRawDataParamSet

TFunctionalRawDataParamSet::TFunctionalRawDataParamSet(
    std::unique_ptr<TFunctionalRawData> Approximator)
    : TNonParametricParamSet(std::move(Approximator)) {}

std::unique_ptr<TCurveIterator> TFunctionalRawDataParamSet::NewIterator() const {
    CheckComplete("TFunctionalRawDataParamSet.NewIterator");
    return std::make_unique<TFunctionalRawDataIterator>(NonParametric(), StartX(), EndX());
}

// --- TCubicSplineParamSet

TCubicSplineParamSet::TCubicSplineParamSet(std::unique_ptr<TCubicSpline> Approximator)
    : TNonParametricParamSet(std::move(Approximator)) {
    const std::int32_t N = Points().Count();
    SetIncrement(N > 0 ? (Points().Last().X - Points().First().X) / 20.0 : 1.0);
}

bool TCubicSplineParamSet::IsComplete() const {
    return TNonParametricParamSet::IsComplete() && FHasIncrement;
}

std::unique_ptr<TCurveIterator> TCubicSplineParamSet::NewIterator() const {
    CheckComplete("TCubicSplineParamSet.NewIterator");
    return std::make_unique<TCubicSplineIterator>(static_cast<TCubicSpline&>(Approximator()),
                                                  StartX(), EndX(), Increment());
}

double TCubicSplineParamSet::Increment() const {
    if (!FHasIncrement)
        NotSet("Increment");
    return FIncrement;
}

double TCubicSplineParamSet::MinimumIncrement() const {
    const std::int32_t N = Points().Count();
    if (N == 0)
        return 1.0;
    return (Points().Last().X - Points().First().X) / N / 50.0;
}

void TCubicSplineParamSet::SetIncrement(double Value) {
    CheckValue(Value, "Increment");
    if (Points().Count() == 0) {
        ClearIncrement();
        return;
    }
    const bool Ascending = NonParametric().IsAscending();
    if ((Ascending && Value < 0.0) || (!Ascending && Value > 0.0))
        Value = -Value;
    // The minimum carries the direction's sign. It is 0 only when the first and last X are
    // equal; the iterator then yields the start alone.
    const double Minimum = MinimumIncrement();
    if (std::fabs(Value) < std::fabs(Minimum))
        Value = Minimum;
    if (!FHasIncrement || FIncrement != Value) {
        FIncrement = Value;
        FHasIncrement = true;
        NotifyListeners();
    }
}

void TCubicSplineParamSet::ClearIncrement() {
    if (FHasIncrement) {
        FHasIncrement = false;
        NotifyListeners();
    }
}

void TCubicSplineParamSet::Assign(const TPersistent& Source) {
    TNonParametricParamSet::Assign(Source);
    if (const auto* Other = dynamic_cast<const TCubicSplineParamSet*>(&Source)) {
        if (Other->FHasIncrement)
            SetIncrement(Other->FIncrement);
        else
            ClearIncrement();
    }
}

void TCubicSplineParamSet::SaveToStream(TStream& Stream) const {
    TNonParametricParamSet::SaveToStream(Stream);
    WriteOptional(Stream, FHasIncrement, FIncrement);
}

void TCubicSplineParamSet::LoadFromStream(TStream& Stream, const std::string& /*Version*/) {
    ReadRange(Stream);
    double Increment = 0.0;
    FHasIncrement = ReadOptional(Stream, Increment, "Increment");
    FIncrement = FHasIncrement ? Increment : 0.0;
    Reclamp();
    // A stored increment went through SetIncrement over these same points, so this changes
    // nothing in a sound file; in a damaged one it keeps a tiny or wrongly signed increment
    // from making the output endless.
    if (FHasIncrement)
        SetIncrement(FIncrement);
}

// --- TParametricParamSet

TParametricParamSet::TParametricParamSet(std::unique_ptr<TParametricCurveApproximator> Approximator)
    : TApproximatorParamSet(std::move(Approximator)) {
    const std::int32_t N = Points().Count();
    if (N > 0) {
        SetStartS(Parametric().ArcLength(0));
        SetEndS(Parametric().ArcLength(N - 1));
    }
}

TParametricCurveApproximator& TParametricParamSet::Parametric() const {
    return static_cast<TParametricCurveApproximator&>(Approximator());
}

bool TParametricParamSet::IsComplete() const {
    return TApproximatorParamSet::IsComplete() && FHasStartS && FHasEndS;
}

double TParametricParamSet::StartS() const {
    if (!FHasStartS)
        NotSet("StartS");
    return FStartS;
}

double TParametricParamSet::EndS() const {
    if (!FHasEndS)
        NotSet("EndS");
    return FEndS;
}

void TParametricParamSet::SetStartS(double Value) {
    CheckValue(Value, "StartS");
    const std::int32_t N = Points().Count();
    if (N == 0) {
        ClearStartS();
        return;
    }
    const double S =
        std::min(Parametric().ArcLength(N - 1), std::max(Parametric().ArcLength(0), Value));
    if (!FHasStartS || FStartS != S) {
        FStartS = S;
        FHasStartS = true;
        NotifyListeners();
    }
}

void TParametricParamSet::SetEndS(double Value) {
    CheckValue(Value, "EndS");
    const std::int32_t N = Points().Count();
    if (N == 0) {
        ClearEndS();
        return;
    }
    double S = std::min(Parametric().ArcLength(N - 1), Value);
    // Without a start the end is still kept at or after the first arc length, so that no
    // setter stores a value outside the data.
    S = std::max(FHasStartS ? FStartS : Parametric().ArcLength(0), S);
    if (!FHasEndS || FEndS != S) {
        FEndS = S;
        FHasEndS = true;
        NotifyListeners();
    }
}

void TParametricParamSet::ClearStartS() {
    if (FHasStartS) {
        FHasStartS = false;
        NotifyListeners();
    }
}

void TParametricParamSet::ClearEndS() {
    if (FHasEndS) {
        FHasEndS = false;
        NotifyListeners();
    }
}

void TParametricParamSet::Reclamp() {
    if (FHasStartS)
        SetStartS(FStartS);
    if (FHasEndS)
        SetEndS(FEndS);
}

void TParametricParamSet::ResetStart() {
    if (Points().Count() > 0)
        SetStartS(Parametric().ArcLength(0));
    else
        ClearStartS();
}

void TParametricParamSet::ResetEnd() {
    const std::int32_t N = Points().Count();
    if (N > 0)
        SetEndS(Parametric().ArcLength(N - 1));
    else
        ClearEndS();
}

void TParametricParamSet::Assign(const TPersistent& Source) {
    if (const auto* Other = dynamic_cast<const TParametricParamSet*>(&Source)) {
        if (Other->FHasStartS)
            SetStartS(Other->FStartS);
        else
            ClearStartS();
        if (Other->FHasEndS)
            SetEndS(Other->FEndS);
        else
            ClearEndS();
        return;
    }
    if (dynamic_cast<const TApproximatorParamSet*>(&Source))
        return;
    TApproximatorParamSet::Assign(Source);
}

void TParametricParamSet::SaveToStream(TStream& Stream) const {
    TApproximatorParamSet::SaveToStream(Stream);
    WriteOptional(Stream, FHasStartS, FStartS);
    WriteOptional(Stream, FHasEndS, FEndS);
}

void TParametricParamSet::ReadRange(TStream& Stream) {
    double Start = 0.0;
    double End = 0.0;
    const bool HasStart = ReadOptional(Stream, Start, "StartS");
    const bool HasEnd = ReadOptional(Stream, End, "EndS");
    FHasStartS = HasStart;
    FStartS = HasStart ? Start : 0.0;
    FHasEndS = HasEnd;
    FEndS = HasEnd ? End : 0.0;
}

void TParametricParamSet::LoadFromStream(TStream& Stream, const std::string& /*Version*/) {
    ReadRange(Stream);
    Reclamp();
}

// --- TNonfunctionalRawDataParamSet

TNonfunctionalRawDataParamSet::TNonfunctionalRawDataParamSet(
    std::unique_ptr<TNonfunctionalRawData> Approximator)
    : TParametricParamSet(std::move(Approximator)) {}

std::unique_ptr<TCurveIterator> TNonfunctionalRawDataParamSet::NewIterator() const {
    CheckComplete("TNonfunctionalRawDataParamSet.NewIterator");
    return std::make_unique<TNonfunctionalRawDataIterator>(Parametric(), StartS(), EndS());
}

// --- TParametricCubicSplineParamSet

TParametricCubicSplineParamSet::TParametricCubicSplineParamSet(
    std::unique_ptr<TParametricCubicSpline> Approximator)
    : TParametricParamSet(std::move(Approximator)) {
    const std::int32_t N = Points().Count();
    SetIncrement(N > 0 ? (Parametric().ArcLength(N - 1) - Parametric().ArcLength(0)) / 20.0 : 1.0);
}

bool TParametricCubicSplineParamSet::IsComplete() const {
    return TParametricParamSet::IsComplete() && FHasIncrement;
}

std::unique_ptr<TCurveIterator> TParametricCubicSplineParamSet::NewIterator() const {
    CheckComplete("TParametricCubicSplineParamSet.NewIterator");
    return std::make_unique<TParametricCubicSplineIterator>(
        static_cast<TParametricCubicSpline&>(Approximator()), StartS(), EndS(), Increment());
}

double TParametricCubicSplineParamSet::Increment() const {
    if (!FHasIncrement)
        NotSet("Increment");
    return FIncrement;
}

double TParametricCubicSplineParamSet::MinimumIncrement() const {
    const std::int32_t N = Points().Count();
    if (N == 0)
        return 1.0;
    return Parametric().ArcLength(N - 1) / N / 50.0;
}

void TParametricCubicSplineParamSet::SetIncrement(double Value) {
    CheckValue(Value, "Increment");
    if (Points().Count() == 0) {
        ClearIncrement();
        return;
    }
    Value = std::fabs(Value);
    // The minimum is 0 only when all points coincide; the iterator then yields the start
    // alone.
    const double Minimum = MinimumIncrement();
    if (Value < Minimum)
        Value = Minimum;
    if (!FHasIncrement || FIncrement != Value) {
        FIncrement = Value;
        FHasIncrement = true;
        NotifyListeners();
    }
}

void TParametricCubicSplineParamSet::ClearIncrement() {
    if (FHasIncrement) {
        FHasIncrement = false;
        NotifyListeners();
    }
}

void TParametricCubicSplineParamSet::Assign(const TPersistent& Source) {
    TParametricParamSet::Assign(Source);
    if (const auto* Other = dynamic_cast<const TParametricCubicSplineParamSet*>(&Source)) {
        if (Other->FHasIncrement)
            SetIncrement(Other->FIncrement);
        else
            ClearIncrement();
    }
}

void TParametricCubicSplineParamSet::SaveToStream(TStream& Stream) const {
    TParametricParamSet::SaveToStream(Stream);
    WriteOptional(Stream, FHasIncrement, FIncrement);
}

void TParametricCubicSplineParamSet::LoadFromStream(TStream& Stream,
                                                    const std::string& /*Version*/) {
    ReadRange(Stream);
    double Increment = 0.0;
    FHasIncrement = ReadOptional(Stream, Increment, "Increment");
    FIncrement = FHasIncrement ? Increment : 0.0;
    Reclamp();
    if (FHasIncrement)
        SetIncrement(FIncrement); // see TCubicSplineParamSet::LoadFromStream
}

// --- TScatterRawDataParamSet

TScatterRawDataParamSet::TScatterRawDataParamSet(std::unique_ptr<TScatterRawData> Approximator)
    : TScatterParamSet(std::move(Approximator)) {}

std::int32_t TScatterRawDataParamSet::PointCount() const {
    return Points().Count();
}

std::unique_ptr<TCurveIterator> TScatterRawDataParamSet::NewIterator() const {
    CheckComplete("TScatterRawDataParamSet.NewIterator");
    return std::make_unique<TScatterRawDataIterator>(Approximator());
}

void TScatterRawDataParamSet::Assign(const TPersistent& Source) {
    if (dynamic_cast<const TScatterRawDataParamSet*>(&Source))
        return;
    TScatterParamSet::Assign(Source);
}

// --- CreateParamSet

std::unique_ptr<TApproximatorParamSet> CreateParamSet(const TApproximatorClassInfo& Class,
                                                      const TDoublePointArray& Points) {
    const std::string& Name = Class.ClassName;
    if (Name == TCubicSpline::Class().ClassName)
        return std::make_unique<TCubicSplineParamSet>(std::make_unique<TCubicSpline>(Points));
    if (Name == TParametricCubicSpline::Class().ClassName)
        return std::make_unique<TParametricCubicSplineParamSet>(
            std::make_unique<TParametricCubicSpline>(Points));
    if (Name == TFunctionalRawData::Class().ClassName)
        return std::make_unique<TFunctionalRawDataParamSet>(
            std::make_unique<TFunctionalRawData>(Points));
    if (Name == TNonfunctionalRawData::Class().ClassName)
        return std::make_unique<TNonfunctionalRawDataParamSet>(
            std::make_unique<TNonfunctionalRawData>(Points));
    if (Name == TScatterRawData::Class().ClassName)
        return std::make_unique<TScatterRawDataParamSet>(std::make_unique<TScatterRawData>(Points));
    throw EParamSetError("Cannot create param set for curve approximator class '" + Name + "'");
}

std::unique_ptr<TApproximatorParamSet> CreateParamSet(const std::string& ClassName,
                                                      const TDoublePointArray& Points) {
    return CreateParamSet(FindApproximatorClass(ClassName), Points);
}

} // namespace korvane
