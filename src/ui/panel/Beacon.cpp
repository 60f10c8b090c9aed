#include "ui/panel/Beacon.h"

#include <QPainter>
#include <QPoint>
#include <algorithm>
#include <cstdlib>

namespace korvane {

namespace {

// Saves a painter's state and restores it on every path.
class TSavedPainter {
public:
    explicit TSavedPainter(QPainter& P) : FP(P) { FP.save(); }
    ~TSavedPainter() { FP.restore(); }
    TSavedPainter(const TSavedPainter&) = delete;
    TSavedPainter& operator=(const TSavedPainter&) = delete;

private:
    QPainter& FP;
};

} // namespace

TBeacon::~TBeacon() {
    try {
        Hide();
    } catch (...) {
        // The panel could not draw: the view is composed afresh at its next repaint anyway.
        FPanel.RemoveOverlay(this);
    }
}

std::vector<TLongintPoint> TBeacon::Pixels(TLongintPoint Centre, std::int32_t Radius) {
    if (Radius <= 0)
        return {};
    const std::int32_t Side = 2 * Radius;
    // Toggle counts over the box, relative to its top-left pixel.
    std::vector<std::uint8_t> Count(static_cast<std::size_t>(Side) * Side, 0);
    const auto Toggle = [&](std::int32_t I, std::int32_t J) {
        Count[static_cast<std::size_t>(J) * Side + I] ^= 1;
    };
    // The ring: the pixels of the ellipse inscribed in the box whose four neighbours are not
    // all inside it. Pixel centres lie at I + 0.5; the ellipse's centre at Radius.
    const auto Inside = [&](std::int32_t I, std::int32_t J) {
        if (I < 0 || J < 0 || I >= Side || J >= Side)
            return false;
        const double DX = I + 0.5 - Radius, DY = J + 0.5 - Radius;
        return DX * DX + DY * DY <= static_cast<double>(Radius) * Radius;
    };
    for (std::int32_t J = 0; J < Side; ++J)
        for (std::int32_t I = 0; I < Side; ++I)
            if (Inside(I, J) &&
                (!Inside(I - 1, J) || !Inside(I + 1, J) || !Inside(I, J - 1) || !Inside(I, J + 1)))
                Toggle(I, J);
    // The cross, its end pixels left out.
    for (std::int32_t I = 0; I < Side; ++I) {
        Toggle(I, Radius);
        Toggle(Radius, I);
    }
    std::vector<TLongintPoint> Result;
    for (std::int32_t J = 0; J < Side; ++J)
        for (std::int32_t I = 0; I < Side; ++I)
            if (Count[static_cast<std::size_t>(J) * Side + I])
                Result.push_back({Centre.X - Radius + I, Centre.Y - Radius + J});
    return Result;
}

void TBeacon::DrawOn(QPainter& Canvas) const {
    const std::vector<TLongintPoint> Points = Pixels(FCentre, FDrawnRadius);
    std::vector<QPoint> Q;
    Q.reserve(Points.size());
    for (const TLongintPoint& P : Points)
        Q.emplace_back(P.X, P.Y);
    TSavedPainter Saved(Canvas);
    Canvas.setRenderHint(QPainter::Antialiasing, false);
    Canvas.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    QPen Pen(ToQColor(FDrawnColor), 1);
    Pen.setCosmetic(true);
    Canvas.setPen(Pen);
    Canvas.setBrush(Qt::NoBrush);
    Canvas.drawPoints(Q.data(), static_cast<int>(Q.size()));
}

void TBeacon::Show(TLongintPoint P) {
    Hide();
    FCentre = P;
    FDrawnColor = Color;
    FDrawnRadius = Radius;
    DrawOn(FPanel.Canvas());
    FVisible = true;
    FPanel.AddOverlay(this);
}

void TBeacon::Hide() {
    if (!FVisible)
        return;
    FVisible = false;
    FPanel.RemoveOverlay(this);
    DrawOn(FPanel.Canvas());
}

void TBeacon::DrawOverlay(QPainter& Canvas) {
    if (FVisible)
        DrawOn(Canvas);
}

} // namespace korvane
