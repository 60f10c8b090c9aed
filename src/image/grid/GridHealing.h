#pragma once

// Keeping the curve pixels that lie on erased grid lines, and finding the tick marks on the
// frame.

#include "image/grid/GridLines.h"

#include <cstdint>

namespace korvane::grid {

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

// Keeps (in Keep) the pixels of E in the band's strip that lie between runs of curve ink just
// outside it on both sides; pixels of Blocked are no evidence. With TangentFrame (the second
// pass) also a curve of the grid's colour that runs along the line, the frame being no curve.
void HealBand(const TFamily& F, const TBand& B, const TParams& P, const TMaskView& Blocked,
              const TMaskView& E, const TMaskView& Keep, const TMaskView* TangentFrame);

// Marks in Ticks (image-sized) the tick marks of family F that stand on the frame lines of
// Other: short strokes across those lines, with one end on a line and nothing beside them.
// Free is the ink left once the frame and the erased grid are taken out.
void FindTicks(const TFamily& F, const TFamily& Other, const TFreeView& Free, const TParams& P,
               int TickMax, const TMaskView& Ticks);

} // namespace korvane::grid
