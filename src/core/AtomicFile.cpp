#include "core/AtomicFile.h"

#include "core/Errors.h"
#include "core/Streams.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korvane {

namespace {

// Temporary files are named ".NAME.PID-N.korvane-tmp": hidden, never with the target's
// extension (so no file dialog or loader takes one for data), and with the writer's process
// so that a later run can tell a killed write's leftover from a write still going on.
constexpr const char* TemporarySuffix = ".korvane-tmp";
constexpr std::size_t MaximumBaseLength = 180; // keeps the whole name within NAME_MAX

std::string FolderOf(const std::string& FileName) {
    const auto Slash = FileName.find_last_of('/');
    if (Slash == std::string::npos)
        return ".";
    return Slash == 0 ? "/" : FileName.substr(0, Slash);
}

std::string BaseOf(const std::string& FileName) {
    const auto Slash = FileName.find_last_of('/');
    return Slash == std::string::npos ? FileName : FileName.substr(Slash + 1);
}

std::string TemporaryName(const std::string& FileName) {
    static std::atomic<unsigned> Counter{0};
    const std::string Folder = FolderOf(FileName);
    const std::string Base = BaseOf(FileName).substr(0, MaximumBaseLength);
    return (Folder == "/" ? "" : Folder) + "/." + Base + "." + std::to_string(::getpid()) + "-" +
           std::to_string(Counter++) + TemporarySuffix;
}

// The writing process of a temporary file's name, or 0 when Name is not one.
pid_t WriterOf(const std::string& Name) {
    const std::size_t SuffixLength = std::strlen(TemporarySuffix);
    if (Name.size() <= SuffixLength + 1 || Name[0] != '.' ||
        Name.compare(Name.size() - SuffixLength, SuffixLength, TemporarySuffix) != 0)
        return 0;
    const std::string Stem = Name.substr(0, Name.size() - SuffixLength);
    const auto Dot = Stem.find_last_of('.');
    if (Dot == std::string::npos || Dot == 0)
        return 0;
    const std::string Tag = Stem.substr(Dot + 1); // PID-N
    const auto Dash = Tag.find('-');
    if (Dash == std::string::npos || Dash == 0 || Dash + 1 == Tag.size() ||
        Tag.find_first_not_of("0123456789-") != std::string::npos ||
        Tag.find('-', Dash + 1) != std::string::npos || Dash > 9)
        return 0;
    return static_cast<pid_t>(std::strtol(Tag.substr(0, Dash).c_str(), nullptr, 10));
}

bool Running(pid_t Process) {
    return ::kill(Process, 0) == 0 || errno != ESRCH;
}

void SyncFolder(const std::string& Folder) {
    const int Fd = ::open(Folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (Fd < 0)
        return;
    // Some file systems cannot flush a folder; the rename has happened all the same.
    ::fsync(Fd);
    ::close(Fd);
}

// The user chose FileName and knows nothing of the temporary file: messages name the target.
std::string NamingTarget(std::string Message, const std::string& Temporary,
                         const std::string& FileName) {
    const auto At = Message.find(Temporary);
    if (At != std::string::npos)
        Message.replace(At, Temporary.size(), FileName);
    return Message;
}

[[noreturn]] void ThrowCannotWrite(const std::string& FileName, int Error) {
    throw EWriteError("Cannot write file \"" + FileName + "\". " + std::strerror(Error) + ".");
}

// Where the data goes: a link is followed, so that saving through it changes the file it
// points to and keeps the link.
std::string ResolvedTarget(const std::string& FileName) {
    struct stat Info;
    if (::lstat(FileName.c_str(), &Info) != 0 || !S_ISLNK(Info.st_mode))
        return FileName;
    char Resolved[PATH_MAX];
    if (::realpath(FileName.c_str(), Resolved))
        return Resolved;
    return FileName;
}

// A new file without a name in Folder, or -1 where the file system cannot make one (or the
// program cannot give it a name later, without /proc).
int OpenUnnamed(const std::string& Folder) {
#ifdef O_TMPFILE
    static const bool CanLink = ::access("/proc/self/fd", X_OK) == 0;
    if (!CanLink)
        return -1;
    return ::open(Folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
#else
    (void)Folder;
    return -1;
#endif
}

} // namespace

bool IsTemporaryFileName(const std::string& Name) {
    return WriterOf(Name) > 0;
}

int RemoveStaleTemporaryFiles(const std::string& Folder) {
    DIR* Dir = ::opendir(Folder.c_str());
    if (!Dir)
        return 0;
    int Removed = 0;
    const std::time_t DayAgo = std::time(nullptr) - 24 * 60 * 60;
    while (const dirent* Entry = ::readdir(Dir)) {
        const std::string Name = Entry->d_name;
        const pid_t Writer = WriterOf(Name);
        if (Writer <= 0)
            continue;
        const std::string Path = (Folder == "/" ? "" : Folder) + "/" + Name;
        struct stat Info;
        if (::lstat(Path.c_str(), &Info) != 0 || !S_ISREG(Info.st_mode))
            continue;
        const bool Old = Info.st_mtime < DayAgo;
        if (!Old && (Writer == ::getpid() || Running(Writer)))
            continue;
        if (::unlink(Path.c_str()) == 0)
            ++Removed;
    }
    ::closedir(Dir);
    return Removed;
}

void WriteFileAtomically(const std::string& Name, const std::function<void(TStream&)>& Writer) {
    const std::string FileName = ResolvedTarget(Name);
    struct stat Info;
    const bool Exists = ::stat(FileName.c_str(), &Info) == 0;
    if (Exists && !S_ISREG(Info.st_mode)) {
        // A device or a pipe (/dev/stdout, a FIFO) cannot be replaced: write straight into it.
        TFileStream Stream(FileName, TFileStream::EMode::Create);
        Writer(Stream);
        Stream.Close();
        return;
    }
    const std::string Folder = FolderOf(FileName);
    RemoveStaleTemporaryFiles(Folder);

    std::string Temporary = TemporaryName(FileName);
    int Fd = OpenUnnamed(Folder);
    const bool Unnamed = Fd >= 0;
    if (!Unnamed) {
        Fd = ::open(Temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (Fd < 0)
            throw EFOpenError("Cannot create file \"" + Name + "\". " + std::strerror(errno) +
                              ".");
    }
    bool Named = !Unnamed;
    try {
        // The new file keeps the permissions of the one it replaces.
        if (Exists)
            ::fchmod(Fd, Info.st_mode & 07777);
        TFileStream Stream(Fd, Name);
        Writer(Stream);
        Stream.Sync();
        if (Unnamed) {
            const std::string Self = "/proc/self/fd/" + std::to_string(Stream.Descriptor());
            while (::linkat(AT_FDCWD, Self.c_str(), AT_FDCWD, Temporary.c_str(),
                            AT_SYMLINK_FOLLOW) != 0) {
                if (errno != EEXIST)
                    ThrowCannotWrite(Name, errno);
                Temporary = TemporaryName(FileName);
            }
            Named = true;
        }
        Stream.Close();
        if (std::rename(Temporary.c_str(), FileName.c_str()) != 0)
            ThrowCannotWrite(Name, errno);
        Named = false;
        SyncFolder(Folder);
    } catch (const EFOpenError& Error) {
        if (Named)
            std::remove(Temporary.c_str());
        throw EFOpenError(NamingTarget(Error.what(), Temporary, Name));
    } catch (const EWriteError& Error) {
        if (Named)
            std::remove(Temporary.c_str());
        throw EWriteError(NamingTarget(Error.what(), Temporary, Name));
    } catch (...) {
        if (Named)
            std::remove(Temporary.c_str());
        throw;
    }
}

} // namespace korvane
