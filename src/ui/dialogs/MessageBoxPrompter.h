#pragma once

#include "core/Prompter.h"

#include <QPointer>
#include <QWidget>

namespace korvane {

// Asks the user with a modal message box: the kind chooses the icon and the caption
// ("Information", "Warning", "Error", "Confirm"), the buttons appear in the order Yes, No,
// OK, Cancel, the first of them is the default, and Escape or closing the box answers Cancel
// when offered, else No, else OK.
class TMessageBoxPrompter : public IPrompter {
public:
    // The boxes are modal over Parent's window when one is given.
    explicit TMessageBoxPrompter(QWidget* Parent = nullptr) : FParent(Parent) {}

    EMessageAnswer Ask(EMessageKind Kind, const std::string& Text, unsigned Buttons) override;

private:
    QPointer<QWidget> FParent;
};

} // namespace korvane
