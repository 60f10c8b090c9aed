#include "CorpusSupport.h"
#include "image/ImageFormats.h"
#include "image/readers/Readers.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <jpeglib.h>
#include <string>
#include <unistd.h>
#include <vector>

using namespace korvane;
using namespace korvane::testing;

namespace {

std::string WriteTempFile(const std::string& Name, const std::vector<std::uint8_t>& Bytes) {
    const std::string Path = ::testing::TempDir() + "/" + std::to_string(::getpid()) + "_" + Name;
    std::ofstream(Path, std::ios::binary)
        .write(reinterpret_cast<const char*>(Bytes.data()),
               static_cast<std::streamsize>(Bytes.size()));
    return Path;
}

TWorkingImage ReadJpegMemory(const std::vector<std::uint8_t>& Bytes) {
    TByteReader Input(Bytes.data(), Bytes.size(), "JPEG");
    return ReadJPEG(Input);
}

std::string ErrorOf(const std::vector<std::uint8_t>& Bytes) {
    try {
        ReadJpegMemory(Bytes);
    } catch (const EImageError& Error) {
        return Error.what();
    }
    return "no error";
}

// A JPEG of an RGB picture, with Markers application segments of 65533 bytes before the
// frame.
std::vector<std::uint8_t> Compress(const QImage& Picture, bool Progressive, int Markers) {
    jpeg_compress_struct Info;
    jpeg_error_mgr Error;
    Info.err = jpeg_std_error(&Error);
    jpeg_create_compress(&Info);
    unsigned char* Buffer = nullptr;
    unsigned long Size = 0;
    jpeg_mem_dest(&Info, &Buffer, &Size);
    Info.image_width = static_cast<JDIMENSION>(Picture.width());
    Info.image_height = static_cast<JDIMENSION>(Picture.height());
    Info.input_components = 3;
    Info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&Info);
    jpeg_set_quality(&Info, 100, TRUE);
    if (Progressive)
        jpeg_simple_progression(&Info);
    jpeg_start_compress(&Info, TRUE);
    // End-of-image markers: a reader that loses its place in them stops early.
    std::vector<JOCTET> Payload(65533, 0xFF);
    for (std::size_t I = 1; I < Payload.size(); I += 2)
        Payload[I] = 0xD9;
    for (int M = 0; M < Markers; ++M)
        jpeg_write_marker(&Info, JPEG_APP0 + 1 + M, Payload.data(),
                          static_cast<unsigned>(Payload.size()));
    while (Info.next_scanline < Info.image_height) {
        JSAMPROW Row =
            const_cast<JSAMPROW>(Picture.constScanLine(static_cast<int>(Info.next_scanline)));
        jpeg_write_scanlines(&Info, &Row, 1);
    }
    jpeg_finish_compress(&Info);
    jpeg_destroy_compress(&Info);
    std::vector<std::uint8_t> Out(Buffer, Buffer + Size);
    std::free(Buffer);
    return Out;
}

double MeanDifference(const QImage& A, const QImage& B) {
    double Sum = 0;
    for (int Y = 0; Y < A.height(); ++Y)
        for (int X = 0; X < A.width() * 3; ++X)
            Sum += std::abs(A.constScanLine(Y)[X] - B.constScanLine(Y)[X]);
    return Sum / (double(A.width()) * A.height() * 3);
}

// The offset of the first byte after the first SOS segment.
std::size_t ScanStart(const std::vector<std::uint8_t>& Jpeg) {
    for (std::size_t I = 0; I + 3 < Jpeg.size(); ++I)
        if (Jpeg[I] == 0xFF && Jpeg[I + 1] == 0xDA)
            return I + 2 + (std::size_t(Jpeg[I + 2]) << 8 | Jpeg[I + 3]);
    return 0;
}

} // namespace

TEST(JpegReader, Corpus) {
    CheckCorpusFormat("JPEG");
}

TEST(JpegReader, MemoryAndFileAgree) {
    CheckMemoryAndFileAgree("JPEG", ReadJPEG);
}

// Files larger than the reader's file buffer, with segments that are skipped past it.
TEST(JpegReader, LargeFilesThroughTheFileBuffer) {
    QImage Picture(300, 200, QImage::Format_RGB888);
    for (int Y = 0; Y < Picture.height(); ++Y)
        for (int X = 0; X < Picture.width(); ++X) {
            std::uint8_t* P = Picture.scanLine(Y) + X * 3;
            P[0] = static_cast<std::uint8_t>(X);
            P[1] = static_cast<std::uint8_t>(Y);
            P[2] = static_cast<std::uint8_t>((X + Y) / 2);
        }
    for (const bool Progressive : {false, true}) {
        SCOPED_TRACE(Progressive ? "progressive" : "baseline");
        const std::vector<std::uint8_t> Jpeg = Compress(Picture, Progressive, 3);
        ASSERT_GT(Jpeg.size(), 3u * 65536);
        const TWorkingImage FromFile = LoadImageFile(WriteTempFile("korvane_large.jpg", Jpeg));
        EXPECT_EQ(FromFile.Image, ReadJpegMemory(Jpeg).Image);
        EXPECT_LT(MeanDifference(FromFile.Image, Picture), 2.0);
    }
}

TEST(JpegReader, DamagedScansAreErrors) {
    if (!CorpusAvailable())
        GTEST_SKIP();
    const std::vector<std::uint8_t> Jpeg = ReadFileBytes(CorpusPath("jpeg/baseline_420.jpg"));
    const std::size_t Scan = ScanStart(Jpeg);
    ASSERT_GT(Scan, 0u);
    const std::size_t Half = Scan + (Jpeg.size() - Scan) / 2;

    // libjpeg only warns about these and fills in grey.
    std::vector<std::uint8_t> CutByMarker(Jpeg.begin(), Jpeg.begin() + Half);
    CutByMarker.insert(CutByMarker.end(), {0xFF, 0xD9});
    EXPECT_EQ(ErrorOf(CutByMarker),
              "JPEG file is damaged: Corrupt JPEG data: premature end of data segment.");
    const std::vector<std::uint8_t> Cut(Jpeg.begin(), Jpeg.begin() + Half);
    EXPECT_EQ(ErrorOf(Cut), "JPEG file is truncated.");
    const std::string CutFile = WriteTempFile("korvane_cut.jpg", Cut);
    EXPECT_THROW(LoadImageFile(CutFile), EImageError);
}

// A frame that declares far more pixels than its scan can hold is refused before the image
// is allocated.
TEST(JpegReader, DeclaredSizeMustFitTheFile) {
    if (!CorpusAvailable())
        GTEST_SKIP();
    std::vector<std::uint8_t> Jpeg = ReadFileBytes(CorpusPath("jpeg/tiny_7x5.jpg"));
    const std::uint8_t StartOfFrame[] = {0xFF, 0xC0};
    const auto Frame =
        std::search(Jpeg.begin(), Jpeg.end(), std::begin(StartOfFrame), std::end(StartOfFrame));
    ASSERT_NE(Frame, Jpeg.end());
    // Height and width: 16000 x 16000.
    Frame[5] = Frame[7] = 16000 >> 8;
    Frame[6] = Frame[8] = 16000 & 0xFF;
    EXPECT_EQ(ErrorOf(Jpeg), "JPEG file is truncated.");
}
