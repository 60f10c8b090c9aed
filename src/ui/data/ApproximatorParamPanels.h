#pragma once

#include "core/Formats.h"
#include "output/ApproximatorParams.h"

#include <QSize>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;

namespace korvane {

// Shows and edits the parameter set of a line's approximator below the approximator choice
// of the line data view. The panel fills the width of its parent and sizes its own height to
// its controls; values typed into its edits reach the set only when "A&pply" is pressed, and
// the set's setters clamp them.
//
// Panels are made with CreateParamPanel (or a class's Create), which builds the controls and
// then the Apply button. The panel listens to its set from SetParamSet until it is destroyed.
class TApproximatorParamPanel : public QWidget, public IApproximatorListener {
public:
    ~TApproximatorParamPanel() override;
    TApproximatorParamPanel(const TApproximatorParamPanel&) = delete;
    TApproximatorParamPanel& operator=(const TApproximatorParamPanel&) = delete;

    TApproximatorParamSet* ParamSet() const { return FParamSet; }
    const TCoordFormatPair& DisplayFormats() const { return FDisplayFormats; }
    QPushButton* ApplyButton() const { return FApplyButton; }
    bool Applying() const { return FApplying; }

    // Called after every change of the panel's size (the line data view sizes the panel's
    // parent with it).
    std::function<void(TApproximatorParamPanel&)> OnResize;
    // Called after Apply changed the set: the values typed became the data set's (the line
    // data view marks the work changed).
    std::function<void()> OnEdited;

    // Copies Pair into DisplayFormats, then UpdateDisplay.
    virtual void SetFormats(const TCoordFormatPair& Pair);
    // Shows the set's values in the controls.
    virtual void UpdateDisplay() {}
    // Places the controls for the current width.
    virtual void ArrangeControls() {}
    // Height = bottom of the last child control + 4.
    virtual void FitHeight();
    // The "A&pply" button (48 x 21, right edge 4 pixels inside the panel, top at the bottom of
    // the last control), only when HasEditableFields.
    virtual void CreateApplyButton();
    virtual void ApplyClick() { Apply(); }
    virtual bool HasEditableFields() const { return false; }
    // Reads the edits into the set.
    virtual void ReadFields() {}
    // Which range ends the user controls; the line data view resets the others to the data's
    // first or last value on every rebuild.
    virtual bool StartEditable() const { return false; }
    virtual bool EndEditable() const { return false; }
    // Leaves the old set's listeners, joins Set's and shows its values. Set may be null.
    virtual void SetParamSet(TApproximatorParamSet* Set);
    // Refreshes the display unless the panel itself is applying values.
    void ApproximatorParamsChanged(TApproximatorParamSet& Set) override;

    // ReadFields while Applying, then UpdateDisplay. When ReadFields throws, Applying is reset
    // and the display refreshed before the error goes on.
    void Apply();

protected:
    explicit TApproximatorParamPanel(QWidget* Parent);

    // Builds the Apply button after the constructors of every class have run.
    template <class T> static std::unique_ptr<T> Finish(std::unique_ptr<T> Panel) {
        Panel->CreateApplyButton();
        static_cast<TApproximatorParamPanel&>(*Panel).FollowParent();
        return Panel;
    }

    // A label sized to its text, at least MinWidth x MinHeight.
    QLabel* NewLabel(const QString& Caption, int Left, int Top, int MinWidth = 0,
                     int MinHeight = 0);
    // An edit for a number 4 pixels right of Label and 3 above its top, reaching to 4 pixels
    // inside the panel's right edge.
    QLineEdit* NewNumberEdit(const QLabel& Label);
    // The edit keeps reaching to 4 pixels inside the right edge.
    void StretchToRight(QWidget& Control) const;
    // Runs ArrangeControls and FitHeight, then tells OnResize when the size changed.
    void Realign();
    // Makes Control the last control of the panel.
    void AddControl(QWidget& Control) { FLastControl = &Control; }
    // The control made last (a new row goes below it); null before the first.
    QWidget* LastControl() const { return FLastControl; }
    QString FormatX(double Value) const;
    QString FormatY(double Value) const;

    bool event(QEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;

private:
    void FollowParent();
    void ReportSize();
    void ApplyAnchors();

    TApproximatorParamSet* FParamSet = nullptr;
    TCoordFormatPair FDisplayFormats;
    QPushButton* FApplyButton = nullptr;
    bool FApplying = false;
    // The set told of a change while Apply read the fields.
    bool FChangedByApply = false;
    bool FRealigning = false;
    QSize FReportedSize;
    // The controls in the order they were made (the last one decides the height), and the
    // edits that reach to the right edge.
    QWidget* FLastControl = nullptr;
    std::vector<QWidget*> FStretched;
    QObject* FKeyFilter = nullptr;
};

// Panels that describe the data range in a word-wrapped label.
class TRangeLabelParamPanel : public TApproximatorParamPanel {
public:
    QLabel* RangeLabel() const { return FRangeLabel; }

    // The label's width = panel width - 2 x its left offset; its height fits the wrapped text.
    void ArrangeControls() override;

protected:
    explicit TRangeLabelParamPanel(QWidget* Parent);

private:
    QLabel* FRangeLabel;
};

// The actual digitized points of a functional line: "Data range from X = ... to X = ...".
class TFunctionalRawDataParamPanel : public TRangeLabelParamPanel {
public:
    static std::unique_ptr<TFunctionalRawDataParamPanel> Create(QWidget* Parent = nullptr);

    void UpdateDisplay() override;

protected:
    using TRangeLabelParamPanel::TRangeLabelParamPanel;
};

// A range in arc length, described by the first and last digitized points:
// "Data range from (x, y) to (x, y).".
class TParametricParamPanel : public TRangeLabelParamPanel {
public:
    static std::unique_ptr<TParametricParamPanel> Create(QWidget* Parent = nullptr);

    void UpdateDisplay() override;

protected:
    using TRangeLabelParamPanel::TRangeLabelParamPanel;
};

class TNonfunctionalRawDataParamPanel : public TParametricParamPanel {
public:
    static std::unique_ptr<TNonfunctionalRawDataParamPanel> Create(QWidget* Parent = nullptr);

protected:
    using TParametricParamPanel::TParametricParamPanel;
};

// A panel of TBasePanel's kind with a row for the increment of a spline set (TSet) below
// the base panel's controls.
template <class TBasePanel, class TSet> class TIncrementParamPanel : public TBasePanel {
public:
    QLabel* IncrementLabel() const { return FIncrementLabel; }
    QLineEdit* IncrementEdit() const { return FIncrementEdit; }

    void UpdateDisplay() override;
    void ArrangeControls() override;
    virtual void ReadIncrement();

protected:
    // The row's caption, sized at least MinWidth x MinHeight, stands Gap pixels below the
    // base panel's last control.
    TIncrementParamPanel(QWidget* Parent, const QString& Caption, int Gap, int MinWidth = 0,
                         int MinHeight = 0);

private:
    QLabel* FIncrementLabel;
    QLineEdit* FIncrementEdit;
    // The control the row stays below, and how far.
    QWidget* FAbove;
    int FGap;
};

extern template class TIncrementParamPanel<TParametricParamPanel, TParametricCubicSplineParamSet>;

// The parametric cubic spline: the range label and the increment.
class TParametricCubicSplineParamPanel
    : public TIncrementParamPanel<TParametricParamPanel, TParametricCubicSplineParamSet> {
public:
    static std::unique_ptr<TParametricCubicSplineParamPanel> Create(QWidget* Parent = nullptr);

    bool HasEditableFields() const override { return true; }
    void ReadFields() override { ReadIncrement(); }

protected:
    explicit TParametricCubicSplineParamPanel(QWidget* Parent);
};

// A range in X whose start the user chooses: "Select points from X = ".
class TNonParametricParamPanel : public TApproximatorParamPanel {
public:
    static std::unique_ptr<TNonParametricParamPanel> Create(QWidget* Parent = nullptr);

    QLabel* StartLabel() const { return FStartLabel; }
    QLineEdit* StartEdit() const { return FStartEdit; }

    void UpdateDisplay() override;
    bool HasEditableFields() const override { return true; }
    void ReadFields() override { ReadStart(); }
    bool StartEditable() const override { return true; }
    virtual void ReadStart();

protected:
    explicit TNonParametricParamPanel(QWidget* Parent);

private:
    QLabel* FStartLabel;
    QLineEdit* FStartEdit;
};

extern template class TIncrementParamPanel<TNonParametricParamPanel, TCubicSplineParamSet>;

// The cubic spline: the start X and the increment.
class TCubicSplineParamPanel
    : public TIncrementParamPanel<TNonParametricParamPanel, TCubicSplineParamSet> {
public:
    static std::unique_ptr<TCubicSplineParamPanel> Create(QWidget* Parent = nullptr);

    void ReadFields() override;

protected:
    explicit TCubicSplineParamPanel(QWidget* Parent);
};

// The panel for a parameter set's ParamPanelClass; none for EParamPanelClass::None.
std::unique_ptr<TApproximatorParamPanel> CreateParamPanel(EParamPanelClass Class,
                                                          QWidget* Parent = nullptr);

} // namespace korvane
