#include "document/ProgramSettings.h"

#include "document/KeyValueFile.h"
#include "document/Parameters.h"
#include "document/RecentFiles.h"

#include <exception>

namespace korvane {

namespace {

constexpr const char* Header = "[Korvane5 settings]";

// Values are read back trimmed, one per line.
bool StorableValue(const std::string& Value) {
    return Value.find_first_of("\r\n") == std::string::npos && !Value.empty() &&
           Value.front() != ' ' && Value.front() != '\t' && Value.back() != ' ' &&
           Value.back() != '\t' && Value.find('\0') == std::string::npos;
}

std::string FormatText(const TCoordFormat& Format) {
    return (Format.FloatingPoint ? "fixed:" : "scientific:") + std::to_string(Format.Precision);
}

// "fixed:2" or "scientific:3" into Format; false (Format untouched) for anything else.
bool ReadFormat(const std::string& Text, TCoordFormat& Format) {
    const std::size_t Colon = Text.find(':');
    if (Colon == std::string::npos)
        return false;
    const std::string Kind = Text.substr(0, Colon), Digits = Text.substr(Colon + 1);
    if ((Kind != "fixed" && Kind != "scientific") || Digits.empty() || Digits.size() > 2 ||
        Digits.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const int Precision = std::stoi(Digits);
    if (Precision > TCoordFormat::MaxPrecision)
        return false;
    Format.FloatingPoint = Kind == "fixed";
    Format.Precision = Precision;
    return true;
}

} // namespace

TProgramSettings& TProgramSettings::operator=(const TProgramSettings& Other) {
    ExportFolder = Other.ExportFolder;
    OpenFolder = Other.OpenFolder;
    CopyFullPrecision = Other.CopyFullPrecision;
    HasDefaultFormats = Other.HasDefaultFormats;
    DefaultFormats.Assign(Other.DefaultFormats);
    return *this;
}

std::string TProgramSettings::FileName(const std::string& Folder) {
    return Folder + "/" + ProgramSettingsFileName;
}

std::string TProgramSettings::ToText() const {
    std::string Text = std::string(Header) + "\n";
    if (StorableValue(ExportFolder))
        Text += "ExportFolder=" + ExportFolder + "\n";
    if (StorableValue(OpenFolder))
        Text += "OpenFolder=" + OpenFolder + "\n";
    if (CopyFullPrecision)
        Text += "CopyFullPrecision=1\n";
    if (HasDefaultFormats)
        Text += "DefaultXFormat=" + FormatText(DefaultFormats.XFormat) + "\nDefaultYFormat=" +
                FormatText(DefaultFormats.YFormat) + "\n";
    return Text;
}

TProgramSettings TProgramSettings::FromText(const std::string& Text) {
    TProgramSettings Result;
    for (const TKeyValueLine& Entry : ParseKeyValueText(Text, Header))
        if (Entry.Key == "ExportFolder")
            Result.ExportFolder = Entry.Value;
        else if (Entry.Key == "OpenFolder")
            Result.OpenFolder = Entry.Value;
        else if (Entry.Key == "CopyFullPrecision")
            Result.CopyFullPrecision = Entry.Value == "1";
        else if (Entry.Key == "DefaultXFormat" || Entry.Key == "DefaultYFormat") {
            TCoordFormat Format;
            if (ReadFormat(Entry.Value, Format)) {
                (Entry.Key == "DefaultXFormat" ? Result.DefaultFormats.XFormat
                                               : Result.DefaultFormats.YFormat)
                    .Assign(Format);
                Result.HasDefaultFormats = true;
            }
        }
    return Result;
}

void TProgramSettings::Load(const std::string& Folder) {
    const std::string Name = FileName(Folder);
    *this = TProgramSettings();
    if (!FileExists(Name))
        return;
    try {
        *this = FromText(ReadSettingsText(Name));
    } catch (const std::exception& E) {
        *this = TProgramSettings();
        throw EParameterFile("The settings file \"" + Name + "\" is damaged (" + E.what() +
                             "). The settings are reset to their defaults.");
    }
}

void TProgramSettings::Save(const std::string& Folder) const {
    WriteSettingsText(FileName(Folder), ToText());
}

} // namespace korvane
