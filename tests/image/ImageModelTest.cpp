#include "image/ImageModel.h"

#include "core/AtomicFile.h"
#include "core/Errors.h"

#include <QImage>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <unistd.h>

using namespace korvane;
namespace fs = std::filesystem;

namespace {

std::string Content(const fs::path& File) {
    std::ifstream In(File, std::ios::binary);
    std::stringstream S;
    S << In.rdbuf();
    return S.str();
}

} // namespace

TEST(SaveImageFile, WritesTheFormatOfTheNameAndNeverLosesTheOldFile) {
    const fs::path Dir =
        fs::temp_directory_path() / ("korvane-save-image-" + std::to_string(getpid()));
    fs::remove_all(Dir);
    fs::create_directories(Dir);
    QImage Image(7, 5, QImage::Format_RGB888);
    Image.fill(Qt::red);
    Image.setPixelColor(3, 2, Qt::blue);

    struct TCase {
        const char* Name;
        const char* Magic;
    };
    for (const TCase& Case : {TCase{"a.png", "\x89PNG"}, TCase{"b.BMP", "BM"}, TCase{"c.ppm", "P6"},
                              TCase{"d.tif", "\x89PNG"}}) {
        SCOPED_TRACE(Case.Name);
        const fs::path File = Dir / Case.Name;
        SaveImageFile(Image, File.string());
        EXPECT_EQ(Content(File).rfind(Case.Magic, 0), 0u);
        const QImage Read(QString::fromStdString(File.string()));
        ASSERT_FALSE(Read.isNull());
        EXPECT_EQ(Read.pixelColor(3, 2), QColor(Qt::blue));
        EXPECT_EQ(Read.pixelColor(0, 0), QColor(Qt::red));
    }

    // An image that cannot be encoded, a target that cannot be replaced: an error naming the
    // file, the old file as it was, and no temporary file left.
    const fs::path Old = Dir / "a.png";
    const std::string Before = Content(Old);
    EXPECT_THROW(SaveImageFile(QImage(), Old.string()), EWriteError);
    EXPECT_EQ(Content(Old), Before);
    fs::create_directories(Dir / "folder.png" / "inside");
    try {
        SaveImageFile(Image, (Dir / "folder.png").string());
        ADD_FAILURE() << "no error";
    } catch (const EKorvane& E) {
        EXPECT_NE(std::string(E.what()).find((Dir / "folder.png").string()), std::string::npos);
    }
    EXPECT_TRUE(fs::is_directory(Dir / "folder.png" / "inside"));
    for (const auto& Entry : fs::directory_iterator(Dir))
        EXPECT_FALSE(IsTemporaryFileName(Entry.path().filename().string())) << Entry.path();
    fs::remove_all(Dir);
}
