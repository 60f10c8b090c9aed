#include "image/readers/metafile/GdiSurface.h"

#include <algorithm>

namespace korvane {

TWorkingImage RenderInBands(std::int64_t Width, std::int64_t Height, const char* Format,
                            const TMetafileDrawing& Drawing,
                            const std::function<void(const TGdiSurface&)>& Play) {
    CheckImageSize(Width, Height, Format);
    if (const std::int64_t Side = std::max(Width, Height);
        Drawing.MaxSide > 0 && Side > Drawing.MaxSide) {
        Width = std::max<std::int64_t>(1, Width * Drawing.MaxSide / Side);
        Height = std::max<std::int64_t>(1, Height * Drawing.MaxSide / Side);
    }
    TWorkingImage Result;
    Result.Image = NewWorkingImage(Width, Height, Format);
    Result.PixelFormat = EPixelFormat::TrueColor;
    const int Rows = int(std::clamp<std::int64_t>(Drawing.BandBytes / (Width * 4), 1, Height));
    QImage Band(int(Width), Rows, QImage::Format_RGB32);
    if (Band.isNull())
        throw EImageError(std::string("Not enough memory for the ") + Format + " image.");
    for (int Top = 0; Top < Height; Top += Rows) {
        Band.fill(Qt::white);
        Play(TGdiSurface{&Band, QSize(int(Width), int(Height)), Top});
        for (int Y = 0; Y < Rows && Top + Y < Height; ++Y) {
            const QRgb* From = reinterpret_cast<const QRgb*>(Band.constScanLine(Y));
            std::uint8_t* To = Result.Image.scanLine(Top + Y);
            for (int X = 0; X < Width; ++X, To += 3) {
                To[0] = std::uint8_t(qRed(From[X]));
                To[1] = std::uint8_t(qGreen(From[X]));
                To[2] = std::uint8_t(qBlue(From[X]));
            }
        }
    }
    return Result;
}

} // namespace korvane
