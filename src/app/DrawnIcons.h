#pragma once

#include <QIcon>

namespace korvane {

// Small toolbar pictures drawn in code where the style has none that fits.
enum class EIcon {
    Axes,
    Brush,
    Zoom,
    SelectArea,
    Calculate,
    Sort,
    Help,
    FunctionalLine,
    NonfunctionalLine,
    Scatter
};

QIcon DrawnIcon(EIcon Kind);

} // namespace korvane
