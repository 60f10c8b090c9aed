#include "image/grid/GridPaper.h"

#include "image/grid/GridSupport.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace korvane::grid {

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
    for (int X = 0; X < W; ++X)
        if (Spans.empty() || Spans.back().I0 != Cw[std::size_t(X)].I0 ||
            Spans.back().I1 != Cw[std::size_t(X)].I1)
            Spans.push_back({X, X + 1, Cw[std::size_t(X)].I0, Cw[std::size_t(X)].I1});
        else
            Spans.back().X1 = X + 1;
    for (const TWeight& C : Cw)
        ColumnWeights.push_back(C.W);
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

void TPaper::Row(int Y, std::array<std::uint8_t*, 3> Out, std::vector<float>& Scratch) const {
    const TWeight& R = Rw[std::size_t(Y)];
    Scratch.resize(std::size_t(Tw) * 3);
    for (int T = 0; T < Tw * 3; ++T)
        Scratch[std::size_t(T)] = Smooth[std::size_t(R.I0) * Tw * 3 + std::size_t(T)] * (1 - R.W) +
                                  Smooth[std::size_t(R.I1) * Tw * 3 + std::size_t(T)] * R.W;
    // Column by column between tile centres, where the two tiles mixed stay the same: plain
    // loops over contiguous floats, which the compiler vectorises.
    const float* Wc = ColumnWeights.data();
    for (const TSpan& Span : Spans)
        for (int Ch = 0; Ch < 3; ++Ch) {
            const float A = Scratch[std::size_t(Span.I0) * 3 + std::size_t(Ch)];
            const float B = Scratch[std::size_t(Span.I1) * 3 + std::size_t(Ch)];
            std::uint8_t* O = Out[std::size_t(Ch)];
            const int X0 = Span.X0, X1 = Span.X1; // (O's stores could alias Span)
            // Even paper: every column rounds to the same value, unless A + 0.5 lies so close
            // to a whole number that the mixing's rounding errors could tip it.
            if (A == B) {
                const float T = std::min(std::max(A + 0.5f, 0.5f), 255.5f);
                const float Fraction = T - std::floor(T);
                if (Fraction > 1e-3f && Fraction < 1 - 1e-3f) {
                    std::fill(O + X0, O + X1, static_cast<std::uint8_t>(T));
                    continue;
                }
            }
            for (int X = X0; X < X1; ++X) {
                const float V = A * (1 - Wc[X]) + B * Wc[X] + 0.5f;
                O[X] = static_cast<std::uint8_t>(
                    static_cast<int>(std::min(std::max(V, 0.0f), 255.0f)));
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

} // namespace korvane::grid
