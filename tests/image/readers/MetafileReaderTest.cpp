#include "CorpusSupport.h"
#include "image/ImageFormats.h"
#include "image/readers/Readers.h"
#include "image/readers/metafile/GdiObjects.h"
#include "image/readers/metafile/MetafilePlayers.h"

#include <QJsonObject>
#include <chrono>
#include <gtest/gtest.h>
#include <iostream>

// Fontconfig, which Qt's text drawing loads, keeps a little of its parsed configuration
// until the process ends; the leak checker is told so.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

namespace korvane {
namespace {

using namespace testing;
using TBytes = std::vector<std::uint8_t>;

// ---- Building metafiles in memory ---------------------------------------------------------

void Put16(TBytes& B, int V) {
    B.push_back(std::uint8_t(V));
    B.push_back(std::uint8_t(V >> 8));
}

void Put32(TBytes& B, std::int64_t V) {
    for (int Shift = 0; Shift < 32; Shift += 8)
        B.push_back(std::uint8_t(V >> Shift));
}

TBytes Words(std::initializer_list<int> Values) {
    TBytes B;
    for (int V : Values)
        Put16(B, V);
    return B;
}

TBytes Longs(std::initializer_list<std::int64_t> Values) {
    TBytes B;
    for (std::int64_t V : Values)
        Put32(B, V);
    return B;
}

TBytes operator+(TBytes A, const TBytes& B) {
    A.insert(A.end(), B.begin(), B.end());
    return A;
}

// A WMF record; Size overrides the size field (in words).
TBytes WmfRecord(int Function, const TBytes& Parameters, std::int64_t Size = -1) {
    TBytes B;
    Put32(B, Size >= 0 ? Size : 3 + std::int64_t(Parameters.size()) / 2);
    Put16(B, Function);
    return B + Parameters;
}

struct TBox {
    int Left, Top, Right, Bottom, UnitsPerInch;
};

// A WMF: the placeable header when Box is given, the standard header, the records, and an
// EOF record unless told otherwise.
TBytes Wmf(const std::vector<TBytes>& Records, std::optional<TBox> Box, bool Eof = true) {
    TBytes B;
    if (Box) {
        B = Longs({0x9AC6CDD7}) +
            Words({0, Box->Left, Box->Top, Box->Right, Box->Bottom, Box->UnitsPerInch, 0, 0});
        int Sum = 0;
        for (std::size_t I = 0; I < B.size(); I += 2)
            Sum ^= B[I] | (B[I + 1] << 8);
        Put16(B, Sum);
    }
    B = B + Words({1, 9, 0x300, 0, 0, 8, 0, 0, 0});
    for (const TBytes& R : Records)
        B = B + R;
    if (Eof)
        B = B + WmfRecord(0, {});
    return B;
}

TBytes EmfRecord(std::uint32_t Type, const TBytes& Parameters, std::int64_t Size = -1) {
    TBytes B;
    Put32(B, Type);
    Put32(B, Size >= 0 ? Size : 8 + std::int64_t(Parameters.size()));
    return B + Parameters;
}

// An EMF whose frame is Frame (0.01 mm) on a 96 dpi reference device.
TBytes Emf(const std::vector<TBytes>& Records, std::initializer_list<std::int64_t> Frame,
           bool Eof = true) {
    TBytes B = EmfRecord(1, Longs({0, 0, 0, 0}) + Longs(Frame) +
                                Longs({0x464D4520, 0x10000, 0, 0, 16, 0, 0, 0}) +
                                Longs({960, 960, 254, 254}));
    for (const TBytes& R : Records)
        B = B + R;
    if (Eof)
        B = B + EmfRecord(14, Longs({0, 16, 20}));
    return B;
}

TWorkingImage Decode(const TBytes& Bytes, const std::string& Format) {
    TByteReader Input(Bytes.data(), Bytes.size(), Format);
    return Format == "WMF" ? ReadWMF(Input) : ReadEMF(Input);
}

QColor Pixel(const TWorkingImage& Result, int X, int Y) {
    return Result.Image.pixelColor(X, Y);
}

// ---- The corpus ---------------------------------------------------------------------------

TEST(MetafileReader, WmfCorpus) {
    CheckCorpusFormat("WMF");
}

TEST(MetafileReader, EmfCorpus) {
    CheckCorpusFormat("EMF");
}

// Large pictures are drawn in bands, each a replay of the file: no seams, no lost state. The
// anti-aliasing may round a little differently away from the origin. Also reports how close
// the renders come to the references: the unmatched-ink fractions, each way.
TEST(MetafileReader, BandsDrawTheSamePicture) {
    if (!CorpusAvailable())
        GTEST_SKIP() << "the shared corpus is not beside the checkout";
    for (const char* Format : {"WMF", "EMF"})
        for (const TCorpusEntry& E : CorpusEntries(Format)) {
            if (E.Reference.empty())
                continue;
            SCOPED_TRACE(E.File);
            const QImage Whole = LoadImageFile(CorpusPath(E.File)).Image;
            QJsonObject Strict = E.Tolerance;
            Strict["max_unmatched_ink"] = -1.0; // always gives the fractions
            const QImage Reference = ReadReferencePPM(CorpusPath(E.Reference));
            std::cout << E.File << ": "
                      << CompareImages(Reference, Whole, E.Compare, Strict).value_or("identical")
                      << "\n";

            TByteReader Input(CorpusPath(E.File), Format);
            // Bands of a few rows each.
            const TMetafileDrawing Drawing{.BandBytes = 5000};
            const QImage Banded = std::string(Format) == "WMF" ? PlayWMF(Input, Drawing).Image
                                                               : PlayEMF(Input, Drawing).Image;
            ASSERT_EQ(Whole.size(), Banded.size());
            int Largest = 0;
            for (int Y = 0; Y < Whole.height(); ++Y)
                for (int X = 0; X < Whole.width() * 3; ++X)
                    Largest = std::max(
                        Largest, std::abs(Whole.constScanLine(Y)[X] - Banded.constScanLine(Y)[X]));
            EXPECT_LE(Largest, 8);
        }
}

// ---- Hand-built files ---------------------------------------------------------------------

// A red solid brush, a null pen, and a rectangle.
std::vector<TBytes> RedRectangle(int Left, int Top, int Right, int Bottom) {
    return {WmfRecord(0x02FC, Words({0}) + Longs({0x002010C8}) + Words({0})), // brush (200,16,32)
            WmfRecord(0x012D, Words({0})),
            WmfRecord(0x02FA, Words({5, 0, 0}) + Longs({0})), // PS_NULL pen
            WmfRecord(0x012D, Words({1})), WmfRecord(0x041B, Words({Bottom, Right, Top, Left}))};
}

TEST(MetafileReader, WmfSizeAndPlacement) {
    const QColor Red(200, 16, 32);
    {
        // 1000 x 500 units at 1000 per inch: 96 x 48 pixels; the top-left quarter is red.
        const auto R =
            Decode(Wmf(RedRectangle(0, 0, 500, 250), TBox{0, 0, 1000, 500, 1000}), "WMF");
        ASSERT_EQ(R.Image.format(), QImage::Format_RGB888);
        EXPECT_EQ(R.Image.size(), QSize(96, 48));
        EXPECT_EQ(R.PixelFormat, EPixelFormat::TrueColor);
        EXPECT_EQ(Pixel(R, 10, 10), Red);
        EXPECT_EQ(Pixel(R, 44, 20), Red);
        EXPECT_EQ(Pixel(R, 52, 10), QColor(Qt::white));
        EXPECT_EQ(Pixel(R, 10, 28), QColor(Qt::white));
    }
    {
        // Standard: the first window extent in pixels. Its negative height puts y upwards,
        // so the lower-left quarter of the logical plane is the lower left of the image.
        std::vector<TBytes> Records = {WmfRecord(0x020C, Words({-100, 200})),
                                       WmfRecord(0x020B, Words({100, 0}))};
        for (const TBytes& Record : RedRectangle(0, 0, 100, 50))
            Records.push_back(Record);
        const auto R = Decode(Wmf(Records, std::nullopt), "WMF");
        EXPECT_EQ(R.Image.size(), QSize(200, 100));
        EXPECT_EQ(Pixel(R, 20, 90), Red);
        EXPECT_EQ(Pixel(R, 20, 10), QColor(Qt::white));
        EXPECT_EQ(Pixel(R, 150, 90), QColor(Qt::white));
    }
}

TEST(MetafileReader, EmfMappingClippingAndStockObjects) {
    // A 96 x 48 pixel frame; 1000 x 500 logical units fill it. A polygon over everything,
    // clipped to the left half, with a stock null pen.
    const auto R = Decode(
        Emf({EmfRecord(17, Longs({8})),                                     // MM_ANISOTROPIC
             EmfRecord(9, Longs({1000, 500})),                              // window extent
             EmfRecord(11, Longs({96, 48})),                                // viewport extent
             EmfRecord(39, Longs({1, 0, 0x00C01000, 0})),                   // brush 1: (0, 16, 192)
             EmfRecord(37, Longs({1})), EmfRecord(37, Longs({0x80000008})), // NULL_PEN
             EmfRecord(33, {}),                                             // SaveDC
             EmfRecord(30, Longs({0, 0, 500, 500})),                        // IntersectClipRect
             EmfRecord(86, Longs({0, 0, 0, 0, 4}) + Words({0, 0, 1000, 0, 1000, 500, 0, 500})),
             EmfRecord(34, Longs({-1})),                   // RestoreDC: no clip any more
             EmfRecord(43, Longs({900, 400, 1000, 500}))}, // Rectangle, bottom right
            {0, 0, 2540, 1270}),
        "EMF");
    const QColor Blue(0, 16, 192);
    EXPECT_EQ(R.Image.size(), QSize(96, 48));
    EXPECT_EQ(Pixel(R, 20, 24), Blue);
    EXPECT_EQ(Pixel(R, 44, 40), Blue);
    EXPECT_EQ(Pixel(R, 60, 24), QColor(Qt::white));
    EXPECT_EQ(Pixel(R, 93, 45), Blue);
}

// A polygon over the whole 96 x 48 picture, after records that set the clipping through a
// path. A path of four corners is a rectangle only when its sides run along the axes: a bow
// tie through the same corners is two triangles. Without an ended path, SelectClipPath keeps
// the clipping as it is.
// A drawing limited to MaxSide scales the whole picture down, mapping included; the size is
// still checked as the file gives it.
TEST(MetafileReader, SmallerDrawingScalesThePicture) {
    const TBytes WmfQuarter = Wmf(RedRectangle(0, 0, 500, 250), TBox{0, 0, 1000, 500, 1000});
    const TBytes EmfQuarter =
        Emf({EmfRecord(39, Longs({1, 0, 0x002010C8, 0})), EmfRecord(37, Longs({1})),
             EmfRecord(37, Longs({0x80000008})), EmfRecord(43, Longs({0, 0, 48, 24}))},
            {0, 0, 2540, 1270});
    const struct {
        const char* Name;
        TBytes File;
        std::string Format;
        std::int64_t MaxSide;
        QSize Size;
    } Cases[] = {
        {"WMF", WmfQuarter, "WMF", 24, {24, 12}},
        {"EMF", EmfQuarter, "EMF", 24, {24, 12}},
        {"WMF smaller than the limit", WmfQuarter, "WMF", 500, {96, 48}},
        {"EMF smaller than the limit", EmfQuarter, "EMF", 500, {96, 48}},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        TByteReader Input(C.File.data(), C.File.size(), C.Format);
        const TMetafileDrawing Drawing{.MaxSide = C.MaxSide};
        const TWorkingImage R =
            C.Format == "WMF" ? PlayWMF(Input, Drawing) : PlayEMF(Input, Drawing);
        ASSERT_EQ(R.Image.size(), C.Size);
        const int W = C.Size.width(), H = C.Size.height();
        EXPECT_EQ(Pixel(R, W / 4, H / 4), QColor(200, 16, 32));
        EXPECT_EQ(Pixel(R, W * 3 / 4, H / 4), QColor(Qt::white));
        EXPECT_EQ(Pixel(R, W / 4, H * 3 / 4), QColor(Qt::white));
    }
    const TBytes Huge = Wmf(RedRectangle(0, 0, 10, 10), TBox{0, 0, 30000, 100, 10});
    TByteReader Input(Huge.data(), Huge.size(), "WMF");
    try {
        PlayWMF(Input, {.MaxSide = 24});
        ADD_FAILURE() << "no error";
    } catch (const EImageError& Error) {
        EXPECT_NE(std::string(Error.what()).find("too large"), std::string::npos) << Error.what();
    }
}

TEST(MetafileReader, EmfClipPath) {
    // MoveToEx (0, 0), PolylineTo through Points, CloseFigure.
    auto Figure = [](std::initializer_list<std::int64_t> Points) {
        return EmfRecord(27, Longs({0, 0})) +
               EmfRecord(6, Longs({0, 0, 0, 0, std::int64_t(Points.size()) / 2}) + Longs(Points)) +
               EmfRecord(61, {});
    };
    const TBytes Square = Figure({48, 0, 48, 48, 0, 48}), BowTie = Figure({96, 48, 96, 0, 0, 48});
    const TBytes BeginPath = EmfRecord(59, {}), EndPath = EmfRecord(60, {}),
                 AbortPath = EmfRecord(68, {}), FillPath = EmfRecord(62, Longs({0, 0, 0, 0}));
    const TBytes SelectCopy = EmfRecord(67, Longs({5})), SelectAnd = EmfRecord(67, Longs({1}));
    const TBytes LeftHalf = EmfRecord(30, Longs({0, 0, 48, 48})); // IntersectClipRect
    const std::vector<QPoint> Left = {{4, 4}, {44, 44}}, Right = {{52, 4}, {92, 44}};
    const struct {
        const char* Name;
        TBytes Clip;
        std::vector<QPoint> Painted, Spared;
    } Cases[] = {
        {"rectangle", BeginPath + Square + EndPath + SelectCopy, Left, Right},
        {"bow tie",
         BeginPath + BowTie + EndPath + SelectCopy,
         {{4, 24}, {92, 24}},
         {{48, 4}, {48, 44}, {20, 4}}},
        {"aborted path", LeftHalf + BeginPath + BowTie + AbortPath + SelectAnd, Left, Right},
        {"path already filled", LeftHalf + BeginPath + BowTie + EndPath + FillPath + SelectAnd,
         Left, Right},
    };
    const QColor Blue(0, 16, 192);
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        const auto R = Decode(
            Emf({C.Clip, EmfRecord(39, Longs({1, 0, 0x00C01000, 0})), // brush 1: (0, 16, 192)
                 EmfRecord(37, Longs({1})), EmfRecord(37, Longs({0x80000008})), // NULL_PEN
                 EmfRecord(86, Longs({0, 0, 0, 0, 4}) + Words({0, 0, 96, 0, 96, 48, 0, 48}))},
                {0, 0, 2540, 1270}),
            "EMF");
        ASSERT_EQ(R.Image.size(), QSize(96, 48));
        for (QPoint P : C.Painted)
            EXPECT_EQ(Pixel(R, P.x(), P.y()), Blue) << P.x() << "," << P.y();
        for (QPoint P : C.Spared)
            EXPECT_EQ(Pixel(R, P.x(), P.y()), QColor(Qt::white)) << P.x() << "," << P.y();
    }
}

// WMF objects go to the lowest slot a deletion emptied, else to the next new one; EMF names
// its slots, as far apart as it likes below the limit.
TEST(MetafileReader, ObjectTableSlots) {
    auto Pen = [](double Width) {
        TGdiPen P;
        P.Width = Width;
        return TGdiObject(P);
    };
    auto WidthAt = [](const TGdiObjectTable& Table, std::uint32_t Index) {
        const TGdiObject* Object = Table.Get(Index);
        return Object ? std::get<TGdiPen>(*Object).Width : -1.0;
    };
    TGdiObjectTable Wmf;
    for (int Width = 0; Width < 4; ++Width)
        Wmf.Add(Pen(Width));
    Wmf.Delete(2);
    Wmf.Delete(0);
    Wmf.Delete(7);
    for (double Width : {10, 12, 14})
        Wmf.Add(Pen(Width));
    for (const auto& [Index, Width] :
         {std::pair{0u, 10.0}, {1u, 1.0}, {2u, 12.0}, {3u, 3.0}, {4u, 14.0}, {5u, -1.0}})
        EXPECT_EQ(WidthAt(Wmf, Index), Width) << Index;

    TGdiObjectTable Emf;
    Emf.Put(65535, Pen(5));
    Emf.Put(65536, Pen(6));
    Emf.Put(3, Pen(7));
    Emf.Put(3, Pen(8));
    EXPECT_EQ(WidthAt(Emf, 65535), 5);
    EXPECT_EQ(WidthAt(Emf, 65536), -1);
    EXPECT_EQ(WidthAt(Emf, 3), 8);
    EXPECT_EQ(WidthAt(Emf, 4), -1);
    Emf.Delete(3);
    EXPECT_EQ(WidthAt(Emf, 3), -1);
}

TEST(MetafileReader, StructuralErrors) {
    const TBox Box{0, 0, 100, 100, 96};
    const struct {
        const char* Name;
        TBytes File;
        std::string Format;
        const char* Message;
    } Cases[] = {
        {"WMF record of size 0",
         Wmf({WmfRecord(0x0213, Words({1, 1})), WmfRecord(0x0213, Words({2, 2}), 0)}, Box), "WMF",
         "invalid size"},
        {"WMF without EOF record", Wmf({WmfRecord(0x0213, Words({1, 1}))}, Box, false), "WMF",
         "truncated"},
        {"WMF record past the end", Wmf({WmfRecord(0x0213, Words({1, 1}), 1000)}, Box, false),
         "WMF", "beyond the end"},
        {"standard WMF without window extent", Wmf({WmfRecord(0x0213, Words({1, 1}))}, {}), "WMF",
         "window extent"},
        {"placeable WMF at 0 units per inch", Wmf({}, TBox{0, 0, 100, 100, 0}), "WMF",
         "units per inch"},
        {"EMF record of size 0", Emf({EmfRecord(54, Longs({1, 1}), 0)}, {0, 0, 1000, 1000}), "EMF",
         "invalid size"},
        {"EMF without EOF record", Emf({EmfRecord(54, Longs({1, 1}))}, {0, 0, 1000, 1000}, false),
         "EMF", "truncated"},
        {"EMF with an inverted frame", Emf({}, {1000, 0, 0, 1000}), "EMF", "dimensions"},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        try {
            Decode(C.File, C.Format);
            ADD_FAILURE() << "no error";
        } catch (const EImageError& Error) {
            EXPECT_NE(std::string(Error.what()).find(C.Message), std::string::npos) << Error.what();
        }
    }
}

// Records that lie about their contents, or draw absurd geometry, must neither crash, hang
// nor allocate on their say-so: the picture is still played at its own size.
TEST(MetafileReader, HostileRecordsArePlayedSafely) {
    const TBox Box{0, 0, 100, 100, 96};
    const struct {
        const char* Name;
        TBytes File;
        std::string Format;
    } Cases[] = {
        {"WMF objects out of range",
         Wmf({WmfRecord(0x012D, Words({60000})), WmfRecord(0x01F0, Words({65535})),
              WmfRecord(0x0127, Words({-5})), WmfRecord(0x0127, Words({3}))},
             Box),
         "WMF"},
        {"WMF polygon counts beyond the record",
         Wmf({WmfRecord(0x0324, Words({32767, 1, 1})), WmfRecord(0x0324, Words({-3, 1, 1})),
              WmfRecord(0x0538, Words({3, 30000, 30000, 30000, 1, 1})),
              WmfRecord(0x0A32, Words({10, 10, 30000, 6, 0, 0, 50, 50}))},
             Box),
         "WMF"},
        {"WMF huge geometry",
         Wmf({WmfRecord(0x020C, Words({1, 1})),                     // one unit covers the image
              WmfRecord(0x02FA, Words({1, 32767, 0}) + Longs({0})), // wide dashed pen
              WmfRecord(0x012D, Words({0})),
              WmfRecord(0x0418, Words({32767, 32767, -32768, -32768})),
              WmfRecord(0x0214, Words({-32768, -32768})), WmfRecord(0x0213, Words({32767, 32767})),
              WmfRecord(0x02FA, Words({2, 0, 0}) + Longs({0})), // one-pixel dotted pen
              WmfRecord(0x012D, Words({1})), WmfRecord(0x0213, Words({-32768, 32767})),
              WmfRecord(0x02FB, Words({-32768, 0, 0, 0, 400, 0}) + TBytes(18, 'A')),
              WmfRecord(0x012D, Words({2})), WmfRecord(0x0521, Words({2, 0x4141, 0, 0}))},
             Box),
         "WMF"},
        {"EMF counts and offsets beyond the record",
         Emf({EmfRecord(3, Longs({0, 0, 0, 0, 0x7FFFFFFF, 1, 1})),
              EmfRecord(8, Longs({0, 0, 0, 0, 0x40000000, 4, 4, 4})),
              EmfRecord(84, Longs({0, 0, 0, 0, 1, 0, 0, 5, 5, 0x7FFFFFF0, 0x7FFFFFF0, 0, 0, 0, 0, 0,
                                   0x7FFFFFF0})),
              EmfRecord(75, Longs({32, 5, 32, 1, 0x10000000, 0, 0, 0, 0, 0})),
              EmfRecord(37, Longs({0x7FFFFFFF})), EmfRecord(40, Longs({0xFFFFFFFF}))},
             {0, 0, 1000, 1000}),
         "EMF"},
        {"EMF absurd transforms",
         Emf({EmfRecord(35, Longs({0x7F7FFFFF, 0, 0, 0x7F7FFFFF, 0, 0})),    // 3e38 scale
              EmfRecord(36, Longs({0x7F7FFFFF, 0, 0, 0x7F7FFFFF, 0, 0, 2})), // overflows
              EmfRecord(36, Longs({0x7FC00000, 0, 0, 1, 0, 0, 4})),          // NaN
              EmfRecord(42, Longs({-0x7FFFFFFF, -0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF})),
              EmfRecord(35, Longs({0x3F800000, 0, 0, 0x3F800000, 0, 0})),
              EmfRecord(9, Longs({1, 1})), EmfRecord(17, Longs({8})),
              EmfRecord(11, Longs({0x7FFFFFFF, 0x7FFFFFFF})),
              EmfRecord(41, Longs({0, 0, 0x7FFFFFFF, 0x7F7FFFFF, 0x7F7FFFFF}))},
             {0, 0, 1000, 1000}),
         "EMF"},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        const auto Start = std::chrono::steady_clock::now();
        TWorkingImage R;
        EXPECT_NO_THROW(R = Decode(C.File, C.Format));
        EXPECT_FALSE(R.Image.isNull());
        EXPECT_LT(std::chrono::steady_clock::now() - Start, std::chrono::seconds(10));
    }
}

} // namespace
} // namespace korvane
