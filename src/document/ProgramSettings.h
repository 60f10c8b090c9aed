#pragma once

#include "core/Formats.h"

#include <string>

namespace korvane {

// Beside "Korvane5.app", in the same folder: the user's choices that the application
// parameter file, whose layout stays as it is, has no place for.
inline constexpr const char* ProgramSettingsFileName = "Korvane5.ini";

// The choices as they are stored, in a small text file:
//
//     [Korvane5 settings]
//     ExportFolder=/home/ann/results
//     OpenFolder=/home/ann/scans
//     CopyFullPrecision=1
//     DefaultXFormat=fixed:2
//     DefaultYFormat=scientific:3
//
// The first line names the file; then one "Key=Value" per line. Blank lines and lines
// starting with '#' are skipped, an unknown key is passed over (a later version may know it)
// and the last of two equal keys counts.
class TProgramSettings {
public:
    // The folder of the last file written by an export; empty until the first.
    std::string ExportFolder;
    // The folder of the last image opened through the file dialog; empty until the first.
    std::string OpenFolder;
    // The data grid copies its points with every digit rather than as it shows them.
    bool CopyFullPrecision = false;
    // The number formats that images without a parameter file start with ("Set as default"
    // in the format dialog); the built-in ones until one is set. A value that is not
    // "fixed:N" or "scientific:N" with N from 0 to 18 is passed over.
    bool HasDefaultFormats = false;
    TCoordFormatPair DefaultFormats;

    TProgramSettings() = default;
    TProgramSettings(const TProgramSettings& Other) { *this = Other; }
    TProgramSettings& operator=(const TProgramSettings& Other);

    // Folder + "/Korvane5.ini".
    static std::string FileName(const std::string& Folder);

    // Reads the file in Folder. A missing file gives the defaults without a word; an
    // unreadable or damaged one gives the defaults and throws EParameterFile, whose message
    // names the file and what is wrong with it.
    void Load(const std::string& Folder);
    // Writes the file in Folder through a temporary file renamed over it. Write errors throw.
    void Save(const std::string& Folder) const;

    // The file's content. A value that cannot be kept on one line is left out.
    std::string ToText() const;
    // Settings from a file's content; a damaged content throws EParameterFile.
    static TProgramSettings FromText(const std::string& Text);
};

} // namespace korvane
