#pragma once

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

} // namespace korvane
