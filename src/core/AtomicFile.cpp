#include "core/AtomicFile.h"

#include "core/Errors.h"
#include "core/Streams.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korvane {

namespace {

std::string TemporaryName(const std::string& FileName) {
    static std::atomic<unsigned> Counter{0};
    return FileName + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(Counter++);
}

void SyncFile(const std::string& Name) {
    const int Fd = ::open(Name.c_str(), O_RDONLY | O_CLOEXEC);
    if (Fd < 0)
        return;
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

} // namespace

void WriteFileAtomically(const std::string& FileName, const std::function<void(TStream&)>& Writer) {
    struct stat Info;
    if (::stat(FileName.c_str(), &Info) == 0 && !S_ISREG(Info.st_mode)) {
        // A device or a pipe (/dev/stdout, a FIFO) cannot be replaced: write straight into it.
        TFileStream Stream(FileName, TFileStream::EMode::Create);
        Writer(Stream);
        Stream.Close();
        return;
    }
    const std::string Temporary = TemporaryName(FileName);
    try {
        {
            TFileStream Stream(Temporary, TFileStream::EMode::Create);
            Writer(Stream);
            Stream.Close();
        }
        SyncFile(Temporary);
        if (std::rename(Temporary.c_str(), FileName.c_str()) != 0)
            throw EWriteError("Cannot write file \"" + FileName + "\". " + std::strerror(errno) +
                              ".");
    } catch (const EFOpenError& Error) {
        std::remove(Temporary.c_str());
        throw EFOpenError(NamingTarget(Error.what(), Temporary, FileName));
    } catch (const EWriteError& Error) {
        std::remove(Temporary.c_str());
        throw EWriteError(NamingTarget(Error.what(), Temporary, FileName));
    } catch (...) {
        std::remove(Temporary.c_str());
        throw;
    }
}

} // namespace korvane
