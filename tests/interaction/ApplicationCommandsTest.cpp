#include "interaction/ApplicationCommands.h"

#include "core/Errors.h"

#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using namespace korvane;

namespace {

// What the probe commands did, in order: "A.Execute 1", "A.Undo", "~A", ...
std::vector<std::string> Log;

std::vector<std::string> TakeLog() {
    std::vector<std::string> Result;
    Result.swap(Log);
    return Result;
}

using Strings = std::vector<std::string>;

class TProbeCommand : public TApplicationCommand {
public:
    explicit TProbeCommand(std::string Name = "Probe", bool Undoable = true)
        : FName(std::move(Name)), FUndoable(Undoable) {}
    ~TProbeCommand() override { Log.push_back("~" + FName); }

    void Execute(const TArgumentList& Arguments) override {
        TApplicationCommand::Execute(Arguments);
        Log.push_back(FName + ".Execute " + std::to_string(Arguments.Integer(0)));
        if (Arguments.Count() > 1 && Arguments.Boolean(1))
            throw std::runtime_error("The probe failed.");
    }
    void Undo() override { Log.push_back(FName + ".Undo"); }
    bool CanUndo() const override { return FUndoable; }
    std::string GetName() const override { return FName; }

private:
    std::string FName;
    bool FUndoable;
};

class TCountingListener : public IHistoryListener {
public:
    void HistoryChanged(THistoryList&) override { ++Count; }
    int Take() { return std::exchange(Count, 0); }
    int Count = 0;
};

struct THistoryFixture {
    THistoryList History;
    TCountingListener Listener;

    THistoryFixture() {
        History.AddListener(&Listener);
        Log.clear();
    }
    ~THistoryFixture() { History.RemoveListener(&Listener); }

    TApplicationCommand* Run(const std::string& Name, bool Undoable = true) {
        return ExecuteCommand(History, std::make_unique<TProbeCommand>(Name, Undoable),
                              {std::int32_t(1)});
    }
    std::string UndoName() const {
        return History.UndoCommand() ? History.UndoCommand()->GetName() : "-";
    }
    std::string RedoName() const {
        return History.RedoCommand() ? History.RedoCommand()->GetName() : "-";
    }
};

} // namespace

TEST(CommandProtocol, UndoableCommandIsRecordedAndOtherIsDestroyed) {
    THistoryFixture F;
    TApplicationCommand* A = F.Run("A");
    ASSERT_NE(A, nullptr);
    EXPECT_EQ(F.History.Count(), 1);
    EXPECT_EQ(F.History.Position(), 0);
    EXPECT_EQ(F.History.UndoCommand(), A);
    EXPECT_EQ(F.Listener.Take(), 1);

    EXPECT_EQ(F.Run("Once", false), nullptr);
    EXPECT_EQ(TakeLog(), (Strings{"A.Execute 1", "Once.Execute 1", "~Once"}));
    EXPECT_EQ(F.History.Count(), 1);
    EXPECT_EQ(F.History.Position(), 0);
    EXPECT_EQ(F.Listener.Take(), 0);
}

TEST(CommandProtocol, FailingExecutePropagatesAndRecordsNothing) {
    THistoryFixture F;
    EXPECT_THROW(
        ExecuteCommand(F.History, std::make_unique<TProbeCommand>("Bad"), {std::int32_t(2), true}),
        std::runtime_error);
    EXPECT_EQ(TakeLog(), (Strings{"Bad.Execute 2", "~Bad"}));
    EXPECT_EQ(F.History.Count(), 0);
    EXPECT_EQ(F.Listener.Take(), 0);
}

TEST(CommandProtocol, CommandClassCreatesTheCommand) {
    THistoryFixture F;
    const TCommandClass Class = TCommandClass::Of<TProbeCommand>("TProbeCommand");
    EXPECT_EQ(Class.Name, "TProbeCommand");
    ASSERT_NE(ExecuteCommand(F.History, Class, {std::int32_t(4)}), nullptr);
    EXPECT_EQ(TakeLog(), (Strings{"Probe.Execute 4"}));
}

TEST(History, UndoRedoMoveThePositionAndAddAfterUndoDiscardsTheRedoBranch) {
    THistoryFixture F;
    F.Run("A");
    F.Run("B");
    F.Run("C");
    TakeLog();
    EXPECT_EQ(F.Listener.Take(), 3);

    struct TStep {
        const char* Action;
        std::int32_t Position;
        const char* Undo;
        const char* Redo;
        const char* Logged;
    };
    const std::vector<TStep> Steps{
        {"undo", 1, "B", "C", "C.Undo"},      {"undo", 0, "A", "B", "B.Undo"},
        {"undo", -1, "-", "A", "A.Undo"},     {"redo", 0, "A", "B", "A.Execute 1"},
        {"redo", 1, "B", "C", "B.Execute 1"}, {"undo", 0, "A", "B", "B.Undo"},
    };
    for (const TStep& S : Steps) {
        SCOPED_TRACE(std::string(S.Action) + " to " + std::to_string(S.Position));
        if (std::string(S.Action) == "undo")
            F.History.Undo();
        else
            F.History.Redo();
        EXPECT_EQ(F.History.Position(), S.Position);
        EXPECT_EQ(F.UndoName(), S.Undo);
        EXPECT_EQ(F.RedoName(), S.Redo);
        EXPECT_EQ(F.History.CanUndo(), S.Position >= 0);
        EXPECT_TRUE(F.History.CanRedo());
        EXPECT_EQ(TakeLog(), (Strings{S.Logged}));
        EXPECT_EQ(F.Listener.Take(), 1);
    }

    // The undone B and C go when D is recorded after A.
    F.Run("D");
    EXPECT_EQ(TakeLog(), (Strings{"D.Execute 1", "~C", "~B"}));
    EXPECT_EQ(F.History.Count(), 2);
    EXPECT_EQ(F.History.Position(), 1);
    EXPECT_EQ(F.UndoName(), "D");
    EXPECT_FALSE(F.History.CanRedo());
    EXPECT_EQ(F.History.RedoCommand(), nullptr);
    EXPECT_EQ(F.Listener.Take(), 1);
}

TEST(History, RedoExecutesAgainWithTheStoredArguments) {
    THistoryFixture F;
    ExecuteCommand(F.History, std::make_unique<TProbeCommand>("A"), {std::int32_t(9)});
    F.History.Undo();
    F.History.Redo();
    EXPECT_EQ(TakeLog(), (Strings{"A.Execute 9", "A.Undo", "A.Execute 9"}));
    EXPECT_EQ(F.History.UndoCommand()->Arguments().Integer(0), 9);
}

TEST(History, DisabledHistoryNeitherUndoesNorRedoesAndKeepsItsPosition) {
    THistoryFixture F;
    F.Run("A");
    F.Run("B");
    F.History.Undo();
    TakeLog();
    F.Listener.Take();

    F.History.SetEnabled(false);
    EXPECT_EQ(F.Listener.Take(), 1);
    EXPECT_FALSE(F.History.CanUndo());
    EXPECT_FALSE(F.History.CanRedo());
    F.History.Undo();
    F.History.Redo();
    EXPECT_TRUE(TakeLog().empty());
    EXPECT_EQ(F.History.Position(), 0);
    EXPECT_EQ(F.Listener.Take(), 0);

    F.History.SetEnabled(true);
    EXPECT_EQ(F.Listener.Take(), 1);
    EXPECT_EQ(F.History.Position(), 0);
    EXPECT_TRUE(F.History.CanUndo());
    EXPECT_TRUE(F.History.CanRedo());
}

TEST(History, NothingToUndoOrRedoIsAnIndexError) {
    THistoryFixture F;
    try {
        F.History.Undo();
        ADD_FAILURE() << "no error";
    } catch (const EListError& E) {
        EXPECT_STREQ(E.what(), "List index out of bounds (-1).");
    }
    F.Run("A");
    EXPECT_THROW(F.History.Redo(), EListError);
    EXPECT_EQ(F.History.Position(), 0);
}

TEST(History, TopCommandThatCannotBeUndoneIsDroppedOnRequest) {
    THistoryFixture F;
    F.Run("A");
    // A line's automatic run that found nothing sits on top without being undoable.
    F.History.Add(std::make_unique<TProbeCommand>("Empty", false));
    EXPECT_FALSE(F.History.CanUndo());
    EXPECT_EQ(F.UndoName(), "Empty");
    TakeLog();
    F.Listener.Take();

    F.History.DiscardTopIfNotUndoable();
    EXPECT_EQ(TakeLog(), (Strings{"~Empty"}));
    EXPECT_EQ(F.History.Count(), 1);
    EXPECT_EQ(F.UndoName(), "A");
    EXPECT_TRUE(F.History.CanUndo());
    EXPECT_EQ(F.Listener.Take(), 1);

    F.History.DiscardTopIfNotUndoable(); // undoable top: nothing happens
    F.History.Undo();
    F.History.DiscardTopIfNotUndoable(); // nothing at Position: nothing happens
    EXPECT_EQ(F.History.Count(), 1);
    EXPECT_EQ(TakeLog(), (Strings{"A.Undo"}));
}

TEST(History, ClearDestroysEveryCommandAndDestructionTheRest) {
    auto Owned = std::make_unique<THistoryFixture>();
    THistoryFixture& F = *Owned;
    F.Run("A");
    F.Run("B");
    F.History.Undo();
    TakeLog();
    F.Listener.Take();
    F.History.Clear();
    EXPECT_EQ(TakeLog(), (Strings{"~B", "~A"}));
    EXPECT_EQ(F.History.Count(), 0);
    EXPECT_EQ(F.History.Position(), -1);
    EXPECT_FALSE(F.History.CanRedo());
    EXPECT_EQ(F.Listener.Take(), 1);

    F.Run("C");
    F.Run("D");
    TakeLog();
    Owned.reset();
    EXPECT_EQ(TakeLog(), (Strings{"~D", "~C"}));
}

TEST(History, ListenersJoinOnceAndAreToldInOrder) {
    THistoryList History;
    std::vector<int> Order;
    class TOrdered : public IHistoryListener {
    public:
        TOrdered(std::vector<int>& Order, int Id) : FOrder(Order), FId(Id) {}
        void HistoryChanged(THistoryList&) override { FOrder.push_back(FId); }

    private:
        std::vector<int>& FOrder;
        int FId;
    };
    TOrdered First(Order, 1), Second(Order, 2);
    History.AddListener(&Second);
    History.AddListener(&First);
    History.AddListener(&Second);
    History.NotifyListeners();
    EXPECT_EQ(Order, (std::vector<int>{2, 1}));
    History.RemoveListener(&Second);
    EXPECT_FALSE(History.HasListener(&Second));
    History.NotifyListeners();
    EXPECT_EQ(Order, (std::vector<int>{2, 1, 1}));
    History.RemoveListener(&First);
}
