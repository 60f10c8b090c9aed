#include "document/PointMarkers.h"

#include "core/Errors.h"

#include <QPainter>
#include <functional>

namespace korvane {

void TPointMarker::SetSize(std::int32_t N) {
    if (N != FSize && N >= FMinSize && N <= FMaxSize)
        FSize = N;
}

void TPointMarker::Assign(const TPersistent& Source) {
    if (auto* Other = dynamic_cast<const TPointMarker*>(&Source)) {
        SetSize(Other->FSize);
        FMinSize = Other->FMinSize;
        FMaxSize = Other->FMaxSize;
    }
}

namespace {

// A solid 1-pixel pen of the painter's pen colour in copy mode, brush solid or hollow.
void PreparePainter(QPainter& Canvas, bool Filled, bool TouchBrush) {
    Canvas.setRenderHint(QPainter::Antialiasing, false);
    Canvas.setCompositionMode(QPainter::CompositionMode_Source);
    QPen Pen(Canvas.pen().color());
    Pen.setWidth(1);
    Pen.setStyle(Qt::SolidLine);
    Canvas.setPen(Pen);
    if (TouchBrush)
        Canvas.setBrush(Filled ? QBrush(Canvas.brush().color(), Qt::SolidPattern)
                               : QBrush(Qt::NoBrush));
}

// The box from (x - r, y - r) to (x + r, y + r) without its right and bottom edge: Qt's
// outline of QRect(left, top, w, h) covers left..left + w, so the width is 2r - 1.
QRect Box(TLongintPoint P, std::int32_t R) {
    return QRect(P.X - R, P.Y - R, 2 * R - 1, 2 * R - 1);
}

void Pixel(QPainter& Canvas, int X, int Y) {
    Canvas.fillRect(X, Y, 1, 1, Canvas.pen().color());
}

template <class T> std::unique_ptr<TPointMarker> CloneOf(const T& Marker) {
    auto Copy = std::make_unique<T>();
    Copy->Assign(Marker);
    return Copy;
}

} // namespace

std::unique_ptr<TPointMarker> TCircleMarker::Clone() const {
    return CloneOf(*this);
}
std::unique_ptr<TPointMarker> TRingMarker::Clone() const {
    return CloneOf(*this);
}
std::unique_ptr<TPointMarker> TSquareMarker::Clone() const {
    return CloneOf(*this);
}
std::unique_ptr<TPointMarker> TFrameMarker::Clone() const {
    return CloneOf(*this);
}
std::unique_ptr<TPointMarker> TCrossMarker::Clone() const {
    return CloneOf(*this);
}
std::unique_ptr<TPointMarker> TXMarker::Clone() const {
    return CloneOf(*this);
}

void TCircleMarker::Draw(TLongintPoint P, QPainter& Canvas) const {
    PreparePainter(Canvas, true, true);
    Canvas.drawEllipse(Box(P, GetSize()));
}

void TRingMarker::Draw(TLongintPoint P, QPainter& Canvas) const {
    PreparePainter(Canvas, false, true);
    Canvas.drawEllipse(Box(P, GetSize()));
}

void TSquareMarker::Draw(TLongintPoint P, QPainter& Canvas) const {
    PreparePainter(Canvas, true, true);
    Canvas.drawRect(Box(P, GetSize()));
}

void TFrameMarker::Draw(TLongintPoint P, QPainter& Canvas) const {
    PreparePainter(Canvas, false, true);
    Canvas.drawRect(Box(P, GetSize()));
}

void TCrossMarker::Draw(TLongintPoint P, QPainter& Canvas) const {
    PreparePainter(Canvas, false, false);
    const std::int32_t R = GetSize();
    // (x - r, y) to (x + r + 1, y) and (x, y - r) to (x, y + r + 1), end points left out.
    Canvas.fillRect(P.X - R, P.Y, 2 * R + 1, 1, Canvas.pen().color());
    Canvas.fillRect(P.X, P.Y - R, 1, 2 * R + 1, Canvas.pen().color());
}

void TXMarker::Draw(TLongintPoint P, QPainter& Canvas) const {
    PreparePainter(Canvas, false, false);
    const std::int32_t R = GetSize();
    // (x - r, y - r) to (x + r + 1, y + r + 1) and (x + r, y - r) to (x - r - 1, y + r + 1).
    for (std::int32_t K = 0; K <= 2 * R; ++K) {
        Pixel(Canvas, P.X - R + K, P.Y - R + K);
        Pixel(Canvas, P.X + R - K, P.Y - R + K);
    }
}

const std::vector<std::string>& TPointMarkerRegistry::ClassNames() {
    static const std::vector<std::string> Names{"TCircleMarker", "TRingMarker",  "TSquareMarker",
                                                "TFrameMarker",  "TCrossMarker", "TXMarker"};
    return Names;
}

std::unique_ptr<TPointMarker> TPointMarkerRegistry::Create(const std::string& ClassName) {
    if (ClassName == "TCircleMarker")
        return std::make_unique<TCircleMarker>();
    if (ClassName == "TRingMarker")
        return std::make_unique<TRingMarker>();
    if (ClassName == "TSquareMarker")
        return std::make_unique<TSquareMarker>();
    if (ClassName == "TFrameMarker")
        return std::make_unique<TFrameMarker>();
    if (ClassName == "TCrossMarker")
        return std::make_unique<TCrossMarker>();
    if (ClassName == "TXMarker")
        return std::make_unique<TXMarker>();
    throw EClassNotFound("Class " + ClassName + " not found.");
}

} // namespace korvane
