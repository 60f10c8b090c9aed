#include "image/readers/metafile/GdiCanvas.h"

#include <cmath>

// Clipping regions, kept in image pixels, and the filling of region records.

namespace korvane {

namespace {

// Clipping regions of more rectangles than this are not made: the operation is ignored.
constexpr int MaxClipRects = 8192;
// A region record's rectangles are merged one by one up to this many; past it only their
// bounding box is kept.
constexpr std::size_t MaxRegionRects = 1024;

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
        // The four corners joined crosswise make a bow tie.
        const QPointF Next = Points[(I + 1) % 4];
        if (P.x() != Next.x() && P.y() != Next.y())
            return false;
        ++Corners;
    }
    return Corners == 4;
}

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

} // namespace korvane
