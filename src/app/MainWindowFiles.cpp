#include "app/MainWindow.h"

#include "core/Prompter.h"
#include "document/RecentFiles.h"
#include "image/ImageFormats.h"
#include "image/PanelScale.h"
#include "image/PdfDocument.h"
#include "image/Scanner.h"
#include "interaction/ApplicationParameters.h"
#include "ui/common/Guarded.h"
#include "ui/common/HelpUtils.h"
#include "ui/common/SupportWidgets.h"
#include "ui/data/DigitizationDataViews.h"
#include "ui/dialogs/PdfPageDialog.h"
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

bool TfrmMain::ReadPdfPage(std::string& Name, TWorkingImage& Image) {
    // A page name (from the recent files) opens its page at once; a PDF asks which page.
    std::optional<std::pair<std::string, TPdfPageSpec>> Page;
    if (!FileExists(Name))
        Page = ParsePdfPageName(Name);
    const std::string File = Page ? Page->first : Name;
    std::optional<TPdfDocument> Document;
    QString Password;
    bool Retry = false;
    while (!Document) {
        try {
            TWaitCursor Wait;
            Document.emplace(TPdfDocument::Open(File, Password.toStdString()));
        } catch (const EPdfPassword& Error) {
            if (!FDialogs->AskPassword(QString::fromStdString(File), Retry, Password))
                return false;
            Retry = true;
        }
    }
    TPdfPageSpec Spec;
    if (Page) {
        Spec = Page->second;
    } else {
        TfrmPdfPage Dialog(*Document, this);
        if (!FDialogs->RunPdfPageDialog(Dialog))
            return false;
        Spec = Dialog.Spec();
    }
    std::optional<TWorkingImage> Rendered = RenderPdfPageWithProgress(this, *Document, Spec);
    if (!Rendered)
        return false;
    Image = std::move(*Rendered);
    Name = PdfPageName(File, Spec);
    return true;
}

void TfrmMain::OpenImage(const QString& FileName) {
    std::string Name = FileName.toStdString();
    // The new file is read first: one that cannot be read leaves the open image as it is.
    TWorkingImage Image;
    try {
        if (IsPdfFile(Name) || (!FileExists(Name) && ParsePdfPageName(Name))) {
            if (!ReadPdfPage(Name, Image))
                return;
        } else {
            TWaitCursor Wait;
            Image = LoadImageFile(Name);
        }
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
    const std::string Image = FApp->FileParameters().ImageFileName();
    QString Suggested;
    if (!Image.empty())
        Suggested = QFileInfo(QString::fromStdString(SourceFileOf(Image))).path() + "/" +
                    QString::fromStdString(BaseNameOf(Image)) + ".png";
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
    return DisplayNameOf(File) + " - " + Title;
}

} // namespace korvane
