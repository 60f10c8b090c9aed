#pragma once

#include <string>
#include <vector>

namespace korvane {

// Small settings files of our own beside "Korvane5.app": a first line that names the file,
// then one "Key=Value" per line. Blank lines and lines starting with '#' are skipped; spaces
// around keys and values, and CR line ends, are ignored.
struct TKeyValueLine {
    std::string Key;
    std::string Value;
    int Line = 0; // 1-based, for messages
};

// The Key=Value lines of Text, in order. Throws EParameterFile "line N: ..." for a first line
// other than Header, a line without "=", a value without a key or a NUL byte, and "the file is
// empty" when there is no Header line.
std::vector<TKeyValueLine> ParseKeyValueText(const std::string& Text, const std::string& Header);

// Throws EParameterFile "line N: Reason" (for a value a reader refuses).
[[noreturn]] void KeyValueDamaged(int Line, const std::string& Reason);

// The content of a settings file; throws when it cannot be read or is larger than any such
// file is (64 KiB).
std::string ReadSettingsText(const std::string& FileName);

// Writes Text through a temporary file renamed over FileName.
void WriteSettingsText(const std::string& FileName, const std::string& Text);

} // namespace korvane
