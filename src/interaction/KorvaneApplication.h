#pragma once

#include "document/EnhancementSettings.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace korvane {

class IPrompter;
class TApplicationCommand;
class TArgumentList;
struct TCommandClass;
class IScaleRecordOwner;
class TApplicationParameters;
class TCommandManager;
class TDigitization;
class TFileParameters;
class THistoryList;
class TModeManager;
class TPaintParameters;

// Watches the application object (the main window does).
class IApplicationListener {
public:
    virtual ~IApplicationListener() = default;
    // After Digitization left the list; Index is the position it had.
    virtual void DigitizationDeleted(TDigitization& Digitization, std::int32_t Index) = 0;
    // After Digitization entered the list at Index.
    virtual void DigitizationInserted(TDigitization& Digitization, std::int32_t Index) = 0;
    virtual void StatusMessageChanged() = 0;
    // After the work on an image was opened (from a file or a scanner) or closed; the window
    // follows with its caption, list and guide.
    virtual void FileOpened() {}
    virtual void FileClosed() {}
};

// A mode that must agree before the image closes (the line modes, while following).
class IConfirmClose {
public:
    virtual ~IConfirmClose() = default;
    virtual bool ConfirmClose() = 0;
};

// The document: whether an image is open, its data sets, the parameters, the undo history,
// the command manager and the mode manager, and the two dirty flags. It opens and closes the
// work on an image in a fixed order and asks the user (through the prompter) before it
// drops changes. Whoever needs it is handed it: modes by the mode manager, commands by
// ExecuteCommand, views by the main window.
class TKorvaneApplication {
public:
    // Folder: where "Korvane5.app" and the folder "par" live.
    TKorvaneApplication(const std::string& Folder, IPrompter& Prompter);
    ~TKorvaneApplication();
    TKorvaneApplication(const TKorvaneApplication&) = delete;
    TKorvaneApplication& operator=(const TKorvaneApplication&) = delete;

    const std::string Title = "Korvane 5";
    const std::string& StatusMessage() const { return FStatusMessage; }
    const std::string& ParameterFileName() const { return FParameterFileName; }
    TCommandManager& CommandManager() const { return *FCommandManager; }
    TApplicationParameters& ApplicationParameters() const { return *FApplicationParameters; }
    TFileParameters& FileParameters() const { return *FFileParameters; }
    TPaintParameters& PaintParameters() const { return *FPaintParameters; }
    THistoryList& History() const { return *FHistory; }
    TModeManager& ModeManager() const { return *FModeManager; }
    IPrompter& Prompter() const { return FPrompter; }
    // The follower enhancements the user chose, kept in "Korvane5.ext" beside the settings;
    // the main window loads and saves them, every automatic run is handed them.
    TEnhancementSettings& EnhancementSettings() { return FEnhancementSettings; }

    bool Opening() const { return FOpening; }
    bool Closing() const { return FClosing; }
    bool FileIsOpen() const { return FFileIsOpen; }
    bool FileIsDirty() const { return FFileIsDirty; }
    bool ImageIsDirty() const { return FImageIsDirty; }

    std::int32_t Count() const { return static_cast<std::int32_t>(FDigitizations.size()); }
    TDigitization& Digitization(std::int32_t Index) const;
    // -1 when Digitization is not in the list.
    std::int32_t IndexOf(const TDigitization& Digitization) const;
    std::int32_t LineCount() const;
    std::int32_t ScatterCount() const;

    // Opens the work on the image the caller has loaded into Panel. An unreadable parameter
    // file throws (the image is then not opened).
    void OpenFile(const std::string& ImageFileName, IScaleRecordOwner& Panel);
    // Opens the work on an image without a file (acquired from a scanner).
    void NewFile(IScaleRecordOwner& Panel);
    // Closes the work on the image, asking first; FileIsOpen() tells whether it closed.
    void CloseFile(const IScaleRecordOwner& Panel);
    // "Save changes to data?" when CanClose, the data changed and the image has a file name.
    void QuerySave(bool& CanClose, bool& Save);

    // Takes Digitization out of the list; the caller becomes its owner.
    std::unique_ptr<TDigitization> DeleteDigitization(TDigitization& Digitization);
    // The list takes Digitization at Index (0 .. Count).
    TDigitization& InsertDigitization(std::unique_ptr<TDigitization> Digitization,
                                      std::int32_t Index);
    void DeleteAllDigitizations();

    void SetFileIsDirty(bool Value);
    void SetImageIsDirty(bool Value);
    void SetStatusMessage(const std::string& Text);

    void AddListener(IApplicationListener* Listener);
    void RemoveListener(IApplicationListener* Listener);
    bool HasListener(const IApplicationListener* Listener) const;

    // Reads FileName (normally ApplicationParameters().FileName()) into the application and
    // paint parameters; the name is kept for SaveApplicationParameters in every case.
    void LoadApplicationParameters(const std::string& FileName);
    void SaveApplicationParameters();

    // Asks the main window to close.
    std::function<void()> OnExit;
    void Exit();

private:
    void OpenWork(const std::string& ImageFileName, IScaleRecordOwner& Panel);
    void CloseWork(const IScaleRecordOwner& Panel);
    void NotifyFileState(void (IApplicationListener::*Notice)());

    std::string FStatusMessage;
    std::string FParameterFileName;
    IPrompter& FPrompter;
    std::vector<IApplicationListener*> FListeners;
    std::unique_ptr<TApplicationParameters> FApplicationParameters;
    std::unique_ptr<TCommandManager> FCommandManager;
    std::unique_ptr<TModeManager> FModeManager;
    std::vector<std::unique_ptr<TDigitization>> FDigitizations;
    std::unique_ptr<THistoryList> FHistory;
    std::unique_ptr<TFileParameters> FFileParameters;
    std::unique_ptr<TPaintParameters> FPaintParameters;
    TEnhancementSettings FEnhancementSettings;
    bool FOpening = false;
    bool FClosing = false;
    bool FFileIsOpen = false;
    bool FFileIsDirty = false;
    bool FImageIsDirty = false;
};

// Runs a command on Application: hands it the application (when it takes one), executes it
// and records it in Application's history when it can be undone (see ExecuteCommand with a
// history).
TApplicationCommand* ExecuteCommand(TKorvaneApplication& Application,
                                    std::unique_ptr<TApplicationCommand> Command,
                                    const TArgumentList& Arguments);
TApplicationCommand* ExecuteCommand(TKorvaneApplication& Application, const TCommandClass& Class,
                                    const TArgumentList& Arguments);

} // namespace korvane
