// libFuzzer target for opening a PDF as the program does: the document, its page count and
// sizes, and the first page rendered at a low resolution. Opening may only ever fail with
// EImageError; anything else (a crash, a sanitizer report, another exception, a runaway
// allocation) is a finding. With KORVANE_FUZZ_SEEDS=DIR in the environment it writes a few
// valid documents into DIR first.

#include "image/ImageModel.h"
#include "image/PdfDocument.h"

#include <QBuffer>
#include <QFile>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void WriteSeeds(const char* Folder) {
    for (int Seed = 0; Seed < 3; ++Seed) {
        QFile File(QString("%1/seed%2.pdf").arg(Folder).arg(Seed));
        if (!File.open(QIODevice::WriteOnly))
            return;
        QPdfWriter Writer(&File);
        Writer.setResolution(72);
        Writer.setPageSize(QPageSize(QSizeF(100 + 50 * Seed, 80), QPageSize::Point));
        QPainter Painter(&Writer);
        Painter.drawLine(0, 0, 100, 80);
        if (Seed > 0)
            Painter.drawText(10, 40, "Korvane");
        if (Seed > 1) {
            Writer.newPage();
            Painter.fillRect(10, 10, 30, 30, Qt::red);
        }
    }
}

} // namespace

// Qt starts here, not in the first input, whose time limit it would use up.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    korvane::EnsureGuiApplication();
    if (const char* Folder = std::getenv("KORVANE_FUZZ_SEEDS"))
        WriteSeeds(Folder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    try {
        const korvane::TPdfDocument Document = korvane::TPdfDocument::FromData(
            QByteArray(reinterpret_cast<const char*>(Data), static_cast<qsizetype>(Size)),
            "fuzz.pdf");
        for (int Page = 1; Page <= std::min(Document.PageCount(), 4); ++Page)
            (void)Document.PageSize(Page);
        const korvane::TWorkingImage Result = Document.Render({1, 72, std::nullopt});
        if (Result.Image.format() != QImage::Format_RGB888)
            __builtin_trap();
    } catch (const korvane::EImageError&) {
    }
    return 0;
}
