#pragma once

// The state of a Windows device context that metafile records set, SaveDC keeps and
// RestoreDC brings back, and the modes its fields take.

#include "image/readers/metafile/GdiObjects.h"

#include <QColor>
#include <QPointF>
#include <QRegion>
#include <QSizeF>
#include <QTransform>
#include <cstdint>
#include <optional>

namespace korvane {

enum : int {
    MM_TEXT = 1,
    MM_LOMETRIC = 2,
    MM_HIMETRIC = 3,
    MM_LOENGLISH = 4,
    MM_HIENGLISH = 5,
    MM_TWIPS = 6,
    MM_ISOTROPIC = 7,
    MM_ANISOTROPIC = 8,
};
enum : int { TRANSPARENT = 1, OPAQUE = 2 };
enum : int { ALTERNATE = 1, WINDING = 2 };
enum : int { R2_BLACK = 1, R2_NOP = 11, R2_COPYPEN = 13, R2_WHITE = 16 };
enum : std::uint32_t {
    TA_UPDATECP = 1,
    TA_RIGHT = 2,
    TA_CENTER = 6,
    TA_BOTTOM = 8,
    TA_BASELINE = 24,
};

// What SaveDC keeps and RestoreDC brings back.
struct TDcState {
    TGdiPen Pen;
    TGdiBrush Brush;
    TGdiFont Font;
    QColor TextColor = Qt::black;
    QColor BkColor = Qt::white;
    int BkMode = OPAQUE;
    std::uint32_t TextAlign = 0;
    int FillMode = ALTERNATE;
    int Rop2 = R2_COPYPEN;
    bool ArcClockwise = false;
    double MiterLimit = 10;

    int MapMode = MM_TEXT;
    QPointF WindowOrg;
    QSizeF WindowExt{1, 1};
    QPointF ViewportOrg;
    QSizeF ViewportExt{1, 1};
    QTransform World;

    QPointF Position;            // the current position, logical
    std::optional<QRegion> Clip; // image pixels; nothing: no clipping
};

} // namespace korvane
