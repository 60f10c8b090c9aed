#pragma once

#include <QString>
#include <Qt>
#include <functional>

class QPushButton;
class QWidget;

namespace korvane {

// ---- Context help ----

// The short help text of a help context number, or nullptr for a number without one.
const char* HelpText(int Context);

// Gives Control the help context number and, when the number has a text, makes that text the
// control's What's This text, which the caption bar's help button shows.
void SetHelpContext(QWidget& Control, int Context);
// The number given by SetHelpContext; 0 for a control without one.
int HelpContextOf(const QWidget& Control);

// ---- The manual ----

class TManual;

// The manual the help shows: the one built into the program unless another was set (nullptr
// returns to the built-in one).
const TManual& HelpManual();
void SetHelpManual(const TManual* Manual);
// True when there is a manual to show.
bool HelpAvailable();
// The manual's page for a help context number; empty when it has none.
QString HelpTopicOf(int Context);
// Opens the help window at the page of Context (the first page for a number without one).
void ShowHelpTopic(int Context);
// Opens the help window at its index.
void ShowHelpIndex();

// Shows a help topic instead of the help window (for tests): the page and the number. An
// empty function returns to the help window.
using THelpViewer = std::function<void(const QString& Page, int Context)>;
void SetHelpViewer(THelpViewer Viewer);

// ---- Shared by the dialogs ----

// The frame of a dialog with a help button in its caption bar and no maximise button.
inline constexpr Qt::WindowFlags HelpDialogFlags =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
    Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint;

// A dialog's "&Help" button: it opens the topic Context. Without a help file it is disabled,
// since it could do nothing.
void ConnectHelpButton(QPushButton& Button, int Context);
// The same with the topic chosen when the button is clicked.
void ConnectHelpButton(QPushButton& Button, std::function<int()> Context);

// Moves the top-level Form to the centre of the available area of its screen (its parent's
// screen, else the primary one), keeping its size.
void CenterOnScreen(QWidget& Form);

} // namespace korvane
