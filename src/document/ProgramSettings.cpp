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
        Text += "DefaultXFormat=" + DefaultFormats.XFormat.ToText() +
                "\nDefaultYFormat=" + DefaultFormats.YFormat.ToText() + "\n";
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
            TCoordFormat& Format = Entry.Key == "DefaultXFormat" ? Result.DefaultFormats.XFormat
                                                                 : Result.DefaultFormats.YFormat;
            if (Format.FromText(Entry.Value))
                Result.HasDefaultFormats = true;
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
