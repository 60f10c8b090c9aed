#pragma once

#include <functional>
#include <string>

namespace korvane {

class TStream;

// Writes FileName so that it is either the complete new content or left as it was, even
// when the program is killed or the power fails during the write:
// - Writer fills a file in the same folder that has no name yet (or, where the file system
//   cannot make one, a hidden temporary file);
// - the data is flushed to disk;
// - the file is renamed over FileName, keeping the old file's permissions;
// - then the folder is flushed, so that the rename itself survives.
// Any failure removes the temporary file and throws (EWriteError or EFOpenError naming
// FileName, or whatever Writer threw). A target that exists but is not a regular file (a
// device, a pipe) is written directly. Stale temporary files that killed writes left in the
// folder are removed first.
void WriteFileAtomically(const std::string& FileName, const std::function<void(TStream&)>& Writer);

// Removes the temporary files that interrupted writes of this program left in Folder: those
// whose writer is no longer running, or that are more than a day old. Answers how many were
// removed. Never throws; an unreadable folder removes nothing.
int RemoveStaleTemporaryFiles(const std::string& Folder);

// Whether Name (a file name without folder) is one of the temporary files WriteFileAtomically
// makes, so that listings of the user's files can leave it out.
bool IsTemporaryFileName(const std::string& Name);

} // namespace korvane
