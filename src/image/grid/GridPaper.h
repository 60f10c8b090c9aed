#pragma once

#include <cstdint>
#include <vector>

namespace korvane::grid {

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

} // namespace korvane::grid
