#include "app/MainWindow.h"

#include "core/AtomicFile.h"
#include "core/Prompter.h"
#include "document/Parameters.h"
#include "document/ProgramSettings.h"
#include "document/RecentFiles.h"
#include "interaction/ApplicationParameters.h"
#include "ui/common/HelpUtils.h"
#include "ui/common/SupportWidgets.h"
#include "ui/data/DigitizationDataViews.h"
#include "ui/dialogs/KorvaneDialogs.h"
#include "ui/help/HelpWindow.h"
#include "ui/modes/DigitizingCommands.h"
#include "ui/modes/DigitizingModes.h"
#include "ui/modes/ExportCommands.h"
#include "ui/modes/GuideControls.h"
#include "ui/modes/KorvaneActions.h"
#include "ui/modes/KorvaneCommands.h"
#include "ui/modes/KorvaneModes.h"
#include "ui/panel/FollowingView.h"
#include "ui/panel/KorvanePanel.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMenu>
#include <QSplitter>

namespace korvane {

// The main window's lifetime: start-up and shut-down in order, the window's layout and the
// panels it can show or float.

TfrmMain::TfrmMain(const std::string& Folder, IPrompter& Prompter, IKorvaneDialogs* Dialogs,
                   QWidget* Parent)
    : QMainWindow(Parent), FOwnDialogs(Dialogs ? nullptr : NewQtDialogs()),
      FDialogs(Dialogs ? Dialogs : FOwnDialogs.get()) {
    setWindowTitle("Korvane 5");
    setObjectName("frmMain");
    SetHelpContext(*this, MainHelpContext);

    FGuide = std::make_unique<TGuideContentContainer>();
    FApp = std::make_unique<TKorvaneApplication>(Folder, Prompter);
    FApp->OnExit = [this] { close(); };
    FEndPoster = std::make_unique<TQtModeEndPoster>(this);
    FApp->ModeManager().SetEndPoster(FEndPoster.get());

    CreateActions();
    CreateControls();
    CreateMenus();

    FLineDataPanel = std::make_unique<TLineDataPanel>(pnlDataProperties, lblDataStatus, dgDigData,
                                                      cboCurveApproximator, pnlLineDataProperties,
                                                      pnlParamPanelParent);
    FScatterDataPanel =
        std::make_unique<TScatterDataPanel>(pnlDataProperties, lblDataStatus, dgDigData);
    FLineDataPanel->SetApplication(FApp.get());
    FScatterDataPanel->SetApplication(FApp.get());
    FLineDataPanel->SetActive(false);
    FScatterDataPanel->SetActive(false);

    FGuide->SetHost(pnlGuideContent);
    FGuide->OnContentHeight = [this](int Height) { pnlGuideContent->setMinimumHeight(Height); };
    FGuide->SetReceiver(this);

    FApp->AddListener(this);
    FApp->History().AddListener(this);
    FApp->CommandManager().AddListener(this);
    FApp->ModeManager().AddListener(this);
    FApp->FileParameters().AddListener(this);
    FApp->ModeManager().SetGuideContainer(FGuide.get());
    FApp->ModeManager().SetModeSetup([this](TApplicationMode& Mode) {
        if (auto* User = dynamic_cast<TDialogsUser*>(&Mode))
            User->SetDialogs(*FDialogs);
    });
    // The image panel's buttons go to the mode that is current at each press and release.
    pzImage->View().MouseHandler = [this] {
        return dynamic_cast<IPanelMouseHandler*>(FApp->ModeManager().CurrentMode());
    };

    UpdateUndoRedoCaptions();
    SetDigitizationListEnabled(false);

    TCommandManager& Commands = FApp->CommandManager();
    Commands.DisableCommands(TCommandKinds::All());
    Commands.EnableCommands(CommandsRequiring(rqFile) - TCommandKinds{ckCloseFile});

    stbCoords->clear();
    lblDataStatus->clear();

    // Saves that a crash or a power cut interrupted may have left temporary files beside the
    // settings and the images' parameter files; the files themselves are whole.
    RemoveStaleTemporaryFiles(FApp->ApplicationParameters().Folder());
    RemoveStaleTemporaryFiles(FApp->ApplicationParameters().Folder() + "/" +
                              ImageParameterFolderName);

    std::string LoadError;
    try {
        FApp->LoadApplicationParameters(FApp->ApplicationParameters().FileName());
    } catch (const std::exception& Error) {
        LoadError = Error.what();
    }
    if (!LoadError.empty())
        FApp->Prompter().Ask(EMessageKind::Error, LoadError, mbOK);
    try {
        FApp->EnhancementSettings().Load(FApp->ApplicationParameters().Folder());
    } catch (const std::exception& Error) {
        FApp->Prompter().Ask(EMessageKind::Error, Error.what(), mbOK);
    }
    actDigitizeEnhancedFollowing->setChecked(
        FApp->EnhancementSettings().Enhancements.EnhancedFollowing());

    {
        TProgramSettings Settings;
        try {
            Settings.Load(FApp->ApplicationParameters().Folder());
        } catch (const std::exception&) {
            // Damage is reported where the file's other settings are used; defaults here.
        }
        actDataCopyFullPrecision->setChecked(Settings.CopyFullPrecision);
        if (Settings.HasDefaultFormats) {
            FApp->FileParameters().DefaultFormats.Assign(Settings.DefaultFormats);
            FApp->FileParameters().ResetUnitsAndFormats();
        }
    }
    ApplyWindowLayout();
    FApp->ApplicationParameters().RecentFiles().OnChange = [this](TRecentFilesList&) {
        UpdateRecentFilesMenu();
    };
    UpdateRecentFilesMenu();
    // Asking SANE for its devices can take seconds (network backends): the Import menus are
    // built the first time they open.
    connect(mnuImport, &QMenu::aboutToShow, this, [this] { BuildImportMenu(); });
    ShowGuidePanel(FApp->ApplicationParameters().ShowGuide);
    RefreshIdleGuide();
    UpdateDigitizationsMenu();
    stbCoords->clear();
    CommandStatesChanged(Commands);

    QApplication::instance()->installEventFilter(this);
}

TfrmMain::~TfrmMain() {
    QApplication::instance()->removeEventFilter(this);
    THelpWindow::SetShortcutsTable(nullptr);
    // Modes refer to the panel and the actions: end them while both exist.
    while (FApp->ModeManager().CurrentMode())
        FApp->ModeManager().EndMode();
    pzImage->View().MouseHandler = nullptr;
    FApp->ApplicationParameters().RecentFiles().OnChange = nullptr;
    FApp->ModeManager().SetGuideContainer(nullptr);
    for (std::int32_t I = 0; I < FApp->Count(); ++I) {
        FApp->Digitization(I).RemoveListener(&pzImage->FollowingView());
        FApp->Digitization(I).RemoveListener(this);
    }
    FApp->FileParameters().RemoveListener(this);
    FApp->ModeManager().RemoveListener(this);
    FApp->CommandManager().RemoveListener(this);
    FApp->History().RemoveListener(this);
    FApp->RemoveListener(this);
    FLineDataPanel.reset();
    FScatterDataPanel.reset();
    pzImage->View().RemoveListener(this);
    pzImage->Scale().OnScaleDefined = nullptr;
    pzImage->Scale().OnScaleUndefined = nullptr;
    // The data sets may hold the panel; the application object goes before the panel.
    FApp.reset();
    FGuide.reset();
}

void TfrmMain::closeEvent(QCloseEvent* Event) {
    if (FApp->FileIsOpen() && !CloseImage()) {
        Event->ignore();
        return;
    }
    if (pnlData->isFloating())
        SetSeparateWindow(false);
    StoreWindowLayout();
    try {
        FApp->SaveApplicationParameters();
    } catch (const std::exception& Error) {
        FApp->Prompter().Ask(EMessageKind::Error, Error.what(), mbOK);
    }
    Event->accept();
}

void TfrmMain::ApplyWindowLayout() {
    const TApplicationParameters& Params = FApp->ApplicationParameters();
    const TBoundsRect& B = Params.MainWindowBounds;
    // On a screen and within it, or centred where the stored place is off every screen.
    if (B.Right > B.Left && B.Bottom > B.Top)
        ApplyDialogBounds(*this, B);
    resizeDocks({pnlData}, {std::max(Params.DataPanelWidth, 40)}, Qt::Horizontal);
    const int ListHeight = std::max(Params.DigitizationListHeight, 16);
    splData->setSizes({ListHeight, std::max(splData->height() - ListHeight, 100)});
}

void TfrmMain::StoreWindowLayout() {
    TApplicationParameters& Params = FApp->ApplicationParameters();
    const QRect R = isMaximized() || isFullScreen() ? normalGeometry() : geometry();
    if (R.isValid())
        Params.MainWindowBounds = {R.left(), R.top(), R.left() + R.width(), R.top() + R.height()};
    Params.DataPanelWidth = pnlData->width();
    const QList<int> Sizes = splData->sizes();
    if (!Sizes.isEmpty())
        Params.DigitizationListHeight = std::max(Sizes.front(), 16);
}

void TfrmMain::ShowGuidePanel(bool Show) {
    FApp->ApplicationParameters().ShowGuide = Show;
    pnlGuide->setVisible(Show);
    actViewShowGuide->setVisible(!Show);
    actViewCloseGuide->setVisible(Show);
}

void TfrmMain::SetSeparateWindow(bool Floating) {
    if (Floating == pnlData->isFloating())
        return;
    if (Floating) {
        const QRect Docked(pnlData->mapToGlobal(QPoint(0, 0)), pnlData->size());
        pnlData->setFloating(true);
        pnlData->setGeometry(Docked.translated(20, 20));
    } else {
        pnlData->setFloating(false);
        resizeDocks({pnlData}, {FApp->ApplicationParameters().DataPanelWidth}, Qt::Horizontal);
    }
    actViewSeparateWindow->setChecked(pnlData->isFloating());
}

} // namespace korvane
