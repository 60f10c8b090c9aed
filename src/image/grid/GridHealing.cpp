#include "image/grid/GridHealing.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <set>
#include <utility>
#include <vector>

namespace korvane::grid {

namespace {

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

} // namespace

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

} // namespace korvane::grid
