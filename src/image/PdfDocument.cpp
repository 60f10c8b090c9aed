#include "image/PdfDocument.h"

#include "core/MessageDigests.h"

#include <QFile>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <poppler/qt6/poppler-qt6.h>
#include <regex>

namespace korvane {

namespace {

// Poppler reports every oddity of a damaged file on the terminal; the messages here say
// what matters.
void QuietPoppler() {
    static std::once_flag Once;
    std::call_once(Once, [] {
        Poppler::setDebugErrorFunction([](const QString&, const QVariant&) {}, QVariant());
    });
}

std::string Quoted(const std::string& Name) {
    return "\"" + Name + "\"";
}

// Rows of a band: about four million pixels at a time.
constexpr std::int64_t BandPixels = std::int64_t(4) << 20;

bool ShouldAbort(const QVariant& Payload) {
    const auto* Control = static_cast<const TPdfRenderControl*>(Payload.value<void*>());
    return Control && Control->Cancel.load();
}

struct TPixelRect {
    int X = 0, Y = 0, Width = 0, Height = 0;
};

// Pixels of a size in points at Dpi: the last partly covered pixel counts.
int PointsToPixels(double Points, int Dpi) {
    return static_cast<int>(std::ceil(Points * Dpi / 72.0 - 1e-6));
}

} // namespace

TPdfDocument::TPdfDocument(TPdfDocument&&) noexcept = default;
TPdfDocument& TPdfDocument::operator=(TPdfDocument&&) noexcept = default;
TPdfDocument::~TPdfDocument() = default;

TPdfDocument TPdfDocument::Open(const std::string& FileName, const std::string& Password) {
    QFile File(QString::fromStdString(FileName));
    if (!File.open(QIODevice::ReadOnly))
        throw EImageError(Quoted(FileName) +
                          " cannot be read: " + File.errorString().toStdString() + ".");
    const QByteArray Data = File.readAll();
    if (File.error() != QFileDevice::NoError)
        throw EImageError(Quoted(FileName) +
                          " cannot be read: " + File.errorString().toStdString() + ".");
    return FromData(Data, FileName, Password);
}

TPdfDocument TPdfDocument::FromData(const QByteArray& Data, const std::string& Name,
                                    const std::string& Password) {
    QuietPoppler();
    TPdfDocument Result;
    Result.FName = Name;
    Result.FData = Data;
    Result.FPassword = Password;
    if (!Data.left(1024).contains("%PDF-"))
        throw EImageError(Quoted(Name) + " is not a PDF document.");
    const QByteArray Key = QByteArray::fromStdString(Password);
    Result.FDocument = Poppler::Document::loadFromData(Data, Key, Key);
    if (!Result.FDocument)
        throw EImageError(Quoted(Name) + " is damaged: it cannot be read as a PDF document.");
    if (Result.FDocument->isLocked()) {
        if (Password.empty())
            throw EPdfPassword(Quoted(Name) + " is protected by a password.", false);
        throw EPdfPassword("The password for " + Quoted(Name) + " is not correct.", true);
    }
    Result.FDocument->setRenderBackend(Poppler::Document::SplashBackend);
    Result.FDocument->setRenderHint(Poppler::Document::Antialiasing);
    Result.FDocument->setRenderHint(Poppler::Document::TextAntialiasing);
    Result.FDocument->setPaperColor(Qt::white);
    const int Pages = Result.FDocument->numPages();
    if (Pages <= 0)
        throw EImageError(Quoted(Name) + " has no pages.");
    return Result;
}

int TPdfDocument::PageCount() const {
    return FDocument ? FDocument->numPages() : 0;
}

void TPdfDocument::CheckPage(int Page) const {
    if (Page < 1 || Page > PageCount())
        throw EImageError(Quoted(FName) + " has no page " + std::to_string(Page) +
                          "; its pages are 1 to " + std::to_string(PageCount()) + ".");
}

QSizeF TPdfDocument::PageSize(int Page) const {
    CheckPage(Page);
    const std::unique_ptr<Poppler::Page> P = FDocument->page(Page - 1);
    if (!P)
        throw EImageError(Quoted(FName) + ": page " + std::to_string(Page) +
                          " is damaged and cannot be read.");
    return P->pageSizeF();
}

namespace {

TPixelRect PixelRect(QSizeF Page, const TPdfPageSpec& Spec) {
    const int Dpi = std::clamp(Spec.Dpi, TPdfPageSpec::MinDpi, TPdfPageSpec::MaxDpi);
    const double PageW = std::max(Page.width(), 0.0), PageH = std::max(Page.height(), 0.0);
    TPixelRect R{0, 0, PointsToPixels(std::min(PageW, 1e6), Dpi),
                 PointsToPixels(std::min(PageH, 1e6), Dpi)};
    if (Spec.Crop) {
        // The crop fitted into the page, on whole pixels that cover it.
        const double X0 = std::clamp<double>(Spec.Crop->X, 0, PageW),
                     Y0 = std::clamp<double>(Spec.Crop->Y, 0, PageH);
        const double X1 = std::clamp<double>(double(Spec.Crop->X) + Spec.Crop->Width, 0, PageW),
                     Y1 = std::clamp<double>(double(Spec.Crop->Y) + Spec.Crop->Height, 0, PageH);
        const int Px0 = static_cast<int>(std::floor(X0 * Dpi / 72.0 + 1e-6)),
                  Py0 = static_cast<int>(std::floor(Y0 * Dpi / 72.0 + 1e-6));
        R = {Px0, Py0, PointsToPixels(X1, Dpi) - Px0, PointsToPixels(Y1, Dpi) - Py0};
    }
    return R;
}

std::string MegaPixels(std::int64_t Pixels) {
    char Text[32];
    std::snprintf(Text, sizeof Text, "%.1f", Pixels / 1e6);
    return Text;
}

} // namespace

QSize TPdfDocument::RenderSize(const TPdfPageSpec& Spec) const {
    const TPixelRect R = PixelRect(PageSize(Spec.Page), Spec);
    return {R.Width, R.Height};
}

void TPdfDocument::CheckRenderSize(const TPdfPageSpec& Spec) const {
    if (Spec.Dpi < TPdfPageSpec::MinDpi || Spec.Dpi > TPdfPageSpec::MaxDpi)
        throw EImageError("The resolution must be from " + std::to_string(TPdfPageSpec::MinDpi) +
                          " to " + std::to_string(TPdfPageSpec::MaxDpi) + " dpi, not " +
                          std::to_string(Spec.Dpi) + ".");
    const QSize Size = RenderSize(Spec);
    const std::int64_t W = Size.width(), H = Size.height();
    const std::string Part = Spec.Crop ? "The chosen part of page " : "Page ";
    if (W < 1 || H < 1)
        throw EImageError(Part + std::to_string(Spec.Page) + " is empty at " +
                          std::to_string(Spec.Dpi) + " dpi.");
    if (W > MaxImageSide || H > MaxImageSide || W * H > MaxImagePixels)
        throw EImageError(Part + std::to_string(Spec.Page) + " at " + std::to_string(Spec.Dpi) +
                          " dpi would be " + std::to_string(W) + " x " + std::to_string(H) +
                          " pixels (" + MegaPixels(W * H) +
                          " million); an image may have at most " + MegaPixels(MaxImagePixels) +
                          " million pixels and " + std::to_string(MaxImageSide) +
                          " on a side. Choose a lower resolution or a part of the page.");
}

TWorkingImage TPdfDocument::Render(const TPdfPageSpec& Spec, TPdfRenderControl* Control) const {
    CheckRenderSize(Spec);
    const std::unique_ptr<Poppler::Page> P = FDocument->page(Spec.Page - 1);
    if (!P)
        throw EImageError(Quoted(FName) + ": page " + std::to_string(Spec.Page) +
                          " is damaged and cannot be read.");
    const TPixelRect R = PixelRect(P->pageSizeF(), Spec);
    TWorkingImage Result;
    Result.Image = NewWorkingImage(R.Width, R.Height, "PDF");
    Result.PixelFormat = EPixelFormat::TrueColor;
    const int BandRows =
        static_cast<int>(std::clamp<std::int64_t>(BandPixels / R.Width, 1, R.Height));
    if (Control) {
        Control->Total = R.Height;
        Control->Done = 0;
    }
    const QVariant Payload = QVariant::fromValue(static_cast<void*>(Control));
    for (int Top = 0; Top < R.Height; Top += BandRows) {
        if (Control && Control->Cancel)
            throw EPdfCancelled();
        const int Rows = std::min(BandRows, R.Height - Top);
        QImage Band =
            P->renderToImage(Spec.Dpi, Spec.Dpi, R.X, R.Y + Top, R.Width, Rows,
                             Poppler::Page::Rotate0, nullptr, nullptr, ShouldAbort, Payload);
        if (Control && Control->Cancel)
            throw EPdfCancelled();
        if (Band.isNull())
            throw EImageError(Quoted(FName) + ": page " + std::to_string(Spec.Page) +
                              " could not be rendered.");
        if (Band.format() != QImage::Format_ARGB32 && Band.format() != QImage::Format_RGB32)
            Band = Band.convertToFormat(QImage::Format_ARGB32);
        // Whatever is left transparent shows the white paper.
        const bool Opaque = Band.format() == QImage::Format_RGB32;
        const int Width = std::min(R.Width, Band.width());
        for (int Y = 0; Y < std::min(Rows, Band.height()); ++Y) {
            const auto* In = reinterpret_cast<const QRgb*>(Band.constScanLine(Y));
            std::uint8_t* Out = Result.Image.scanLine(Top + Y);
            for (int X = 0; X < Width; ++X) {
                const QRgb C = In[X];
                const std::uint32_t A = Opaque ? 255 : qAlpha(C);
                Out[3 * X] = CompositeOverWhite(qRed(C), A);
                Out[3 * X + 1] = CompositeOverWhite(qGreen(C), A);
                Out[3 * X + 2] = CompositeOverWhite(qBlue(C), A);
            }
        }
        if (Control)
            Control->Done = Top + Rows;
    }
    return Result;
}

QImage TPdfDocument::Thumbnail(int Page, int MaxSide) const {
    const QSizeF Size = PageSize(Page);
    const double Longer = std::max(Size.width(), Size.height());
    if (!(Longer > 0))
        return {};
    const double Dpi = std::max(1.0, MaxSide * 72.0 / Longer);
    const std::unique_ptr<Poppler::Page> P = FDocument->page(Page - 1);
    QImage Image = P ? P->renderToImage(Dpi, Dpi) : QImage();
    return Image.isNull() ? Image : Image.convertToFormat(QImage::Format_RGB32);
}

std::string TPdfDocument::ContentDigest() const {
    return DigestToHex(RipeMD160(FData.constData(), static_cast<std::size_t>(FData.size())));
}

bool IsPdfFile(const std::string& FileName) {
    QFile File(QString::fromStdString(FileName));
    if (!File.open(QIODevice::ReadOnly))
        return false;
    return File.read(1024).contains("%PDF-");
}

std::string PdfPageName(const std::string& FileName, const TPdfPageSpec& Spec) {
    std::string Name =
        FileName + "#page=" + std::to_string(Spec.Page) + ";dpi=" + std::to_string(Spec.Dpi);
    if (Spec.Crop)
        Name += ";crop=" + std::to_string(Spec.Crop->X) + "," + std::to_string(Spec.Crop->Y) + "," +
                std::to_string(Spec.Crop->Width) + "," + std::to_string(Spec.Crop->Height);
    return Name;
}

std::optional<std::pair<std::string, TPdfPageSpec>> ParsePdfPageName(const std::string& Name) {
    const std::size_t Hash = Name.rfind('#');
    if (Hash == std::string::npos || Hash == 0)
        return std::nullopt;
    static const std::regex Suffix(
        R"(page=([0-9]{1,6});dpi=([0-9]{2,4})(;crop=([0-9]{1,6}),([0-9]{1,6}),([0-9]{1,6}),([0-9]{1,6}))?)");
    std::smatch M;
    const std::string Tail = Name.substr(Hash + 1);
    if (!std::regex_match(Tail, M, Suffix))
        return std::nullopt;
    TPdfPageSpec Spec;
    Spec.Page = std::stoi(M[1]);
    Spec.Dpi = std::stoi(M[2]);
    if (M[3].matched)
        Spec.Crop = TPdfCrop{std::stoi(M[4]), std::stoi(M[5]), std::stoi(M[6]), std::stoi(M[7])};
    return std::make_pair(Name.substr(0, Hash), Spec);
}

std::string SourceFileOf(const std::string& Name) {
    const auto Page = ParsePdfPageName(Name);
    return Page ? Page->first : Name;
}

std::string DisplayNameOf(const std::string& Name) {
    const auto Page = ParsePdfPageName(Name);
    const std::string File = Page ? Page->first : Name;
    const std::size_t Slash = File.rfind('/');
    const std::string Base = Slash == std::string::npos ? File : File.substr(Slash + 1);
    return Page ? Base + ", page " + std::to_string(Page->second.Page) : Base;
}

std::string BaseNameOf(const std::string& Name) {
    const auto Page = ParsePdfPageName(Name);
    const std::filesystem::path File = Page ? Page->first : Name;
    const std::string Stem = File.stem().string();
    return Page ? Stem + " page " + std::to_string(Page->second.Page) : Stem;
}

} // namespace korvane
