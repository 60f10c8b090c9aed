#include "image/PanZoomView.h"

#include "core/Streams.h"
#include "image/AxisMapping.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace korvane;

namespace {

constexpr std::int32_t Bar = 16; // scroll-bar thickness in these tests

// A view of a Width x Height image in a panel whose usable interior is PanelW x PanelH.
struct TViewFixture {
    TPanZoomView V;
    int Repaints = 0;
    TViewFixture(std::int32_t Width, std::int32_t Height, std::int32_t PanelW,
                 std::int32_t PanelH) {
        V.SetScrollBarMetrics(Bar, Bar, 8, 8);
        V.SetUsableSize(PanelW, PanelH);
        V.SetImage(Width, Height);
        V.Repaint = [this] { ++Repaints; };
    }
    const TScaleSystem& S() const { return V.View(); }
};

struct TLog : IPanelListener {
    std::vector<std::string>* Events;
    explicit TLog(std::vector<std::string>& E) : Events(&E) {}
    void PanelPainted(TPanZoomView&) override { Events->push_back("painted"); }
    void PenStateChanged(TPanZoomView&) override { Events->push_back("pen"); }
    void PenWidthChanged(TPanZoomView&) override { Events->push_back("width"); }
};

} // namespace

TEST(PanZoomView, ZoomStepsTruncateAndStopAtSixteen) {
    struct TCase {
        std::vector<double> Factors;
        TLongintPoint WindowExt;
    };
    const double In = TPanZoomView::ZoomInFactor, Out = TPanZoomView::ZoomOutFactor;
    const std::vector<TCase> Cases = {
        {{In}, {600, 450}},
        {{In, Out}, {799, 599}}, // each step truncates
        // 4/3 as a double is just below 4/3.
        {{Out}, {1066, 799}},
        // 800 / 16, 600 div 16.
        {std::vector<double>(12, In), {50, 37}},
        {{0.5}, {400, 300}},
    };
    for (const TCase& C : Cases) {
        TViewFixture F(800, 600, 1000, 800);
        int ZoomEvents = 0;
        F.V.OnZoomOut = [&] { ++ZoomEvents; };
        for (double Factor : C.Factors)
            F.V.ZoomBy(Factor);
        EXPECT_EQ(F.S().WindowExt, C.WindowExt) << C.Factors.size() << " steps";
        EXPECT_EQ(F.S().ViewportExt, (TLongintPoint{800, 600}));
        EXPECT_EQ(ZoomEvents, static_cast<int>(C.Factors.size()));
    }
}

TEST(PanZoomView, ZoomStepsReachEachLevelExactlyWhateverTheWay) {
    // A sequence of steps (+1 in, -1 out) and the level it must come to, as the same count
    // taken directly from 1:1 gives it. The image is 700 wide: 700 x 4/3 is not whole.
    struct TCase {
        std::vector<std::int32_t> Steps;
        std::int32_t Level;
    };
    const std::vector<TCase> Cases = {
        {{-1, 1}, 0},    {{1, -1}, 0},        {{-1, -1, 1, 1}, 0},        {{-1, -1, -1, 1}, -2},
        {{1, 1, -1}, 1}, {{-1, 1, -1, 1}, 0}, {{1, 1, 1, -1, -1, -1}, 0}, {{-3, 2, -1, 2}, 0},
        {{2, -5, 3}, 0},
    };
    for (const TCase& C : Cases) {
        TViewFixture Walked(700, 500, 1000, 800), Direct(700, 500, 1000, 800);
        for (std::int32_t Step : C.Steps)
            Walked.V.ZoomStep(Step);
        if (C.Level != 0)
            Direct.V.ZoomStep(C.Level);
        SCOPED_TRACE(::testing::PrintToString(C.Steps));
        EXPECT_EQ(Walked.S().WindowExt, Direct.S().WindowExt);
        EXPECT_EQ(Walked.V.ZoomSteps(), C.Level);
        for (const TLongintPoint P : {TLongintPoint{0, 0}, {699, 499}, {350, 123}})
            EXPECT_EQ(Walked.S().ImageToScreen(P), Direct.S().ImageToScreen(P));
    }
    // Back at 1:1 the view maps pixel for pixel.
    TViewFixture F(700, 500, 1000, 800);
    F.V.ZoomStep(-1);
    EXPECT_EQ(F.S().WindowExt, (TLongintPoint{933, 666}));
    F.V.ZoomStep(1);
    EXPECT_EQ(F.S().WindowExt, (TLongintPoint{700, 500}));
    const TViewFixture Fresh(700, 500, 1000, 800);
    for (const TLongintPoint P : {TLongintPoint{0, 0}, {1, 1}, {699, 499}})
        EXPECT_EQ(F.S().ImageToScreen(P), Fresh.S().ImageToScreen(P));
    EXPECT_EQ(F.S().ScreenToImage({699, 499}), (TLongintPoint{699, 499}));
}

TEST(PanZoomView, ZoomStepsStartAgainFromExtentsSetOtherwise) {
    TViewFixture F(800, 600, 1000, 800);
    F.V.ZoomStep(-1);
    F.V.ZoomToArea({0, 0, 400, 300});
    const TLongintPoint Area = F.S().WindowExt;
    F.V.ZoomStep(-1);
    F.V.ZoomStep(1);
    EXPECT_EQ(F.S().WindowExt, Area);
    EXPECT_EQ(F.V.ZoomSteps(), 0);

    // At 16 : 1 further steps in change nothing, and one step out leaves the limit.
    TViewFixture Small(100, 100, 1000, 800);
    int Changed = 0;
    for (int I = 0; I < 20; ++I)
        Changed += Small.V.ZoomStep(1);
    EXPECT_EQ(Small.S().WindowExt, (TLongintPoint{6, 6})); // 100 / 16
    EXPECT_EQ(Changed, 10);
    EXPECT_TRUE(Small.V.ZoomStep(-1));
    EXPECT_EQ(Small.S().WindowExt, (TLongintPoint{7, 7})); // 100 x (3/4)^9, truncated

    // Far out the steps stop before the extents overflow.
    TViewFixture Big(800, 600, 1000, 800);
    for (int I = 0; I < 100; ++I)
        Big.V.ZoomStep(-1);
    EXPECT_EQ(Big.V.ZoomSteps(), -48);
    EXPECT_GT(Big.S().WindowExt.X, 1 << 29);
}

TEST(PanZoomView, ZoomToFitShowsTheWholeImageAtOneScale) {
    struct TCase {
        TLongintPoint Image;
        TLongintPoint PaintBox; // the image on the screen
    };
    const TCase Cases[] = {
        {{2000, 1000}, {500, 250}}, // the width limits
        {{1000, 3000}, {133, 400}}, // the height limits
        {{250, 200}, {500, 400}},   // a small image grows
        {{10, 10}, {160, 160}},     // at most 16 : 1
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(::testing::PrintToString(C.Image.X));
        TViewFixture F(C.Image.X, C.Image.Y, 500, 400);
        EXPECT_EQ(F.V.ImageLargerThanView(), C.Image.X > 500 || C.Image.Y > 400);
        F.V.ZoomToFit();
        EXPECT_FALSE(F.V.HorzScrollBar().Visible);
        EXPECT_FALSE(F.V.VertScrollBar().Visible);
        EXPECT_EQ(F.V.PaintBoxSize(), C.PaintBox);
        // The same scale on both axes: the far corner lands where the scale puts it.
        // (ImageToScreen gives the centre of a pixel's block.)
        const TLongintPoint Corner = F.S().ImageToScreen({C.Image.X, C.Image.Y});
        EXPECT_NEAR(Corner.X - F.S().HalfStep().X, C.PaintBox.X, 1);
        EXPECT_NEAR(Corner.Y - F.S().HalfStep().Y, C.PaintBox.Y, 1);
    }
}

TEST(PanZoomView, ExtremeZoomsStayUsable) {
    // A tiny image: 16 device pixels per image pixel would need a window extent of 0.
    TViewFixture Small(10, 10, 100, 100);
    for (int I = 0; I < 10; ++I)
        Small.V.ZoomBy(TPanZoomView::ZoomInFactor);
    EXPECT_EQ(Small.S().WindowExt, (TLongintPoint{1, 1}));
    EXPECT_EQ(Small.V.PaintBoxSize(), (TLongintPoint{100, 100})); // 10 pixels per pixel

    // Zooming out without end neither overflows nor breaks the conversions.
    TViewFixture Big(800, 600, 1000, 800);
    for (int I = 0; I < 200; ++I)
        Big.V.ZoomBy(TPanZoomView::ZoomOutFactor);
    EXPECT_GT(Big.S().WindowExt.X, 1 << 29);
    EXPECT_EQ(Big.V.PaintBoxSize(), (TLongintPoint{0, 0}));
    EXPECT_NO_THROW(Big.S().ScreenToImage({0, 0}));
    Big.V.ResetView();
    EXPECT_EQ(Big.S().WindowExt, (TLongintPoint{800, 600}));
}

TEST(PanZoomView, LaysOutScrollBarsAndPaintBox) {
    struct TCase {
        TLongintPoint Image, Panel;
        bool Horz, Vert;
        TLongintPoint Box;
    };
    const std::vector<TCase> Cases = {
        {{100, 80}, {500, 400}, false, false, {100, 80}}, // top-left, nothing beyond
        {{800, 600}, {600, 500}, true, true, {584, 484}},
        {{800, 300}, {600, 500}, true, false, {600, 300}},
        {{300, 800}, {600, 500}, false, true, {300, 500}},
        // The vertical bar narrows the box so that the horizontal one is needed too.
        {{590, 600}, {600, 500}, true, true, {584, 484}},
        // The horizontal bar lowers the box so that the vertical one is needed too.
        {{700, 490}, {600, 500}, true, true, {584, 484}},
    };
    for (const TCase& C : Cases) {
        TViewFixture F(C.Image.X, C.Image.Y, C.Panel.X, C.Panel.Y);
        SCOPED_TRACE(std::to_string(C.Image.X) + "x" + std::to_string(C.Image.Y));
        EXPECT_EQ(F.V.HorzScrollBar().Visible, C.Horz);
        EXPECT_EQ(F.V.VertScrollBar().Visible, C.Vert);
        EXPECT_EQ(F.V.PaintBoxSize(), C.Box);
        EXPECT_EQ(F.S().WindowOrg, (TLongintPoint{0, 0}));
        if (C.Horz) {
            EXPECT_EQ(F.V.HorzScrollBar().Max, C.Image.X);
            EXPECT_EQ(F.V.HorzScrollBar().PageSize, C.Box.X + 1);
            EXPECT_EQ(F.V.HorzScrollBar().LargeChange, C.Box.X + 1);
        }
        EXPECT_EQ(F.V.ScrollPosition(true), C.Horz ? 0 : -1);
        EXPECT_EQ(F.V.ScrollPosition(false), C.Vert ? 0 : -1);
    }
}

TEST(PanZoomView, ScrollingClampsAndMovesTheWindowOrigin) {
    TViewFixture F(800, 600, 600, 500); // box 584 x 484: pages 585 and 485
    F.V.ScrollHorizontally(100);
    EXPECT_EQ(F.S().WindowOrg.X, 100);
    EXPECT_EQ(F.Repaints, 1);
    F.V.ScrollHorizontally(1000);
    EXPECT_EQ(F.V.HorzScrollBar().Position, 800 - 585 + 1);
    EXPECT_EQ(F.S().WindowOrg.X, 216);
    F.V.ScrollVertically(-50);
    EXPECT_EQ(F.S().WindowOrg.Y, 0);
    F.V.ScrollBarMoved(false, 500, true); // the end of a drag: no repaint
    EXPECT_EQ(F.S().WindowOrg.Y, 116);
    EXPECT_EQ(F.Repaints, 3);

    // Resizing keeps a visible bar's position within the new range.
    F.V.SetUsableSize(700, 500);
    EXPECT_EQ(F.V.HorzScrollBar().Position, 800 - 685 + 1);
    EXPECT_EQ(F.S().WindowOrg.X, 116);
    // A bar that disappears resets its origin; a bar that reappears starts at 0.
    F.V.SetUsableSize(900, 500);
    EXPECT_FALSE(F.V.HorzScrollBar().Visible);
    EXPECT_EQ(F.S().WindowOrg.X, 0);
    F.V.ScrollHorizontally(10); // hidden: nothing
    EXPECT_EQ(F.S().WindowOrg.X, 0);
    F.V.SetUsableSize(600, 500);
    EXPECT_EQ(F.V.HorzScrollBar().Position, 0);
}

TEST(PanZoomView, ConversionsFollowTheViewAtSeveralZooms) {
    for (double Factor : {1.0, 0.5, 0.25, 0.75, 4.0 / 3.0, 2.0}) {
        TViewFixture F(800, 600, 300, 200);
        F.V.ZoomBy(Factor);
        F.V.ScrollHorizontally(37);
        F.V.ScrollVertically(1000); // to the end
        const TScaleSystem& S = F.S();
        SCOPED_TRACE(Factor);
        // The paint box's far corner is the last pixel the bars' pages cover; scrolled to
        // the end vertically, that is the image's bottom edge.
        const TLongintPoint Far = S.ScreenToImage(F.V.PaintBoxSize());
        const auto& H = F.V.HorzScrollBar();
        const auto& V = F.V.VertScrollBar();
        if (H.PageSize > 8) {
            EXPECT_EQ(Far.X, H.Position + H.PageSize - 1);
        }
        EXPECT_EQ(Far.Y, V.Position + V.PageSize - 1);
        EXPECT_EQ(Far.Y, 600);
        EXPECT_EQ(S.ScreenToImage({0, 0}), S.WindowOrg);
        EXPECT_EQ(S.ImageToScreen(S.WindowOrg), S.HalfStep());
        // At whole zooms an image pixel's block starts where the pixel converts back.
        if (1.0 / Factor == static_cast<int>(1.0 / Factor)) {
            for (TLongintPoint P : {S.WindowOrg, TLongintPoint{S.WindowOrg.X + 7, 599}}) {
                const TLongintPoint Screen = S.ImageToScreen(P);
                EXPECT_EQ(S.ScreenToImage({Screen.X - S.HalfStep().X, Screen.Y - S.HalfStep().Y}),
                          P);
            }
        }
    }
}

TEST(PanZoomView, ScrollToShowMovesHalfAViewTowardsThePoint) {
    TViewFixture F(1200, 900, 616, 516); // box 600 x 500 at actual size
    ASSERT_EQ(F.V.PaintBoxSize(), (TLongintPoint{600, 500}));
    EXPECT_TRUE(F.V.ScrollToShow({600, 10}));
    EXPECT_EQ(F.S().WindowOrg, (TLongintPoint{300, 0}));
    EXPECT_EQ(F.Repaints, 0); // the caller repaints
    EXPECT_TRUE(F.V.ScrollToShow({650, 500}));
    EXPECT_EQ(F.S().WindowOrg, (TLongintPoint{600, 250})); // to the end: 1200 - 601 + 1
    // At the right end the answer is false at once, whatever the point's row.
    EXPECT_FALSE(F.V.ScrollToShow({700, 600}));
    EXPECT_EQ(F.S().WindowOrg.Y, 250);
    EXPECT_TRUE(F.V.ScrollToShow({-1, -1}));
    EXPECT_EQ(F.S().WindowOrg, (TLongintPoint{300, 0}));
    EXPECT_FALSE(F.V.ScrollToShow({10, -5})); // already at the top
    EXPECT_FALSE(F.V.ScrollToShow({10, 10})); // inside the view

    // At zoom 2 half the view is fewer image pixels.
    TViewFixture Z(1200, 900, 616, 516);
    Z.V.ZoomBy(0.5);
    EXPECT_TRUE(Z.V.ScrollToShow({600, 0}));
    EXPECT_EQ(Z.S().WindowOrg.X, 150);
}

TEST(PanZoomView, ZoomsToTheRubberBandsArea) {
    // Bars stay: the area fills the view less the bars.
    TViewFixture F(800, 600, 400, 300);
    int Zoomed = 0;
    F.V.OnZoomToArea = [&] { ++Zoomed; };
    F.V.ZoomToArea({10, 20, 110, 95});
    EXPECT_EQ(F.S().WindowOrg, (TLongintPoint{10, 20}));
    EXPECT_EQ(F.S().WindowExt, (TLongintPoint{100, 75}));
    EXPECT_EQ(F.S().ViewportExt, (TLongintPoint{384, 284}));
    EXPECT_EQ(F.V.HorzScrollBar().Position, 10);
    EXPECT_EQ(F.V.VertScrollBar().Position, 20);
    EXPECT_EQ(Zoomed, 1);

    // Bars appear: the view loses their thickness and the mapping is laid out again.
    TViewFixture G(300, 200, 400, 300);
    ASSERT_FALSE(G.V.HorzScrollBar().Visible);
    G.V.ZoomToArea({30, 40, 180, 140});
    EXPECT_TRUE(G.V.HorzScrollBar().Visible);
    EXPECT_TRUE(G.V.VertScrollBar().Visible);
    EXPECT_EQ(G.S().ViewportExt, (TLongintPoint{384, 284}));
    EXPECT_EQ(G.S().WindowExt, (TLongintPoint{150, 100}));
    EXPECT_EQ(G.S().WindowOrg, (TLongintPoint{30, 40}));
    EXPECT_EQ(G.S().ScreenToImage({384, 284}), (TLongintPoint{180, 140}));

    // An area narrower than an image pixel at the largest zoom is limited, not divided by 0.
    TViewFixture H(800, 600, 400, 300);
    H.V.ZoomToArea({0, 0, 20, 20});
    H.V.ZoomToArea({0, 0, 3, 3});
    EXPECT_EQ(H.S().WindowExt, (TLongintPoint{384 / 16, 284 / 16}));
}

TEST(PanZoomView, ZoomingInWithTheMouse) {
    TViewFixture F(800, 600, 400, 300);
    std::vector<std::string> Events;
    F.V.OnZoomInBegin = [&] { Events.push_back("begin"); };
    F.V.OnZoomInEnd = [&] { Events.push_back("end"); };
    F.V.OnZoomToArea = [&] { Events.push_back("zoom"); };
    F.V.OnMouseUp = [&](TLongintPoint P, TDoublePoint A, int, unsigned) {
        Events.push_back("up " + std::to_string(P.X) + " " + std::to_string(A.X));
    };
    F.V.SetZoomingIn(true);
    EXPECT_EQ(F.V.PaintBoxCursor(), CursorZoom);
    EXPECT_FALSE(F.V.Movable);

    // Zero width: nothing zooms.
    F.V.MouseDown({10, 10}, 1, 0);
    EXPECT_TRUE(F.V.RubberBandActive());
    F.V.MouseUp({10, 50}, 1, 0);
    EXPECT_FALSE(F.V.RubberBandActive());
    EXPECT_EQ(F.S().WindowExt, (TLongintPoint{800, 600}));

    F.V.MouseDown({110, 95}, 1, 0); // dragged up-left: the rectangle is normalised
    F.V.MouseMove({60, 70}, 0);
    F.V.MouseUp({10, 20}, 1, 0);
    EXPECT_EQ(F.S().WindowOrg, (TLongintPoint{10, 20}));
    EXPECT_EQ(F.S().WindowExt, (TLongintPoint{100, 75}));

    F.V.SetZoomingIn(false);
    EXPECT_EQ(F.V.PaintBoxCursor(), CursorBasic);
    EXPECT_TRUE(F.V.Movable);
    EXPECT_EQ(Events, (std::vector<std::string>{"begin", "up 10 0.000000", "zoom", "up 10 0.000000",
                                                "end"}));
}

TEST(PanZoomView, ProportionalBandKeepsItsRatio) {
    struct TCase {
        TLongintPoint P, Corner;
    };
    const std::vector<TCase> Cases = {
        {{100, 30}, {40, 30}},  {{20, 90}, {20, 15}},       {{-100, 30}, {-40, 30}},
        {{20, -90}, {20, -15}}, {{-100, -75}, {-100, -75}}, {{0, 0}, {0, 0}},
    };
    for (const TCase& C : Cases) {
        TRubberBand B;
        B.SetProportional(true, 4, 3);
        B.Start({0, 0});
        B.Move(C.P);
        EXPECT_EQ(B.Corner(), C.Corner) << C.P.X << "," << C.P.Y;
    }

    // Every move erases and redraws; stopping erases; a ratio with a zero side is free.
    TRubberBand B;
    B.SetProportional(true, 4, 0);
    EXPECT_FALSE(B.Proportional());
    std::vector<TDeviceRect> Drawn;
    TDeviceRect Stopped;
    int Cancels = 0;
    B.Draw = [&](const TDeviceRect& R) { Drawn.push_back(R); };
    B.OnStop = [&](const TDeviceRect& R) { Stopped = R; };
    B.OnCancel = [&] { ++Cancels; };
    B.Move({5, 5}); // not started: nothing
    B.Cancel();
    EXPECT_TRUE(Drawn.empty());
    EXPECT_EQ(Cancels, 0);
    B.Start({50, 50});
    EXPECT_FALSE(B.SetBandWidth(3));
    B.Move({20, 70});
    B.Stop({30, 80});
    EXPECT_EQ(Drawn,
              (std::vector<TDeviceRect>{{50, 50, 50, 50}, {20, 50, 50, 70}, {20, 50, 50, 70}}));
    EXPECT_EQ(Stopped, (TDeviceRect{30, 50, 50, 80}));
    EXPECT_FALSE(B.SetBandWidth(0));
    EXPECT_TRUE(B.SetBandWidth(3));
    EXPECT_EQ(B.BandWidth(), 3);
}

TEST(PanZoomView, SelectingReportsTheRealCorners) {
    TViewFixture F(800, 600, 1000, 800);
    F.V.Scale().SetFirstScalePoint({100, 400}, {0, 0});
    F.V.Scale().SetSkewPoint({500, 400});
    F.V.Scale().SetSecondScalePoint({500, 100}, {10, 30});
    F.V.Scale().DefineScale(false, false);
    TDeviceRect Rect;
    TQuadrilateral Quad;
    int Areas = 0;
    F.V.OnSelectArea = [&](const TDeviceRect& R, const TQuadrilateral& Q) {
        Rect = R;
        Quad = Q;
        ++Areas;
    };
    TDoublePoint Down;
    F.V.OnMouseDown = [&](TLongintPoint, TDoublePoint A, int, unsigned) { Down = A; };
    F.V.UseProportionalRubberBand = true; // selecting ignores it
    F.V.SetSelecting(true);
    F.V.MouseDown({500, 100}, 1, 0);
    EXPECT_EQ(Down, (TDoublePoint{10, 30}));
    F.V.MouseMove({100, 350}, 0);
    F.V.MouseUp({100, 400}, 1, 0);
    EXPECT_EQ(Areas, 1);
    EXPECT_EQ(Rect, (TDeviceRect{100, 100, 500, 400}));
    const std::array<TDoublePoint, 4> Expected = {TDoublePoint{0, 30}, TDoublePoint{0, 0},
                                                  TDoublePoint{10, 0}, TDoublePoint{10, 30}};
    for (int I = 0; I < 4; ++I) {
        EXPECT_NEAR(Quad.Corners[I].X, Expected[I].X, 1e-9) << I;
        EXPECT_NEAR(Quad.Corners[I].Y, Expected[I].Y, 1e-9) << I;
    }
    // A button released without a band started does nothing.
    F.V.MouseUp({200, 200}, 1, 0);
    EXPECT_EQ(Areas, 1);
}

TEST(PanZoomView, LeavingAStateRestoresThePreviousOne) {
    TViewFixture F(800, 600, 400, 300);
    std::vector<std::string> Events;
    F.V.OnSelectBegin = [&] { Events.push_back("select"); };
    F.V.OnSelectEnd = [&] { Events.push_back("/select"); };
    F.V.OnPaintBegin = [&] { Events.push_back("paint"); };
    F.V.OnPaintEnd = [&] { Events.push_back("/paint"); };
    F.V.OnPanBegin = [&] { Events.push_back("pan"); };
    F.V.OnPanEnd = [&] { Events.push_back("/pan"); };
    F.V.OnPenChanged = [&] { Events.push_back("penchanged"); };
    TLog Log(Events);
    F.V.AddListener(&Log);
    F.V.SetUseSpanningCursor(true);

    F.V.SetSelecting(true);
    EXPECT_FALSE(F.V.UseSpanningCursor());
    F.V.SetSelecting(true); // already on: nothing saved
    F.V.SetPainting(true);
    EXPECT_TRUE(F.V.Painting());
    EXPECT_FALSE(F.V.Selecting());
    EXPECT_TRUE(F.V.NewStroke());
    F.V.SetPenDown(true);
    F.V.SetPainting(false); // lifts the pen, then selecting is on again with its cursor
    EXPECT_TRUE(F.V.Selecting());
    EXPECT_FALSE(F.V.PenDown());
    EXPECT_EQ(F.V.PaintBoxCursor(), CursorZoom);
    F.V.SetPanning(true);
    EXPECT_EQ(F.V.PaintBoxCursor(), CursorSizeAll);
    F.V.SetPanning(false);
    F.V.SetSelecting(false);
    EXPECT_EQ(F.V.PaintBoxCursor(), CursorBasic);
    EXPECT_TRUE(F.V.Movable);
    EXPECT_TRUE(F.V.UseSpanningCursor());
    EXPECT_EQ(F.V.SavedStateCount(), 0u);
    F.V.SetPanning(false); // already off: nothing
    EXPECT_EQ(Events, (std::vector<std::string>{"select", "/select", "paint", "penchanged", "pen",
                                                "penchanged", "pen", "/paint", "select", "/select",
                                                "pan", "/pan", "select", "/select"}));
}

TEST(PanZoomView, PanningScrollsByTheMouseDistanceInImagePixels) {
    TViewFixture F(800, 600, 300, 200);
    F.V.ZoomBy(0.5); // 2 device pixels per image pixel
    F.V.SetPanning(true);
    F.V.MouseMove({100, 100}, 0); // first position: no scrolling
    EXPECT_EQ(F.S().WindowOrg, (TLongintPoint{0, 0}));
    F.V.MouseMove({105, 103}, 0);
    EXPECT_EQ(F.S().WindowOrg, (TLongintPoint{5, 3}));
    EXPECT_EQ(F.S().ScreenToImage({10, 0}), (TLongintPoint{10, 3}));
    F.V.MouseLeave();
    EXPECT_EQ(F.V.LastMousePos(), (TLongintPoint{-1, -1}));
    F.V.MouseMove({10, 10}, 0); // re-entering does not jump
    EXPECT_EQ(F.S().WindowOrg, (TLongintPoint{5, 3}));
    F.V.MouseMove({0, 0}, 0);
    EXPECT_EQ(F.S().WindowOrg, (TLongintPoint{0, 0}));
}

TEST(PanZoomView, MouseMovesReportImagePixelsAndDrawTheCrossHair) {
    TViewFixture F(800, 600, 300, 200);
    F.V.ZoomBy(0.5);
    F.V.ScrollHorizontally(20);
    std::vector<TLongintPoint> Cross, Strokes, Masters;
    F.V.DrawSpanningCursor = [&](TLongintPoint P) { Cross.push_back(P); };
    F.V.StrokeTo = [&](TLongintPoint M) { Strokes.push_back(M); };
    F.V.OnMouseMove = [&](unsigned, TLongintPoint, TLongintPoint M) { Masters.push_back(M); };
    F.V.SetUseSpanningCursor(true);
    F.V.MouseMove({10, 10}, 0);
    F.V.MouseMove({10, 10}, 0); // same place: not redrawn
    F.V.MouseMove({20, 30}, 0);
    F.V.MouseLeave();
    EXPECT_EQ(Cross, (std::vector<TLongintPoint>{{10, 10}, {10, 10}, {20, 30}, {20, 30}}));
    EXPECT_EQ(Masters.back(), (TLongintPoint{30, 15}));
    F.V.SetPainting(true);
    F.V.MouseMove({4, 4}, 0); // pen up: no stroke
    F.V.SetPenDown(true);
    F.V.MouseMove({6, 4}, 0);
    EXPECT_EQ(Strokes, (std::vector<TLongintPoint>{{23, 2}}));
    F.V.MouseLeave();
    EXPECT_TRUE(F.V.NewStroke());
}

TEST(PanZoomView, ListenersHearPaintsOnceEach) {
    TPanZoomView V;
    std::vector<std::string> Events;
    TLog A(Events), B(Events);
    V.OnPaintBoxPaint = [&] { Events.push_back("paint"); };
    V.AddListener(&A);
    V.AddListener(&A);
    V.AddListener(&B);
    EXPECT_TRUE(V.HasListener(&B));
    V.Painted();
    V.RemoveListener(&A);
    V.NotifyPenWidthChanged();
    EXPECT_FALSE(V.HasListener(&A));
    EXPECT_EQ(Events, (std::vector<std::string>{"paint", "painted", "painted", "width"}));
}

TEST(PanZoomView, CoordinateRecordRestoresTheScrollPositions) {
    TViewFixture F(800, 600, 400, 300);
    F.V.ZoomBy(0.5);
    F.V.ScrollHorizontally(123);
    F.V.ScrollVertically(45);
    TMemoryStream S;
    TPanelScaleRecord(F.V.Scale(), F.V).SaveScaleRecord(S);

    TViewFixture G(800, 600, 400, 300);
    G.V.ZoomBy(0.5);
    S.Seek(0);
    TPanelScaleRecord(G.V.Scale(), G.V).LoadScaleRecord(S);
    EXPECT_EQ(G.S().WindowOrg, (TLongintPoint{123, 45}));

    // A view with no scroll bars writes zeros and skips them on reading.
    TViewFixture Small(100, 80, 400, 300);
    TMemoryStream T;
    TPanelScaleRecord(Small.V.Scale(), Small.V).SaveScaleRecord(T);
    T.Seek(0);
    EXPECT_FALSE(ReadBool(T));
    EXPECT_EQ(ReadInt32(T), 0);
    T.Seek(0);
    TPanelScaleRecord(Small.V.Scale(), Small.V).LoadScaleRecord(T);
    EXPECT_EQ(Small.S().WindowOrg, (TLongintPoint{0, 0}));
}

TEST(PanZoomView, ClearingTheImageUndefinesTheScale) {
    TViewFixture F(800, 600, 400, 300);
    F.V.Scale().SetFirstScalePoint({100, 400}, {0, 0});
    F.V.Scale().SetSkewPoint({500, 400});
    F.V.Scale().SetSecondScalePoint({500, 100}, {10, 30});
    F.V.Scale().DefineScale(false, false);
    int Undefined = 0;
    F.V.Scale().OnScaleUndefined = [&] { ++Undefined; };
    F.V.ClearImage();
    EXPECT_FALSE(F.V.HasImage());
    EXPECT_FALSE(F.V.Scale().ScaleDefined());
    EXPECT_FALSE(F.V.HorzScrollBar().Visible);
    EXPECT_EQ(F.V.ScrollPosition(true), -1);
    EXPECT_EQ(Undefined, 1);
    EXPECT_EQ(F.V.ActualOf({10, 10}), (TDoublePoint{0, 0}));
    F.V.ZoomToArea({0, 0, 10, 10}); // no image: nothing to zoom
    F.V.SetImage(0, 5);             // an empty image is no image
    EXPECT_FALSE(F.V.HasImage());
}

namespace {

void DefineScale(TPanZoomView& V) {
    V.Scale().SetFirstScalePoint({100, 400}, {0, 0});
    V.Scale().SetSkewPoint({500, 400});
    V.Scale().SetSecondScalePoint({500, 100}, {10, 30});
    V.Scale().DefineScale(false, false);
}

} // namespace

TEST(PanZoomView, ScrollBarsMeetAtTheCornerAndTheBoxHoldsItsPoints) {
    struct TCase {
        TLongintPoint Image, Panel;
        TDeviceRect Horz, Vert;
    };
    const std::vector<TCase> Cases = {
        {{800, 600}, {600, 500}, {0, 484, 584, 500}, {584, 0, 600, 484}},
        {{800, 300}, {600, 500}, {0, 484, 600, 500}, {584, 0, 600, 484}},
        {{300, 800}, {600, 500}, {0, 484, 584, 500}, {584, 0, 600, 500}},
        // A panel thinner than the bars gives them no length rather than a negative one.
        {{800, 600}, {10, 10}, {0, -6, 0, 10}, {-6, 0, 10, 0}},
    };
    for (const TCase& C : Cases) {
        TViewFixture F(C.Image.X, C.Image.Y, C.Panel.X, C.Panel.Y);
        SCOPED_TRACE(std::to_string(C.Image.X) + "x" + std::to_string(C.Image.Y) + " in " +
                     std::to_string(C.Panel.X) + "x" + std::to_string(C.Panel.Y));
        EXPECT_EQ(F.V.HorzBarRect(), C.Horz);
        EXPECT_EQ(F.V.VertBarRect(), C.Vert);
    }

    TViewFixture F(800, 600, 600, 500);
    ASSERT_EQ(F.V.PaintBoxSize(), (TLongintPoint{584, 484}));
    for (TLongintPoint P : {TLongintPoint{0, 0}, TLongintPoint{583, 483}})
        EXPECT_TRUE(F.V.ContainsDevicePoint(P)) << P.X << ", " << P.Y;
    for (TLongintPoint P :
         {TLongintPoint{584, 0}, TLongintPoint{0, 484}, TLongintPoint{-1, 5}, TLongintPoint{5, -1}})
        EXPECT_FALSE(F.V.ContainsDevicePoint(P)) << P.X << ", " << P.Y;
}

TEST(PanZoomView, PenWidthIsLimitedToThirtyOneScreenPixels) {
    struct TCase {
        bool Defined;
        double Zoom; // ZoomBy factor
        std::int32_t Width, Limited;
    };
    const std::vector<TCase> Cases = {
        {false, 1.0, 50, 31},
        {false, 0.25, 20, 20}, // without a coordinate system the zoom does not matter
        {false, 1.0, 0, 1},
        {false, 1.0, -3, 1},
        {true, 0.5, 50, 15}, // 31 x 400 / 800, truncated
        {true, 0.5, 10, 10},
        {true, 0.25, 50, 7},
        {true, 1.0 / 16, 5, 1},                      // 31 / 16 is less than 2
        {true, TPanZoomView::ZoomOutFactor, 50, 41}, // 31 x 1066 / 800
        {true, 3000.0, 70000, 65535},                // 93000 is beyond the limit's limit
        {true, 3000.0, 40000, 40000},
        {true, 3000.0, -1, 1},
    };
    for (const TCase& C : Cases) {
        TViewFixture F(800, 600, 400, 300);
        if (C.Defined)
            DefineScale(F.V);
        F.V.ZoomBy(C.Zoom);
        EXPECT_EQ(F.V.LimitedPenWidth(C.Width), C.Limited)
            << (C.Defined ? "defined, zoom " : "zoom ") << C.Zoom << ", width " << C.Width;
    }
}

TEST(PanZoomView, PenWidthOnTheScreenRoundsHalvesUp) {
    struct TCase {
        double Zoom; // ZoomBy factor
        std::int32_t Width;
        std::int64_t OnScreen;
    };
    const std::vector<TCase> Cases = {
        {1.0, 5, 5}, {0.25, 4, 16}, {0.75, 4, 5}, // 5.33
        {2.0, 1, 1},                              // 0.5
        {2.0, 5, 3},                              // 2.5
        {2.0, 4, 2},
    };
    for (const TCase& C : Cases) {
        TViewFixture F(800, 600, 400, 300);
        F.V.ZoomBy(C.Zoom);
        EXPECT_EQ(F.V.PenWidthOnScreen(C.Width), C.OnScreen)
            << "zoom " << C.Zoom << ", width " << C.Width;
    }
    TViewFixture F(800, 600, 400, 300);
    F.V.Scale().CurrentScaleSystem().WindowExt.X = 0;
    EXPECT_EQ(F.V.PenWidthOnScreen(5), 0);
}

TEST(PanZoomView, StrokeRepaintCoversThePensReachAndTheMouse) {
    // At actual size: the mouse span grown by the pen's width and one, and the pixels within
    // the reach of 3 with the device pixel after them.
    TViewFixture Actual(800, 600, 400, 300);
    EXPECT_EQ(Actual.V.StrokeRepaintRect({10, 10}, {20, 10}, {10, 10}, {20, 10}, 3),
              (TDeviceRect{6, 6, 25, 15}));

    struct TCase {
        double Zoom; // ZoomBy factor
        std::int32_t ScrollX, ScrollY, Width;
        TLongintPoint FromDevice, ToDevice;
    };
    const std::vector<TCase> Cases = {
        {1.0, 0, 0, 1, {5, 5}, {40, 9}},
        // Zoom 4: the mouse at (9, 9) is rounded to image pixel 2, whose block starts at 8.
        {0.25, 0, 0, 1, {9, 9}, {13, 9}},
        {0.25, 30, 12, 7, {101, 50}, {60, 3}},
        {0.75, 17, 5, 4, {33, 80}, {34, 81}},
        {1.0 / 16, 3, 3, 2, {7, 7}, {7, 7}},
        {3.0, 100, 40, 31, {10, 10}, {50, 20}}, // zoomed out: many pixels to a block
    };
    for (const TCase& C : Cases) {
        TViewFixture F(800, 600, 400, 300);
        F.V.ZoomBy(C.Zoom);
        F.V.ScrollHorizontally(C.ScrollX);
        F.V.ScrollVertically(C.ScrollY);
        SCOPED_TRACE("zoom " + std::to_string(C.Zoom) + ", width " + std::to_string(C.Width));
        const TScaleSystem& S = F.S();
        const TLongintPoint From = S.ScreenToImage(C.FromDevice);
        const TLongintPoint To = S.ScreenToImage(C.ToDevice);
        const auto R = F.V.StrokeRepaintRect(From, To, C.FromDevice, C.ToDevice, C.Width);
        ASSERT_TRUE(R.has_value());
        // Every image pixel the pen can have changed has its whole block inside.
        const std::int32_t Reach = TPanZoomView::PenReach(C.Width);
        const TAxisMapping H = HorzMapping(S), V = VertMapping(S);
        EXPECT_LE(R->Left, H.BlockStart(std::min(From.X, To.X) - Reach));
        EXPECT_LE(R->Top, V.BlockStart(std::min(From.Y, To.Y) - Reach));
        EXPECT_GE(R->Right, H.BlockStart(std::max(From.X, To.X) + Reach + 1));
        EXPECT_GE(R->Bottom, V.BlockStart(std::max(From.Y, To.Y) + Reach + 1));
        // So has the pen around both mouse positions.
        const std::int64_t Pen = F.V.PenWidthOnScreen(C.Width);
        const TDeviceRect Span = NormalizedRect(C.FromDevice, C.ToDevice);
        EXPECT_LE(R->Left, Span.Left - Pen);
        EXPECT_LE(R->Top, Span.Top - Pen);
        EXPECT_GE(R->Right, Span.Right + Pen);
        EXPECT_GE(R->Bottom, Span.Bottom + Pen);
    }

    // Without a usable mapping there is nothing to repaint.
    TViewFixture F(800, 600, 400, 300);
    F.V.Scale().CurrentScaleSystem().ViewportExt.Y = 0;
    EXPECT_FALSE(F.V.StrokeRepaintRect({1, 1}, {2, 2}, {1, 1}, {2, 2}, 3).has_value());
}
