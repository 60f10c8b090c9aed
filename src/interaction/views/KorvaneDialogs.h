#pragma once

#include "core/DoublePoints.h"
#include "core/Formats.h"

#include <QPoint>
#include <QString>

class QWidget;

namespace korvane {

// The real values typed for a scale point.
struct TScalePointAnswer {
    double X = 0;
    double Y = 0;
    bool XLogarithmic = false;
    bool YLogarithmic = false;
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
};

// The dialogs in use: the installed ones, else the real dialogs.
IKorvaneDialogs& KorvaneDialogs();
// Installs Dialogs (not owned); nullptr goes back to the real dialogs.
void SetKorvaneDialogs(IKorvaneDialogs* Dialogs);

} // namespace korvane
