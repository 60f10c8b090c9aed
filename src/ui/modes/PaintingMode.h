#pragma once

#include "document/Parameters.h"
#include "image/PanZoomView.h"
#include "ui/modes/KorvaneModes.h"

#include <memory>

class QComboBox;
class QLabel;
class QSpinBox;
class QStatusBar;
class QToolButton;
class QWidget;

namespace korvane {

class TPaintCommand;

// Painting on the working image to help the followers: replacing (drawing a line's missing
// parts), erasing (painting the background over grid lines, labels or specks) and marking (a
// path in a colour of its own for the follower to keep to). A left click lifts or lowers the
// pen, and while it is down the mouse paints; each stroke from pen down to pen up is one step
// of the history. "d" toggles the pen, "g" cycles the paint mode, Alt+Up and Alt+Down change
// the pen's size, a Shift-click takes the colour of the pixel under the pointer. The status
// bar gets the pen size, the paint mode and the colour while the mode runs. Arguments: [0]
// the image panel, [1] the Paint action, [2] the paint mode to start in (0 replacing,
// 1 erasing, 2 marking), [3] the status bar, or none.
class TPaintingMode : public TKorvaneMode, public IPanelListener, public IPaintParametersListener {
public:
    static const TModeClass& Class();
    TPaintingMode();
    ~TPaintingMode() override;

    void Start(const TArgumentList& Arguments) override;
    void Stop() override;
    void FillGuide() override;
    void KeyDown(QObject* Sender, std::uint16_t& Key, Qt::KeyboardModifiers Shift) override;
    void KeyUp(QObject* Sender, std::uint16_t& Key, Qt::KeyboardModifiers Shift) override;
    void MouseDown(TLongintPoint Device, TDoublePoint Actual, int Button, unsigned Shift) override;
    void PanelMouseMove(TLongintPoint Device, unsigned Shift) override;

    // IPanelListener
    void PanelPainted(TPanZoomView&) override {}
    void PenStateChanged(TPanZoomView& View) override;
    void PenWidthChanged(TPanZoomView& View) override;
    // IPaintParametersListener
    void PaintParametersChanged(TPaintParameters& Sender) override;

    // The colour of the current paint mode, from the paint settings.
    TColor CurrentColor() const;
    void SetPaintMode(int Mode);
    // Gives the current paint mode Color, on the panel and in the paint settings.
    void SetColor(TColor Color);

    TKorvanePanel* Panel = nullptr;
    QStatusBar* StatusBar = nullptr;
    // The status-bar controls while the mode runs.
    QSpinBox* PenSizeEdit = nullptr;
    QComboBox* ModeCombo = nullptr;
    QToolButton* ColorButton = nullptr;

protected:
    void ReadArguments() override;

private:
    void BuildControls();
    void RemoveControls();
    void RefreshControls();
    void ShowPenStatus();
    void StartStrokeAt(TLongintPoint Device);
    void UpdateEyedropper(Qt::KeyboardModifiers Shift);
    // Ends the stroke's command: into the history when it painted, else dropped.
    void FinishPaintCommand();
    void NewPaintCommand();

    int FInitialPaintMode = 0;
    bool FEyedropperShown = false;
    bool FListening = false;
    std::unique_ptr<TPaintCommand> FPaintCommand;
    QWidget* FControls = nullptr;
};

} // namespace korvane
