#pragma once

#include "ui/common/SizeGripDialog.h"

#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

namespace korvane {

// A dialog with two text fields, one for each axis (the units of an image). Its caption is
// set by its user. It opens centred on the screen and can be widened but not heightened.
class TfrmPointDialog : public TSizeGripDialog {
public:
    explicit TfrmPointDialog(QWidget* Parent = nullptr);

    QLabel* lblX;
    QLineEdit* txtX;
    QLabel* lblY;
    QLineEdit* txtY;
    QPushButton* btnOK;
    QPushButton* btnCancel;
    QPushButton* btnHelp;

    // The texts are UTF-8, as the image's units are kept.
    void SetXText(const std::string& Text);
    std::string GetXText() const;
    void SetYText(const std::string& Text);
    std::string GetYText() const;
};

} // namespace korvane
