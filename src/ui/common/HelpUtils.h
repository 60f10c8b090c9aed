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

// ---- The help file ----

// The help file "Korvane.chm" in the help folder, or empty when it does not exist.
QString HelpFilePath();
bool HelpAvailable();
// Opens the help file at the topic Context; nothing when there is no help file.
void ShowHelpTopic(int Context);

// Where the help file is looked for: the executable's folder unless another folder was set
// (an empty text returns to the executable's folder).
void SetHelpFolder(const QString& Folder);
// Shows a help topic; by default the desktop's handler opens the help file. An empty
// function returns to the default.
using THelpViewer = std::function<void(const QString& FileName, int Context)>;
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
