#include "output/CurveApproximators.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

namespace korvane {

namespace {

// "%f" with two decimals, as the index errors show their argument.
std::string FormatFixed2(double Value) {
    char Buffer[64];
    const int Length = std::snprintf(Buffer, sizeof Buffer, "%.2f", Value);
    if (Length >= 0 && static_cast<std::size_t>(Length) < sizeof Buffer)
        return Buffer;
    std::string Text(static_cast<std::size_t>(Length) + 1, '\0');
    std::snprintf(Text.data(), Text.size(), "%.2f", Value);
    Text.resize(static_cast<std::size_t>(Length));
    return Text;
}

template <class T> TApproximatorClassInfo ConcreteClass(const char* Name, const char* Display) {
    return {Name, Display, [](const TDoublePointArray& Points) {
                return std::unique_ptr<TCurveApproximator>(std::make_unique<T>(Points));
            }};
}

TApproximatorClassInfo AbstractClass(const char* Name) {
    return {Name, "", nullptr};
}

struct TApproximatorRegistry {
    std::map<std::string, const TApproximatorClassInfo*> Classes;

    TApproximatorRegistry() {
        for (const TApproximatorClassInfo* Class :
             {&TCurveApproximator::Class(), &TNonParametricCurveApproximator::Class(),
              &TCubicSpline::Class(), &TFunctionalRawData::Class(),
              &TParametricCurveApproximator::Class(), &TNonfunctionalRawData::Class(),
              &TParametricCubicSpline::Class(), &TScatterApproximator::Class(),
              &TScatterRawData::Class()})
            Classes.emplace(Class->ClassName, Class);
    }
};

const TApproximatorRegistry& Registry() {
    static const TApproximatorRegistry Instance;
    return Instance;
}

} // namespace

// --- Class information and registry

std::unique_ptr<TCurveApproximator>
TApproximatorClassInfo::NewApproximator(const TDoublePointArray& Points) const {
    Assert(!IsAbstract(), "TApproximatorClassInfo.NewApproximator: abstract class");
    return Create(Points);
}

const TApproximatorClassInfo* GetApproximatorClass(const std::string& ClassName) {
    const auto& Classes = Registry().Classes;
    const auto It = Classes.find(ClassName);
    return It == Classes.end() ? nullptr : It->second;
}

const TApproximatorClassInfo& FindApproximatorClass(const std::string& ClassName) {
    if (const TApproximatorClassInfo* Class = GetApproximatorClass(ClassName))
        return *Class;
    throw EClassNotFound("Class " + ClassName + " not found.");
}

const TApproximatorClassInfo& TCurveApproximator::Class() {
    static const TApproximatorClassInfo Info = AbstractClass("TCurveApproximator");
    return Info;
}

const TApproximatorClassInfo& TNonParametricCurveApproximator::Class() {
    static const TApproximatorClassInfo Info = AbstractClass("TNonParametricCurveApproximator");
    return Info;
}

const TApproximatorClassInfo& TCubicSpline::Class() {
    static const TApproximatorClassInfo Info =
        ConcreteClass<TCubicSpline>("TCubicSpline", "Cubic spline");
    return Info;
}

const TApproximatorClassInfo& TFunctionalRawData::Class() {
    static const TApproximatorClassInfo Info =
        ConcreteClass<TFunctionalRawData>("TFunctionalRawData", "Actual digitized points");
    return Info;
}

const TApproximatorClassInfo& TParametricCurveApproximator::Class() {
    static const TApproximatorClassInfo Info = AbstractClass("TParametricCurveApproximator");
    return Info;
}

const TApproximatorClassInfo& TNonfunctionalRawData::Class() {
    static const TApproximatorClassInfo Info =
        ConcreteClass<TNonfunctionalRawData>("TNonfunctionalRawData", "Actual digitized points");
    return Info;
}

const TApproximatorClassInfo& TParametricCubicSpline::Class() {
    static const TApproximatorClassInfo Info =
        ConcreteClass<TParametricCubicSpline>("TParametricCubicSpline", "Cubic spline");
    return Info;
}

const TApproximatorClassInfo& TScatterApproximator::Class() {
    static const TApproximatorClassInfo Info = AbstractClass("TScatterApproximator");
    return Info;
}

const TApproximatorClassInfo& TScatterRawData::Class() {
    static const TApproximatorClassInfo Info =
        ConcreteClass<TScatterRawData>("TScatterRawData", "Scatter points");
    return Info;
}

// --- TNonParametricCurveApproximator

bool TNonParametricCurveApproximator::IsAscending() const {
    const std::int32_t N = Points().Count();
    if (N == 0)
        return false;
    const TDoublePoint* P = Points().Data();
    return P[0].X < P[N - 1].X;
}

void TNonParametricCurveApproximator::Recompute() {
    const std::int32_t N = Points().Count();
    FRunningExtreme.clear();
    if (N < 2)
        return;
    const TDoublePoint* P = Points().Data();
    FTableAscending = P[0].X < P[N - 1].X;
    FRunningExtreme.resize(static_cast<std::size_t>(N));
    FRunningExtreme[0] = P[0].X; // not used: the searches test x[0] on its own
    double Extreme = P[1].X;
    for (std::int32_t J = 1; J < N; ++J) {
        const double X = P[J].X;
        if (!std::isfinite(X)) {
            // Comparisons with such a value do not order; the searches scan instead.
            FRunningExtreme.clear();
            return;
        }
        Extreme = FTableAscending ? std::max(Extreme, X) : std::min(Extreme, X);
        FRunningExtreme[static_cast<std::size_t>(J)] = Extreme;
    }
}

bool TNonParametricCurveApproximator::SearchTableUsable() const {
    const std::int32_t N = Points().Count();
    return N >= 2 && FRunningExtreme.size() == static_cast<std::size_t>(N) &&
           FTableAscending == IsAscending();
}

std::int32_t TNonParametricCurveApproximator::IndexOfNearestL(double X) const {
    const std::int32_t N = Points().Count();
    const TDoublePoint* P = Points().Data();
    const bool Ascending = IsAscending();
    // Whether point I is not before X in the data's direction.
    const auto Reached = [&](double V) { return Ascending ? V >= X : V <= X; };
    std::int32_t Result = N;
    if (N > 0 && Reached(P[0].X)) {
        Result = 0;
    } else if (N > 1) {
        bool Scan = true;
        if (SearchTableUsable()) {
            // The running extreme of x[1..j] reaches X exactly at the first j whose own X does.
            const auto Begin = FRunningExtreme.begin() + 1;
            const auto It = std::partition_point(Begin, FRunningExtreme.end(),
                                                 [&](double E) { return !Reached(E); });
            Result = static_cast<std::int32_t>(It - FRunningExtreme.begin());
            // Points moved since the table was built show up here; then scan.
            Scan = !((Result == N || Reached(P[Result].X)) &&
                     (Result == 1 || !Reached(P[Result - 1].X)));
        }
        if (Scan) {
            Result = 1;
            while (Result < N && !Reached(P[Result].X))
                ++Result;
        }
    }
    if (Result >= N)
        throw ECurveApproximator("TNonParametricCurveApproximator.IndexOfNearestL: Invalid X: " +
                                 FormatFixed2(X));
    return Result;
}

std::int32_t TNonParametricCurveApproximator::IndexOfNearestR(double X) const {
    const std::int32_t N = Points().Count();
    if (N == 0)
        throw ECurveApproximator("TNonParametricCurveApproximator.IndexOfNearestR: Invalid X: " +
                                 FormatFixed2(X));
    const TDoublePoint* P = Points().Data();
    const bool Ascending = IsAscending();
    // Whether X lies strictly beyond V in the data's direction.
    const auto Beyond = [&](double V) { return Ascending ? X > V : X < V; };
    if (SearchTableUsable()) {
        // X lies beyond every x[1..j] exactly while it lies beyond their running extreme.
        const auto Begin = FRunningExtreme.begin() + 1;
        const auto It = std::partition_point(Begin, FRunningExtreme.end(), Beyond);
        const std::int32_t J = static_cast<std::int32_t>(It - FRunningExtreme.begin());
        // J is the first index >= 1 that X is not beyond (N if none); check it against the
        // live points in case they moved since the table was built.
        if ((J == N || !Beyond(P[J].X)) && (J == 1 || Beyond(P[J - 1].X)))
            return J - 1;
    }
    std::int32_t I = 0;
    while (I < N - 1 && Beyond(P[I + 1].X))
        ++I;
    return I;
}

// --- TCubicSpline

namespace {

// Natural spline through points A..B (indices into the arrays), all intervals non-zero and of
// one sign. Second derivatives at A and B stay 0. D and R are scratch of the full length.
void SolvePiece(const TDoublePoint* P, const double* H, double* Y2, double* D, double* R,
                std::int32_t A, std::int32_t B) {
    if (B - A < 2)
        return;
    for (std::int32_t K = A + 1; K <= B - 1; ++K) {
        D[K] = 2.0 * (P[K + 1].X - P[K - 1].X);
        R[K] = 6.0 * ((P[K + 1].Y - P[K].Y) / H[K] - (P[K].Y - P[K - 1].Y) / H[K - 1]);
    }
    for (std::int32_t K = A + 2; K <= B - 1; ++K) {
        const double M = H[K - 1] / D[K - 1];
        R[K] = R[K] - R[K - 1] * M;
        D[K] = D[K] - H[K - 1] * M;
    }
    for (std::int32_t K = B - 1; K >= A + 1; --K)
        Y2[K] = (R[K] - H[K] * Y2[K + 1]) / D[K];
}

} // namespace

void TCubicSpline::Recompute() {
    TNonParametricCurveApproximator::Recompute();
    const std::int32_t N = Points().Count();
    const std::size_t Size = static_cast<std::size_t>(N);
    FIntervals.assign(Size, 0.0);
    FSecondDerivatives.assign(Size, 0.0);
    if (N <= 0)
        return;
    const TDoublePoint* P = Points().Data();
    double* H = FIntervals.data();
    for (std::int32_t K = 0; K + 1 < N; ++K)
        H[K] = P[K + 1].X - P[K].X;
    std::vector<double> D(Size, 0.0);
    std::vector<double> R(Size, 0.0);
    // A zero-width interval, or one that turns back against the interval before it, ends
    // one piece and starts the next. Within a piece all widths have one sign, so every pivot
    // of the elimination is at least as large as the widths around it and never zero.
    std::int32_t A = 0;
    while (A < N - 1) {
        if (H[A] == 0.0) {
            ++A;
            continue;
        }
        const bool Positive = H[A] > 0.0;
        std::int32_t B = A + 1;
        while (B < N - 1 && H[B] != 0.0 && (H[B] > 0.0) == Positive)
            ++B;
        SolvePiece(P, H, FSecondDerivatives.data(), D.data(), R.data(), A, B);
        A = B;
    }
}

double TCubicSpline::Evaluate(double X) {
    const std::int32_t N = Points().Count();
    if (FIntervals.size() != static_cast<std::size_t>(N))
        Recompute();
    std::int32_t I = IndexOfNearestR(X); // raises without points
    const TDoublePoint* P = Points().Data();
    if (N == 1)
        return P[0].Y;
    // Beyond the last point the last interval extrapolates.
    I = std::min(I, N - 2);
    const double H = FIntervals[static_cast<std::size_t>(I)];
    double Y;
    if (H == 0.0) {
        const bool PastEnd = IsAscending() ? X > P[I + 1].X : X < P[I + 1].X;
        Y = PastEnd ? P[I + 1].Y : P[I].Y;
    } else {
        const double T = (X - P[I].X) / H;
        const double U = 1.0 - T;
        const double* Y2 = FSecondDerivatives.data();
        Y = H * H * (1.0 / 6.0) * ((T * T * T - T) * Y2[I + 1] + (U * U * U - U) * Y2[I]) +
            T * P[I + 1].Y + U * P[I].Y;
    }
    if (!std::isfinite(Y))
        throw ECurveApproximator("TCubicSpline.Evaluate: no finite value at X = " +
                                 FormatFixed2(X));
    return Y;
}

// --- TFunctionalRawData

double TFunctionalRawData::Evaluate(double X) {
    return Points()[IndexOfNearestR(X)].Y;
}

// --- TParametricCurveApproximator

void TParametricCurveApproximator::Recompute() {
    const std::int32_t N = Points().Count();
    FArcLengths.resize(static_cast<std::size_t>(N));
    if (N == 0)
        return;
    const TDoublePoint* P = Points().Data();
    double Sum = 0.0;
    TDoublePoint Previous = P[0];
    for (std::int32_t I = 0; I < N; ++I) {
        Sum += DoublePointDistance(P[I], Previous);
        FArcLengths[static_cast<std::size_t>(I)] = Sum;
        Previous = P[I];
    }
}

bool TParametricCurveApproximator::NeedsRecompute() const {
    return FArcLengths.size() != static_cast<std::size_t>(Points().Count());
}

void TParametricCurveApproximator::RecomputeIfStale() {
    if (NeedsRecompute())
        Recompute(); // the object's own, so a parametric spline rebuilds its splines too
}

double TParametricCurveApproximator::ArcLength(std::int32_t Index) {
    RecomputeIfStale();
    if (Index < 0 || static_cast<std::size_t>(Index) >= FArcLengths.size())
        throw EListError("TParametricCurveApproximator.ArcLength: Index out of bounds.");
    return FArcLengths[static_cast<std::size_t>(Index)];
}

// The arc lengths never decrease, so the scans of the definitions are bisections here.
std::int32_t TParametricCurveApproximator::IndexOfNearestLT(double S) {
    RecomputeIfStale();
    const auto It = std::partition_point(FArcLengths.begin(), FArcLengths.end(),
                                         [S](double V) { return !(V >= S); });
    if (It == FArcLengths.end())
        throw ECurveApproximator("TParametricCurveApproximator.IndexOfNearestLT: Invalid S: " +
                                 FormatFixed2(S));
    return static_cast<std::int32_t>(It - FArcLengths.begin());
}

std::int32_t TParametricCurveApproximator::IndexOfNearestGT(double S) {
    RecomputeIfStale();
    if (FArcLengths.empty())
        throw ECurveApproximator("TParametricCurveApproximator.IndexOfNearestGT: Invalid S: " +
                                 FormatFixed2(S));
    const auto It = std::partition_point(FArcLengths.begin() + 1, FArcLengths.end(),
                                         [S](double V) { return S >= V; });
    return static_cast<std::int32_t>(It - FArcLengths.begin()) - 1;
}

// --- TParametricCubicSpline

TParametricCubicSpline::TParametricCubicSpline(const TDoublePointArray& Points)
    : TParametricCurveApproximator(Points), FXOfS(std::make_unique<TDoublePointArray>(50)),
      FYOfS(std::make_unique<TDoublePointArray>(50)) {}

TParametricCubicSpline::~TParametricCubicSpline() = default;

void TParametricCubicSpline::Recompute() {
    TParametricCurveApproximator::Recompute();
    FSplineX.reset();
    FSplineY.reset();
    const std::int32_t N = Points().Count();
    const std::int32_t Step = std::max<std::int32_t>(N, 50);
    auto XOfS = std::make_unique<TDoublePointArray>(Step);
    auto YOfS = std::make_unique<TDoublePointArray>(Step);
    const TDoublePoint* P = Points().Data();
    const std::vector<double>& S = ArcLengths();
    for (std::int32_t I = 0; I < N; ++I) {
        XOfS->Add({S[static_cast<std::size_t>(I)], P[I].X});
        YOfS->Add({S[static_cast<std::size_t>(I)], P[I].Y});
    }
    FXOfS = std::move(XOfS);
    FYOfS = std::move(YOfS);
    FSplineX = std::make_unique<TCubicSpline>(*FXOfS);
    FSplineY = std::make_unique<TCubicSpline>(*FYOfS);
    FSplineX->Recompute();
    FSplineY->Recompute();
}

TDoublePoint TParametricCubicSpline::EvaluateAt(double S) {
    if (NeedsRecompute() || !FSplineX)
        Recompute();
    return {FSplineX->Evaluate(S), FSplineY->Evaluate(S)};
}

// --- TCurveApproximatorList

std::int32_t TCurveApproximatorList::Add(const TApproximatorClassInfo& Class) {
    FItems.push_back(&Class);
    return Count() - 1;
}

const TApproximatorClassInfo& TCurveApproximatorList::Items(std::int32_t I) const {
    if (I < 0 || I >= Count())
        throw EListError("List index out of bounds (" + std::to_string(I) + ").");
    return *FItems[static_cast<std::size_t>(I)];
}

std::int32_t TCurveApproximatorList::IndexOf(const TCurveApproximator& Approximator) const {
    const std::string Name = Approximator.ClassName();
    for (std::int32_t I = Count() - 1; I >= 0; --I)
        if (FItems[static_cast<std::size_t>(I)]->ClassName == Name)
            return I;
    return -1;
}

const TCurveApproximatorList& FunctionalApproximators() {
    static const TCurveApproximatorList List = [] {
        TCurveApproximatorList L;
        L.Add(TFunctionalRawData::Class());
        L.Add(TCubicSpline::Class());
        return L;
    }();
    return List;
}

const TCurveApproximatorList& NonfunctionalApproximators() {
    static const TCurveApproximatorList List = [] {
        TCurveApproximatorList L;
        L.Add(TNonfunctionalRawData::Class());
        L.Add(TParametricCubicSpline::Class());
        return L;
    }();
    return List;
}

} // namespace korvane
