#include "CorpusSupport.h"

#include "image/ImageFormats.h"
#include "image/readers/ByteReader.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>

namespace korvane::testing {

std::string CorpusDir() {
    return std::string(KORVANE_SHARED_DIR) + "/formats";
}

std::string CorpusPath(const std::string& Relative) {
    return CorpusDir() + "/" + Relative;
}

bool CorpusAvailable() {
    return std::filesystem::exists(CorpusPath("manifest.json"));
}

std::vector<TCorpusEntry> CorpusEntries(const std::string& Format) {
    QFile File(QString::fromStdString(CorpusPath("manifest.json")));
    if (!File.open(QIODevice::ReadOnly))
        return {};
    const QJsonArray Entries =
        QJsonDocument::fromJson(File.readAll()).object()["entries"].toArray();
    std::vector<TCorpusEntry> Result;
    for (const QJsonValue& Value : Entries) {
        const QJsonObject O = Value.toObject();
        TCorpusEntry E;
        E.File = O["file"].toString().toStdString();
        E.Format = O["format"].toString().toStdString();
        if (!Format.empty() && E.Format != Format)
            continue;
        E.Variant = O["variant"].toString().toStdString();
        E.Width = O["width"].toInt();
        E.Height = O["height"].toInt();
        E.Reference = O["reference"].toString().toStdString();
        E.Compare = O["compare"].toString().toStdString();
        E.Tolerance = O["tolerance"].toObject();
        E.Expect = O["expect"].toString().toStdString();
        E.Raw = O;
        Result.push_back(E);
    }
    return Result;
}

QImage ReadReferencePPM(const std::string& Path) {
    std::ifstream In(Path, std::ios::binary);
    std::string Magic;
    int W = 0, H = 0, MaxVal = 0;
    In >> Magic >> W >> H >> MaxVal;
    In.get();
    if (!In || Magic != "P6" || MaxVal != 255 || W <= 0 || H <= 0)
        return {};
    QImage Image(W, H, QImage::Format_RGB888);
    for (int Y = 0; Y < H; ++Y)
        In.read(reinterpret_cast<char*>(Image.scanLine(Y)), std::streamsize(W) * 3);
    return In ? Image : QImage();
}

namespace {

// Pixel access over an RGB888 image as int channels.
struct TPixels {
    int W = 0, H = 0;
    std::vector<int> C; // H * W * 3
    explicit TPixels(const QImage& Source) {
        const QImage I = Source.convertToFormat(QImage::Format_RGB888);
        W = I.width();
        H = I.height();
        C.resize(std::size_t(W) * H * 3);
        for (int Y = 0; Y < H; ++Y) {
            const uchar* Row = I.constScanLine(Y);
            std::copy(Row, Row + W * 3, C.begin() + std::ptrdiff_t(Y) * W * 3);
        }
    }
    const int* At(int X, int Y) const { return &C[(std::size_t(Y) * W + X) * 3]; }
};

std::string SizeText(const QImage& I) {
    return std::to_string(I.width()) + "x" + std::to_string(I.height());
}

double Get(const QJsonObject& Tol, const char* Key, double Default) {
    return Tol.contains(Key) ? Tol[Key].toDouble() : Default;
}

// numpy.percentile with linear interpolation.
double Percentile(std::vector<int> Values, double P) {
    std::sort(Values.begin(), Values.end());
    const double Rank = P / 100.0 * double(Values.size() - 1);
    const std::size_t Low = std::size_t(std::floor(Rank));
    const std::size_t High = std::min(Low + 1, Values.size() - 1);
    return Values[Low] + (Rank - double(Low)) * (Values[High] - Values[Low]);
}

std::optional<std::string> CompareMeta(const QImage& RefImage, const QImage& GotImage,
                                       const QJsonObject& Tol) {
    const TPixels Ref(RefImage), Got(GotImage);
    const int Slack = int(Get(Tol, "size_slack", 1));
    if (std::abs(Ref.H - Got.H) > Slack || std::abs(Ref.W - Got.W) > Slack)
        return "size " + SizeText(GotImage) + " vs " + SizeText(RefImage);
    const int H = std::min(Ref.H, Got.H), W = std::min(Ref.W, Got.W);
    const int R = int(Get(Tol, "radius", 2));
    const double InkLevel = Get(Tol, "ink_level", 215);
    const double ColourDiff = Get(Tol, "colour_diff", 64);

    auto Unmatched = [&](const TPixels& X, const TPixels& Y) {
        long Ink = 0, Bad = 0;
        for (int Py = 0; Py < H; ++Py)
            for (int Px = 0; Px < W; ++Px) {
                const int* P = X.At(Px, Py);
                if (!(std::min({P[0], P[1], P[2]}) < InkLevel))
                    continue;
                ++Ink;
                int Best = 999;
                for (int Dy = -R; Dy <= R && Best > ColourDiff; ++Dy)
                    for (int Dx = -R; Dx <= R; ++Dx) {
                        const int Qx = Px + Dx, Qy = Py + Dy;
                        int D;
                        if (Qx < 0 || Qy < 0 || Qx >= W || Qy >= H) {
                            // outside the common area: white padding
                            D = std::max(
                                {std::abs(P[0] - 255), std::abs(P[1] - 255), std::abs(P[2] - 255)});
                        } else {
                            const int* Q = Y.At(Qx, Qy);
                            D = std::max({std::abs(P[0] - Q[0]), std::abs(P[1] - Q[1]),
                                          std::abs(P[2] - Q[2])});
                        }
                        Best = std::min(Best, D);
                    }
                if (Best > ColourDiff)
                    ++Bad;
            }
        return double(Bad) / double(std::max(1L, Ink));
    };
    const double U1 = Unmatched(Ref, Got), U2 = Unmatched(Got, Ref);
    if (std::max(U1, U2) > Get(Tol, "max_unmatched_ink", 0.15)) {
        char Buffer[128];
        std::snprintf(Buffer, sizeof Buffer, "unmatched ink %.3f (reference) / %.3f (decode)", U1,
                      U2);
        return std::string(Buffer);
    }

    // Colour presence over the common area of the reference.
    std::map<std::array<int, 3>, long> Counts;
    for (int Py = 0; Py < H; ++Py)
        for (int Px = 0; Px < W; ++Px) {
            const int* P = Ref.At(Px, Py);
            ++Counts[{P[0], P[1], P[2]}];
        }
    const double Total = double(H) * W;
    const double Near = Get(Tol, "colour_near", 40);
    for (const auto& [K, N] : Counts) {
        const int Max = std::max({K[0], K[1], K[2]}), Min = std::min({K[0], K[1], K[2]});
        if (N < 0.003 * Total || !(Max <= 40 || Max - Min >= 48))
            continue;
        long Nr = 0, Ng = 0;
        for (int Py = 0; Py < H; ++Py)
            for (int Px = 0; Px < W; ++Px) {
                const int* A = Ref.At(Px, Py);
                const int* B = Got.At(Px, Py);
                if (std::max({std::abs(A[0] - K[0]), std::abs(A[1] - K[1]),
                              std::abs(A[2] - K[2])}) <= Near)
                    ++Nr;
                if (std::max({std::abs(B[0] - K[0]), std::abs(B[1] - K[1]),
                              std::abs(B[2] - K[2])}) <= Near)
                    ++Ng;
            }
        if (Nr >= Get(Tol, "colour_share", 0.01) * Total &&
            double(Ng) < Get(Tol, "min_colour_ratio", 0.4) * double(Nr))
            return "colour (" + std::to_string(K[0]) + ", " + std::to_string(K[1]) + ", " +
                   std::to_string(K[2]) + "): " + std::to_string(Ng) + " pixels vs " +
                   std::to_string(Nr);
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> CompareImages(const QImage& Reference, const QImage& Got,
                                         const std::string& Compare, const QJsonObject& Tolerance) {
    if (Compare == "exact") {
        if (Reference.size() != Got.size())
            return "size " + SizeText(Got) + " != " + SizeText(Reference);
        const TPixels A(Reference), B(Got);
        long Differ = 0;
        for (int Y = 0; Y < A.H; ++Y)
            for (int X = 0; X < A.W; ++X)
                if (!std::equal(A.At(X, Y), A.At(X, Y) + 3, B.At(X, Y)))
                    ++Differ;
        if (Differ == 0)
            return std::nullopt;
        return std::to_string(Differ) + " pixels differ";
    }
    if (Tolerance.contains("radius"))
        return CompareMeta(Reference, Got, Tolerance);
    if (Reference.size() != Got.size())
        return "size " + SizeText(Got) + " != " + SizeText(Reference);
    const TPixels A(Reference), B(Got);
    int Max = 0;
    double Sum = 0;
    std::vector<int> PixelMax;
    PixelMax.reserve(std::size_t(A.W) * A.H);
    for (int Y = 0; Y < A.H; ++Y)
        for (int X = 0; X < A.W; ++X) {
            int M = 0;
            for (int C = 0; C < 3; ++C) {
                const int D = std::abs(A.At(X, Y)[C] - B.At(X, Y)[C]);
                M = std::max(M, D);
                Sum += D;
            }
            Max = std::max(Max, M);
            PixelMax.push_back(M);
        }
    const double Mean = Sum / (double(A.W) * A.H * 3);
    const double P99 = Percentile(PixelMax, 99);
    if (Max > Get(Tolerance, "max_diff", 255) || Mean > Get(Tolerance, "mean_diff", 255) ||
        P99 > Get(Tolerance, "p99_diff", 255)) {
        char Buffer[128];
        std::snprintf(Buffer, sizeof Buffer, "max %d, mean %.3f, p99 %.0f", Max, Mean, P99);
        return std::string(Buffer);
    }
    return std::nullopt;
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& Path) {
    std::ifstream In(Path, std::ios::binary);
    return {std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>()};
}

void CheckMemoryAndFileAgree(const std::string& Format,
                             TWorkingImage (*Reader)(TByteReader& Input)) {
    if (!CorpusAvailable())
        GTEST_SKIP() << "the shared corpus is not beside the checkout";
    for (const TCorpusEntry& E : CorpusEntries(Format)) {
        SCOPED_TRACE(E.File);
        const std::vector<std::uint8_t> Data = ReadFileBytes(CorpusPath(E.File));
        TByteReader Input(Data.data(), Data.size(), Format);
        if (!E.Expect.empty()) {
            EXPECT_THROW(Reader(Input), EImageError);
            continue;
        }
        const TWorkingImage FromFile = LoadImageFile(CorpusPath(E.File));
        const TWorkingImage FromMemory = Reader(Input);
        EXPECT_EQ(FromMemory.Image, FromFile.Image);
        EXPECT_EQ(FromMemory.PixelFormat, FromFile.PixelFormat);
    }
}

void CheckMalformedMessages(const std::vector<std::pair<std::string, std::string>>& Cases) {
    if (!CorpusAvailable())
        GTEST_SKIP() << "the shared corpus is not beside the checkout";
    for (const auto& [File, Message] : Cases) {
        SCOPED_TRACE(File);
        try {
            LoadImageFile(CorpusPath(File));
            ADD_FAILURE() << "no error";
        } catch (const EImageError& Error) {
            EXPECT_NE(std::string(Error.what()).find(Message), std::string::npos) << Error.what();
        }
    }
}

void CheckCorpusFormat(const std::string& Format) {
    if (!CorpusAvailable())
        GTEST_SKIP() << "the shared corpus is not beside the checkout";
    const auto Entries = CorpusEntries(Format);
    ASSERT_FALSE(Entries.empty()) << "no corpus entries for " << Format;
    for (const TCorpusEntry& E : Entries) {
        SCOPED_TRACE(E.File + " (" + E.Variant + ")");
        const std::string Path = CorpusPath(E.File);
        if (!E.Expect.empty()) {
            try {
                const TWorkingImage Result = LoadImageFile(Path);
                EXPECT_EQ(E.Expect, "no_crash") << "a malformed file decoded without an error";
                EXPECT_FALSE(Result.Image.isNull());
            } catch (const EImageError& Error) {
                EXPECT_GT(std::string(Error.what()).size(), 10u) << "message too short";
            }
            continue;
        }
        try {
            const TWorkingImage Result = LoadImageFile(Path);
            ASSERT_EQ(Result.Image.format(), QImage::Format_RGB888);
            const QImage Reference = ReadReferencePPM(CorpusPath(E.Reference));
            ASSERT_FALSE(Reference.isNull()) << E.Reference;
            const auto Reason = CompareImages(Reference, Result.Image, E.Compare, E.Tolerance);
            EXPECT_FALSE(Reason) << *Reason;
        } catch (const std::exception& Error) {
            ADD_FAILURE() << "failed to decode: " << Error.what();
        }
    }
}

} // namespace korvane::testing
