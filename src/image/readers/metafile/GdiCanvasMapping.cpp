#include "image/readers/metafile/GdiCanvas.h"

#include <algorithm>
#include <cmath>

// The mapping of logical units to the image: window, viewport, map mode and world transform.

namespace korvane {

namespace {

bool Finite(const QTransform& T) {
    return std::isfinite(T.m11()) && std::isfinite(T.m12()) && std::isfinite(T.m13()) &&
           std::isfinite(T.m21()) && std::isfinite(T.m22()) && std::isfinite(T.m23()) &&
           std::isfinite(T.m31()) && std::isfinite(T.m32()) && std::isfinite(T.m33());
}

} // namespace

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

} // namespace korvane
