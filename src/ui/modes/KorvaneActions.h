#pragma once

#include "ui/common/Guarded.h"

#include <QAction>
#include <QString>
#include <cstdint>
#include <functional>

namespace korvane {

// A menu or toolbar action whose execute handler can be borrowed: a mode that represents an
// action saves OnExecute, installs its own and puts the old one back when it stops. Hints are
// "Short|Long": the tooltip shows the short part, the status bar the long one.
class TAction : public QAction {
public:
    TAction(const QString& Caption, const QString& Hint, QObject* Parent);

    void SetHint(const QString& Hint);
    const QString& Hint() const { return FHint; }

    // What choosing the action does. Triggering runs it guarded.
    std::function<void()> OnExecute;
    // Runs OnExecute as a menu choice would, when the action is enabled; errors propagate.
    void Execute();

private:
    QString FHint;
};

} // namespace korvane

namespace korvane {

// The key codes the modes receive: the letters and digits as their upper-case characters,
// Backspace 8, Tab 9, Return 13, Shift 16, Ctrl 17, Alt 18, Escape 27, Space 32, Page Up 33,
// Page Down 34, End 35, Home 36, Left 37, Up 38, Right 39, Down 40, Insert 45, Delete 46,
// F1..F12 112..123; 0 for keys without a code.
std::uint16_t VirtualKeyOf(int QtKey);

} // namespace korvane
