#pragma once

#include "core/Formats.h"
#include "ui/common/SizeGripDialog.h"

#include <vector>

class QComboBox;
class QFrame;
class QLabel;
class QPushButton;

namespace korvane {

class TBinaryOperationInstance;
class TDigitization;
class TFunctionalLine;

// "Calculations": a new functional line from two functional lines and an operation. Only
// lines with more than one point are offered first, and only lines that share an X range with
// the first one second; OK is enabled exactly when the choice gives a result.
class TfrmCalculationDialog : public TSizeGripDialog {
public:
    explicit TfrmCalculationDialog(QWidget* Parent = nullptr);

    QLabel* lblInstructions;
    QWidget* pnlBoxes;
    QComboBox* cboDigitization1;
    QComboBox* cboOperation;
    QComboBox* cboDigitization2;
    QFrame* bvlInfo;
    QLabel* lblInfo;
    QPushButton* btnOK;
    QPushButton* btnCancel;
    QPushButton* btnHelp;

    // Keeps the functional lines of List (not owned) and fills both line boxes.
    void SetDigitizations(const std::vector<TDigitization*>& List);
    void SetOperations(const std::vector<const TBinaryOperationInstance*>& Instances);
    // How the information shows X values (the image's formats).
    void SetFormats(const TCoordFormatPair& Formats);
    // Selects Line in the first box (nothing when it is not offered there).
    void SelectFirst(const TFunctionalLine* Line);

    TFunctionalLine* FirstLine() const;
    TFunctionalLine* SecondLine() const;
    const TBinaryOperationInstance* SelectedOperation() const;

private:
    void FillFirst();
    void FillSecond();
    void UpdateInfo();
    // The boxes' places for the row's width: the line boxes a third each, the operation
    // between them.
    void PlaceBoxes();

    std::vector<TFunctionalLine*> FCandidateLines;
    std::vector<const TBinaryOperationInstance*> FOperations;
    TCoordFormatPair FFormats;
};

} // namespace korvane
