#include "app/MainWindow.h"

#include "core/Prompter.h"
#include "document/RecentFiles.h"
#include "image/PanelScale.h"
#include "image/Scanner.h"
#include "interaction/ApplicationParameters.h"
#include "ui/common/Guarded.h"
#include "ui/common/HelpUtils.h"
#include "ui/data/DigitizationDataViews.h"
#include "ui/modes/DigitizingModes.h"
#include "ui/modes/KorvaneCommands.h"
#include "ui/panel/KorvanePanel.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QListWidget>

namespace korvane {

// The main window's image files: opening, closing, saving the working image and acquiring
// from a scanner.

TArgumentList TfrmMain::PanelAndWindow() {
    return {pzImage, static_cast<QWidget*>(this)};
}

void TfrmMain::OpenImage(const QString& FileName) {
    if (FApp->FileIsOpen() && !CloseImage())
        return;
    const std::string Name = FileName.toStdString();
    try {
        ExecuteCommand(FApp->History(), std::make_unique<TOpenFileCommand>(),
                       {&Name, pzImage, static_cast<QWidget*>(this)});
        if (FApp->Count() > 0) {
            lbDigs->setCurrentRow(0);
            ActivateDigitization(0);
        }
        UpdateUndoRedoCaptions();
        RefreshIdleGuide();
    } catch (const std::exception& Error) {
        // A picture whose work could not be opened is not left on the screen.
        if (!FApp->FileIsOpen() && pzImage->HasImage())
            pzImage->ClearImage();
        FApp->Prompter().Ask(EMessageKind::Error,
                             std::string("Error opening file: ") + Error.what(), mbOK);
    }
    CommandStatesChanged(FApp->CommandManager());
}

bool TfrmMain::CloseImage() {
    try {
        ExecuteCommand(FApp->History(), std::make_unique<TCloseFileCommand>(), PanelAndWindow());
    } catch (const std::exception& Error) {
        ShowException(Error);
    }
    if (!FApp->FileIsOpen()) {
        SetDigitizationListEnabled(false);
        UpdateUndoRedoCaptions();
    }
    RefreshIdleGuide();
    CommandStatesChanged(FApp->CommandManager());
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
    TWorkingImage Image;
    {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        try {
            Image = TScanner::Instance().Acquire(Source);
        } catch (...) {
            QGuiApplication::restoreOverrideCursor();
            throw;
        }
        QGuiApplication::restoreOverrideCursor();
    }
    pzImage->SetImage(std::move(Image.Image));
    pzImage->View().SetPaintBoxCursor(CursorBasic);
    TPanelScaleRecord Record(pzImage->Scale(), pzImage->View());
    FApp->NewFile(Record);
    UpdateUndoRedoCaptions();
    RefreshIdleGuide();
    CommandStatesChanged(FApp->CommandManager());
}

} // namespace korvane
