#include "follower/Vectorizers.h"

#include "core/Errors.h"
#include "core/Numerics.h"
#include "follower/UiDispatcher.h"

#include <bit>

namespace korvane {

// What the follower thread and the user-interface thread share. Work posted to the
// user-interface thread holds it by shared_ptr, so it outlives a discarded follower.
struct TVectorizer::TControl {
    std::mutex Mutex;
    std::condition_variable Changed;
    bool Paused = false;
    bool Discarded = false;
};

namespace {

// Slices run for at most this long when Delay is 0, then the window gets its turn.
constexpr auto SliceLength = std::chrono::milliseconds(4);

} // namespace

TVectorizer::TVectorizer(IVectorizerObserver& Observer, const QImage& Image)
    : ImageWidth(Image.width()), ImageHeight(Image.height()), SearchDepth(8), FObserver(Observer),
      FImage(Image), FControl(std::make_shared<TControl>()) {}

TVectorizer::~TVectorizer() {
    {
        std::lock_guard Lock(FControl->Mutex);
        FControl->Discarded = true;
    }
    FControl->Changed.notify_all();
    // The follower thread waits for nothing else once Discarded is set, so this join
    // never waits for the user-interface thread.
    if (FThread.joinable())
        FThread.join();
}

void TVectorizer::SetTrackingColor(TColor Color) {
    TrackingColor = Color;
    TrackingColorSet = true;
}

TColor TVectorizer::ReadPixel(std::int32_t X, std::int32_t Y) const {
    if (X < 0 || Y < 0 || X >= ImageWidth || Y >= ImageHeight || X >= FImage.width() ||
        Y >= FImage.height())
        return RGB(255, 255, 255);
    if (FImage.format() == QImage::Format_RGB888) {
        const uchar* P = FImage.constScanLine(Y) + static_cast<std::ptrdiff_t>(X) * 3;
        return RGB(P[0], P[1], P[2]);
    }
    const QRgb C = FImage.pixel(X, Y);
    return RGB(static_cast<std::uint8_t>(qRed(C)), static_cast<std::uint8_t>(qGreen(C)),
               static_cast<std::uint8_t>(qBlue(C)));
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

// --- threads

void TVectorizer::Start(IUiDispatcher& Dispatcher, TEndHandler OnEnd) {
    Assert(!FThread.joinable() && FState == EState::Starting, "TVectorizer.Start");
    FDispatcher = &Dispatcher;
    FOnEnd = std::move(OnEnd);
    FThread = std::thread([this] { ThreadMain(); });
}

void TVectorizer::Pause() {
    std::lock_guard Lock(FControl->Mutex);
    FControl->Paused = true;
}

void TVectorizer::Resume() {
    {
        std::lock_guard Lock(FControl->Mutex);
        FControl->Paused = false;
    }
    FControl->Changed.notify_all();
}

bool TVectorizer::Paused() const {
    std::lock_guard Lock(FControl->Mutex);
    return FControl->Paused;
}

void TVectorizer::Terminate() {
    FTerminated = true;
    FControl->Changed.notify_all(); // cut a Delay short
}

TVectorizer::TSlice TVectorizer::RunSlice(std::chrono::steady_clock::time_point Deadline) {
    TSlice Slice;
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

void TVectorizer::RunSynchronously() {
    Assert(!FThread.joinable() && FState == EState::Starting, "TVectorizer.RunSynchronously");
    for (;;) {
        const TSlice Slice = RunSlice(std::chrono::steady_clock::time_point::max());
        if (Slice.Ended)
            return;
        if (Slice.SleepMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(Slice.SleepMs));
    }
}

// Runs on the follower thread. It touches the follower's fields only through slices run
// on the user-interface thread.
void TVectorizer::ThreadMain() {
    const std::shared_ptr<TControl> Control = FControl;
    for (;;) {
        {
            std::unique_lock Lock(Control->Mutex);
            Control->Changed.wait(Lock, [&] { return !Control->Paused || Control->Discarded; });
            if (Control->Discarded)
                return;
        }
        // One slice on the user-interface thread, while this thread waits.
        auto Done = std::make_shared<bool>(false);
        auto Result = std::make_shared<TSlice>();
        FDispatcher->Post([this, Control, Done, Result] {
            {
                std::lock_guard Lock(Control->Mutex);
                if (Control->Discarded)
                    return;
                if (Control->Paused) {
                    // Paused after this slice was asked for: read nothing, report nothing.
                    *Done = true;
                    Control->Changed.notify_all();
                    return;
                }
            }
            const TSlice Slice = RunSlice(std::chrono::steady_clock::now() + SliceLength);
            std::lock_guard Lock(Control->Mutex);
            *Result = Slice;
            *Done = true;
            Control->Changed.notify_all();
        });
        TSlice Slice;
        {
            std::unique_lock Lock(Control->Mutex);
            Control->Changed.wait(Lock, [&] { return *Done || Control->Discarded; });
            if (Control->Discarded)
                return;
            Slice = *Result;
        }
        if (Slice.Ended)
            break;
        if (Slice.SleepMs > 0) {
            std::unique_lock Lock(Control->Mutex);
            Control->Changed.wait_for(Lock, std::chrono::milliseconds(Slice.SleepMs),
                                      [&] { return Control->Discarded || FTerminated.load(); });
            if (Control->Discarded)
                return;
        }
    }
    // The end notification: on the user-interface thread, after the body has returned.
    FDispatcher->Post([this, Control] {
        {
            std::lock_guard Lock(Control->Mutex);
            if (Control->Discarded)
                return;
        }
        if (FThread.joinable())
            FThread.join();
        TEndHandler OnEnd = std::move(FOnEnd);
        if (OnEnd)
            OnEnd(*this); // may destroy this follower
    });
}

// --- functional follower

TFunctionalVectorizer::TFunctionalVectorizer(IVectorizerObserver& Observer, const QImage& Image)
    : TVectorizer(Observer, Image) {
    SearchDepth = 8;
    Predictors[0] = std::make_unique<TFunctionalLinearPredictor>();
    Predictors[1] = std::make_unique<TFunctionalParabolicPredictor>();
    Predictors[2] = std::make_unique<TFunctionalPredictor>();
}

bool TFunctionalVectorizer::CanStart() {
    if (!StartColourMatches())
        return false;
    const std::int32_t X = Position.X, Y = Position.Y;
    // Clear above: some row in max(y - jump, 0) .. y - 1 is off the line.
    bool ClearAbove = false;
    for (std::int32_t R = Y - 1; R >= std::max(Y - MaxVerticalJump, 0); --R)
        if (!PixelMatches(X, R)) {
            ClearAbove = true;
            break;
        }
    if (!ClearAbove)
        return false;
    // Clear below: some row in y + 1 .. min(y + jump, height) - 1 is off the line.
    for (std::int32_t R = Y + 1; R <= std::min(Y + MaxVerticalJump, ImageHeight) - 1; ++R)
        if (!PixelMatches(X, R))
            return true;
    return false;
}

void TFunctionalVectorizer::BeginFollow() {
    Position = StartPoint;
    if (!TrackingColorSet)
        SetTrackingColor(ReadPixel(Position));
    FGap = 0;
    ThicknessSum = 0;
    ThicknessCount = 0;
    Lost = false;
}

TVectorizer::EStep TFunctionalVectorizer::FollowStep() {
    Lost = !PixelMatches(Position);
    if (Lost) {
        ResetPredictors();
        WeightedSearch();
        if (Lost) {
            if (CurrentDelta() <= 0) {
                LookUp();
                if (Lost)
                    LookDown();
            } else {
                LookDown();
                if (Lost)
                    LookUp();
            }
        }
        if (Lost) {
            if (++FGap > MaxHorizontalJump)
                return EStep::End;
            // Carry the last slope through the gap.
            Position.Y += CurrentDelta();
        }
    }
    if (Lost) {
        ++Position.X;
        return EStep::NoPoint;
    }
    MeasureRun();
    const std::int32_t T = RunBottom - RunTop + 1;
    if (ThicknessCount > 4 && AverageThickness() + ThicknessTolerance < T) {
        // A wide spot (a crossing, a blob): report where the follower stands.
        ReportPoint();
        ++Position.X;
    } else {
        FGap = 0;
        AddThickness(T);
        Position.Y = (RunTop + RunBottom) / 2;
        ReportPoint();
        AdvancePredictors();
    }
    return EStep::Point;
}

void TFunctionalVectorizer::ResetPredictors() {
    for (auto& P : Predictors)
        P->UpdateCount = 0;
    CurrentPredictor = 0;
}

void TFunctionalVectorizer::WeightedSearch() {
    const std::int32_t N = SearchDepth;
    const std::int32_t X = Position.X, Y = Position.Y;
    std::uint32_t A = 0, B = 0;
    std::uint32_t W = 1u << (N - 1);
    for (std::int32_t R = Y - 1; R >= std::max(Y - N, 0); --R, W /= 2)
        if (PixelMatches(X, R))
            A += W;
    W = 1u << (N - 1);
    for (std::int32_t R = Y + 1; R <= std::min(Y + N, ImageHeight - 1); ++R, W /= 2)
        if (PixelMatches(X, R))
            B += W;
    if (A != 0 && B != 0) {
        if (A < B)
            A = 0;
        else if (A > B)
            B = 0;
        else if (CurrentDelta() > 0)
            A = 0; // equal: go down
        else
            B = 0; // equal: go up
    }
    if (A == 0 && B == 0) {
        Lost = true;
        return;
    }
    Lost = false;
    // The nearest match at distance d weighs 2^(N - d): d follows from the highest set bit.
    if (A == 0)
        Position.Y = Y + (N - (std::bit_width(B) - 1));
    else
        Position.Y = Y - (N - (std::bit_width(A) - 1));
}

void TFunctionalVectorizer::LookUp() {
    const std::int32_t X = Position.X, Y = Position.Y;
    for (std::int32_t R = Y - SearchDepth - 1; R >= std::max(Y - MaxVerticalJump, 0); --R)
        if (PixelMatches(X, R)) {
            Position.Y = R;
            Lost = false;
            return;
        }
}

void TFunctionalVectorizer::LookDown() {
    const std::int32_t X = Position.X, Y = Position.Y;
    for (std::int32_t R = Y + SearchDepth + 1; R <= std::min(Y + MaxVerticalJump, ImageHeight) - 1;
         ++R)
        if (PixelMatches(X, R)) {
            Position.Y = R;
            Lost = false;
            return;
        }
}

void TFunctionalVectorizer::MeasureRun() {
    const std::int32_t X = Position.X, Y = Position.Y;
    std::int32_t R = Y - 1;
    while (R >= 0 && PixelMatches(X, R))
        --R;
    RunTop = R + 1;
    R = Y + 1;
    while (R < ImageHeight && PixelMatches(X, R))
        ++R;
    RunBottom = R - 1;
}

void TFunctionalVectorizer::AdvancePredictors() {
    const std::int32_t X = Position.X;
    CurrentPredictor = 0;
    bool Found = false;
    for (std::int32_t I = 0; I < 3; ++I) {
        TFunctionalPredictor& P = *Predictors[static_cast<std::size_t>(I)];
        P.Update(Position.Y);
        if (!Found && PixelMatches(X + 1, P.Prediction)) {
            CurrentPredictor = I;
            Found = true;
        }
    }
    Position = {X + 1, Predictors[static_cast<std::size_t>(CurrentPredictor)]->Prediction};
}

// --- non-functional follower

TNonfunctionalVectorizer::TNonfunctionalVectorizer(IVectorizerObserver& Observer,
                                                   const QImage& Image)
    : TVectorizer(Observer, Image) {
    SearchDepth = 4;
}

void TNonfunctionalVectorizer::SetDirection(TLongintPoint V) {
    Direction = UnitStep(V);
    Perpendicular = {Direction.Y, -Direction.X};
    DirectionSet = true;
}

bool TNonfunctionalVectorizer::InImage(TLongintPoint P) const {
    return P.X >= 0 && P.X < ImageWidth && P.Y >= 0 && P.Y < ImageHeight;
}

bool TNonfunctionalVectorizer::ClearAlong(TLongintPoint S) {
    TLongintPoint P = PointSum(Position, S);
    while (InImage(P) && Distance(P) <= MaxVerticalJump) {
        if (!PixelMatches(P))
            return true;
        P = PointSum(P, S);
    }
    return false;
}

bool TNonfunctionalVectorizer::CanStart() {
    if (!StartColourMatches())
        return false;
    if (!DirectionSet)
        SetDirection({1, 0});
    return ClearAlong({-Perpendicular.X, -Perpendicular.Y}) && ClearAlong(Perpendicular);
}

void TNonfunctionalVectorizer::BeginFollow() {
    Position = StartPoint;
    FGap = 0;
    if (!DirectionSet)
        SetDirection({1, 0});
    ThicknessSum = 0;
    ThicknessCount = 0;
    OffLine = false;
    if (!TrackingColorSet)
        SetTrackingColor(ReadPixel(StartPoint));
}

TVectorizer::EStep TNonfunctionalVectorizer::FollowStep() {
    OffLine = !PixelMatches(Position);
    if (OffLine) {
        WeightedSearch();
        if (OffLine) {
            const TLongintPoint Plus = Perpendicular;
            const TLongintPoint Minus{-Perpendicular.X, -Perpendicular.Y};
            if (Perpendicular.X > 0) {
                SearchAlong(Plus);
                if (OffLine)
                    SearchAlong(Minus);
            } else {
                SearchAlong(Minus);
                if (OffLine)
                    SearchAlong(Plus);
            }
        }
        if (OffLine) {
            if (++FGap > MaxHorizontalJump)
                return EStep::End;
            Position = PointSum(Position, Direction);
        }
    }
    if (OffLine)
        return EStep::NoPoint;
    if (Predictor.UpdateCount > 0)
        SetDirection(PointDifference(Position, Predictor.LastPoint));
    MeasureWidth();
    const std::int32_t W = Round(PointDistance(EdgePlus, EdgeMinus));
    if (ThicknessCount > 4 && W > AverageThickness() + ThicknessTolerance) {
        Position = PointSum(Position, Direction);
    } else {
        FGap = 0;
        AddThickness(W);
        Position = {(EdgePlus.X + EdgeMinus.X) / 2, (EdgePlus.Y + EdgeMinus.Y) / 2};
    }
    ReportPoint();
    AdvancePredictor();
    return EStep::Point;
}

void TNonfunctionalVectorizer::WeightedSearch() {
    const std::int32_t N = SearchDepth;
    auto Side = [&](TLongintPoint S) {
        std::uint32_t Sum = 0;
        std::uint32_t W = 1u << (N - 1);
        TLongintPoint P = Position;
        for (std::int32_t K = 0; K < N; ++K, W /= 2) {
            P = PointSum(P, S);
            if (!InImage(P))
                break;
            if (PixelMatches(P))
                Sum += W;
        }
        return Sum;
    };
    std::uint32_t Plus = Side(Perpendicular);
    std::uint32_t Minus = Side({-Perpendicular.X, -Perpendicular.Y});
    if (Minus != 0 && Plus != 0) {
        if (Minus < Plus)
            Minus = 0;
        else if (Minus > Plus)
            Plus = 0;
        else if (Perpendicular.X > 0)
            Minus = 0;
        else
            Plus = 0;
    }
    if (Minus == 0 && Plus == 0) {
        OffLine = true;
        return;
    }
    OffLine = false;
    if (Minus == 0) {
        const std::int32_t D = N - (std::bit_width(Plus) - 1);
        Position = PointSum(Position, PointScaled(Perpendicular, D));
    } else {
        const std::int32_t D = N - (std::bit_width(Minus) - 1);
        Position = PointDifference(Position, PointScaled(Perpendicular, D));
    }
}

void TNonfunctionalVectorizer::SearchAlong(TLongintPoint S) {
    TLongintPoint P = Position;
    while (InImage(P) && Distance(P) <= MaxVerticalJump) {
        if (PixelMatches(P)) {
            Position = P;
            OffLine = false;
            return;
        }
        P = PointSum(P, S);
    }
}

void TNonfunctionalVectorizer::MeasureWidth() {
    TLongintPoint P = Position;
    while (InImage(P) && PixelMatches(P) && Distance(P) <= MaxVerticalJump)
        P = PointSum(P, Perpendicular);
    EdgePlus = PointDifference(P, Perpendicular);
    P = Position;
    while (InImage(P) && PixelMatches(P) && Distance(P) <= MaxVerticalJump)
        P = PointDifference(P, Perpendicular);
    EdgeMinus = PointSum(P, Perpendicular);
}

void TNonfunctionalVectorizer::AdvancePredictor() {
    Predictor.InitialDirection = Direction;
    Predictor.Update(Position);
    Position = PointSum(Position, UnitStep(PointDifference(Predictor.Prediction, Position)));
}

} // namespace korvane
