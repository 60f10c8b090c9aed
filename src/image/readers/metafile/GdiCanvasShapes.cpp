#include "image/readers/metafile/GdiCanvas.h"

#include <algorithm>
#include <cmath>
#include <numbers>

// Lines and shapes, drawn or added to the open path.

namespace korvane {

void TGdiCanvas::MoveTo(QPointF Point) {
    FState.Position = Point;
    if (FInPath) {
        FPath.moveTo(Transform().map(Point));
        FFigureOpen = true;
    }
}

void TGdiCanvas::LineTo(QPointF Point) {
    PolylineTo(std::span<const QPointF>(&Point, 1));
}

void TGdiCanvas::PolylineTo(std::span<const QPointF> Points) {
    if (Points.empty())
        return;
    const QTransform& T = Transform();
    if (FInPath) {
        OpenFigure();
        for (QPointF P : Points)
            FPath.lineTo(T.map(P));
    } else {
        QPainterPath Figure(T.map(FState.Position));
        for (QPointF P : Points)
            Figure.lineTo(T.map(P));
        Draw(Figure, false, true);
    }
    FState.Position = Points.back();
}

void TGdiCanvas::Polyline(std::span<const QPointF> Points) {
    if (Points.size() < 2)
        return;
    const QTransform& T = Transform();
    QPainterPath Figure(T.map(Points[0]));
    for (std::size_t I = 1; I < Points.size(); ++I)
        Figure.lineTo(T.map(Points[I]));
    Output(Figure, false, true);
}

void TGdiCanvas::PolyBezierTo(std::span<const QPointF> Points) {
    const std::size_t Curves = Points.size() / 3;
    if (Curves == 0)
        return;
    const QTransform& T = Transform();
    QPainterPath Figure;
    QPainterPath& Target = ContinueFigure(Figure);
    for (std::size_t I = 0; I < Curves; ++I)
        Target.cubicTo(T.map(Points[3 * I]), T.map(Points[3 * I + 1]), T.map(Points[3 * I + 2]));
    if (!FInPath)
        Draw(Figure, false, true);
    FState.Position = Points[3 * Curves - 1];
}

void TGdiCanvas::PolyBezier(std::span<const QPointF> Points) {
    if (Points.size() < 4)
        return;
    const QTransform& T = Transform();
    QPainterPath Figure(T.map(Points[0]));
    for (std::size_t I = 1; I + 2 < Points.size(); I += 3)
        Figure.cubicTo(T.map(Points[I]), T.map(Points[I + 1]), T.map(Points[I + 2]));
    Output(Figure, false, true);
}

void TGdiCanvas::Polygon(std::span<const QPointF> Points) {
    const std::uint32_t Count = std::uint32_t(Points.size());
    PolyPolygon(Points, std::span<const std::uint32_t>(&Count, 1));
}

void TGdiCanvas::PolyPolygon(std::span<const QPointF> Points,
                             std::span<const std::uint32_t> Counts) {
    const QTransform& T = Transform();
    QPainterPath Area;
    std::size_t First = 0;
    for (std::uint32_t Count : Counts) {
        if (Count > Points.size() - First)
            break;
        if (Count >= 2) {
            Area.moveTo(T.map(Points[First]));
            for (std::size_t I = First + 1; I < First + Count; ++I)
                Area.lineTo(T.map(Points[I]));
            Area.closeSubpath();
        }
        First += Count;
    }
    if (!Area.isEmpty())
        Output(Area, true, true);
}

void TGdiCanvas::PolyPolyline(std::span<const QPointF> Points,
                              std::span<const std::uint32_t> Counts) {
    std::size_t First = 0;
    for (std::uint32_t Count : Counts) {
        if (Count > Points.size() - First)
            break;
        Polyline(Points.subspan(First, Count));
        First += Count;
    }
}

void TGdiCanvas::PolyDraw(std::span<const QPointF> Points, std::span<const std::uint8_t> Types) {
    const std::size_t Count = std::min(Points.size(), Types.size());
    const QTransform& T = Transform();
    QPainterPath Figure;
    QPainterPath& Target = ContinueFigure(Figure);
    for (std::size_t I = 0; I < Count; ++I) {
        const std::uint8_t Type = Types[I] & 0x6;
        if (Type == 6) { // PT_MOVETO
            Target.moveTo(T.map(Points[I]));
            FState.Position = Points[I];
        } else if (Type == 4 && I + 2 < Count) { // PT_BEZIERTO, three points
            Target.cubicTo(T.map(Points[I]), T.map(Points[I + 1]), T.map(Points[I + 2]));
            I += 2;
            FState.Position = Points[I];
        } else if (Type == 2) { // PT_LINETO
            Target.lineTo(T.map(Points[I]));
            FState.Position = Points[I];
        } else {
            break;
        }
        if (Types[I] & 1) // PT_CLOSEFIGURE
            Target.closeSubpath();
    }
    if (!FInPath)
        Draw(Figure, false, true);
}

void TGdiCanvas::Rectangle(const QRectF& Box) {
    Output(ImagePolygon(Box), true, true);
}

void TGdiCanvas::RoundRect(const QRectF& Box, QSizeF Corner) {
    QPainterPath Shape;
    Shape.addRoundedRect(Box.normalized(), std::abs(Corner.width()) / 2,
                         std::abs(Corner.height()) / 2);
    Output(Transform().map(Shape), true, true);
}

void TGdiCanvas::Ellipse(const QRectF& Box) {
    QPainterPath Shape;
    Shape.addEllipse(Box.normalized());
    Output(Transform().map(Shape), true, true);
}

void TGdiCanvas::Arc(EArcKind Kind, const QRectF& GivenBox, QPointF Start, QPointF End) {
    const QRectF Box = GivenBox.normalized();
    if (Box.width() <= 0 || Box.height() <= 0)
        return;
    // The radial lines through Start and End cut the ellipse; QPainterPath measures its
    // angles on the circle the ellipse is squeezed from.
    const QPointF C = Box.center();
    const double Rx = Box.width() / 2, Ry = Box.height() / 2;
    auto Angle = [&](QPointF P) {
        return std::atan2(-(P.y() - C.y()) / Ry, (P.x() - C.x()) / Rx) * 180 / std::numbers::pi;
    };
    const double From = Angle(Start), To = Angle(End);
    // Counterclockwise as seen on the image, so a mirroring mapping turns it round.
    bool Clockwise = FState.ArcClockwise;
    if (Transform().determinant() < 0)
        Clockwise = !Clockwise;
    double Sweep;
    if (Clockwise) {
        Sweep = -std::fmod(From - To + 720, 360);
        if (Sweep >= 0)
            Sweep -= 360;
    } else {
        Sweep = std::fmod(To - From + 720, 360);
        if (Sweep <= 0)
            Sweep += 360;
    }
    QPainterPath Shape;
    switch (Kind) {
    case EArcKind::Pie:
        Shape.moveTo(C);
        Shape.arcTo(Box, From, Sweep);
        Shape.closeSubpath();
        break;
    case EArcKind::Chord:
        Shape.arcMoveTo(Box, From);
        Shape.arcTo(Box, From, Sweep);
        Shape.closeSubpath();
        break;
    case EArcKind::Arc:
        Shape.arcMoveTo(Box, From);
        Shape.arcTo(Box, From, Sweep);
        break;
    case EArcKind::ArcTo:
        Shape.moveTo(FState.Position);
        Shape.arcTo(Box, From, Sweep);
        FState.Position = Shape.currentPosition();
        break;
    }
    const bool Closed = Kind == EArcKind::Pie || Kind == EArcKind::Chord;
    const QPainterPath Figure = Transform().map(Shape);
    if (Kind == EArcKind::ArcTo && FInPath) {
        OpenFigure();
        FPath.connectPath(Figure);
        FFigureOpen = true;
        return;
    }
    Output(Figure, Closed, true);
}

void TGdiCanvas::AngleArc(QPointF Center, double Radius, double StartAngle, double SweepAngle) {
    if (!std::isfinite(StartAngle) || !std::isfinite(SweepAngle))
        return;
    SweepAngle = std::clamp(SweepAngle, -3600.0, 3600.0);
    const QRectF Box(Center.x() - Radius, Center.y() - Radius, 2 * Radius, 2 * Radius);
    QPainterPath Shape(FState.Position);
    Shape.arcTo(Box, std::fmod(StartAngle, 360), SweepAngle);
    FState.Position = Shape.currentPosition();
    const QPainterPath Figure = Transform().map(Shape);
    if (FInPath) {
        OpenFigure();
        FPath.connectPath(Figure);
        FFigureOpen = true;
        return;
    }
    Draw(Figure, false, true);
}

void TGdiCanvas::SetPixel(QPointF Point, const QColor& Color) {
    const QPointF P = Transform().map(Point);
    QPainterPath Dot;
    Dot.addRect(QRectF(std::floor(P.x()), std::floor(P.y()), 1, 1));
    FillWith(Dot, Color, QPainter::CompositionMode_SourceOver);
}

void TGdiCanvas::PatBlt(const QRectF& Box, std::uint32_t Rop) {
    const QPainterPath Area = ImagePolygon(Box);
    switch (Rop) {
    case 0x000042: // BLACKNESS
        FillWith(Area, QColor(Qt::black), QPainter::CompositionMode_SourceOver);
        break;
    case 0xFF0062: // WHITENESS
        FillWith(Area, QColor(Qt::white), QPainter::CompositionMode_SourceOver);
        break;
    case 0x550009: // DSTINVERT
        FillWith(Area, QColor(Qt::white), QPainter::RasterOp_NotDestination);
        break;
    case 0x5A0049: // PATINVERT
        if (FState.Brush.Style != BS_NULL)
            FillWith(Area, MakeBrush(FState.Brush), QPainter::RasterOp_SourceXorDestination);
        break;
    default:
        if (FState.Brush.Style != BS_NULL)
            FillWith(Area, MakeBrush(FState.Brush), QPainter::CompositionMode_SourceOver);
        break;
    }
}

} // namespace korvane
