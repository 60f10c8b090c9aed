#pragma once

#include "document/Parameters.h"
#include "follower/Enhancements.h"

#include <QDialog>

class QCheckBox;
class QFrame;
class QGroupBox;
class QPushButton;
class QSlider;
class QTabWidget;

namespace korvane {

class TColorComboBox;
class TUpDownEdit;

// The settings: the "Digitizing" page with the display and line-follower settings of the open
// image and the follower's enhancements, and the "Painting" page with the pen's colours and
// size. The dialog works on copies of its own; the caller reads them after OK.
class TfrmPreferencesDialog : public QDialog {
public:
    static constexpr int DigitizingHelpContext = 1000;
    static constexpr int PaintingHelpContext = 1050;

    explicit TfrmPreferencesDialog(QWidget* Parent = nullptr);

    QTabWidget* pcMain;
    QWidget* tsDigitizing;
    QWidget* tsPainting;

    TColorComboBox* cboSelectedPointColor;
    QCheckBox* chkUseBeacon;
    QCheckBox* chkShowSpanningCursor;
    QSlider* trkSpeed;
    TUpDownEdit* udColorTolerance;
    TUpDownEdit* udMaxHorizontalJump;
    TUpDownEdit* udThicknessTolerance;
    TUpDownEdit* udMaxVerticalJump;
    QGroupBox* grpEnhancements;
    QCheckBox* chkEnhancedFollowing;
    QCheckBox* chkGapFilling;

    QFrame* boxReplacingColor;
    QPushButton* btnChooseReplacingColor;
    QFrame* boxErasingColor;
    QPushButton* btnChooseErasingColor;
    QFrame* boxMarkingColor;
    QPushButton* btnChooseMarkingColor;
    TUpDownEdit* udPenSize;

    QPushButton* btnOK;
    QPushButton* btnCancel;
    QPushButton* btnHelp;

    void SetShowSpanningCursor(bool Value);
    bool GetShowSpanningCursor() const;
    void SetVectorizerParameters(const TVectorizerParameters& Parameters);
    const TVectorizerParameters& VectorizerParameters() const { return FVectorizerParameters; }
    void SetPaintParameters(const TPaintParameters& Parameters);
    const TPaintParameters& PaintParameters() const { return FPaintParameters; }
    // "Enhanced following" is checked when all of its enhancements are on, half-checked when
    // only some are (then left as they are unless the user clicks it).
    void SetEnhancements(const TFollowerEnhancements& Enhancements);
    const TFollowerEnhancements& Enhancements() const { return FEnhancements; }

    // Opens on the "Painting" page instead of "Digitizing".
    void ShowPaintingPage(bool Painting);

    // Writes every control into the dialog's copies, through their setters. OK does this
    // before it closes the dialog.
    void ReadControls();

    // The colour a swatch shows.
    static TColor SwatchColor(const QFrame& Swatch);

protected:
    void showEvent(QShowEvent* Event) override;

private:
    void ChooseColor(QFrame& Swatch, const QString& Caption);
    int ActiveHelpContext() const;

    TVectorizerParameters FVectorizerParameters;
    TPaintParameters FPaintParameters;
    TFollowerEnhancements FEnhancements;
};

} // namespace korvane
