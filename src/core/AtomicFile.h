#pragma once

#include <functional>
#include <string>

namespace korvane {

class TStream;

// Writes FileName so that it is either the complete new content or left as it was:
// Writer fills a temporary file in the same folder, which is flushed to disk and then
// renamed over FileName. Any failure removes the temporary file and throws (EWriteError
// or EFOpenError naming the file, or whatever Writer threw). A target that exists but is
// not a regular file (a device, a pipe) is written directly.
void WriteFileAtomically(const std::string& FileName, const std::function<void(TStream&)>& Writer);

} // namespace korvane
