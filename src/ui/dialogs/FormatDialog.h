#pragma once

#include "core/Formats.h"

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace korvane {

// The number formats of the two axes: scientific or floating point, and the precision.
// It opens centred on the screen.
class TfrmFormatDialog : public QDialog {
public:
    explicit TfrmFormatDialog(QWidget* Parent = nullptr);

    QGroupBox* grpX;
    QRadioButton* rdoXScientific;
    QRadioButton* rdoXFloatingPoint;
    QSpinBox* updXPrecision;
    QGroupBox* grpY;
    QRadioButton* rdoYScientific;
    QRadioButton* rdoYFloatingPoint;
    QSpinBox* updYPrecision;
    QCheckBox* chkDefault;
    QPushButton* btnOK;
    QPushButton* btnCancel;
    QPushButton* btnHelp;

    // Shows each axis's notation and precision.
    void SetFormats(const TCoordFormatPair& Formats);
    // The dialog's own pair with the shown notations and precisions; the caller copies it
    // with Assign.
    const TCoordFormatPair& GetFormats();

    // Whether "Set as default" is checked.
    bool SetAsDefault() const;

protected:
    void showEvent(QShowEvent* Event) override;

private:
    TCoordFormatPair FFormats;
};

} // namespace korvane
