#pragma once

// Pages of a PDF document as working images, through poppler.

#include "image/ImageModel.h"

#include <QByteArray>
#include <QSizeF>
#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace Poppler {
class Document;
}

namespace korvane {

// A PDF that is encrypted with a user password: none was given, or the one given is wrong.
class EPdfPassword : public EImageError {
public:
    EPdfPassword(const std::string& Message, bool WrongPassword)
        : EImageError(Message), FWrongPassword(WrongPassword) {}
    bool WrongPassword() const { return FWrongPassword; }

private:
    bool FWrongPassword;
};

// The part of a page that is rendered, in points (1/72 inch) from the page's top left corner.
struct TPdfCrop {
    int X = 0, Y = 0, Width = 0, Height = 0;
    friend bool operator==(const TPdfCrop&, const TPdfCrop&) = default;
};

// Which page (from 1) at what resolution, and optionally which part of it.
struct TPdfPageSpec {
    static constexpr int MinDpi = 72, MaxDpi = 1200, DefaultDpi = 300;
    int Page = 1;
    int Dpi = DefaultDpi;
    std::optional<TPdfCrop> Crop;
    friend bool operator==(const TPdfPageSpec&, const TPdfPageSpec&) = default;
};

// Progress and cancelling of a render running on another thread.
struct TPdfRenderControl {
    std::atomic<bool> Cancel{false};
    // Rendered rows out of Total (both 0 until the size is known).
    std::atomic<int> Done{0}, Total{0};
};

// Thrown by Render when its control asked to stop.
class EPdfCancelled : public EImageError {
public:
    EPdfCancelled() : EImageError("Rendering was cancelled.") {}
};

// One open PDF document. Not for two threads at once: a render on another thread opens its
// own document from the same bytes (Data()).
class TPdfDocument {
public:
    // Reads FileName. Throws EImageError naming the file when it cannot be read, is no PDF,
    // is damaged or has no pages, and EPdfPassword when it needs a password.
    static TPdfDocument Open(const std::string& FileName, const std::string& Password = {});
    // The same from the file's bytes; Name is used in messages.
    static TPdfDocument FromData(const QByteArray& Data, const std::string& Name,
                                 const std::string& Password = {});

    TPdfDocument(TPdfDocument&&) noexcept;
    TPdfDocument& operator=(TPdfDocument&&) noexcept;
    ~TPdfDocument();

    const std::string& Name() const { return FName; }
    const QByteArray& Data() const { return FData; }
    const std::string& Password() const { return FPassword; }
    int PageCount() const;
    // The page's size in points as it is shown (turned pages have their sides swapped).
    QSizeF PageSize(int Page) const;

    // The size in pixels the page (or its crop) renders to, and the crop fitted into the
    // page (nullopt for the whole page). Throws EImageError for a page out of range.
    QSize RenderSize(const TPdfPageSpec& Spec) const;
    // Throws EImageError when the rendered page would exceed the working image's limits,
    // saying how large it would be.
    void CheckRenderSize(const TPdfPageSpec& Spec) const;

    // The page rendered with anti-aliasing on white paper into a 24-bit working image, in
    // bands so that the memory needed beyond the image stays small. Throws EImageError, and
    // EPdfCancelled when Control asks to stop.
    TWorkingImage Render(const TPdfPageSpec& Spec, TPdfRenderControl* Control = nullptr) const;
    // The whole page with its longer side MaxSide pixels.
    QImage Thumbnail(int Page, int MaxSide) const;

    // RIPEMD-160 of the bytes, 40 hexadecimal digits.
    std::string ContentDigest() const;

private:
    TPdfDocument() = default;
    void CheckPage(int Page) const;

    std::string FName, FPassword;
    QByteArray FData;
    std::unique_ptr<Poppler::Document> FDocument;
};

// True when the file starts as a PDF does ("%PDF-" within its first 1024 bytes).
bool IsPdfFile(const std::string& FileName);

// A page of a PDF as one name, for the recent files and the parameter file:
// "FILE#page=N;dpi=D" and, with a crop, ";crop=X,Y,W,H".
std::string PdfPageName(const std::string& FileName, const TPdfPageSpec& Spec);
// The file and page of such a name; nullopt for any other name.
std::optional<std::pair<std::string, TPdfPageSpec>> ParsePdfPageName(const std::string& Name);
// The file a name stands for: the PDF of a page name, else the name itself.
std::string SourceFileOf(const std::string& Name);
// "paper.pdf, page 3" for a page name, else the file's name.
std::string DisplayNameOf(const std::string& Name);
// A name for files made from the work: "paper page 3" for a page name, else the file's name
// without its extension.
std::string BaseNameOf(const std::string& Name);

} // namespace korvane
