#include "follower/Enhancements.h"

#include "FollowerTestSupport.h"
#include "core/DoublePoints.h"
#include "follower/VectorizerInitialConditions.h"
#include "image/ImageFormats.h"
#include "support/FollowAsLine.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <set>

using namespace korvane;
using namespace korvane::testing;

namespace {

// A line given by its centre row f(x) at each column x (pixel indices: pixel (c, r) is the
// point (c, r), its area [c − ½, c + ½) × [r − ½, r + ½)) and its thickness across itself.
struct TDrawnLine {
    std::function<double(double)> Centre;
    double Slope = 0; // straight lines only
    double Width = 2;
};

// Draws the line anti-aliased: each pixel gets the share of its area that the line covers
// (8 × 8 samples), blended from Paper to Ink. Columns X0..X1.
void DrawAntiAliased(QImage& Image, const TDrawnLine& Line, int X0, int X1, QRgb Ink,
                     QRgb Paper = qRgb(255, 255, 255)) {
    const double Half = Line.Width / 2 * std::sqrt(1 + Line.Slope * Line.Slope);
    for (int X = X0; X <= X1; ++X) {
        const double Y = Line.Centre(X);
        for (int R = int(std::floor(Y - Half - std::abs(Line.Slope) - 1));
             R <= int(std::ceil(Y + Half + std::abs(Line.Slope) + 1)); ++R) {
            if (R < 0 || R >= Image.height())
                continue;
            int Inside = 0;
            for (int I = 0; I < 8; ++I)
                for (int J = 0; J < 8; ++J) {
                    const double U = X - 0.5 + (I + 0.5) / 8, V = R - 0.5 + (J + 0.5) / 8;
                    Inside += std::abs(V - Line.Centre(U)) <= Half;
                }
            if (Inside == 0)
                continue;
            const double C = Inside / 64.0;
            const QRgb Old = Image.pixel(X, R);
            auto Mix = [C](int From, int To) { return int(std::lround(From + C * (To - From))); };
            // Ink over whatever is there (another line drawn before stays under it).
            Image.setPixel(X, R,
                           qRgb(Mix(qRed(Old), qRed(Ink)), Mix(qGreen(Old), qGreen(Ink)),
                                Mix(qBlue(Old), qBlue(Ink))));
        }
    }
    (void)Paper;
}

// Records pixels and the real-valued positions reported with them.
struct TPositions : IVectorizerObserver {
    std::vector<TLongintPoint> Pixels;
    std::vector<TDoublePoint> Points;
    void FollowerPoint(TVectorizer& F, TLongintPoint P) override {
        Pixels.push_back(P);
        Points.push_back(F.ReportedPoint(P));
    }
};

struct TRun {
    std::vector<TLongintPoint> Pixels;
    std::vector<TDoublePoint> Points;
    bool Lost = false;
};

TRun Follow(const QImage& Image, TLongintPoint Start, const TFollowerEnhancements& Options,
            TColor Ink = RGB(0, 0, 0)) {
    TPositions Observer;
    TFunctionalVectorizer F(Observer, Image);
    Configure(F);
    F.Enhancements = Options;
    TVectorizerInitialConditions Conditions(Start);
    Conditions.SetTrackingColor(Ink);
    Conditions.Apply(F);
    F.RunSynchronously();
    return {Observer.Pixels, Observer.Points, F.Lost};
}

TFollowerEnhancements Only(bool TFollowerEnhancements::*Field) {
    TFollowerEnhancements E;
    E.*Field = true;
    return E;
}

// How far the reported points lie from Centre (vertically), at most.
double WorstError(const TRun& Run, const std::function<double(double)>& Centre) {
    double Worst = 0;
    for (const TDoublePoint& P : Run.Points)
        Worst = std::max(Worst, std::abs(P.Y - Centre(P.X)));
    return Worst;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// The options

TEST(FollowerEnhancements, AllOffUnlessSwitchedOnAndEnhancedFollowingIsTheRecommendedSet) {
    const TFollowerEnhancements None;
    EXPECT_FALSE(None.Any());
    EXPECT_FALSE(None.EnhancedFollowing());

    TFollowerEnhancements E = TFollowerEnhancements::Enhanced();
    EXPECT_TRUE(E.SubpixelOutput && E.Crossings && E.Guard);
    EXPECT_FALSE(E.GapFilling);
    EXPECT_TRUE(E.EnhancedFollowing());
    E.GapFilling = true;
    E.SetEnhancedFollowing(false);
    EXPECT_EQ(E, Only(&TFollowerEnhancements::GapFilling)); // gap filling is not in the set

    // Each option is named once for the settings file and the command line.
    std::set<std::string> Keys, Flags;
    for (const TFollowerEnhancementOption& O : FollowerEnhancementOptions) {
        Keys.insert(O.Key);
        Flags.insert(O.Flag);
        EXPECT_EQ(Only(O.Field).Any(), true) << O.Key;
    }
    EXPECT_EQ(Keys.size(), FollowerEnhancementOptions.size());
    EXPECT_EQ(Flags.size(), FollowerEnhancementOptions.size());
}

TEST(InkWeight, ProjectsOnThePaperInkAxis) {
    const TInkWeight W(RGB(250, 240, 200), RGB(30, 60, 190));
    EXPECT_DOUBLE_EQ(W(RGB(250, 240, 200)), 0.0);
    EXPECT_DOUBLE_EQ(W(RGB(30, 60, 190)), 1.0);
    EXPECT_NEAR(W(RGB(140, 150, 195)), 0.5, 1e-12);
    EXPECT_NEAR(W(RGB(195, 195, 198)), 0.25, 0.01);
    EXPECT_DOUBLE_EQ(W(RGB(0, 0, 180)), 1.0);     // beyond the ink: clamped
    EXPECT_DOUBLE_EQ(W(RGB(255, 255, 255)), 0.0); // lighter than the paper
    EXPECT_DOUBLE_EQ(W(RGB(220, 30, 40)), 0.0);   // another line's red: far off the axis
    EXPECT_DOUBLE_EQ(TInkWeight(RGB(9, 9, 9), RGB(0, 0, 0))(RGB(0, 0, 0)), 0.0); // no axis
}

TEST(LineCourse, FitsTheLastSixCentresAndTakesTheWidthAcrossTheLine) {
    TLineCourse Course;
    // A straight line of slope 2 whose runs are as thick as a line 1.5 across is at that
    // slope; one far-off centre long ago does not count.
    Course.Add(0, 40, 1);
    for (int X = 1; X <= 12; ++X)
        Course.Add(X, 10 + 2.0 * X, int(std::lround(1.5 * std::sqrt(5.0))));
    EXPECT_NEAR(Course.Path().Slope, 2.0, 1e-3);
    EXPECT_NEAR(Course.Path().At(20), 50.0, 1e-3);
    EXPECT_NEAR(Course.Residual(), 0.0, 1e-3);
    EXPECT_NEAR(Course.Width(), 3 / std::sqrt(5.0), 1e-9);
    EXPECT_NEAR(Course.Thickness(), 3.0, 1e-9);

    // Columns apart, and a bend: the fit still goes through them, the residual shows the bend.
    TLineCourse Bent;
    for (const int X : {0, 2, 3, 5, 8, 9})
        Bent.Add(X, 0.1 * X * X, 2);
    EXPECT_GT(Bent.Path().Slope, 0.5);
    EXPECT_GT(Bent.Residual(), 0.3);
}

// ---------------------------------------------------------------------------------------------
// Sub-pixel output

TEST(SubpixelOutput, ReportsTheInkCentreBetweenRowsOnThePixelsItAlwaysVisited) {
    for (const double Centre : {50.0, 50.25, 50.5, 50.75, 51.1}) {
        SCOPED_TRACE(Centre);
        QImage Image = WhiteImage(200, 120);
        DrawAntiAliased(Image, {[=](double) { return Centre; }, 0, 2}, 5, 190, qRgb(0, 0, 0));
        const TRun Plain = Follow(Image, {10, int(std::lround(Centre))}, {});
        const TRun Fine = Follow(Image, {10, int(std::lround(Centre))},
                                 Only(&TFollowerEnhancements::SubpixelOutput));
        ASSERT_EQ(Fine.Pixels.size(), 181u);
        // The follower steps exactly as before; only the reported position moved.
        EXPECT_EQ(Fine.Pixels, Plain.Pixels);
        // (The drawing itself is good to 1/64 of a pixel's area.)
        EXPECT_LT(WorstError(Fine, [=](double) { return Centre; }), 0.03);
        for (std::size_t I = 0; I < Fine.Points.size(); ++I)
            EXPECT_EQ(Fine.Points[I].X, Fine.Pixels[I].X);
    }
}

TEST(SubpixelOutput, SlopedColouredLineOnTintedPaper) {
    // Blue on a light yellow paper, which the follower samples beside the line at the start.
    const QRgb Paper = qRgb(250, 245, 215);
    QImage Image(300, 200, QImage::Format_RGB888);
    Image.fill(Paper);
    const double Slope = 0.35;
    const auto Centre = [=](double X) { return 40.3 + Slope * X; };
    DrawAntiAliased(Image, {Centre, Slope, 2.5}, 0, 299, qRgb(30, 60, 190), Paper);
    const TRun Run = Follow(Image, {5, int(std::lround(Centre(5)))},
                            Only(&TFollowerEnhancements::SubpixelOutput), RGB(30, 60, 190));
    ASSERT_EQ(Run.Pixels.size(), 295u);
    EXPECT_LT(WorstError(Run, Centre), 0.05);
}

TEST(SubpixelOutput, NonfunctionalFollowerCentresAcrossTheLine) {
    QImage Image = WhiteImage(100, 200);
    // A vertical line whose centre lies 0.3 to the right of column 40, rows 20 to 179.
    for (int R = 20; R <= 179; ++R) {
        Image.setPixel(39, R, qRgb(51, 51, 51)); // 0.8 covered
        Image.setPixel(40, R, qRgb(0, 0, 0));
        Image.setPixel(41, R, qRgb(127, 127, 127)); // 0.5 covered
    }
    TResumeNonfunctionalInitialConditions Conditions({40, 100}, {0, 5});
    Conditions.SetTrackingColor(RGB(0, 0, 0));
    const TLineRun Run =
        FollowAsLine(Image, Conditions, true, Only(&TFollowerEnhancements::SubpixelOutput));
    ASSERT_EQ(Run.Points.size(), 80u); // rows 100 .. 179
    const double Left = (255 - 51) / 255.0, Right = (255 - 127) / 255.0;
    const double Expected = (Left * 39 + 40 + Right * 41) / (Left + 1 + Right);
    for (const TDoublePoint& P : Run.Points)
        EXPECT_NEAR(P.X, Expected, 1e-9);
    EXPECT_NEAR(Run.Points.back().Y, 179.0, 1e-9);
}

// ---------------------------------------------------------------------------------------------
// Crossings, guard, gap filling

namespace {

// Two black lines 2 pixels thick crossing at 30 degrees in column 150: A, followed from the
// left, and B, drawn first, from column 60 to 240.
struct TCrossingChart {
    double SlopeA, SlopeB;
    std::function<double(double)> A, B;
    QImage Image = WhiteImage(300, 200);
    TCrossingChart(double Slope, double Turn) : SlopeA(Slope) {
        SlopeB = std::tan(std::atan(Slope) + Turn);
        A = [this](double X) { return 100 + SlopeA * (X - 150); };
        B = [this](double X) { return 100 + SlopeB * (X - 150); };
        DrawAntiAliased(Image, {B, SlopeB, 2}, 60, 240, qRgb(0, 0, 0));
        DrawAntiAliased(Image, {A, SlopeA, 2}, 0, 299, qRgb(0, 0, 0));
    }
    TLongintPoint Start() const { return {5, int(std::lround(A(5)))}; }
};

} // namespace

TEST(Crossings, KeepToTheirOwnLineWhereASameColouredLineCrossesAt30Degrees) {
    for (const auto& [Slope, Turn] : {std::pair{0.0, M_PI / 6}, std::pair{0.2, -M_PI / 6}}) {
        SCOPED_TRACE(Slope);
        const TCrossingChart Chart(Slope, Turn);
        const TRun Plain = Follow(Chart.Image, Chart.Start(), {});
        EXPECT_GT(WorstError(Plain, Chart.A), 3.0); // the plain follower changes lines

        for (const TFollowerEnhancements& Options :
             {Only(&TFollowerEnhancements::Crossings), TFollowerEnhancements::Enhanced()}) {
            const TRun Run = Follow(Chart.Image, Chart.Start(), Options);
            ASSERT_FALSE(Run.Pixels.empty());
            EXPECT_EQ(Run.Pixels.back().X, 299);
            EXPECT_LT(WorstError(Run, Chart.A), Options.SubpixelOutput ? 1.0 : 1.5);
            EXPECT_EQ(Run.Pixels.size(), 295u); // a point in every column, through the crossing
        }
    }
}

TEST(Guard, CurveEndingAboveABlackAxisDoesNotJumpOntoIt) {
    QImage Image = WhiteImage(200, 120);
    const auto Curve = [](double X) { return 40 + 0.25 * X; };
    DrawAntiAliased(Image, {Curve, 0.25, 2}, 0, 120, qRgb(0, 0, 0));
    Fill(Image, 0, 95, 199, 96);       // the axis
    for (int X = 20; X < 200; X += 20) // its ticks
        Fill(Image, X, 97, X, 100);
    const TRun Plain = Follow(Image, {5, 41}, {});
    ASSERT_FALSE(Plain.Pixels.empty());
    EXPECT_EQ(Plain.Pixels.back().Y, 95); // down onto the axis and along it

    for (const TFollowerEnhancements& Options :
         {Only(&TFollowerEnhancements::Guard), TFollowerEnhancements::Enhanced()}) {
        const TRun Run = Follow(Image, {5, 41}, Options);
        ASSERT_FALSE(Run.Pixels.empty());
        EXPECT_TRUE(Run.Lost);
        EXPECT_EQ(Run.Pixels.back().X, 120);
        EXPECT_LT(WorstError(Run, Curve), 1.0);
    }
}

TEST(GapFilling, DashedLineGetsOnePointPerColumn) {
    QImage Image = WhiteImage(220, 120);
    const auto Line = [](double X) { return 30 + 0.3 * X; };
    DrawAntiAliased(Image, {Line, 0.3, 2}, 0, 209, qRgb(0, 0, 0));
    for (int X = 10; X < 200; X += 14) // dashes of 10, gaps of 4
        Fill(Image, X, 0, X + 3, 119, qRgb(255, 255, 255));

    struct TCase {
        const char* Name;
        TFollowerEnhancements Options;
        bool Filled;
        double Tolerance;
    };
    TFollowerEnhancements FilledAndEnhanced = TFollowerEnhancements::Enhanced();
    FilledAndEnhanced.GapFilling = true;
    // Whole pixels are up to a pixel off (the centre of a run is rounded down).
    for (const TCase& Case :
         {TCase{"plain", {}, false, 1.5},
          TCase{"guard and crossings", TFollowerEnhancements::Enhanced(), false, 0.1},
          TCase{"gap filling", Only(&TFollowerEnhancements::GapFilling), true, 1.5},
          TCase{"enhanced with gap filling", FilledAndEnhanced, true, 0.1}}) {
        SCOPED_TRACE(Case.Name);
        const TRun Run = Follow(Image, {2, 31}, Case.Options);
        ASSERT_FALSE(Run.Pixels.empty());
        EXPECT_EQ(Run.Pixels.back().X, 209); // every gap bridged
        EXPECT_EQ(Run.Pixels.size() == 208u, Case.Filled);
        for (std::size_t I = 1; I < Run.Pixels.size(); ++I)
            ASSERT_GT(Run.Pixels[I].X, Run.Pixels[I - 1].X);
        EXPECT_LT(WorstError(Run, Line), Case.Tolerance);
    }
}

// ---------------------------------------------------------------------------------------------
// The shared benchmark: with the options off the follower reports exactly the pixels it
// reported before they existed; sub-pixel output alone moves no step; every option gives the
// same result each time.

namespace {

struct TBenchCurve {
    const char* Case;
    const char* Curve;
    std::size_t Count;
    std::uint64_t Hash; // FNV-1a of the pixels as "C,R" lines
};

// The pixels of the plain follower on every curve, with the follower settings' defaults
// (tolerance 0.1, jumps 6 and 50, thickness 20) from the start pixel (and drag direction) of
// the truth, as korvane-cli follow --pixels prints them.
const TBenchCurve PlainOnBench[] = {
    {"cases/p01_clean_black_1px", "signal", 657, 0x29fb1230b9220dc8ull},
    {"cases/p02_colour_aa_curves", "blue", 753, 0xe031910425f5d0b4ull},
    {"cases/p02_colour_aa_curves", "red", 755, 0x0cd0c8d380fdf73full},
    {"cases/p03_log_y_grid", "fast", 828, 0x49bac730496edd30ull},
    {"cases/p03_log_y_grid", "slow", 831, 0x6099f9fc8ebf8528ull},
    {"cases/p04_log_log", "response", 712, 0xcdb44afe818c156cull},
    {"cases/p05_x_reversed_steep", "spectrum", 873, 0x95297d9fc79b4a87ull},
    {"cases/p06_same_colour_crossing", "A", 683, 0x023fb7f405499836ull},
    {"cases/p06_same_colour_crossing", "B", 683, 0xb6b938d5fa1d658cull},
    {"cases/p07_black_grid_same_colour", "curve", 684, 0xc22f433593daf093ull},
    {"cases/p08_dashed_and_markers", "dashed", 548, 0x2a16cf93418aa96cull},
    {"cases/p08_dashed_and_markers", "dashdot", 488, 0x2126e575ce1b41caull},
    {"cases/p08_dashed_and_markers", "markers", 779, 0x5e250c2b53523d1eull},
    {"cases/p09_thick_line_and_labels", "thick", 670, 0xf5114bb8c3ad2462ull},
    {"cases/p09_thick_line_and_labels", "thin", 670, 0x5eed7551955213a2ull},
    {"cases/p10_scan_rotated", "black", 2552, 0xf615d7757034dc07ull},
    {"cases/p10_scan_rotated", "blue", 2577, 0xbb785f1195da3853ull},
    {"cases/p11_ellipse_and_spiral", "ellipse", 615, 0xfbd913548eed2c7full},
    {"cases/p11_ellipse_and_spiral", "spiral", 1922, 0xfcd5211fd6db7aecull},
    {"cases/p12_large_three_curves", "red", 3671, 0xd6831744b2f5a990ull},
    {"cases/p12_large_three_curves", "green", 3670, 0xc9f44fe27c92f819ull},
    {"cases/p12_large_three_curves", "blue", 3671, 0x64bd5e9214d4c5c7ull},
    {"external/cases/e01_gnuplot_x_y_lines_nogrid", "xsin3", 437, 0xc12e506db6c967deull},
    {"external/cases/e01_gnuplot_x_y_lines_nogrid", "xsin4", 426, 0xe79c306ff89b97ccull},
    {"external/cases/e01_gnuplot_x_y_lines_nogrid", "xsin5", 912, 0x53e4a020869d99e6ull},
    {"external/cases/e02_gnuplot_x_y_lines_grid", "xsin3", 437, 0xc12e506db6c967deull},
    {"external/cases/e02_gnuplot_x_y_lines_grid", "xsin4", 426, 0xe79c306ff89b97ccull},
    {"external/cases/e02_gnuplot_x_y_lines_grid", "xsin5", 912, 0x53e4a020869d99e6ull},
    {"external/cases/e03_gnuplot_x_log_y_lines_nogrid", "xexp3", 440, 0xb297559f0c4d551eull},
    {"external/cases/e03_gnuplot_x_log_y_lines_nogrid", "xexp4", 440, 0xb7b10461639896a2ull},
    {"external/cases/e03_gnuplot_x_log_y_lines_nogrid", "xexp5", 440, 0x7a7a42e8ace36c98ull},
    {"external/cases/e04_gnuplot_x_log_y_lines_grid", "xexp3", 440, 0xb297559f0c4d551eull},
    {"external/cases/e04_gnuplot_x_log_y_lines_grid", "xexp4", 440, 0xb7b10461639896a2ull},
    {"external/cases/e04_gnuplot_x_log_y_lines_grid", "xexp5", 440, 0x7a7a42e8ace36c98ull},
    {"external/cases/e05_gnuplot_x_y_linespoints_nogrid", "xsin3", 437, 0x839ea868dbb68f6eull},
    {"external/cases/e05_gnuplot_x_y_linespoints_nogrid", "xsin4", 423, 0x2c6d1ad807e88554ull},
    {"external/cases/e05_gnuplot_x_y_linespoints_nogrid", "xsin5", 915, 0x11d64e4ce771a916ull},
};

std::uint64_t PixelHash(const std::vector<TLongintPoint>& Pixels) {
    std::uint64_t H = 0xcbf29ce484222325ull;
    for (const TLongintPoint& P : Pixels)
        for (const char C : std::to_string(P.X) + "," + std::to_string(P.Y) + "\n") {
            H ^= static_cast<unsigned char>(C);
            H *= 0x100000001b3ull;
        }
    return H;
}

// Follows a bench curve as the program's line of its kind does.
TRun FollowBenchCurve(const QImage& Image, const QJsonObject& Curve,
                      const TFollowerEnhancements* Options) {
    const QJsonArray Start = Curve["start_pixel"].toArray();
    const TLongintPoint S{Start[0].toInt(), Start[1].toInt()};
    const bool Nonfunctional = Curve["kind"].toString() == "nonfunctional";
    std::unique_ptr<TVectorizerInitialConditions> Conditions;
    const QJsonArray Direction = Curve["start_direction"].toArray();
    if (Nonfunctional && Direction.size() == 2)
        Conditions = std::make_unique<TResumeNonfunctionalInitialConditions>(
            S, TLongintPoint{Direction[0].toInt(), Direction[1].toInt()});
    else
        Conditions = std::make_unique<TVectorizerInitialConditions>(S);
    const TLineRun Run = FollowAsLine(Image, *Conditions, Nonfunctional,
                                      Options ? *Options : TFollowerEnhancements{});
    return {Run.Pixels, Run.Points, Run.Lost};
}

} // namespace

TEST(EnhancementsOnBench, OffIsThePlainFollowerOnEveryCurve) {
    const std::filesystem::path Bench = std::filesystem::path(KORVANE_SHARED_DIR) / "bench";
    if (!std::filesystem::exists(Bench / "cases"))
        GTEST_SKIP() << "no benchmark at " << Bench;
    std::string LoadedCase;
    QImage Image;
    QJsonArray Curves;
    for (const TBenchCurve& Expected : PlainOnBench) {
        SCOPED_TRACE(std::string(Expected.Case) + " " + Expected.Curve);
        const std::filesystem::path Folder = Bench / Expected.Case;
        if (LoadedCase != Expected.Case) {
            QFile Truth(QString::fromStdString((Folder / "truth.json").string()));
            ASSERT_TRUE(Truth.open(QIODevice::ReadOnly));
            const QJsonObject Root = QJsonDocument::fromJson(Truth.readAll()).object();
            Image = LoadImageFile((Folder / Root["image"].toString().toStdString()).string()).Image;
            Curves = Root["curves"].toArray();
            LoadedCase = Expected.Case;
        }
        QJsonObject Curve;
        for (const QJsonValue& C : Curves)
            if (C.toObject()["name"].toString() == Expected.Curve)
                Curve = C.toObject();
        ASSERT_FALSE(Curve.isEmpty());

        const TRun Untouched = FollowBenchCurve(Image, Curve, nullptr);
        EXPECT_EQ(Untouched.Pixels.size(), Expected.Count);
        EXPECT_EQ(PixelHash(Untouched.Pixels), Expected.Hash);
        for (std::size_t I = 0; I < Untouched.Points.size(); ++I)
            ASSERT_EQ(Untouched.Points[I],
                      (TDoublePoint{double(Untouched.Pixels[I].X), double(Untouched.Pixels[I].Y)}));

        const TFollowerEnhancements Off;
        EXPECT_EQ(PixelHash(FollowBenchCurve(Image, Curve, &Off).Pixels), Expected.Hash);
        const TFollowerEnhancements Subpixel = Only(&TFollowerEnhancements::SubpixelOutput);
        EXPECT_EQ(PixelHash(FollowBenchCurve(Image, Curve, &Subpixel).Pixels), Expected.Hash);

        TFollowerEnhancements All = TFollowerEnhancements::Enhanced();
        All.GapFilling = true;
        const TRun First = FollowBenchCurve(Image, Curve, &All);
        const TRun Again = FollowBenchCurve(Image, Curve, &All);
        EXPECT_EQ(First.Pixels, Again.Pixels);
        EXPECT_EQ(First.Points, Again.Points);
    }
}
