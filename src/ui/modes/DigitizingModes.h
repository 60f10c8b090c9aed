#pragma once

#include "document/Digitizations.h"
#include "interaction/KorvaneApplication.h"
#include "ui/modes/KorvaneModes.h"

#include <functional>
#include <memory>

class QLabel;
class QSlider;
class QStatusBar;
class QWidget;

namespace korvane {

class TDigitizationDataPanel;
class TLineDataPanel;
class TScatterDataPanel;

// The base of the modes in which a data set is open for digitizing. Arguments: [0] the image
// panel, [1] the data set, [2] its data view. Escape never ends it; another mode suspends it.
class TDigitizingMode : public TKorvaneMode,
                        public IPanelListener,
                        public virtual IDigitizationListener,
                        public ISelectionListener,
                        public IApproximatorListener {
public:
    static const TModeClass& Class();
    TDigitizingMode();
    ~TDigitizingMode() override;

    bool SuspendsFor(const TModeClass&) const override { return true; }
    void Start(const TArgumentList& Arguments) override;
    void Stop() override;

    virtual TCommandClass PropertiesCommandClass() const = 0;
    virtual TCommandClass ExportCommandClass() const = 0;
    virtual void UpdateDigitizationCommands();
    virtual void UpdateSelectionCommands();
    // The Properties and Export actions.
    virtual void EditProperties();
    virtual void Export();

    void DigitizationChanged(TDigitization&) override {}
    void PointsAdded(TDigitization& Digitization) override;
    void PointsChanged(TDigitization& Digitization) override;
    void ApproximatorParamsChanged(TApproximatorParamSet& ParamSet) override;
    void SelectionChanged(TPointSelection& Selection) override;
    void PanelPainted(TPanZoomView& Panel) override;
    void PenStateChanged(TPanZoomView&) override {}
    void PenWidthChanged(TPanZoomView&) override {}

    TKorvanePanel* Panel = nullptr;
    TDigitization* Digitization = nullptr;
    TDigitizationDataPanel* DataPanel = nullptr;

protected:
    void ReadArguments() override;

private:
    bool FListening = false;
};

// A line open for digitizing: clicks start the follower, Shift-clicks add points by hand.
// Arguments: [0] the image panel, [1] the line, [2] the line data view, [3] the hint status
// bar (QStatusBar), where the speed control goes while the mode runs.
class TLineMode : public TDigitizingMode, public ILineListener, public IConfirmClose {
public:
    static const TModeClass& Class();
    TLineMode();
    ~TLineMode() override;

    void Start(const TArgumentList& Arguments) override;
    void Stop() override;
    void KeyDown(QObject* Sender, std::uint16_t& Key, Qt::KeyboardModifiers Shift) override;
    void KeyUp(QObject* Sender, std::uint16_t& Key, Qt::KeyboardModifiers Shift) override;

    TCommandClass PropertiesCommandClass() const override;
    TCommandClass ExportCommandClass() const override;
    void UpdateDigitizationCommands() override;
    void MouseDown(TLongintPoint Device, TDoublePoint Actual, int Button, unsigned Shift) override;

    // The Resume action and the Assist guide's "Resume" link.
    virtual void ResumeDigitizing() = 0;
    void FollowingStarted(TLine& Line) override;
    void FollowingFailed(TLine& Line) override;
    void FollowingFinished(TLine& Line) override;
    void PointsAdded(TDigitization& Digitization) override;
    void PointsChanged(TDigitization&) override {}
    bool ConfirmClose() override;

    // The Assist guide, after the follower lost the line.
    void FillAssistGuide();

    TLine* Line = nullptr;
    TLineDataPanel* LineDataPanel = nullptr;
    QStatusBar* StatusBar = nullptr;
    QSlider* SpeedBar() const { return FSpeedBar; }

protected:
    void ReadArguments() override;
    // Starts an automatic run from an image pixel.
    void StartAutomatic(TLongintPoint Pixel);
    // Runs the resume command of the line's kind (the run that follows is a resumed one).
    void RunResume(std::unique_ptr<TApplicationCommand> Command);
    // Whether ink of the line's tracking colour lies ahead of its last point: a lost run can
    // be helped on; without, the line has simply ended.
    bool LineGoesOn() const;
    // The direction the line travels at its end, in image pixels.
    virtual TDoublePoint TravelDirection() const { return {1, 0}; }
    // How far ahead of the last point the line's own ink may still reach.
    virtual double EndClearance() const { return 0.5; }
    void ManualPoint(TLongintPoint Device);
    void FillLineGuide(const char* Title, bool WithDirection);

private:
    void RunEnded();
    void SetDelay(std::int32_t Delay);
    void RemoveSpeedControl();

    TCommandStates FFollowStates{};
    // The current or last run was started by Resume, not by a click.
    bool FResumed = false;
    QWidget* FSpeedControl = nullptr;
    QLabel* FSpeedLabel = nullptr;
    QSlider* FSpeedBar = nullptr;
};

class TFunctionalLineMode : public TLineMode {
public:
    static const TModeClass& Class();
    TFunctionalLineMode();
    void Start(const TArgumentList& Arguments) override;
    void FillGuide() override;
    void MouseDown(TLongintPoint Device, TDoublePoint Actual, int Button, unsigned Shift) override;
    void ResumeDigitizing() override;
    // Erases the line from its first point at or after X to the end, as one command.
    void EraseBackTo(double X);

protected:
    void ReadArguments() override;
};

class TNonfunctionalLineMode : public TLineMode {
public:
    static const TModeClass& Class();
    TNonfunctionalLineMode();
    void Start(const TArgumentList& Arguments) override;
    void FillGuide() override;
    void MouseDown(TLongintPoint Device, TDoublePoint Actual, int Button, unsigned Shift) override;
    void MouseUp(TLongintPoint Device, TDoublePoint Actual, int Button, unsigned Shift) override;
    void ResumeDigitizing() override;
    TDoublePoint TravelDirection() const override;
    double EndClearance() const override { return 3.0; }

    bool Pressed = false;
    TLongintPoint PressPoint;

protected:
    void ReadArguments() override;
};

// A scatter open for digitizing: a click adds a point, a click on a point removes it.
// Arguments: [0] the image panel, [1] the scatter, [2] the scatter data view, [3] the hint
// status bar (not used).
class TScatterMode : public TDigitizingMode, public IScatterListener {
public:
    static const TModeClass& Class();
    TScatterMode();

    void Start(const TArgumentList& Arguments) override;
    void FillGuide() override;
    TCommandClass PropertiesCommandClass() const override;
    TCommandClass ExportCommandClass() const override;
    void UpdateDigitizationCommands() override;
    void UpdateSelectionCommands() override;
    void MouseDown(TLongintPoint Device, TDoublePoint Actual, int Button, unsigned Shift) override;
    void ScatterSorted(TScatter&) override {}
    // The four sort actions.
    void Sort(const TCommandClass& Class);

    TScatter* Scatter = nullptr;
    TScatterDataPanel* ScatterDataPanel = nullptr;

protected:
    void ReadArguments() override;
};

// The modifiers that matter to the modes: Shift, Ctrl and Alt.
constexpr unsigned ShiftMask = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;
inline bool ExactlyShift(unsigned Shift) {
    return (Shift & ShiftMask) == Qt::ShiftModifier;
}

} // namespace korvane
