#pragma once

#include "interaction/ApplicationCommands.h"
#include "ui/dialogs/KorvaneDialogs.h"

#include <cstdint>
#include <string>
#include <vector>

namespace korvane {

class TKorvanePanel;

// Edit > Eliminate Grid: the grid lines found on the image are painted with the paper's colour,
// the curve pixels on them kept. The dialog's choices are previewed on the panel; Cancel
// changes nothing. Only the changed pixels are kept for Undo. Arguments: [0] the image panel.
class TEliminateGridCommand : public TKorvaneCommand, public TDialogsUser {
public:
    void Execute(const TArgumentList& Arguments) override;
    void Undo() override { Apply(false); }
    void Redo() override { Apply(true); }
    bool CanUndo() const override { return !FIndices.empty(); }
    std::string GetName() const override { return "Eliminate Grid"; }
    std::string GetDescription() const override { return "Eliminate grid lines"; }
    TRequirements Requirements() const override { return rqImage; }

private:
    void Apply(bool Eliminated);

    TKorvanePanel* FPanel = nullptr;
    // The changed pixels (row by row) and their colours before and after, 3 bytes each.
    std::vector<std::uint32_t> FIndices;
    std::vector<std::uint8_t> FBefore, FAfter;
};

} // namespace korvane
