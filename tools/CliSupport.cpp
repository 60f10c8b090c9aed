#include "CliSupport.h"

#include "document/Parameters.h"
#include "image/ImageFormats.h"

#include <charconv>
#include <cmath>
#include <filesystem>

namespace korvane::cli {

namespace {

double ToReal(const std::string& Text, const std::string& Option) {
    double Value = 0;
    const char* End = Text.data() + Text.size();
    const auto [Ptr, Error] = std::from_chars(Text.data(), End, Value);
    if (Error != std::errc() || Ptr != End || !std::isfinite(Value))
        throw TUsageError{Option + ": '" + Text + "' is not a number"};
    return Value;
}

long ToInteger(const std::string& Text, const std::string& Option) {
    long Value = 0;
    const char* End = Text.data() + Text.size();
    const auto [Ptr, Error] = std::from_chars(Text.data(), End, Value);
    if (Error != std::errc() || Ptr != End)
        throw TUsageError{Option + ": '" + Text + "' is not an integer"};
    return Value;
}

std::pair<std::string, std::string> SplitPair(const std::string& Text, const std::string& Option,
                                              const char* Shape) {
    const auto Comma = Text.find(',');
    if (Comma == std::string::npos || Text.find(',', Comma + 1) != std::string::npos)
        throw TUsageError{Option + " expects " + Shape + ", not '" + Text + "'"};
    return {Text.substr(0, Comma), Text.substr(Comma + 1)};
}

} // namespace

TLongintPoint ParseIntPair(const std::string& Text, const std::string& Option) {
    const auto [A, B] = SplitPair(Text, Option, "C,R");
    const long X = ToInteger(A, Option), Y = ToInteger(B, Option);
    if (X < -2147483647L || X > 2147483647L || Y < -2147483647L || Y > 2147483647L)
        throw TUsageError{Option + ": '" + Text + "' is out of range"};
    return {static_cast<std::int32_t>(X), static_cast<std::int32_t>(Y)};
}

TDoublePoint ParseRealPair(const std::string& Text, const std::string& Option) {
    const auto [A, B] = SplitPair(Text, Option, "X,Y");
    return {ToReal(A, Option), ToReal(B, Option)};
}

void ParsePixelValue(const std::string& Text, const std::string& Option, TLongintPoint& Pixel,
                     TDoublePoint& Value) {
    const auto Equals = Text.find('=');
    if (Equals == std::string::npos)
        throw TUsageError{Option + " expects C,R=X,Y, not '" + Text + "'"};
    Pixel = ParseIntPair(Text.substr(0, Equals), Option);
    Value = ParseRealPair(Text.substr(Equals + 1), Option);
}

long ParseInteger(const std::string& Text, const std::string& Option, long Min, long Max) {
    const long Value = ToInteger(Text, Option);
    if (Value < Min || Value > Max)
        throw TUsageError{Option + " must lie between " + std::to_string(Min) + " and " +
                          std::to_string(Max)};
    return Value;
}

double ParseReal(const std::string& Text, const std::string& Option, double Min, double Max) {
    const double Value = ToReal(Text, Option);
    if (Value < Min || Value > Max)
        throw TUsageError{Option + " must lie between " + RealText(Min) + " and " + RealText(Max)};
    return Value;
}

const std::string& OptionValue(const std::vector<std::string>& Args, std::size_t& I) {
    if (I + 1 >= Args.size())
        throw TUsageError{Args[I] + " needs a value"};
    return Args[++I];
}

namespace {
std::string TheSettingsFolder;
}

std::string SettingsFolder() {
    if (TheSettingsFolder.empty())
        TheSettingsFolder = DefaultParameterFolder();
    return TheSettingsFolder;
}

void SetSettingsFolder(const std::string& Folder) {
    if (!std::filesystem::is_directory(Folder))
        throw TUsageError{"--settings-dir: '" + Folder + "' is not a folder"};
    TheSettingsFolder = Folder;
}

std::string AbsolutePath(const std::string& Path) {
    return std::filesystem::absolute(Path).lexically_normal().string();
}

std::string RealText(double Value) {
    char Buffer[64];
    const auto [End, Error] =
        std::to_chars(Buffer, Buffer + sizeof Buffer, Value, std::chars_format::general, 17);
    return Error == std::errc() ? std::string(Buffer, End) : std::string("nan");
}

bool TPdfOptions::Parse(const std::vector<std::string>& Args, std::size_t& I) {
    const std::string& A = Args[I];
    if (A == "--page") {
        Spec.Page = static_cast<int>(ParseInteger(OptionValue(Args, I), A, 1, 999999));
    } else if (A == "--dpi") {
        Spec.Dpi = static_cast<int>(
            ParseInteger(OptionValue(Args, I), A, TPdfPageSpec::MinDpi, TPdfPageSpec::MaxDpi));
    } else if (A == "--crop") {
        const std::string& Text = OptionValue(Args, I);
        long V[4];
        std::size_t From = 0;
        for (int K = 0; K < 4; ++K) {
            const std::size_t Comma = K < 3 ? Text.find(',', From) : Text.size();
            if (Comma == std::string::npos)
                throw TUsageError{"--crop expects X,Y,W,H in points, not '" + Text + "'"};
            V[K] = ParseInteger(Text.substr(From, Comma - From), A, K < 2 ? 0 : 1, 999999);
            From = Comma + 1;
        }
        Spec.Crop = TPdfCrop{int(V[0]), int(V[1]), int(V[2]), int(V[3])};
    } else if (A == "--password") {
        Password = OptionValue(Args, I);
    } else {
        return false;
    }
    Given = true;
    return true;
}

TWorkingImage LoadImage(const std::string& File, const TPdfOptions& Pdf) {
    if (!IsPdfFile(File)) {
        if (Pdf.Given)
            throw TUsageError{"--page, --dpi, --crop and --password are for PDF files"};
        return LoadImageFile(File);
    }
    const TPdfDocument Document = TPdfDocument::Open(File, Pdf.Password);
    return Document.Render(Pdf.Spec);
}

std::string WorkName(const std::string& File, const TPdfOptions& Pdf) {
    const std::string Path = AbsolutePath(File);
    return IsPdfFile(File) ? PdfPageName(Path, Pdf.Spec) : Path;
}

} // namespace korvane::cli
