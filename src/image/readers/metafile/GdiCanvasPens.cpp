#include "image/readers/metafile/GdiCanvas.h"

#include <algorithm>

// Pens and brushes: the selected objects, made into a QPen and QBrush under the mix mode.

namespace korvane {

void TGdiCanvas::Select(const TGdiObject& Object) {
    if (const auto* Pen = std::get_if<TGdiPen>(&Object))
        FState.Pen = *Pen;
    else if (const auto* Brush = std::get_if<TGdiBrush>(&Object))
        FState.Brush = *Brush;
    else if (const auto* Font = std::get_if<TGdiFont>(&Object))
        FState.Font = *Font;
}

QPainter::CompositionMode TGdiCanvas::RopMode() const {
    switch (FState.Rop2) {
    case 2: // R2_NOTMERGEPEN
        return QPainter::RasterOp_NotSourceAndNotDestination;
    case 3: // R2_MASKNOTPEN
        return QPainter::RasterOp_NotSourceAndDestination;
    case 4: // R2_NOTCOPYPEN
        return QPainter::RasterOp_NotSource;
    case 5: // R2_MASKPENNOT
        return QPainter::RasterOp_SourceAndNotDestination;
    case 6: // R2_NOT
        return QPainter::RasterOp_NotDestination;
    case 7: // R2_XORPEN
        return QPainter::RasterOp_SourceXorDestination;
    case 8: // R2_NOTMASKPEN
        return QPainter::RasterOp_NotSourceOrNotDestination;
    case 9: // R2_MASKPEN
        return QPainter::RasterOp_SourceAndDestination;
    case 10: // R2_NOTXORPEN
        return QPainter::RasterOp_NotSourceXorDestination;
    case 12: // R2_MERGENOTPEN
        return QPainter::RasterOp_NotSourceOrDestination;
    case 14: // R2_MERGEPENNOT
        return QPainter::RasterOp_SourceOrNotDestination;
    case 15: // R2_MERGEPEN
        return QPainter::RasterOp_SourceOrDestination;
    default:
        return QPainter::CompositionMode_SourceOver;
    }
}

QColor TGdiCanvas::RopColor(const QColor& Color) const {
    if (FState.Rop2 == R2_BLACK)
        return Qt::black;
    if (FState.Rop2 == R2_WHITE)
        return Qt::white;
    return Color;
}

QPen TGdiCanvas::MakePen() {
    const TGdiPen& P = FState.Pen;
    const std::uint32_t Style = P.Style & PS_STYLE_MASK;
    double Width = 1;
    if (!P.Cosmetic && P.Width > 0)
        Width = std::clamp(P.Width * LineScale(), 1.0, FMaxPenWidth);
    if (Width < 1.5) // a screen draws these one pixel wide
        Width = 1;
    QPen Pen(RopColor(P.Color), Width);
    if (Width > 1 || (P.Style & PS_GEOMETRIC)) {
        switch (P.Style & PS_ENDCAP_MASK) {
        case PS_ENDCAP_SQUARE:
            Pen.setCapStyle(Qt::SquareCap);
            break;
        case PS_ENDCAP_FLAT:
            Pen.setCapStyle(Qt::FlatCap);
            break;
        default:
            Pen.setCapStyle(Qt::RoundCap);
            break;
        }
        switch (P.Style & PS_JOIN_MASK) {
        case PS_JOIN_BEVEL:
            Pen.setJoinStyle(Qt::BevelJoin);
            break;
        case PS_JOIN_MITER:
            Pen.setJoinStyle(Qt::MiterJoin);
            Pen.setMiterLimit(FState.MiterLimit);
            break;
        default:
            Pen.setJoinStyle(Qt::RoundJoin);
            break;
        }
    } else {
        // One-pixel lines leave out their end point, so no cap.
        Pen.setCapStyle(Qt::FlatCap);
        Pen.setJoinStyle(Qt::MiterJoin);
    }
    // Dash lengths count in pen widths: one-pixel pens use the screen's pixel patterns,
    // wider ones patterns proportional to their width.
    QList<qreal> Dashes;
    const bool Thin = Width <= 1.5;
    switch (Style) {
    case PS_DASH:
        Dashes = Thin ? QList<qreal>{18, 6} : QList<qreal>{3, 1};
        break;
    case PS_DOT:
        Dashes = Thin ? QList<qreal>{3, 3} : QList<qreal>{1, 1};
        break;
    case PS_DASHDOT:
        Dashes = Thin ? QList<qreal>{9, 6, 3, 6} : QList<qreal>{3, 1, 1, 1};
        break;
    case PS_DASHDOTDOT:
        Dashes = Thin ? QList<qreal>{9, 3, 3, 3, 3, 3} : QList<qreal>{3, 1, 1, 1, 1, 1};
        break;
    case PS_ALTERNATE:
        Dashes = {1, 1};
        break;
    case PS_USERSTYLE: {
        const double Scale = P.Cosmetic ? 1.0 : LineScale();
        double Total = 0;
        for (double D : P.Dashes) {
            const double Units = std::clamp(D * Scale / Width, 0.0, 1e6);
            Dashes.append(Units);
            Total += Units;
        }
        if (Total < 0.5)
            Dashes.clear();
        else if (Dashes.size() % 2)
            Dashes.append(Dashes); // an odd pattern repeats with on and off swapped
        break;
    }
    default:
        break;
    }
    if (!Dashes.isEmpty()) {
        if (Pen.capStyle() != Qt::FlatCap) // caps would swallow the gaps
            Pen.setCapStyle(Qt::FlatCap);
        Pen.setDashPattern(Dashes);
    }
    return Pen;
}

QBrush TGdiCanvas::MakeBrush(const TGdiBrush& Brush) const {
    const QColor Color = RopColor(Brush.Color);
    if (Brush.Style != BS_HATCHED)
        return QBrush(Color);
    static constexpr Qt::BrushStyle Hatches[] = {Qt::HorPattern,   Qt::VerPattern,
                                                 Qt::FDiagPattern, Qt::BDiagPattern,
                                                 Qt::CrossPattern, Qt::DiagCrossPattern};
    return QBrush(Color, Brush.Hatch < 6 ? Hatches[Brush.Hatch] : Qt::SolidPattern);
}

} // namespace korvane
