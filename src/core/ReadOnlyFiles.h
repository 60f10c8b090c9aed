#pragma once

#include <string>

namespace korvane {

class IPrompter;

// True when FileName exists and its owner may not write it (the file is "read-only").
bool IsReadOnlyFile(const std::string& FileName);
// Gives a read-only file back its owner's write permission; nothing for other files.
void ClearReadOnly(const std::string& FileName);
// For a read-only file: asks "<name> is marked as read-only.\r\nDo you want to replace it?"
// (Yes/No) and clears the flag on Yes. Callers test IsReadOnlyFile again afterwards.
void ConfirmReadOnlyOverwrite(const std::string& FileName, IPrompter& Prompter);

} // namespace korvane
