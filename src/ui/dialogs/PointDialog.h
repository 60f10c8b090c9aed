#pragma once

#include <QDialog>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

namespace korvane {

// A dialog with two text fields, one for each axis (the units of an image). Its caption is
// set by its user. It opens centred on the screen and can be widened but not heightened.
class TfrmPointDialog : public QDialog {
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

protected:
    void showEvent(QShowEvent* Event) override;
    void paintEvent(QPaintEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;

private:
    // While the size grip is dragged by hand: the global x of the press and the width then.
    bool FSizing = false;
    int FSizingStartX = 0;
    int FSizingStartWidth = 0;
};

} // namespace korvane
