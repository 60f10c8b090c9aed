#include "output/ApproximatorParams.h"

#include "core/Streams.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace korvane {

// --- TOptionalParam

double TOptionalParam::Value() const {
    if (!FIsSet)
        throw EParamSetError(std::string(FName) + " is not set.");
    return FValue;
}

void TOptionalParam::Check(double Value) const {
    if (!std::isfinite(Value))
        throw EParamSetError(std::string(FName) + " must be a finite number.");
}

bool TOptionalParam::Set(double Value) {
    if (FIsSet && FValue == Value)
        return false;
    FValue = Value;
    FIsSet = true;
    return true;
}

bool TOptionalParam::Clear() {
    if (!FIsSet)
        return false;
    FIsSet = false;
    return true;
}

void TOptionalParam::Write(TStream& Stream) const {
    WriteBool(Stream, FIsSet);
    if (FIsSet)
        WriteDouble(Stream, FValue);
}

void TOptionalParam::Read(TStream& Stream) {
    if (!ReadBool(Stream)) {
        FIsSet = false;
        FValue = 0.0;
        return;
    }
    const double Value = ReadDouble(Stream);
    if (!std::isfinite(Value))
        throw EReadError(std::string("Invalid ") + FName + " in stream.");
    FIsSet = true;
    FValue = Value;
}

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

// --- TRangeParamSet

TRangeParamSet::TRangeParamSet(std::unique_ptr<TCurveApproximator> Approximator,
                               const char* StartName, const char* EndName)
    : TApproximatorParamSet(std::move(Approximator)), FStart(StartName), FEnd(EndName) {}

bool TRangeParamSet::IsComplete() const {
    return TApproximatorParamSet::IsComplete() && FStart.IsSet() && FEnd.IsSet();
}

void TRangeParamSet::SetStart(double Value) {
    FStart.Check(Value);
    if (Points().Count() == 0) {
        ClearStart();
        return;
    }
    const TDataRange Data = DataRange();
    const double Start = Data.Ascending ? std::min(Data.Last, std::max(Data.First, Value))
                                        : std::max(Data.Last, std::min(Data.First, Value));
    if (FStart.Set(Start))
        NotifyListeners();
}

void TRangeParamSet::SetEnd(double Value) {
    FEnd.Check(Value);
    if (Points().Count() == 0) {
        ClearEnd();
        return;
    }
    // Without a start the end is still kept at or after the first value, so that no setter
    // stores a value outside the data.
    const TDataRange Data = DataRange();
    const double From = FStart.IsSet() ? FStart.Value() : Data.First;
    const double End = Data.Ascending ? std::max(From, std::min(Data.Last, Value))
                                      : std::min(From, std::max(Data.Last, Value));
    if (FEnd.Set(End))
        NotifyListeners();
}

void TRangeParamSet::ClearStart() {
    if (FStart.Clear())
        NotifyListeners();
}

void TRangeParamSet::ClearEnd() {
    if (FEnd.Clear())
        NotifyListeners();
}

void TRangeParamSet::Reclamp() {
    if (FStart.IsSet())
        SetStart(FStart.Value());
    if (FEnd.IsSet())
        SetEnd(FEnd.Value());
}

void TRangeParamSet::ResetStart() {
    if (Points().Count() > 0)
        SetStart(DataRange().First);
    else
        ClearStart();
}

void TRangeParamSet::ResetEnd() {
    if (Points().Count() > 0)
        SetEnd(DataRange().Last);
    else
        ClearEnd();
}

void TRangeParamSet::Assign(const TPersistent& Source) {
    const auto* Other = dynamic_cast<const TRangeParamSet*>(&Source);
    if (Other && IsSameFamily(*Other)) {
        if (Other->HasStart())
            SetStart(Other->Start());
        else
            ClearStart();
        if (Other->HasEnd())
            SetEnd(Other->End());
        else
            ClearEnd();
        return;
    }
    if (dynamic_cast<const TApproximatorParamSet*>(&Source))
        return; // a set of another family has nothing this one can use
    TApproximatorParamSet::Assign(Source);
}

void TRangeParamSet::SaveToStream(TStream& Stream) const {
    TApproximatorParamSet::SaveToStream(Stream);
    FStart.Write(Stream);
    FEnd.Write(Stream);
}

void TRangeParamSet::ReadRange(TStream& Stream) {
    TOptionalParam Start = FStart;
    TOptionalParam End = FEnd;
    Start.Read(Stream);
    End.Read(Stream);
    FStart = Start;
    FEnd = End;
}

void TRangeParamSet::LoadFromStream(TStream& Stream, const std::string& /*Version*/) {
    ReadRange(Stream);
    Reclamp();
}

// --- TNonParametricParamSet

TNonParametricParamSet::TNonParametricParamSet(
    std::unique_ptr<TNonParametricCurveApproximator> Approximator)
    : TRangeParamSet(std::move(Approximator), "StartX", "EndX") {
    ResetRange();
}

TNonParametricCurveApproximator& TNonParametricParamSet::NonParametric() const {
    return static_cast<TNonParametricCurveApproximator&>(Approximator());
}

void TNonParametricParamSet::SetStart(double Value) {
    TRangeParamSet::SetStart(Value);
    // With points, the end follows the start.
    if (Points().Count() > 0 && HasEnd())
        SetEnd(End());
}

TRangeParamSet::TDataRange TNonParametricParamSet::DataRange() const {
    return {Points().First().X, Points().Last().X, NonParametric().IsAscending()};
}

bool TNonParametricParamSet::IsSameFamily(const TRangeParamSet& Other) const {
    return dynamic_cast<const TNonParametricParamSet*>(&Other) != nullptr;
}

// --- TFunctionalRawDataParamSet

TFunctionalRawDataParamSet::TFunctionalRawDataParamSet(
    std::unique_ptr<TFunctionalRawData> Approximator)
    : TNonParametricParamSet(std::move(Approximator)) {}

std::unique_ptr<TCurveIterator> TFunctionalRawDataParamSet::NewIterator() const {
    CheckComplete("TFunctionalRawDataParamSet.NewIterator");
    return std::make_unique<TFunctionalRawDataIterator>(NonParametric(), StartX(), EndX());
}

// --- TSteppedParamSet

template <class TRangeSet> bool TSteppedParamSet<TRangeSet>::IsComplete() const {
    return TRangeSet::IsComplete() && FIncrement.IsSet();
}

template <class TRangeSet> double TSteppedParamSet<TRangeSet>::DefaultIncrement() const {
    if (this->Points().Count() == 0)
        return 1.0;
    const typename TRangeSet::TDataRange Data = this->DataRange();
    return (Data.Last - Data.First) / 20.0;
}

template <class TRangeSet> void TSteppedParamSet<TRangeSet>::SetIncrement(double Value) {
    FIncrement.Check(Value);
    if (this->Points().Count() == 0)
        ClearIncrement();
    else if (FIncrement.Set(FitIncrement(Value)))
        this->NotifyListeners();
}

template <class TRangeSet> void TSteppedParamSet<TRangeSet>::ClearIncrement() {
    if (FIncrement.Clear())
        this->NotifyListeners();
}

template <class TRangeSet> void TSteppedParamSet<TRangeSet>::Assign(const TPersistent& Source) {
    TRangeSet::Assign(Source);
    if (const auto* Other = dynamic_cast<const TSteppedParamSet*>(&Source)) {
        if (Other->HasIncrement())
            SetIncrement(Other->Increment());
        else
            ClearIncrement();
    }
}

template <class TRangeSet> void TSteppedParamSet<TRangeSet>::SaveToStream(TStream& Stream) const {
    TRangeSet::SaveToStream(Stream);
    FIncrement.Write(Stream);
}

template <class TRangeSet>
void TSteppedParamSet<TRangeSet>::LoadFromStream(TStream& Stream, const std::string& /*Version*/) {
    this->ReadRange(Stream);
    FIncrement.Read(Stream);
    this->Reclamp();
    // A stored increment went through SetIncrement over these same points, so this changes
    // nothing in a sound file; in a damaged one it keeps a tiny or wrongly signed increment
    // from making the output endless.
    if (FIncrement.IsSet())
        SetIncrement(FIncrement.Value());
}

template class TSteppedParamSet<TNonParametricParamSet>;
template class TSteppedParamSet<TParametricParamSet>;

// --- TCubicSplineParamSet

TCubicSplineParamSet::TCubicSplineParamSet(std::unique_ptr<TCubicSpline> Approximator)
    : TSteppedParamSet(std::move(Approximator)) {
    SetIncrement(DefaultIncrement());
}

std::unique_ptr<TCurveIterator> TCubicSplineParamSet::NewIterator() const {
    CheckComplete("TCubicSplineParamSet.NewIterator");
    return std::make_unique<TCubicSplineIterator>(static_cast<TCubicSpline&>(Approximator()),
                                                  StartX(), EndX(), Increment());
}

double TCubicSplineParamSet::MinimumIncrement() const {
    const std::int32_t N = Points().Count();
    if (N == 0)
        return 1.0;
    return (Points().Last().X - Points().First().X) / N / 50.0;
}

double TCubicSplineParamSet::FitIncrement(double Value) const {
    const bool Ascending = NonParametric().IsAscending();
    if ((Ascending && Value < 0.0) || (!Ascending && Value > 0.0))
        Value = -Value;
    // The minimum carries the direction's sign. It is 0 only when the first and last X are
    // equal; the iterator then yields the start alone.
    const double Minimum = MinimumIncrement();
    return std::fabs(Value) < std::fabs(Minimum) ? Minimum : Value;
}

// --- TParametricParamSet

TParametricParamSet::TParametricParamSet(std::unique_ptr<TParametricCurveApproximator> Approximator)
    : TRangeParamSet(std::move(Approximator), "StartS", "EndS") {
    ResetRange();
}

TParametricCurveApproximator& TParametricParamSet::Parametric() const {
    return static_cast<TParametricCurveApproximator&>(Approximator());
}

TRangeParamSet::TDataRange TParametricParamSet::DataRange() const {
    return {Parametric().ArcLength(0), Parametric().ArcLength(Points().Count() - 1), true};
}

bool TParametricParamSet::IsSameFamily(const TRangeParamSet& Other) const {
    return dynamic_cast<const TParametricParamSet*>(&Other) != nullptr;
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
    : TSteppedParamSet(std::move(Approximator)) {
    SetIncrement(DefaultIncrement());
}

std::unique_ptr<TCurveIterator> TParametricCubicSplineParamSet::NewIterator() const {
    CheckComplete("TParametricCubicSplineParamSet.NewIterator");
    return std::make_unique<TParametricCubicSplineIterator>(
        static_cast<TParametricCubicSpline&>(Approximator()), StartS(), EndS(), Increment());
}

double TParametricCubicSplineParamSet::MinimumIncrement() const {
    const std::int32_t N = Points().Count();
    if (N == 0)
        return 1.0;
    return Parametric().ArcLength(N - 1) / N / 50.0;
}

double TParametricCubicSplineParamSet::FitIncrement(double Value) const {
    Value = std::fabs(Value);
    // The minimum is 0 only when all points coincide; the iterator then yields the start
    // alone.
    const double Minimum = MinimumIncrement();
    return Value < Minimum ? Minimum : Value;
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
