#pragma once

#include "core/Persistent.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace korvane {

class TStream;

// True when FileName names an existing file (a directory does not count).
bool FileExists(const std::string& FileName);

// The image files most recently opened, most recent first, at most Capacity of them.
// Paths are compared without regard to letter case. A page of a PDF is listed by its page
// name (PdfPageName), which lives as long as its PDF does.
//
// Record: Capacity (32-bit), the count N (32-bit), then N paths (StringToStream).
class TRecentFilesList : public TPersistent {
public:
    // Also the least a loaded list holds: lists stored with the former 4 grow to it.
    static constexpr std::int32_t DefaultCapacity = 8;

    TRecentFilesList() = default;
    TRecentFilesList(const TRecentFilesList&) = delete;
    TRecentFilesList& operator=(const TRecentFilesList&) = delete;

    // Called with the list after every change.
    std::function<void(TRecentFilesList&)> OnChange;

    std::int32_t Capacity() const { return FCapacity; }
    std::int32_t Count() const { return static_cast<std::int32_t>(FFiles.size()); }
    // EListError outside 0 .. Count - 1.
    const std::string& Files(std::int32_t Index) const;

    // From the last entry back, the first equal to Path ignoring letter case; -1 if none.
    std::int32_t IndexOf(const std::string& Path) const;
    // Puts an existing file at the front: a listed entry (ignoring case) moves there with
    // its stored spelling, a new one pushes out the oldest when the list is full. Nothing
    // happens for a path that names no file.
    void Add(const std::string& Path);
    // Drops the entries beyond N; a negative N counts as 0. No OnChange.
    void SetCapacity(std::int32_t N);
    void Clear();

    // Copies Capacity, Files and OnChange from another TRecentFilesList.
    void Assign(const TPersistent& Source) override;

    // Keeps the stored paths whose files still exist, in stored order, cut to the stored
    // capacity (at least DefaultCapacity), then OnChange. A damaged record throws and leaves
    // the list as it was.
    void LoadFromStream(TStream& Stream);
    void SaveToStream(TStream& Stream) const;

private:
    void Changed();

    std::int32_t FCapacity = DefaultCapacity;
    std::vector<std::string> FFiles;
};

} // namespace korvane
