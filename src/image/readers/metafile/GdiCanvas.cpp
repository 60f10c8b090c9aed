#include "image/readers/metafile/GdiCanvas.h"

#include <algorithm>
#include <cmath>

// The canvas itself: its painter and saved states, and how a figure or area reaches the
// painter (bounded, clipped, under the mix mode).

namespace korvane {

namespace {

// Deeper SaveDC nesting than this is ignored: each level keeps a copy of the state.
constexpr std::size_t MaxSavedStates = 4096;

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

} // namespace korvane
