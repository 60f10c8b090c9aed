#include "interaction/CommandManager.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace korvane;

namespace {

// The kinds whose flag is set.
TCommandKinds EnabledKinds(const TCommandManager& Manager) {
    TCommandKinds Result;
    for (std::int32_t K = 0; K < CommandKindCount; ++K)
        if (Manager.Enabled(static_cast<TCommandKind>(K)))
            Result += static_cast<TCommandKind>(K);
    return Result;
}

std::vector<int> Numbers(TCommandKinds Kinds) {
    std::vector<int> Result;
    for (int K = 0; K < CommandKindCount; ++K)
        if (Kinds.Contains(static_cast<TCommandKind>(K)))
            Result.push_back(K);
    return Result;
}

class TCountingListener : public ICommandManagerListener {
public:
    void CommandStatesChanged(TCommandManager&) override { ++Count; }
    int Take() { return std::exchange(Count, 0); }
    int Count = 0;
};

} // namespace

TEST(CommandKinds, TableNamesEachKindsClassAndRequirements) {
    struct TRow {
        int Number;
        TCommandKind Kind;
        const char* ClassName;
        TRequirements Requirements;
    };
    const std::vector<TRow> Rows{
        {0, ckSelectSource, "TSelectSourceCommand", rqFile},
        {1, ckAcquire, "TAcquireCommand", rqFile},
        {2, ckOpenFile, "TOpenFileCommand", rqFile},
        {3, ckCloseFile, "TCloseFileCommand", rqFile},
        {4, ckExit, "TExitCommand", rqFile | rqAlwaysEnabled},
        {5, ckDefineScale, "TDefineScaleCommand", rqImage},
        {6, ckSetUnits, "TSetUnitsCommand", rqImage},
        {7, ckSetFormats, "TSetFormatsCommand", rqImage},
        {8, ckEliminateGrid, "TEliminateGridCommand", rqImage},
        {9, ckPaint, "TPaintCommand", rqImage},
        {10, ckEditPreferences, "TEditPreferencesCommand", rqImage},
        {11, ckZoomToArea, "TZoomToAreaCommand", rqView},
        {12, ckSelectByArea, "TSelectByAreaCommand", rqDigitization},
        {13, ckActualSize, "TActualSizeCommand", rqView},
        {14, ckZoomIn, "TZoomInCommand", rqView},
        {15, ckZoomOut, "TZoomOutCommand", rqView},
        {16, ckCreateFunctionalLine, "TCreateFunctionalLineCommand", rqScale},
        {17, ckCreateNonfunctionalLine, "TCreateNonfunctionalLineCommand", rqScale},
        {18, ckCreateScatter, "TCreateScatterCommand", rqScale},
        {19, ckOpenFunctionalLine, "TOpenFunctionalLineCommand", rqScale},
        {20, ckOpenNonfunctionalLine, "TOpenNonfunctionalLineCommand", rqScale},
        {21, ckOpenScatter, "TOpenScatterCommand", rqScale},
        {22, ckCloseDigitization, "TCloseDigitizationCommand", rqScale},
        {23, ckDeleteDigitization, "TDeleteDigitizationCommand", rqScale},
        {24, ckEditDigitizationProperties, "TEditDigitizationPropertiesCommand", rqDigitization},
        {25, ckSortDigitization, "TSortDigitizationCommand", rqDigitization | rqScatter},
        {26, ckDeleteSelectedScatterData, "TDeleteSelectedScatterDataCommand",
         rqDigitization | rqScatter},
        {27, ckSelectAll, "TSelectAllCommand", rqDigitization},
        {28, ckSelectNone, "TSelectNoneCommand", rqDigitization},
        {29, ckErase, "TEraseCommand", rqDigitization | rqLine},
        {30, ckExportData, "TExportDataCommand", rqDigitization},
        {31, ckBackUp, "TEraseCommand", rqDigitization | rqLine},
        {32, ckResume, "TResumeFunctionalCommand", rqDigitization | rqLine},
        {33, ckStop, "TStopCommand", rqDigitization | rqLine},
    };
    ASSERT_EQ(Rows.size(), std::size_t(CommandKindCount));
    ASSERT_EQ(CommandClasses.size(), std::size_t(CommandKindCount));
    for (const TRow& Row : Rows) {
        SCOPED_TRACE(Row.ClassName);
        EXPECT_EQ(int(Row.Kind), Row.Number);
        EXPECT_STREQ(CommandClasses[Row.Kind].ClassName, Row.ClassName);
        EXPECT_EQ(CommandClasses[Row.Kind].Requirements, Row.Requirements);
    }
    // The flag bits as stored.
    EXPECT_EQ(rqFile, 0x001);
    EXPECT_EQ(rqImage, 0x002);
    EXPECT_EQ(rqView, 0x004);
    EXPECT_EQ(rqScale, 0x008);
    EXPECT_EQ(rqDigitization, 0x010);
    EXPECT_EQ(rqLine, 0x020);
    EXPECT_EQ(rqScatter, 0x040);
    EXPECT_EQ(rqAlwaysEnabled, 0x100);
}

TEST(CommandKinds, CommandsRequiringTakesEveryKindSharingAFlag) {
    struct TCase {
        const char* What;
        TRequirements Flags;
        std::vector<int> Kinds;
    };
    const std::vector<TCase> Cases{
        {"line", rqLine, {29, 31, 32, 33}},
        {"scatter", rqScatter, {25, 26}},
        {"file", rqFile, {0, 1, 2, 3, 4}},
        {"always enabled", rqAlwaysEnabled, {4}},
        {"image or view", rqImage | rqView, {5, 6, 7, 8, 9, 10, 11, 13, 14, 15}},
        {"scale", rqScale, {16, 17, 18, 19, 20, 21, 22, 23}},
        {"digitization", rqDigitization, {12, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33}},
        {"no flag", 0, {}},
        {"meaningless bits", 0x0080 | 0xFE00, {}},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.What);
        EXPECT_EQ(Numbers(CommandsRequiring(C.Flags)), C.Kinds);
    }
}

TEST(CommandManager, AllFlagsStartFalse) {
    TCommandManager Manager;
    EXPECT_TRUE(EnabledKinds(Manager).Empty());
}

TEST(CommandManager, SetCommandsEnabledChangesOnlyTheGivenKindsButNeverDisablesExit) {
    TCommandManager Manager;
    TCountingListener Listener;
    Manager.AddListener(&Listener);
    Manager.AddListener(&Listener);

    Manager.EnableCommands({ckZoomIn, ckErase});
    EXPECT_EQ(Numbers(EnabledKinds(Manager)), (std::vector<int>{4, 14, 29}));
    EXPECT_EQ(Listener.Take(), 1);

    Manager.DisableCommands({ckExit, ckErase, ckStop});
    EXPECT_EQ(Numbers(EnabledKinds(Manager)), (std::vector<int>{4, 14}));
    EXPECT_EQ(Listener.Take(), 1);

    Manager.DisableCommands(TCommandKinds::All());
    EXPECT_EQ(Numbers(EnabledKinds(Manager)), (std::vector<int>{4}));
    EXPECT_EQ(Listener.Take(), 1);
    Manager.RemoveListener(&Listener);
}

TEST(CommandManager, SetStatesRestoresASnapshotAsItIs) {
    TCommandManager Manager;
    TCountingListener Listener;
    Manager.AddListener(&Listener);
    const TCommandStates Before = Manager.States(); // Exit disabled, as constructed
    Manager.EnableCommands(CommandsRequiring(rqLine));
    Listener.Take();

    Manager.SetStates(Before);
    EXPECT_EQ(Manager.States(), Before);
    EXPECT_FALSE(Manager.Enabled(ckExit));
    EXPECT_EQ(Listener.Take(), 1);
    Manager.RemoveListener(&Listener);
}

TEST(CommandManager, DocumentLifeEnablesTheExpectedGroups) {
    TCommandManager Manager;
    // Start-up.
    Manager.DisableCommands(TCommandKinds::All());
    Manager.EnableCommands(CommandsRequiring(rqFile) - ckCloseFile);
    EXPECT_EQ(Numbers(EnabledKinds(Manager)), (std::vector<int>{0, 1, 2, 4}));
    // An image is opened.
    Manager.EnableCommands(CommandsRequiring(rqFile | rqImage | rqView) + ckCloseFile);
    EXPECT_EQ(Numbers(EnabledKinds(Manager)),
              (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 14, 15}));
    // The coordinate system is defined, then a line becomes current.
    Manager.EnableCommands(CommandsRequiring(rqScale) - ckCloseDigitization);
    Manager.EnableCommands(CommandsRequiring(rqDigitization));
    EXPECT_FALSE(Manager.Enabled(ckCloseDigitization));
    EXPECT_TRUE(Manager.Enabled(ckBackUp));
    // The image is closed.
    Manager.DisableCommands(CommandsRequiring(rqImage | rqView | rqScale | rqDigitization) +
                            ckCloseFile);
    EXPECT_EQ(Numbers(EnabledKinds(Manager)), (std::vector<int>{0, 1, 2, 4}));
}
