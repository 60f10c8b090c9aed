#include "follower/Vectorizers.h"

#include "core/Errors.h"

#include <algorithm>
#include <array>
#include <utility>

namespace korvane {

TVectorizer::TVectorizer(IVectorizerObserver& Observer, const QImage& Image)
    : ImageWidth(Image.width()), ImageHeight(Image.height()), SearchDepth(8), FObserver(Observer),
      FImage(Image), FRunner([this](std::chrono::steady_clock::time_point Deadline) {
          return RunSlice(Deadline);
      }) {}

// The runner, destroyed first, discards the follower thread.
TVectorizer::~TVectorizer() = default;

void TVectorizer::SetTrackingColor(TColor Color) {
    TrackingColor = Color;
    TrackingColorSet = true;
}

struct TVectorizer::TColumnCache {
    static constexpr std::int32_t Size = 128;
    std::int32_t X = -1;
    std::int32_t Top = 0;
    std::uint32_t Generation = 1;
    // Per row: the generation whose colour is held.
    std::array<std::uint32_t, Size> ColorStamps{};
    std::array<TColor, Size> Colors{};

    void Clear() { X = -1; }
    // The slot of row Y in column X, or −1 outside the rows kept.
    std::int64_t Slot(std::int32_t PX, std::int32_t Y) {
        if (PX != X) {
            X = PX;
            Top = Y - Size / 2;
            ++Generation;
        }
        const std::int64_t I = std::int64_t(Y) - Top;
        return I >= 0 && I < Size ? I : -1;
    }
};

TColor TVectorizer::ReadPixel(std::int32_t X, std::int32_t Y) const {
    if (!FCache)
        return ReadImagePixel(X, Y);
    TColumnCache& C = *FCache;
    const std::int64_t I = C.Slot(X, Y);
    if (I < 0)
        return ReadImagePixel(X, Y);
    const std::size_t K = static_cast<std::size_t>(I);
    if (C.ColorStamps[K] != C.Generation) {
        C.Colors[K] = ReadImagePixel(X, Y);
        C.ColorStamps[K] = C.Generation;
    }
    return C.Colors[K];
}

TColor TVectorizer::ReadImagePixel(std::int32_t X, std::int32_t Y) const {
    if (X >= ImageWidth || Y >= ImageHeight)
        return RGB(255, 255, 255);
    return ImagePixelColor(FImage, X, Y);
}

bool TVectorizer::PixelMatches(std::int32_t X, std::int32_t Y) const {
    if (X < 0 || Y < 0 || X >= ImageWidth || Y >= ImageHeight)
        return false;
    return ColorsMatch(ReadPixel(X, Y), TrackingColor, ColorTolerance);
}

std::int32_t TVectorizer::AverageThickness() const {
    return ThicknessCount == 0 ? 0 : ThicknessSum / ThicknessCount;
}

void TVectorizer::AddThickness(std::int32_t T) {
    ThicknessSum += T;
    ++ThicknessCount;
}

bool TVectorizer::StartColourMatches() {
    Position = StartPoint;
    const TColor C = ReadPixel(Position);
    if (TrackingColorSet)
        return ColorsMatch(C, TrackingColor, ColorTolerance);
    SetTrackingColor(C);
    return true;
}

void TVectorizer::ReportPoint() {
    ++PointsReported;
    FObserver.FollowerPoint(*this, Position);
}

void TVectorizer::ReportPoint(TLongintPoint Pixel, TDoublePoint Point) {
    ++PointsReported;
    struct TReporting {
        bool& Flag;
        ~TReporting() { Flag = false; }
    } Reporting{FReporting};
    FReporting = true;
    FReportedPixel = Pixel;
    FReportedPoint = Point;
    FObserver.FollowerPoint(*this, Pixel);
}

void TVectorizer::UseColumnCache(bool On) {
    if (!On)
        FCache.reset();
    else if (!FCache)
        FCache = std::make_unique<TColumnCache>();
}

TDoublePoint TVectorizer::ReportedPoint(TLongintPoint Pixel) const {
    if (FReporting && Pixel == FReportedPixel)
        return FReportedPoint;
    return {static_cast<double>(Pixel.X), static_cast<double>(Pixel.Y)};
}

// --- sub-pixel output

void TVectorizer::SamplePaper(TLongintPoint Across) {
    std::array<TColor, 6> Samples{};
    int N = 0;
    for (const std::int32_t Side : {-1, 1}) {
        const TLongintPoint S = PointScaled(Across, Side);
        TLongintPoint Edge = StartPoint;
        for (std::int32_t K = 0; K < MaxVerticalJump && PixelMatches(PointSum(Edge, S)); ++K)
            Edge = PointSum(Edge, S);
        // Beyond the edge and its anti-aliased fringe.
        for (std::int32_t K = 3; K <= 5; ++K)
            Samples[static_cast<std::size_t>(N++)] = ReadPixel(PointSum(Edge, PointScaled(S, K)));
    }
    InkWeight = TInkWeight(MedianPaperColor(Samples.data(), N, TrackingColor, ColorTolerance),
                           TrackingColor);
}

TDoublePoint TVectorizer::InkCentre(TLongintPoint From, TLongintPoint Step,
                                    std::int32_t Count) const {
    double SW = 0, SX = 0, SY = 0;
    auto Add = [&](TLongintPoint P, double W) {
        SW += W;
        SX += W * P.X;
        SY += W * P.Y;
    };
    double FirstWeight = 0, LastWeight = 0;
    TLongintPoint P = From;
    for (std::int32_t K = 0; K < Count; ++K, P = PointSum(P, Step)) {
        const double W = InkWeight(ReadPixel(P));
        if (K == 0)
            FirstWeight = W;
        LastWeight = W;
        Add(P, std::max(W, 0.5));
    }
    const TLongintPoint Last = PointDifference(P, Step);
    // The anti-aliased fringe: up to two pixels beyond each end while the weight falls.
    auto Fringe = [&](TLongintPoint Edge, TLongintPoint S, double Previous) {
        TLongintPoint Q = Edge;
        for (int K = 0; K < 2; ++K) {
            Q = PointSum(Q, S);
            if (Q.X < 0 || Q.Y < 0 || Q.X >= ImageWidth || Q.Y >= ImageHeight)
                return;
            const double W = InkWeight(ReadPixel(Q));
            if (W <= 0.0 || W >= Previous)
                return;
            Add(Q, W);
            Previous = W;
        }
    };
    Fringe(From, PointScaled(Step, -1), FirstWeight);
    Fringe(Last, Step, LastWeight);
    return {SX / SW, SY / SW};
}

// --- running

void TVectorizer::Start(IUiDispatcher& Dispatcher, TEndHandler OnEnd) {
    Assert(!FRunner.Running() && FState == EState::Starting, "TVectorizer.Start");
    FRunner.Start(Dispatcher, [this, OnEnd = std::move(OnEnd)] {
        if (OnEnd)
            OnEnd(*this); // may destroy this follower
    });
}

void TVectorizer::RunSynchronously() {
    Assert(!FRunner.Running() && FState == EState::Starting, "TVectorizer.RunSynchronously");
    FRunner.RunSynchronously();
}

TVectorizer::TSlice TVectorizer::RunSlice(std::chrono::steady_clock::time_point Deadline) {
    TSlice Slice;
    if (FCache)
        FCache->Clear(); // the image may have been painted on since the last slice
    if (FState == EState::Starting) {
        PointsReported = 0;
        if (!CanStart()) {
            Lost = true;
            FState = EState::Ended;
        } else {
            BeginFollow();
            FState = EState::Following;
        }
    }
    while (FState == EState::Following) {
        if (Terminated() || !MayContinue()) {
            FState = EState::Ended;
            break;
        }
        const EStep Step = FollowStep();
        if (Step == EStep::End) {
            FState = EState::Ended;
            break;
        }
        if (Step == EStep::Point && Delay > 0) {
            Slice.SleepMs = Delay;
            break;
        }
        if (std::chrono::steady_clock::now() >= Deadline || Paused())
            break;
    }
    Slice.Ended = FState == EState::Ended;
    return Slice;
}

} // namespace korvane
