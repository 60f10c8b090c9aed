#pragma once

#include "core/Colors.h"
#include "interaction/ApplicationCommands.h"
#include "ui/dialogs/KorvaneDialogs.h"

#include <cstdint>
#include <memory>
#include <string>

namespace korvane {

class TDigitization;
class TLine;
class TPointMarker;
class TScatter;

// A data set's name and colour through its properties dialog. Arguments: [0] the data set.
class TEditDigitizationPropertiesCommand : public TKorvaneCommand, public TDialogsUser {
public:
    void Undo() override { Apply(false); }
    void Redo() override { Apply(true); }
    bool CanUndo() const override { return FAccepted; }
    std::string GetName() const override { return "Edit Properties"; }
    std::string GetDescription() const override;
    TRequirements Requirements() const override { return rqDigitization; }

protected:
    // Sets the new values, or the old ones.
    virtual void Apply(bool New);
    // Keeps the data set's name and colour as the old values and Name and Color as the new.
    void Keep(TDigitization& Digitization, const std::string& Name, int Color);

    TDigitization* FDigitization = nullptr;
    bool FAccepted = false;

private:
    std::string FOldName, FNewName;
    std::uint8_t FOldColorIndex = 0, FNewColorIndex = 0;
};

// A line's name, display colour and tracking colour. Arguments: [0] the line.
class TEditLinePropertiesCommand : public TEditDigitizationPropertiesCommand {
public:
    void Execute(const TArgumentList& Arguments) override;

protected:
    void Apply(bool New) override;

private:
    TLine* FLine = nullptr;
    TColor FOldTrackingColor = 0, FNewTrackingColor = 0;
    bool FOldTrackingColorSet = false, FNewTrackingColorSet = false;
};

// A scatter's name, colour and marker. Arguments: [0] the scatter.
class TEditScatterPropertiesCommand : public TEditDigitizationPropertiesCommand {
public:
    TEditScatterPropertiesCommand();
    ~TEditScatterPropertiesCommand() override;
    void Execute(const TArgumentList& Arguments) override;

protected:
    void Apply(bool New) override;

private:
    TScatter* FScatter = nullptr;
    std::unique_ptr<TPointMarker> FOldMarker, FNewMarker;
};

// A new name for a data set, typed in the list of data sets. Arguments: [0] the data set, [1]
// the name (std::string); blanks at either end are dropped, and a name of blanks only, or the
// name it has, changes nothing and is not recorded.
class TRenameDigitizationCommand : public TKorvaneCommand {
public:
    void Execute(const TArgumentList& Arguments) override;
    void Undo() override;
    void Redo() override;
    bool CanUndo() const override { return FDigitization != nullptr; }
    std::string GetName() const override { return "Rename"; }
    std::string GetDescription() const override;
    TRequirements Requirements() const override { return rqDigitization; }

private:
    TDigitization* FDigitization = nullptr;
    std::string FOldName, FNewName;
};

} // namespace korvane
