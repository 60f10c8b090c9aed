#include "document/Beacon.h"
#include "document/Digitizations.h"
#include "follower/VectorizerInitialConditions.h"
#include "ui/panel/KorvanePanel.h"

#include <QApplication>
#include <QScrollBar>
#include <chrono>
#include <gtest/gtest.h>

using namespace korvane;
using namespace std::chrono_literals;

namespace {

// Draws a line's points pixel by pixel whenever the panel composes its view, as the main
// window draws the data sets.
struct TPointPainter : IPanelListener {
    TKorvanePanel& Panel;
    const TLine* Line = nullptr;
    explicit TPointPainter(TKorvanePanel& P) : Panel(P) { Panel.View().AddListener(this); }
    ~TPointPainter() override { Panel.View().RemoveListener(this); }
    void PanelPainted(TPanZoomView&) override {
        if (!Line)
            return;
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

// A shown panel, 120 pixels wide, on a 300 x 100 image with a black line three pixels thick
// in rows 50 to 52 from column 10 to the right edge; real values are image pixels.
struct PanelFollowing : ::testing::Test {
    TKorvanePanel Panel;
    TVectorizerParameters Settings;

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
        Panel.FollowerSettingsSource = [this]() -> const TVectorizerParameters& {
            return Settings;
        };
    }

    QImage Shown() {
        Panel.FlushCanvas();
        return Panel.Composition().copy();
    }
};

} // namespace

TEST_F(PanelFollowing, SettingsAndDispatcherHaveDefaults) {
    TKorvanePanel Plain;
    EXPECT_TRUE(Plain.FollowerSettings() == TVectorizerParameters());
    EXPECT_EQ(Plain.ThicknessTolerance(), 20);
    EXPECT_EQ(Plain.SelectedPointColor(), 5);
    EXPECT_EQ(&Plain.Dispatcher(), &Plain.Dispatcher());
    EXPECT_EQ(&Panel.FollowerSettings(), &Settings);
    Settings.SetThicknessTolerance(33);
    EXPECT_EQ(Panel.ThicknessTolerance(), 33);
    const TLongintPoint Box = Panel.View().PaintBoxSize();
    EXPECT_TRUE(Panel.ContainsScreenPoint({0, 0}));
    EXPECT_TRUE(Panel.ContainsScreenPoint({Box.X - 1, Box.Y - 1}));
    EXPECT_FALSE(Panel.ContainsScreenPoint({Box.X, 0}));
    EXPECT_FALSE(Panel.ContainsScreenPoint({0, -1}));
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

TEST_F(PanelFollowing, LineFollowsThroughTheEventLoopAndScrollsAlong) {
    TPointPainter Painter(Panel);
    TFunctionalLine Line("Line");
    Line.SetPanel(&Panel);
    Painter.Line = &Line;
    ASSERT_TRUE(Panel.HorzScrollBar()->isVisible());
    TVectorizerInitialConditions Start({10, 51});
    Start.SetTrackingColor(RGB(0, 0, 0));
    Line.AutoDigitize(Panel.FollowRun(), Start);
    EXPECT_FALSE(Panel.HorzScrollBar()->isEnabled());
    const auto End = std::chrono::steady_clock::now() + 10s;
    while (Line.Following() && std::chrono::steady_clock::now() < End)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    ASSERT_FALSE(Line.Following());
    EXPECT_EQ(Line.Count(), 290);
    EXPECT_TRUE(Panel.HorzScrollBar()->isEnabled());
    EXPECT_GT(Panel.View().HorzScrollBar().Position, 0);
    // What the run drew matches a fresh composition: the points, and no beacon.
    const QImage Drawn = Shown();
    Panel.RepaintImage();
    EXPECT_EQ(Drawn, Shown());
}
