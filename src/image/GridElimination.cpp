#include "image/GridElimination.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>
#include <set>
#include <sys/mman.h>
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

namespace {

struct TParams {
    int Tile = 64;
    double Ink = 24;
    double NoiseK = 4;
    int Gap = 10;
    int SegMin = 40;
    double Density = 0.25;
    double Rel = 0.6;
    int MinLen = 40;
    double RefRel = 0.5;
    double Beta = 0.2;
    double BetaExt = 0.04;
    double AlphaExt = 0.1;
    double AlphaLo = 0.1;
    double AlphaHi = 1.5;
    double Resid = 60;
    int EndMargin = 2;
    int TrimLen = 20;
    double FrameRel = 0.85;
    double AlphaEv = 0.6;
    int HealD0 = 2;
    double HealK = 1.2;
    // The longest stretch of a curve lying on a grid line that is kept (pass 2 only).
    int TangentGap = 24;
    double InkT = 24; // set from the image
};

const double Infinity = std::numeric_limits<double>::infinity();

// Whole-image buffers (tens of megabytes) in huge pages where the system offers them: the
// first touch of every 4 KB page otherwise costs more than the work done on it.
template <class T> struct THugePageAllocator {
    using value_type = T;
    THugePageAllocator() = default;
    template <class U> THugePageAllocator(const THugePageAllocator<U>&) {}
    static constexpr std::size_t Huge = std::size_t(2) << 20;
    T* allocate(std::size_t Count) {
        const std::size_t Bytes = Count * sizeof(T);
        if (Bytes < 2 * Huge) {
            if (void* P = std::malloc(Bytes))
                return static_cast<T*>(P);
            throw std::bad_alloc();
        }
        const std::size_t Rounded = (Bytes + Huge - 1) / Huge * Huge;
        void* P = std::aligned_alloc(Huge, Rounded);
        if (!P)
            throw std::bad_alloc();
        ::madvise(P, Rounded, MADV_HUGEPAGE);
        return static_cast<T*>(P);
    }
    void deallocate(T* P, std::size_t) { std::free(P); }
    friend bool operator==(const THugePageAllocator&, const THugePageAllocator&) { return true; }
};
using TPixelBuffer = std::vector<std::uint8_t, THugePageAllocator<std::uint8_t>>;

// The median as numpy gives it: the mean of the two middle values of an even count.
template <class T> double Median(std::vector<T> Values) {
    if (Values.empty())
        return 0;
    const std::size_t N = Values.size(), Half = N / 2;
    std::nth_element(Values.begin(), Values.begin() + std::ptrdiff_t(Half), Values.end());
    const double Upper = static_cast<double>(Values[Half]);
    if (N % 2)
        return Upper;
    const double Lower = static_cast<double>(
        *std::max_element(Values.begin(), Values.begin() + std::ptrdiff_t(Half)));
    return (Lower + Upper) / 2;
}

// ---- paper and ink ----

// The paper's colour everywhere, from the medians of the tiles, worked out where it is asked
// for rather than kept for every pixel.
class TPaper {
public:
    TPaper(const std::uint8_t* Img, int W, int H, int Tile);

    // The paper under row Y, every column (3 bytes each) into Out; Scratch is reused.
    void Row(int Y, std::uint8_t* Out, std::vector<float>& Scratch) const;
    // The paper under one pixel; the same values as Row gives.
    void At(int X, int Y, std::uint8_t* Out) const;

private:
    struct TWeight {
        int I0, I1;
        float W;
    };
    std::vector<TWeight> Weights(int N, int M) const;

    int W, H, Tile, Tw;
    std::vector<float> Smooth;
    std::vector<TWeight> Rw, Cw;
};

TPaper::TPaper(const std::uint8_t* Img, int Width, int Height, int TileSize)
    : W(Width), H(Height), Tile(TileSize), Tw((W + Tile - 1) / Tile) {
    const int Th = (H + Tile - 1) / Tile;
    const int Step = std::max(1, Tile / 16), T2 = Tile / Step;
    const int Hs = (H + Step - 1) / Step, Ws = (W + Step - 1) / Step;
    std::vector<float> Med(std::size_t(Th) * Tw * 3);
    std::vector<std::uint8_t> Samples(std::size_t(T2) * T2);
    for (int Ty = 0; Ty < Th; ++Ty)
        for (int Tx = 0; Tx < Tw; ++Tx)
            for (int Ch = 0; Ch < 3; ++Ch) {
                std::size_t N = 0;
                for (int I = 0; I < T2; ++I) {
                    const int Y = std::min(Ty * T2 + I, Hs - 1) * Step;
                    for (int J = 0; J < T2; ++J) {
                        const int X = std::min(Tx * T2 + J, Ws - 1) * Step;
                        Samples[N++] = Img[(std::size_t(Y) * W + X) * 3 + Ch];
                    }
                }
                Med[(std::size_t(Ty) * Tw + Tx) * 3 + Ch] = static_cast<float>(Median(Samples));
            }
    // A 3 x 3 median over the tiles (edges repeated) smooths away tiles full of ink.
    Smooth.resize(Med.size());
    std::array<float, 9> Near{};
    for (int Ty = 0; Ty < Th; ++Ty)
        for (int Tx = 0; Tx < Tw; ++Tx)
            for (int Ch = 0; Ch < 3; ++Ch) {
                int N = 0;
                for (int Dy = -1; Dy <= 1; ++Dy)
                    for (int Dx = -1; Dx <= 1; ++Dx) {
                        const int Y = std::clamp(Ty + Dy, 0, Th - 1),
                                  X = std::clamp(Tx + Dx, 0, Tw - 1);
                        Near[std::size_t(N++)] = Med[(std::size_t(Y) * Tw + X) * 3 + Ch];
                    }
                std::nth_element(Near.begin(), Near.begin() + 4, Near.end());
                Smooth[(std::size_t(Ty) * Tw + Tx) * 3 + Ch] = Near[4];
            }
    Rw = Weights(H, Th);
    Cw = Weights(W, Tw);
}

std::vector<TPaper::TWeight> TPaper::Weights(int N, int M) const {
    std::vector<TWeight> Result(static_cast<std::size_t>(N));
    for (int I = 0; I < N; ++I) {
        const double X = (I + 0.5) / Tile - 0.5;
        const int I0 = std::clamp(static_cast<int>(std::floor(X)), 0, M - 1);
        const int I1 = std::min(I0 + 1, M - 1);
        Result[std::size_t(I)] = {I0, I1, static_cast<float>(std::clamp(X - I0, 0.0, 1.0))};
    }
    return Result;
}

void TPaper::Row(int Y, std::uint8_t* Out, std::vector<float>& Scratch) const {
    const TWeight& R = Rw[std::size_t(Y)];
    Scratch.resize(std::size_t(Tw) * 3);
    for (int T = 0; T < Tw * 3; ++T)
        Scratch[std::size_t(T)] = Smooth[std::size_t(R.I0) * Tw * 3 + std::size_t(T)] * (1 - R.W) +
                                  Smooth[std::size_t(R.I1) * Tw * 3 + std::size_t(T)] * R.W;
    for (int X = 0; X < W; ++X) {
        const TWeight& C = Cw[std::size_t(X)];
        for (int Ch = 0; Ch < 3; ++Ch) {
            const float V = Scratch[std::size_t(C.I0) * 3 + Ch] * (1 - C.W) +
                            Scratch[std::size_t(C.I1) * 3 + Ch] * C.W;
            Out[X * 3 + Ch] = static_cast<std::uint8_t>(std::clamp(V + 0.5f, 0.0f, 255.0f));
        }
    }
}

void TPaper::At(int X, int Y, std::uint8_t* Out) const {
    const TWeight& R = Rw[std::size_t(Y)];
    const TWeight& C = Cw[std::size_t(X)];
    for (int Ch = 0; Ch < 3; ++Ch) {
        const auto Across = [&](int T) {
            return Smooth[(std::size_t(R.I0) * Tw + std::size_t(T)) * 3 + std::size_t(Ch)] *
                       (1 - R.W) +
                   Smooth[(std::size_t(R.I1) * Tw + std::size_t(T)) * 3 + std::size_t(Ch)] * R.W;
        };
        const float V = Across(C.I0) * (1 - C.W) + Across(C.I1) * C.W;
        Out[Ch] = static_cast<std::uint8_t>(std::clamp(V + 0.5f, 0.0f, 255.0f));
    }
}

// ---- a family of lines, seen sheared so that its lines are rows ----

struct TBand {
    int K0 = 0, K1 = 0;
    double Total = 0;
    std::vector<int> Cols;
    std::array<float, 3> G{};
    double Contrast = 0; // the distance of G from the paper
    int E0 = 0, E1 = 0;
    double Pos = 0;
    std::vector<std::pair<int, int>> Erase; // (row, column) of the family's arrays
    bool IsFrame = false;
};

// Alpha (the share of the way from the paper P to the grid colour G) and the residual
// distance from that way, of pixel X.
inline void ColourModel(const std::uint8_t* X, const std::uint8_t* B, const std::array<float, 3>& G,
                        float& Alpha, float& Residual) {
    float P[3], V[3], PV = 0, VV = 0;
    for (int Ch = 0; Ch < 3; ++Ch) {
        P[Ch] = float(X[Ch]) - float(B[Ch]);
        V[Ch] = G[std::size_t(Ch)] - float(B[Ch]);
        PV += P[Ch] * V[Ch];
        VV += V[Ch] * V[Ch];
    }
    Alpha = PV / std::max(VV, 1.0f);
    float R2 = 0;
    for (int Ch = 0; Ch < 3; ++Ch) {
        const float D = P[Ch] - Alpha * V[Ch];
        R2 += D * D;
    }
    Residual = std::sqrt(R2);
}

struct TFamily {
    bool IsX = true;
    int H = 0, W = 0; // of the family's arrays (the image's, transposed for the Y family)
    const std::uint8_t* Img = nullptr;
    const TPaper* Paper = nullptr;
    const std::uint8_t* Ink = nullptr;
    std::vector<int> S;
    int SMax = 0, SMin = 0, K = 0;
    double Cos = 1, Sin = 0;
    TDoublePoint First; // image column and row
    std::vector<TBand> Bands;
    std::vector<std::size_t> Frame;
    double LimitLo = -Infinity, LimitHi = Infinity;

    void Setup(bool X, int Height, int Width, const std::uint8_t* Image, const TPaper* PaperColours,
               const std::uint8_t* InkMask, double Tan, double Origin) {
        IsX = X;
        H = Height;
        W = Width;
        Img = Image;
        Paper = PaperColours;
        Ink = InkMask;
        S.resize(std::size_t(W));
        for (int C = 0; C < W; ++C)
            S[std::size_t(C)] = static_cast<int>(std::nearbyint((C - Origin) * Tan));
        SMax = *std::max_element(S.begin(), S.end());
        SMin = *std::min_element(S.begin(), S.end());
        K = H + SMax - SMin;
    }
    int ImageRow(int Kk, int C) const { return Kk - SMax + S[std::size_t(C)]; }
    // Ink is kept in the family's own layout (transposed for the Y family)...
    std::size_t Index(int R, int C) const { return std::size_t(R) * W + C; }
    // ... the pixels, the paper and the masks in the image's.
    std::size_t ImageIndex(int R, int C) const {
        return IsX ? std::size_t(R) * W + C : std::size_t(C) * H + R;
    }
    const std::uint8_t* Pixel(const std::uint8_t* Base, int R, int C) const {
        return Base + ImageIndex(R, C) * 3;
    }
    // The paper's colour there (3 bytes into Out).
    void PaperAt(int R, int C, std::uint8_t* Out) const {
        if (IsX)
            Paper->At(C, R, Out);
        else
            Paper->At(R, C, Out);
    }
    // Across the family's lines and along them, deskewed, for a pixel of the family's arrays.
    std::pair<double, double> AcrossAlong(double Fr, double Fc) const {
        const double R = IsX ? Fr : Fc, C = IsX ? Fc : Fr;
        const double Dx = C - First.X, Dy = R - First.Y;
        const double U = Dx * Cos + Dy * Sin, V = Dy * Cos - Dx * Sin;
        return IsX ? std::make_pair(V, U) : std::make_pair(U, V);
    }
    double BandAcross(const TBand& B) const {
        int Col = 0;
        for (int C = 1; C < W; ++C)
            if (std::abs(S[std::size_t(C)]) < std::abs(S[std::size_t(Col)]))
                Col = C;
        return AcrossAlong(B.Pos - SMax + S[std::size_t(Col)], Col).first;
    }
    bool InkAt(int Kk, int C) const {
        const int R = ImageRow(Kk, C);
        return R >= 0 && R < H && Ink[Index(R, C)];
    }
};

// Finds the family's bands; answers the longest row's counted length.
double DetectBands(TFamily& F, const TParams& P, int MaxWidth, double MinLen) {
    struct TSegment {
        int K, C0, C1;
    };
    std::vector<TSegment> Kept;
    std::vector<double> Total(std::size_t(F.K), 0);
    for (int Kk = 0; Kk < F.K; ++Kk) {
        int C0 = -1, Last = -1, Count = 0;
        const auto Close = [&] {
            if (C0 < 0)
                return;
            const int Length = Last - C0 + 1;
            if (Length >= P.SegMin && Count >= P.Density * Length) {
                Kept.push_back({Kk, C0, Last});
                Total[std::size_t(Kk)] += Length;
            }
        };
        for (int C = 0; C < F.W; ++C) {
            if (!(F.InkAt(Kk, C) || (Kk + 1 < F.K && F.InkAt(Kk + 1, C))))
                continue;
            if (C0 >= 0 && C - Last <= P.Gap + 1) {
                Last = C;
                ++Count;
            } else {
                Close();
                C0 = Last = C;
                Count = 1;
            }
        }
        Close();
    }
    const double LMax = Total.empty() ? 0 : *std::max_element(Total.begin(), Total.end());
    if (LMax <= 0)
        return 0;
    const double Least = std::max(P.Rel * LMax, MinLen);
    std::size_t First = 0; // the first kept segment of the current row, Kept being in row order
    for (int Kk = 0; Kk < F.K;) {
        if (Total[std::size_t(Kk)] < Least) {
            ++Kk;
            continue;
        }
        int K1 = Kk;
        while (K1 + 1 < F.K && Total[std::size_t(K1 + 1)] >= Least)
            ++K1;
        if (K1 - Kk + 1 <= MaxWidth) {
            while (First < Kept.size() && Kept[First].K < Kk)
                ++First;
            std::vector<std::pair<int, int>> Intervals;
            double Longest = 0;
            for (std::size_t I = First; I < Kept.size() && Kept[I].K <= K1; ++I)
                Intervals.push_back({std::max(0, Kept[I].C0 - P.EndMargin),
                                     std::min(F.W - 1, Kept[I].C1 + P.EndMargin)});
            for (int R = Kk; R <= K1; ++R)
                Longest = std::max(Longest, Total[std::size_t(R)]);
            std::sort(Intervals.begin(), Intervals.end());
            TBand B;
            B.K0 = Kk;
            B.K1 = K1;
            B.Total = Longest;
            int Lo = -1, Hi = -2;
            const auto Flush = [&] {
                for (int C = Lo; C <= Hi; ++C)
                    B.Cols.push_back(C);
            };
            for (const auto& [A, E] : Intervals) {
                if (Lo >= 0 && A <= Hi + 1) {
                    Hi = std::max(Hi, E);
                } else {
                    if (Lo >= 0)
                        Flush();
                    Lo = A;
                    Hi = E;
                }
            }
            if (Lo >= 0)
                Flush();
            F.Bands.push_back(std::move(B));
        }
        Kk = K1 + 1;
    }
    return LMax;
}

// The band's colour, erase rows and erase pixels; false when it is no line after all.
bool AnalyseBand(const TFamily& F, TBand& B, const TParams& P) {
    const int M = 4;
    const int K0 = B.K0 - M, NK = B.K1 + 2 + M - K0;
    const int NC = static_cast<int>(B.Cols.size());
    if (NC == 0)
        return false;
    const auto At = [&](int R, int C) { return std::size_t(R) * NC + C; };
    std::vector<int> Rows(std::size_t(NK) * NC);
    std::vector<std::uint8_t> Valid(Rows.size());
    for (int R = 0; R < NK; ++R)
        for (int C = 0; C < NC; ++C) {
            const int Row = F.ImageRow(K0 + R, B.Cols[std::size_t(C)]);
            Rows[At(R, C)] = Row;
            Valid[At(R, C)] = Row >= 0 && Row < F.H;
        }
    // The window's pixels and the paper under them (rows outside the image read their edge).
    std::vector<std::uint8_t> PaperWindow(Rows.size() * 3);
    for (int R = 0; R < NK; ++R)
        for (int C = 0; C < NC; ++C)
            F.PaperAt(std::clamp(Rows[At(R, C)], 0, F.H - 1), B.Cols[std::size_t(C)],
                      &PaperWindow[At(R, C) * 3]);
    const auto Pixel = [&](int R, int C) {
        const int Row = std::clamp(Rows[At(R, C)], 0, F.H - 1);
        return F.Pixel(F.Img, Row, B.Cols[std::size_t(C)]);
    };
    const auto PaperUnder = [&](int R, int C) {
        return static_cast<const std::uint8_t*>(&PaperWindow[At(R, C) * 3]);
    };
    // The grid's colour: per column, the band pixel farthest from the paper; the median of
    // those where they are ink.
    std::array<std::vector<float>, 3> TopX, TopB;
    const double Ink2 = P.InkT * P.InkT;
    for (int C = 0; C < NC; ++C) {
        int Top = -1;
        double Best = -Infinity;
        for (int R = M; R < NK - M; ++R) {
            double D = -1;
            if (Valid[At(R, C)]) {
                const std::uint8_t* X = Pixel(R, C);
                const std::uint8_t* Bg = PaperUnder(R, C);
                D = 0;
                for (int Ch = 0; Ch < 3; ++Ch)
                    D += (double(X[Ch]) - Bg[Ch]) * (double(X[Ch]) - Bg[Ch]);
            }
            if (D > Best) {
                Best = D;
                Top = R;
            }
        }
        if (Best >= Ink2) {
            const std::uint8_t* X = Pixel(Top, C);
            const std::uint8_t* Bg = PaperUnder(Top, C);
            for (int Ch = 0; Ch < 3; ++Ch) {
                TopX[std::size_t(Ch)].push_back(X[Ch]);
                TopB[std::size_t(Ch)].push_back(Bg[Ch]);
            }
        }
    }
    if (TopX[0].size() < 3)
        return false;
    double Contrast2 = 0;
    for (int Ch = 0; Ch < 3; ++Ch) {
        B.G[std::size_t(Ch)] = static_cast<float>(Median(TopX[std::size_t(Ch)]));
        const double D = B.G[std::size_t(Ch)] - Median(TopB[std::size_t(Ch)]);
        Contrast2 += D * D;
    }
    const double Contrast = std::sqrt(Contrast2);
    if (Contrast < P.InkT)
        return false;
    B.Contrast = Contrast;

    std::vector<float> Alpha(Rows.size()), Resid(Rows.size()), Ca(Rows.size());
    for (int R = 0; R < NK; ++R)
        for (int C = 0; C < NC; ++C) {
            ColourModel(Pixel(R, C), PaperUnder(R, C), B.G, Alpha[At(R, C)], Resid[At(R, C)]);
            Ca[At(R, C)] = Valid[At(R, C)] ? std::clamp(Alpha[At(R, C)], 0.0f, 1.0f) : 0.0f;
        }
    int Peak = M;
    double PeakMean = -Infinity;
    for (int R = M; R < NK - M; ++R) {
        double Sum = 0;
        int N = 0;
        for (int C = 0; C < NC; ++C) {
            Sum += Ca[At(R, C)];
            N += Valid[At(R, C)];
        }
        const double Mean = Sum / std::max(N, 1);
        if (Mean > PeakMean) {
            PeakMean = Mean;
            Peak = R;
        }
    }
    std::vector<int> LineCols;
    for (int C = 0; C < NC; ++C)
        if (Ca[At(Peak, C)] >= 0.5f)
            LineCols.push_back(C);
    if (LineCols.size() < 3)
        return false;
    std::vector<double> Prof(static_cast<std::size_t>(NK));
    std::vector<float> Column(LineCols.size());
    for (int R = 0; R < NK; ++R) {
        for (std::size_t I = 0; I < LineCols.size(); ++I)
            Column[I] = Ca[At(R, LineCols[I])];
        Prof[std::size_t(R)] = Median(Column);
    }
    const double Least = *std::min_element(Prof.begin(), Prof.end());
    for (double& V : Prof)
        V -= Least;
    std::vector<double> Rel(Prof.size());
    for (std::size_t R = 0; R < Prof.size(); ++R)
        Rel[R] = Prof[R] / std::max(Prof[std::size_t(Peak)], 1e-6);
    const auto Rl = [&](int R) { return Rel[std::size_t(R)]; };
    int RLo = Peak, RHi = Peak;
    while (RLo > 0 && Rl(RLo - 1) >= P.Beta && Rl(RLo - 1) <= Rl(RLo) + 0.1)
        --RLo;
    while (RHi < NK - 1 && Rl(RHi + 1) >= P.Beta && Rl(RHi + 1) <= Rl(RHi) + 0.1)
        ++RHi;
    const double AMin = 0.5 * P.InkT / Contrast;
    std::vector<double> LoA(std::size_t(NK), Infinity);
    for (int R = RLo; R <= RHi; ++R)
        LoA[std::size_t(R)] = std::max(P.AlphaLo, AMin);
    int XLo = RLo, XHi = RHi;
    for (int I = 0; I < 2; ++I) {
        if (XLo > 1 && P.BetaExt <= Rl(XLo - 1) && Rl(XLo - 1) <= Rl(XLo) &&
            Rl(XLo - 2) <= Rl(XLo - 1)) {
            --XLo;
            LoA[std::size_t(XLo)] = std::max(P.AlphaExt, AMin);
        }
        if (XHi < NK - 2 && P.BetaExt <= Rl(XHi + 1) && Rl(XHi + 1) <= Rl(XHi) &&
            Rl(XHi + 2) <= Rl(XHi + 1)) {
            ++XHi;
            LoA[std::size_t(XHi)] = std::max(P.AlphaExt, AMin);
        }
    }
    std::vector<std::uint8_t> Erase(Rows.size());
    std::vector<int> On; // columns (indices into Cols) with an erased pixel
    for (int C = 0; C < NC; ++C) {
        bool Any = false;
        for (int R = 0; R < NK; ++R) {
            const std::size_t I = At(R, C);
            const bool E = Valid[I] && Alpha[I] >= LoA[std::size_t(R)] && Alpha[I] <= P.AlphaHi &&
                           Resid[I] <= P.Resid;
            Erase[I] = E;
            Any = Any || E;
        }
        if (Any)
            On.push_back(C);
    }
    if (On.empty())
        return false;
    // The ends: pieces shorter than TrimLen past a gap wider than the line's own gaps go.
    std::vector<int> Cc(On.size());
    for (std::size_t I = 0; I < On.size(); ++I)
        Cc[I] = B.Cols[std::size_t(On[I])];
    std::vector<int> Gaps;
    for (std::size_t I = 1; I < Cc.size(); ++I)
        Gaps.push_back(Cc[I] - Cc[I - 1] - 1);
    const int GMax = Gaps.empty() ? 3 : std::max(3, 2 * static_cast<int>(Median(Gaps)));
    std::vector<std::size_t> Starts{0}, Ends;
    for (std::size_t I = 0; I < Gaps.size(); ++I)
        if (Gaps[I] > GMax) {
            Ends.push_back(I);
            Starts.push_back(I + 1);
        }
    Ends.push_back(Cc.size() - 1);
    std::size_t I = 0, J = Starts.size() - 1;
    while (I < J && Cc[Ends[I]] - Cc[Starts[I]] + 1 < P.TrimLen)
        ++I;
    while (J > I && Cc[Ends[J]] - Cc[Starts[J]] + 1 < P.TrimLen)
        --J;
    const int LoC = Cc[Starts[I]] - P.EndMargin, HiC = Cc[Ends[J]] + P.EndMargin;
    std::vector<int> Inside;
    for (int C = 0; C < NC; ++C) {
        const int Col = B.Cols[std::size_t(C)];
        if (Col < LoC || Col > HiC)
            continue;
        Inside.push_back(Col);
        for (int R = 0; R < NK; ++R)
            if (Erase[At(R, C)])
                B.Erase.push_back({Rows[At(R, C)], Col});
    }
    B.Cols = std::move(Inside);
    B.E0 = K0 + XLo;
    B.E1 = K0 + XHi;
    double Sum = 0, Weight = 0;
    for (int R = RLo; R <= RHi; ++R) {
        Sum += (K0 + R) * Prof[std::size_t(R)];
        Weight += Prof[std::size_t(R)];
    }
    B.Pos = Sum / std::max(Weight, 1e-9);
    return true;
}

// ---- healing ----

// What is known of each image pixel, as bits of one byte: erased by the X or the Y family,
// kept by their first or second healing pass, on a frame line, on a tick mark.
enum : std::uint8_t {
    ErasedX = 1,
    ErasedY = 2,
    KeptX1 = 4,
    KeptY1 = 8,
    KeptX2 = 16,
    KeptY2 = 32,
    OnFrame = 64,
    OnTick = 128
};

// One bit of the pixels' flags, seen through a family's arrays.
struct TMaskView {
    TPixelBuffer& Flags;
    const TFamily& F;
    std::uint8_t Bit;
    bool operator()(int R, int C) const { return Flags[F.ImageIndex(R, C)] & Bit; }
    void Set(int R, int C) const { Flags[F.ImageIndex(R, C)] |= Bit; }
};

// The ink that is neither frame nor erased grid, seen through a family's arrays.
struct TFreeView {
    const TPixelBuffer& Ink; // in the image's layout
    const TPixelBuffer& Flags;
    const TFamily& F;
    bool operator()(int R, int C) const {
        const std::size_t I = F.ImageIndex(R, C);
        return Ink[I] && !(Flags[I] & (OnFrame | ErasedX | ErasedY));
    }
};

std::vector<std::pair<int, int>> Runs(const std::vector<std::uint8_t>& Evidence,
                                      const std::vector<int>& Cols) {
    std::vector<std::pair<int, int>> Result;
    for (std::size_t I = 0; I < Cols.size(); ++I) {
        if (!Evidence[I])
            continue;
        if (!Result.empty() && Cols[I] - Result.back().second == 1)
            Result.back().second = Cols[I];
        else
            Result.push_back({Cols[I], Cols[I]});
    }
    return Result;
}

// Curve evidence in row Kk of the family, over the band's columns. With SameColour only a
// curve of the grid's own colour counts; pixels of Also (when given) are no evidence either.
std::vector<std::uint8_t> Evidence(const TFamily& F, const TBand& B, const TParams& P,
                                   const TMaskView& Blocked, int Kk, bool SameColour = false,
                                   const TMaskView* Also = nullptr) {
    std::vector<std::uint8_t> Result(B.Cols.size());
    for (std::size_t I = 0; I < B.Cols.size(); ++I) {
        const int C = B.Cols[I], R = F.ImageRow(Kk, C);
        if (R < 0 || R >= F.H || Blocked(R, C) || (Also && (*Also)(R, C)))
            continue;
        float Alpha, Resid;
        std::uint8_t Paper[3];
        F.PaperAt(R, C, Paper);
        ColourModel(F.Pixel(F.Img, R, C), Paper, B.G, Alpha, Resid);
        // A curve of the grid's own colour lies close to the way from the paper to it, unlike
        // the pale fringe of a curve of another colour.
        Result[I] = Alpha >= P.AlphaEv && Resid <= P.Resid &&
                    (!SameColour || (Alpha <= P.AlphaHi && Resid <= 0.3 * B.Contrast));
    }
    return Result;
}

// A curve that touches the line from one side and runs along it for a while leaves, beside the
// strip, two runs of evidence with a gap between them and nothing farther out in that gap: the
// curve went into the strip there, so the strip's pixels in the gap are kept.
// Only a curve of the grid's colour can hide in a line this way (other colours are never
// erased), and the frame lines are no curve.
void HealTangents(const TFamily& F, const TBand& B, const TParams& P, const TMaskView& Blocked,
                  const TMaskView& E, const TMaskView& Keep, const TMaskView& Frame) {
    const int Ka = B.E0 - 1, Kb = B.E1 + 1;
    for (int Side = 0; Side < 2; ++Side) {
        const int Kk = Side ? Kb : Ka, Outwards = Side ? 1 : -1;
        const std::vector<std::uint8_t> Near = Evidence(F, B, P, Blocked, Kk, true, &Frame);
        const std::vector<std::uint8_t> Far = Evidence(F, B, P, Blocked, Kk + Outwards);
        std::size_t Last = B.Cols.size(); // the index of the last evidence met
        for (std::size_t I = 0; I < B.Cols.size(); ++I) {
            if (!Near[I])
                continue;
            const bool Touching = Last < B.Cols.size() && I > Last + 1 &&
                                  B.Cols[I] - B.Cols[Last] == int(I - Last) &&
                                  B.Cols[I] - B.Cols[Last] - 1 <= P.TangentGap;
            bool Clear = Touching;
            for (std::size_t J = Last + 1; Clear && J < I; ++J)
                Clear = !Far[J];
            if (Clear)
                for (std::size_t J = Last + 1; J < I; ++J)
                    for (int Kk = Ka + 1; Kk < Kb; ++Kk) {
                        const int C = B.Cols[J], R = F.ImageRow(Kk, C);
                        if (R >= 0 && R < F.H && E(R, C))
                            Keep.Set(R, C);
                    }
            Last = I;
        }
    }
}

void HealBand(const TFamily& F, const TBand& B, const TParams& P, const TMaskView& Blocked,
              const TMaskView& E, const TMaskView& Keep, const TMaskView* TangentFrame) {
    const int Ka = B.E0 - 1, Kb = B.E1 + 1, W = Kb - Ka - 1;
    const std::array<std::vector<std::uint8_t>, 2> Beside{Evidence(F, B, P, Blocked, Ka),
                                                          Evidence(F, B, P, Blocked, Kb)};
    if (TangentFrame)
        HealTangents(F, B, P, Blocked, E, Keep, *TangentFrame);
    const auto A = Runs(Beside[0], B.Cols), Bs = Runs(Beside[1], B.Cols);
    if (A.empty() || Bs.empty())
        return;
    const auto GapOk = [&](std::pair<int, int> X, std::pair<int, int> Y, int& Gap) {
        Gap = std::max(0, std::max(X.first, Y.first) - std::min(X.second, Y.second) - 1);
        const int Longer = std::max(X.second - X.first + 1, Y.second - Y.first + 1);
        return Gap <= std::max(double(P.HealD0), P.HealK * W * Longer);
    };
    const auto CentreDistance = [](std::pair<int, int> X, std::pair<int, int> Y) {
        return std::abs((X.first + X.second) - (Y.first + Y.second));
    };
    std::set<std::pair<std::size_t, std::size_t>> Pairs;
    const auto Best = [&](const auto& From, const auto& To, bool FromIsA) {
        for (std::size_t I = 0; I < From.size(); ++I) {
            std::pair<int, int> Key{0, 0};
            std::size_t Found = To.size();
            for (std::size_t J = 0; J < To.size(); ++J) {
                int Gap;
                if (!GapOk(From[I], To[J], Gap))
                    continue;
                const std::pair<int, int> This{Gap, CentreDistance(From[I], To[J])};
                if (Found == To.size() || This < Key) {
                    Key = This;
                    Found = J;
                }
            }
            if (Found < To.size())
                Pairs.insert(FromIsA ? std::make_pair(I, Found) : std::make_pair(Found, I));
        }
    };
    Best(A, Bs, true);
    Best(Bs, A, false);
    for (const auto& [I, J] : Pairs) {
        const auto Ra = A[I], Rb = Bs[J];
        for (int Jj = 1; Jj <= W; ++Jj) {
            const double T = Jj / (W + 1.0);
            double Lo = Ra.first + (Rb.first - Ra.first) * T;
            double Hi = Ra.second + (Rb.second - Ra.second) * T;
            if (Lo > Hi)
                std::swap(Lo, Hi);
            const int CLo = static_cast<int>(std::floor(Lo + 0.5));
            const int CHi = std::max(CLo, static_cast<int>(std::ceil(Hi - 0.5)));
            for (int C = std::max(CLo, 0); C <= std::min(CHi, F.W - 1); ++C) {
                const int R = F.ImageRow(Ka + Jj, C);
                if (R >= 0 && R < F.H && E(R, C))
                    Keep.Set(R, C);
            }
        }
    }
}

// ---- tick marks: short strokes standing on a frame line ----

// Marks in Ticks (image-sized) the tick marks of family F that stand on the frame lines of
// Other: short strokes across those lines, with one end on a line and nothing beside them.
// Free is the ink left once the frame and the erased grid are taken out.
void FindTicks(const TFamily& F, const TFamily& Other, const TFreeView& Free, const TParams& P,
               int TickMax, const TMaskView& Ticks) {
    struct TSegment {
        int K, C0, C1;
    };
    std::vector<TSegment> Segments;
    for (int Kk = 0; Kk < F.K; ++Kk) {
        int C0 = -1;
        for (int C = 0; C <= F.W; ++C) {
            const int R = C < F.W ? F.ImageRow(Kk, C) : -1;
            const bool On = C < F.W && R >= 0 && R < F.H && Free(R, C);
            if (On && C0 < 0)
                C0 = C;
            if (!On && C0 >= 0) {
                const int Length = C - C0;
                if (Length >= 2 && Length <= TickMax)
                    Segments.push_back({Kk, C0, C - 1});
                C0 = -1;
            }
        }
    }
    for (std::size_t Fi : Other.Frame) {
        const TBand& Fb = Other.Bands[Fi];
        const double Across = Other.BandAcross(Fb);
        const double Half = (Fb.E1 - Fb.E0 + 1) / 2.0 + P.EndMargin + 2.0;
        // Strokes: touching segments in consecutive rows whose spans overlap.
        struct TStroke {
            int K0, K1, A, E;
        };
        std::vector<TStroke> Strokes;
        for (const TSegment& Sg : Segments) { // in row order, then column order
            const double A0 = F.AcrossAlong(F.ImageRow(Sg.K, Sg.C0), Sg.C0).second;
            const double A1 = F.AcrossAlong(F.ImageRow(Sg.K, Sg.C1), Sg.C1).second;
            if (std::abs(A0 - Across) > Half && std::abs(A1 - Across) > Half)
                continue;
            if (!Strokes.empty()) {
                TStroke& St = Strokes.back();
                if (Sg.K == St.K1 + 1 && Sg.C0 <= St.E && Sg.C1 >= St.A) {
                    St.K1 = Sg.K;
                    St.A = std::min(St.A, Sg.C0);
                    St.E = std::max(St.E, Sg.C1);
                    continue;
                }
            }
            Strokes.push_back({Sg.K, Sg.K, Sg.C0, Sg.C1});
        }
        const int Width = Fb.E1 - Fb.E0 + 3;
        const int End0 = Fb.Cols.front(), End1 = Fb.Cols.back();
        double ExtLo =
            Other.AcrossAlong(Fb.Pos - Other.SMax + Other.S[std::size_t(End0)], End0).second;
        double ExtHi =
            Other.AcrossAlong(Fb.Pos - Other.SMax + Other.S[std::size_t(End1)], End1).second;
        if (ExtLo > ExtHi)
            std::swap(ExtLo, ExtHi);
        for (const TStroke& St : Strokes) {
            if (St.K1 - St.K0 + 1 > Width)
                continue;
            // On the frame line itself, not beyond its ends.
            const double Pos =
                F.AcrossAlong(F.ImageRow(0, St.A) + (St.K0 + St.K1) / 2.0, St.A).first;
            if (!(std::max(Other.LimitLo, ExtLo) - Half <= Pos &&
                  Pos <= std::min(Other.LimitHi, ExtHi) + Half))
                continue;
            // Standing alone: no ink beside it two rows out, away from the frame.
            int Beside = 0;
            for (const int Kk : {St.K0 - 2, St.K1 + 2})
                for (int C = St.A; C <= St.E; ++C) {
                    const int R = F.ImageRow(Kk, C);
                    if (R < 0 || R >= F.H || !Free(R, C))
                        continue;
                    const double Along = F.AcrossAlong(F.ImageRow(St.K0, C), C).second;
                    if (std::abs(Along - Across) > Half)
                        ++Beside;
                }
            if (Beside > 1)
                continue;
            for (int Kk = St.K0 - 1; Kk <= St.K1 + 1; ++Kk)
                for (int C = St.A; C <= St.E; ++C) {
                    const int R = F.ImageRow(Kk, C);
                    if (R < 0 || R >= F.H)
                        continue;
                    float Alpha, Resid;
                    std::uint8_t Paper[3];
                    F.PaperAt(R, C, Paper);
                    ColourModel(F.Pixel(F.Img, R, C), Paper, Fb.G, Alpha, Resid);
                    if (Alpha >= P.AlphaExt && Alpha <= P.AlphaHi && Resid <= P.Resid)
                        Ticks.Set(R, C);
                }
        }
    }
}

// ---- the tilt of a grid without reference points ----

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
    Result.Mask.assign(std::size_t(W) * H, 0);
    if (W < 2 || H < 2)
        return Result;
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
    std::vector<float> Sample;
    for (int Y = 0; Y < H; Y += 4)
        for (int X = 0; X < W; X += 4) {
            std::uint8_t Under[3];
            Paper.At(X, Y, Under);
            Sample.push_back(
                std::sqrt(static_cast<float>(Distance2(std::size_t(Y) * W + X, Under))));
        }
    const double Strength = std::clamp(Options.Strength, 1.0, 3.0);
    P.InkT = std::max(P.Ink, P.NoiseK * Median(Sample)) / Strength;
    Result.InkThreshold = P.InkT;
    TPixelBuffer Ink(N);
    {
        std::vector<std::uint8_t> Under(std::size_t(W) * 3);
        std::vector<float> Scratch;
        const double Least = P.InkT * P.InkT;
        for (int Y = 0; Y < H; ++Y) {
            Paper.Row(Y, Under.data(), Scratch);
            const std::size_t Start = std::size_t(Y) * W;
            for (int X = 0; X < W; ++X)
                Ink[Start + X] = Distance2(Start + X, &Under[std::size_t(X) * 3]) >= Least;
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
    for (int Y = 0; Y < H; ++Y)
        for (int X = 0; X < W; ++X)
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

    // What each family erases, in image pixels.
    TPixelBuffer Flags(N);
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

    int Left = W, Top = H, Right = -1, Bottom = -1;
    for (int Y = 0; Y < H; ++Y)
        for (int X = 0; X < W; ++X) {
            const std::size_t I = std::size_t(Y) * W + X;
            const std::uint8_t F = Flags[I];
            const bool Ex = F & ErasedX, Ey = F & ErasedY, Tick = F & OnTick;
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
            Left = std::min(Left, X);
            Right = std::max(Right, X);
            Top = std::min(Top, Y);
            Bottom = std::max(Bottom, Y);
        }
    if (Right >= 0)
        Result.Changed = QRect(QPoint(Left, Top), QPoint(Right, Bottom));
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
