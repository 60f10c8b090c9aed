#pragma once

#include "core/DoublePoints.h"
#include "follower/Enhancements.h"
#include "follower/Predictors.h"
#include "follower/Vectorizers.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace korvane {

// Follows a functional line: one point per pixel column, left to right.
class TFunctionalVectorizer : public TVectorizer {
public:
    TFunctionalVectorizer(IVectorizerObserver& Observer, const QImage& Image);

    std::int32_t RunTop = 0;
    std::int32_t RunBottom = 0;
    std::int32_t CurrentPredictor = 0;
    // 0: linear, 1: parabolic, 2: constant.
    std::array<std::unique_ptr<TFunctionalPredictor>, 3> Predictors;

protected:
    bool CanStart() override;
    void BeginFollow() override;
    EStep FollowStep() override;
    bool MayContinue() const override { return Position.X <= ImageWidth - 1; }

private:
    std::int32_t CurrentDelta() const {
        return Predictors[static_cast<std::size_t>(CurrentPredictor)]->Delta;
    }
    void ResetPredictors();
    void WeightedSearch();
    void LookUp();
    void LookDown();
    // The searches of a plain step whose pixel missed.
    void SearchLostLine();
    void MeasureRun();
    void AdvancePredictors();

    // --- with enhancements
    // A run measured by its ink: the ink-weighted centre and the sum of the ink weights of
    // the run and its anti-aliased fringe (a row of ink weighs 1).
    struct TProfile {
        double Centre = 0;
        double Ink = 0;
    };
    EStep FollowStepEnhanced();
    // A run found after a loss continues the line (guard).
    bool RunContinuesLine(std::int32_t X) const;
    // The nearest runs above and below the current pixel: Position and the run become the
    // one closest to the path (crossings).
    void NearestRunToPath();
    // The run misses the path: a run on the path's side of it that lies nearer to the path
    // takes its place (the prediction jumped onto another line close by).
    void PreferRunNearPath(std::int32_t X);
    // Ink of the tracking colour two or three rows off the run Top..Bottom in column X.
    bool InkBeside(std::int32_t X, std::int32_t Top, std::int32_t Bottom) const;
    // Ink of the tracking colour was seen just beside the run in one of the last accepted
    // columns.
    bool InkBesideRecently(std::int32_t X) const;
    // How much more ink than the line's own counts as more: a little more than the line's
    // own varies.
    double InkMargin() const;
    // The run has more ink than the line itself: by more than InkMargin, or Clearly, by two
    // rows or half the line's thickness if that is more.
    bool MoreInkThanLine(const TProfile& Profile, bool Clearly) const;
    // The run lies within the line's thickness around the path (half a row either way).
    bool RunFitsPath(std::int32_t X) const;
    // The run reaches well past both sides of the path.
    bool RunPastBothSides(std::int32_t X) const;
    // The run becomes its part within the line's thickness around the path.
    void TrimRunToPath(std::int32_t X);
    // The run (RunTop..RunBottom) by its ink.
    TProfile RunProfile(std::int32_t X) const;
    // The run as the enhancements need it: by its ink with sub-pixel output or crossings,
    // else its middle and its thickness.
    TProfile Measure(std::int32_t X) const;
    // How far from the path a run may lie in column X.
    double Corridor(const TLinePath& Path, std::int32_t X) const;
    // The run is the line: centre, report, remember, predict.
    void AcceptRun(std::int32_t X, const TProfile& Profile);
    // Reports a point, after the interpolated points of a gap before it (gap filling).
    void Emit(TLongintPoint Pixel, TDoublePoint Point);
    // Reports a point on the line's path: real-valued with sub-pixel output, else on the
    // nearest pixel.
    void EmitPathPoint(std::int32_t X, double Y);
    std::int32_t PathRow(const TLinePath& Path, std::int32_t X) const;
    // Crossings: following the path through a crossing.
    void BeginCrossing(std::int32_t X);
    EStep CrossingStep();
    // Beyond a crossing: the run is the line by itself again.
    bool RunIsLineAlone(std::int32_t X, const TProfile& Profile) const;
    // Reports the points kept through the crossing, bent so that the path meets the line
    // where it was found again at (X, Y) (none: reported along the path as it is).
    void ReportCrossing(std::int32_t X, const double* Y);

    std::int32_t FGap = 0;
    TLineCourse FCourse;
    struct TRun {
        std::int32_t X = 0, Top = 0, Bottom = -1;
    };
    bool FHavePreviousRun = false;
    TRun FPreviousRun;
    double FPreviousInk = 0;
    // Another line of the colour is close: seen beside the line, or still making the run
    // stray from the path.
    bool FNear = false;
    // The runs of the last accepted columns, by column modulo their number (an empty run,
    // bottom above top, where there is none), and whether ink was seen beside each: looked
    // at only when a grown run asks, once per column (−1 not yet).
    static constexpr std::int32_t InkBesideColumns = 4;
    struct TRecentRun {
        TRun Run;
        std::int8_t InkBeside = -1;
    };
    mutable std::array<TRecentRun, InkBesideColumns> FRecentRuns{};
    bool FHaveLastReport = false;
    TDoublePoint FLastReport;
    struct TCrossing {
        bool Active = false;
        TLinePath Path;
        // The line's own ink along the path, and how much more counts as more.
        double Ink = 0;
        double Margin = 0;
        std::int32_t StartX = 0;
        std::int32_t Missing = 0;
        std::int32_t Alone = 0; // columns running in which the line was by itself
        std::vector<TRun> Runs; // the thick runs passed, one per column with ink on the path
    } FCrossing;
};

} // namespace korvane
