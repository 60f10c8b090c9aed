#pragma once

// A Windows device context drawn with QPainter: the state metafile records change (objects,
// colours, modes, mapping, clipping, paths) and the drawing operations they record, in
// logical coordinates. Both metafile players drive it.

#include "image/readers/metafile/DcState.h"
#include "image/readers/metafile/GdiObjects.h"
#include "image/readers/metafile/GdiSurface.h"

#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <QTransform>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace korvane {

enum : std::uint32_t { ETO_OPAQUE = 0x2, ETO_CLIPPED = 0x4 };
// How a region or path combines with the clipping region.
enum : int { RGN_AND = 1, RGN_OR = 2, RGN_XOR = 3, RGN_DIFF = 4, RGN_COPY = 5 };

enum class EArcKind { Arc, ArcTo, Chord, Pie };

class TGdiCanvas {
public:
    // How logical units reach the image.
    //  Wmf: the window maps onto the whole image; the viewport is the image, whatever the
    //       file says about it, and every map mode but MM_ISOTROPIC scales anisotropically.
    //  Emf: the world transform and the map mode take logical units to the units of the
    //       reference device (PixelsPerMm of them to the millimetre), and DeviceToImage
    //       takes those to the image.
    enum class EMapping { Wmf, Emf };

    // Image coordinates are those of the whole picture.
    TGdiCanvas(const TGdiSurface& Surface, EMapping Mapping, const QTransform& DeviceToImage,
               QSizeF PixelsPerMm);
    ~TGdiCanvas();
    TGdiCanvas(const TGdiCanvas&) = delete;
    TGdiCanvas& operator=(const TGdiCanvas&) = delete;

    // Colours and modes may be set directly; the mapping and clipping go through the
    // operations below.
    TDcState& State() { return FState; }
    TGdiObjectTable& Objects() { return FObjects; }
    void Select(const TGdiObject& Object);

    // Mapping. Zero extents and non-finite transforms are ignored, as Windows refuses them.
    void SetMapMode(int Mode);
    void SetWindowOrg(QPointF Origin);
    void SetWindowExt(QSizeF Extent);
    void SetViewportOrg(QPointF Origin);
    void SetViewportExt(QSizeF Extent);
    void OffsetWindowOrg(QPointF Delta);
    void OffsetViewportOrg(QPointF Delta);
    void ScaleWindowExt(double XNum, double XDenom, double YNum, double YDenom);
    void ScaleViewportExt(double XNum, double XDenom, double YNum, double YDenom);
    void SetWorldTransform(const QTransform& Transform);
    // Mode: 1 identity, 2 Transform then the world, 3 the world then Transform, 4 set.
    void ModifyWorldTransform(const QTransform& Transform, int Mode);

    // Lines and shapes; with a path open they add figures to it instead.
    void MoveTo(QPointF Point);
    void LineTo(QPointF Point);
    void Polyline(std::span<const QPointF> Points);
    void PolylineTo(std::span<const QPointF> Points);
    void PolyBezier(std::span<const QPointF> Points);
    void PolyBezierTo(std::span<const QPointF> Points);
    void Polygon(std::span<const QPointF> Points);
    // Counts say how many of Points each figure takes; they must add up to at most
    // Points.size().
    void PolyPolygon(std::span<const QPointF> Points, std::span<const std::uint32_t> Counts);
    void PolyPolyline(std::span<const QPointF> Points, std::span<const std::uint32_t> Counts);
    // Types: PT_MOVETO 6, PT_LINETO 2, PT_BEZIERTO 4, each optionally | PT_CLOSEFIGURE 1.
    void PolyDraw(std::span<const QPointF> Points, std::span<const std::uint8_t> Types);
    void Rectangle(const QRectF& Box);
    void RoundRect(const QRectF& Box, QSizeF Corner);
    void Ellipse(const QRectF& Box);
    void Arc(EArcKind Kind, const QRectF& Box, QPointF Start, QPointF End);
    void AngleArc(QPointF Center, double Radius, double StartAngle, double SweepAngle);
    void SetPixel(QPointF Point, const QColor& Color);
    // PatBlt and source-less BitBlt: the rectangle with the brush under a ternary raster
    // operation (PATCOPY, BLACKNESS, WHITENESS, DSTINVERT, PATINVERT; others copy).
    void PatBlt(const QRectF& Box, std::uint32_t Rop);

    // Text at Reference (or the current position with TA_UPDATECP). Dx holds the advance
    // of each character in logical units, or is empty. Rect (logical) is filled with
    // ETO_OPAQUE and clips with ETO_CLIPPED.
    void Text(QPointF Reference, const QString& Text, std::span<const double> Dx,
              std::uint32_t Options, const std::optional<QRectF>& Rect);

    // Paths.
    void BeginPath();
    void EndPath();
    void AbortPath();
    void CloseFigure();
    void FillPath();
    void StrokePath();
    void StrokeAndFillPath();
    void WidenPath();
    void SelectClipPath(int Mode);

    // Clipping. Rectangles are logical; region rectangles are in reference device units.
    void IntersectClipRect(const QRectF& Box);
    void ExcludeClipRect(const QRectF& Box);
    void OffsetClip(QPointF Delta);
    void SelectClipRegion(std::span<const QRectF> DeviceRects, int Mode);
    void ResetClip();
    void FillRegion(std::span<const QRectF> DeviceRects, const TGdiBrush& Brush);

    void SaveDC();
    void RestoreDC(int Which);

private:
    const QTransform& Transform();
    QTransform PageTransform() const;
    double LineScale();
    QPainterPath ImagePolygon(const QRectF& Box);
    QRegion ImageRegion(const QPainterPath& Area) const;
    QRegion DeviceRegion(std::span<const QRectF> DeviceRects) const;
    void CombineClip(const QRegion& Area, int Mode);
    void ClipChanged() { ++FClipVersion; }

    // Figures built in image coordinates go to the open path, or are drawn.
    void Output(const QPainterPath& Figure, bool Fill, bool Stroke);
    void Draw(QPainterPath Figure, bool Fill, bool Stroke);
    void FillWith(QPainterPath Area, const QBrush& Brush, QPainter::CompositionMode Mode);
    void Bound(QPainterPath& Figure) const;
    void ApplyClip();
    void ApplyComposition(QPainter::CompositionMode Mode);
    QPainter::CompositionMode RopMode() const;
    QColor RopColor(const QColor& Color) const;
    QPen MakePen();
    QBrush MakeBrush(const TGdiBrush& Brush) const;
    std::optional<QFont> MakeFont(double XScale, double YScale) const;
    void OpenFigure();
    // Where lines that go on from the current position are built: the open path, a figure
    // open in it, or else Figure, begun at the current position.
    QPainterPath& ContinueFigure(QPainterPath& Figure);
    // FillPath, StrokePath and StrokeAndFillPath: an ended path is drawn, then discarded.
    void DrawPath(bool Fill, bool Stroke);

    QRect FPicture;   // the whole picture, image coordinates
    QTransform FBand; // image coordinates to the band's
    EMapping FMapping;
    QTransform FDeviceToImage;
    QSizeF FPixelsPerMm;
    QPainter FPainter;
    QRectF FNear;          // figures within need no bounding
    double FLimit;         // image coordinates are kept within ±FLimit
    double FMaxPenWidth;   // image pixels
    double FMaxTextPixels; // larger text is not drawn

    TDcState FState;
    TGdiObjectTable FObjects;
    std::vector<TDcState> FSaved;

    QTransform FTransform;
    bool FTransformValid = false;
    unsigned FClipVersion = 0;
    unsigned FAppliedClipVersion = 0;
    QPainter::CompositionMode FAppliedMode = QPainter::CompositionMode_SourceOver;

    bool FInPath = false;
    bool FPathEnded = false; // EndPath made a path that is not yet used or discarded
    bool FFigureOpen = false;
    QPainterPath FPath; // image coordinates
};

} // namespace korvane
