#pragma once

#include "core/Colors.h"
#include "ui/common/SizeGripDialog.h"

#include <memory>
#include <string>

class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QPainter;
class QPushButton;

namespace korvane {

class TColorComboBox;
class TPointMarker;
class TUpDownEdit;

// A data set's name as the user may give it: without blanks at either end, and not empty.
// Answers false (and leaves Name alone) for a name of blanks only.
bool TidyDigitizationName(std::string& Name);

// The name field and colour box the two property dialogs share; OK is enabled only while the
// name holds more than blanks.
class TPropertiesDialog : public TSizeGripDialog {
public:
    QLineEdit* txtName;
    QPushButton* btnOK;
    QPushButton* btnCancel;
    QPushButton* btnHelp;

    void SetName(const std::string& Name);
    // Without the blanks at either end.
    std::string GetName() const;

protected:
    TPropertiesDialog(QWidget* Parent, int HelpContext, int NameHelpContext);
    // The form's rows, "Name:" first; the buttons sit below them.
    QFormLayout* Fields;
};

// A scatter's name, colour and marker (style and radius).
class TfrmScatterProperties : public TPropertiesDialog {
public:
    explicit TfrmScatterProperties(QWidget* Parent = nullptr);

    TColorComboBox* cboColor;
    TUpDownEdit* updRadius;
    QComboBox* cboStyle;

    int GetColorIndex() const;
    void SetColorIndex(int Index);
    // The radius box takes the marker's limits and size; the style box its class (none when
    // the class is not offered).
    void SetMarker(const TPointMarker& Marker);
    // A new marker of the chosen style with the chosen radius; none when no style is chosen.
    std::unique_ptr<TPointMarker> GetMarker() const;
};

// A line's name, display colour and tracking colour. The tracking colour can be cleared
// ("Clear") or chosen by clicking the preview.
class TfrmLineProperties : public TPropertiesDialog {
public:
    explicit TfrmLineProperties(QWidget* Parent = nullptr);

    TColorComboBox* cboDisplayColor;
    QWidget* pbTrackingColor;
    QPushButton* btnClearTrackingColor;

    TColor TrackingColor = 0;
    bool TrackingColorSet = false;

    int GetColorIndex() const;
    void SetColorIndex(int Index);
    void SetTrackingColor(TColor Color);
    void ClearTrackingColor();
    // The colour tolerance of the image's follower settings: how far the preview's gradient
    // reaches on either side of the tracking colour.
    void SetColorTolerance(double Tolerance);
    double ColorTolerance() const { return FColorTolerance; }

    // The preview as drawn: the gradient light–dark–light, or a black hatch without a colour.
    void PaintTrackingColor(QPainter& Painter, int Width, int Height) const;

private:
    void TrackingColorChanged();
    double FColorTolerance = 0.1;
};

} // namespace korvane
