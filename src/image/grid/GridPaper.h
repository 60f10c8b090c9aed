#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace korvane::grid {

// The paper's colour everywhere, from the medians of the tiles, worked out where it is asked
// for rather than kept for every pixel.
class TPaper {
public:
    TPaper(const std::uint8_t* Img, int W, int H, int Tile);

    // The paper under row Y, every column, one channel into each of Out; Scratch is reused.
    void Row(int Y, std::array<std::uint8_t*, 3> Out, std::vector<float>& Scratch) const;
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
    // Runs of columns mixing the same two tiles.
    struct TSpan {
        int X0, X1, I0, I1;
    };
    std::vector<TSpan> Spans;
    std::vector<float> ColumnWeights;
};

} // namespace korvane::grid
