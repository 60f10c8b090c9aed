#pragma once

#include "core/Colors.h"
#include "core/DoublePoints.h"
#include "follower/Enhancements.h"
#include "follower/Predictors.h"

#include <QImage>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace korvane {

class IUiDispatcher;
class TVectorizer;

// Receives the points a follower finds. Runs on the user-interface thread while the
// follower waits; it may change the follower's Delay (the next pause uses it) and may
// request termination.
class IVectorizerObserver {
public:
    virtual ~IVectorizerObserver() = default;
    virtual void FollowerPoint(TVectorizer& Follower, TLongintPoint Position) = 0;
};

// A line follower: walks along a line on the image one pixel step at a time and hands
// each point it finds to its observer.
//
// Threads. Start() runs the follower on its own std::thread. Everything that touches the
// image or the observer runs on the user-interface thread, through the dispatcher, while
// the follower thread waits: the follower thread asks the user-interface thread to run a
// slice of steps (one step when Delay > 0, a few milliseconds' worth when Delay is 0),
// then sleeps Delay milliseconds itself. So pixel reads and reports stay strictly
// sequential with the steps, nothing needs a lock, and the window keeps running between
// slices. Pause() and Resume() stop it between steps; Terminate() is seen at the top of
// the next step; the end handler runs on the user-interface thread after the body has
// returned. Destroying a started follower discards it: nothing more is delivered, no end
// handler runs, and it never waits for the user-interface thread, so it cannot deadlock.
// Start, Pause, Resume, Terminate and the destructor are called on the user-interface
// thread.
class TVectorizer {
public:
    using TEndHandler = std::function<void(TVectorizer&)>;

    TVectorizer(IVectorizerObserver& Observer, const QImage& Image);
    virtual ~TVectorizer();
    TVectorizer(const TVectorizer&) = delete;
    TVectorizer& operator=(const TVectorizer&) = delete;

    TLongintPoint Position;
    TLongintPoint StartPoint;
    const std::int32_t ImageWidth;
    const std::int32_t ImageHeight;
    std::int32_t Delay = 50;      // milliseconds after each reported point
    double ColorTolerance = 10.0; // lets every colour match until the owner sets it
    TColor TrackingColor = 0;
    bool TrackingColorSet = false;
    bool Lost = false;
    std::int32_t PointsReported = 0;
    std::int32_t SearchDepth;
    std::int32_t MaxHorizontalJump = 6;
    std::int32_t MaxVerticalJump = 50;
    std::int32_t ThicknessTolerance = 20;
    std::int32_t ThicknessSum = 0;
    std::int32_t ThicknessCount = 0;
    // Refinements beyond the basic rules; all off after construction. The owner sets them
    // before starting the follower.
    TFollowerEnhancements Enhancements;

    IVectorizerObserver& Observer() const { return FObserver; }

    // The real-valued image position (X column, Y row) of a reported pixel. Inside
    // FollowerPoint it is the position reported with that pixel: with sub-pixel output the
    // ink centre found there, for a point through a crossing or a filled gap the point on
    // the line's path. Otherwise, and always with the enhancements off, the pixel itself.
    TDoublePoint ReportedPoint(TLongintPoint Pixel) const;

    void SetTrackingColor(TColor Color);
    // The colour of image pixel (X, Y); outside the image, white.
    TColor ReadPixel(std::int32_t X, std::int32_t Y) const;
    TColor ReadPixel(TLongintPoint P) const { return ReadPixel(P.X, P.Y); }
    // The pixel has the tracking colour within ColorTolerance. A position outside the image
    // never matches, so that a light tracking colour cannot follow the white beyond it.
    bool PixelMatches(std::int32_t X, std::int32_t Y) const;
    bool PixelMatches(TLongintPoint P) const { return PixelMatches(P.X, P.Y); }
    std::int32_t AverageThickness() const;
    void AddThickness(std::int32_t T);

    // Starts the follower thread; OnEnd runs on the user-interface thread when the body
    // has returned (it may destroy the follower).
    void Start(IUiDispatcher& Dispatcher, TEndHandler OnEnd);
    void Pause();
    void Resume();
    void Terminate();
    bool Terminated() const { return FTerminated.load(); }
    bool Paused() const;
    bool Running() const { return FThread.joinable(); }

    // Runs the whole body on the calling thread, without a follower thread (benchmarks,
    // tests of the algorithms).
    void RunSynchronously();

protected:
    virtual bool CanStart() = 0;
    virtual void BeginFollow() = 0;
    enum class EStep { NoPoint, Point, End };
    // One step of following; the caller checks for termination before each.
    virtual EStep FollowStep() = 0;
    // False once the follower has run out of image (the functional follower's right edge).
    virtual bool MayContinue() const { return true; }

    // Reports Position.
    void ReportPoint();
    // Reports Pixel, whose real-valued position is Point.
    void ReportPoint(TLongintPoint Pixel, TDoublePoint Point);
    // The start check's colour part: Position goes to StartPoint, whose colour must match the
    // tracking colour; without one, it becomes the tracking colour.
    bool StartColourMatches();

    // Keeps the colours read in the current column (for a follower that reads column by
    // column).
    void UseColumnCache(bool On);
    // Samples the paper colour beside the line at StartPoint, a few steps beyond the line's
    // edges along Across and against it, for InkWeight.
    void SamplePaper(TLongintPoint Across);
    // How much of the tracking colour a pixel holds (sub-pixel output, crossings).
    TInkWeight InkWeight;
    // The ink-weighted centre of the pixels From + k·Step, k = 0 .. Count − 1 (which all
    // match, each weighing at least 0.5), widened by up to two pixels beyond each end while
    // the weight keeps falling.
    TDoublePoint InkCentre(TLongintPoint From, TLongintPoint Step, std::int32_t Count) const;

private:
    struct TControl;
    struct TSlice {
        bool Ended = false;
        std::int32_t SleepMs = 0;
    };

    TSlice RunSlice(std::chrono::steady_clock::time_point Deadline);
    void ThreadMain();

    IVectorizerObserver& FObserver;
    const QImage& FImage;
    enum class EState { Starting, Following, Ended } FState = EState::Starting;
    std::atomic<bool> FTerminated{false};
    std::shared_ptr<TControl> FControl;
    IUiDispatcher* FDispatcher = nullptr;
    TEndHandler FOnEnd;
    std::thread FThread;
    // The colours read in one column, kept while a slice of steps runs (the image cannot
    // change meanwhile): with sub-pixel output or crossings, a functional follower reads the
    // same pixels for the run, its ink and what lies beside it.
    struct TColumnCache;
    std::unique_ptr<TColumnCache> FCache;
    TColor ReadImagePixel(std::int32_t X, std::int32_t Y) const;
    // The pixel being reported and its real-valued position, while FollowerPoint runs.
    bool FReporting = false;
    TLongintPoint FReportedPixel;
    TDoublePoint FReportedPoint;
};

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
    // The searches of a plain step whose pixel missed.
    void SearchLostLine();
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
