#pragma once

#include "core/DoublePoints.h"
#include "core/Formats.h"
#include "interaction/ApplicationCommands.h"
#include "ui/dialogs/KorvaneDialogs.h"

#include <QImage>
#include <memory>
#include <string>

class QWidget;

namespace korvane {

class TDigitizationDataPanel;
class TKorvaneApplication;
class TKorvanePanel;
class TScaleSystem;

// Commits a new coordinate system from the panel's three scale points. Arguments: [0] the
// image panel, [1] X logarithmic, [2] Y logarithmic, [3] the previous defined system or
// none, [4] the previous current system or none.
class TDefineScaleCommand : public TKorvaneCommand {
public:
    TDefineScaleCommand();
    ~TDefineScaleCommand() override;
    void Execute(const TArgumentList& Arguments) override;
    void Undo() override;
    void Redo() override;
    bool CanUndo() const override { return true; }
    std::string GetName() const override;
    std::string GetDescription() const override { return "Define coordinate system"; }
    TRequirements Requirements() const override { return rqImage; }

private:
    TKorvanePanel* FPanel = nullptr;
    std::unique_ptr<TScaleSystem> FOldDefinedSystem, FOldCurrentSystem;
    std::unique_ptr<TScaleSystem> FNewDefinedSystem, FNewCurrentSystem;
};

// Acquires an image from a scanner and opens the work on it, without a file. Arguments:
// [0] the scanner's index in the scanner list (integer), [1] the image panel. No image may be
// open.
class TAcquireCommand : public TKorvaneCommand {
public:
    void Execute(const TArgumentList& Arguments) override;
    bool CanUndo() const override { return false; }
    TRequirements Requirements() const override { return rqFile; }
};

// Opens an image taken from the clipboard (a screenshot) as the work's image. Its work is
// kept like a file's, under a name made from its pixels ("Pasted image 0123456789abcdef"),
// so pasting the same picture again brings it back. Arguments: [0] the image (QImage, any
// format; transparency is laid over white), [1] the image panel. No image may be open.
class TPasteImageCommand : public TKorvaneCommand {
public:
    void Execute(const TArgumentList& Arguments) override;
    bool CanUndo() const override { return false; }
    TRequirements Requirements() const override { return rqFile; }
};

// The name the work on a pasted image is kept under: "Pasted image " and the first sixteen
// hexadecimal digits of the digest of its working pixels (size and rows).
std::string PastedImageName(const QImage& Working);

// Opens an image file. Arguments: [0] the file name (std::string), [1] the image panel, and
// optionally [2] the file's image, read already (TWorkingImage, taken over). No image may be
// open.
class TOpenFileCommand : public TKorvaneCommand {
public:
    void Execute(const TArgumentList& Arguments) override;
    bool CanUndo() const override { return false; }
    TRequirements Requirements() const override { return rqFile; }
};

// Closes the image, asking first. Arguments: [0] the image panel.
class TCloseFileCommand : public TKorvaneCommand {
public:
    void Execute(const TArgumentList& Arguments) override;
    bool CanUndo() const override { return false; }
    TRequirements Requirements() const override { return rqFile; }
};

// Asks the main window to close.
class TExitCommand : public TKorvaneCommand {
public:
    void Execute(const TArgumentList& Arguments) override;
    bool CanUndo() const override { return false; }
    TRequirements Requirements() const override { return rqFile | rqAlwaysEnabled; }
};

// The image's axis units through the units dialog. No arguments.
class TSetUnitsCommand : public TKorvaneCommand, public TDialogsUser {
public:
    void Execute(const TArgumentList& Arguments) override;
    void Undo() override;
    void Redo() override;
    bool CanUndo() const override { return FAccepted; }
    std::string GetName() const override { return "Set Units"; }
    std::string GetDescription() const override { return "Set units"; }
    TRequirements Requirements() const override { return rqImage; }

private:
    bool FAccepted = false;
    TStringPoint FOldUnits, FNewUnits;
};

// The image's number formats through the format dialog. Arguments: [0] the current data
// view, or none.
class TSetFormatsCommand : public TKorvaneCommand, public TDialogsUser {
public:
    void Execute(const TArgumentList& Arguments) override;
    void Undo() override;
    void Redo() override;
    bool CanUndo() const override { return FAccepted; }
    std::string GetName() const override { return "Set Formats"; }
    std::string GetDescription() const override { return "Set formats"; }
    TRequirements Requirements() const override { return rqImage; }

private:
    void Apply(const TCoordFormatPair& Formats);
    // "Set as default": images opened later without a parameter file start with Formats.
    static void KeepAsDefault(TKorvaneApplication& Korvane, const TCoordFormatPair& Formats);
    bool FAccepted = false;
    TCoordFormatPair FOldFormats, FNewFormats;
    TDigitizationDataPanel* FDataView = nullptr;
};

// The settings dialog: the spanning cursor, the open image's follower settings, the paint
// settings and the follower's enhancements, changed together as one step. Arguments: [0] the
// image panel.
class TEditPreferencesCommand : public TKorvaneCommand, public TDialogsUser {
public:
    TEditPreferencesCommand();
    ~TEditPreferencesCommand() override;
    void Execute(const TArgumentList& Arguments) override;
    void Undo() override;
    void Redo() override;
    bool CanUndo() const override { return FOld && FNew; }
    std::string GetName() const override { return "Edit Settings"; }
    std::string GetDescription() const override { return "Edit settings"; }
    TRequirements Requirements() const override { return rqImage; }

private:
    // Sets every setting from Settings; the enhancements' file is written first, so that when
    // writing fails nothing has changed.
    void Apply(const TSettingsAnswer& Settings);
    void Capture(TSettingsAnswer& Settings) const;

    TKorvanePanel* FPanel = nullptr;
    std::unique_ptr<TSettingsAnswer> FOld, FNew;
};

// Starts the zooming mode. Arguments: [0] the image panel, [1] the current data view or
// none, [2] the Zoom To Area action.
class TZoomToAreaCommand : public TKorvaneCommand {
public:
    void Execute(const TArgumentList& Arguments) override;
    bool CanUndo() const override { return false; }
    TRequirements Requirements() const override { return rqView; }
};

// One image pixel per screen pixel. Arguments: [0] the image panel.
class TActualSizeCommand : public TKorvaneCommand {
public:
    void Execute(const TArgumentList& Arguments) override;
    bool CanUndo() const override { return false; }
    TRequirements Requirements() const override { return rqView; }
};

// The whole image in the window. Arguments: [0] the image panel.
class TZoomToFitCommand : public TKorvaneCommand {
public:
    void Execute(const TArgumentList& Arguments) override;
    bool CanUndo() const override { return false; }
    TRequirements Requirements() const override { return rqView; }
};

// Arguments: [0] the image panel.
class TZoomInCommand : public TKorvaneCommand {
public:
    void Execute(const TArgumentList& Arguments) override;
    bool CanUndo() const override { return false; }
    TRequirements Requirements() const override { return rqView; }
};

// Arguments: [0] the image panel.
class TZoomOutCommand : public TKorvaneCommand {
public:
    void Execute(const TArgumentList& Arguments) override;
    bool CanUndo() const override { return false; }
    TRequirements Requirements() const override { return rqView; }
};

} // namespace korvane
