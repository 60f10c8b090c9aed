#include "core/Colors.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

using namespace korvane;

TEST(Colors, ColorsMatchWithinTolerance) {
    const TColor Red = RGB(255, 0, 0), Black = RGB(0, 0, 0), White = RGB(255, 255, 255);
    struct Case {
        TColor A, B;
        double Tolerance;
        bool Match;
    } Cases[] = {
        {Red, Black, 0.4, true},
        {Red, Black, 0.3, false},
        {Red, Red, 0.0, true},
        {Red, RGB(254, 0, 0), 0.0, false},
        {Black, White, 0.6, true},
        {Black, White, 0.57, false},
        // The flag byte is no part of the colour.
        {Red | 0x02000000u, Red, 0.0, true},
    };
    for (const auto& C : Cases)
        EXPECT_EQ(ColorsMatch(C.A, C.B, C.Tolerance), C.Match)
            << std::hex << C.A << " " << C.B << " " << C.Tolerance;
}

TEST(Colors, ArithmeticClampsAndKeepsFlags) {
    EXPECT_EQ(ScaleColor(RGB(200, 100, 0), 1.5), RGB(255, 150, 0));
    EXPECT_EQ(ScaleColor(RGB(3, 5, 7), 0.5), RGB(1, 2, 3));
    EXPECT_EQ(ScaleColor(RGB(3, 5, 7), -1), RGB(0, 0, 0));
    EXPECT_EQ(InvertColor(0x02000000u | RGB(10, 20, 30)), 0x02000000u | RGB(245, 235, 225));
    // 255·0.1/√3 = 14.72 → 14.
    EXPECT_EQ(ShiftColor(RGB(100, 250, 5), 0.1), RGB(114, 255, 19));
    EXPECT_EQ(ShiftColor(RGB(100, 250, 5), -0.1), RGB(86, 236, 0));
    EXPECT_EQ(DarkenColor(RGB(100, 100, 100), 0.1), ShiftColor(RGB(100, 100, 100), -0.1));
    EXPECT_EQ(DarkenColor(RGB(100, 100, 100), -5), RGB(0, 0, 0));
    EXPECT_EQ(LightenColor(RGB(100, 100, 100), -0.1), ShiftColor(RGB(100, 100, 100), 0.1));
    EXPECT_EQ(LightenColor(0x01000000u | RGB(100, 100, 100), 7), 0x01000000u | RGB(247, 247, 247));
}

TEST(Colors, GradientFillDrawsOneColumnPerPixelWithoutTheBottomRow) {
    QImage Image(12, 6, QImage::Format_RGB32);
    Image.fill(Qt::white);
    {
        QPainter P(&Image);
        GradientFill(P, RGB(0, 0, 0), RGB(100, 200, 40), 1, 1, 10, 4);
    }
    // n = 10 columns, steps (10, 20, 4): column k has From + k·step.
    for (int K = 0; K < 10; ++K) {
        EXPECT_EQ(Image.pixel(1 + K, 1), qRgb(10 * K, 20 * K, 4 * K)) << K;
        EXPECT_EQ(Image.pixel(1 + K, 3), qRgb(10 * K, 20 * K, 4 * K)) << K;
        EXPECT_EQ(Image.pixel(1 + K, 4), qRgb(255, 255, 255)) << K; // end pixel left out
    }
    EXPECT_EQ(Image.pixel(11, 2), qRgb(255, 255, 255));
    EXPECT_EQ(Image.pixel(0, 2), qRgb(255, 255, 255));

    // A one-pixel-wide rectangle is a single line in the From colour.
    Image.fill(Qt::white);
    {
        QPainter P(&Image);
        GradientFill(P, RGB(9, 8, 7), RGB(200, 200, 200), 5, 0, 5, 6);
        GradientFill(P, RGB(9, 8, 7), RGB(200, 200, 200), 8, 0, 7, 6); // empty
    }
    for (int Y = 0; Y < 6; ++Y)
        EXPECT_EQ(Image.pixel(5, Y), qRgb(9, 8, 7));
    EXPECT_EQ(Image.pixel(4, 0), qRgb(255, 255, 255));
    EXPECT_EQ(Image.pixel(7, 0), qRgb(255, 255, 255));
}
