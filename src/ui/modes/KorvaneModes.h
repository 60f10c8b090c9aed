#pragma once

#include "image/PanZoomView.h"
#include "interaction/ApplicationModes.h"
#include "interaction/CommandManager.h"
#include "ui/dialogs/KorvaneDialogs.h"

#include <QKeySequence>
#include <QString>
#include <functional>
#include <memory>

namespace korvane {

class TAction;
class TDigitization;
class TLine;
class TGuideContentContainer;
class TKorvanePanel;
class TScaleSystem;

// The base of the program's modes. While it runs, a mode borrows the action that started it:
// the action's handler ends the mode, the action shows checked, answers to Escape and gets a
// caption that offers to cancel; everything is put back when the mode stops. The mode also
// keeps the command states of its start and writes its guide.
class TKorvaneMode : public TApplicationMode,
                     public IGuidedMode,
                     public IPanelMouseHandler,
                     public IApplicationClient,
                     public TDialogsUser {
public:
    static const TModeClass& Class();
    ~TKorvaneMode() override;

    // The action that represents the mode, or none; descendants set it in ReadArguments.
    TAction* Action = nullptr;
    TGuideContentContainer* GuideContainer = nullptr;

    void SetGuideContainer(TGuideContentContainer* Container) override {
        GuideContainer = Container;
    }
    // The borrowed action's handler: asks for the end of the mode.
    virtual void ActionExecute();
    // Writes the mode's guide into GuideContainer. Base: nothing.
    virtual void FillGuide() {}
    // Offered every click on a guide link first; a mode that handles it empties LinkText.
    virtual void GuideLinkClicked(TGuideContentContainer& Container, QString& LinkText);

    void Start(const TArgumentList& Arguments) override;
    void Stop() override;

    // The image panel's buttons while the mode is current. An error is shown to the user
    // instead of leaving the event handler.
    void PanelMouseDown(TLongintPoint Device, TDoublePoint Actual, int Button,
                        unsigned Shift) final;
    void PanelMouseUp(TLongintPoint Device, TDoublePoint Actual, int Button, unsigned Shift) final;
    // Base: nothing.
    virtual void MouseDown(TLongintPoint Device, TDoublePoint Actual, int Button, unsigned Shift);
    virtual void MouseUp(TLongintPoint Device, TDoublePoint Actual, int Button, unsigned Shift);

    void SetApplication(TKorvaneApplication& Application) override { FApplication = &Application; }

    const TCommandStates& SavedCommandStates() const { return FSavedCommandStates; }
    // While the action is borrowed: the caption and hint it gets back when the mode stops.
    // Answers false when the action is not borrowed.
    bool SetSavedCaption(const QString& Caption, const QString& Hint);

protected:
    // The application the mode works on; EAssertion "No application object" when none was
    // handed in.
    TKorvaneApplication& App() const;
    bool HasApplication() const { return FApplication != nullptr; }

private:
    TKorvaneApplication* FApplication = nullptr;
    QKeySequence FSavedShortCut;
    std::function<void()> FSavedOnExecute;
    QString FSavedCaption;
    QString FSavedHint;
    TCommandStates FSavedCommandStates{};
    bool FBorrowed = false;
};

// Defines the image's coordinate system: three clicks (first scale point, skew point,
// second scale point) and two small dialogs for the real values. Arguments: [0] the image
// panel, [1] the Define Coordinate System action.
class TDefiningScaleMode : public TKorvaneMode, public IPanelListener {
public:
    static const TModeClass& Class();
    TDefiningScaleMode();
    ~TDefiningScaleMode() override;

    void Start(const TArgumentList& Arguments) override;
    void Stop() override;
    void FillGuide() override;

    // What the next click means, from the panel's slots; sets the status text and the guide.
    void NextStep();
    void FirstPointClick(TLongintPoint P);
    void SkewPointClick(TLongintPoint P);
    void SecondPointClick(TLongintPoint P);

    TKorvanePanel* Panel = nullptr;
    // Whether a new coordinate system was committed.
    bool Defined() const { return FDefined; }

    // A click sets the point the current step asks for.
    void MouseDown(TLongintPoint Device, TDoublePoint Actual, int Button, unsigned Shift) override;

    // IPanelListener: nothing to draw beyond the panel's own scale-point markers.
    void PanelPainted(TPanZoomView&) override {}
    void PenStateChanged(TPanZoomView&) override {}
    void PenWidthChanged(TPanZoomView&) override {}

protected:
    void ReadArguments() override;

private:
    // What a click does in the current step; none once all three points are set.
    void (TDefiningScaleMode::*FClick)(TLongintPoint) = nullptr;
    std::unique_ptr<TScaleSystem> FSavedDefinedSystem;
    std::unique_ptr<TScaleSystem> FSavedCurrentSystem;
    bool FStarted = false;
    bool FDefined = false;
};

// Zooms to one area drawn with the proportional rubber band, then ends. Arguments: [0] the
// image panel, [1] the current data view or none (not used), [2] the Zoom To Area action.
class TZoomingMode : public TKorvaneMode {
public:
    static const TModeClass& Class();
    TZoomingMode();

    void Start(const TArgumentList& Arguments) override;
    void Stop() override;
    void FillGuide() override;

    TKorvanePanel* Panel = nullptr;

protected:
    void ReadArguments() override;
};

// Erasing the tail of a line: pressing on the line and dragging along it marks the points
// from the one under the pointer to the end (drawn dotted); releasing erases them as one step
// of the history. Escape during a drag cancels it, otherwise it ends the mode. Arguments: [0]
// the image panel, [1] the line, [2] the Erase action.
class TErasingMode : public TKorvaneMode {
public:
    static const TModeClass& Class();
    TErasingMode();

    void Start(const TArgumentList& Arguments) override;
    void Stop() override;
    void FillGuide() override;
    void KeyDown(QObject* Sender, std::uint16_t& Key, Qt::KeyboardModifiers Shift) override;
    void MouseDown(TLongintPoint Device, TDoublePoint Actual, int Button, unsigned Shift) override;
    void MouseUp(TLongintPoint Device, TDoublePoint Actual, int Button, unsigned Shift) override;
    void PanelMouseMove(TLongintPoint Device, unsigned Shift) override;

    TKorvanePanel* Panel = nullptr;
    TLine* Line = nullptr;
    bool Dragging() const { return FDragging; }

protected:
    void ReadArguments() override;

private:
    // Marks the line from the point near Device (within twice the zoom, at least 2 pixels).
    void MarkAt(TLongintPoint Device);
    void CancelDrag();

    bool FDragging = false;
};

// Selecting the output points of a data set by drawing a rectangle on the image: a plain
// drag makes a new selection, with Shift held it adds, with Ctrl held it takes away (the
// cursor shows which, and the cursor at release decides). Arguments: [0] the image panel,
// [1] the data set, [2] the Select By Area action.
class TSelectingMode : public TKorvaneMode {
public:
    static const TModeClass& Class();
    TSelectingMode();

    void Start(const TArgumentList& Arguments) override;
    void Stop() override;
    void FillGuide() override;
    void KeyDown(QObject* Sender, std::uint16_t& Key, Qt::KeyboardModifiers Shift) override;
    void KeyUp(QObject* Sender, std::uint16_t& Key, Qt::KeyboardModifiers Shift) override;

    TKorvanePanel* Panel = nullptr;
    TDigitization* Digitization = nullptr;

protected:
    void ReadArguments() override;

private:
    void ShowShiftCursor(Qt::KeyboardModifiers Shift);
    void SelectArea(const TQuadrilateral& Area);
};

// Panning the image is no mode of its own; this only tells when it is asked for.
class TPanningMode {
public:
    // Ctrl and Alt both held (other keys and buttons may be held too).
    static bool IsActivatedBy(Qt::KeyboardModifiers Shift);
};

} // namespace korvane
