#include "image/GridElimination.h"

#include "image/grid/GridHealing.h"
#include "image/grid/GridLines.h"
#include "image/grid/GridPaper.h"
#include "image/grid/GridSupport.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

// How the grid is found and removed (every length in pixels):
//  1. Paper: the median colour of each 64-pixel tile (sampled every 4th pixel), a 3 x 3 median
//     of those, bilinear between tile centres. Ink: at least max(24, 4 x the median distance of
//     all pixels from the paper) away from it in RGB.
//  2. Two families of lines, along the X direction and across it. Each family is sheared by
//     whole pixels so that its lines are rows; a row (ORed with the next, for lines between
//     two rows) holds segments of ink with gaps of at most 10, and a segment counts when it is
//     at least 40 long and a quarter ink. A row is on a line when its counted length is at
//     least 0.6 x the family's longest (and 40, and half the reference points' span). Rows next
//     to each other form a band; a band thicker than max(8, 0.005 x the larger side) is text or
//     a filled area, not a line.
//  3. Per band: its colour g (the median of the pixels farthest from the paper), each pixel's
//     share alpha of the way from the paper to g and its distance from that way (residual);
//     the rows of the line from the median alpha profile across it, with up to two soft edge
//     rows; a pixel is erased when its alpha is between a floor and 1.5 and its residual at
//     most 60, so curves of another colour or darker than the grid stay. Short end pieces past
//     a gap wider than the line's own gaps are dropped (labels and ticks beyond a line's end).
//  4. Frame: the outermost long lines of each family stay unless asked otherwise, and grid
//     lines are erased only between them.
//  5. Healing: beside each erased strip, runs of curve ink on both sides are paired, and the
//     strip's pixels between each pair are kept. Twice: first with the other family's lines
//     standing, then with them gone, so that curves through grid intersections come back.

namespace korvane {

using namespace grid;

namespace {

// One row's ink: the pixels at least sqrt(Least) away from the paper (R, G, B). Cloned for
// AVX2, whose byte shuffles let the loop be vectorised.
__attribute__((target_clones("avx2", "default"))) void
InkRow(const std::uint8_t* __restrict Row, const std::uint8_t* __restrict R,
       const std::uint8_t* __restrict G, const std::uint8_t* __restrict B,
       std::uint8_t* __restrict Out, int W, int Least) {
    for (int X = 0; X < W; ++X) {
        const int D0 = int(Row[X * 3]) - R[X], D1 = int(Row[X * 3 + 1]) - G[X],
                  D2 = int(Row[X * 3 + 2]) - B[X];
        Out[X] = D0 * D0 + D1 * D1 + D2 * D2 >= Least;
    }
}

// The shear (rows per column) under which the ink's rows are most concentrated, within ±5°.
double FindTilt(const TPixelBuffer& Ink, int W, int H) {
    std::vector<std::pair<int, int>> Points; // a sample of the ink
    for (int Y = 0; Y < H; Y += 2)
        for (int X = 0; X < W; X += 2)
            if (Ink[std::size_t(Y) * W + X])
                Points.push_back({X, Y});
    if (Points.empty())
        return 0;
    const double Shift = std::tan(5.0 * M_PI / 180) * W + 2;
    std::vector<double> Rows(std::size_t(H + 2 * Shift + 2));
    const auto Score = [&](double Tan) {
        std::fill(Rows.begin(), Rows.end(), 0.0);
        for (const auto& [X, Y] : Points)
            Rows[std::size_t(std::nearbyint(Y - (X - W / 2.0) * Tan + Shift))] += 1;
        double Sum = 0;
        for (double V : Rows)
            Sum += V * V;
        return Sum;
    };
    double BestTan = 0, BestScore = Score(0);
    for (double Degrees = -5; Degrees <= 5.0001; Degrees += 0.1) {
        const double Tan = std::tan(Degrees * M_PI / 180);
        if (const double S = Score(Tan); S > BestScore * (1 + 1e-9)) {
            BestScore = S;
            BestTan = Tan;
        }
    }
    const double Centre = std::atan(BestTan) * 180 / M_PI;
    for (double Degrees = Centre - 0.1; Degrees <= Centre + 0.1001; Degrees += 0.01) {
        const double Tan = std::tan(Degrees * M_PI / 180);
        if (const double S = Score(Tan); S > BestScore * (1 + 1e-9)) {
            BestScore = S;
            BestTan = Tan;
        }
    }
    return BestTan;
}

} // namespace

TGridElimination FindGrid(const QImage& Source, const std::optional<TGridReference>& Reference,
                          const TGridEliminationOptions& Options) {
    TGridElimination Result;
    const QImage Rgb = Source.convertToFormat(QImage::Format_RGB888);
    const int W = Rgb.width(), H = Rgb.height();
    Result.Width = W;
    Result.Height = H;
    if (W < 2 || H < 2) {
        Result.Mask.assign(std::size_t(W) * H, 0);
        return Result;
    }
    // The pixels, packed row after row: the image's own memory when its rows have no padding.
    std::vector<std::uint8_t> Packed;
    const std::uint8_t* Img = Rgb.constBits();
    if (Rgb.bytesPerLine() != W * 3) {
        Packed.resize(std::size_t(W) * H * 3);
        for (int Y = 0; Y < H; ++Y)
            std::copy_n(Rgb.constScanLine(Y), W * 3, &Packed[std::size_t(Y) * W * 3]);
        Img = Packed.data();
    }

    TParams P;
    const TPaper Paper(Img, W, H, P.Tile);
    const std::size_t N = std::size_t(W) * H;
    const auto Distance2 = [&](std::size_t I, const std::uint8_t* Under) {
        int Sum = 0;
        for (int Ch = 0; Ch < 3; ++Ch) {
            const int D = int(Img[I * 3 + Ch]) - Under[Ch];
            Sum += D * D;
        }
        return Sum;
    };
    // The median distance of every 4th pixel of every 4th row from the paper, counted by
    // squared distance (whole numbers, ordered as the distances are).
    std::vector<std::uint32_t> Counts(3 * 255 * 255 + 1);
    std::size_t Sampled = 0;
    for (int Y = 0; Y < H; Y += 4)
        for (int X = 0; X < W; X += 4) {
            std::uint8_t Under[3];
            Paper.At(X, Y, Under);
            ++Counts[std::size_t(Distance2(std::size_t(Y) * W + X, Under))];
            ++Sampled;
        }
    const auto NthSquare = [&](std::size_t Nth) {
        std::size_t Seen = 0, D = 0;
        while (Seen + Counts[D] <= Nth)
            Seen += Counts[D++];
        return D;
    };
    const auto Root = [](std::size_t D2) {
        return static_cast<double>(std::sqrt(static_cast<float>(D2)));
    };
    const double MedianDistance =
        Sampled % 2 ? Root(NthSquare(Sampled / 2))
                    : (Root(NthSquare(Sampled / 2 - 1)) + Root(NthSquare(Sampled / 2))) / 2;
    const double Strength = std::clamp(Options.Strength, 1.0, 3.0);
    P.InkT = std::max(P.Ink, P.NoiseK * MedianDistance) / Strength;
    Result.InkThreshold = P.InkT;
    TPixelBuffer Ink(N);
    {
        std::vector<std::uint8_t> Under(std::size_t(W) * 3);
        const std::array<std::uint8_t*, 3> Planes{Under.data(), Under.data() + W,
                                                  Under.data() + 2 * W};
        std::vector<float> Scratch;
        // The least squared distance of ink, as a whole number (the sums are whole).
        const int Least = static_cast<int>(std::ceil(P.InkT * P.InkT));
        for (int Y = 0; Y < H; ++Y) {
            Paper.Row(Y, Planes, Scratch);
            const std::size_t Start = std::size_t(Y) * W;
            InkRow(Img + Start * 3, Planes[0], Planes[1], Planes[2], Ink.data() + Start, W, Least);
        }
    }

    double Tan = 0;
    TDoublePoint First{W / 2.0, H / 2.0};
    double SpanX = 0, SpanY = 0;
    if (Reference) {
        const double Run = Reference->Skew.X - Reference->First.X;
        Tan = Run != 0 ? (Reference->Skew.Y - Reference->First.Y) / Run : 0;
        First = {double(Reference->First.X), double(Reference->First.Y)};
        const double Cos = 1 / std::sqrt(1 + Tan * Tan);
        const double Dx = Reference->Second.X - Reference->First.X,
                     Dy = Reference->Second.Y - Reference->First.Y;
        SpanX = std::abs(Dx * Cos + Dy * Tan * Cos);
        SpanY = std::abs(Dy * Cos - Dx * Tan * Cos);
    } else {
        Tan = FindTilt(Ink, W, H);
    }
    Result.Tilt = Tan;
    const int MaxWidth = std::max(8, static_cast<int>(std::lround(0.005 * std::max(H, W))));

    // The Y family works on the transposed image.
    TPixelBuffer InkT(N);
    const int Block = 64; // tiles that stay in the cache on both sides
    for (int Y0 = 0; Y0 < H; Y0 += Block)
        for (int X0 = 0; X0 < W; X0 += Block)
            for (int X = X0; X < std::min(X0 + Block, W); ++X)
                for (int Y = Y0; Y < std::min(Y0 + Block, H); ++Y)
                    InkT[std::size_t(X) * H + Y] = Ink[std::size_t(Y) * W + X];
    std::array<TFamily, 2> Families;
    TFamily& Fx = Families[0];
    TFamily& Fy = Families[1];
    Fx.Setup(true, H, W, Img, &Paper, Ink.data(), Tan, First.X);
    Fy.Setup(false, W, H, Img, &Paper, InkT.data(), -Tan, First.Y);
    for (TFamily& F : Families) {
        F.Cos = 1 / std::sqrt(1 + Tan * Tan);
        F.Sin = Tan * F.Cos;
        F.First = First;
        const double Span = F.IsX ? SpanX : SpanY;
        const double LMax =
            DetectBands(F, P, MaxWidth, std::max(double(P.MinLen), P.RefRel * Span));
        std::vector<TBand> Lines;
        for (TBand& B : F.Bands)
            if (AnalyseBand(F, B, P))
                Lines.push_back(std::move(B));
        std::stable_sort(Lines.begin(), Lines.end(),
                         [](const TBand& A, const TBand& B) { return A.Pos < B.Pos; });
        F.Bands = std::move(Lines);
        std::vector<std::size_t> Longs;
        for (std::size_t I = 0; I < F.Bands.size(); ++I)
            if (F.Bands[I].Total >= P.FrameRel * LMax)
                Longs.push_back(I);
        if (!Longs.empty())
            F.Frame = Longs.size() == 1 ? std::vector<std::size_t>{Longs.front()}
                                        : std::vector<std::size_t>{Longs.front(), Longs.back()};
        for (std::size_t I : F.Frame)
            F.Bands[I].IsFrame = true;
    }
    Result.LinesX = static_cast<int>(Fx.Bands.size());
    Result.LinesY = static_cast<int>(Fy.Bands.size());

    // What each family erases, in image pixels: bits that become the mask at the end (a
    // buffer less to bring in from the system).
    TPixelBuffer& Flags = Result.Mask;
    Flags.assign(N, 0);
    const std::array<std::uint8_t, 2> Erased{ErasedX, ErasedY}, Kept1{KeptX1, KeptY1},
        Kept2{KeptX2, KeptY2};
    for (int Fi = 0; Fi < 2; ++Fi) {
        TFamily& F = Families[std::size_t(Fi)];
        const TFamily& Other = Families[std::size_t(1 - Fi)];
        const TMaskView Ef{Flags, F, Erased[std::size_t(Fi)]}, Ff{Flags, F, OnFrame};
        std::pair<double, double> Inner{-Infinity, Infinity}, Outer = Inner;
        if (Other.Frame.size() == 2) {
            std::array<std::pair<double, double>, 2> Ends;
            for (std::size_t I = 0; I < 2; ++I) {
                const TBand& Fb = Other.Bands[Other.Frame[I]];
                Ends[I] = {Other.BandAcross(Fb), (Fb.E1 - Fb.E0 + 1) / 2.0};
            }
            std::sort(Ends.begin(), Ends.end());
            Inner = {Ends[0].first, Ends[1].first};
            Outer = {Ends[0].first - Ends[0].second - P.EndMargin,
                     Ends[1].first + Ends[1].second + P.EndMargin};
        }
        F.LimitLo = Outer.first;
        F.LimitHi = Outer.second;
        for (const TBand& B : F.Bands) {
            const auto [Lo, Hi] = (B.IsFrame || Options.Frame) ? Outer : Inner;
            for (const auto& [R, C] : B.Erase) {
                if (std::isfinite(Lo)) {
                    const double Along = F.AcrossAlong(R, C).second;
                    if (!(Along > Lo && Along < Hi))
                        continue;
                }
                if (B.IsFrame) {
                    Ff.Set(R, C);
                    if (!Options.Frame)
                        continue;
                }
                Ef.Set(R, C);
            }
        }
    }
    if (!Options.Frame)
        for (std::uint8_t& F : Flags)
            if (F & OnFrame)
                F &= static_cast<std::uint8_t>(~(ErasedX | ErasedY));

    // Tick marks: erased, never healed.
    if (Options.Ticks) {
        double Smallest = std::min(H, W);
        for (const TFamily& F : Families)
            if (F.Frame.size() == 2)
                Smallest = std::min(Smallest, std::abs(F.BandAcross(F.Bands[F.Frame[1]]) -
                                                       F.BandAcross(F.Bands[F.Frame[0]])));
        const int TickMax = std::max(12, static_cast<int>(0.03 * Smallest));
        // Both families look at the ink as it was before either marked ticks.
        TPixelBuffer Ticks(N);
        FindTicks(Fx, Fy, TFreeView{Ink, Flags, Fx}, P, TickMax, TMaskView{Ticks, Fx, 1});
        FindTicks(Fy, Fx, TFreeView{Ink, Flags, Fy}, P, TickMax, TMaskView{Ticks, Fy, 1});
        for (std::size_t I = 0; I < N; ++I)
            if (Ticks[I] && (Options.Frame || !(Flags[I] & OnFrame)))
                Flags[I] |= OnTick;
    }

    // Healing in two passes: first as if the other family's lines still stood, then with
    // them gone (less what they gave back in the first pass).
    for (int Fi = 0; Fi < 2; ++Fi) {
        const TFamily& F = Families[std::size_t(Fi)];
        const TMaskView E{Flags, F, Erased[std::size_t(Fi)]},
            Keep{Flags, F, Kept1[std::size_t(Fi)]};
        for (const TBand& B : F.Bands)
            if (!B.IsFrame || Options.Frame)
                HealBand(F, B, P, E, E, Keep, nullptr);
    }
    // What blocks the second pass of each family takes the place of its first pass's bit.
    for (std::uint8_t& F : Flags) {
        const bool BlockedX = (F & (ErasedX | OnTick)) || ((F & ErasedY) && !(F & KeptY1));
        const bool BlockedY = (F & (ErasedY | OnTick)) || ((F & ErasedX) && !(F & KeptX1));
        F = static_cast<std::uint8_t>((F & ~(KeptX1 | KeptY1)) | (BlockedX ? KeptX1 : 0) |
                                      (BlockedY ? KeptY1 : 0));
    }
    for (int Fi = 0; Fi < 2; ++Fi) {
        const TFamily& F = Families[std::size_t(Fi)];
        const TMaskView Bl{Flags, F, Kept1[std::size_t(Fi)]}, E{Flags, F, Erased[std::size_t(Fi)]},
            Keep{Flags, F, Kept2[std::size_t(Fi)]}, Frame{Flags, F, OnFrame};
        for (const TBand& B : F.Bands)
            if (!B.IsFrame || Options.Frame)
                HealBand(F, B, P, Bl, E, Keep, &Frame);
    }

    for (int Y = 0; Y < H; ++Y)
        for (int X = 0; X < W; ++X) {
            const std::size_t I = std::size_t(Y) * W + X;
            const std::uint8_t F = Flags[I];
            const bool Ex = F & ErasedX, Ey = F & ErasedY, Tick = F & OnTick;
            Result.Mask[I] = 0;
            if (!Ex && !Ey && !Tick)
                continue;
            const bool Keep = (Ex || Ey) && (!Ex || (F & KeptX2)) && (!Ey || (F & KeptY2)) && !Tick;
            if (Keep) {
                Result.Mask[I] = TGridElimination::Kept;
                ++Result.KeptCount;
                continue;
            }
            Result.Mask[I] = TGridElimination::Erased;
            ++Result.ErasedCount;
            std::uint8_t Under[3];
            Paper.At(X, Y, Under);
            Result.Paper.insert(Result.Paper.end(), Under, Under + 3);
        }
    return Result;
}

void ApplyGridElimination(QImage& Image, const TGridElimination& Found) {
    if (Image.format() != QImage::Format_RGB888)
        Image = Image.convertToFormat(QImage::Format_RGB888);
    if (Image.width() != Found.Width || Image.height() != Found.Height)
        return;
    std::size_t Next = 0;
    for (int Y = 0; Y < Found.Height; ++Y) {
        std::uint8_t* Line = Image.scanLine(Y);
        for (int X = 0; X < Found.Width; ++X)
            if (Found.Mask[std::size_t(Y) * Found.Width + X] == TGridElimination::Erased) {
                std::copy_n(&Found.Paper[Next], 3, Line + X * 3);
                Next += 3;
            }
    }
}

QImage GridEliminationPreview(const QImage& Image, const TGridElimination& Found) {
    QImage Result = Image.convertToFormat(QImage::Format_RGB888);
    if (Result.width() != Found.Width || Result.height() != Found.Height)
        return Result;
    for (int Y = 0; Y < Found.Height; ++Y) {
        std::uint8_t* Line = Result.scanLine(Y);
        for (int X = 0; X < Found.Width; ++X) {
            const std::uint8_t M = Found.Mask[std::size_t(Y) * Found.Width + X];
            if (!M)
                continue;
            static const std::uint8_t Red[3] = {230, 0, 0}, Green[3] = {0, 170, 0};
            std::copy_n(M == TGridElimination::Erased ? Red : Green, 3, Line + X * 3);
        }
    }
    return Result;
}

} // namespace korvane
