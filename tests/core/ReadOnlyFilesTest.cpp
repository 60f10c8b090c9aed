#include "core/ReadOnlyFiles.h"

#include "core/Prompter.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

using namespace korvane;

TEST(Files, ReadOnlyFlagIsTheOwnersWritePermission) {
    const auto Dir = std::filesystem::temp_directory_path() /
                     ("korvane-support-test-" + std::to_string(::getpid()));
    std::filesystem::create_directories(Dir);
    const std::string Name = (Dir / "params").string();
    std::ofstream(Name) << "x";
    EXPECT_FALSE(IsReadOnlyFile(Name));
    std::filesystem::permissions(Name, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    EXPECT_TRUE(IsReadOnlyFile(Name));
    ClearReadOnly(Name);
    EXPECT_FALSE(IsReadOnlyFile(Name));
    EXPECT_FALSE(IsReadOnlyFile((Dir / "missing").string()));
    // Asked before replacing a read-only file: No keeps it read-only, Yes clears the flag.
    std::filesystem::permissions(Name, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    TScriptedPrompter Prompter({EMessageAnswer::No, EMessageAnswer::Yes});
    ConfirmReadOnlyOverwrite(Name, Prompter);
    EXPECT_TRUE(IsReadOnlyFile(Name));
    ConfirmReadOnlyOverwrite(Name, Prompter);
    EXPECT_FALSE(IsReadOnlyFile(Name));
    ConfirmReadOnlyOverwrite(Name, Prompter); // not read-only: nothing asked
    ASSERT_EQ(Prompter.Asked.size(), 2u);
    EXPECT_EQ(Prompter.Asked[0].Text,
              Name + " is marked as read-only.\r\nDo you want to replace it?");
    EXPECT_EQ(Prompter.Asked[0].Buttons, unsigned(mbYesNo));
    ClearReadOnly((Dir / "missing").string()); // nothing happens
    EXPECT_FALSE(std::filesystem::exists(Dir / "missing"));
    std::filesystem::remove_all(Dir);
}
