#include "core/ReadOnlyFiles.h"

#include "core/Prompter.h"

#include <sys/stat.h>

namespace korvane {

bool IsReadOnlyFile(const std::string& FileName) {
    struct stat Info;
    if (::stat(FileName.c_str(), &Info) != 0)
        return false;
    return (Info.st_mode & S_IWUSR) == 0;
}

void ClearReadOnly(const std::string& FileName) {
    struct stat Info;
    if (!IsReadOnlyFile(FileName) || ::stat(FileName.c_str(), &Info) != 0)
        return;
    ::chmod(FileName.c_str(), (Info.st_mode & 07777) | S_IWUSR);
}

void ConfirmReadOnlyOverwrite(const std::string& FileName, IPrompter& Prompter) {
    if (!IsReadOnlyFile(FileName))
        return;
    if (Prompter.Ask(EMessageKind::Confirmation,
                     FileName + " is marked as read-only.\r\nDo you want to replace it?",
                     mbYesNo) == EMessageAnswer::Yes)
        ClearReadOnly(FileName);
}

} // namespace korvane
