#pragma once

#include <functional>

class QDialog;
class QHBoxLayout;
class QPushButton;

namespace korvane {

// The OK, Cancel and Help buttons a modal dialog of the program ends with: a row aligned to
// the right, each button 75 x 25. OK is the default button, Cancel rejects the dialog and Help
// opens the dialog's help topic; what OK does is the dialog's own to connect. Make them where
// they belong in the tab order.
struct TDialogButtons {
    TDialogButtons(QDialog& Dialog, int HelpContext);
    // Help opens the topic that HelpContext answers when it is clicked (a dialog with pages
    // opens the active page's topic).
    TDialogButtons(QDialog& Dialog, std::function<int()> HelpContext);

    QPushButton* const OK;
    QPushButton* const Cancel;
    QPushButton* const Help;
    // For the dialog's layout to take.
    QHBoxLayout* const Row;
};

} // namespace korvane
