#include "core/Numerics.h"
#include "follower/FunctionalVectorizer.h"

#include <algorithm>
#include <cmath>

namespace korvane {

// The functional follower with enhancements.
//
// The steps below keep the plain step's order (test, searches, gap, run, wide spot,
// centre, report, predict) and add, each under its own switch: the ink-weighted centre
// (sub-pixel output); the guard, which takes a run found after a loss only when it continues
// the line; the crossings, which keep a straight path through the last centres, pass a
// crossing along it, keep to the part of a run around it while another line of the colour is
// close, and choose, after a loss, the run closest to it; and gap filling.
//
// The crossings measure a run by its ink (the sum of the ink weights of its pixels and its
// anti-aliased fringe): a line has the same amount of ink in every column whichever rows it
// happens to cover, so where another line adds to it, the run holds more.

namespace {

// Columns a crossing is followed along the path before the follower gives up on it.
constexpr std::int32_t MaxCrossingColumns = 40;
// The path is straight enough to pass crossings along when the centres lie this close to it
// (root mean square, rows).
constexpr double MaxStraightResidual = 1.0;
// More ink than the line's own by this much (rows), and by as much as the line's own varies,
// is another line's.
constexpr double MoreInk = 0.3;
// Ink grows by more than this from one column to the next before a run is looked at closely.
constexpr double InkGrowth = 0.5;

double DistanceToRun(double Y, std::int32_t Top, std::int32_t Bottom) {
    return Y < Top ? Top - Y : Y > Bottom ? Y - Bottom : 0.0;
}

} // namespace

std::int32_t TFunctionalVectorizer::PathRow(const TLinePath& Path, std::int32_t X) const {
    // Far outside the image a row is as good as any other there.
    const double Limit = double(ImageHeight) + MaxVerticalJump + 2.0;
    return Round(std::clamp(Path.At(X), -Limit, Limit));
}

double TFunctionalVectorizer::Corridor(const TLinePath& Path, std::int32_t X) const {
    // The further from the last centre, the less sure the path: by a quarter of the slope
    // per column, and by how far the centres stray from it.
    const std::int32_t Columns = std::max(X - FCourse.LastX(), 1);
    return 3.0 + FCourse.Thickness() / 2 + FCourse.Residual() +
           0.25 * std::abs(Path.Slope) * Columns;
}

TFunctionalVectorizer::TProfile TFunctionalVectorizer::RunProfile(std::int32_t X) const {
    TProfile P;
    if (!InkWeight.Usable()) {
        P.Centre = (RunTop + RunBottom) / 2.0;
        P.Ink = RunBottom - RunTop + 1;
        return P;
    }
    // InkCentre down the column, written out: it runs at every step. A solid line repeats
    // its colour, so the last weight is kept.
    TColor Seen = ReadPixel(X, RunTop);
    double SeenWeight = InkWeight(Seen);
    auto Weight = [&](TColor C) {
        if (C != Seen) {
            Seen = C;
            SeenWeight = InkWeight(C);
        }
        return SeenWeight;
    };
    double SW = 0, SY = 0, Ink = 0, First = 0, Last = 0;
    for (std::int32_t R = RunTop; R <= RunBottom; ++R) {
        const double W = Weight(ReadPixel(X, R));
        if (R == RunTop)
            First = W;
        Last = W;
        const double Counted = W > 0.5 ? W : 0.5;
        SW += Counted;
        SY += Counted * R;
        Ink += W;
    }
    for (std::int32_t R = RunTop - 1; R >= std::max(RunTop - 2, 0); --R) {
        const double W = Weight(ReadPixel(X, R));
        if (W <= 0.0 || W >= First)
            break;
        SW += W;
        SY += W * R;
        Ink += W;
        First = W;
    }
    for (std::int32_t R = RunBottom + 1; R <= std::min(RunBottom + 2, ImageHeight - 1); ++R) {
        const double W = Weight(ReadPixel(X, R));
        if (W <= 0.0 || W >= Last)
            break;
        SW += W;
        SY += W * R;
        Ink += W;
        Last = W;
    }
    P.Centre = SY / SW;
    P.Ink = Ink;
    return P;
}

void TFunctionalVectorizer::NearestRunToPath() {
    const std::int32_t X = Position.X, Y = Position.Y;
    const double Target = FCourse.Path().At(X);
    std::int32_t AboveBottom = -1, BelowTop = -1;
    for (std::int32_t R = Y - 1; R >= std::max(Y - MaxVerticalJump, 0); --R)
        if (PixelMatches(X, R)) {
            AboveBottom = R;
            break;
        }
    for (std::int32_t R = Y + 1; R <= std::min(Y + MaxVerticalJump, ImageHeight) - 1; ++R)
        if (PixelMatches(X, R)) {
            BelowTop = R;
            break;
        }
    if (AboveBottom < 0 && BelowTop < 0) {
        Lost = true;
        return;
    }
    std::int32_t AboveTop = AboveBottom, BelowBottom = BelowTop;
    if (AboveBottom >= 0)
        while (AboveTop > 0 && PixelMatches(X, AboveTop - 1))
            --AboveTop;
    if (BelowTop >= 0)
        while (BelowBottom < ImageHeight - 1 && PixelMatches(X, BelowBottom + 1))
            ++BelowBottom;
    bool Up = BelowTop < 0;
    if (AboveBottom >= 0 && BelowTop >= 0) {
        const double A = DistanceToRun(Target, AboveTop, AboveBottom);
        const double B = DistanceToRun(Target, BelowTop, BelowBottom);
        if (A != B)
            Up = A < B;
        else if (Y - AboveBottom != BelowTop - Y)
            Up = Y - AboveBottom < BelowTop - Y;
        else
            Up = CurrentDelta() <= 0;
    }
    Lost = false;
    if (Up) {
        Position.Y = AboveBottom;
        RunTop = AboveTop;
        RunBottom = AboveBottom;
    } else {
        Position.Y = BelowTop;
        RunTop = BelowTop;
        RunBottom = BelowBottom;
    }
}

void TFunctionalVectorizer::PreferRunNearPath(std::int32_t X) {
    const double Y = FCourse.Path().At(X);
    const double D = DistanceToRun(Y, RunTop, RunBottom);
    if (D <= 1.0 || FCourse.Residual() > MaxStraightResidual)
        return;
    // Only a run nearer to the path than this one counts: its nearest row lies within D.
    std::int32_t Top = -1, Bottom = -1;
    if (Y > RunBottom) {
        const std::int32_t Last =
            std::min(static_cast<std::int32_t>(std::ceil(Y + D)) - 1, ImageHeight - 1);
        for (std::int32_t R = RunBottom + 2; R <= Last; ++R)
            if (PixelMatches(X, R)) {
                Top = Bottom = R;
                while (Bottom < ImageHeight - 1 && PixelMatches(X, Bottom + 1))
                    ++Bottom;
                break;
            }
    } else {
        const std::int32_t First = std::max(static_cast<std::int32_t>(std::floor(Y - D)) + 1, 0);
        for (std::int32_t R = RunTop - 2; R >= First; --R)
            if (PixelMatches(X, R)) {
                Top = Bottom = R;
                while (Top > 0 && PixelMatches(X, Top - 1))
                    --Top;
                break;
            }
    }
    if (Top < 0 || DistanceToRun(Y, Top, Bottom) >= D)
        return;
    Position.Y = Y > RunBottom ? Top : Bottom;
    RunTop = Top;
    RunBottom = Bottom;
}

bool TFunctionalVectorizer::RunContinuesLine(std::int32_t X) const {
    // A steep flank: the run touches the previous column's.
    if (FHavePreviousRun && FPreviousRun.X == X - 1 && RunTop <= FPreviousRun.Bottom + 1 &&
        RunBottom >= FPreviousRun.Top - 1)
        return true;
    const TLinePath& Path = FCourse.Path();
    return DistanceToRun(Path.At(X), RunTop, RunBottom) <= Corridor(Path, X);
}

bool TFunctionalVectorizer::InkBeside(std::int32_t X, std::int32_t Top, std::int32_t Bottom) const {
    for (const std::int32_t R : {Top - 2, Top - 3, Bottom + 2, Bottom + 3})
        if (PixelMatches(X, R))
            return true;
    return false;
}

bool TFunctionalVectorizer::InkBesideRecently(std::int32_t X) const {
    // Looked at only when a run needs it: the columns are still there to read.
    bool Seen = false;
    for (TRecentRun& Recent : FRecentRuns) {
        const TRun& Run = Recent.Run;
        if (Run.Bottom < Run.Top || Run.X >= X || X - Run.X > InkBesideColumns)
            continue;
        if (Recent.InkBeside < 0)
            Recent.InkBeside = InkBeside(Run.X, Run.Top, Run.Bottom) ? 1 : 0;
        Seen = Seen || Recent.InkBeside > 0;
    }
    return Seen;
}

double TFunctionalVectorizer::InkMargin() const {
    return MoreInk + FCourse.ThicknessSpread();
}

bool TFunctionalVectorizer::MoreInkThanLine(const TProfile& Profile, bool Clearly) const {
    const double Own = FCourse.Thickness();
    return Profile.Ink > Own + (Clearly ? std::max(2.0, Own / 2) : InkMargin());
}

bool TFunctionalVectorizer::RunFitsPath(std::int32_t X) const {
    const double Y = FCourse.Path().At(X);
    const double Half = FCourse.Thickness() / 2 + 0.5;
    return RunTop >= std::ceil(Y - Half) && RunBottom <= std::floor(Y + Half);
}

bool TFunctionalVectorizer::RunPastBothSides(std::int32_t X) const {
    const double Own = FCourse.Thickness();
    const double Y = FCourse.Path().At(X);
    const double Reach = Own / 2 + std::max(2.0, Own / 2);
    return RunTop < Y - Reach && RunBottom > Y + Reach;
}

void TFunctionalVectorizer::TrimRunToPath(std::int32_t X) {
    const double Y = FCourse.Path().At(X);
    const double Half = FCourse.Thickness() / 2;
    const std::int32_t Top = RunTop, Bottom = RunBottom;
    RunTop = std::max(Top, Round(Y - Half));
    RunBottom = std::min(Bottom, Round(Y + Half));
    if (RunTop > RunBottom) // the path lies beside the run
        RunTop = RunBottom = std::clamp(Round(Y), Top, Bottom);
}

void TFunctionalVectorizer::Emit(TLongintPoint Pixel, TDoublePoint Point) {
    if (Enhancements.GapFilling && FHaveLastReport && Pixel.X > FLastReport.X + 1) {
        const TDoublePoint From = FLastReport;
        for (std::int32_t X = static_cast<std::int32_t>(From.X) + 1; X < Pixel.X; ++X) {
            const double F = (X - From.X) / (Point.X - From.X);
            const double Y = From.Y + F * (Point.Y - From.Y);
            const std::int32_t Row = Round(Y);
            ReportPoint({X, Row}, {double(X), Enhancements.SubpixelOutput ? Y : double(Row)});
        }
    }
    ReportPoint(Pixel, Point);
    FHaveLastReport = true;
    FLastReport = Point;
}

void TFunctionalVectorizer::EmitPathPoint(std::int32_t X, double Y) {
    const std::int32_t Row = Round(Y);
    Emit({X, Row}, {double(X), Enhancements.SubpixelOutput ? Y : double(Row)});
}

void TFunctionalVectorizer::AcceptRun(std::int32_t X, const TProfile& Profile) {
    const std::int32_t T = RunBottom - RunTop + 1;
    FGap = 0;
    AddThickness(T);
    if (Enhancements.Crossings || Enhancements.Guard) {
        // The crossings measure the line by its ink, the guard by its run.
        FCourse.Add(X, Profile.Centre, Enhancements.Crossings ? Profile.Ink : T);
        FHavePreviousRun = true;
        FPreviousRun = {X, RunTop, RunBottom};
        FPreviousInk = Profile.Ink;
    }
    if (Enhancements.Crossings)
        FRecentRuns[static_cast<std::size_t>(X % InkBesideColumns)] = {{X, RunTop, RunBottom}};
    Position.Y = (RunTop + RunBottom) / 2;
    if (Enhancements.SubpixelOutput)
        Emit(Position, {double(X), Profile.Centre});
    else
        Emit(Position, {double(Position.X), double(Position.Y)});
    AdvancePredictors();
}

TFunctionalVectorizer::TProfile TFunctionalVectorizer::Measure(std::int32_t X) const {
    if (Enhancements.SubpixelOutput || Enhancements.Crossings)
        return RunProfile(X);
    return {(RunTop + RunBottom) / 2.0, double(RunBottom - RunTop + 1)};
}

TVectorizer::EStep TFunctionalVectorizer::FollowStepEnhanced() {
    if (FCrossing.Active)
        return CrossingStep();
    const std::int32_t X = Position.X;
    const bool HavePath = (Enhancements.Crossings || Enhancements.Guard) && FCourse.Ready();
    // The crossing rules lean on the path only where the line runs nearly straight.
    const bool Crossings = Enhancements.Crossings && HavePath;
    auto Straight = [&] { return Crossings && FCourse.Residual() <= MaxStraightResidual; };
    bool Measured = false;
    Lost = !PixelMatches(Position);
    if (Lost) {
        const std::int32_t Missed = Position.Y;
        ResetPredictors();
        if (Straight()) {
            NearestRunToPath();
            Measured = !Lost;
        } else {
            SearchLostLine();
        }
        if (!Lost && Enhancements.Guard && HavePath) {
            if (!Measured)
                MeasureRun();
            Measured = true;
            if (!RunContinuesLine(X)) {
                Lost = true;
                Position.Y = Missed;
            }
        }
        if (Lost) {
            if (++FGap > MaxHorizontalJump)
                return EStep::End;
            if (HavePath)
                Position.Y = PathRow(FCourse.Path(), X + 1); // along the path through the gap
            else
                Position.Y += CurrentDelta();
        }
    }
    if (Lost) {
        ++Position.X;
        return EStep::NoPoint;
    }
    if (!Measured)
        MeasureRun();
    if (Crossings)
        PreferRunNearPath(X);
    TProfile Profile = Measure(X);
    const std::int32_t T = RunBottom - RunTop + 1;
    bool Wide = ThicknessCount > 4 && AverageThickness() + ThicknessTolerance < T;
    if (Crossings && (FNear || !FHavePreviousRun || FPreviousRun.X != X - 1 ||
                      Profile.Ink > FPreviousInk + InkGrowth)) {
        // A run with more ink than the line itself where another line of the colour came
        // close, or clearly more and reaching past both sides of the path, is a crossing:
        // passed along the path. While another line is close, or where something sits on
        // one side of the line, only the part of the run around the path is the line. As
        // much ink as the line has at its slope (a steep flank) is the line.
        const bool Clearly = MoreInkThanLine(Profile, true);
        if (Straight()) {
            const bool Near = InkBesideRecently(X);
            if ((Near && MoreInkThanLine(Profile, false)) || (Clearly && RunPastBothSides(X))) {
                FNear = false;
                BeginCrossing(X);
                return EStep::NoPoint;
            }
            const bool Fits = RunFitsPath(X);
            FNear = Near || (FNear && !Fits);
            if ((Near || Clearly) && !Fits) {
                TrimRunToPath(X);
                Profile = Measure(X);
            }
        } else {
            FNear = false;
        }
        Wide = Wide && Clearly;
    } else if (Crossings) {
        Wide = false; // no more ink than the column before: the line goes on
    }
    if (Wide) {
        // A wide spot: reported where the follower stands.
        FHavePreviousRun = true;
        FPreviousRun = {X, RunTop, RunBottom};
        FPreviousInk = Profile.Ink;
        Emit(Position, {double(Position.X), double(Position.Y)});
        ++Position.X;
        return EStep::Point;
    }
    AcceptRun(X, Profile);
    return EStep::Point;
}

void TFunctionalVectorizer::BeginCrossing(std::int32_t X) {
    FCrossing.Active = true;
    FCrossing.Path = FCourse.Path();
    // The line's own ink along the path, at the path's slope.
    FCrossing.Ink = FCourse.Width() * std::sqrt(1 + FCrossing.Path.Slope * FCrossing.Path.Slope);
    FCrossing.Margin = InkMargin();
    FCrossing.StartX = X;
    FCrossing.Missing = 0;
    FCrossing.Alone = 0;
    FCrossing.Runs.assign(1, TRun{X, RunTop, RunBottom});
    Position = {X + 1, PathRow(FCrossing.Path, X + 1)};
}

void TFunctionalVectorizer::ReportCrossing(std::int32_t X, const double* Y) {
    const TLinePath& Path = FCrossing.Path;
    // The path bent linearly from the last centre before the crossing to the centre found
    // beyond it.
    const double X0 = FCourse.LastX();
    const double E0 = FCourse.LastY() - Path.At(X0);
    const double E1 = Y ? *Y - Path.At(X) : E0;
    for (const TRun& Run : FCrossing.Runs) {
        const double F = X > X0 ? (Run.X - X0) / (X - X0) : 0.0;
        const double At = Path.At(Run.X) + E0 + F * (E1 - E0);
        EmitPathPoint(Run.X, std::clamp(At, double(Run.Top), double(Run.Bottom)));
    }
    FCrossing.Runs.clear();
    FCrossing.Active = false;
}

bool TFunctionalVectorizer::RunIsLineAlone(std::int32_t X, const TProfile& Profile) const {
    // As much ink as the line, within the corridor around the path, and nothing of the
    // colour just beside it.
    const TLinePath& Path = FCrossing.Path;
    return Profile.Ink <= FCrossing.Ink + FCrossing.Margin &&
           std::abs(Profile.Centre - Path.At(X)) <= Corridor(Path, X) &&
           !InkBeside(X, RunTop, RunBottom);
}

TVectorizer::EStep TFunctionalVectorizer::CrossingStep() {
    const std::int32_t X = Position.X;
    const TLinePath& Path = FCrossing.Path;
    if (X - FCrossing.StartX > MaxCrossingColumns) {
        // Not found again: the points passed stand, and following starts afresh here.
        const bool Reported = !FCrossing.Runs.empty();
        ReportCrossing(X, nullptr);
        FCourse.Clear();
        FHavePreviousRun = false;
        FNear = false;
        ResetPredictors();
        return Reported ? EStep::Point : EStep::NoPoint;
    }
    const double Y = Path.At(X);
    const double Reach = Corridor(Path, X);
    Position.Y = PathRow(Path, X);
    Lost = !PixelMatches(Position);
    if (Lost) {
        NearestRunToPath();
        if (!Lost && DistanceToRun(Y, RunTop, RunBottom) > Reach)
            Lost = true;
        if (Lost)
            Position.Y = PathRow(Path, X);
    } else {
        MeasureRun();
    }
    if (Lost) {
        if (++FCrossing.Missing > MaxHorizontalJump) {
            FCrossing = TCrossing();
            return EStep::End;
        }
    } else {
        FCrossing.Missing = 0;
        const TProfile Profile = RunProfile(X);
        // Alone in two columns running, three for a line three rows thick or more: where
        // two lines cross, the columns in the middle can look like one line.
        FCrossing.Alone = RunIsLineAlone(X, Profile) ? FCrossing.Alone + 1 : 0;
        if (FCrossing.Alone >= (FCrossing.Ink < 3 ? 2 : 3)) {
            ReportCrossing(X, &Profile.Centre);
            ResetPredictors();
            AcceptRun(X, Profile);
            return EStep::Point;
        }
        FCrossing.Runs.push_back({X, RunTop, RunBottom});
    }
    Position = {X + 1, PathRow(Path, X + 1)};
    return EStep::NoPoint;
}

} // namespace korvane
