#include "core/Errors.h"
#include "document/Beacon.h"
#include "document/Digitizations.h"
#include "document/Parameters.h"
#include "follower/NonfunctionalVectorizer.h"
#include "follower/UiDispatcher.h"
#include "follower/VectorizerInitialConditions.h"
#include "image/ScaleSystem.h"

#include <QCoreApplication>
#include <QImage>
#include <QObject>
#include <QPainter>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace korvane;
using namespace std::chrono_literals;

namespace {

// A panel over a working image. The view is a window of the paint box's size on the image at
// actual size, composed into an RGB32 image like the real panel does: the image, then what
// the listeners draw (OnPainted), then the overlays. Follower work goes to a queue the test
// pumps.
struct TFollowPanel : IDigitizationPanel {
    QImage Image;
    QImage View;
    TScaleSystem Scale;
    TVectorizerParameters Settings;
    TQueuedDispatcher Queue;
    std::optional<QPainter> Painter;
    std::vector<IViewOverlay*> Overlays;
    std::function<void(QPainter&)> OnPainted;
    bool BarsEnabled = true;
    int Repaints = 0;

    // Real values are image pixels with Y upwards from the bottom row's lower edge.
    TFollowPanel(int Width, int Height, int BoxWidth, int BoxHeight)
        : Image(Width, Height, QImage::Format_RGB888),
          View(BoxWidth, BoxHeight, QImage::Format_RGB32) {
        Image.fill(Qt::white);
        Scale.Define({0, Height}, {Width, Height}, {Width, 0}, {0, 0},
                     {double(Width), double(Height)}, false, false);
        Settings.SetDelay(0);
        Compose();
    }
    ~TFollowPanel() override { Painter.reset(); }

    bool ScaleDefined() const override { return true; }
    const TScaleSystem& CurrentScaleSystem() const override { return Scale; }
    std::int32_t ThicknessTolerance() const override { return Settings.ThicknessTolerance(); }
    std::uint8_t SelectedPointColor() const override { return Settings.SelectedPointColor; }
    QPainter& Canvas() override {
        if (!Painter)
            Painter.emplace(&View);
        return *Painter;
    }
    TFollowerEnhancements Enhancements;
    IUiDispatcher* OtherDispatcher = nullptr;
    // What a run on this panel is handed.
    TFollowRun Run() {
        return {Image, Settings, Enhancements, OtherDispatcher ? *OtherDispatcher : Queue, Scale};
    }
    bool ScrollToShow(TLongintPoint S) override {
        const TLongintPoint Old = Scale.WindowOrg;
        const auto Move = [](std::int32_t& Org, std::int32_t P, std::int32_t Box,
                             std::int32_t Size) {
            if (P >= Box)
                Org = std::min(Org + Box / 2, Size - Box);
            else if (P < 0)
                Org = std::max(Org - Box / 2, 0);
        };
        Move(Scale.WindowOrg.X, S.X, View.width(), Image.width());
        Move(Scale.WindowOrg.Y, S.Y, View.height(), Image.height());
        if (Scale.WindowOrg == Old)
            return false;
        BarsEnabled = true; // moving a bar switches it on, as the real one may
        return true;
    }
    void DisableScrollBars() override { BarsEnabled = false; }
    void EnableScrollBars() override { BarsEnabled = true; }
    void RepaintView() override { Compose(); }
    bool ContainsScreenPoint(TLongintPoint S) const override {
        return View.rect().contains(S.X, S.Y);
    }
    void AddOverlay(IViewOverlay* O) override {
        if (std::find(Overlays.begin(), Overlays.end(), O) == Overlays.end())
            Overlays.push_back(O);
    }
    void RemoveOverlay(IViewOverlay* O) override { std::erase(Overlays, O); }

    // The image under the view, with what the listeners draw, but no overlay.
    QImage Base() const {
        QImage V = Image.copy(Scale.WindowOrg.X, Scale.WindowOrg.Y, View.width(), View.height())
                       .convertToFormat(QImage::Format_RGB32);
        if (OnPainted) {
            QPainter P(&V);
            OnPainted(P);
        }
        return V;
    }
    void Compose() {
        Painter.reset();
        View = Base();
        QPainter P(&View);
        for (IViewOverlay* O : std::vector(Overlays))
            O->DrawOverlay(P);
        ++Repaints;
    }
    // The view as the screen shows it: what was drawn on the canvas is flushed.
    const QImage& Shown() {
        Painter.reset();
        return View;
    }
};

// What a line tells its listeners, with the point count at that moment.
struct TLineLog : ILineListener {
    std::vector<std::string> Events;
    std::function<void(TLine&)> OnStart, OnEnd;
    void Add(const std::string& What, TDigitization& D) {
        Events.push_back(What + " " + std::to_string(D.Count()));
    }
    void DigitizationChanged(TDigitization& D) override { Add("Changed", D); }
    void PointsAdded(TDigitization& D) override { Add("PointsAdded", D); }
    void PointsChanged(TDigitization& D) override { Add("PointsChanged", D); }
    void FollowingStarted(TLine& L) override {
        Add("Started", L);
        if (OnStart)
            OnStart(L);
    }
    void FollowingFailed(TLine& L) override {
        Add("Failed", L);
        if (OnEnd)
            OnEnd(L);
    }
    void FollowingFinished(TLine& L) override {
        Add("Finished", L);
        if (OnEnd)
            OnEnd(L);
    }
};

using TEvents = std::vector<std::string>;

void Fill(QImage& Image, int X0, int Y0, int X1, int Y1, QRgb Colour = qRgb(0, 0, 0)) {
    for (int Y = Y0; Y <= Y1; ++Y)
        for (int X = X0; X <= X1; ++X)
            Image.setPixel(X, Y, Colour);
}

TVectorizerInitialConditions Click(int X, int Y, TColor Colour = RGB(0, 0, 0)) {
    TVectorizerInitialConditions C({X, Y});
    C.SetTrackingColor(Colour);
    return C;
}

struct LineFollowing : ::testing::Test {
    TLineLog Log;
    std::unique_ptr<TFollowPanel> Panel;

    // A white image with a three-pixel black line in rows 50 to 52 from column 10 to the
    // right edge, shown whole.
    void SetUp() override { MakePanel(130, 100, 130, 100); }
    void MakePanel(int Width, int Height, int BoxWidth, int BoxHeight) {
        Panel = std::make_unique<TFollowPanel>(Width, Height, BoxWidth, BoxHeight);
        Fill(Panel->Image, 10, 50, Width - 1, 52);
        Panel->Compose();
    }

    template <class L> std::unique_ptr<L> NewLine() {
        auto Line = std::make_unique<L>("Line");
        Line->SetPanel(Panel.get());
        Line->AddListener(&Log);
        return Line;
    }

    template <class Predicate>
    bool PumpUntil(Predicate Done, std::chrono::milliseconds Limit = 10s) {
        const auto End = std::chrono::steady_clock::now() + Limit;
        while (!Done()) {
            if (std::chrono::steady_clock::now() > End)
                return false;
            Panel->Queue.WaitAndProcess(5ms);
        }
        return true;
    }
    void PumpFor(std::chrono::milliseconds Time) {
        PumpUntil([] { return false; }, Time);
    }
    ::testing::AssertionResult RunToEnd(TLine& Line) {
        if (!PumpUntil([&] { return !Line.Following(); }))
            return ::testing::AssertionFailure() << "the run did not end";
        return ::testing::AssertionSuccess();
    }

    // The view the screen should show: the image (and what listeners draw) with every point
    // of Line set in its display colour.
    QImage Expected(const TLine& Line) const {
        QImage V = Panel->Base();
        const TColor C = Line.DisplayColor();
        for (std::int32_t I = 0; I < Line.Count(); ++I) {
            const TLongintPoint S = Panel->Scale.RealToScreen(Line.GetPoint(I));
            if (V.rect().contains(S.X, S.Y))
                V.setPixel(S.X, S.Y, qRgb(GetRValue(C), GetGValue(C), GetBValue(C)));
        }
        return V;
    }

    // The image pixels of a line's points.
    std::vector<TLongintPoint> Pixels(const TLine& Line) const {
        std::vector<TLongintPoint> Result;
        for (std::int32_t I = 0; I < Line.Count(); ++I)
            Result.push_back(Panel->Scale.RealToImage(Line.GetPoint(I)));
        return Result;
    }
};

// V with a beacon of Colour drawn over it at Centre.
QImage WithBeacon(QImage V, TLongintPoint Centre, TColor Colour) {
    const QRgb Toggle = qRgb(GetRValue(Colour), GetGValue(Colour), GetBValue(Colour)) & 0xFFFFFFu;
    for (const TLongintPoint& P : TBeacon::Pixels(Centre, 8))
        if (V.rect().contains(P.X, P.Y))
            V.setPixel(P.X, P.Y, V.pixel(P.X, P.Y) ^ Toggle);
    return V;
}

std::vector<TLongintPoint> Row(int FromX, int ToX, int Y) {
    std::vector<TLongintPoint> Result;
    for (int X = FromX; X <= ToX; ++X)
        Result.push_back({X, Y});
    return Result;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Runs and what the listeners hear

TEST_F(LineFollowing, RunAnnouncesItsPointsOnceAtTheEnd) {
    auto Line = NewLine<TFunctionalLine>();
    Line->SetColorIndex(4);
    Log.Events.clear();
    Log.OnStart = [](TLine& L) { EXPECT_EQ(L.Follower(), nullptr); };
    Log.OnEnd = [&](TLine& L) {
        // The run is over for whoever hears its end.
        EXPECT_FALSE(L.Following());
        EXPECT_EQ(L.Track().Count(), 0);
        EXPECT_EQ(L.Beacon(), nullptr);
        EXPECT_TRUE(Panel->BarsEnabled);
    };
    Line->AutoDigitize(Panel->Run(), Click(10, 51));
    EXPECT_TRUE(Line->Following());
    EXPECT_FALSE(Panel->BarsEnabled);
    EXPECT_EQ(Line->Track().GrowthStep(), 50);
    ASSERT_TRUE(RunToEnd(*Line));

    EXPECT_EQ(Log.Events, (TEvents{"Started 0", "Finished 120", "PointsAdded 120"}));
    EXPECT_EQ(Line->RunPointCount(), 120);
    EXPECT_EQ(Pixels(*Line), Row(10, 129, 51));
    EXPECT_EQ(Line->First().X, 10.0);
    EXPECT_EQ(Line->First().Y, 49.0); // rows count down from the top, real Y up
    // Each point was set on the screen in the line's colour; the beacon is gone without a trace.
    EXPECT_EQ(Panel->Shown(), Expected(*Line));
    EXPECT_TRUE(Panel->Overlays.empty());
    EXPECT_TRUE(Panel->BarsEnabled);
    EXPECT_FALSE(Line->Following());
}

TEST_F(LineFollowing, FailedStartAddsNothing) {
    struct TCase {
        const char* Name;
        bool HasPoints;
        bool KeepsTrackingColour;
    };
    for (const TCase& Case :
         {TCase{"empty line", false, false}, TCase{"line with points", true, true}}) {
        SCOPED_TRACE(Case.Name);
        auto Line = NewLine<TFunctionalLine>();
        if (Case.HasPoints)
            Line->AddPoint({1, 1});
        Line->SetTrackingColor(RGB(0, 0, 0));
        Log.Events.clear();
        Line->AutoDigitize(Panel->Run(), Click(60, 20)); // white
        ASSERT_TRUE(RunToEnd(*Line));
        const std::string N = Case.HasPoints ? "1" : "0";
        EXPECT_EQ(Log.Events, (TEvents{"Started " + N, "Failed " + N}));
        EXPECT_EQ(Line->TrackingColorSet, Case.KeepsTrackingColour);
        EXPECT_TRUE(Panel->BarsEnabled);
        EXPECT_EQ(Line->RunPointCount(), 0);
    }
}

TEST_F(LineFollowing, FunctionalFollowerLosingTheLineFails) {
    // The line stops at column 99, well before the right edge: the follower gives up there.
    Fill(Panel->Image, 100, 50, 129, 52, qRgb(255, 255, 255));
    auto Line = NewLine<TFunctionalLine>();
    Log.Events.clear();
    Line->AutoDigitize(Panel->Run(), Click(10, 51));
    ASSERT_TRUE(RunToEnd(*Line));
    EXPECT_EQ(Log.Events, (TEvents{"Started 0", "Failed 90", "PointsAdded 90"}));
}

TEST_F(LineFollowing, PointThatCannotBePlacedEndsTheRunAsFailed) {
    Panel->Scale = TScaleSystem(); // no coordinate system: no pixel has a real value
    auto Line = NewLine<TFunctionalLine>();
    Log.Events.clear();
    Line->AutoDigitize(Panel->Run(), Click(10, 51));
    ASSERT_TRUE(RunToEnd(*Line));
    EXPECT_EQ(Log.Events, (TEvents{"Started 0", "Failed 0"}));
    EXPECT_TRUE(Panel->BarsEnabled);
}

TEST_F(LineFollowing, PanelEnhancementsGivePointsBetweenPixelsAndTheTrackKeepsThePixels) {
    // A second line above the first whose centre lies between rows: rows 20, 21 and 22 carry
    // 0.75, 1 and 0.25 of black.
    Fill(Panel->Image, 10, 20, 129, 20, qRgb(64, 64, 64));
    Fill(Panel->Image, 10, 21, 129, 21, qRgb(0, 0, 0));
    Fill(Panel->Image, 10, 22, 129, 22, qRgb(191, 191, 191));
    Panel->Enhancements.SubpixelOutput = true;
    Panel->Settings.SetDelay(1);
    auto Line = NewLine<TFunctionalLine>();
    Line->AutoDigitize(Panel->Run(), Click(10, 21));
    ASSERT_TRUE(PumpUntil([&] { return Line->Count() >= 5; }));
    for (std::int32_t I = 0; I < Line->Track().Count(); ++I)
        EXPECT_EQ(Line->Track()[I], (TDoublePoint{10.0 + I, 21.0}));
    ASSERT_TRUE(RunToEnd(*Line));

    ASSERT_EQ(Line->Count(), 120);
    const double Above = (255 - 64) / 255.0, Below = (255 - 191) / 255.0;
    const double Row = (Above * 20 + 21 + Below * 22) / (Above + 1 + Below);
    for (std::int32_t I = 0; I < Line->Count(); ++I) {
        EXPECT_EQ(Line->GetPoint(I).X, 10.0 + I);
        EXPECT_NEAR(Line->GetPoint(I).Y, 100 - Row, 1e-9); // real Y counts up from row 100
    }
}

TEST_F(LineFollowing, StopEndsTheRunAsFinished) {
    Panel->Settings.SetDelay(1);
    auto Line = NewLine<TFunctionalLine>();
    Log.Events.clear();
    Line->AutoDigitize(Panel->Run(), Click(10, 51));
    ASSERT_TRUE(PumpUntil([&] { return Line->Count() >= 5; }));
    Line->Stop();
    EXPECT_TRUE(Line->IsFollowing()); // until the follower has seen the request
    ASSERT_TRUE(RunToEnd(*Line));
    // Each point is a step of its own here, so none came after the request.
    EXPECT_EQ(Log.Events, (TEvents{"Started 0", "Finished 5", "PointsAdded 5"}));
}

TEST_F(LineFollowing, OperationsNeedTheRightState) {
    auto Line = NewLine<TFunctionalLine>();
    const auto Message = [](const std::function<void()>& F) -> std::string {
        try {
            F();
        } catch (const EAssertion& E) {
            return E.what();
        }
        return "no assertion";
    };
    EXPECT_EQ(Message([&] { Line->Stop(); }), "TLine.Stop");
    EXPECT_EQ(Message([&] { Line->Pause(); }), "TLine.Pause");
    EXPECT_EQ(Message([&] { Line->Resume(); }), "TLine.Resume");
    EXPECT_FALSE(Line->IsFollowing());

    TFunctionalLine Lonely; // no panel: it follows all the same
    Lonely.AutoDigitize(Panel->Run(), Click(10, 51));
    ASSERT_TRUE(RunToEnd(Lonely));
    EXPECT_EQ(Lonely.Count(), 120);

    Log.Events.clear();
    Line->AutoDigitize(Panel->Run(), Click(10, 51));
    EXPECT_EQ(Message([&] { Line->AutoDigitize(Panel->Run(), Click(10, 51)); }),
              "TLine.AutoDigitize");
    ASSERT_TRUE(RunToEnd(*Line));
    EXPECT_EQ(Log.Events, (TEvents{"Started 0", "Finished 120", "PointsAdded 120"}));
}

// ---------------------------------------------------------------------------------------------
// Non-functional lines end on their own track

struct NonfunctionalFollowing : LineFollowing {
    // A ring three pixels thick around (50, 50).
    void SetUp() override {
        MakePanel(100, 100, 100, 100);
        Panel->Image.fill(Qt::white);
        for (int Y = 0; Y < 100; ++Y)
            for (int X = 0; X < 100; ++X) {
                const double D = std::hypot(X - 50, Y - 50);
                if (D >= 28.5 && D <= 31.5)
                    Panel->Image.setPixel(X, Y, qRgb(0, 0, 0));
            }
        Panel->Compose();
    }

    // What the follower reports on the ring when nothing stops it, for the first Limit points.
    std::vector<TLongintPoint> FreeRun(std::size_t Limit) {
        struct TRecorder : IVectorizerObserver {
            std::vector<TLongintPoint> Points;
            std::size_t Limit = 0;
            void FollowerPoint(TVectorizer& F, TLongintPoint P) override {
                Points.push_back(P);
                if (Points.size() >= Limit)
                    F.Terminate();
            }
        } Recorder;
        Recorder.Limit = Limit;
        TNonfunctionalVectorizer Follower(Recorder, Panel->Image);
        Panel->Settings.CopyToFollower(Follower);
        Click(50, 20).Apply(Follower);
        Follower.RunSynchronously();
        return Recorder.Points;
    }
};

TEST_F(NonfunctionalFollowing, RunEndsAtAVisitedPixelWithoutAddingIt) {
    const std::vector<TLongintPoint> Free = FreeRun(400);
    auto Line = NewLine<TNonfunctionalLine>();
    Log.Events.clear();
    Line->AutoDigitize(Panel->Run(), Click(50, 20));
    ASSERT_TRUE(RunToEnd(*Line));

    // The line holds the way once round; the free follower's next point repeats one of them.
    const std::vector<TLongintPoint> Got = Pixels(*Line);
    ASSERT_GT(Got.size(), 100u);
    ASSERT_GT(Free.size(), Got.size());
    EXPECT_TRUE(std::equal(Got.begin(), Got.end(), Free.begin()));
    EXPECT_NE(std::find(Got.begin(), Got.end(), Free[Got.size()]), Got.end());
    std::set<std::pair<int, int>> Unique;
    for (const TLongintPoint& P : Got)
        Unique.insert({P.X, P.Y});
    EXPECT_EQ(Unique.size(), Got.size());
    const std::string N = std::to_string(Got.size());
    EXPECT_EQ(Log.Events, (TEvents{"Started 0", "Finished " + N, "PointsAdded " + N}));
}

TEST_F(NonfunctionalFollowing, RunEndsWhereTheLineWasDigitizedBefore) {
    const std::vector<TLongintPoint> Free = FreeRun(400);
    ASSERT_GT(Free.size(), 80u);
    // The line already holds the part of the ring from the 60th to the 80th point.
    auto Line = NewLine<TNonfunctionalLine>();
    TDoublePointArray Before;
    for (std::size_t I = 60; I <= 80; ++I)
        Before.Add(Panel->Scale.ImageToReal(Free[I]));
    Line->SetPoints(Before);
    Log.Events.clear();
    Line->AutoDigitize(Panel->Run(), Click(50, 20));
    EXPECT_EQ(Line->Track().Count(), 21); // the run begins with the line's own pixels
    ASSERT_TRUE(RunToEnd(*Line));

    const std::vector<TLongintPoint> Got = Pixels(*Line);
    ASSERT_EQ(Got.size(), 21u + 60u);
    EXPECT_TRUE(std::equal(Got.begin() + 21, Got.end(), Free.begin()));
    EXPECT_EQ(Log.Events, (TEvents{"Started 21", "Finished 81", "PointsAdded 81"}));
}

// ---------------------------------------------------------------------------------------------
// Pause, resume, speed

TEST_F(LineFollowing, PauseAndResumeNeitherLoseNorRepeatPoints) {
    Panel->Settings.SetDelay(1);
    auto Line = NewLine<TFunctionalLine>();
    Line->AutoDigitize(Panel->Run(), Click(10, 51));
    ASSERT_TRUE(PumpUntil([&] { return Line->Count() >= 5; }));
    Line->Pause();
    EXPECT_FALSE(Line->IsFollowing());
    EXPECT_TRUE(Line->Following());
    const std::int32_t AtPause = Line->Count();
    PumpFor(50ms);
    EXPECT_EQ(Line->Count(), AtPause);
    Line->Resume();
    EXPECT_TRUE(Line->IsFollowing());
    Panel->Settings.SetDelay(0);
    ASSERT_TRUE(RunToEnd(*Line));
    EXPECT_EQ(Pixels(*Line), Row(10, 129, 51));
}

TEST_F(LineFollowing, SpeedChangeTakesEffectAtTheNextPoint) {
    Panel->Settings.SetDelay(1);
    auto Line = NewLine<TFunctionalLine>();
    Line->AutoDigitize(Panel->Run(), Click(10, 51));
    ASSERT_TRUE(PumpUntil([&] { return Line->Count() >= 3; }));
    EXPECT_EQ(Line->Follower()->Delay, 1);
    Panel->Settings.SetDelay(7);
    EXPECT_EQ(Line->Follower()->Delay, 1);
    const std::int32_t Before = Line->Count();
    ASSERT_TRUE(PumpUntil([&] { return Line->Count() > Before; }));
    EXPECT_EQ(Line->Follower()->Delay, 7);
    Panel->Settings.SetDelay(0);
    ASSERT_TRUE(RunToEnd(*Line));
}

// ---------------------------------------------------------------------------------------------
// The beacon

TEST_F(LineFollowing, BeaconIsAnExclusiveOrRingWithACross) {
    const QImage White = Panel->Shown().copy();
    TBeacon Beacon(*Panel);
    EXPECT_EQ(Beacon.Radius, 8);
    EXPECT_EQ(Beacon.Color, RGB(255, 0, 0));
    QPainter& Canvas = Panel->Canvas();
    Canvas.setPen(QPen(Qt::blue, 3, Qt::DotLine));
    Canvas.setBrush(Qt::green);
    Beacon.Show({40, 30});
    EXPECT_TRUE(Beacon.Visible());
    // The canvas keeps its pen, brush and mode.
    EXPECT_EQ(Panel->Canvas().pen(), QPen(Qt::blue, 3, Qt::DotLine));
    EXPECT_EQ(Panel->Canvas().brush(), QBrush(Qt::green));
    EXPECT_EQ(Panel->Canvas().compositionMode(), QPainter::CompositionMode_SourceOver);

    const QImage Shown = Panel->Shown().copy();
    std::set<std::pair<int, int>> Changed;
    for (int Y = 0; Y < Shown.height(); ++Y)
        for (int X = 0; X < Shown.width(); ++X)
            if (Shown.pixel(X, Y) != White.pixel(X, Y)) {
                Changed.insert({X, Y});
                EXPECT_EQ(Shown.pixel(X, Y), qRgb(0, 255, 255)); // white xor red
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

    // A repaint keeps the beacon on the view, so that hiding it still restores the view.
    Panel->Compose();
    EXPECT_EQ(Panel->Shown(), Shown);
    Beacon.Show({41, 31}); // moving it first erases it where it was
    Beacon.Hide();
    EXPECT_FALSE(Beacon.Visible());
    EXPECT_EQ(Panel->Shown(), White);
    EXPECT_TRUE(Panel->Overlays.empty());
    {
        TBeacon Destroyed(*Panel);
        Destroyed.Show({5, 5}); // partly outside the view
    }
    EXPECT_EQ(Panel->Shown(), White);
    EXPECT_TRUE(Panel->Overlays.empty());
}

TEST_F(LineFollowing, BeaconFollowsTheNewestPointAndGoesAtTheEnd) {
    for (const bool UseBeacon : {true, false}) {
        SCOPED_TRACE(UseBeacon ? "beacon" : "no beacon");
        MakePanel(130, 100, 130, 100);
        Panel->Settings.SetDelay(1);
        Panel->Settings.UseBeacon = UseBeacon;
        auto Line = NewLine<TFunctionalLine>();
        Line->SetColorIndex(1);
        Line->AutoDigitize(Panel->Run(), Click(10, 51));
        if (UseBeacon) {
            ASSERT_NE(Line->Beacon(), nullptr);
            EXPECT_FALSE(Line->Beacon()->Visible()); // until the first point
        }
        ASSERT_TRUE(PumpUntil([&] { return Line->Count() >= 6; }));
        const TLongintPoint Newest = Panel->Scale.RealToScreen(Line->Last());
        if (UseBeacon) {
            ASSERT_NE(Line->Beacon(), nullptr);
            EXPECT_TRUE(Line->Beacon()->Visible());
            EXPECT_EQ(Line->Beacon()->X(), Newest.X);
            EXPECT_EQ(Line->Beacon()->Y(), Newest.Y);
            EXPECT_EQ(Line->Beacon()->Color, Line->DisplayColor());
            EXPECT_EQ(Panel->Shown(), WithBeacon(Expected(*Line), Newest, Line->DisplayColor()));
        } else {
            EXPECT_EQ(Line->Beacon(), nullptr);
            EXPECT_EQ(Panel->Shown(), Expected(*Line));
        }
        Panel->Settings.SetDelay(0);
        ASSERT_TRUE(RunToEnd(*Line));
        EXPECT_EQ(Line->Beacon(), nullptr);
        EXPECT_EQ(Panel->Shown(), Expected(*Line));
        EXPECT_TRUE(Panel->Overlays.empty());
    }
}

// ---------------------------------------------------------------------------------------------
// Scrolling along

TEST_F(LineFollowing, ViewScrollsAlongWithTheLine) {
    // A 60-pixel view on a 200-pixel image; the listeners draw the line's points.
    MakePanel(200, 100, 60, 100);
    Panel->Settings.SetDelay(1);
    std::unique_ptr<TFunctionalLine> Line;
    Panel->OnPainted = [&](QPainter& P) {
        if (!Line)
            return;
        P.setPen(QColor(0, 255, 255));
        for (std::int32_t I = 0; I < Line->Count(); ++I) {
            const TLongintPoint S = Panel->Scale.RealToScreen(Line->GetPoint(I));
            P.drawPoint(S.X, S.Y);
        }
    };
    Line = NewLine<TFunctionalLine>();
    Line->AutoDigitize(Panel->Run(), Click(10, 51));
    // Column 59 is the first point beyond the view; each point is a step of its own.
    ASSERT_TRUE(PumpUntil([&] { return Line->Count() >= 50; }));
    ASSERT_EQ(Line->Count(), 50);
    EXPECT_EQ(Panel->Scale.WindowOrg.X, 30);
    EXPECT_FALSE(Panel->BarsEnabled); // switched off again after scrolling
    const TLongintPoint Newest = Panel->Scale.RealToScreen(Line->Last());
    EXPECT_TRUE(Panel->ContainsScreenPoint(Newest));
    EXPECT_EQ(Line->Beacon()->X(), Newest.X); // where the point is after scrolling
    EXPECT_EQ(Panel->Shown(), WithBeacon(Expected(*Line), Newest, Line->DisplayColor()));

    Panel->Settings.SetDelay(0);
    ASSERT_TRUE(RunToEnd(*Line));
    EXPECT_EQ(Line->Count(), 190);
    EXPECT_EQ(Panel->Scale.WindowOrg.X, 140); // the image's end
    EXPECT_TRUE(Panel->BarsEnabled);
    EXPECT_EQ(Panel->Shown(), Expected(*Line));
    Line.reset();
}

// ---------------------------------------------------------------------------------------------
// Discarding

TEST_F(LineFollowing, DiscardedFollowerDeliversNothingMore) {
    for (const bool Paused : {false, true}) {
        SCOPED_TRACE(Paused ? "paused" : "running");
        Panel->Settings.SetDelay(1);
        auto Line = NewLine<TFunctionalLine>();
        Log.Events.clear();
        Line->AutoDigitize(Panel->Run(), Click(10, 51));
        ASSERT_TRUE(PumpUntil([&] { return Line->Count() >= 3; }));
        if (Paused)
            Line->Pause();
        Line->DiscardFollower();
        EXPECT_FALSE(Line->Following());
        EXPECT_EQ(Line->Beacon(), nullptr);
        EXPECT_EQ(Line->Track().Count(), 0);
        EXPECT_TRUE(Panel->BarsEnabled);
        EXPECT_EQ(Panel->Shown(), Expected(*Line)); // no beacon left behind
        const std::int32_t N = Line->Count();
        PumpFor(50ms);
        EXPECT_EQ(Line->Count(), N);
        EXPECT_EQ(Log.Events, (TEvents{"Started 0"}));
        Line->DiscardFollower(); // nothing to discard
    }
}

TEST_F(LineFollowing, DestroyingALineDiscardsItsFollower) {
    for (const auto Delay : {0, 1}) {
        Panel->Settings.SetDelay(Delay);
        auto Line = NewLine<TFunctionalLine>();
        Log.Events.clear();
        Line->AutoDigitize(Panel->Run(), Click(10, 51));
        Panel->Queue.WaitAndProcess(5ms);
        Line.reset();
        PumpFor(30ms);
        EXPECT_EQ(Log.Events, (TEvents{"Started 0"}));
        EXPECT_TRUE(Panel->Overlays.empty());
        EXPECT_TRUE(Panel->BarsEnabled);
    }
}

TEST_F(LineFollowing, DiscardInsideTheFollowersStep) {
    // A listener drawing after a scroll discards the run: the follower is in the middle of
    // its step at that moment.
    MakePanel(200, 100, 60, 100);
    std::unique_ptr<TFunctionalLine> Line;
    Panel->OnPainted = [&](QPainter&) {
        if (Line)
            Line->DiscardFollower();
    };
    Line = NewLine<TFunctionalLine>();
    Log.Events.clear();
    Line->AutoDigitize(Panel->Run(), Click(10, 51));
    ASSERT_TRUE(PumpUntil([&] { return !Line->Following(); }));
    const std::int32_t N = Line->Count();
    EXPECT_EQ(Panel->Scale.WindowOrg.X, 30); // scrolled once, for the last point
    PumpFor(30ms);
    EXPECT_EQ(Line->Count(), N);
    EXPECT_EQ(Log.Events, (TEvents{"Started 0"}));
    Line.reset();
}

// ---------------------------------------------------------------------------------------------
// The program's dispatcher

TEST_F(LineFollowing, RunsThroughTheQtEventLoop) {
    int Argc = 1;
    char Name[] = "core_tests";
    char* Argv[] = {Name, nullptr};
    std::optional<QCoreApplication> App;
    if (!QCoreApplication::instance())
        App.emplace(Argc, Argv);
    QObject Context;
    TQtDispatcher Dispatcher(&Context);
    Panel->OtherDispatcher = &Dispatcher;
    auto Line = NewLine<TFunctionalLine>();
    Log.Events.clear();
    Line->AutoDigitize(Panel->Run(), Click(10, 51));
    const auto End = std::chrono::steady_clock::now() + 10s;
    while (Line->Following() && std::chrono::steady_clock::now() < End)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    EXPECT_EQ(Log.Events, (TEvents{"Started 0", "Finished 120", "PointsAdded 120"}));
    EXPECT_EQ(Pixels(*Line), Row(10, 129, 51));
}
