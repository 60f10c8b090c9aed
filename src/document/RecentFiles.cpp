#include "document/RecentFiles.h"

#include "core/Errors.h"
#include "core/Streams.h"
#include "image/PdfDocument.h"

#include <QString>
#include <sys/stat.h>

namespace korvane {

namespace {

bool SamePath(const std::string& A, const std::string& B) {
    return QString::fromUtf8(A.data(), static_cast<qsizetype>(A.size()))
               .compare(QString::fromUtf8(B.data(), static_cast<qsizetype>(B.size())),
                        Qt::CaseInsensitive) == 0;
}

} // namespace

bool FileExists(const std::string& FileName) {
    struct stat Info;
    return !FileName.empty() && ::stat(FileName.c_str(), &Info) == 0 && !S_ISDIR(Info.st_mode);
}

const std::string& TRecentFilesList::Files(std::int32_t Index) const {
    if (Index < 0 || Index >= Count())
        throw EListError("TRecentFilesList: Index out of bounds.");
    return FFiles[static_cast<std::size_t>(Index)];
}

std::int32_t TRecentFilesList::IndexOf(const std::string& Path) const {
    for (std::int32_t I = Count() - 1; I >= 0; --I)
        if (SamePath(FFiles[static_cast<std::size_t>(I)], Path))
            return I;
    return -1;
}

void TRecentFilesList::Add(const std::string& Path) {
    if (!FileExists(SourceFileOf(Path)))
        return;
    const std::int32_t Index = IndexOf(Path);
    if (Index >= 0) {
        std::string Listed = std::move(FFiles[static_cast<std::size_t>(Index)]);
        FFiles.erase(FFiles.begin() + Index);
        FFiles.insert(FFiles.begin(), std::move(Listed));
    } else {
        if (FCapacity <= 0)
            return;
        if (Count() > FCapacity)
            FFiles.resize(static_cast<std::size_t>(FCapacity));
        if (Count() == FCapacity)
            FFiles.pop_back();
        FFiles.insert(FFiles.begin(), Path);
    }
    Changed();
}

void TRecentFilesList::SetCapacity(std::int32_t N) {
    FCapacity = N < 0 ? 0 : N;
    if (Count() > FCapacity)
        FFiles.resize(static_cast<std::size_t>(FCapacity));
}

void TRecentFilesList::Clear() {
    FFiles.clear();
    Changed();
}

void TRecentFilesList::Assign(const TPersistent& Source) {
    if (const auto* List = dynamic_cast<const TRecentFilesList*>(&Source)) {
        if (List == this)
            return;
        FCapacity = List->FCapacity;
        FFiles = List->FFiles;
        OnChange = List->OnChange;
        return;
    }
    TPersistent::Assign(Source);
}

void TRecentFilesList::LoadFromStream(TStream& Stream) {
    const std::int32_t NewCapacity = ReadInt32(Stream);
    const std::int32_t N = ReadInt32(Stream);
    if (NewCapacity < 0 || N < 0)
        throw EReadError("Invalid recent files record.");
    std::vector<std::string> Kept;
    for (std::int32_t I = 0; I < N; ++I) {
        std::string Path = StringFromStream(Stream);
        if (FileExists(SourceFileOf(Path)))
            Kept.push_back(std::move(Path));
    }
    FFiles = std::move(Kept);
    SetCapacity(std::max(NewCapacity, DefaultCapacity));
    Changed();
}

void TRecentFilesList::SaveToStream(TStream& Stream) const {
    WriteInt32(Stream, FCapacity);
    WriteInt32(Stream, Count());
    for (const std::string& Path : FFiles)
        StringToStream(Stream, Path);
}

void TRecentFilesList::Changed() {
    if (OnChange)
        OnChange(*this);
}

} // namespace korvane
