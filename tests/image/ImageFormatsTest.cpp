#include "image/ImageFormats.h"

#include "image/readers/Readers.h"

#include <QImage>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <map>
#include <memory>
#include <unistd.h>
#include <vector>

using namespace korvane;

// Built with AddressSanitizer, these tests allow no single allocation over 1 GB, as the fuzz
// targets do: a reader that trusts a damaged length fails here, not only while fuzzing. (The
// largest image the readers accept takes 768 MB.)
extern "C" const char* __asan_default_options() {
    return "max_allocation_size_mb=1024";
}

TEST(ImageFormatRegistry, HoldsTheFormatsInOrder) {
    const std::vector<std::pair<std::string, std::string>> Expected{
        {"TIF", "TIFF file"},
        {"TIFF", "TIFF file"},
        {"PNG", "Portable Network Graphic"},
        {"TGA", "Truevision Targa"},
        {"VST", "Truevision Vista"},
        {"AFI", "Truevision Targa"},
        {"PCX", "ZSoft PC Paintbrush"},
        {"PCC", "ZSoft PC Paintbrush"},
        {"DCX", "DCX file"},
        {"JPG", "JPEG"},
        {"JPEG", "JPEG"},
        {"PPM", "Portable Pixelmap"},
        {"PGM", "Portable Greymap"},
        {"PBM", "Portable Bitmap"},
        {"BMP", "Bitmap file"},
        {"ICO", "Windows icon"},
        {"WMF", "Windows meta file"},
        {"EMF", "Enhanced meta file"},
    };
    const auto& Formats = TImageFormatRegistry::Formats();
    ASSERT_EQ(Formats.size(), Expected.size());
    for (std::size_t I = 0; I < Expected.size(); ++I) {
        EXPECT_EQ(Formats[I].Extension, Expected[I].first);
        EXPECT_EQ(Formats[I].Description, Expected[I].second);
        EXPECT_NE(Formats[I].Reader, nullptr);
    }
}

TEST(ImageFormatRegistry, ChoosesTheReaderByExtensionWithoutRegardToCase) {
    EXPECT_EQ(&TImageFormatRegistry::ForFile("/a/CHART.TIF"), &TImageFormatRegistry::Formats()[0]);
    EXPECT_EQ(&TImageFormatRegistry::ForFile("/a/chart.tif"), &TImageFormatRegistry::Formats()[0]);
    EXPECT_EQ(TImageFormatRegistry::ForFile("x.Tiff").Extension, "TIFF");
    EXPECT_EQ(TImageFormatRegistry::ForFile("dir.v2/x.jPeG").Extension, "JPEG");
    EXPECT_EQ(TImageFormatRegistry::Find(".pcc")->Reader,
              TImageFormatRegistry::Find("PCX")->Reader);
    EXPECT_EQ(TImageFormatRegistry::Find("gif"), nullptr);
}

TEST(ImageFormatRegistry, UnknownExtensionsAreNamed) {
    const std::string Junk = (std::filesystem::temp_directory_path() /
                              ("korvane-junk-" + std::to_string(::getpid()) + ".xyz"))
                                 .string();
    std::ofstream(Junk) << "no signature of any format";
    try {
        LoadImageFile(Junk);
        FAIL();
    } catch (const EImageError& E) {
        EXPECT_EQ(std::string(E.what()),
                  "\"" + Junk + "\": Unsupported image file format \".xyz\".");
    }
    std::filesystem::remove(Junk);
    EXPECT_THROW(TImageFormatRegistry::ForFile("/tmp/dir.png/noextension"), EImageError);
    try {
        LoadImageFile("/nonexistent/picture.png");
        FAIL();
    } catch (const EImageError& E) {
        EXPECT_NE(std::string(E.what()).find("/nonexistent/picture.png"), std::string::npos);
    }
}

TEST(ImageFormatRegistry, DialogFilterListsEveryExtension) {
    const std::string Filter = TImageFormatRegistry::DialogFilter();
    EXPECT_EQ(Filter.rfind("All images (*.tif *.tiff *.png ", 0), 0u) << Filter;
    EXPECT_NE(Filter.find(";;TIFF file (*.tif *.tiff);;"), std::string::npos) << Filter;
    EXPECT_NE(Filter.find(
                  ";;Truevision Targa (*.tga);;Truevision Vista (*.vst);;Truevision Targa (*.afi)"),
              std::string::npos)
        << Filter;
}

TEST(ImageModel, SizeLimitsComeBeforeAllocation) {
    EXPECT_NO_THROW(CheckImageSize(65535, 4096, "BMP"));
    EXPECT_THROW(CheckImageSize(65536, 1, "BMP"), EImageError);
    EXPECT_THROW(CheckImageSize(20000, 20000, "BMP"), EImageError); // 4e8 > 2^28
    EXPECT_THROW(CheckImageSize(0, 5, "BMP"), EImageError);
    EXPECT_THROW(CheckImageSize(5, -1, "BMP"), EImageError);
    const QImage I = NewWorkingImage(3, 2, "BMP");
    EXPECT_EQ(I.format(), QImage::Format_RGB888);
    EXPECT_EQ(I.pixel(2, 1), qRgb(255, 255, 255));
    EXPECT_EQ(CompositeOverWhite(0, 128), 127);
    EXPECT_EQ(CompositeOverWhite(200, 255), 200);
    EXPECT_EQ(CompositeOverWhite(0, 0), 255);
    EXPECT_EQ(ScaleSample(1, 1), 255);
    EXPECT_EQ(ScaleSample(2, 3), 170);
    EXPECT_EQ(ScaleSample(7, 15), 119);
}

TEST(ImageFormatRegistry, ContentComesBeforeTheExtension) {
    namespace fs = std::filesystem;
    const fs::path Dir =
        fs::temp_directory_path() / ("korvane-content-" + std::to_string(::getpid()));
    fs::create_directories(Dir);
    QImage Image(7, 5, QImage::Format_RGB888);
    Image.fill(Qt::white);
    Image.setPixel(3, 2, qRgb(200, 10, 30));
    // Written as the first format, named as the second.
    const std::pair<const char*, const char*> Cases[] = {
        {"png", "a.jpg"}, {"bmp", "b.png"}, {"ppm", "c.tif"}, {"png", "d.dat"}, {"png", "e"},
    };
    for (const auto& [Written, Named] : Cases) {
        SCOPED_TRACE(Named);
        const fs::path Real = Dir / (std::string("real.") + Written);
        SaveImageFile(Image, Real.string());
        fs::rename(Real, Dir / Named);
        const TWorkingImage Loaded = LoadImageFile((Dir / Named).string());
        EXPECT_EQ(Loaded.Image, Image);
    }
    // A JPEG saved as ".png" opens as the JPEG it is.
    if (Image.save(QString::fromStdString((Dir / "photo.png").string()), "JPG")) {
        const TWorkingImage Loaded = LoadImageFile((Dir / "photo.png").string());
        EXPECT_EQ(Loaded.Image.size(), Image.size());
    }
    // Without a signature the extension decides, and the reader's message names the file.
    const fs::path Damaged = Dir / "damaged.pcx";
    std::ofstream(Damaged) << "not a picture";
    try {
        LoadImageFile(Damaged.string());
        FAIL();
    } catch (const EImageError& E) {
        EXPECT_EQ(std::string(E.what()).rfind("\"" + Damaged.string() + "\": PCX ", 0), 0u)
            << E.what();
    }
    fs::remove_all(Dir);
}

// Inputs that once made a reader misbehave, named <reader>-<what>.<ext> after the fuzz target
// that found them: those kept in tests/data/fuzz-findings (a new finding is kept by dropping
// it there) and those in ../shared/fuzz-findings. Each is read through its reader and must
// be refused with EImageError, some with a particular message, or give a sound image.
TEST(ImageFormatRegistry, FuzzFindingsAreReadCleanly) {
    namespace fs = std::filesystem;
    const std::map<std::string, TImageReaderFunction> Readers{
        {"tiff", ReadTIFF}, {"png", ReadPNG}, {"jpeg", ReadJPEG}, {"tga", ReadTGA},
        {"pcx", ReadPCX},   {"dcx", ReadDCX}, {"pnm", ReadPNM},   {"bmp", ReadBMP},
        {"ico", ReadICO},   {"wmf", ReadWMF}, {"emf", ReadEMF}};
    const std::map<std::string, std::string> Messages{
        {"tga-colour-map-shift.tga", "TGA images of type 9 with 132 bits per pixel"},
        {"ico-size-overflow.ico", "ICO file is damaged"},
    };
    const fs::path Kept = fs::path(KORVANE_TEST_DATA_DIR) / "fuzz-findings";
    const fs::path Shared = fs::path(KORVANE_SHARED_DIR) / "fuzz-findings";
    std::vector<fs::path> Files;
    for (const fs::path& Folder : {Kept, Shared})
        if (fs::is_directory(Folder))
            for (const fs::directory_entry& Entry : fs::directory_iterator(Folder))
                Files.push_back(Entry.path());
    ASSERT_GE(Files.size(), Messages.size());
    for (const fs::path& File : Files) {
        const std::string Name = File.filename().string();
        const std::string Reader = Name.substr(0, Name.find('-'));
        ASSERT_TRUE(Readers.contains(Reader)) << File << " is not named <reader>-<what>.<ext>";
        std::string Format = Reader;
        for (char& C : Format)
            C = char(std::toupper(static_cast<unsigned char>(C)));
        std::ifstream Stream(File, std::ios::binary);
        const std::vector<std::uint8_t> Bytes((std::istreambuf_iterator<char>(Stream)), {});
        const auto Message = Messages.find(Name);
        // From memory, as the fuzz targets read, and from the file, as the program does.
        for (const bool FromMemory : {true, false}) {
            SCOPED_TRACE(File.string() + (FromMemory ? " from memory" : " from the file"));
            try {
                auto Input = FromMemory
                                 ? std::make_unique<TByteReader>(Bytes.data(), Bytes.size(), Format)
                                 : std::make_unique<TByteReader>(File.string(), Format);
                const QImage Image = Readers.at(Reader)(*Input).Image;
                EXPECT_EQ(Message, Messages.end()) << "was read";
                EXPECT_EQ(Image.format(), QImage::Format_RGB888);
                EXPECT_TRUE(Image.width() >= 1 && Image.width() <= MaxImageSide &&
                            Image.height() >= 1 && Image.height() <= MaxImageSide &&
                            std::int64_t(Image.width()) * Image.height() <= MaxImagePixels);
            } catch (const EImageError& E) {
                if (Message != Messages.end()) {
                    EXPECT_NE(std::string(E.what()).find(Message->second), std::string::npos)
                        << E.what();
                }
            }
        }
    }
}
