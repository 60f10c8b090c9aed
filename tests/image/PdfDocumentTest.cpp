#include "image/PdfDocument.h"

#include "core/Errors.h"
#include "document/Parameters.h"
#include "document/RecentFiles.h"
#include "image/ImageFormats.h"

#include <QBuffer>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <unistd.h>

namespace korvane {
namespace {

namespace fs = std::filesystem;

const fs::path Fixtures = fs::path(KORVANE_TEST_DATA_DIR) / "pdf";

// A PDF written by Qt's own PDF writer, one page per entry: its size in points and what is
// painted on it (in points from the top left corner).
struct TDrawnPage {
    QSizeF Size;
    std::function<void(QPainter&)> Paint;
};

QByteArray DrawnPdf(const std::vector<TDrawnPage>& Pages) {
    EnsureGuiApplication();
    QByteArray Bytes;
    QBuffer Buffer(&Bytes);
    Buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter Writer(&Buffer);
        Writer.setResolution(72);
        Writer.setPageMargins({0, 0, 0, 0});
        Writer.setPageSize(QPageSize(Pages.front().Size, QPageSize::Point));
        QPainter Painter(&Writer);
        for (std::size_t I = 0; I < Pages.size(); ++I) {
            if (I > 0) {
                Writer.setPageSize(QPageSize(Pages[I].Size, QPageSize::Point));
                Writer.newPage();
            }
            Pages[I].Paint(Painter);
        }
    }
    return Bytes;
}

class PdfDocument : public ::testing::Test {
protected:
    void SetUp() override {
        Dir = fs::temp_directory_path() / ("korvane-pdf-" + std::to_string(::getpid()));
        fs::create_directories(Dir);
    }
    void TearDown() override { fs::remove_all(Dir); }
    fs::path Write(const std::string& Name, const QByteArray& Bytes) {
        const fs::path Path = Dir / Name;
        std::ofstream(Path, std::ios::binary).write(Bytes.constData(), Bytes.size());
        return Path;
    }
    fs::path Dir;
};

QRgb Pixel(const QImage& Image, int X, int Y) {
    return Image.pixel(X, Y) & 0xffffff;
}

TEST_F(PdfDocument, PagesRenderAtTheirSizeOnWhitePaperWithTheCropAndAcrossBands) {
    // Page 1: A4 with a red square at (100, 100) and a black vertical line the page's height
    // at x = 300; page 2: a small landscape page filled blue on its right half.
    const QByteArray Bytes = DrawnPdf({
        {QSizeF(595, 842),
         [](QPainter& P) {
             P.fillRect(QRectF(100, 100, 50, 50), Qt::red);
             P.fillRect(QRectF(300, 0, 2, 842), Qt::black);
         }},
        {QSizeF(200, 100), [](QPainter& P) { P.fillRect(QRectF(100, 0, 100, 100), Qt::blue); }},
    });
    const TPdfDocument Document = TPdfDocument::Open(Write("drawn.pdf", Bytes).string());
    ASSERT_EQ(Document.PageCount(), 2);
    EXPECT_NEAR(Document.PageSize(1).width(), 595, 0.5);
    EXPECT_NEAR(Document.PageSize(2).height(), 100, 0.5);

    const QImage Small = Document.Render({2, 72, std::nullopt}).Image;
    ASSERT_EQ(Small.format(), QImage::Format_RGB888);
    EXPECT_EQ(Small.size(), QSize(200, 100));
    EXPECT_EQ(Pixel(Small, 50, 50), 0xffffffu); // paper
    EXPECT_EQ(Pixel(Small, 150, 50), 0x0000ffu);

    // 300 dpi: 2480 x 3509 pixels, rendered in three bands of about 4 million pixels. The
    // line is there, unbroken, on every row, and the square where it belongs.
    const QImage Page = Document.Render({1, 300, std::nullopt}).Image;
    ASSERT_EQ(Page.size(), QSize(2480, 3509));
    int Broken = 0;
    for (int Y = 0; Y < Page.height() - 1; ++Y)
        Broken += Pixel(Page, 1254, Y) != 0 || Pixel(Page, 1246, Y) != 0xffffff;
    EXPECT_EQ(Broken, 0);
    EXPECT_EQ(Pixel(Page, 520, 520), 0xff0000u);
    EXPECT_EQ(Pixel(Page, 410, 410), 0xffffffu);

    // The crop (points) takes just that part: the square's corner at (10, 10) of the crop.
    const QImage Crop = Document.Render({1, 144, TPdfCrop{90, 90, 100, 80}}).Image;
    EXPECT_EQ(Crop.size(), QSize(200, 160));
    EXPECT_EQ(Pixel(Crop, 19, 19), 0xffffffu);
    EXPECT_EQ(Pixel(Crop, 21, 21), 0xff0000u);
    // A crop reaching past the page is cut at its edge.
    EXPECT_EQ(Document.RenderSize({2, 72, TPdfCrop{150, 50, 500, 500}}), QSize(50, 50));
}

TEST_F(PdfDocument, BadDocumentsPagesAndSizesSayWhatIsWrong) {
    const std::string Good =
        Write("good.pdf", DrawnPdf({{QSizeF(3000, 3000), [](QPainter&) {}}})).string();
    struct TCase {
        std::function<void()> Run;
        const char* Message;
    } Cases[] = {
        {[&] { TPdfDocument::Open((Dir / "missing.pdf").string()); }, "cannot be read"},
        {[&] { TPdfDocument::Open(Write("text.pdf", "hello, world").string()); },
         "is not a PDF document"},
        {[&] { TPdfDocument::Open(Write("junk.pdf", "%PDF-1.4\n\x01\x02garbage").string()); },
         "damaged"},
        {[&] {
             TPdfDocument::Open(Good).Render({2, 72, std::nullopt});
         },
         "has no page 2; its pages are 1 to 1"},
        // 3000 pt at 1200 dpi is 50000 pixels a side: past the limit, refused before rendering.
        {[&] {
             TPdfDocument::Open(Good).Render({1, 1200, std::nullopt});
         },
         "at 1200 dpi would be 50000 x 50000 pixels (2500.0 million)"},
        {[&] {
             TPdfDocument::Open(Good).Render({1, 30, std::nullopt});
         },
         "from 72 to 1200 dpi"},
    };
    for (const TCase& C : Cases) {
        try {
            C.Run();
            ADD_FAILURE() << "no error for: " << C.Message;
        } catch (const EImageError& Error) {
            EXPECT_NE(std::string(Error.what()).find(C.Message), std::string::npos) << Error.what();
        }
    }
}

TEST_F(PdfDocument, TheFixturesDamagedEncryptedOrEmptyOpenOrFailCleanly) {
    if (!fs::exists(Fixtures / "encrypted_user.pdf"))
        GTEST_SKIP() << "no PDF fixtures";
    const std::string Locked = (Fixtures / "encrypted_user.pdf").string();
    try {
        TPdfDocument::Open(Locked);
        ADD_FAILURE() << "opened without its password";
    } catch (const EPdfPassword& Error) {
        EXPECT_FALSE(Error.WrongPassword());
    }
    try {
        TPdfDocument::Open(Locked, "guess");
        ADD_FAILURE() << "opened with a wrong password";
    } catch (const EPdfPassword& Error) {
        EXPECT_TRUE(Error.WrongPassword());
        EXPECT_NE(std::string(Error.what()).find("not correct"), std::string::npos);
    }
    EXPECT_EQ(TPdfDocument::Open(Locked, "secret").PageCount(), 1);
    EXPECT_EQ(TPdfDocument::Open((Fixtures / "encrypted_owner_only.pdf").string()).PageCount(), 1);
    try {
        TPdfDocument::Open((Fixtures / "no_pages.pdf").string());
        ADD_FAILURE() << "a PDF without pages opened";
    } catch (const EImageError& Error) {
        EXPECT_NE(std::string(Error.what()).find("has no pages"), std::string::npos)
            << Error.what();
    }
    // What a damaged file gives is poppler's to decide; it is an error or a page, never more.
    for (const char* Name : {"truncated.pdf", "damaged.pdf"}) {
        try {
            const TPdfDocument Document = TPdfDocument::Open((Fixtures / Name).string());
            for (int Page = 1; Page <= Document.PageCount(); ++Page)
                EXPECT_FALSE(Document.Render({Page, 72, std::nullopt}).Image.isNull());
        } catch (const EImageError& Error) {
            EXPECT_NE(std::string(Error.what()).find(Name), std::string::npos) << Error.what();
        }
    }
}

TEST_F(PdfDocument, ACancelledRenderStopsWithItsOwnError) {
    const TPdfDocument Document = TPdfDocument::FromData(
        DrawnPdf({{QSizeF(595, 842), [](QPainter& P) { P.drawEllipse(10, 10, 500, 500); }}}),
        "drawn.pdf");
    TPdfRenderControl Control;
    Control.Cancel = true;
    EXPECT_THROW(Document.Render({1, 600, std::nullopt}, &Control), EPdfCancelled);
    TPdfRenderControl Watched;
    Document.Render({1, 150, std::nullopt}, &Watched);
    EXPECT_EQ(Watched.Done.load(), Watched.Total.load());
    EXPECT_EQ(Watched.Total.load(), 1755);
}

TEST_F(PdfDocument, PageNamesRoundTripAndOtherNamesAreNoPages) {
    const TPdfPageSpec Cropped{3, 600, TPdfCrop{10, 20, 300, 400}};
    const std::string Name = PdfPageName("/data/a#b/paper.pdf", Cropped);
    EXPECT_EQ(Name, "/data/a#b/paper.pdf#page=3;dpi=600;crop=10,20,300,400");
    const auto Parsed = ParsePdfPageName(Name);
    ASSERT_TRUE(Parsed);
    EXPECT_EQ(Parsed->first, "/data/a#b/paper.pdf");
    EXPECT_EQ(Parsed->second, Cropped);
    EXPECT_EQ(SourceFileOf(Name), "/data/a#b/paper.pdf");
    EXPECT_EQ(DisplayNameOf(Name), "paper.pdf, page 3");
    EXPECT_EQ(DisplayNameOf("/data/chart.png"), "chart.png");
    EXPECT_EQ(BaseNameOf(Name), "paper page 3");
    EXPECT_EQ(BaseNameOf("/data/chart.v2.png"), "chart.v2");
    for (const char* Other : {"/data/chart.png", "/data/x.pdf#page=1", "/data/x.pdf#page=a;dpi=3",
                              "/data/x.pdf#page=1;dpi=300;crop=1,2,3", "#page=1;dpi=300"})
        EXPECT_FALSE(ParsePdfPageName(Other)) << Other;
}

TEST_F(PdfDocument, WorkIsKeyedByTheContentPageResolutionAndCrop) {
    const QByteArray Bytes = DrawnPdf({{QSizeF(300, 200), [](QPainter&) {}}});
    const std::string A = Write("a.pdf", Bytes).string(), Copy = Write("copy.pdf", Bytes).string();
    const std::string Other =
        Write("other.pdf", DrawnPdf({{QSizeF(300, 201), [](QPainter&) {}}})).string();
    const TPdfPageSpec Page1{1, 300, std::nullopt};
    const auto Key = [](const std::string& File, const TPdfPageSpec& Spec) {
        return ImageParameterFileName(PdfPageName(File, Spec));
    };
    EXPECT_EQ(Key(A, Page1), Key(Copy, Page1)); // moved or copied: the same work
    EXPECT_NE(Key(A, Page1), Key(Other, Page1));
    EXPECT_NE(Key(A, Page1), Key(A, {2, 300, std::nullopt}));
    EXPECT_NE(Key(A, Page1), Key(A, {1, 150, std::nullopt}));
    EXPECT_NE(Key(A, Page1), Key(A, {1, 300, TPdfCrop{0, 0, 10, 10}}));
    EXPECT_NE(Key(A, Page1), ImageParameterFileName(A));

    // The recent files keep a page while its PDF is there; LoadImageFile renders it.
    TRecentFilesList Recent;
    Recent.Add(PdfPageName(A, {1, 72, std::nullopt}));
    Recent.Add(PdfPageName((Dir / "gone.pdf").string(), Page1));
    ASSERT_EQ(Recent.Count(), 1);
    EXPECT_EQ(LoadImageFile(Recent.Files(0)).Image.size(), QSize(300, 200));
    EXPECT_EQ(LoadImageFile(A).Image.size(), QSize(1250, 834)); // first page, 300 dpi
}

} // namespace
} // namespace korvane
