#pragma once

#include "core/DoublePoints.h"
#include "interaction/ApplicationCommands.h"

#include <array>
#include <memory>
#include <string>

namespace korvane {

class TDigitization;
class TKorvaneApplication;
class TKorvanePanel;
class TLine;
class TScatter;

// ---------------------------------------------------------------------------------------------
// Adding and removing points

// Points added to a line by hand or by the follower; undo takes away exactly the points
// that arrived after StartCount, redo gives them back.
class TDigitizeLineCommand : public TKorvaneCommand {
public:
    void Execute(const TArgumentList& Arguments) override;
    void Undo() override;
    void Redo() override;
    bool CanUndo() const override;
    std::string GetName() const override { return "Line Digitization"; }
    TRequirements Requirements() const override { return rqScale; }

    std::int32_t StartCount() const { return FStartCount; }

protected:
    TDoublePointArray FRemoved{50};
    std::int32_t FStartCount = 0;
    TLine* FLine = nullptr;
    TKorvanePanel* FPanel = nullptr;
    std::int32_t FStartX = 0;
    std::int32_t FStartY = 0;
};

// One point where the user clicked. Arguments: [0] the line, [1] the image panel, [2] and
// [3] the paint-box position.
class TDigitizeManualCommand : public TDigitizeLineCommand {
public:
    void Execute(const TArgumentList& Arguments) override;
    std::string GetName() const override { return "Point Digitization"; }
    std::string GetDescription() const override { return "Point digitization"; }
};

// A run of the line follower. Arguments: [0] the line, [1] the image panel, [2] the start
// conditions (TVectorizerInitialConditions). Added to the history before it executes.
class TDigitizeAutoCommand : public TDigitizeLineCommand {
public:
    void Execute(const TArgumentList& Arguments) override;
    std::string GetName() const override { return "Automatic Digitization"; }
    std::string GetDescription() const override;
};

class TVectorizerInitialConditions;

// Starts a follower run on Line from Conditions (given the line's tracking colour): a new
// automatic command enters the history, then executes.
void RunAutomaticDigitizing(TKorvaneApplication& Korvane, TLine& Line, TKorvanePanel& Panel,
                            TVectorizerInitialConditions& Conditions);

// Restarts the follower where a line ends. Arguments: [0] the line, [1] the image panel.
class TResumeCommand : public TKorvaneCommand {
public:
    bool CanUndo() const override { return false; }
    std::string GetName() const override { return "Resume"; }
    TRequirements Requirements() const override { return rqDigitization | rqLine; }
};

class TResumeFunctionalCommand : public TResumeCommand {
public:
    void Execute(const TArgumentList& Arguments) override;
};

class TResumeNonfunctionalCommand : public TResumeCommand {
public:
    void Execute(const TArgumentList& Arguments) override;
};

// Asks the running follower to stop. Arguments: [0] the line.
class TStopCommand : public TKorvaneCommand {
public:
    void Execute(const TArgumentList& Arguments) override;
    bool CanUndo() const override { return false; }
    std::string GetName() const override { return "Stop"; }
    TRequirements Requirements() const override { return rqDigitization | rqLine; }
};

// A scatter point added or removed. Arguments: [0] the scatter, [1] the real point
// (TDoublePoint).
class TScatterPointCommand : public TKorvaneCommand {
public:
    void Execute(const TArgumentList& Arguments) override;
    void Redo() override { ExecuteFromStored(); }
    bool CanUndo() const override { return true; }
    TRequirements Requirements() const override { return rqScale; }
    virtual void ExecuteFromStored() = 0;

protected:
    TScatter* FScatter = nullptr;
    TDoublePoint FPoint;
};

class TScatterPointAddCommand : public TScatterPointCommand {
public:
    void ExecuteFromStored() override;
    void Undo() override;
    std::string GetName() const override { return "Add Point"; }
    std::string GetDescription() const override;
};

// Undo puts the scatter's points and selection back as they were before the removal.
class TScatterPointRemoveCommand : public TScatterPointCommand {
public:
    TScatterPointRemoveCommand();
    ~TScatterPointRemoveCommand() override;
    void ExecuteFromStored() override;
    void Undo() override;
    std::string GetName() const override { return "Remove Point"; }
    std::string GetDescription() const override;

private:
    TDoublePointArray FSavedPoints{10};
    std::unique_ptr<class TPointSelection> FSavedSelection;
};

// Erases a line from its EraseFrom mark to the end. Arguments: [0] the line, [1] the image
// panel.
class TEraseCommand : public TKorvaneCommand {
public:
    void Execute(const TArgumentList& Arguments) override;
    void Undo() override;
    void Redo() override { ExecuteFromStored(); }
    bool CanUndo() const override { return FEraseFrom >= 0; }
    std::string GetName() const override { return "Erase"; }
    std::string GetDescription() const override;
    TRequirements Requirements() const override { return rqDigitization | rqLine; }
    virtual void ExecuteFromStored();

private:
    TLine* FLine = nullptr;
    TKorvanePanel* FPanel = nullptr;
    TDoublePointArray FErased{50};
    std::int32_t FEraseFrom = -1;
};

// ---------------------------------------------------------------------------------------------
// Whole data sets

class TDeleteDigitizationCommand;

// A new data set at the end of the list. Arguments: none, or [0] its name (std::string).
class TCreateDigitizationCommand : public TKorvaneCommand {
public:
    TCreateDigitizationCommand();
    ~TCreateDigitizationCommand() override;
    void Execute(const TArgumentList& Arguments) override;
    void Undo() override;
    void Redo() override;
    bool CanUndo() const override { return FDigitization != nullptr; }
    std::string GetDescription() const override;
    TRequirements Requirements() const override { return rqScale; }

    TDigitization* Digitization() const { return FDigitization; }
    // The program-wide counter that numbers new data sets; it starts at 1.
    static std::int32_t NextNumber();

protected:
    virtual std::unique_ptr<TDigitization> CreateDigitization() = 0;

private:
    std::int32_t FIndex = -1;
    TDigitization* FDigitization = nullptr;
    std::unique_ptr<TDeleteDigitizationCommand> FDeleteCommand;
};

class TCreateFunctionalLineCommand : public TCreateDigitizationCommand {
public:
    std::string GetName() const override { return "New Functional Line"; }

protected:
    std::unique_ptr<TDigitization> CreateDigitization() override;
};

class TCreateNonfunctionalLineCommand : public TCreateDigitizationCommand {
public:
    std::string GetName() const override { return "New Nonfunctional Line"; }

protected:
    std::unique_ptr<TDigitization> CreateDigitization() override;
};

class TCreateScatterCommand : public TCreateDigitizationCommand {
public:
    std::string GetName() const override { return "New Scatter"; }

protected:
    std::unique_ptr<TDigitization> CreateDigitization() override;
};

// Opens a data set for digitizing: starts its mode. Arguments: [0] the image panel, [1] the
// data set, [2] its data view, [3] the hint status bar.
class TOpenDigitizationCommand : public TKorvaneCommand {
public:
    void Execute(const TArgumentList& Arguments) override;
    bool CanUndo() const override { return false; }
    std::string GetDescription() const override;
    TRequirements Requirements() const override { return rqScale; }

protected:
    virtual const class TModeClass& ModeClass() const = 0;
};

class TOpenFunctionalLineCommand : public TOpenDigitizationCommand {
protected:
    const TModeClass& ModeClass() const override;
};

class TOpenNonfunctionalLineCommand : public TOpenDigitizationCommand {
protected:
    const TModeClass& ModeClass() const override;
};

class TOpenScatterCommand : public TOpenDigitizationCommand {
protected:
    const TModeClass& ModeClass() const override;
};

// Ends the current mode. No arguments.
class TCloseDigitizationCommand : public TKorvaneCommand {
public:
    void Execute(const TArgumentList& Arguments) override;
    bool CanUndo() const override { return false; }
    TRequirements Requirements() const override { return rqScale; }
};

// Takes a data set out of the list. Arguments: [0] its list index.
class TDeleteDigitizationCommand : public TKorvaneCommand {
public:
    TDeleteDigitizationCommand();
    ~TDeleteDigitizationCommand() override;
    void Execute(const TArgumentList& Arguments) override;
    void Undo() override;
    bool CanUndo() const override { return FDigitization != nullptr; }
    std::string GetName() const override { return "Delete Digitization"; }
    std::string GetDescription() const override;
    TRequirements Requirements() const override { return rqScale; }

private:
    std::int32_t FIndex = -1;
    std::unique_ptr<TDigitization> FDigitization;
};

// ---------------------------------------------------------------------------------------------
// Selections and sorting

// Sorts a scatter's points; not undoable. Arguments: [0] the scatter.
class TSortDigitizationCommand : public TKorvaneCommand {
public:
    void Execute(const TArgumentList& Arguments) override;
    bool CanUndo() const override { return false; }
    TRequirements Requirements() const override { return rqDigitization | rqScatter; }

protected:
    virtual void Sort(TScatter& Scatter) = 0;
};

class TSortAscendingXCommand : public TSortDigitizationCommand {
protected:
    void Sort(TScatter& Scatter) override;
};

class TSortAscendingYCommand : public TSortDigitizationCommand {
protected:
    void Sort(TScatter& Scatter) override;
};

class TSortDescendingXCommand : public TSortDigitizationCommand {
protected:
    void Sort(TScatter& Scatter) override;
};

class TSortDescendingYCommand : public TSortDigitizationCommand {
protected:
    void Sort(TScatter& Scatter) override;
};

// Selects every output point (those of the parameter set, not the digitized ones).
// Arguments: [0] the data set.
class TSelectAllCommand : public TKorvaneCommand {
public:
    void Execute(const TArgumentList& Arguments) override;
    bool CanUndo() const override { return false; }
    TRequirements Requirements() const override { return rqDigitization; }
};

// Clears the selection. Arguments: [0] the data set.
class TSelectNoneCommand : public TKorvaneCommand {
public:
    void Execute(const TArgumentList& Arguments) override;
    bool CanUndo() const override { return false; }
    TRequirements Requirements() const override { return rqDigitization; }
};

// Selects the output points inside an area of the image, adding them to the selection.
// Arguments: [0] the data set, [1] the area (TQuadrilateral, in real values). Not undoable.
class TSelectByAreaCommand : public TKorvaneCommand {
public:
    void Execute(const TArgumentList& Arguments) override;
    bool CanUndo() const override { return false; }
    TRequirements Requirements() const override { return rqDigitization; }

protected:
    virtual void Apply(TDigitization& Digitization, const std::array<TDoublePoint, 4>& Area);
};

// Takes the output points inside an area out of the selection. Arguments as above.
class TDeselectByAreaCommand : public TSelectByAreaCommand {
protected:
    void Apply(TDigitization& Digitization, const std::array<TDoublePoint, 4>& Area) override;
};

// Deletes a scatter's selected points, keeping points and selection for undo.
// Arguments: [0] the scatter.
class TDeleteSelectedScatterDataCommand : public TKorvaneCommand {
public:
    TDeleteSelectedScatterDataCommand();
    ~TDeleteSelectedScatterDataCommand() override;
    void Execute(const TArgumentList& Arguments) override;
    void Undo() override;
    void Redo() override;
    bool CanUndo() const override { return FSavedPoints.Count() > 0; }
    std::string GetName() const override { return "Delete Selected Scatter Data"; }
    std::string GetDescription() const override { return "Delete selected scatter data"; }
    TRequirements Requirements() const override { return rqDigitization | rqScatter; }

private:
    TScatter* FScatter = nullptr;
    TDoublePointArray FSavedPoints{50};
    std::unique_ptr<class TPointSelection> FSavedSelection;
};

} // namespace korvane
