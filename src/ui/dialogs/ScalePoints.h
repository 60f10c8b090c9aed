#pragma once

#include <QChar>
#include <QDialog>
#include <QPoint>
#include <QString>
#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace korvane {

class IPrompter;
class TNumericKeyFilter;

// The dialog that asks for the real coordinates of a scale point. Both edits accept only the
// keys of a number; the logarithmic check boxes are hidden unless ShowLogarithmic(true).
class TfrmScalePoints : public QDialog {
public:
    // Errors found on OK are reported to the user through Prompter.
    explicit TfrmScalePoints(IPrompter& Prompter, QWidget* Parent = nullptr);
    // Errors found on OK are reported in message boxes.
    explicit TfrmScalePoints(QWidget* Parent = nullptr);
    ~TfrmScalePoints() override;

    QLabel* lblX;
    QLineEdit* txtX;
    QCheckBox* chkXLog;
    QLabel* lblY;
    QLineEdit* txtY;
    QCheckBox* chkYLog;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;
    QPushButton* btnHelp;

    // The edits' texts as numbers (the locale's decimal separator); EConvertError when a
    // text is not a number.
    double XValue() const;
    double YValue() const;
    void SetXValue(double Value);
    void SetYValue(double Value);

    void ShowLogarithmic(bool Show);
    bool XLogarithmic() const;
    bool YLogarithmic() const;

    // Places the dialog 10 pixels right of and below Screen (global coordinates), or, where
    // it would cross the right or bottom edge of the available area of the screen holding
    // Screen, 10 pixels left of or above it. The dialog keeps its size.
    void PositionNear(QPoint Screen);

private:
    void Build();
    void OkClick();

    std::unique_ptr<IPrompter> FOwnPrompter;
    IPrompter& FPrompter;
    std::unique_ptr<TNumericKeyFilter> FKeyFilter;
};

} // namespace korvane
