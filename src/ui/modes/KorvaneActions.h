#pragma once

#include <QAction>
#include <QString>
#include <cstdint>
#include <exception>
#include <functional>
#include <utility>

namespace korvane {

// Shows an error that no code caught to the user, in an error box, and lets the program go
// on. The main window installs the handler; without one the message goes to stderr.
void ShowException(const std::exception& Error);
void SetExceptionHandler(std::function<void(const std::exception&)> Handler);

// Runs Body; an exception is shown with ShowException instead of leaving the event handler
// (exceptions must never unwind through Qt's event loop).
template <class F> void Guarded(F&& Body) {
    try {
        std::forward<F>(Body)();
    } catch (const std::exception& Error) {
        ShowException(Error);
    }
}

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
