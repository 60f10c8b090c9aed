#pragma once

#include "core/Colors.h"
#include "core/DoublePoints.h"
#include "follower/Enhancements.h"
#include "follower/VectorizerRunner.h"

#include <QImage>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

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
    void Pause() { FRunner.Pause(); }
    void Resume() { FRunner.Resume(); }
    void Terminate() { FRunner.Terminate(); }
    bool Terminated() const { return FRunner.Terminated(); }
    bool Paused() const { return FRunner.Paused(); }
    bool Running() const { return FRunner.Running(); }

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
    using TSlice = TVectorizerRunner::TSlice;

    // Starts when needed, then steps until the follower has ended, a point asks for a Delay,
    // Deadline has passed or the follower is paused.
    TSlice RunSlice(std::chrono::steady_clock::time_point Deadline);

    IVectorizerObserver& FObserver;
    const QImage& FImage;
    enum class EState { Starting, Following, Ended } FState = EState::Starting;
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
    // The follower thread. Declared last, so that it is discarded before anything a slice
    // reads goes.
    TVectorizerRunner FRunner;
};

} // namespace korvane
