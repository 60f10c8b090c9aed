#include "document/PointSelections.h"

#include "core/Errors.h"
#include "core/Streams.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace korvane;

namespace {

struct TRecorder : ISelectionListener {
    std::vector<std::string>* Log = nullptr;
    std::string Name;
    int Calls = 0;
    void SelectionChanged(TPointSelection&) override {
        ++Calls;
        if (Log)
            Log->push_back(Name);
    }
};

std::vector<std::int32_t> ItemsOf(const TPointSelection& S) {
    std::vector<std::int32_t> Result;
    for (std::int32_t I = 0; I < S.Count(); ++I)
        Result.push_back(S.Items(I));
    return Result;
}

// A selection holding Items (appended in that order) with a listener that has heard nothing.
struct TSelectionFixture {
    TPointSelection Selection;
    TRecorder Listener;
    explicit TSelectionFixture(const std::vector<std::int32_t>& Items) {
        for (std::int32_t Index : Items)
            Selection.Select(Index);
        Selection.AddListener(&Listener);
    }
};

std::vector<std::uint8_t> Record(const std::vector<std::int32_t>& Values) {
    TMemoryStream Stream;
    for (std::int32_t V : Values)
        WriteInt32(Stream, V);
    return Stream.Bytes();
}

} // namespace

struct TChangeCase {
    const char* Name;
    std::vector<std::int32_t> Before;
    std::function<void(TPointSelection&)> Change;
    std::vector<std::int32_t> After;
    int Notifications;
};

TEST(PointSelection, ChangesAndTheirNotifications) {
    const std::vector<TChangeCase> Cases = {
        {"Select new", {1}, [](TPointSelection& S) { S.Select(5); }, {1, 5}, 1},
        {"Select present", {5}, [](TPointSelection& S) { S.Select(5); }, {5}, 0},
        {"Deselect present", {1, 5}, [](TPointSelection& S) { S.Deselect(1); }, {5}, 1},
        {"Deselect absent", {5}, [](TPointSelection& S) { S.Deselect(2); }, {5}, 1},
        {"SelectRange reversed",
         {},
         [](TPointSelection& S) { S.SelectRange(7, 3); },
         {3, 4, 5, 6, 7},
         1},
        {"SelectRange around", {3}, [](TPointSelection& S) { S.SelectRange(2, 4); }, {2, 3, 4}, 1},
        {"SelectRange nothing new", {3}, [](TPointSelection& S) { S.SelectRange(3, 3); }, {3}, 1},
        {"DeselectRange", {0, 1, 5}, [](TPointSelection& S) { S.DeselectRange(1, 0); }, {5}, 1},
        {"DeselectRange empty", {}, [](TPointSelection& S) { S.DeselectRange(0, 9); }, {}, 0},
        {"SelectList",
         {4},
         [](TPointSelection& S) {
             S.SelectList({9, 4, 1});
         },
         {1, 4, 9},
         1},
        {"SelectList repeat",
         {},
         [](TPointSelection& S) {
             S.SelectList({2, 2});
         },
         {2},
         1},
        {"DeselectList",
         {1, 4, 9},
         [](TPointSelection& S) {
             S.DeselectList({9, 3, 1});
         },
         {4},
         1},
        {"DeselectList none", {1}, [](TPointSelection& S) { S.DeselectList({3}); }, {1}, 1},
        {"TruncateAt 0", {1, 4}, [](TPointSelection& S) { S.TruncateAt(0); }, {}, 1},
        {"TruncateAt 4", {9, 1, 4}, [](TPointSelection& S) { S.TruncateAt(4); }, {1}, 1},
        {"TruncateAt negative", {0}, [](TPointSelection& S) { S.TruncateAt(-3); }, {}, 1},
        {"TruncateAt empty", {}, [](TPointSelection& S) { S.TruncateAt(0); }, {}, 0},
        {"Clear empty", {}, [](TPointSelection& S) { S.Clear(); }, {}, 1},
    };
    for (const TChangeCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        TSelectionFixture F(Case.Before);
        Case.Change(F.Selection);
        EXPECT_EQ(ItemsOf(F.Selection), Case.After);
        EXPECT_EQ(F.Listener.Calls, Case.Notifications);
    }
}

TEST(PointSelection, AppendsDecideSortednessAndSearchesSort) {
    TPointSelection S;
    S.Select(5);
    S.Select(3);
    EXPECT_FALSE(S.Sorted());
    // Testing membership sorts; the appended 7 then follows the largest entry.
    S.Select(7);
    EXPECT_TRUE(S.Sorted());
    S.Select(4);
    EXPECT_FALSE(S.Sorted());
    EXPECT_EQ(S.IndexOf(4), 1);
    EXPECT_TRUE(S.Sorted());
    S.SelectRange(8, 9);
    EXPECT_FALSE(S.Sorted());
    EXPECT_EQ(ItemsOf(S), (std::vector<std::int32_t>{3, 4, 5, 7, 8, 9}));
}

TEST(PointSelection, Queries) {
    TSelectionFixture F({8, 5, 3, 4});
    const TPointSelection& S = F.Selection;
    EXPECT_EQ(S.IndexOf(5), 2);
    EXPECT_EQ(S.IndexOf(6), -1);
    EXPECT_EQ(S.LowerBound(6), 3);
    EXPECT_EQ(S.LowerBound(9), 4);
    EXPECT_EQ(S.LowerBound(-1), 0);
    EXPECT_TRUE(S.IsSelected(8));
    EXPECT_FALSE(S.IsSelected(7));
    EXPECT_EQ(S.LastSelected(), 8);
    EXPECT_EQ(TPointSelection().LastSelected(), -1);

    EXPECT_EQ(S.RunEnd(3), 5);
    EXPECT_EQ(S.RunEnd(2), 5); // A itself need not be selected
    EXPECT_EQ(S.RunEnd(6), 6);
    EXPECT_EQ(S.RunEnd(8), 8);
    EXPECT_EQ(S.RunEnd(20), 20);
    EXPECT_EQ(S.TrailingRunStart(6), 3);
    EXPECT_EQ(S.TrailingRunStart(3), 3);
    EXPECT_EQ(S.TrailingRunStart(9), 8);
    EXPECT_EQ(S.TrailingRunStart(0), 0);

    TSelectionFixture Zero({0, 1});
    EXPECT_EQ(Zero.Selection.TrailingRunStart(2), 0);
}

TEST(PointSelection, ItemsOutsideTheListFail) {
    TSelectionFixture F({1});
    EXPECT_THROW(F.Selection.Items(1), EListError);
    EXPECT_THROW(F.Selection.Items(-1), EListError);
}

TEST(PointSelection, ListenersInOrderAndOnlyWhileRegistered) {
    std::vector<std::string> Log;
    TPointSelection S;
    TRecorder A, B;
    A.Log = B.Log = &Log;
    A.Name = "A";
    B.Name = "B";
    S.AddListener(&A);
    S.AddListener(&B);
    S.AddListener(&A);
    EXPECT_TRUE(S.HasListener(&B));
    S.Select(1);
    EXPECT_EQ(Log, (std::vector<std::string>{"A", "B"}));

    // A listener that unregisters another while being told: the other is not called.
    struct TRemover : ISelectionListener {
        TRecorder* Victim = nullptr;
        void SelectionChanged(TPointSelection& Sel) override { Sel.RemoveListener(Victim); }
    } Remover;
    Remover.Victim = &B;
    TPointSelection T;
    T.AddListener(&Remover);
    T.AddListener(&B);
    T.Select(1);
    EXPECT_EQ(B.Calls, 1);
    EXPECT_FALSE(T.HasListener(&B));
}

TEST(PointSelection, AssignCopiesIndicesAndNotifies) {
    TSelectionFixture Source({9, 2});
    TSelectionFixture Dest({4});
    Dest.Selection.Assign(Source.Selection);
    EXPECT_EQ(ItemsOf(Dest.Selection), (std::vector<std::int32_t>{2, 9}));
    EXPECT_EQ(Dest.Listener.Calls, 1);
    EXPECT_FALSE(Dest.Selection.HasListener(&Source.Listener));
}

TEST(PointSelection, StreamRecordRoundTrip) {
    TSelectionFixture F({5});
    TMemoryStream In(Record({3, 2, 7, 9}));
    F.Selection.LoadFromStream(In);
    EXPECT_EQ(ItemsOf(F.Selection), (std::vector<std::int32_t>{2, 7, 9}));
    EXPECT_EQ(F.Listener.Calls, 1); // by the Clear that starts loading

    F.Selection.Select(4);
    F.Selection.Select(0);
    TMemoryStream Out;
    F.Selection.SaveToStream(Out);
    EXPECT_EQ(Out.Bytes(), Record({5, 0, 2, 4, 7, 9}));
}

TEST(PointSelection, DamagedRecords) {
    struct TCase {
        const char* Name;
        std::vector<std::int32_t> Values;
        std::vector<std::int32_t> After; // empty: the load fails
    };
    const std::vector<TCase> Cases = {
        {"negative count", {-1}, {}},
        {"count beyond the stream", {3, 1, 2}, {}},
        {"huge count", {0x7fffffff}, {}},
        {"repeated and unordered", {3, 7, 2, 7}, {2, 7}},
    };
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        TSelectionFixture F({1});
        TMemoryStream In(Record(Case.Values));
        if (Case.After.empty())
            EXPECT_THROW(F.Selection.LoadFromStream(In), EReadError);
        else
            F.Selection.LoadFromStream(In);
        EXPECT_EQ(ItemsOf(F.Selection), Case.After);
    }
}

TEST(PointSelection, WholeIntegerRangeDoesNotOverflow) {
    TPointSelection S;
    S.SelectRange(2147483645, 2147483647);
    EXPECT_EQ(ItemsOf(S), (std::vector<std::int32_t>{2147483645, 2147483646, 2147483647}));
    EXPECT_EQ(S.RunEnd(2147483645), 2147483647);
    S.TruncateAt(2147483647);
    EXPECT_EQ(S.LastSelected(), 2147483646);
}
