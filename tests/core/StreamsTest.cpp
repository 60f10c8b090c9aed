#include "core/Streams.h"

#include "core/AtomicFile.h"
#include "core/Errors.h"

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

using namespace korvane;

TEST(Streams, ScalarsAreLittleEndian) {
    TMemoryStream S;
    WriteInt32(S, 0x01020304);
    WriteDouble(S, 1.0);
    WriteBool(S, true);
    const std::vector<std::uint8_t> Expected{4, 3, 2, 1, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F, 1};
    EXPECT_EQ(S.Bytes(), Expected);
    S.Seek(0);
    EXPECT_EQ(ReadInt32(S), 0x01020304);
    EXPECT_EQ(ReadDouble(S), 1.0);
    EXPECT_TRUE(ReadBool(S));
    EXPECT_THROW(ReadInt32(S), EReadError);
}

TEST(Streams, AnyNonZeroByteIsTrue) {
    TMemoryStream S(std::vector<std::uint8_t>{0, 7});
    EXPECT_FALSE(ReadBool(S));
    EXPECT_TRUE(ReadBool(S));
}

TEST(Streams, Strings) {
    TMemoryStream S;
    StringToStream(S, "");
    StringToStream(S, "Ångström");
    const std::string Longest(MaxStreamStringLength, 'x');
    StringToStream(S, Longest);
    EXPECT_EQ(S.Size(), 4 + 4 + 10 + 4 + MaxStreamStringLength);
    // What could not be read back is not written at all.
    EXPECT_THROW(StringToStream(S, Longest + "x"), EWriteError);
    EXPECT_EQ(S.Size(), 4 + 4 + 10 + 4 + MaxStreamStringLength);
    S.Seek(0);
    EXPECT_EQ(StringFromStream(S), "");
    EXPECT_EQ(StringFromStream(S), "Ångström");
    EXPECT_EQ(StringFromStream(S), Longest);
}

TEST(Streams, DamagedStringLengths) {
    // A negative length reads as empty and consumes nothing more.
    TMemoryStream Negative;
    WriteInt32(Negative, -5);
    WriteInt32(Negative, 77);
    Negative.Seek(0);
    EXPECT_EQ(StringFromStream(Negative), "");
    EXPECT_EQ(ReadInt32(Negative), 77);

    TMemoryStream TooLong;
    WriteInt32(TooLong, MaxStreamStringLength + 1);
    TooLong.Seek(0);
    try {
        StringFromStream(TooLong);
        FAIL();
    } catch (const EReadError& E) {
        EXPECT_STREQ(E.what(), "Corrupted length in StringFromStream.");
    }
    EXPECT_EQ(TooLong.Position(), 4); // no string byte was read

    TMemoryStream Short;
    WriteInt32(Short, 10);
    Short.WriteBuffer("abc", 3);
    Short.Seek(0);
    EXPECT_THROW(StringFromStream(Short), EReadError);
}

TEST(Streams, FileStreamReadsWhatItWrote) {
    const auto Dir = std::filesystem::temp_directory_path() /
                     ("korvane-streams-test-" + std::to_string(::getpid()));
    std::filesystem::create_directories(Dir);
    const std::string Name = (Dir / "data.bin").string();
    {
        TFileStream F(Name, TFileStream::EMode::Create);
        StringToStream(F, "hello");
        WriteInt32(F, -2);
        F.Close();
    }
    TFileStream F(Name, TFileStream::EMode::OpenRead);
    EXPECT_EQ(F.Size(), 13);
    EXPECT_EQ(StringFromStream(F), "hello");
    EXPECT_EQ(ReadInt32(F), -2);
    EXPECT_THROW(ReadInt32(F), EReadError);
    std::filesystem::remove_all(Dir);

    try {
        TFileStream Missing(Name, TFileStream::EMode::OpenRead);
        FAIL();
    } catch (const EFOpenError& E) {
        EXPECT_NE(std::string(E.what()).find("Cannot open file \"" + Name + "\""),
                  std::string::npos);
    }
    EXPECT_THROW(TFileStream("/proc/korvane-no-such-dir/x", TFileStream::EMode::Create),
                 EFOpenError);
}

TEST(Streams, FullDiskIsReportedOnClose) {
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    TFileStream F("/dev/full", TFileStream::EMode::Create);
    WriteInt32(F, 1); // buffered
    EXPECT_THROW(F.Close(), EWriteError);
}

TEST(AtomicFile, ReplacesTheFileOnlyWhenTheWholeContentIsWritten) {
    const auto Dir = std::filesystem::temp_directory_path() /
                     ("korvane-atomic-test-" + std::to_string(::getpid()));
    std::filesystem::remove_all(Dir);
    std::filesystem::create_directories(Dir);
    const std::string Name = (Dir / "settings").string();
    WriteFileAtomically(Name, [](TStream& S) { StringToStream(S, "old"); });
    EXPECT_THROW(WriteFileAtomically(Name,
                                     [](TStream& S) {
                                         StringToStream(S, "half");
                                         throw EWriteError("disk full");
                                     }),
                 EWriteError);
    TFileStream F(Name, TFileStream::EMode::OpenRead);
    EXPECT_EQ(StringFromStream(F), "old");
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Dir), {}), 1);
    // The message names the file the caller asked for, not the temporary one.
    const std::string Missing = (Dir / "missing" / "x").string();
    try {
        WriteFileAtomically(Missing, [](TStream&) {});
        ADD_FAILURE() << "no error";
    } catch (const EFOpenError& E) {
        EXPECT_EQ(std::string(E.what()),
                  "Cannot create file \"" + Missing + "\". No such file or directory.");
    }
    std::filesystem::remove_all(Dir);
}

TEST(AtomicFile, KeepsPermissionsFollowsLinksAndClearsWhatKilledWritesLeft) {
    namespace fs = std::filesystem;
    const fs::path Dir = fs::temp_directory_path() /
                         ("korvane-atomic-stale-" + std::to_string(::getpid()));
    fs::remove_all(Dir);
    fs::create_directories(Dir);
    const auto Text = [](const fs::path& P) {
        std::ifstream In(P);
        return std::string(std::istreambuf_iterator<char>(In), {});
    };
    const auto Write = [](const fs::path& P, const std::string& T) {
        WriteFileAtomically(P.string(), [&](TStream& S) { S.WriteBuffer(T.data(), T.size()); });
    };

    // The replaced file's permissions stay; a link stays a link, and its target changes.
    const fs::path Data = Dir / "data.csv";
    Write(Data, "1");
    ::chmod(Data.c_str(), 0640);
    Write(Data, "2");
    struct stat Info;
    ASSERT_EQ(::stat(Data.c_str(), &Info), 0);
    EXPECT_EQ(Info.st_mode & 0777, 0640u);
    fs::create_symlink("data.csv", Dir / "link.csv");
    Write(Dir / "link.csv", "3");
    EXPECT_TRUE(fs::is_symlink(Dir / "link.csv"));
    EXPECT_EQ(Text(Data), "3");

    // Leftovers of a writer that is gone are removed by the next write in the folder; those of
    // a running writer (this one) and files that merely look alike stay.
    const pid_t Gone = ::fork();
    if (Gone == 0)
        ::_exit(0);
    ::waitpid(Gone, nullptr, 0);
    const std::string Dead = ".data.csv." + std::to_string(Gone) + "-0.korvane-tmp";
    const std::string Alive = ".data.csv." + std::to_string(::getpid()) + "-99.korvane-tmp";
    for (const std::string& Name : {Dead, Alive, std::string(".data.csv.x-1.korvane-tmp"),
                                    std::string("data.csv.1-1.korvane-tmp")})
        std::ofstream(Dir / Name) << "partial";
    EXPECT_TRUE(IsTemporaryFileName(Dead));
    EXPECT_FALSE(IsTemporaryFileName("data.csv.1-1.korvane-tmp"));
    EXPECT_FALSE(IsTemporaryFileName(".data.csv.x-1.korvane-tmp"));
    EXPECT_FALSE(IsTemporaryFileName("data.csv"));
    Write(Dir / "other.csv", "4");
    EXPECT_FALSE(fs::exists(Dir / Dead));
    EXPECT_TRUE(fs::exists(Dir / Alive));
    EXPECT_TRUE(fs::exists(Dir / ".data.csv.x-1.korvane-tmp"));
    EXPECT_TRUE(fs::exists(Dir / "data.csv.1-1.korvane-tmp"));
    // Nothing of the writes themselves is left.
    int Temporary = 0;
    for (const auto& Entry : fs::directory_iterator(Dir))
        Temporary += IsTemporaryFileName(Entry.path().filename().string());
    EXPECT_EQ(Temporary, 1); // Alive
    EXPECT_EQ(RemoveStaleTemporaryFiles((Dir / "missing").string()), 0);

    // A long name still gets a temporary file the system accepts.
    const fs::path Long = Dir / (std::string(250, 'n') + ".csv");
    Write(Long, "5");
    EXPECT_EQ(Text(Long), "5");
    fs::remove_all(Dir);
}
