#pragma once

#include "core/Colors.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <utility>

namespace korvane {

// Refinements of the line followers beyond their basic rules. Each one is off unless it is
// switched on, and each works on its own; with all of them off a follower reports exactly
// the pixels it always did.
struct TFollowerEnhancements {
    // The reported point becomes the ink-weighted centre of the line, real-valued (the
    // follower still steps on whole pixels).
    bool SubpixelOutput = false;
    // Functional lines: keeps to its own line where a line of the same colour crosses or
    // touches it, and through markers drawn on it.
    bool Crossings = false;
    // Functional lines: after a loss, takes only a run that continues the line, so that the
    // follower does not jump onto an axis, a frame or a tick after the curve ends.
    bool Guard = false;
    // Functional lines: when the line is found again after lost columns, reports points
    // interpolated between the two ends for the skipped columns first.
    bool GapFilling = false;

    // The recommended set that "Enhanced following" switches on: sub-pixel output,
    // crossings and guard (gap filling stays as it is).
    bool EnhancedFollowing() const { return SubpixelOutput && Crossings && Guard; }
    void SetEnhancedFollowing(bool On);
    static TFollowerEnhancements Enhanced();
    bool Any() const { return SubpixelOutput || Crossings || Guard || GapFilling; }

    friend bool operator==(const TFollowerEnhancements&, const TFollowerEnhancements&) = default;
};

inline constexpr const char* EnhancedFollowingCaption = "Enhanced following";

// One enhancement as the settings file, the command line and a settings page name it.
struct TFollowerEnhancementOption {
    const char* Key;     // in the settings file
    const char* Flag;    // korvane-cli follow
    const char* Caption; // for a check box
    bool TFollowerEnhancements::*Field;
};

extern const std::array<TFollowerEnhancementOption, 4> FollowerEnhancementOptions;

// How much ink a pixel holds: its colour projected on the axis from the paper colour (0) to
// the ink colour (1), clamped to 0..1; a colour far off that axis (another line's colour)
// weighs 0. With paper and ink (nearly) alike every colour weighs 0.
class TInkWeight {
public:
    TInkWeight() = default;
    TInkWeight(TColor Paper, TColor Ink);

    // Paper and ink differ enough to weigh colours.
    bool Usable() const { return FInverseLength2 != 0.0; }
    double operator()(TColor C) const {
        if (FInverseLength2 == 0.0)
            return 0.0;
        const double V0 = double(GetRValue(C)) - GetRValue(FPaper);
        const double V1 = double(GetGValue(C)) - GetGValue(FPaper);
        const double V2 = double(GetBValue(C)) - GetBValue(FPaper);
        const double Dot = V0 * FAxis[0] + V1 * FAxis[1] + V2 * FAxis[2];
        if (Dot <= 0.0)
            return 0.0;
        const double T = Dot * FInverseLength2;
        // The squared distance from the axis, |V|² − T·Dot, against its limit.
        if (V0 * V0 + V1 * V1 + V2 * V2 - T * Dot > FOffAxisLimit2)
            return 0.0;
        return T < 1.0 ? T : 1.0;
    }
    TColor Paper() const { return FPaper; }

private:
    TColor FPaper = RGB(255, 255, 255);
    double FAxis[3] = {0, 0, 0};
    double FInverseLength2 = 0;
    double FOffAxisLimit2 = 0;
};

// The paper colour beside a line: the median, channel by channel, of the colours that do not
// match the line among those given (white when all of them match).
TColor MedianPaperColor(const TColor* Colors, int Count, TColor Ink, double Tolerance);

// A straight path y = Y0 + Slope · (x − X0) through the recent centres of a functional line.
struct TLinePath {
    double X0 = 0;
    double Y0 = 0;
    double Slope = 0;
    double At(double X) const { return Y0 + Slope * (X - X0); }
};

// The recent course of a functional line: the centres of the last accepted columns, with the
// least-squares line through the last six, and the thickness of the line itself (across the
// line, so that a steep stretch does not look thick), the median over the last eight columns
// (the upper one of the middle two of an even count).
class TLineCourse {
public:
    static constexpr int CentreCount = 6;
    static constexpr int ThicknessCount = 8;
    // Columns needed before the path and the thickness are trusted.
    static constexpr int MinimumCount = 4;

    void Clear() { *this = TLineCourse(); }
    // An accepted column (columns come in increasing order): its centre row and the
    // thickness of its run (rows, or the run's ink).
    void Add(std::int32_t X, double Y, double Thickness);
    bool Ready() const { return FCount >= MinimumCount; }
    std::int32_t Count() const { return FCount; }
    std::int32_t LastX() const { return FLastX; }
    double LastY() const { return FLastY; }
    const TLinePath& Path() const { return FPath; }
    // How far the centres lie from the path, root mean square: small where the line runs
    // straight, large where it bends.
    double Residual() const;
    // The line's thickness across itself.
    double Width() const { return std::sqrt(WidthSquare()); }
    // The run thickness the line has in the next column, at the slope it has there.
    double Thickness() const;
    double ThicknessSquare() const;
    // How much the thickness varies from column to column (at the same slope), without the
    // extremes: where a line is drawn without anti-aliasing, by up to a row.
    double ThicknessSpread() const;

private:
    void Fit();
    double WidthSquare() const;

    std::array<std::int32_t, CentreCount> FX{};
    std::array<double, CentreCount> FY{};
    std::array<std::int64_t, CentreCount> FQ{};
    // Columns in a row ending at the last one (up to CentreCount), and for six of them the
    // sum of the rows and the sum weighted by 2(x − mean), both in 1/4096 rows.
    std::int32_t FConsecutive = 0;
    std::int64_t FSum = 0;
    std::int64_t FWeightedSum = 0;
    // The run thickness and the slope of the last columns.
    std::array<std::pair<double, double>, ThicknessCount> FThicknesses{};
    std::int32_t FCount = 0;
    std::int32_t FLastX = 0;
    double FLastY = 0;
    // The steps from the centre before to the last one, and the one before that (0 after a
    // gap).
    double FLastStep = 0;
    double FPreviousStep = 0;
    TLinePath FPath;
    // Computed when first asked for.
    mutable double FWidthSquare = -1;
    mutable double FWidthSpread = 0;
    mutable double FThickness = -1;
    mutable double FResidual = -1;
};

} // namespace korvane
