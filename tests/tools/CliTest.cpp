#include "image/ImageModel.h"
#include "image/readers/CorpusSupport.h"

#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace korvane::testing;

namespace {

struct TRun {
    int Status = -1;
    std::string Out, Err;
};

// Runs korvane-cli with Arguments (already shell-quoted) and collects both streams.
TRun Cli(const std::string& Arguments, const std::string& Environment = {}) {
    const auto ErrFile =
        std::filesystem::temp_directory_path() / ("korvane-cli-err-" + std::to_string(::getpid()));
    const std::string Command =
        Environment + " " + KORVANE_CLI + std::string(" ") + Arguments + " 2>" + ErrFile.string();
    TRun Run;
    FILE* Pipe = ::popen(Command.c_str(), "r");
    std::array<char, 4096> Buffer;
    while (std::size_t N = std::fread(Buffer.data(), 1, Buffer.size(), Pipe))
        Run.Out.append(Buffer.data(), N);
    const int Raw = ::pclose(Pipe);
    Run.Status = WIFEXITED(Raw) ? WEXITSTATUS(Raw) : -1;
    std::ifstream Err(ErrFile);
    Run.Err.assign(std::istreambuf_iterator<char>(Err), {});
    std::filesystem::remove(ErrFile);
    return Run;
}

std::filesystem::path TempDir() {
    const auto Dir =
        std::filesystem::temp_directory_path() / ("korvane-cli-test-" + std::to_string(::getpid()));
    std::filesystem::create_directories(Dir);
    return Dir;
}

} // namespace

TEST(Cli, UsageAndExitStatus) {
    const TRun Help = Cli("--help");
    EXPECT_EQ(Help.Status, 0);
    const TRun Version = Cli("--version");
    EXPECT_EQ(Version.Status, 0);
    EXPECT_EQ(Version.Out.rfind("korvane-cli 5.", 0), 0u) << Version.Out;
    EXPECT_NE(Help.Out.find("convert FILE OUT.ppm"), std::string::npos);
    struct Case {
        const char* Arguments;
        int Status;
    } Cases[] = {{"", 2},
                 {"frobnicate", 2},
                 {"info", 2},
                 {"convert a.png", 2},
                 {"scan --device", 2},
                 {"info /nonexistent/x.png", 1},
                 {"info notes.txt", 1}};
    for (const auto& C : Cases) {
        const TRun Run = Cli(C.Arguments);
        EXPECT_EQ(Run.Status, C.Status) << C.Arguments;
        EXPECT_FALSE(Run.Err.empty()) << C.Arguments;
        EXPECT_TRUE(Run.Out.empty()) << C.Arguments;
    }
    EXPECT_NE(Cli("info notes.txt").Err.find("\".txt\""), std::string::npos);
}

TEST(Cli, InfoAndConvertMatchTheReference) {
    if (!CorpusAvailable())
        GTEST_SKIP() << "no shared corpus";
    const TRun Shown = Cli("info " + CorpusPath("tiff/CHART600.TIF"));
    EXPECT_EQ(Shown.Status, 0) << Shown.Err;
    EXPECT_EQ(Shown.Out, "format: TIF\ndescription: TIFF file\nwidth: 600\nheight: 400\n"
                         "pixel format: true colour\n");

    const auto Out = TempDir() / "chart.ppm";
    const TRun Convert = Cli("convert " + CorpusPath("tiff/CHART600.TIF") + " " + Out.string());
    ASSERT_EQ(Convert.Status, 0) << Convert.Err;
    const QImage Got = ReadReferencePPM(Out.string());
    const QImage Reference = ReadReferencePPM(CorpusPath("ref/chart600_rgb_600x400.ppm"));
    EXPECT_FALSE(CompareImages(Reference, Got, "exact", {}));
    std::filesystem::remove_all(TempDir());
}

TEST(Cli, FailuresLeaveNoOutput) {
    if (!CorpusAvailable())
        GTEST_SKIP() << "no shared corpus";
    const auto Out = TempDir() / "bad.ppm";
    const TRun Bad = Cli("convert " + CorpusPath("bad/bmp_truncated.bmp") + " " + Out.string());
    EXPECT_EQ(Bad.Status, 1);
    EXPECT_NE(Bad.Err.find("BMP"), std::string::npos) << Bad.Err;
    EXPECT_FALSE(std::filesystem::exists(Out));
    const TRun Unwritable =
        Cli("convert " + CorpusPath("png/rgb8.png") + " /nonexistent/dir/x.ppm");
    EXPECT_EQ(Unwritable.Status, 1);
    EXPECT_NE(Unwritable.Err.find("/nonexistent/dir/x.ppm"), std::string::npos) << Unwritable.Err;
    std::filesystem::remove_all(TempDir());
}

TEST(Cli, ScansFromTheSaneTestBackend) {
    const auto Dir = TempDir() / "sane";
    std::filesystem::create_directories(Dir);
    std::ofstream(Dir / "dll.conf") << "test\n";
    std::ofstream(Dir / "test.conf") << "number_of_devices 2\nmode Color\ndepth 8\n"
                                        "resolution 75\ntest-picture \"Color pattern\"\n";
    // SANE's test backend may leak a scan buffer from a module it has unloaded: no leak check.
    const std::string Env = "ASAN_OPTIONS=detect_leaks=0 SANE_CONFIG_DIR=" + Dir.string();
    const auto Out = TempDir() / "scan.ppm";
    // The tool asks for 200 dpi where the device lets it.
    const TRun Scan = Cli("scan --device test:1 " + Out.string(), Env);
    ASSERT_EQ(Scan.Status, 0) << Scan.Err;
    const QImage Image = ReadReferencePPM(Out.string());
    EXPECT_EQ(Image.width(), 629); // 80 mm at 200 dpi
    EXPECT_EQ(Image.height(), 787);
    const TRun Missing = Cli("scan --device test:9 " + Out.string(), Env);
    EXPECT_EQ(Missing.Status, 1);
    EXPECT_NE(Missing.Err.find("test:9"), std::string::npos);
    std::ofstream(Dir / "dll.conf") << "\n";
    const TRun None = Cli("scan " + Out.string(), Env);
    EXPECT_EQ(None.Status, 1);
    EXPECT_NE(None.Err.find("No scanner interface"), std::string::npos);
    std::filesystem::remove_all(TempDir());
}

namespace {

// A binary PPM with a black line three pixels thick in rows 50..52, columns 10..100.
std::string LineImage() {
    const auto Path = TempDir() / "line.ppm";
    std::ofstream Out(Path, std::ios::binary);
    Out << "P6\n200 200\n255\n";
    for (int Y = 0; Y < 200; ++Y)
        for (int X = 0; X < 200; ++X) {
            const char V = (Y >= 50 && Y <= 52 && X >= 10 && X <= 100) ? 0 : char(255);
            Out << V << V << V;
        }
    return Path.string();
}

std::vector<std::string> Lines(const std::string& Text) {
    std::vector<std::string> Result;
    std::size_t Start = 0;
    for (std::size_t End; (End = Text.find('\n', Start)) != std::string::npos; Start = End + 1)
        Result.push_back(Text.substr(Start, End - Start));
    return Result;
}

} // namespace

TEST(CliFollow, PrintsPixelsOrRealValues) {
    const std::string Image = LineImage();
    const TRun Pixels = Cli("follow " + Image + " --start 10,50 --pixels");
    ASSERT_EQ(Pixels.Status, 0) << Pixels.Err;
    const auto P = Lines(Pixels.Out);
    ASSERT_EQ(P.size(), 91u);
    EXPECT_EQ(P.front(), "10,51");
    EXPECT_EQ(P.back(), "100,51");

    // Pixel (0, 200) is (-5, 0) and (200, 0) is (3, 7.5): negative values are values.
    const std::string Axes = " --first 0,200=-5,0 --skew 200,200 --second 200,0=3,7.5";
    const TRun Real = Cli("follow " + Image + Axes + " --start 10,50");
    ASSERT_EQ(Real.Status, 0) << Real.Err;
    const auto R = Lines(Real.Out);
    ASSERT_EQ(R.size(), 91u);
    EXPECT_EQ(R.front(), "-4.5999999999999996,5.5874999999999995"); // 17 significant digits
    EXPECT_EQ(R.back(), "-1,5.5874999999999995");

    const auto Out = TempDir() / "points.csv";
    ASSERT_EQ(Cli("follow " + Image + Axes + " --start 10,50 -o " + Out.string()).Status, 0);
    std::ifstream In(Out);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(In), {}), Real.Out);
    std::filesystem::remove_all(TempDir());
}

TEST(CliFollow, NonfunctionalRunsEndWhereTheyBegan) {
    const std::string Image = LineImage();
    // Dragging left along the line from its middle: it runs to the left end and stops.
    const TRun Run =
        Cli("follow " + Image + " --start 50,51 --kind nonfunctional --direction -20,-3 --pixels");
    ASSERT_EQ(Run.Status, 0) << Run.Err;
    const auto P = Lines(Run.Out);
    ASSERT_FALSE(P.empty());
    EXPECT_EQ(P.front(), "50,51");
    EXPECT_EQ(P.back(), "10,51");
    std::filesystem::remove_all(TempDir());
}

TEST(CliFollow, EnhancementFlags) {
    // A line whose centre lies between rows (rows 50, 51 and 52 carry 0.75, 1 and 0.25 of
    // black) from column 10 to 100, with a gap in columns 60 to 63.
    const auto Path = TempDir() / "between.ppm";
    {
        std::ofstream Out(Path, std::ios::binary);
        Out << "P6\n200 200\n255\n";
        for (int Y = 0; Y < 200; ++Y)
            for (int X = 0; X < 200; ++X) {
                const bool On = X >= 10 && X <= 100 && (X < 60 || X > 63);
                const char V = !On       ? char(255)
                               : Y == 50 ? char(64)
                               : Y == 51 ? char(0)
                               : Y == 52 ? char(191)
                                         : char(255);
                Out << V << V << V;
            }
    }
    const std::string Follow = "follow " + Path.string() + " --start 10,51";
    const std::string Axes = " --first 0,200=0,0 --skew 200,200 --second 200,0=200,200";

    const TRun Plain = Cli(Follow + " --pixels");
    ASSERT_EQ(Plain.Status, 0) << Plain.Err;
    EXPECT_EQ(Lines(Plain.Out).size(), 87u);
    // Sub-pixel output moves the reported points, not the pixels visited.
    EXPECT_EQ(Cli(Follow + " --pixels --subpixel").Out, Plain.Out);

    const double Above = (255 - 64) / 255.0, Below = (255 - 191) / 255.0;
    const double Row = (Above * 50 + 51 + Below * 52) / (Above + 1 + Below);
    const TRun Fine = Cli(Follow + Axes + " --subpixel");
    ASSERT_EQ(Fine.Status, 0) << Fine.Err;
    const auto Points = Lines(Fine.Out);
    ASSERT_EQ(Points.size(), 87u);
    for (const std::string& Point : Points)
        EXPECT_NEAR(std::stod(Point.substr(Point.find(',') + 1)), 200 - Row, 1e-9) << Point;
    EXPECT_EQ(Cli(Follow + Axes + " --enhanced").Out, Fine.Out);
    EXPECT_EQ(Cli(Follow + Axes + " --subpixel --crossings --guard").Out, Fine.Out);

    // Gap filling: one point in every column.
    const TRun Filled = Cli(Follow + " --pixels --fill-gaps");
    ASSERT_EQ(Filled.Status, 0) << Filled.Err;
    EXPECT_EQ(Lines(Filled.Out).size(), 91u);
    std::filesystem::remove_all(TempDir());
}

TEST(CliFollow, Failures) {
    const std::string Image = LineImage();
    const std::string Axes = " --first 0,200=0,0 --skew 200,200 --second 200,0=1,1";
    struct Case {
        std::string Arguments;
        int Status;
        const char* Message;
    } Cases[] = {
        {"follow " + Image + Axes + " --start 5,5", 1,
         "The digitizer could not find a line at the point on which you clicked."},
        {"follow " + Image + Axes + " --start 500,5", 1, "outside"},
        {"follow " + Image + " --first 0,200=0,0 --skew 0,100 --second 200,0=1,1 --start 10,50", 1,
         "skew"},
        {"follow " + Image + " --first 0,200=0,0 --skew 200,200 --second 200,0=0,1 --start 10,50",
         1, "Scale values must be different between points."},
        {"follow /nonexistent.png --pixels --start 1,1", 1, "/nonexistent.png"},
        {"follow " + Image + " --start 10,50", 2, "--first"},
        {"follow " + Image + " --pixels --start 10,50 --max-hjump 11", 2, "--max-hjump"},
        {"follow " + Image + " --pixels --start ten,50", 2, "--start"},
        {"follow " + Image + " --pixels --start 10,50 --direction 1,0", 2, "--direction"},
        {"follow " + Image + " --pixels --start 10,50 --bogus", 2, "--bogus"},
    };
    for (const auto& C : Cases) {
        const TRun Run = Cli(C.Arguments);
        EXPECT_EQ(Run.Status, C.Status) << C.Arguments << "\n" << Run.Err;
        EXPECT_NE(Run.Err.find(C.Message), std::string::npos) << C.Arguments << "\n" << Run.Err;
        EXPECT_TRUE(Run.Out.empty()) << C.Arguments;
    }
    std::filesystem::remove_all(TempDir());
}

TEST(CliFollow, WritesThroughTemplates) {
    const std::string Image = LineImage();
    const std::string Axes =
        " --first 0,200=0,0 --skew 200,200 --second 200,0=200,200 --start 10,50";
    const TRun Csv = Cli("follow " + Image + Axes + " --template Comma-separated");
    ASSERT_EQ(Csv.Status, 0) << Csv.Err;
    EXPECT_EQ(Csv.Out.substr(0, 28), "10.00,149.00\r\n11.00,149.00\r\n");

    const TRun Xml = Cli("follow " + Image + Axes +
                         " --template XML --x-units mm --y-units N --x-format scientific:1 "
                         "--y-format fixed:0 --approximator spline --increment 45");
    ASSERT_EQ(Xml.Status, 0) << Xml.Err;
    EXPECT_EQ(Xml.Out, "<DATA XUnits=\"mm\" YUnits=\"N\">\r\n"
                       "  <POINT><X>1.0e+01</X><Y>149</Y></POINT>\r\n"
                       "  <POINT><X>5.5e+01</X><Y>149</Y></POINT>\r\n"
                       "  <POINT><X>1.0e+02</X><Y>149</Y></POINT>\r\n"
                       "</DATA>\r\n");

    const auto Sheet = TempDir() / "points.xls";
    const TRun Excel =
        Cli("follow " + Image + Axes + " --template \"Microsoft Excel\" -o " + Sheet.string());
    ASSERT_EQ(Excel.Status, 0) << Excel.Err;
    EXPECT_EQ(std::filesystem::file_size(Sheet), 10u + 14 + 91 * 2 * 19 + 4);

    struct Case {
        std::string Arguments;
        const char* Message;
    } Cases[] = {
        {Axes + " --template \"Microsoft Excel\"", "-o FILE"},
        {Axes + " --template Nonsense", "Comma-separated"},
        {Axes + " --approximator spline", "--template"},
        {Axes + " --template XML --increment 2", "--approximator spline"},
        {Axes + " --template XML --x-format fixed:19", "--x-format"},
    };
    for (const auto& C : Cases) {
        const TRun Run = Cli("follow " + Image + C.Arguments);
        EXPECT_EQ(Run.Status, 2) << C.Arguments;
        EXPECT_NE(Run.Err.find(C.Message), std::string::npos) << Run.Err;
    }
    std::filesystem::remove_all(TempDir());
}

TEST(CliDocument, SavedLinesAreStoredWorkThatParAndExportRead) {
    const std::string Image = LineImage();
    const auto Settings = TempDir() / "settings";
    std::filesystem::create_directories(Settings);
    const std::string S = " --settings-dir " + Settings.string();
    const std::string Axes = " --first 0,200=0,0 --skew 200,200 --second 200,0=200,200";
    ASSERT_EQ(Cli(S + " follow " + Image + Axes + " --start 10,50 --save \"Run 1\"").Status, 0);
    const TRun Second = Cli("follow " + Image + Axes +
                            " --start 50,51 --kind nonfunctional "
                            "--direction -3,0 --save Back" +
                            S);
    ASSERT_EQ(Second.Status, 0) << Second.Err;

    const TRun Par = Cli(S + " par " + Image);
    ASSERT_EQ(Par.Status, 0) << Par.Err;
    for (const char* Expected :
         {"version: V5.01\n", "coordinate system: defined\n", "  first point: 0,200 = 0,0\n",
          "  second point: 200,0 = 200,200\n", "follower: delay 50, max horizontal jump 6",
          "data sets: 2\n",
          "  1. TFunctionalLine \"Run 1\": colour Aqua, marker TCircleMarker 3, 91 points, "
          "approximator TFunctionalRawData\n",
          "  2. TNonfunctionalLine \"Back\""})
        EXPECT_NE(Par.Out.find(Expected), std::string::npos) << Expected << "\n" << Par.Out;

    const TRun Csv = Cli(S + " export " + Image + " --dataset \"Run 1\"");
    ASSERT_EQ(Csv.Status, 0) << Csv.Err;
    EXPECT_EQ(Csv.Out.substr(0, 28), "10.00,149.00\r\n11.00,149.00\r\n");
    const TRun Dxf = Cli(S + " export " + Image + " --template DXF");
    ASSERT_EQ(Dxf.Status, 0) << Dxf.Err;
    EXPECT_EQ(std::count(Dxf.Out.begin(), Dxf.Out.end(), '\n') > 100, true);

    const auto Sheet = TempDir() / "run.xls";
    EXPECT_EQ(Cli(S + " export " + Image +
                  " --dataset \"Run 1\" --template \"Microsoft Excel\" -o " + Sheet.string())
                  .Status,
              0);
    EXPECT_EQ(std::filesystem::file_size(Sheet), 10u + 14 + 91 * 2 * 19 + 4);

    struct Case {
        std::string Arguments;
        int Status;
        const char* Message;
    } Cases[] = {
        {S + " export " + Image + " --dataset Nothing", 1, "Nothing"},
        {S + " export " + Image + " --template \"Microsoft Excel\"", 2, "--dataset"},
        {S + " par " + TempDir().string() + "/other.png", 1, "No work is stored"},
        {" --settings-dir /nonexistent par " + Image, 2, "--settings-dir"},
        {S + " follow " + Image + " --start 10,50 --save X", 2, "--first"},
    };
    for (const auto& C : Cases) {
        const TRun Run = Cli(C.Arguments);
        EXPECT_EQ(Run.Status, C.Status) << C.Arguments << "\n" << Run.Err;
        EXPECT_NE(Run.Err.find(C.Message), std::string::npos) << C.Arguments << "\n" << Run.Err;
    }
    std::filesystem::remove_all(TempDir());
}

TEST(Cli, EliminateGridWritesTheChartWithoutItsGridOrSaysWhy) {
    const std::filesystem::path Case = std::filesystem::path(KORVANE_SHARED_DIR) / "bench" /
                                       "cases" / "p07_black_grid_same_colour";
    if (!std::filesystem::exists(Case))
        GTEST_SKIP() << "no bench charts";
    const std::string Chart = (Case / "p07_black_grid_same_colour.png").string();
    const auto Dir = TempDir() / "grid";
    std::filesystem::create_directories(Dir);
    const auto Out = Dir / "clean.png";
    const TRun Done =
        Cli("eliminate-grid " + Chart +
            " --first 70,530 --skew 770,530 --second 770,30 --stats -o " + Out.string());
    ASSERT_EQ(Done.Status, 0) << Done.Err;
    EXPECT_NE(Done.Out.find("lines along X: 11"), std::string::npos) << Done.Out;
    const QImage Clean(QString::fromStdString(Out.string()));
    ASSERT_FALSE(Clean.isNull());
    EXPECT_EQ(Clean.pixel(600, 330), qRgb(255, 255, 255)); // a grid line's pixel
    EXPECT_EQ(Clean.pixel(70, 330), qRgb(0, 0, 0));        // the frame stays
    // Without reference pixels the tilt is found; the answer is the same picture.
    const auto Found = Dir / "found.png";
    ASSERT_EQ(Cli("eliminate-grid " + Chart + " -o " + Found.string()).Status, 0);
    EXPECT_EQ(QImage(QString::fromStdString(Found.string())), Clean);

    struct TCase {
        std::string Arguments;
        int Status;
        const char* Message;
    };
    const std::string Plain = (Dir / "plain.png").string();
    QImage Blank(200, 100, QImage::Format_RGB888);
    Blank.fill(Qt::white);
    ASSERT_TRUE(Blank.save(QString::fromStdString(Plain)));
    const TCase Cases[] = {
        {Plain + " -o " + (Dir / "none.png").string(), 3, "No grid lines were found"},
        {(Dir / "missing.png").string() + " -o " + (Dir / "x.png").string(), 1, "missing.png"},
        {Chart + " -o /nonexistent/dir/x.png", 1, "/nonexistent/dir/x.png"},
        {Chart + " --first 1,1 -o " + (Dir / "x.png").string(), 2, "go together"},
    };
    for (const TCase& C : Cases) {
        const TRun Run = Cli("eliminate-grid " + C.Arguments);
        EXPECT_EQ(Run.Status, C.Status) << C.Arguments;
        EXPECT_NE(Run.Err.find(C.Message), std::string::npos) << Run.Err;
    }
    EXPECT_FALSE(std::filesystem::exists(Dir / "none.png"));
    EXPECT_FALSE(std::filesystem::exists(Dir / "x.png"));
    const TRun Stray = Cli("follow " + Chart + " --pixels --start 100,100 --frame");
    EXPECT_EQ(Stray.Status, 2);
    EXPECT_NE(Stray.Err.find("go with --eliminate-grid"), std::string::npos) << Stray.Err;
    std::filesystem::remove_all(TempDir());
}

TEST(Cli, PdfPagesAreListedConvertedAndFollowed) {
    korvane::EnsureGuiApplication();
    const auto Dir = TempDir() / "pdf";
    std::filesystem::create_directories(Dir);
    const std::string Pdf = (Dir / "chart.pdf").string();
    {
        // Page 1 is blank; page 2 (400 x 300 pt) has a black line from (50, 250) to (350, 50).
        QPdfWriter Writer(QString::fromStdString(Pdf));
        Writer.setResolution(72);
        Writer.setPageMargins({0, 0, 0, 0});
        Writer.setPageSize(QPageSize(QSizeF(200, 100), QPageSize::Point));
        QPainter Painter(&Writer);
        Writer.setPageSize(QPageSize(QSizeF(400, 300), QPageSize::Point));
        Writer.newPage();
        Painter.setPen(QPen(Qt::black, 1.5));
        Painter.drawLine(QPointF(50, 250), QPointF(350, 50));
    }
    const TRun Info = Cli("info " + Pdf + " --dpi 144");
    ASSERT_EQ(Info.Status, 0) << Info.Err;
    EXPECT_NE(Info.Out.find("pages: 2"), std::string::npos) << Info.Out;
    EXPECT_NE(Info.Out.find("page 2: 400.00 x 300.00 pt (141.1 x 105.8 mm), 800 x 600 pixels "
                            "at 144 dpi"),
              std::string::npos)
        << Info.Out;

    const auto Png = Dir / "part.png";
    ASSERT_EQ(Cli("convert " + Pdf + " --page 2 --dpi 144 --crop 40,40,320,220 -o " + Png.string())
                  .Status,
              0);
    const QImage Part(QString::fromStdString(Png.string()));
    EXPECT_EQ(Part.size(), QSize(640, 440));
    EXPECT_EQ(Part.pixel(20, 420) & 0xffffff, 0u); // the line's end at (50, 250) pt
    EXPECT_EQ(Part.pixel(620, 420) & 0xffffff, 0xffffffu);

    // Followed on the rendered page (144 dpi), where the line runs from (100, 500) to
    // (700, 100) pixels: from the start to the line's right end.
    const TRun Follow = Cli("follow " + Pdf + " --page 2 --dpi 144 --pixels --start 400,300");
    ASSERT_EQ(Follow.Status, 0) << Follow.Err;
    EXPECT_EQ(Follow.Out.rfind("400,299\n", 0), 0u) << Follow.Out.substr(0, 40);
    EXPECT_NE(Follow.Out.find("\n700,99\n"), std::string::npos);

    struct TCase {
        std::string Arguments;
        int Status;
        const char* Message;
    } Cases[] = {
        {"convert " + Pdf + " --page 3 -o " + (Dir / "x.png").string(), 1, "has no page 3"},
        {"convert " + Pdf + " --dpi 2400 -o " + (Dir / "x.png").string(), 2, "--dpi"},
        {"convert " + Pdf + " --crop 1,2,3 -o " + (Dir / "x.png").string(), 2, "X,Y,W,H"},
        {"convert " + Png.string() + " --page 2 -o " + (Dir / "x.png").string(), 2,
         "are for PDF files"},
    };
    for (const TCase& C : Cases) {
        const TRun Run = Cli(C.Arguments);
        EXPECT_EQ(Run.Status, C.Status) << C.Arguments;
        EXPECT_NE(Run.Err.find(C.Message), std::string::npos) << Run.Err;
    }
    EXPECT_FALSE(std::filesystem::exists(Dir / "x.png"));

    const auto Locked = std::filesystem::path(KORVANE_TEST_DATA_DIR) / "pdf" / "encrypted_user.pdf";
    if (std::filesystem::exists(Locked)) {
        const TRun Refused = Cli("info " + Locked.string());
        EXPECT_EQ(Refused.Status, 1);
        EXPECT_NE(Refused.Err.find("is protected by a password"), std::string::npos);
        EXPECT_EQ(Cli("info " + Locked.string() + " --password secret").Status, 0);
    }
    std::filesystem::remove_all(TempDir());
}
