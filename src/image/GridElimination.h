#pragma once

#include "core/DoublePoints.h"
#include "image/PixelBuffer.h"

#include <QImage>
#include <cstdint>
#include <optional>
#include <vector>

namespace korvane {

// What the grid eliminator may remove besides the grid lines between the frame lines.
struct TGridEliminationOptions {
    // Remove the frame lines too (the grid then ends at the frame's outer edge).
    bool Frame = false;
    // Remove short tick marks that stand on a frame line.
    bool Ticks = false;
    // 1 is the normal sensitivity; up to 3 finds fainter (scanned, light grey) grids by lowering
    // the least distance from the paper that counts as ink.
    double Strength = 1;
};

// The three reference pixels of a defined coordinate system: the grid's two directions are
// the X axis (First to Skew) and its perpendicular.
struct TGridReference {
    TLongintPoint First, Skew, Second;
};

// What the eliminator found. Mask holds one byte per pixel, row by row: 0 untouched, Erased
// (painted with the paper colour), Kept (on a grid line but restored as a curve's pixel).
struct TGridElimination {
    static constexpr std::uint8_t Erased = 1;
    static constexpr std::uint8_t Kept = 2;

    int Width = 0, Height = 0;
    TPixelBuffer Mask;
    // The paper colour (R, G, B) of every erased pixel, in the order the pixels are met row by
    // row.
    std::vector<std::uint8_t> Paper;
    // How many pixels change, and how many stay although a line runs through them.
    std::int64_t ErasedCount = 0, KeptCount = 0;
    // Lines found along the X direction and along the Y direction, frame lines included.
    int LinesX = 0, LinesY = 0;
    // The grid's tilt: rows per column of the X direction.
    double Tilt = 0;
    double InkThreshold = 0;

    bool Found() const { return ErasedCount > 0; }
};

// Finds the grid of a chart and the curve pixels it covers. Without Reference the tilt is
// searched within ±5°. Deterministic: the same image and settings give the same answer.
TGridElimination FindGrid(const QImage& Image, const std::optional<TGridReference>& Reference,
                          const TGridEliminationOptions& Options);

// Paints the erased pixels of Found with their paper colour. Image must be the one searched
// (any format; it becomes 24-bit RGB).
void ApplyGridElimination(QImage& Image, const TGridElimination& Found);

// Image with the erased pixels tinted red and the kept ones green, for a preview.
QImage GridEliminationPreview(const QImage& Image, const TGridElimination& Found);

} // namespace korvane
