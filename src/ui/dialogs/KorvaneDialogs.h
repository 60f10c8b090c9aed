#pragma once

#include "core/DoublePoints.h"
#include "core/Formats.h"
#include "document/Parameters.h"
#include "follower/Enhancements.h"

#include <QPoint>
#include <QString>
#include <QStringList>
#include <memory>

class QWidget;

namespace korvane {

class TfrmCalculationDialog;
class TfrmEliminateGrid;
class TfrmExportData;
class TfrmLineProperties;
class TfrmPdfPage;
class TfrmScatterProperties;

// The real values typed for a scale point.
struct TScalePointAnswer {
    double X = 0;
    double Y = 0;
    bool XLogarithmic = false;
    bool YLogarithmic = false;
};

// What the settings dialog shows and, on OK, what the user chose.
struct TSettingsAnswer {
    bool UseSpanningCursor = true;
    TVectorizerParameters Vectorizer;
    TPaintParameters Paint;
    TFollowerEnhancements Enhancements;
};

// A save-file dialog: its caption, its filters in Qt's form ("Comma-separated Files (*.csv)"),
// the suffix added to a name typed without one, and the path it starts with. It asks before
// a file is overwritten.
struct TSaveFileQuestion {
    QString Caption;
    QStringList Filters;
    QString DefaultSuffix;
    QString InitialPath;
};

// The modal dialogs the modes and commands ask, handed to them by the main window. The program
// shows the real dialogs; tests hand in scripted answers.
class IKorvaneDialogs {
public:
    virtual ~IKorvaneDialogs() = default;
    // The scale-point dialog with Caption, the logarithmic boxes shown when asked, placed
    // near a screen point. Answers false when cancelled.
    virtual bool AskScalePoint(const QString& Caption, bool ShowLogarithmic, QPoint Near,
                               TScalePointAnswer& Answer) = 0;
    // The units dialog, filled with Units; on OK Units holds the new texts.
    virtual bool AskUnits(TStringPoint& Units) = 0;
    // The format dialog, filled with Formats; on OK Formats holds the new pair and
    // SetAsDefault whether "Set as default" was ticked.
    virtual bool AskFormats(TCoordFormatPair& Formats, bool& SetAsDefault) = 0;
    // The settings dialog, filled with Settings and open on the "Painting" page when
    // PaintingPage, else on "Digitizing"; on OK Settings holds the new values.
    virtual bool AskSettings(TSettingsAnswer& Settings, bool PaintingPage) = 0;
    // Run the dialogs the caller prepared; true when they ended with OK.
    virtual bool RunLinePropertiesDialog(TfrmLineProperties& Dialog) = 0;
    virtual bool RunScatterPropertiesDialog(TfrmScatterProperties& Dialog) = 0;
    virtual bool RunCalculationDialog(TfrmCalculationDialog& Dialog) = 0;
    virtual bool RunEliminateGridDialog(TfrmEliminateGrid& Dialog) = 0;
    // Runs the export dialog the caller prepared; true when it ended with "Export".
    virtual bool RunExportDialog(TfrmExportData& Dialog) = 0;
    // A file to write; on OK FileName holds the chosen path.
    virtual bool AskSaveFileName(const TSaveFileQuestion& Question, QString& FileName) = 0;
    // An existing file to open, starting in Folder, offering Filters ("a;;b"); on OK
    // FileName holds the chosen path.
    virtual bool AskOpenFileName(const QString& Caption, const QString& Filters,
                                 const QString& Folder, QString& FileName) = 0;
    // Runs the page dialog of a PDF the caller prepared; true when it ended with OK.
    virtual bool RunPdfPageDialog(TfrmPdfPage& Dialog) = 0;
    // The password of an encrypted PDF (Retry: the one given was wrong); on OK Password holds
    // it.
    virtual bool AskPassword(const QString& FileName, bool Retry, QString& Password) = 0;
};

// The real modal dialogs, parented to the active window.
std::unique_ptr<IKorvaneDialogs> NewQtDialogs();

// A mode or a command that asks the user through the dialogs it was handed.
class TDialogsUser {
public:
    virtual ~TDialogsUser() = default;
    // Not owned; they outlive the user.
    void SetDialogs(IKorvaneDialogs& Dialogs) { FDialogs = &Dialogs; }

protected:
    // EAssertion naming Where when none were handed in.
    IKorvaneDialogs& Dialogs(const char* Where) const;

private:
    IKorvaneDialogs* FDialogs = nullptr;
};

} // namespace korvane
