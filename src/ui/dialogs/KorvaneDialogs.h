#pragma once

#include "core/DoublePoints.h"
#include "core/Formats.h"

#include <QPoint>
#include <QString>
#include <QStringList>

class QWidget;

namespace korvane {

class TfrmExportData;

// The real values typed for a scale point.
struct TScalePointAnswer {
    double X = 0;
    double Y = 0;
    bool XLogarithmic = false;
    bool YLogarithmic = false;
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

// The modal dialogs the modes and commands ask. The program shows the real dialogs; tests
// install scripted answers.
class IKorvaneDialogs {
public:
    virtual ~IKorvaneDialogs() = default;
    // The scale-point dialog with Caption, the logarithmic boxes shown when asked, placed
    // near a screen point. Answers false when cancelled.
    virtual bool AskScalePoint(const QString& Caption, bool ShowLogarithmic, QPoint Near,
                               TScalePointAnswer& Answer) = 0;
    // The units dialog, filled with Units; on OK Units holds the new texts.
    virtual bool AskUnits(TStringPoint& Units) = 0;
    // The format dialog, filled with Formats; on OK Formats holds the new pair.
    virtual bool AskFormats(TCoordFormatPair& Formats) = 0;
    // Runs the export dialog the caller prepared; true when it ended with "Export".
    virtual bool RunExportDialog(TfrmExportData& Dialog) = 0;
    // A file to write; on OK FileName holds the chosen path.
    virtual bool AskSaveFileName(const TSaveFileQuestion& Question, QString& FileName) = 0;
};

// The dialogs in use: the installed ones, else the real dialogs.
IKorvaneDialogs& KorvaneDialogs();
// Installs Dialogs (not owned); nullptr goes back to the real dialogs.
void SetKorvaneDialogs(IKorvaneDialogs* Dialogs);

} // namespace korvane
