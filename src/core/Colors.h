#pragma once

#include <QColor>
#include <QImage>
#include <cstddef>
#include <cstdint>

class QPainter;

namespace korvane {

// A colour as the program stores it: red in the lowest byte, then green, then blue; the
// highest byte carries flags that every helper passes through unchanged.
using TColor = std::uint32_t;

constexpr TColor RGB(std::uint8_t R, std::uint8_t G, std::uint8_t B) {
    return static_cast<TColor>(R) | (static_cast<TColor>(G) << 8) | (static_cast<TColor>(B) << 16);
}
constexpr std::uint8_t GetRValue(TColor C) {
    return static_cast<std::uint8_t>(C);
}
constexpr std::uint8_t GetGValue(TColor C) {
    return static_cast<std::uint8_t>(C >> 8);
}
constexpr std::uint8_t GetBValue(TColor C) {
    return static_cast<std::uint8_t>(C >> 16);
}
constexpr std::uint8_t GetFlags(TColor C) {
    return static_cast<std::uint8_t>(C >> 24);
}

// The colour for Qt's painting; the flags are dropped.
inline QColor ToQColor(TColor C) {
    return QColor(GetRValue(C), GetGValue(C), GetBValue(C));
}
// A Qt colour's red, green and blue; its alpha is dropped.
inline TColor FromQColor(const QColor& C) {
    const QRgb V = C.rgb();
    return RGB(static_cast<std::uint8_t>(qRed(V)), static_cast<std::uint8_t>(qGreen(V)),
               static_cast<std::uint8_t>(qBlue(V)));
}

// The colour test of the whole program: the squared RGB distance of A and B is at most
// Tolerance² × 765², so Tolerance 1 matches everything and 0 only identical colours.
bool ColorsMatch(TColor A, TColor B, double Tolerance);
// Each channel times Factor, truncated towards zero, clamped to 0..255.
TColor ScaleColor(TColor C, double Factor);
// Adds 255·Amount/√3 (truncated towards zero) to each channel, clamped to 0..255.
TColor ShiftColor(TColor C, double Amount);
TColor DarkenColor(TColor C, double Amount);
TColor LightenColor(TColor C, double Amount);
TColor InvertColor(TColor C);

// The colour of the pixel in column X, row Y; white outside the image.
inline TColor ImagePixelColor(const QImage& Image, int X, int Y) {
    if (X < 0 || Y < 0 || X >= Image.width() || Y >= Image.height())
        return RGB(255, 255, 255);
    if (Image.format() == QImage::Format_RGB888) {
        const uchar* P = Image.constScanLine(Y) + static_cast<std::ptrdiff_t>(X) * 3;
        return RGB(P[0], P[1], P[2]);
    }
    const QRgb C = Image.pixel(X, Y);
    return RGB(static_cast<std::uint8_t>(qRed(C)), static_cast<std::uint8_t>(qGreen(C)),
               static_cast<std::uint8_t>(qBlue(C)));
}

// One vertical line per column from (x, Top) to (x, Bottom), the bottom pixel left out,
// in colours running from From towards To; the last column stops one step short of To.
void GradientFill(QPainter& Canvas, TColor From, TColor To, int Left, int Top, int Right,
                  int Bottom);

} // namespace korvane
