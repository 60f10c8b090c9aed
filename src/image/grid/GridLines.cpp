#include "image/grid/GridLines.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace korvane::grid {

double DetectBands(TFamily& F, const TParams& P, int MaxWidth, double MinLen) {
    struct TSegment {
        int K, C0, C1;
    };
    std::vector<TSegment> Kept;
    std::vector<double> Total(std::size_t(F.K), 0);
    // Runs of columns that the shear moves alike: each is one piece of an image row.
    struct TRun {
        int C0, C1, S;
    };
    std::vector<TRun> Runs;
    for (int C = 0; C < F.W; ++C)
        if (Runs.empty() || Runs.back().S != F.S[std::size_t(C)])
            Runs.push_back({C, C + 1, F.S[std::size_t(C)]});
        else
            Runs.back().C1 = C + 1;
    // Row Kk of the sheared ink, with 8 spare zero bytes for the word-wise scan.
    const auto ShearedRow = [&](int Kk, std::vector<std::uint8_t>& Out) {
        Out.assign(std::size_t(F.W) + 8, 0);
        for (const TRun& Run : Runs) {
            const int R = Kk - F.SMax + Run.S;
            if (R >= 0 && R < F.H)
                std::copy(F.Ink + F.Index(R, Run.C0), F.Ink + F.Index(R, Run.C1),
                          Out.begin() + Run.C0);
        }
    };
    std::vector<std::uint8_t> This, Next, Either(std::size_t(F.W) + 8, 0);
    ShearedRow(0, Next);
    for (int Kk = 0; Kk < F.K; ++Kk) {
        std::swap(This, Next);
        if (Kk + 1 < F.K)
            ShearedRow(Kk + 1, Next);
        else
            Next.assign(std::size_t(F.W) + 8, 0);
        for (std::size_t I = 0; I < Either.size(); ++I)
            Either[I] = This[I] | Next[I];
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
            if (C % 8 == 0) { // most of a row is paper: skip it eight columns at a time
                std::uint64_t Word;
                std::memcpy(&Word, &Either[std::size_t(C)], sizeof Word);
                if (Word == 0) {
                    C += 7;
                    continue;
                }
            }
            if (!Either[std::size_t(C)])
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

} // namespace korvane::grid
