#include "image/ImageModel.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <limits>

namespace korvane {

const char* PixelFormatName(EPixelFormat Format) {
    switch (Format) {
    case EPixelFormat::BlackWhite:
        return "black and white";
    case EPixelFormat::Gray16:
        return "16 shades of gray";
    case EPixelFormat::Gray256:
        return "256 shades of gray";
    case EPixelFormat::Color16:
        return "16 colour";
    case EPixelFormat::Color256:
        return "256 colour";
    case EPixelFormat::TrueColor:
        return "true colour";
    }
    return "true colour";
}

void CheckImageSize(std::int64_t Width, std::int64_t Height, const char* Format) {
    if (Width < 1 || Height < 1)
        throw EImageError(std::string(Format) + " image has invalid dimensions " +
                          std::to_string(Width) + " x " + std::to_string(Height) + ".");
    if (Width > MaxImageSide || Height > MaxImageSide || Width * Height > MaxImagePixels)
        throw EImageError(std::string(Format) + " image is too large (" + std::to_string(Width) +
                          " x " + std::to_string(Height) + " pixels).");
}

QImage NewWorkingImage(std::int64_t Width, std::int64_t Height, const char* Format) {
    CheckImageSize(Width, Height, Format);
    QImage Image(static_cast<int>(Width), static_cast<int>(Height), QImage::Format_RGB888);
    if (Image.isNull())
        throw EImageError("Not enough memory for a " + std::to_string(Width) + " x " +
                          std::to_string(Height) + " image.");
    Image.fill(Qt::white);
    return Image;
}

std::size_t CheckedMul(std::size_t A, std::size_t B) {
    if (A != 0 && B > std::numeric_limits<std::size_t>::max() / A)
        throw EImageError("Image size overflow.");
    return A * B;
}

void EnsureGuiApplication() {
    if (QCoreApplication::instance())
        return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int Argc = 1;
    static char Name[] = "korvane";
    static char* Argv[] = {Name, nullptr};
    // Lives until the program ends.
    new QGuiApplication(Argc, Argv);
}

} // namespace korvane
