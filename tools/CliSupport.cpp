#include "CliSupport.h"

#include "document/Parameters.h"

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

} // namespace korvane::cli
