#pragma once

#include "interaction/ApplicationCommands.h"
#include "ui/dialogs/KorvaneDialogs.h"

#include <QStringList>
#include <memory>
#include <string>

class QWidget;

namespace korvane {

class TCurveIterator;
class TDigitization;
class TStream;
class TfrmExportData;
struct TBoundsRect;

// Exports a data set through the export dialog to a file or the clipboard. Arguments: [0] the
// data set. Never recorded.
//
// A file is written through a temporary file renamed over the target, so a failure leaves an
// older file as it was; the clipboard is filled only once the whole text exists. The folder
// of the last file written is remembered for the next export.
class TExportDataCommand : public TKorvaneCommand, public TDialogsUser {
public:
    TExportDataCommand();
    ~TExportDataCommand() override;

    void Execute(const TArgumentList& Arguments) override;
    bool CanUndo() const override { return false; }
    TRequirements Requirements() const override { return rqDigitization; }

    // The file written by Execute; empty when the output went to the clipboard or nowhere.
    const std::string& FileName() const { return FFileName; }

protected:
    // Adjusts the dialog before it is shown. Base: nothing.
    virtual void PrepareDialog() {}
    // Where the output goes: true for the clipboard or a file the user chose (FFileName),
    // false when nothing is to be exported.
    virtual bool OpenOutput();
    // The name the save dialog offers: the image's name without its extension, " - ", the
    // data set's name and the template's extension.
    virtual std::string DefaultFileName() const;
    // The text steps of a text template, written to FStream.
    virtual void WriteHeader();
    virtual void WriteBody();
    virtual void WriteFooter();
    // Puts Text on the system clipboard as plain text.
    virtual void CopyToClipboard(const std::string& Text);

    TDigitization* FDigitization = nullptr;
    // The output while it is written (not owned).
    TStream* FStream = nullptr;
    // Exists while Execute runs.
    std::unique_ptr<TfrmExportData> FDialog;
    std::string FFileName;

private:
    void WriteOutput();
    void RememberFolder();
    std::unique_ptr<TCurveIterator> FPoints;
};

// The line and scatter exports also offer the choice between all and the selected points.
class TExportLineCommand : public TExportDataCommand {
protected:
    void PrepareDialog() override;
};

class TExportScatterCommand : public TExportDataCommand {
protected:
    void PrepareDialog() override;
};

// A dialog's stored bounds as a frame position and size; bounds that do not lie on any screen
// are moved to the centre of the primary screen.
void ApplyDialogBounds(QWidget& Dialog, const TBoundsRect& Bounds);
// The dialog's frame position and size as bounds.
TBoundsRect DialogBounds(const QWidget& Dialog);

// The filters of the save dialog for a template: "Name Files (*.ext)" and "All Files (*)".
QStringList ExportFileFilters(const std::string& TemplateName, const std::string& Extension);

} // namespace korvane
