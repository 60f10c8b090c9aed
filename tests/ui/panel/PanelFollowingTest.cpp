#include "document/Digitizations.h"
#include "follower/VectorizerInitialConditions.h"
#include "ui/panel/Beacon.h"
#include "ui/panel/FollowingView.h"
#include "ui/panel/KorvanePanel.h"

#include <QApplication>
#include <QScrollBar>
#include <chrono>
#include <gtest/gtest.h>
#include <set>

using namespace korvane;
using namespace std::chrono_literals;

namespace {

// Draws a line's points pixel by pixel whenever the panel composes its view, as the main
// window draws the data sets; it may discard the line's run while it draws.
struct TPointPainter : IPanelListener {
    TKorvanePanel& Panel;
    TLine* Line = nullptr;
    bool DiscardWhilePainting = false;
    explicit TPointPainter(TKorvanePanel& P) : Panel(P) { Panel.View().AddListener(this); }
    ~TPointPainter() override { Panel.View().RemoveListener(this); }
    void PanelPainted(TPanZoomView&) override {
        if (!Line)
            return;
        if (DiscardWhilePainting)
            Line->DiscardFollower();
        QPainter& Canvas = Panel.Canvas();
        const TColor C = Line->DisplayColor();
        Canvas.setPen(QColor(GetRValue(C), GetGValue(C), GetBValue(C)));
        for (std::int32_t I = 0; I < Line->Count(); ++I) {
            const TLongintPoint S = Panel.CurrentScaleSystem().RealToScreen(Line->GetPoint(I));
            Canvas.drawPoint(S.X, S.Y);
        }
    }
    void PenStateChanged(TPanZoomView&) override {}
    void PenWidthChanged(TPanZoomView&) override {}
};

// V with a beacon of Colour drawn over it at Centre.
QImage WithBeacon(QImage V, TLongintPoint Centre, TColor Colour) {
    const QRgb Toggle = qRgb(GetRValue(Colour), GetGValue(Colour), GetBValue(Colour)) & 0xFFFFFFu;
    for (const TLongintPoint& P : TBeacon::Pixels(Centre, 8))
        if (V.rect().contains(P.X, P.Y))
            V.setPixel(P.X, P.Y, V.pixel(P.X, P.Y) ^ Toggle);
    return V;
}

// A shown panel, 120 pixels wide, on a 300 x 100 image with a black line three pixels thick
// in rows 50 to 52 from column 10 to the right edge; real values are image pixels. Lines
// made by NewLine are shown by the panel's following view, as the main window arranges.
struct PanelFollowing : ::testing::Test {
    TKorvanePanel Panel;
    TVectorizerParameters Settings;
    TQueuedDispatcher Queue;
    TPointPainter Painter{Panel};

    void SetUp() override {
        QImage Image(300, 100, QImage::Format_RGB888);
        Image.fill(Qt::white);
        for (int Y = 50; Y <= 52; ++Y)
            for (int X = 10; X < 300; ++X)
                Image.setPixel(X, Y, qRgb(0, 0, 0));
        Panel.resize(120, 120);
        Panel.show();
        Panel.SetImage(std::move(Image));
        Panel.Scale().SetFirstScalePoint({0, 0}, {0, 0});
        Panel.Scale().SetSkewPoint({100, 0});
        Panel.Scale().SetSecondScalePoint({100, 100}, {100, 100});
        Panel.Scale().DefineScale(false, false);
        Settings.SetDelay(0);
        Panel.ThicknessToleranceSource = [this] { return Settings.ThicknessTolerance(); };
    }

    std::unique_ptr<TFunctionalLine> NewLine() {
        auto Line = std::make_unique<TFunctionalLine>("Line");
        Line->SetColorIndex(1);
        Line->SetPanel(&Panel);
        Line->AddListener(&Panel.FollowingView());
        Painter.Line = Line.get();
        return Line;
    }
    // The follower's work goes to a queue the test pumps, one point per step with a delay.
    void UseQueue() {
        Panel.DispatcherSource = [this]() -> IUiDispatcher& { return Queue; };
    }
    void Start(TLine& Line, int X, int Y) {
        TVectorizerInitialConditions Click({X, Y});
        Click.SetTrackingColor(RGB(0, 0, 0));
        Line.AutoDigitize(
            {Panel.Image(), Settings, {}, Panel.Dispatcher(), Panel.CurrentScaleSystem()}, Click);
    }
    template <class Predicate> bool PumpUntil(Predicate Done) {
        const auto End = std::chrono::steady_clock::now() + 10s;
        while (!Done()) {
            if (std::chrono::steady_clock::now() > End)
                return false;
            Queue.WaitAndProcess(5ms);
        }
        return true;
    }
    void PumpFor(std::chrono::milliseconds Time) {
        const auto End = std::chrono::steady_clock::now() + Time;
        while (std::chrono::steady_clock::now() < End)
            Queue.WaitAndProcess(5ms);
    }

    const TBeacon* Beacon() { return Panel.FollowingView().Beacon(); }
    bool BarsEnabled() const {
        return Panel.View().HorzScrollBar().Enabled && Panel.HorzScrollBar()->isEnabled();
    }
    TLongintPoint Newest(const TLine& Line) const {
        return Panel.CurrentScaleSystem().RealToScreen(Line.Last());
    }
    // How many points a run along row 51 from column 10 holds once it reaches the first point
    // beyond the view as it is now.
    std::int32_t PointsToLeaveTheView() const {
        const std::int32_t Width = Panel.View().PaintBoxSize().X;
        std::int32_t Column = 10;
        while (Panel.CurrentScaleSystem().ImageToScreen({Column, 51}).X < Width)
            ++Column;
        return Column - 10 + 1;
    }
    // The view as the screen shows it.
    QImage Shown() {
        Panel.FlushCanvas();
        return Panel.Composition().copy();
    }
    // The view composed afresh: the image, the painter's points, the overlays.
    QImage Fresh() {
        Panel.RepaintImage();
        return Shown();
    }
};

} // namespace

TEST_F(PanelFollowing, SettingsAndDispatcherHaveDefaults) {
    TKorvanePanel Plain;
    EXPECT_EQ(Plain.ThicknessTolerance(), 20);
    EXPECT_EQ(Plain.SelectedPointColor(), 5);
    EXPECT_EQ(&Plain.Dispatcher(), &Plain.Dispatcher());
    Settings.SetThicknessTolerance(33);
    EXPECT_EQ(Panel.ThicknessTolerance(), 33);
    const TLongintPoint Box = Panel.View().PaintBoxSize();
    EXPECT_TRUE(Panel.ContainsScreenPoint({0, 0}));
    EXPECT_TRUE(Panel.ContainsScreenPoint({Box.X - 1, Box.Y - 1}));
    EXPECT_FALSE(Panel.ContainsScreenPoint({Box.X, 0}));
    EXPECT_FALSE(Panel.ContainsScreenPoint({0, -1}));
}

// ---------------------------------------------------------------------------------------------
// The beacon

TEST_F(PanelFollowing, BeaconIsAnExclusiveOrRingWithACross) {
    const QImage White = Shown();
    TBeacon Beacon(Panel);
    EXPECT_EQ(Beacon.Radius, 8);
    EXPECT_EQ(Beacon.Color, RGB(255, 0, 0));
    QPainter& Canvas = Panel.Canvas();
    Canvas.setPen(QPen(Qt::blue, 3, Qt::DotLine));
    Canvas.setBrush(Qt::green);
    Beacon.Show({40, 30});
    EXPECT_TRUE(Beacon.Visible());
    // The canvas keeps its pen, brush and mode.
    EXPECT_EQ(Panel.Canvas().pen(), QPen(Qt::blue, 3, Qt::DotLine));
    EXPECT_EQ(Panel.Canvas().brush(), QBrush(Qt::green));
    EXPECT_EQ(Panel.Canvas().compositionMode(), QPainter::CompositionMode_SourceOver);

    const QImage With = Shown();
    std::set<std::pair<int, int>> Changed;
    for (int Y = 0; Y < With.height(); ++Y)
        for (int X = 0; X < With.width(); ++X)
            if (With.pixel(X, Y) != White.pixel(X, Y)) {
                Changed.insert({X, Y});
                EXPECT_EQ(With.pixel(X, Y), qRgb(0, 255, 255)); // white xor red
            }
    std::set<std::pair<int, int>> Drawn;
    for (const TLongintPoint& P : TBeacon::Pixels({40, 30}, 8))
        Drawn.insert({P.X, P.Y});
    EXPECT_EQ(Changed, Drawn);
    // The ring fills the box (32, 22) .. (48, 38) without its right and bottom edge; the
    // lines run from 32 to 47 and from 22 to 37. Pixels two strokes share are toggled twice
    // and stay: the centre and the lines' end pixels, which lie on the ring.
    for (const auto& [X, Y] : std::vector<std::pair<int, int>>{
             {32, 29}, {47, 29}, {37, 22}, {37, 37}, {36, 30}, {40, 26}})
        EXPECT_TRUE(Changed.count({X, Y})) << X << "," << Y;
    for (const auto& [X, Y] : std::vector<std::pair<int, int>>{
             {40, 30}, {32, 30}, {47, 30}, {40, 22}, {40, 37}, {48, 30}, {40, 38}, {31, 29}})
        EXPECT_FALSE(Changed.count({X, Y})) << X << "," << Y;

    Beacon.Show({41, 31}); // moving it first erases it where it was
    Beacon.Hide();
    EXPECT_FALSE(Beacon.Visible());
    EXPECT_EQ(Shown(), White);
    {
        TBeacon Destroyed(Panel);
        Destroyed.Show({5, 5}); // partly outside the view
    }
    EXPECT_EQ(Shown(), White);
    EXPECT_EQ(Fresh(), White); // no overlay is left registered
}

TEST_F(PanelFollowing, BeaconStaysOnTheViewThroughRepaints) {
    const QImage Before = Shown();
    TBeacon Beacon(Panel);
    Beacon.Show({40, 40});
    const QImage With = Shown();
    EXPECT_NE(With, Before);
    Panel.RepaintImage();
    EXPECT_EQ(Shown(), With);
    Panel.RepaintDeviceRect({30, 30, 45, 45}); // a part of it composed again
    EXPECT_EQ(Shown(), With);
    Beacon.Hide();
    EXPECT_EQ(Shown(), Before);
}

// ---------------------------------------------------------------------------------------------
// A run on the panel

TEST_F(PanelFollowing, LineFollowsThroughTheEventLoopAndScrollsAlong) {
    auto Line = NewLine();
    ASSERT_TRUE(Panel.HorzScrollBar()->isVisible());
    Start(*Line, 10, 51);
    EXPECT_FALSE(Panel.HorzScrollBar()->isEnabled());
    const auto End = std::chrono::steady_clock::now() + 10s;
    while (Line->Following() && std::chrono::steady_clock::now() < End)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    ASSERT_FALSE(Line->Following());
    EXPECT_EQ(Line->Count(), 290);
    EXPECT_TRUE(Panel.HorzScrollBar()->isEnabled());
    EXPECT_GT(Panel.View().HorzScrollBar().Position, 0);
    // What the run drew matches a fresh composition: the points, and no beacon.
    const QImage Drawn = Shown();
    EXPECT_EQ(Drawn, Fresh());
}

TEST_F(PanelFollowing, RunSetsItsPointsAndTheBeaconMarksTheNewest) {
    UseQueue();
    for (const bool UseBeacon : {true, false}) {
        SCOPED_TRACE(UseBeacon ? "beacon" : "no beacon");
        Panel.View().ResetView();
        Settings.SetDelay(1);
        Settings.UseBeacon = UseBeacon;
        auto Line = NewLine();
        Start(*Line, 10, 51);
        EXPECT_FALSE(BarsEnabled());
        if (UseBeacon) {
            ASSERT_NE(Beacon(), nullptr);
            EXPECT_FALSE(Beacon()->Visible()); // until the first point
        }
        ASSERT_TRUE(PumpUntil([&] { return Line->Count() >= 6; }));
        if (UseBeacon) {
            ASSERT_NE(Beacon(), nullptr);
            EXPECT_TRUE(Beacon()->Visible());
            EXPECT_EQ(Beacon()->X(), Newest(*Line).X);
            EXPECT_EQ(Beacon()->Y(), Newest(*Line).Y);
            EXPECT_EQ(Beacon()->Color, Line->DisplayColor());
        } else {
            EXPECT_EQ(Beacon(), nullptr);
        }
        // Each point was set in the line's colour where the painter sets it; the beacon is
        // an overlay that a fresh composition draws again.
        const QImage Drawn = Shown();
        EXPECT_EQ(Drawn, Fresh());
        EXPECT_FALSE(BarsEnabled());

        Settings.SetDelay(0);
        ASSERT_TRUE(PumpUntil([&] { return !Line->Following(); }));
        EXPECT_EQ(Line->Count(), 290);
        EXPECT_EQ(Beacon(), nullptr);
        EXPECT_TRUE(BarsEnabled());
        const QImage End = Shown();
        EXPECT_EQ(End, Fresh()); // no beacon left behind
        Painter.Line = nullptr;
    }
}

TEST_F(PanelFollowing, ViewScrollsHalfAViewToShowAPointBeyondIt) {
    UseQueue();
    Settings.SetDelay(1);
    auto Line = NewLine();
    const std::int32_t Width = Panel.View().PaintBoxSize().X;
    const std::int32_t Beyond = PointsToLeaveTheView();
    ASSERT_LT(Beyond, 290);
    Start(*Line, 10, 51);
    // Each point is a step of its own: the view stays until the first point beyond it.
    ASSERT_TRUE(PumpUntil([&] { return Line->Count() >= Beyond - 1; }));
    ASSERT_EQ(Line->Count(), Beyond - 1);
    EXPECT_EQ(Panel.View().HorzScrollBar().Position, 0);
    ASSERT_TRUE(PumpUntil([&] { return Line->Count() >= Beyond; }));
    ASSERT_EQ(Line->Count(), Beyond);
    EXPECT_EQ(Panel.View().HorzScrollBar().Position, Width / 2);
    EXPECT_FALSE(BarsEnabled()); // switched off again after scrolling
    EXPECT_TRUE(Panel.ContainsScreenPoint(Newest(*Line)));
    ASSERT_NE(Beacon(), nullptr);
    EXPECT_EQ(Beacon()->X(), Newest(*Line).X); // where the point is after scrolling
    const QImage Drawn = Shown();
    EXPECT_EQ(Drawn, Fresh());

    Settings.SetDelay(0);
    ASSERT_TRUE(PumpUntil([&] { return !Line->Following(); }));
    EXPECT_EQ(Line->Count(), 290);
    EXPECT_EQ(Panel.View().HorzScrollBar().Position,
              Panel.View().HorzScrollBar().LastPosition()); // the image's end
    EXPECT_TRUE(BarsEnabled());
    const QImage End = Shown();
    EXPECT_EQ(End, Fresh());
}

TEST_F(PanelFollowing, FailedRunGivesTheScrollBarsBack) {
    UseQueue();
    auto Line = NewLine();
    const QImage Before = Shown();
    Start(*Line, 60, 20); // white
    EXPECT_FALSE(BarsEnabled());
    ASSERT_TRUE(PumpUntil([&] { return !Line->Following(); }));
    EXPECT_EQ(Line->Count(), 0);
    EXPECT_TRUE(BarsEnabled());
    EXPECT_EQ(Beacon(), nullptr);
    EXPECT_EQ(Shown(), Before);
}

TEST_F(PanelFollowing, DiscardingTheRunTakesItsBeaconAwayAndGivesTheScrollBarsBack) {
    UseQueue();
    enum class EHow { Running, Paused, LineDestroyed };
    for (const EHow How : {EHow::Running, EHow::Paused, EHow::LineDestroyed}) {
        SCOPED_TRACE(static_cast<int>(How));
        Settings.SetDelay(1);
        auto Line = NewLine();
        Start(*Line, 10, 51);
        ASSERT_TRUE(PumpUntil([&] { return Line->Count() >= 3; }));
        const TLongintPoint At = Newest(*Line);
        const QImage During = Shown();
        if (How == EHow::Paused)
            Line->Pause();
        TFunctionalLine Copy; // the points the destroyed line leaves on the view
        if (How == EHow::LineDestroyed) {
            Copy.Assign(*Line);
            Painter.Line = &Copy;
            Line.reset();
        } else {
            Line->DiscardFollower();
        }
        EXPECT_EQ(Beacon(), nullptr);
        EXPECT_TRUE(BarsEnabled());
        // The beacon was erased where it was, in the line's colour.
        const QImage After = Shown();
        EXPECT_EQ(During, WithBeacon(After, At, DisplayColors[1].Color));
        EXPECT_EQ(After, Fresh());
        if (Line) {
            const std::int32_t N = Line->Count();
            PumpFor(30ms);
            EXPECT_EQ(Line->Count(), N);
        }
        Painter.Line = nullptr;
    }
}

TEST_F(PanelFollowing, RunDiscardedWhileTheViewIsComposedAfterAScroll) {
    // A listener drawing after the first scroll discards the run: the follower is in the
    // middle of its step and the view in the middle of showing the point.
    UseQueue();
    auto Line = NewLine();
    const std::int32_t Width = Panel.View().PaintBoxSize().X;
    const std::int32_t Beyond = PointsToLeaveTheView();
    Start(*Line, 10, 51);
    Painter.DiscardWhilePainting = true;
    ASSERT_TRUE(PumpUntil([&] { return !Line->Following(); }));
    EXPECT_EQ(Line->Count(), Beyond); // scrolled once, for the last point
    EXPECT_EQ(Panel.View().HorzScrollBar().Position, Width / 2);
    EXPECT_EQ(Beacon(), nullptr);
    EXPECT_TRUE(BarsEnabled());
    PumpFor(30ms);
    EXPECT_EQ(Line->Count(), Beyond);
    Painter.DiscardWhilePainting = false;
    const QImage Drawn = Shown();
    EXPECT_EQ(Drawn, Fresh());
    Painter.Line = nullptr;
}
