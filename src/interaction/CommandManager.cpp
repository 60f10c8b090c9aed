#include "interaction/CommandManager.h"

#include <bit>

namespace korvane {

const std::array<TCommandClassEntry, CommandKindCount> CommandClasses{{
    {"TSelectSourceCommand", rqFile},
    {"TAcquireCommand", rqFile},
    {"TOpenFileCommand", rqFile},
    {"TCloseFileCommand", rqFile},
    {"TExitCommand", rqFile | rqAlwaysEnabled},
    {"TDefineScaleCommand", rqImage},
    {"TSetUnitsCommand", rqImage},
    {"TSetFormatsCommand", rqImage},
    {"TEliminateGridCommand", rqImage},
    {"TPaintCommand", rqImage},
    {"TEditPreferencesCommand", rqImage},
    {"TZoomToAreaCommand", rqView},
    {"TSelectByAreaCommand", rqDigitization},
    {"TActualSizeCommand", rqView},
    {"TZoomInCommand", rqView},
    {"TZoomOutCommand", rqView},
    {"TCreateFunctionalLineCommand", rqScale},
    {"TCreateNonfunctionalLineCommand", rqScale},
    {"TCreateScatterCommand", rqScale},
    {"TOpenFunctionalLineCommand", rqScale},
    {"TOpenNonfunctionalLineCommand", rqScale},
    {"TOpenScatterCommand", rqScale},
    {"TCloseDigitizationCommand", rqScale},
    {"TDeleteDigitizationCommand", rqScale},
    {"TEditDigitizationPropertiesCommand", rqDigitization},
    {"TSortDigitizationCommand", rqDigitization | rqScatter},
    {"TDeleteSelectedScatterDataCommand", rqDigitization | rqScatter},
    {"TSelectAllCommand", rqDigitization},
    {"TSelectNoneCommand", rqDigitization},
    {"TEraseCommand", rqDigitization | rqLine},
    {"TExportDataCommand", rqDigitization},
    {"TEraseCommand", rqDigitization | rqLine},
    {"TResumeFunctionalCommand", rqDigitization | rqLine},
    {"TStopCommand", rqDigitization | rqLine},
}};

std::int32_t TCommandKinds::Count() const {
    return std::popcount(FBits);
}

TCommandKinds CommandsRequiring(TRequirements Flags) {
    TCommandKinds Result;
    for (std::int32_t K = 0; K < CommandKindCount; ++K)
        if ((CommandClasses[static_cast<std::size_t>(K)].Requirements & Flags) != 0)
            Result += static_cast<TCommandKind>(K);
    return Result;
}

void TCommandManager::SetCommandsEnabled(TCommandKinds Kinds, bool Value) {
    for (std::int32_t K = 0; K < CommandKindCount; ++K) {
        const auto Kind = static_cast<TCommandKind>(K);
        if ((CommandClasses[Kind].Requirements & rqAlwaysEnabled) != 0)
            FEnabled[Kind] = true;
        else if (Kinds.Contains(Kind))
            FEnabled[Kind] = Value;
    }
    NotifyListeners();
}

void TCommandManager::SetStates(const TCommandStates& States) {
    FEnabled = States;
    NotifyListeners();
}

void TCommandManager::NotifyListeners() {
    FListeners.Notify([this](ICommandManagerListener& L) { L.CommandStatesChanged(*this); });
}

} // namespace korvane
