#include "image/ImageModel.h"

#include "core/AtomicFile.h"
#include "core/Streams.h"

#include <QBuffer>
#include <QByteArray>
#include <QCoreApplication>
#include <QGuiApplication>
#include <cctype>
#include <cstdlib>
#include <limits>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korvane {

void SaveImageFile(const QImage& Image, const std::string& FileName) {
    std::string Suffix = FileName.substr(FileName.find_last_of("./") + 1);
    for (char& C : Suffix)
        C = static_cast<char>(std::tolower(static_cast<unsigned char>(C)));
    const char* Format = Suffix == "bmp" ? "BMP" : Suffix == "ppm" ? "PPM" : "PNG";
    QByteArray Bytes;
    QBuffer Buffer(&Bytes);
    Buffer.open(QIODevice::WriteOnly);
    if (Image.isNull() || !Image.save(&Buffer, Format))
        throw EWriteError("Cannot write file \"" + FileName +
                          "\". The image could not be encoded as " + Format + ".");
    WriteFileAtomically(FileName, [&](TStream& Stream) {
        Stream.WriteBuffer(Bytes.constData(), static_cast<std::size_t>(Bytes.size()));
    });
}

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

namespace {

void FreeImageBuffer(void* Buffer) {
    std::free(Buffer);
}

} // namespace

QImage NewWorkingImage(std::int64_t Width, std::int64_t Height, const char* Format,
                       EImageFill Fill) {
    CheckImageSize(Width, Height, Format);
    const std::size_t Stride = (static_cast<std::size_t>(Width) * 3 + 3) & ~std::size_t(3);
    const std::size_t Bytes = CheckedMul(Stride, static_cast<std::size_t>(Height));
    const auto NoMemory = [&] {
        return EImageError("Not enough memory for a " + std::to_string(Width) + " x " +
                           std::to_string(Height) + " image.");
    };
    // Large images get huge pages where the system offers them: filling a 6000 x 4000
    // image then takes a few dozen page faults instead of eighteen thousand.
    constexpr std::size_t HugePage = std::size_t(2) << 20;
    void* Buffer = nullptr;
    if (Bytes >= HugePage) {
        const std::size_t Rounded = (Bytes + HugePage - 1) & ~(HugePage - 1);
        if (posix_memalign(&Buffer, HugePage, Rounded) != 0)
            throw NoMemory();
        madvise(Buffer, Rounded, MADV_HUGEPAGE);
    } else {
        Buffer = std::malloc(Bytes);
        if (!Buffer)
            throw NoMemory();
    }
    QImage Image(static_cast<uchar*>(Buffer), static_cast<int>(Width), static_cast<int>(Height),
                 static_cast<qsizetype>(Stride), QImage::Format_RGB888, FreeImageBuffer, Buffer);
    if (Image.isNull()) {
        std::free(Buffer);
        throw NoMemory();
    }
    if (Fill == EImageFill::White)
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
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        // Qt wants a private runtime folder; give it the one it would pick, quietly.
        const QByteArray Dir = "/tmp/runtime-" + QByteArray::number(::getuid());
        ::mkdir(Dir.constData(), 0700);
        qputenv("XDG_RUNTIME_DIR", Dir);
    }
    static int Argc = 1;
    static char Name[] = "korvane";
    static char* Argv[] = {Name, nullptr};
    // Lives until the program ends.
    new QGuiApplication(Argc, Argv);
}

} // namespace korvane
