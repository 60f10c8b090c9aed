#pragma once

#include "follower/FunctionalVectorizer.h"
#include "follower/NonfunctionalVectorizer.h"
#include "follower/Vectorizers.h"

#include <QImage>
#include <functional>
#include <vector>

namespace korvane::testing {

// A white RGB888 image.
inline QImage WhiteImage(int Width, int Height) {
    QImage Image(Width, Height, QImage::Format_RGB888);
    Image.fill(Qt::white);
    return Image;
}

// Fills columns X0..X1 and rows Y0..Y1 (inclusive) with Colour.
inline void Fill(QImage& Image, int X0, int Y0, int X1, int Y1, QRgb Colour = qRgb(0, 0, 0)) {
    for (int Y = Y0; Y <= Y1; ++Y)
        for (int X = X0; X <= X1; ++X)
            Image.setPixel(X, Y, Colour);
}

// Records every point; OnPoint may act on the follower (change Delay, terminate).
struct TRecorder : IVectorizerObserver {
    std::vector<TLongintPoint> Points;
    std::function<void(TVectorizer&, TLongintPoint)> OnPoint;
    void FollowerPoint(TVectorizer& Follower, TLongintPoint Position) override {
        Points.push_back(Position);
        if (OnPoint)
            OnPoint(Follower, Position);
    }
};

// The follower settings used throughout: jumps 6 and 50, thickness tolerance 20,
// colour tolerance 0.1, no delay.
inline void Configure(TVectorizer& F) {
    F.Delay = 0;
    F.ColorTolerance = 0.1;
    F.MaxHorizontalJump = 6;
    F.MaxVerticalJump = 50;
    F.ThicknessTolerance = 20;
}

} // namespace korvane::testing
