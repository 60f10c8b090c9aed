#include "image/readers/metafile/GdiCanvas.h"

#include <QPainterPathStroker>

// Paths: figures collected in image coordinates, then filled, stroked or made the clipping.

namespace korvane {

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

QPainterPath& TGdiCanvas::ContinueFigure(QPainterPath& Figure) {
    if (FInPath) {
        OpenFigure();
        return FPath;
    }
    Figure.moveTo(Transform().map(FState.Position));
    return Figure;
}

void TGdiCanvas::BeginPath() {
    FInPath = true;
    FPathEnded = false;
    FFigureOpen = false;
    FPath = QPainterPath();
}

void TGdiCanvas::EndPath() {
    if (FInPath)
        FPathEnded = true;
    FInPath = false;
}

void TGdiCanvas::AbortPath() {
    FInPath = false;
    FPathEnded = false;
    FPath = QPainterPath();
}

void TGdiCanvas::CloseFigure() {
    if (FInPath && FFigureOpen) {
        FPath.closeSubpath();
        FFigureOpen = false;
    }
}

void TGdiCanvas::DrawPath(bool Fill, bool Stroke) {
    if (FInPath)
        return;
    Draw(FPath, Fill, Stroke);
    FPathEnded = false;
    FPath = QPainterPath();
}

void TGdiCanvas::FillPath() {
    DrawPath(true, false);
}

void TGdiCanvas::StrokePath() {
    DrawPath(false, true);
}

void TGdiCanvas::StrokeAndFillPath() {
    DrawPath(true, true);
}

void TGdiCanvas::WidenPath() {
    if (FInPath || (FState.Pen.Style & PS_STYLE_MASK) == PS_NULL)
        return;
    Bound(FPath);
    const QPen Pen = MakePen();
    QPainterPathStroker Stroker(Pen);
    FPath = Stroker.createStroke(FPath);
}

// Without an ended path the clipping stays as it is: an empty region would hide the rest of
// the picture.
void TGdiCanvas::SelectClipPath(int Mode) {
    if (FInPath || !FPathEnded)
        return;
    QPainterPath Area = FPath;
    Area.setFillRule(FState.FillMode == WINDING ? Qt::WindingFill : Qt::OddEvenFill);
    CombineClip(ImageRegion(Area), Mode);
    FPathEnded = false;
    FPath = QPainterPath();
}

} // namespace korvane
