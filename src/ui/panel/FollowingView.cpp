#include "ui/panel/FollowingView.h"

#include "image/ScaleSystem.h"
#include "ui/panel/Beacon.h"
#include "ui/panel/KorvanePanel.h"

#include <QPainter>

namespace korvane {

TFollowingView::TFollowingView(TKorvanePanel& Panel) : FPanel(Panel) {}

TFollowingView::~TFollowingView() = default;

void TFollowingView::FollowingStarted(TLine& Line) {
    FPanel.View().DisableScrollBars();
    FBeacon.reset();
    const TFollowRun* Run = Line.CurrentRun();
    if (Run && Run->Settings.UseBeacon) {
        FBeacon = std::make_unique<TBeacon>(FPanel);
        FBeacon->Color = Line.DisplayColor();
    }
}

void TFollowingView::PointFollowed(TLine& Line, TLongintPoint, TDoublePoint Real) {
    TLongintPoint S = FPanel.CurrentScaleSystem().RealToScreen(Real);
    if (FBeacon)
        FBeacon->Hide();
    {
        QPainter& Canvas = FPanel.Canvas();
        Canvas.save();
        Canvas.setCompositionMode(QPainter::CompositionMode_SourceOver);
        const TColor C = Line.DisplayColor();
        QPen Pen(ToQColor(C), 1);
        Pen.setCosmetic(true);
        Canvas.setPen(Pen);
        Canvas.drawPoint(S.X, S.Y);
        Canvas.restore();
    }
    if (!FPanel.ContainsScreenPoint(S) && FPanel.View().ScrollToShow(S)) {
        FPanel.View().DisableScrollBars();
        FPanel.RepaintImage();
        // The view moved: the point is somewhere else on the screen now.
        S = FPanel.CurrentScaleSystem().RealToScreen(Real);
    }
    if (FBeacon) // a listener of the repaint may have discarded the run, and the beacon with it
        FBeacon->Show(S);
}

void TFollowingView::FollowingFailed(TLine&) {
    RunEnded();
}

void TFollowingView::FollowingFinished(TLine&) {
    RunEnded();
}

void TFollowingView::FollowingDiscarded(TLine&) {
    RunEnded();
}

void TFollowingView::RunEnded() {
    FBeacon.reset();
    FPanel.View().EnableScrollBars();
}

} // namespace korvane
