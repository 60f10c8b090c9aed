#pragma once

#include "core/Errors.h"

#include <QImage>
#include <cstdint>
#include <string>

namespace korvane {

// A file that cannot be read as an image: damaged, unsupported or too large. The message
// says what is wrong in words a user understands.
class EImageError : public EKorvane {
public:
    using EKorvane::EKorvane;
};

// The pixel format a reader found in the file, before conversion to the working image.
enum class EPixelFormat { BlackWhite, Gray16, Gray256, Color16, Color256, TrueColor };

// "black and white", "16 shades of gray", ...
const char* PixelFormatName(EPixelFormat Format);

// Every image becomes this: a 24-bit RGB image (QImage::Format_RGB888) of the image's size.
struct TWorkingImage {
    QImage Image;
    EPixelFormat PixelFormat = EPixelFormat::TrueColor;
};

// Images are refused before anything is allocated when a side exceeds 65535 pixels or the
// whole exceeds 2^28 pixels.
constexpr std::int64_t MaxImageSide = 65535;
constexpr std::int64_t MaxImagePixels = std::int64_t(1) << 28;

// Throws EImageError ("<Format> image has invalid dimensions W x H." / "... is too large
// ...") unless 1 <= Width, Height <= MaxImageSide and Width * Height <= MaxImagePixels.
void CheckImageSize(std::int64_t Width, std::int64_t Height, const char* Format);

// Whether a new working image is filled white or left as the system gives it: a reader that
// writes every pixel or fails leaves it, so that a small damaged file declaring a huge image
// fails without first touching all of that memory.
enum class EImageFill { White, None };

// A new working image, checked with CheckImageSize and filled as Fill says. Throws
// EImageError when memory runs out.
QImage NewWorkingImage(std::int64_t Width, std::int64_t Height, const char* Format,
                       EImageFill Fill = EImageFill::White);

// Writes the working image to FileName as PNG, or as BMP or PPM when the name ends so (any
// letter case), through a temporary file renamed over the target: a failure (the encoder's,
// the disk's or the rename's) leaves an existing file as it was. Throws EWriteError naming
// the file.
void SaveImageFile(const QImage& Image, const std::string& FileName);

// A * B for buffer sizes; throws EImageError on overflow.
std::size_t CheckedMul(std::size_t A, std::size_t B);

// Transparency over white, per 8-bit channel: (c·a + 255·(255 − a) + 127) / 255.
inline std::uint8_t CompositeOverWhite(std::uint32_t C, std::uint32_t A) {
    return static_cast<std::uint8_t>((C * A + 255u * (255u - A) + 127u) / 255u);
}

// An n-bit sample or a maxval-M sample as 8 bits: (v·255 + M/2) / M. Sixteen-bit samples
// are not scaled this way: they keep their high byte.
inline std::uint8_t ScaleSample(std::uint32_t V, std::uint32_t MaxValue) {
    return static_cast<std::uint8_t>((static_cast<std::uint64_t>(V) * 255u + MaxValue / 2) /
                                     MaxValue);
}

// Painting text needs a QGuiApplication. The command-line tool and the tests have none:
// this creates one on the offscreen platform when no application object exists yet.
// Call it from the main thread.
void EnsureGuiApplication();

} // namespace korvane
