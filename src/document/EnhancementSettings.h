#pragma once

#include "follower/Enhancements.h"

#include <string>

namespace korvane {

// Beside "Korvane5.app", in the same folder: the follower enhancements the user chose. They
// are kept apart from the application and per-image parameter files, whose layouts stay as
// they are.
inline constexpr const char* EnhancementSettingsFileName = "Korvane5.ext";

// The follower enhancements as they are stored, in a small text file:
//
//     [Korvane5 follower enhancements]
//     SubpixelOutput=1
//     Crossings=1
//     Guard=1
//     GapFilling=0
//
// The first line names the file; then one "Key=0" or "Key=1" per line, keys as in
// FollowerEnhancementOptions. Blank lines and lines starting with '#' are skipped, a key
// missing from the file is off, an unknown key is passed over (a later version may know it),
// and the last of two equal keys counts.
class TEnhancementSettings {
public:
    TFollowerEnhancements Enhancements;

    // Folder + "/Korvane5.ext".
    static std::string FileName(const std::string& Folder);

    // Reads the file in Folder. A missing file gives the defaults (all off) without a word;
    // an unreadable or damaged one gives the defaults and throws EParameterFile, whose
    // message names the file and what is wrong with it.
    void Load(const std::string& Folder);
    // Writes the file in Folder through a temporary file renamed over it, so a failure leaves
    // the previous file as it was. Write errors throw.
    void Save(const std::string& Folder) const;

    // The file's content.
    std::string ToText() const;
    // Enhancements from a file's content; a damaged content throws EParameterFile with the
    // line and what is wrong there.
    static TFollowerEnhancements FromText(const std::string& Text);
};

} // namespace korvane
