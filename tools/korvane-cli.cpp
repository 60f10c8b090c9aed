// korvane-cli: Korvane's headless tool. It reads images exactly as the program does.

#include "CliSupport.h"
#include "core/AtomicFile.h"
#include "core/Streams.h"
#include "image/ImageFormats.h"
#include "image/Scanner.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace korvane;
using korvane::cli::TUsageError;

namespace {

const char* const Usage = R"(Usage: korvane-cli [--settings-dir DIR] COMMAND [ARGUMENTS]

Commands:
  info FILE [--password P] [--dpi D]
                               Show the image's format, size and pixel format; for a PDF
                               its pages with their sizes (and pixels at D, default 300).
  convert FILE OUT.ppm         Write the working image (24-bit) as a binary PPM file.
  convert FILE [PDF options] -o OUT.png
                               The same as PNG (BMP or PPM by the name).
  scan [--device NAME] OUT.ppm Scan one page (the first scanner unless NAME is given)
                               and write it as a binary PPM file.
  formats                      List the image formats Korvane opens.
  follow IMAGE [PDF options] --first C,R=X,Y --skew C,R --second C,R=X,Y [--log-x] [--log-y]
         --start C,R [--kind functional|nonfunctional] [--direction DX,DY]
         [--color R,G,B] [--tolerance T] [--max-hjump N] [--max-vjump N]
         [--thickness N] [--enhanced] [--subpixel] [--crossings] [--guard]
         [--fill-gaps] [--eliminate-grid [--frame] [--ticks] [--strength S]]
         [--pixels] [-o FILE]
         [--template NAME [--approximator raw|spline] [--increment D]
          [--x-units TEXT] [--y-units TEXT] [--x-format fixed:N|scientific:N]
          [--y-format fixed:N|scientific:N]]
                               Follow the line at the start pixel and print one point
                               per line: real "X,Y" values, or image pixels "C,R" with
                               --pixels (the coordinate system is then optional).
                               Defaults: tolerance 0.1, jumps 6 and 50, thickness 20;
                               without --color the start pixel's colour is followed.
                               Enhancements (all off by default): --subpixel reports
                               the line's ink-weighted centre between pixels;
                               --crossings keeps to the line where a line of the same
                               colour crosses it; --guard stops jumps onto axes and
                               frames after a line ends; --fill-gaps interpolates the
                               columns of a gap; --enhanced is --subpixel --crossings
                               --guard. --pixels still prints whole pixels.
                               --eliminate-grid removes the chart's grid first (in
                               memory, as eliminate-grid does, with its --frame,
                               --ticks and --strength).
                               With --template the points become a line that is
                               written through a built-in template ("Comma-separated",
                               "Comma-separated with header", "Tab-separated", "XML",
                               "DXF", "Microsoft Excel" - the last only with -o).

  follow ... --save NAME       Store the followed line as the data set NAME in the
                               image's parameter file, with the coordinate system, as
                               the program does when the image is closed with "Yes".
  eliminate-grid IMAGE [--first C,R --skew C,R --second C,R] [--frame] [--ticks]
         [--strength S] [--mask MASK.png] [--stats] -o OUT.png
                               Remove the chart's grid lines, painting them with the
                               paper's colour and keeping the curve pixels they covered,
                               and write the result (PNG; BMP or PPM by the name). The
                               reference pixels give the grid's directions; without
                               them its tilt (up to 5 degrees) is found. --frame removes
                               the frame lines too, --ticks the tick marks on them;
                               --strength 1..3 finds fainter grids. --mask writes the
                               picture with erased pixels red and kept ones green. No
                               grid found: exit status 3, nothing written.
  par IMAGE                    Show the work stored for IMAGE: coordinate system, units,
                               formats, follower settings and data sets.
  export IMAGE [--dataset NAME] [--template NAME] [-o FILE]
                               Write the stored data sets (or the one named) through a
                               template (default "Comma-separated"; the templates saved
                               with the program's settings are offered too).

PDF options (a PDF's page is the image; PDF files only):
  --page N                     The page, from 1 (default 1).
  --dpi D                      The resolution, 72 to 1200 dots per inch (default 300).
  --crop X,Y,W,H               Only this part of the page, in points (1/72 inch) from the
                               page's top left corner.
  --password P                 The password of an encrypted PDF.
  par and export name a PDF's page as the program keeps it: "FILE.pdf#page=N;dpi=D"
  (and ";crop=X,Y,W,H").

Options:
  --settings-dir DIR           Where "Korvane5.app" and the folder "par" are (default:
                               the program's folder when writable, else
                               ~/.config/korvane).
  -h, --help                   Show this help.
  -v, --version                Show the version.

Exit status: 0 on success, 1 on failure, 2 on a usage error, 3 when eliminate-grid
finds no grid.
)";

void WritePPM(const QImage& Image, const std::string& FileName) {
    WriteFileAtomically(FileName, [&](TStream& Out) {
        const std::string Header = "P6\n" + std::to_string(Image.width()) + " " +
                                   std::to_string(Image.height()) + "\n255\n";
        Out.WriteBuffer(Header.data(), Header.size());
        for (int Y = 0; Y < Image.height(); ++Y)
            Out.WriteBuffer(Image.constScanLine(Y), static_cast<std::size_t>(Image.width()) * 3);
    });
}

int Info(const std::vector<std::string>& Args) {
    std::string File;
    korvane::cli::TPdfOptions Pdf;
    for (std::size_t I = 0; I < Args.size(); ++I) {
        if (Pdf.Parse(Args, I))
            continue;
        if (!File.empty() || Args[I].rfind("--", 0) == 0)
            throw TUsageError{"unexpected argument '" + Args[I] + "'"};
        File = Args[I];
    }
    if (File.empty())
        throw TUsageError{"info takes one FILE"};
    if (IsPdfFile(File)) {
        const TPdfDocument Document = TPdfDocument::Open(File, Pdf.Password);
        std::printf("format: PDF\ndescription: PDF Documents\npages: %d\n", Document.PageCount());
        for (int Page = 1; Page <= Document.PageCount(); ++Page) {
            const QSizeF Size = Document.PageSize(Page);
            const QSize Pixels = Document.RenderSize({Page, Pdf.Spec.Dpi, std::nullopt});
            std::printf("page %d: %.2f x %.2f pt (%.1f x %.1f mm), %d x %d pixels at %d dpi\n",
                        Page, Size.width(), Size.height(), Size.width() * 25.4 / 72,
                        Size.height() * 25.4 / 72, Pixels.width(), Pixels.height(), Pdf.Spec.Dpi);
        }
        return 0;
    }
    if (Pdf.Given)
        throw TUsageError{"--page, --dpi, --crop and --password are for PDF files"};
    const TImageFormat& Format = TImageFormatRegistry::ForFile(File);
    const TWorkingImage Image = LoadImageFile(File);
    std::printf("format: %s\ndescription: %s\nwidth: %d\nheight: %d\npixel format: %s\n",
                Format.Extension.c_str(), Format.Description.c_str(), Image.Image.width(),
                Image.Image.height(), PixelFormatName(Image.PixelFormat));
    return 0;
}

int Convert(const std::vector<std::string>& Args) {
    std::vector<std::string> Files;
    std::string Output;
    korvane::cli::TPdfOptions Pdf;
    for (std::size_t I = 0; I < Args.size(); ++I) {
        if (Pdf.Parse(Args, I))
            continue;
        if (Args[I] == "-o")
            Output = korvane::cli::OptionValue(Args, I);
        else if (Args[I].rfind("--", 0) == 0)
            throw TUsageError{"unexpected argument '" + Args[I] + "'"};
        else
            Files.push_back(Args[I]);
    }
    // "convert FILE OUT.ppm" writes PPM; "convert FILE -o OUT" PNG, or BMP or PPM by the name.
    const bool Ppm = Output.empty();
    if (Ppm && Files.size() == 2) {
        Output = Files.back();
        Files.pop_back();
    }
    if (Files.size() != 1 || Output.empty())
        throw TUsageError{"convert takes FILE and OUT.ppm (or -o OUT.png)"};
    const TWorkingImage Image = korvane::cli::LoadImage(Files.front(), Pdf);
    if (Ppm)
        WritePPM(Image.Image, Output);
    else
        SaveImageFile(Image.Image, Output);
    return 0;
}

int Scan(const std::vector<std::string>& Args) {
    std::string Device, Output;
    for (std::size_t I = 0; I < Args.size(); ++I) {
        if (Args[I] == "--device") {
            if (++I >= Args.size())
                throw TUsageError{"--device needs a NAME"};
            Device = Args[I];
        } else if (Output.empty() && Args[I].rfind("--", 0) != 0) {
            Output = Args[I];
        } else {
            throw TUsageError{"unexpected argument '" + Args[I] + "'"};
        }
    }
    if (Output.empty())
        throw TUsageError{"scan needs OUT.ppm"};
    TScanner& Scanner = TScanner::Instance();
    if (!Scanner.Available())
        throw EScannerError("No scanner interface");
    int Index = Scanner.SelectedSource();
    if (!Device.empty()) {
        Index = Scanner.IndexOf(Device);
        if (Index < 0)
            throw EScannerError("No scanner named \"" + Device + "\".");
    }
    WritePPM(Scanner.Acquire(Index).Image, Output);
    return 0;
}

int Formats(const std::vector<std::string>& Args) {
    if (!Args.empty())
        throw TUsageError{"formats takes no arguments"};
    for (const TImageFormat& F : TImageFormatRegistry::Formats())
        std::printf("%-5s %s\n", F.Extension.c_str(), F.Description.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> Args(argv + 1, argv + argc);
    if (Args.empty()) {
        std::fputs(Usage, stderr);
        return 2;
    }
    std::string Command;
    try {
        // --settings-dir may come anywhere.
        for (std::size_t I = 0; I < Args.size(); ++I)
            if (Args[I] == "--settings-dir") {
                korvane::cli::SetSettingsFolder(korvane::cli::OptionValue(Args, I));
                Args.erase(Args.begin() + static_cast<std::ptrdiff_t>(I - 1),
                           Args.begin() + static_cast<std::ptrdiff_t>(I + 1));
                break;
            }
    } catch (const TUsageError& E) {
        std::fprintf(stderr, "korvane-cli: %s\nTry 'korvane-cli --help'.\n", E.Message.c_str());
        return 2;
    }
    if (Args.empty()) {
        std::fputs(Usage, stderr);
        return 2;
    }
    Command = Args.front();
    Args.erase(Args.begin());
    if (Command == "-h" || Command == "--help" || Command == "help") {
        std::fputs(Usage, stdout);
        return 0;
    }
    if (Command == "-v" || Command == "--version") {
        std::printf("korvane-cli %s\n", KORVANE_VERSION);
        return 0;
    }
    try {
        if (Command == "info")
            return Info(Args);
        if (Command == "convert")
            return Convert(Args);
        if (Command == "scan")
            return Scan(Args);
        if (Command == "formats")
            return Formats(Args);
        if (Command == "follow")
            return korvane::cli::FollowCommand(Args);
        if (Command == "par")
            return korvane::cli::ParCommand(Args);
        if (Command == "export")
            return korvane::cli::ExportCommand(Args);
        if (Command == "eliminate-grid")
            return korvane::cli::EliminateGridCommand(Args);
        throw TUsageError{"unknown command '" + Command + "'"};
    } catch (const TUsageError& E) {
        std::fprintf(stderr, "korvane-cli: %s\nTry 'korvane-cli --help'.\n", E.Message.c_str());
        return 2;
    } catch (const std::exception& E) {
        std::fprintf(stderr, "korvane-cli: %s\n", E.what());
        return 1;
    }
}
