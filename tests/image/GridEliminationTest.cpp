// Grid elimination on small charts drawn here, each guarding one behaviour.
#include "image/GridElimination.h"

#include "follower/VectorizerInitialConditions.h"
#include "support/FollowAsLine.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

namespace korvane {
namespace {

// A white 420 x 320 chart: a frame from (40, 40) to (380, 280) and grid lines every Step
// pixels between, Width pixels thick, in Grid's colour; a curve of one pixel in Curve's
// colour, y = 150 + 90 sin(x / 45), from x = 45 to 375, which touches the grid line at row 240
// where it runs flat.
struct TChart {
    QImage Image;
    int Step = 40, Width = 1;
    QRgb Grid = qRgb(0, 0, 0), Curve = qRgb(0, 0, 0);
    static int CurveRow(int X) {
        return static_cast<int>(std::lround(150 + 90 * std::sin(X / 45.0)));
    }

    TChart& Draw() {
        Image = QImage(420, 320, QImage::Format_RGB888);
        Image.fill(Qt::white);
        for (int Pos = 40; Pos <= 380; Pos += Step)
            for (int T = 0; T < Width; ++T)
                for (int I = 40; I <= 280; ++I)
                    if (Pos + T < 420)
                        Image.setPixel(Pos + T, I, Grid);
        for (int Pos = 40; Pos <= 280; Pos += Step)
            for (int T = 0; T < Width; ++T)
                for (int I = 40; I <= 380; ++I)
                    Image.setPixel(I, Pos + T, Grid);
        for (int X = 45; X < 375; ++X) {
            const int A = CurveRow(X), B = CurveRow(X + 1);
            for (int Y = std::min(A, B); Y <= std::max(A, B); ++Y)
                Image.setPixel(X, Y, Curve);
        }
        return *this;
    }
    static TGridReference Reference() { return {{40, 280}, {380, 280}, {380, 40}}; }
};

// Whether Image holds Colour within Reach pixels of (X, Y): the curve is still there, although
// healing may have redrawn a pixel of it one step aside.
bool ColourNear(const QImage& Image, int X, int Y, QRgb Colour, int Reach = 1) {
    for (int Dy = -Reach; Dy <= Reach; ++Dy)
        for (int Dx = -Reach; Dx <= Reach; ++Dx)
            if (Image.valid(X + Dx, Y + Dy) && Image.pixel(X + Dx, Y + Dy) == Colour)
                return true;
    return false;
}

TEST(GridElimination, ASameColourGridGoesAndTheCurveIsFollowedEndToEnd) {
    TChart Chart;
    Chart.Draw();
    const TGridElimination Found = FindGrid(Chart.Image, TChart::Reference(), {});
    ASSERT_TRUE(Found.Found());
    EXPECT_EQ(Found.LinesX, 7); // 80 .. 240 and the frame at 40 and 280
    EXPECT_EQ(Found.LinesY, 9);
    QImage Clean = Chart.Image;
    ApplyGridElimination(Clean, Found);
    // Grid pixels away from the curve are paper now; the frame stays; every curve pixel stays.
    EXPECT_EQ(Clean.pixel(200, 120), qRgb(255, 255, 255));
    EXPECT_EQ(Clean.pixel(120, 100), qRgb(255, 255, 255));
    EXPECT_EQ(Clean.pixel(200, 40), qRgb(0, 0, 0));
    EXPECT_EQ(Clean.pixel(40, 200), qRgb(0, 0, 0));
    for (int X = 45; X < 375; ++X)
        EXPECT_TRUE(ColourNear(Clean, X, TChart::CurveRow(X), qRgb(0, 0, 0))) << X;

    // Afterwards the follower takes the curve from end to end.
    const auto Follow = [](const QImage& Image) {
        const testing::TLineRun Run = testing::FollowAsLine(
            Image, TVectorizerInitialConditions({46, TChart::CurveRow(46)}), false);
        int Last = 0;
        for (const TLongintPoint& P : Run.Pixels) {
            if (std::abs(P.Y - TChart::CurveRow(P.X)) > 2)
                break;
            Last = P.X;
        }
        return Last;
    };
    EXPECT_GE(Follow(Clean), 372);
}

TEST(GridElimination, ThickGridsColouredCurvesAndTheFrameOption) {
    struct TCase {
        const char* Name;
        int Width;
        QRgb Grid, Curve;
        bool Frame;
    };
    const TCase Cases[] = {
        {"3-pixel grid", 3, qRgb(0, 0, 0), qRgb(0, 0, 0), false},
        {"grey grid, red curve", 1, qRgb(170, 170, 170), qRgb(220, 20, 20), false},
        {"frame removed too", 1, qRgb(0, 0, 0), qRgb(0, 0, 0), true},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        TChart Chart;
        Chart.Width = C.Width;
        Chart.Grid = C.Grid;
        Chart.Curve = C.Curve;
        Chart.Draw();
        TGridEliminationOptions Options;
        Options.Frame = C.Frame;
        const TGridElimination Found = FindGrid(Chart.Image, TChart::Reference(), Options);
        QImage Clean = Chart.Image;
        ApplyGridElimination(Clean, Found);
        for (int T = 0; T < C.Width; ++T)
            EXPECT_EQ(Clean.pixel(200, 120 + T), qRgb(255, 255, 255)) << T;
        EXPECT_EQ(Clean.pixel(200, 40) == qRgb(255, 255, 255), C.Frame);
        for (int X = 45; X < 375; ++X)
            EXPECT_TRUE(ColourNear(Clean, X, TChart::CurveRow(X), C.Curve)) << X;
    }
}

// The share of Image's pixels in the rectangle that are still dark (grey below 128).
double DarkShare(const QImage& Image, const QRect& Area) {
    int Dark = 0, All = 0;
    for (int Y = Area.top(); Y <= Area.bottom(); ++Y)
        for (int X = Area.left(); X <= Area.right(); ++X) {
            ++All;
            Dark += qGray(Image.pixel(X, Y)) < 128;
        }
    return All ? double(Dark) / All : 0;
}

TEST(GridElimination, CurvesThroughIntersectionsFlatStretchesAndLabelsStay) {
    TChart Chart;
    Chart.Draw();
    // A diagonal through the grid's intersections, a long flat stretch between two grid rows,
    // and a label across grid lines, all in the grid's colour; the label is also drawn alone.
    QImage Label(Chart.Image.size(), QImage::Format_RGB888);
    Label.fill(Qt::white);
    for (QImage* Target : {&Chart.Image, &Label}) {
        QPainter Painter(Target);
        Painter.setPen(QPen(Qt::black, 1));
        if (Target == &Chart.Image) {
            Painter.drawLine(80, 240, 240, 80);
            Painter.drawLine(250, 100, 370, 100);
        }
        // Block letters of short strokes (no fonts in a test without a display).
        for (int Letter = 0; Letter < 6; ++Letter) {
            const int X = 266 + Letter * 16;
            Painter.drawLine(X, 250, X, 262);
            Painter.drawLine(X, 250, X + 8, 250);
            // (A stroke that ends exactly on a grid line cannot be told from the line there.)
            Painter.drawLine(X, 256, X + 5, 256);
            if (Letter % 2)
                Painter.drawLine(X + 8, 250, X + 8, 262);
        }
    }

    const TGridElimination Found = FindGrid(Chart.Image, TChart::Reference(), {});
    QImage Clean = Chart.Image;
    ApplyGridElimination(Clean, Found);
    EXPECT_EQ(Clean.pixel(300, 200), qRgb(255, 255, 255));
    for (int X = 81; X < 240; ++X)
        EXPECT_TRUE(ColourNear(Clean, X, 320 - X, qRgb(0, 0, 0))) << "diagonal at " << X;
    for (int X = 250; X <= 370; ++X)
        EXPECT_EQ(Clean.pixel(X, 100), qRgb(0, 0, 0)) << "flat stretch at " << X;
    int Lost = 0;
    for (int Y = 0; Y < Label.height(); ++Y)
        for (int X = 0; X < Label.width(); ++X)
            Lost += Label.pixel(X, Y) == qRgb(0, 0, 0) && Clean.pixel(X, Y) != qRgb(0, 0, 0);
    EXPECT_EQ(Lost, 0);
}

TEST(GridElimination, ATiltedNoisyJpegScanAndADottedGridUnderAColouredCurve) {
    // A scan: the chart turned by 2 degrees, with noise, through JPEG at quality 80.
    TChart Chart;
    Chart.Grid = qRgb(60, 60, 60);
    Chart.Curve = qRgb(20, 20, 200);
    Chart.Draw();
    QImage Turned(Chart.Image.size(), QImage::Format_RGB888);
    Turned.fill(Qt::white);
    {
        QPainter Painter(&Turned);
        Painter.translate(210, 160);
        Painter.rotate(2);
        Painter.translate(-210, -160);
        Painter.drawImage(0, 0, Chart.Image);
    }
    std::uint32_t Seed = 12345;
    for (int Y = 0; Y < Turned.height(); ++Y)
        for (int X = 0; X < Turned.width(); ++X) {
            Seed = Seed * 1664525u + 1013904223u;
            const int Noise = static_cast<int>(Seed >> 28) - 8;
            const QRgb P = Turned.pixel(X, Y);
            Turned.setPixel(X, Y,
                            qRgb(std::clamp(qRed(P) + Noise, 0, 255),
                                 std::clamp(qGreen(P) + Noise, 0, 255),
                                 std::clamp(qBlue(P) + Noise, 0, 255)));
        }
    QByteArray Jpeg;
    QBuffer Buffer(&Jpeg);
    ASSERT_TRUE(Buffer.open(QIODevice::WriteOnly));
    ASSERT_TRUE(Turned.save(&Buffer, "JPG", 80));
    const QImage Scan = QImage::fromData(Jpeg, "JPG").convertToFormat(QImage::Format_RGB888);

    const TGridElimination Found = FindGrid(Scan, std::nullopt, {});
    EXPECT_NEAR(Found.Tilt, std::tan(2 * M_PI / 180), 0.003);
    EXPECT_GE(Found.LinesX, 5);
    EXPECT_GE(Found.LinesY, 7);
    QImage Clean = Scan;
    ApplyGridElimination(Clean, Found);
    // Inside the frame little dark ink remains beyond the curve.
    EXPECT_LT(DarkShare(Clean, QRect(60, 60, 300, 200)),
              DarkShare(Scan, QRect(60, 60, 300, 200)) / 2);

    // A dotted grey grid (two pixels on, two off) under a blue curve.
    TChart Dotted;
    Dotted.Grid = qRgb(120, 120, 120);
    Dotted.Curve = qRgb(20, 20, 200);
    Dotted.Draw();
    for (int Y = 0; Y < Dotted.Image.height(); ++Y)
        for (int X = 0; X < Dotted.Image.width(); ++X)
            if (Dotted.Image.pixel(X, Y) == Dotted.Grid && (X + Y) % 4 >= 2)
                Dotted.Image.setPixel(X, Y, qRgb(255, 255, 255));
    const TGridElimination DottedFound = FindGrid(Dotted.Image, TChart::Reference(), {});
    QImage DottedClean = Dotted.Image;
    ApplyGridElimination(DottedClean, DottedFound);
    int GridLeft = 0;
    for (int X = 60; X < 360; ++X)
        GridLeft += DottedClean.pixel(X, 120) == Dotted.Grid;
    EXPECT_LT(GridLeft, 10);
    for (int X = 45; X < 375; ++X)
        EXPECT_TRUE(ColourNear(DottedClean, X, TChart::CurveRow(X), Dotted.Curve)) << X;
}

TEST(GridElimination, AChartWithoutAGridIsLeftAloneAndEveryRunGivesTheSameAnswer) {
    QImage Plain(300, 200, QImage::Format_RGB888);
    Plain.fill(Qt::white);
    for (int X = 10; X < 290; ++X)
        Plain.setPixel(X, static_cast<int>(100 + 40 * std::sin(X / 30.0)), qRgb(0, 0, 0));
    EXPECT_FALSE(FindGrid(Plain, std::nullopt, {}).Found());

    TChart Chart;
    Chart.Draw();
    const TGridElimination A = FindGrid(Chart.Image, std::nullopt, {});
    const TGridElimination B = FindGrid(Chart.Image, std::nullopt, {});
    EXPECT_TRUE(A.Found());
    EXPECT_EQ(A.Mask, B.Mask);
    EXPECT_EQ(A.Paper, B.Paper);
    EXPECT_EQ(A.Tilt, 0);
}

} // namespace
} // namespace korvane
