#pragma once

#include "document/Parameters.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>

namespace korvane {

class TDataTemplateList;
class TRecentFilesList;
class TStream;

struct TScreenSize {
    std::int32_t Width = 1024;
    std::int32_t Height = 768;
};

// The primary screen's size when a GUI application runs, else 1024 x 768.
TScreenSize PrimaryScreenSize();

struct TBoundsRect {
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Right = 0;
    std::int32_t Bottom = 0;
    // Saturated: a file may hold any four numbers.
    std::int32_t Width() const { return Span(Left, Right); }
    std::int32_t Height() const { return Span(Top, Bottom); }
    friend bool operator==(const TBoundsRect&, const TBoundsRect&) = default;

private:
    static std::int32_t Span(std::int32_t From, std::int32_t To) {
        const std::int64_t D = static_cast<std::int64_t>(To) - From;
        return static_cast<std::int32_t>(
            std::clamp<std::int64_t>(D, std::numeric_limits<std::int32_t>::min(),
                                     std::numeric_limits<std::int32_t>::max()));
    }
};

// Window placement, panel sizes, export templates, the recent files list and two switches,
// kept in "Korvane5.app" in the parameter folder together with the paint settings.
//
// File: version string, ShowGuide (1), UseSpanningCursor (1; not in "V5.00" files, which
// read it as true), MainWindowBounds (16), DataPanelWidth (4), DigitizationListHeight (4),
// the template list record (without the spreadsheet template), ExportDialogBounds (16),
// the recent files record, the paint settings record (16), and the RIPEMD-160 digest of
// everything before it (20).
class TApplicationParameters : public TPersistent {
public:
    static constexpr std::int32_t ExportDialogWidth = 422;
    static constexpr std::int32_t ExportDialogHeight = 359;

    // Folder: where "Korvane5.app" lives. Screen: what the window bounds are centred on.
    explicit TApplicationParameters(std::string Folder, TScreenSize Screen = PrimaryScreenSize());
    ~TApplicationParameters() override;
    TApplicationParameters(const TApplicationParameters&) = delete;
    TApplicationParameters& operator=(const TApplicationParameters&) = delete;

    std::string Version;
    TBoundsRect MainWindowBounds;
    std::int32_t DataPanelWidth = 200;
    std::int32_t DigitizationListHeight = 120;
    bool ShowGuide = true;
    TBoundsRect ExportDialogBounds;
    bool UseSpanningCursor = true;

    TDataTemplateList& Templates() const { return *FTemplates; }
    TRecentFilesList& RecentFiles() const { return *FRecentFiles; }

    const std::string& Folder() const { return FFolder; }
    // Folder + "/Korvane5.app".
    std::string FileName() const;
    TScreenSize Screen() const { return FScreen; }
    void SetScreen(TScreenSize Screen) { FScreen = Screen; }

    // MainWindowBounds, DataPanelWidth, DigitizationListHeight.
    virtual void LoadWindowFromStream(TStream& Stream);
    virtual void SaveWindowToStream(TStream& Stream) const;
    // The main window takes 85 % of the screen, centred; the panels their default sizes.
    virtual void ResetWindow();
    // Adds the spreadsheet template, replacing one of the same name.
    virtual void AddExcelTemplate();
    // Adds the five built-in text templates, each replacing one of the same name, then the
    // spreadsheet template.
    virtual void CreateDefaultTemplates();
    // 422 x 359, centred on the screen.
    virtual void ResetExportDialogBounds();
    // Everything before the paint settings. An unknown version throws EParameterFile
    // "Parameter file is not in correct format.". A list without templates gets the
    // built-in ones; the spreadsheet template is always added.
    virtual void LoadFromStream(TStream& Stream);
    // The same fields, as version "V5.01".
    virtual void SaveToStream(TStream& Stream) const;
    // Recent files cleared, window and export dialog reset, only the built-in templates,
    // both switches on.
    virtual void Reset();

    // Reads the file into this object and Paint. A missing file resets this object
    // silently; an unreadable one resets it and throws EParameterFile "Error loading
    // application parameter file. Resetting to defaults." (Paint keeps what it had).
    void LoadParameterFile(TPaintParameters& Paint);
    // The same for another file name.
    void LoadParameterFile(const std::string& Name, TPaintParameters& Paint);
    // The same over the file's content (for a stream positioned at its start).
    void LoadParameterFile(TStream& Stream, TPaintParameters& Paint);
    // Writes the file through a temporary file renamed over it, so a failure leaves the
    // previous file as it was; a read-only file is made writable first. Write errors throw.
    void SaveParameterFile(const TPaintParameters& Paint) const;
    void SaveParameterFile(const std::string& Name, const TPaintParameters& Paint) const;
    // The file's content, digest included.
    void SaveParameterFile(TStream& Stream, const TPaintParameters& Paint) const;

private:
    TBoundsRect Centred(std::int32_t Width, std::int32_t Height) const;

    std::string FFolder;
    TScreenSize FScreen;
    std::unique_ptr<TDataTemplateList> FTemplates;
    std::unique_ptr<TRecentFilesList> FRecentFiles;
};

} // namespace korvane
