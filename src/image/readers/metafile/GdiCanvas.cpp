#include "image/readers/metafile/GdiCanvas.h"

#include <QPainterPathStroker>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace korvane {

namespace {

// Deeper SaveDC nesting than this is ignored: each level keeps a copy of the state.
constexpr std::size_t MaxSavedStates = 4096;
// Clipping regions of more rectangles than this are not made: the operation is ignored.
constexpr int MaxClipRects = 8192;
// A region record's rectangles are merged one by one up to this many; past it only their
// bounding box is kept.
constexpr std::size_t MaxRegionRects = 1024;

bool Finite(const QTransform& T) {
    return std::isfinite(T.m11()) && std::isfinite(T.m12()) && std::isfinite(T.m13()) &&
           std::isfinite(T.m21()) && std::isfinite(T.m22()) && std::isfinite(T.m23()) &&
           std::isfinite(T.m31()) && std::isfinite(T.m32()) && std::isfinite(T.m33());
}

// Whether Area is exactly an axis-aligned rectangle, which it then puts in Rect.
bool IsRectangle(const QPainterPath& Area, QRectF& Rect) {
    const QPolygonF Points = Area.toFillPolygon();
    if (Points.size() < 4 || Points.size() > 5)
        return false;
    Rect = Points.boundingRect();
    int Corners = 0;
    for (int I = 0; I < 4; ++I) {
        const QPointF P = Points[I];
        if ((P.x() != Rect.left() && P.x() != Rect.right()) ||
            (P.y() != Rect.top() && P.y() != Rect.bottom()))
            return false;
        for (int J = 0; J < I; ++J)
            if (Points[J] == P)
                return false;
        ++Corners;
    }
    return Corners == 4;
}

} // namespace

TGdiCanvas::TGdiCanvas(const TGdiSurface& Surface, EMapping Mapping,
                       const QTransform& DeviceToImage, QSizeF PixelsPerMm)
    : FPicture(QPoint(0, 0), Surface.Size), FBand(QTransform::fromTranslate(0, -Surface.Top)),
      FMapping(Mapping), FDeviceToImage(DeviceToImage), FPixelsPerMm(PixelsPerMm),
      FPainter(Surface.Band) {
    const double Side = std::max(FPicture.width(), FPicture.height());
    // Far enough out that nothing visible changes, near enough that QPainter stays quick.
    FLimit = 16 * Side + 4096;
    FNear = QRectF(FPicture).adjusted(-Side - 256, -Side - 256, Side + 256, Side + 256);
    FMaxPenWidth = 4 * Side + 16;
    FMaxTextPixels = std::max(4 * Side, 256.0);
    FPainter.setRenderHint(QPainter::Antialiasing, true);
    FPainter.setRenderHint(QPainter::TextAntialiasing, true);
    FPainter.setTransform(FBand);
    if (Mapping == EMapping::Wmf) {
        FState.MapMode = MM_ANISOTROPIC;
        FState.ViewportExt = QSizeF(FPicture.size());
    }
}

TGdiCanvas::~TGdiCanvas() {
    FPainter.end();
}

void TGdiCanvas::Select(const TGdiObject& Object) {
    if (const auto* Pen = std::get_if<TGdiPen>(&Object))
        FState.Pen = *Pen;
    else if (const auto* Brush = std::get_if<TGdiBrush>(&Object))
        FState.Brush = *Brush;
    else if (const auto* Font = std::get_if<TGdiFont>(&Object))
        FState.Font = *Font;
}

// ---- Mapping ------------------------------------------------------------------------------

void TGdiCanvas::SetMapMode(int Mode) {
    if (Mode < MM_TEXT || Mode > MM_ANISOTROPIC)
        return;
    FState.MapMode = Mode;
    FTransformValid = false;
}

void TGdiCanvas::SetWindowOrg(QPointF Origin) {
    FState.WindowOrg = Origin;
    FTransformValid = false;
}

void TGdiCanvas::SetWindowExt(QSizeF Extent) {
    if (Extent.width() == 0 || Extent.height() == 0)
        return;
    FState.WindowExt = Extent;
    FTransformValid = false;
}

void TGdiCanvas::SetViewportOrg(QPointF Origin) {
    if (FMapping == EMapping::Wmf)
        return;
    FState.ViewportOrg = Origin;
    FTransformValid = false;
}

void TGdiCanvas::SetViewportExt(QSizeF Extent) {
    if (FMapping == EMapping::Wmf || Extent.width() == 0 || Extent.height() == 0)
        return;
    FState.ViewportExt = Extent;
    FTransformValid = false;
}

void TGdiCanvas::OffsetWindowOrg(QPointF Delta) {
    SetWindowOrg(FState.WindowOrg + Delta);
}

void TGdiCanvas::OffsetViewportOrg(QPointF Delta) {
    SetViewportOrg(FState.ViewportOrg + Delta);
}

void TGdiCanvas::ScaleWindowExt(double XNum, double XDenom, double YNum, double YDenom) {
    if (XDenom == 0 || YDenom == 0)
        return;
    SetWindowExt(QSizeF(FState.WindowExt.width() * XNum / XDenom,
                        FState.WindowExt.height() * YNum / YDenom));
}

void TGdiCanvas::ScaleViewportExt(double XNum, double XDenom, double YNum, double YDenom) {
    if (XDenom == 0 || YDenom == 0)
        return;
    SetViewportExt(QSizeF(FState.ViewportExt.width() * XNum / XDenom,
                          FState.ViewportExt.height() * YNum / YDenom));
}

void TGdiCanvas::SetWorldTransform(const QTransform& Transform) {
    if (!Finite(Transform))
        return;
    FState.World = Transform;
    FTransformValid = false;
}

void TGdiCanvas::ModifyWorldTransform(const QTransform& Transform, int Mode) {
    switch (Mode) {
    case 1:
        SetWorldTransform(QTransform());
        break;
    case 2:
        SetWorldTransform(Transform * FState.World);
        break;
    case 3:
        SetWorldTransform(FState.World * Transform);
        break;
    case 4:
        SetWorldTransform(Transform);
        break;
    default:
        break;
    }
}

QTransform TGdiCanvas::PageTransform() const {
    double Sx = 1, Sy = 1;
    int Mode = FState.MapMode;
    if (FMapping == EMapping::Wmf && Mode != MM_ISOTROPIC)
        Mode = MM_ANISOTROPIC;
    auto Metric = [&](double MmPerUnit) {
        Sx = FPixelsPerMm.width() * MmPerUnit;
        Sy = -FPixelsPerMm.height() * MmPerUnit;
    };
    switch (Mode) {
    case MM_LOMETRIC:
        Metric(0.1);
        break;
    case MM_HIMETRIC:
        Metric(0.01);
        break;
    case MM_LOENGLISH:
        Metric(0.254);
        break;
    case MM_HIENGLISH:
        Metric(0.0254);
        break;
    case MM_TWIPS:
        Metric(25.4 / 1440);
        break;
    case MM_ISOTROPIC:
    case MM_ANISOTROPIC:
        Sx = FState.ViewportExt.width() / FState.WindowExt.width();
        Sy = FState.ViewportExt.height() / FState.WindowExt.height();
        if (Mode == MM_ISOTROPIC) {
            const double Scale = std::min(std::abs(Sx), std::abs(Sy));
            Sx = std::copysign(Scale, Sx);
            Sy = std::copysign(Scale, Sy);
        }
        break;
    default:
        break;
    }
    return QTransform(Sx, 0, 0, Sy, FState.ViewportOrg.x() - FState.WindowOrg.x() * Sx,
                      FState.ViewportOrg.y() - FState.WindowOrg.y() * Sy);
}

const QTransform& TGdiCanvas::Transform() {
    if (!FTransformValid) {
        FTransform = FState.World * PageTransform() * FDeviceToImage;
        if (!Finite(FTransform))
            FTransform = QTransform(0, 0, 0, 0, 0, 0); // draws nothing visible
        FTransformValid = true;
    }
    return FTransform;
}

// Pen widths and the like scale by the mean of the two axes.
double TGdiCanvas::LineScale() {
    return std::sqrt(std::abs(Transform().determinant()));
}

QPainterPath TGdiCanvas::ImagePolygon(const QRectF& Box) {
    QPainterPath Path;
    Path.addPolygon(Transform().map(QPolygonF(Box.normalized())));
    Path.closeSubpath();
    return Path;
}

// ---- Drawing ------------------------------------------------------------------------------

// Figures that reach far beyond the image are made cheap to draw: their curves become a few
// dozen segments each and every point stays within ±FLimit. Others are left alone.
void TGdiCanvas::Bound(QPainterPath& Figure) const {
    if (FNear.contains(Figure.controlPointRect()))
        return;
    auto Clamp = [this](QPointF P) {
        auto One = [this](double V) { return !(V > -FLimit) ? -FLimit : std::min(V, FLimit); };
        return QPointF(One(P.x()), One(P.y())); // NaN goes to -FLimit
    };
    QPainterPath Result;
    Result.setFillRule(Figure.fillRule());
    QPointF Last;
    for (int I = 0; I < Figure.elementCount(); ++I) {
        const QPainterPath::Element E = Figure.elementAt(I);
        const QPointF P(E.x, E.y);
        if (E.isMoveTo()) {
            Result.moveTo(Clamp(P));
        } else if (E.isLineTo() || I + 2 >= Figure.elementCount()) {
            Result.lineTo(Clamp(P));
        } else { // a cubic: this element and the next two
            const QPointF C2 = Figure.elementAt(I + 1), End = Figure.elementAt(I + 2);
            const QRectF Hull = QPolygonF({Last, P, C2, End}).boundingRect();
            const double Extent = std::max(Hull.width(), Hull.height());
            const int Steps =
                std::isfinite(Extent) ? int(std::clamp(std::sqrt(Extent), 4.0, 64.0)) : 4;
            for (int K = 1; K <= Steps; ++K) {
                const double T = double(K) / Steps, U = 1 - T;
                Result.lineTo(Clamp(U * U * U * Last + 3 * U * U * T * P + 3 * U * T * T * C2 +
                                    T * T * T * End));
            }
            I += 2;
            Last = End;
            continue;
        }
        Last = P;
    }
    Figure = Result;
}

void TGdiCanvas::ApplyClip() {
    if (FAppliedClipVersion == FClipVersion)
        return;
    FAppliedClipVersion = FClipVersion;
    if (FState.Clip)
        FPainter.setClipRegion(*FState.Clip);
    else
        FPainter.setClipping(false);
}

void TGdiCanvas::ApplyComposition(QPainter::CompositionMode Mode) {
    if (Mode != FAppliedMode) {
        FPainter.setCompositionMode(Mode);
        FAppliedMode = Mode;
    }
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

void TGdiCanvas::Draw(QPainterPath Figure, bool Fill, bool Stroke) {
    if (FState.Rop2 == R2_NOP)
        return;
    const bool UsePen = Stroke && (FState.Pen.Style & PS_STYLE_MASK) != PS_NULL;
    const bool UseBrush = Fill && FState.Brush.Style != BS_NULL;
    if ((!UsePen && !UseBrush) || Figure.isEmpty())
        return;
    Bound(Figure);
    ApplyClip();
    ApplyComposition(RopMode());
    Figure.setFillRule(FState.FillMode == WINDING ? Qt::WindingFill : Qt::OddEvenFill);
    FPainter.setBackgroundMode(FState.BkMode == OPAQUE ? Qt::OpaqueMode : Qt::TransparentMode);
    FPainter.setBackground(FState.BkColor);
    const QPen Pen = UsePen ? MakePen() : QPen(Qt::NoPen);
    if (!UsePen || Pen.widthF() > 1) {
        FPainter.setPen(Pen);
        FPainter.setBrush(UseBrush ? MakeBrush(FState.Brush) : QBrush());
        FPainter.drawPath(Figure);
        return;
    }
    // Horizontal and vertical one-pixel lines run through pixel centres, as on the screen:
    // crisp, not smeared over two rows.
    if (UseBrush) {
        FPainter.setPen(Qt::NoPen);
        FPainter.setBrush(MakeBrush(FState.Brush));
        FPainter.drawPath(Figure);
    }
    auto Centre = [](double V) { return std::floor(V) + 0.5; };
    QPointF A(Figure.elementAt(0).x, Figure.elementAt(0).y); // as given, before snapping
    for (int I = 1; I < Figure.elementCount(); ++I) {
        const QPainterPath::Element E = Figure.elementAt(I);
        const QPointF B(E.x, E.y);
        const QPainterPath::Element Start = Figure.elementAt(I - 1);
        if (E.isLineTo() && A.y() == B.y()) {
            Figure.setElementPositionAt(I - 1, Start.x, Centre(A.y()));
            Figure.setElementPositionAt(I, B.x(), Centre(B.y()));
        } else if (E.isLineTo() && A.x() == B.x()) {
            Figure.setElementPositionAt(I - 1, Centre(A.x()), Start.y);
            Figure.setElementPositionAt(I, Centre(B.x()), B.y());
        }
        A = B;
    }
    FPainter.setPen(Pen);
    FPainter.setBrush(Qt::NoBrush);
    FPainter.drawPath(Figure);
}

void TGdiCanvas::FillWith(QPainterPath Area, const QBrush& Brush, QPainter::CompositionMode Mode) {
    Bound(Area);
    ApplyClip();
    ApplyComposition(Mode);
    FPainter.setBackgroundMode(FState.BkMode == OPAQUE ? Qt::OpaqueMode : Qt::TransparentMode);
    FPainter.setBackground(FState.BkColor);
    FPainter.fillPath(Area, Brush);
}

void TGdiCanvas::Output(const QPainterPath& Figure, bool Fill, bool Stroke) {
    if (FInPath) {
        FPath.addPath(Figure);
        FFigureOpen = false;
        return;
    }
    Draw(Figure, Fill, Stroke);
}

// In a path, makes sure a figure is open for the next line: one starting at the current
// position if none is.
void TGdiCanvas::OpenFigure() {
    if (!FFigureOpen) {
        FPath.moveTo(Transform().map(FState.Position));
        FFigureOpen = true;
    }
}

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
    QPainterPath& Target = FInPath ? FPath : Figure;
    if (FInPath)
        OpenFigure();
    else
        Figure.moveTo(T.map(FState.Position));
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
    QPainterPath& Target = FInPath ? FPath : Figure;
    if (FInPath)
        OpenFigure();
    else
        Figure.moveTo(T.map(FState.Position));
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

// ---- Paths --------------------------------------------------------------------------------

void TGdiCanvas::BeginPath() {
    FInPath = true;
    FFigureOpen = false;
    FPath = QPainterPath();
}

void TGdiCanvas::EndPath() {
    FInPath = false;
}

void TGdiCanvas::AbortPath() {
    FInPath = false;
    FPath = QPainterPath();
}

void TGdiCanvas::CloseFigure() {
    if (FInPath && FFigureOpen) {
        FPath.closeSubpath();
        FFigureOpen = false;
    }
}

void TGdiCanvas::FillPath() {
    if (FInPath)
        return;
    Draw(FPath, true, false);
    FPath = QPainterPath();
}

void TGdiCanvas::StrokePath() {
    if (FInPath)
        return;
    Draw(FPath, false, true);
    FPath = QPainterPath();
}

void TGdiCanvas::StrokeAndFillPath() {
    if (FInPath)
        return;
    Draw(FPath, true, true);
    FPath = QPainterPath();
}

void TGdiCanvas::WidenPath() {
    if (FInPath || (FState.Pen.Style & PS_STYLE_MASK) == PS_NULL)
        return;
    Bound(FPath);
    const QPen Pen = MakePen();
    QPainterPathStroker Stroker(Pen);
    FPath = Stroker.createStroke(FPath);
}

void TGdiCanvas::SelectClipPath(int Mode) {
    if (FInPath)
        return;
    QPainterPath Area = FPath;
    Area.setFillRule(FState.FillMode == WINDING ? Qt::WindingFill : Qt::OddEvenFill);
    CombineClip(ImageRegion(Area), Mode);
    FPath = QPainterPath();
}

// ---- Clipping -----------------------------------------------------------------------------

namespace {

// The pixels whose centres a rectangle covers.
QRect Pixels(const QRectF& R) {
    return QRect(QPoint(int(std::lround(R.left())), int(std::lround(R.top()))),
                 QPoint(int(std::lround(R.right())) - 1, int(std::lround(R.bottom())) - 1));
}

} // namespace

// The pixels of Area within (a margin round) the image.
QRegion TGdiCanvas::ImageRegion(const QPainterPath& Area) const {
    const QRectF Bounds = QRectF(FPicture).adjusted(-2, -2, 2, 2);
    QRectF Rect;
    if (IsRectangle(Area, Rect))
        return QRegion(Pixels(Rect.intersected(Bounds)));
    QPainterPath Frame;
    Frame.addRect(Bounds);
    const QPainterPath Inside = Area.intersected(Frame);
    return QRegion(Inside.toFillPolygon().toPolygon(), Inside.fillRule());
}

void TGdiCanvas::CombineClip(const QRegion& Area, int Mode) {
    const QRegion Current = FState.Clip ? *FState.Clip : QRegion(FPicture);
    QRegion Result;
    switch (Mode) {
    case RGN_AND:
        Result = Current.intersected(Area);
        break;
    case RGN_OR:
        if (!FState.Clip)
            return;
        Result = Current.united(Area);
        break;
    case RGN_XOR:
        Result = Current.xored(Area);
        break;
    case RGN_DIFF:
        Result = Current.subtracted(Area);
        break;
    case RGN_COPY:
        Result = Area;
        break;
    default:
        return;
    }
    if (Result.rectCount() > MaxClipRects)
        return;
    FState.Clip = Result;
    ClipChanged();
}

void TGdiCanvas::IntersectClipRect(const QRectF& Box) {
    CombineClip(ImageRegion(ImagePolygon(Box)), RGN_AND);
}

void TGdiCanvas::ExcludeClipRect(const QRectF& Box) {
    CombineClip(ImageRegion(ImagePolygon(Box)), RGN_DIFF);
}

void TGdiCanvas::OffsetClip(QPointF Delta) {
    if (!FState.Clip)
        return;
    const QTransform& T = Transform();
    const QPointF D = T.map(Delta) - T.map(QPointF(0, 0));
    if (!(std::abs(D.x()) < FLimit && std::abs(D.y()) < FLimit))
        return;
    FState.Clip->translate(int(std::lround(D.x())), int(std::lround(D.y())));
    ClipChanged();
}

QRegion TGdiCanvas::DeviceRegion(std::span<const QRectF> DeviceRects) const {
    const QRectF Bounds = QRectF(FPicture).adjusted(-2, -2, 2, 2);
    QRegion Area;
    if (DeviceRects.size() > MaxRegionRects) {
        QRectF Box;
        for (const QRectF& R : DeviceRects)
            Box |= R.normalized();
        return QRegion(Pixels(FDeviceToImage.mapRect(Box).intersected(Bounds)));
    }
    for (const QRectF& R : DeviceRects)
        Area += Pixels(FDeviceToImage.mapRect(R.normalized()).intersected(Bounds));
    return Area;
}

void TGdiCanvas::SelectClipRegion(std::span<const QRectF> DeviceRects, int Mode) {
    CombineClip(DeviceRegion(DeviceRects), Mode);
}

void TGdiCanvas::ResetClip() {
    FState.Clip.reset();
    ClipChanged();
}

void TGdiCanvas::FillRegion(std::span<const QRectF> DeviceRects, const TGdiBrush& Brush) {
    if (Brush.Style == BS_NULL || DeviceRects.empty())
        return;
    QPainterPath Area;
    for (const QRectF& R : DeviceRects)
        Area.addRect(FDeviceToImage.mapRect(R.normalized()));
    FillWith(Area, MakeBrush(Brush), RopMode());
}

void TGdiCanvas::SaveDC() {
    if (FSaved.size() < MaxSavedStates)
        FSaved.push_back(FState);
}

void TGdiCanvas::RestoreDC(int Which) {
    const std::int64_t Depth = std::int64_t(FSaved.size());
    const std::int64_t Level = Which < 0 ? Depth + Which : std::int64_t(Which) - 1;
    if (Level < 0 || Level >= Depth)
        return;
    FState = std::move(FSaved[std::size_t(Level)]);
    FSaved.resize(std::size_t(Level));
    FTransformValid = false;
    ClipChanged();
}

} // namespace korvane
