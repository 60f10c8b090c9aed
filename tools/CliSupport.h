#pragma once

// Shared pieces of korvane-cli's commands.

#include "core/DoublePoints.h"
#include "image/GridElimination.h"
#include "image/ImageModel.h"
#include "image/PdfDocument.h"

#include <optional>
#include <string>
#include <vector>

namespace korvane::cli {

// A mistake in the command line: exit status 2.
struct TUsageError {
    std::string Message;
};

// "C,R" (integers). Throws TUsageError naming Option.
TLongintPoint ParseIntPair(const std::string& Text, const std::string& Option);
// "X,Y" (reals, '.' as decimal point).
TDoublePoint ParseRealPair(const std::string& Text, const std::string& Option);
// "C,R=X,Y".
void ParsePixelValue(const std::string& Text, const std::string& Option, TLongintPoint& Pixel,
                     TDoublePoint& Value);
long ParseInteger(const std::string& Text, const std::string& Option, long Min, long Max);
double ParseReal(const std::string& Text, const std::string& Option, double Min, double Max);

// The value of Args[I + 1] for option Args[I]; throws when it is missing. Values may start
// with '-' (negative numbers).
const std::string& OptionValue(const std::vector<std::string>& Args, std::size_t& I);

// Shortest exact text of a real value with 17 significant digits and '.', whatever the locale.
std::string RealText(double Value);

// Where "Korvane5.app" and the folder "par" are: --settings-dir, else the program's default.
std::string SettingsFolder();
void SetSettingsFolder(const std::string& Folder);
// Path made absolute (as a file dialog gives it), without resolving links.
std::string AbsolutePath(const std::string& Path);

// --page N, --dpi D, --crop X,Y,W,H and --password P: which page of a PDF is the image.
struct TPdfOptions {
    TPdfPageSpec Spec;
    std::string Password;
    bool Given = false;
    // Takes Args[I] (and its value) when it is one of the options above.
    bool Parse(const std::vector<std::string>& Args, std::size_t& I);
};
// The image of a file: a PDF's page as Pdf chooses (the first at 300 dpi by default), any
// other image as it is; the PDF options with another image are a usage error.
TWorkingImage LoadImage(const std::string& File, const TPdfOptions& Pdf);
// The name the program keeps the work under: the absolute path, for a PDF with its page.
std::string WorkName(const std::string& File, const TPdfOptions& Pdf);

int FollowCommand(const std::vector<std::string>& Args);
int ParCommand(const std::vector<std::string>& Args);
int ExportCommand(const std::vector<std::string>& Args);
// Exit status 3 when the image shows no grid.
int EliminateGridCommand(const std::vector<std::string>& Args);
// The reference pixels of a grid, when all three were given.
std::optional<TGridReference> GridReferenceOf(bool Have, TLongintPoint First, TLongintPoint Skew,
                                              TLongintPoint Second);

} // namespace korvane::cli
