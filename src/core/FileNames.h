#pragma once

#include <string>

namespace korvane {

// A file name (no folder) made from Stem and Extension (without its dot) that stays inside
// the folder it is put in and that the common file systems, Windows' and memory sticks'
// included, accept: no slashes or characters those systems refuse, no control characters, no
// leading dot (a hidden file) or trailing dots and spaces, no device name such as "CON", valid
// UTF-8, and at most 255 bytes in all. An empty stem becomes "data". Meant for names the
// program proposes; a name the user types is taken as it is.
std::string SafeFileName(const std::string& Stem, const std::string& Extension);
// The extension SafeFileName gives Extension (no dot; empty when nothing of it is usable).
std::string SafeExtension(const std::string& Extension);

} // namespace korvane
