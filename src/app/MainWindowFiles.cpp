#include "app/MainWindow.h"

#include "core/Prompter.h"
#include "document/RecentFiles.h"
#include "image/ImageFormats.h"
#include "image/PanelScale.h"
#include "image/Scanner.h"
#include "interaction/ApplicationParameters.h"
#include "ui/common/Guarded.h"
#include "ui/common/HelpUtils.h"
#include "ui/common/SupportWidgets.h"
#include "ui/data/DigitizationDataViews.h"
#include "ui/modes/DigitizingModes.h"
#include "ui/modes/KorvaneActions.h"
#include "ui/modes/KorvaneCommands.h"
#include "ui/modes/PaintingMode.h"
#include "ui/panel/KorvanePanel.h"

#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QListWidget>
#include <QStatusBar>
#include <filesystem>

namespace korvane {

// The main window's image files: opening, closing, saving the working image and acquiring
// from a scanner.

void TfrmMain::OpenImage(const QString& FileName) {
    const std::string Name = FileName.toStdString();
    // The new file is read first: one that cannot be read leaves the open image as it is.
    TWorkingImage Image;
    try {
        TWaitCursor Wait;
        Image = LoadImageFile(Name);
    } catch (const std::exception& Error) {
        FApp->Prompter().Ask(EMessageKind::Error,
                             std::string("Error opening file: ") + Error.what(), mbOK);
        return;
    }
    if (FApp->FileIsOpen() && !CloseImage())
        return;
    try {
        ExecuteCommand(*FApp, std::make_unique<TOpenFileCommand>(), {&Name, pzImage, &Image});
    } catch (const std::exception& Error) {
        // A picture whose work could not be opened is not left on the screen.
        if (!FApp->FileIsOpen() && pzImage->HasImage())
            pzImage->ClearImage();
        FApp->Prompter().Ask(EMessageKind::Error,
                             std::string("Error opening file: ") + Error.what(), mbOK);
    }
}

bool TfrmMain::CloseImage() {
    try {
        ExecuteCommand(*FApp, std::make_unique<TCloseFileCommand>(), {pzImage});
    } catch (const std::exception& Error) {
        ShowException(Error);
    }
    return !FApp->FileIsOpen();
}

void TfrmMain::SaveImageAs() {
    if (!pzImage->HasImage())
        return;
    QString Suggested = QString::fromStdString(FApp->FileParameters().ImageFileName());
    if (!Suggested.isEmpty())
        Suggested =
            QFileInfo(Suggested).path() + "/" + QFileInfo(Suggested).completeBaseName() + ".png";
    const QString Name =
        QFileDialog::getSaveFileName(this, "Save Image As", Suggested,
                                     "PNG image (*.png);;BMP image (*.bmp);;PPM image (*.ppm)");
    if (Name.isEmpty())
        return;
    SaveImageFile(pzImage->Image(), Name.toStdString());
}

void TfrmMain::Acquire(int Source) {
    if (FApp->FileIsOpen() && !CloseImage())
        return;
    ExecuteCommand(*FApp, std::make_unique<TAcquireCommand>(),
                   {static_cast<std::int32_t>(Source), pzImage});
}

void TfrmMain::StartPainting(int Mode) {
    FApp->ModeManager().StartMode(
        TPaintingMode::Class(),
        {pzImage, actEditPaint, static_cast<std::int32_t>(Mode), statusBar()});
}

void TfrmMain::PasteImage() {
    const QImage Image = QGuiApplication::clipboard()->image();
    if (Image.isNull()) {
        FApp->Prompter().Ask(EMessageKind::Information,
                             "The clipboard holds no image. Copy a picture or take a screenshot "
                             "to the clipboard first.",
                             mbOK);
        return;
    }
    if (FApp->FileIsOpen() && !CloseImage())
        return;
    ExecuteCommand(*FApp, std::make_unique<TPasteImageCommand>(), {&Image, pzImage});
}

// The window follows the work on an image opening and closing.
void TfrmMain::FileOpened() {
    setWindowTitle(QString::fromStdString(
        MainWindowCaption(FApp->Title, FApp->FileParameters().ImageFileName())));
    if (FApp->Count() > 0) {
        lbDigs->setCurrentRow(0);
        ActivateDigitization(0);
    }
    UpdateUndoRedoCaptions();
    RefreshIdleGuide();
    CommandStatesChanged(FApp->CommandManager());
}

void TfrmMain::FileClosed() {
    setWindowTitle(QString::fromStdString(MainWindowCaption(FApp->Title, {})));
    SetDigitizationListEnabled(false);
    UpdateUndoRedoCaptions();
    RefreshIdleGuide();
    CommandStatesChanged(FApp->CommandManager());
}

std::string MainWindowCaption(const std::string& Title, const std::string& File) {
    if (File.empty())
        return Title;
    return std::filesystem::path(File).filename().string() + " - " + Title;
}

} // namespace korvane
