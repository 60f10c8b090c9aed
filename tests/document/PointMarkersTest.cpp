#include "document/PointMarkers.h"

#include "core/Errors.h"
#include "core/Formats.h"

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <gtest/gtest.h>
#include <set>

using namespace korvane;

namespace {

// The pixels a marker sets on a white image, drawn in black at (10, 10).
std::set<std::pair<int, int>> Drawn(const TPointMarker& Marker, TLongintPoint At = {10, 10}) {
    QImage Image(24, 24, QImage::Format_RGB32);
    Image.fill(Qt::white);
    {
        QPainter Canvas(&Image);
        Canvas.setPen(QColor(0, 0, 0));
        Canvas.setBrush(QColor(0, 0, 0));
        Marker.Draw(At, Canvas);
    }
    std::set<std::pair<int, int>> Pixels;
    for (int Y = 0; Y < Image.height(); ++Y)
        for (int X = 0; X < Image.width(); ++X)
            if (Image.pixel(X, Y) != qRgb(255, 255, 255)) {
                EXPECT_EQ(Image.pixel(X, Y), qRgb(0, 0, 0)) << "antialiased at " << X << "," << Y;
                Pixels.insert({X, Y});
            }
    return Pixels;
}

std::set<std::pair<int, int>> Box(int X0, int Y0, int X1, int Y1, bool Outline) {
    std::set<std::pair<int, int>> Pixels;
    for (int Y = Y0; Y <= Y1; ++Y)
        for (int X = X0; X <= X1; ++X)
            if (!Outline || X == X0 || X == X1 || Y == Y0 || Y == Y1)
                Pixels.insert({X, Y});
    return Pixels;
}

} // namespace

TEST(PointMarkers, SizeLimitsCloneAndAssign) {
    TCircleMarker Circle;
    EXPECT_EQ(Circle.GetSize(), 3);
    Circle.SetSize(0);
    Circle.SetSize(11);
    EXPECT_EQ(Circle.GetSize(), 3);
    Circle.SetSize(10);
    EXPECT_EQ(Circle.GetSize(), 10);

    TRingMarker Ring;
    Ring.SetSize(7);
    const auto Copy = Ring.Clone();
    EXPECT_EQ(Copy->ClassName(), "TRingMarker");
    EXPECT_EQ(Copy->StyleName(), "Ring");
    EXPECT_EQ(Copy->GetSize(), 7);

    TCoordFormat NotAMarker;
    Ring.Assign(NotAMarker);
    EXPECT_EQ(Ring.GetSize(), 7);
    Circle.Assign(Ring);
    EXPECT_EQ(Circle.GetSize(), 7);
}

TEST(PointMarkers, RegistryCreatesByStoredName) {
    for (const std::string& Name : TPointMarkerRegistry::ClassNames())
        EXPECT_EQ(TPointMarkerRegistry::Create(Name)->ClassName(), Name);
    EXPECT_EQ(TPointMarkerRegistry::ClassNames().size(), 6u);
    EXPECT_THROW(TPointMarkerRegistry::Create("TStarMarker"), EClassNotFound);
}

TEST(PointMarkers, DrawsPixelExactFigures) {
    TCrossMarker Cross;
    Cross.SetSize(1);
    EXPECT_EQ(Drawn(Cross),
              (std::set<std::pair<int, int>>{{9, 10}, {10, 10}, {11, 10}, {10, 9}, {10, 11}}));

    TXMarker X;
    X.SetSize(2);
    std::set<std::pair<int, int>> Diagonals;
    for (int K = -2; K <= 2; ++K) {
        Diagonals.insert({10 + K, 10 + K});
        Diagonals.insert({10 - K, 10 + K});
    }
    EXPECT_EQ(Drawn(X), Diagonals);

    // Boxes from (7, 7) to (13, 13) without the right and bottom edge.
    EXPECT_EQ(Drawn(TSquareMarker()), Box(7, 7, 12, 12, false));
    EXPECT_EQ(Drawn(TFrameMarker()), Box(7, 7, 12, 12, true));

    const auto Disc = Drawn(TCircleMarker());
    const auto Ring = Drawn(TRingMarker());
    for (const auto& P : Disc) {
        EXPECT_GE(P.first, 7);
        EXPECT_LE(P.first, 12);
        EXPECT_GE(P.second, 7);
        EXPECT_LE(P.second, 12);
    }
    EXPECT_TRUE(Disc.count({10, 10}));
    EXPECT_FALSE(Disc.count({7, 7})); // round, not square
    EXPECT_FALSE(Ring.count({10, 10}));
    EXPECT_TRUE(std::includes(Disc.begin(), Disc.end(), Ring.begin(), Ring.end()));
}
