#include "follower/Enhancements.h"

#include <algorithm>
#include <cmath>

namespace korvane {

void TFollowerEnhancements::SetEnhancedFollowing(bool On) {
    SubpixelOutput = On;
    Crossings = On;
    Guard = On;
}

TFollowerEnhancements TFollowerEnhancements::Enhanced() {
    TFollowerEnhancements E;
    E.SetEnhancedFollowing(true);
    return E;
}

const std::array<TFollowerEnhancementOption, 4> FollowerEnhancementOptions{{
    {"SubpixelOutput", "--subpixel", "&Sub-pixel output", &TFollowerEnhancements::SubpixelOutput},
    {"Crossings", "--crossings", "Keep to the line at &crossings",
     &TFollowerEnhancements::Crossings},
    {"Guard", "--guard", "&Guard against jumps after a line ends", &TFollowerEnhancements::Guard},
    {"GapFilling", "--fill-gaps", "&Fill gaps with interpolated points",
     &TFollowerEnhancements::GapFilling},
}};

// --- ink weight

namespace {

// Sorts the first N values (a handful): insertion sort.
template <class T, std::size_t Size> void SortFirst(std::array<T, Size>& A, int N) {
    for (std::size_t I = 1; I < static_cast<std::size_t>(N); ++I)
        for (std::size_t J = I; J > 0 && A[J] < A[J - 1]; --J)
            std::swap(A[J], A[J - 1]);
}

// Paper and ink closer than this (squared RGB distance) give no usable axis.
constexpr double MinimumAxisLength2 = 16.0 * 16.0;
// A colour farther than this fraction of the axis length from the axis is not this ink.
constexpr double OffAxisFraction = 0.35;

} // namespace

TInkWeight::TInkWeight(TColor Paper, TColor Ink) : FPaper(Paper) {
    FAxis[0] = double(GetRValue(Ink)) - GetRValue(Paper);
    FAxis[1] = double(GetGValue(Ink)) - GetGValue(Paper);
    FAxis[2] = double(GetBValue(Ink)) - GetBValue(Paper);
    const double L2 = FAxis[0] * FAxis[0] + FAxis[1] * FAxis[1] + FAxis[2] * FAxis[2];
    if (L2 >= MinimumAxisLength2) {
        FInverseLength2 = 1.0 / L2;
        FOffAxisLimit2 = OffAxisFraction * OffAxisFraction * L2;
    }
}

TColor MedianPaperColor(const TColor* Colors, int Count, TColor Ink, double Tolerance) {
    std::array<std::uint8_t, 16> R{}, G{}, B{};
    int N = 0;
    for (int I = 0; I < Count && N < int(R.size()); ++I) {
        if (ColorsMatch(Colors[I], Ink, Tolerance))
            continue;
        R[N] = GetRValue(Colors[I]);
        G[N] = GetGValue(Colors[I]);
        B[N] = GetBValue(Colors[I]);
        ++N;
    }
    if (N == 0)
        return RGB(255, 255, 255);
    auto Median = [N](std::array<std::uint8_t, 16>& A) {
        SortFirst(A, N);
        return A[static_cast<std::size_t>(N / 2)];
    };
    return RGB(Median(R), Median(G), Median(B));
}

// --- line course

void TLineCourse::Add(std::int32_t X, double Y, double Thickness) {
    // The slope the line has here: from the previous centre when it is the column before.
    const bool Step = FCount > 0 && FLastX == X - 1;
    const double S = Step ? Y - FLastY : FPath.Slope;
    FPreviousStep = Step ? FLastStep : 0.0;
    FLastStep = Step ? S : 0.0;
    const std::size_t C = static_cast<std::size_t>(FCount % CentreCount);
    // Six consecutive columns are fitted from two sums kept exactly, in 1/4096 rows.
    // (Rounded half away from zero, inline: it runs at every step.)
    const double Scaled = Y * 4096.0;
    const std::int64_t Q = static_cast<std::int64_t>(Scaled + (Scaled < 0 ? -0.5 : 0.5));
    if (Step && FConsecutive >= CentreCount) {
        const std::int64_t Old = FQ[C];
        FWeightedSum += 7 * Old + 5 * Q - 2 * FSum;
        FSum += Q - Old;
    }
    const bool Slid = Step && FConsecutive >= CentreCount;
    FConsecutive = Step ? std::min(FConsecutive + 1, CentreCount) : 1;
    FX[C] = X;
    FY[C] = Y;
    FQ[C] = Q;
    FLastX = X;
    FLastY = Y;
    if (FConsecutive == CentreCount && !Slid) {
        FSum = FWeightedSum = 0;
        for (int I = 0; I < CentreCount; ++I) {
            const std::size_t K = (C + 1 + static_cast<std::size_t>(I)) % CentreCount;
            FSum += FQ[K];
            FWeightedSum += (2 * I - 5) * FQ[K];
        }
    }

    FThicknesses[static_cast<std::size_t>(FCount % ThicknessCount)] = {Thickness, S};
    ++FCount;
    Fit();
    FWidthSquare = -1;
    FThickness = -1;
    FResidual = -1;
}

double TLineCourse::WidthSquare() const {
    if (FWidthSquare < 0) {
        // The thickness across the line: a run at slope s is √(1 + s²) times as thick
        // (kept squared, which leaves the median where it is).
        const int N = std::min(FCount, ThicknessCount);
        std::array<double, ThicknessCount> W{};
        for (int I = 0; I < N; ++I) {
            const auto& [T, S] = FThicknesses[static_cast<std::size_t>(I)];
            W[static_cast<std::size_t>(I)] = T * T / (1.0 + S * S);
        }
        SortFirst(W, N);
        FWidthSquare = N > 0 ? W[static_cast<std::size_t>(N / 2)] : 0.0;
        // How much the width varies, leaving out the largest and the smallest.
        const std::size_t Low = N > 2 ? 1 : 0,
                          High = N > 2 ? std::size_t(N - 2) : std::size_t(N - 1);
        FWidthSpread = N > 0 ? std::sqrt(W[High]) - std::sqrt(W[Low]) : 0.0;
    }
    return FWidthSquare;
}

double TLineCourse::ThicknessSpread() const {
    WidthSquare();
    return FWidthSpread * std::sqrt(ThicknessSquare() / std::max(FWidthSquare, 1e-12));
}

double TLineCourse::ThicknessSquare() const {
    // The slope the line has in the next column: that of the path, of the last step, or
    // where the line bends, of the next step as the last two foretell it, the steepest.
    const double Next = 2 * FLastStep - FPreviousStep;
    const double Steepest = std::max({std::abs(FPath.Slope), std::abs(FLastStep), std::abs(Next)});
    return WidthSquare() * (1.0 + Steepest * Steepest);
}

double TLineCourse::Thickness() const {
    if (FThickness < 0)
        FThickness = std::sqrt(ThicknessSquare());
    return FThickness;
}

double TLineCourse::Residual() const {
    if (FResidual < 0) {
        const int N = std::min<int>(FCount, CentreCount);
        double SR = 0;
        for (int I = 0; I < N; ++I) {
            const std::size_t K = static_cast<std::size_t>(I);
            const double R = FY[K] - FPath.At(FX[K]);
            SR += R * R;
        }
        FResidual = N > 0 ? std::sqrt(SR / N) : 0.0;
    }
    return FResidual;
}

void TLineCourse::Fit() {
    if (FConsecutive == CentreCount) {
        // x − mean is −2.5 .. 2.5: Σ(x − mean)² = 17.5, and FWeightedSum holds Σ 2(x − mean)·y.
        FPath.X0 = FLastX - 2.5;
        FPath.Y0 = double(FSum) / (CentreCount * 4096.0);
        FPath.Slope = double(FWeightedSum) / (35.0 * 4096.0);
        return;
    }
    const int N = std::min<int>(FCount, CentreCount);
    double SY = 0, SXY = 0, SXX = 0, MX = 0;
    for (int I = 0; I < N; ++I)
        MX += FX[static_cast<std::size_t>(I)];
    MX /= N;
    for (int I = 0; I < N; ++I) {
        const double DX = FX[static_cast<std::size_t>(I)] - MX;
        SY += FY[static_cast<std::size_t>(I)];
        SXX += DX * DX;
        SXY += DX * FY[static_cast<std::size_t>(I)];
    }
    FPath.X0 = MX;
    FPath.Y0 = SY / N;
    FPath.Slope = SXX > 0 ? SXY / SXX : 0.0;
}

} // namespace korvane
