#include "document/RecentFiles.h"

#include "ParamsTestSupport.h"

#include <gtest/gtest.h>

using namespace korvane;
using namespace korvane::test;

namespace {

class RecentFiles : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* Name : {"a.png", "b.png", "c.png", "d.png", "e.png", "f.png", "g.png",
                                 "h.png", "i.png", "Mixed.PNG"})
            TouchFile(Folder / Name);
        List.OnChange = [this](TRecentFilesList& Sender) {
            LastSender = &Sender;
            ++Changes;
        };
    }

    std::string F(const std::string& Name) const { return Folder / Name; }

    std::vector<std::string> Entries() const {
        std::vector<std::string> Result;
        for (std::int32_t I = 0; I < List.Count(); ++I)
            Result.push_back(List.Files(I));
        return Result;
    }

    TTempFolder Folder;
    TRecentFilesList List;
    int Changes = 0;
    const TRecentFilesList* LastSender = nullptr;
};

} // namespace

TEST_F(RecentFiles, AddKeepsMostRecentFirstAndDropsTheOldestWhenFull) {
    EXPECT_EQ(List.Capacity(), 8);
    for (const char* Name :
         {"a.png", "b.png", "c.png", "d.png", "e.png", "f.png", "g.png", "h.png", "i.png"})
        List.Add(F(Name));
    EXPECT_EQ(Entries(), (std::vector{F("i.png"), F("h.png"), F("g.png"), F("f.png"), F("e.png"),
                                      F("d.png"), F("c.png"), F("b.png")}));
    EXPECT_EQ(Changes, 9);
    EXPECT_EQ(LastSender, &List);
}

TEST_F(RecentFiles, AddingAListedPathInOtherCaseMovesTheStoredEntry) {
    List.Add(F("Mixed.PNG"));
    List.Add(F("a.png"));
    List.Add(F("b.png"));
    // Only the file's own spelling exists on disk: the lower-case path is not a file.
    TouchFile(F("mixed.png"));
    List.Add(F("mixed.png"));
    EXPECT_EQ(Entries(), (std::vector{F("Mixed.PNG"), F("b.png"), F("a.png")}));
    EXPECT_EQ(List.IndexOf(F("MIXED.png")), 0);
    EXPECT_EQ(Changes, 4);
}

TEST_F(RecentFiles, MissingFilesAndFoldersAreNotAdded) {
    List.Add(F("a.png"));
    Changes = 0;
    List.Add(F("gone.png"));
    List.Add(Folder.Path());
    List.Add("");
    EXPECT_EQ(Entries(), std::vector{F("a.png")});
    EXPECT_EQ(Changes, 0);
}

TEST_F(RecentFiles, IndexOfSearchesFromTheEnd) {
    List.Add(F("a.png"));
    List.Add(F("b.png"));
    EXPECT_EQ(List.IndexOf(F("A.PNG")), 1);
    EXPECT_EQ(List.IndexOf(F("c.png")), -1);
    EXPECT_THROW(List.Files(2), EListError);
}

TEST_F(RecentFiles, CapacityCutsFromTheEndWithoutNotice) {
    for (const char* Name : {"a.png", "b.png", "c.png"})
        List.Add(F(Name));
    Changes = 0;
    List.SetCapacity(2);
    EXPECT_EQ(Entries(), (std::vector{F("c.png"), F("b.png")}));
    List.SetCapacity(-3);
    EXPECT_EQ(List.Capacity(), 0);
    EXPECT_EQ(List.Count(), 0);
    List.Add(F("a.png")); // nothing is kept at capacity 0
    EXPECT_EQ(List.Count(), 0);
    EXPECT_EQ(Changes, 0);
    List.Clear();
    EXPECT_EQ(Changes, 1);
}

TEST_F(RecentFiles, RecordRoundTripsByteForByte) {
    List.Add(F("a.png"));
    List.Add(F("b.png"));
    TMemoryStream Stream;
    List.SaveToStream(Stream);
    const TBytes Expected =
        TByteBuilder().Int32(8).Int32(2).String(F("b.png")).String(F("a.png")).Bytes;
    EXPECT_EQ(Stream.Bytes(), Expected);

    TRecentFilesList Loaded;
    int LoadedChanges = 0;
    Loaded.OnChange = [&](TRecentFilesList&) { ++LoadedChanges; };
    Stream.Seek(0);
    Loaded.LoadFromStream(Stream);
    EXPECT_EQ(Loaded.Count(), 2);
    EXPECT_EQ(Loaded.Files(0), F("b.png"));
    EXPECT_EQ(LoadedChanges, 1);
}

TEST_F(RecentFiles, LoadingKeepsExistingFilesInOrderCutToTheStoredCapacity) {
    struct TCase {
        std::int32_t StoredCapacity;
        std::vector<std::string> Stored;
        std::vector<std::string> Expected;
        std::int32_t Capacity;
    };
    std::vector<std::string> Twelve, Ten;
    for (int I = 0; I < 12; ++I) {
        Twelve.push_back(F("p" + std::to_string(I) + ".png"));
        TouchFile(Twelve.back());
        if (I < 10)
            Ten.push_back(Twelve.back());
    }
    // Lists stored with less room (the former 4) get the room of eight.
    const std::vector<TCase> Cases{
        {4, {F("a.png"), F("deleted.png"), F("b.png")}, {F("a.png"), F("b.png")}, 8},
        {2, {F("a.png"), F("b.png"), F("c.png")}, {F("a.png"), F("b.png"), F("c.png")}, 8},
        {0, {F("a.png")}, {F("a.png")}, 8},
        {10, Twelve, Ten, 10},
        {4, {}, {}, 8},
    };
    for (const TCase& Case : Cases) {
        TByteBuilder Record;
        Record.Int32(Case.StoredCapacity).Int32(static_cast<std::int32_t>(Case.Stored.size()));
        for (const std::string& Path : Case.Stored)
            Record.String(Path);
        TMemoryStream Stream(Record.Bytes);
        Changes = 0;
        List.LoadFromStream(Stream);
        EXPECT_EQ(List.Capacity(), Case.Capacity);
        EXPECT_EQ(Entries(), Case.Expected);
        EXPECT_EQ(Changes, 1);
    }
}

TEST_F(RecentFiles, DamagedRecordLeavesTheListAsItWas) {
    List.Add(F("a.png"));
    const std::vector<TBytes> Records{
        TByteBuilder().Int32(-1).Int32(0).Bytes, TByteBuilder().Int32(4).Int32(-1).Bytes,
        TByteBuilder().Int32(4).Int32(3).String(F("b.png")).Bytes, // truncated
        TByteBuilder().Int32(4).Int32(1).Int32(200000).Bytes,      // string too long
    };
    for (const TBytes& Record : Records) {
        TMemoryStream Stream(Record);
        EXPECT_THROW(List.LoadFromStream(Stream), EStreamError);
        EXPECT_EQ(Entries(), std::vector{F("a.png")});
        EXPECT_EQ(List.Capacity(), 8);
    }
}

TEST_F(RecentFiles, AssignCopiesCapacityFilesAndHandler) {
    List.Add(F("a.png"));
    List.SetCapacity(3);
    TRecentFilesList Copy;
    Copy.Assign(List);
    EXPECT_EQ(Copy.Capacity(), 3);
    EXPECT_EQ(Copy.Files(0), F("a.png"));
    Changes = 0;
    Copy.Add(F("b.png"));
    EXPECT_EQ(Changes, 1);
    EXPECT_EQ(LastSender, &Copy);
}
