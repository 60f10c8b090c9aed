#pragma once

// The grid's lines, one family (one direction) at a time: the family's pixels sheared so that
// its lines are rows, its bands of rows, and what each band erases.

#include "core/DoublePoints.h"
#include "image/grid/GridPaper.h"
#include "image/grid/GridSupport.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

namespace korvane::grid {

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
};

// Finds the family's bands; answers the longest row's counted length.
double DetectBands(TFamily& F, const TParams& P, int MaxWidth, double MinLen);
// The band's colour, erase rows and erase pixels; false when it is no line after all.
bool AnalyseBand(const TFamily& F, TBand& B, const TParams& P);

} // namespace korvane::grid
