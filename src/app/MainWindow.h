#pragma once

#include "document/Digitizations.h"
#include "document/EnhancementSettings.h"
#include "document/Parameters.h"
#include "image/ImageModel.h"
#include "image/PanZoomView.h"
#include "interaction/ApplicationCommands.h"
#include "interaction/ApplicationModes.h"
#include "interaction/CommandManager.h"
#include "interaction/KorvaneApplication.h"

#include <QMainWindow>
#include <QString>
#include <map>
#include <memory>
#include <string>

class QComboBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QSplitter;
class QToolButton;

namespace korvane {

class IKorvaneDialogs;
class IPrompter;
class TAction;
class TGuideContentContainer;
class TKorvanePanel;
class TQtModeEndPoster;
class TUnclosableDockForm;
class TDigitizationGrid;
class TLineDataPanel;
class TScatterDataPanel;
class TDigitizationDataPanel;

// The program's one top-level window: the image panel, the guide, the coordinate read-out,
// the list of data sets and their data, and every menu, toolbar button and key turned into a
// command or a mode. It owns the application object and keeps its controls in step with it.
class TfrmMain : public QMainWindow,
                 public IApplicationListener,
                 public ICommandManagerListener,
                 public IModeManagerListener,
                 public IHistoryListener,
                 public IFileParametersListener,
                 public IPanelListener,
                 public ILineListener {
public:
    // The help topic of the window itself.
    static constexpr int MainHelpContext = 900;

    // Folder: where "Korvane5.app" and the folder "par" live. Messages go through Prompter;
    // the modes and commands ask through Dialogs (not owned), or the real dialogs when none.
    TfrmMain(const std::string& Folder, IPrompter& Prompter, IKorvaneDialogs* Dialogs = nullptr,
             QWidget* Parent = nullptr);
    ~TfrmMain() override;

    // Opens an image file as the user would: closes the open image first (with its
    // questions); errors are shown as "Error opening file: " and the message.
    // The keyboard shortcuts of the menus as a Markdown table (for the manual).
    QString ShortcutsTable() const;
    // Opens an image file, or a page of a PDF (asking which, unless FileName is a page name).
    void OpenImage(const QString& FileName);
    // Runs the close-image procedure; answers whether no image is open afterwards.
    bool CloseImage();
    // Scans a page from scanner Source and opens the work on it, closing the open image first.
    void Acquire(int Source);
    // Starts painting on the image in paint mode Mode (0 replacing, 1 erasing, 2 marking).
    void StartPainting(int Mode);
    // Opens the image on the clipboard, closing the open image first; says so when the
    // clipboard holds no image.
    void PasteImage();
    // Rebuilds the idle guide when no mode is current.
    void RefreshIdleGuide();
    // The text of the coordinate read-out.
    QString CoordinatesText() const;
    // The current data set, or none.
    TDigitization* CurrentDigitization() const;

    TKorvaneApplication& App() const { return *FApp; }
    TGuideContentContainer& Guide() const { return *FGuide; }

    // Actions.
    TAction *actFileOpen = nullptr, *actFileClose = nullptr, *actFileExit = nullptr,
            *actFileSaveImageAs = nullptr;
    TAction *actEditUndo = nullptr, *actEditRedo = nullptr,
            *actEditDefineCoordinateSystem = nullptr, *actEditUnits = nullptr,
            *actEditFormats = nullptr, *actEditPaint = nullptr, *actEditEliminateGrid = nullptr,
            *actEditPreferences = nullptr, *actEditPasteImage = nullptr;
    TAction *actViewZoomToArea = nullptr, *actViewActualSize = nullptr, *actViewZoomIn = nullptr,
            *actViewZoomOut = nullptr, *actViewZoomToFit = nullptr, *actViewMagnifier = nullptr,
            *actViewSeparateWindow = nullptr, *actViewShowGuide = nullptr,
            *actViewCloseGuide = nullptr, *actViewDigitizationsAll = nullptr,
            *actViewDigitizationsNone = nullptr, *actViewDigitizationsLines = nullptr,
            *actViewDigitizationsScatters = nullptr;
    TAction *actDigitizeNewFunctionalLine = nullptr, *actDigitizeNewNonfunctionalLine = nullptr,
            *actDigitizeNewScatter = nullptr, *actDigitizeDelete = nullptr,
            *actDigitizeBack = nullptr, *actDigitizeResume = nullptr, *actDigitizePause = nullptr,
            *actDigitizeEnhancedFollowing = nullptr;
    TAction *actDataProperties = nullptr, *actDataSelectByArea = nullptr,
            *actDataSelectAll = nullptr, *actDataSelectNone = nullptr,
            *actDataDeleteSelectedScatterData = nullptr, *actDataErase = nullptr,
            *actDataCalculate = nullptr, *actDataSortAscendingX = nullptr,
            *actDataSortAscendingY = nullptr, *actDataSortDescendingX = nullptr,
            *actDataSortDescendingY = nullptr, *actDataExport = nullptr, *actDataCopy = nullptr,
            *actDataCopyFullPrecision = nullptr;
    TAction *actHelpContents = nullptr, *actHelpIndex = nullptr, *actHelpAbout = nullptr;

    // Controls.
    TKorvanePanel* pzImage = nullptr;
    QWidget* pnlGuide = nullptr;
    QWidget* pnlGuideContent = nullptr;
    QLabel* stbCoords = nullptr;
    QLabel* stbHintsText = nullptr;
    TUnclosableDockForm* pnlData = nullptr;
    QListWidget* lbDigs = nullptr;
    QSplitter* splData = nullptr;
    QWidget* pnlDataProperties = nullptr;
    QWidget* pnlLineDataProperties = nullptr;
    QWidget* pnlParamPanelParent = nullptr;
    QComboBox* cboCurveApproximator = nullptr;
    TDigitizationGrid* dgDigData = nullptr;
    QLabel* lblDataStatus = nullptr;
    QMenu *mnuFile = nullptr, *mnuRecentFiles = nullptr, *mnuImport = nullptr, *mnuEdit = nullptr,
          *mnuView = nullptr, *mnuDigitizations = nullptr, *mnuDigitize = nullptr,
          *mnuData = nullptr, *mnuDataSort = nullptr, *mnuHelp = nullptr;
    QMenu *popImport = nullptr, *popDataSort = nullptr, *popDigs = nullptr, *popDigData = nullptr,
          *popCoords = nullptr;

    // IApplicationListener
    void DigitizationDeleted(TDigitization& Digitization, std::int32_t Index) override;
    void DigitizationInserted(TDigitization& Digitization, std::int32_t Index) override;
    void StatusMessageChanged() override;
    void FileOpened() override;
    void FileClosed() override;
    // ICommandManagerListener
    void CommandStatesChanged(TCommandManager& Sender) override;
    // IModeManagerListener
    void ModeStarted(TApplicationModeManager& Sender) override;
    void ModeEnded(TApplicationModeManager& Sender) override;
    // IHistoryListener
    void HistoryChanged(THistoryList& Sender) override;
    // IFileParametersListener
    void FileParametersChanged(TFileParameters& Sender) override;
    // IPanelListener
    void PanelPainted(TPanZoomView& Panel) override;
    void PenStateChanged(TPanZoomView&) override {}
    void PenWidthChanged(TPanZoomView&) override {}
    // IDigitizationListener
    void DigitizationChanged(TDigitization& Digitization) override;
    void PointsAdded(TDigitization& Digitization) override;
    void PointsChanged(TDigitization& Digitization) override;
    // ILineListener
    void FollowingStarted(TLine& Line) override;
    void FollowingFailed(TLine& Line) override;
    void FollowingFinished(TLine& Line) override;

    TLineDataPanel& LineDataPanel() const { return *FLineDataPanel; }
    TScatterDataPanel& ScatterDataPanel() const { return *FScatterDataPanel; }

protected:
    bool event(QEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    // A page of the PDF Name (or the page Name names) into Image, Name becoming the page's
    // name; false when the user cancelled. Throws EImageError.
    bool ReadPdfPage(std::string& Name, TWorkingImage& Image);
    void CreateActions();
    void ConnectActions();
    void CreateMenus();
    void CreateControls();
    void ApplyWindowLayout();
    void StoreWindowLayout();
    void UpdateUndoRedoCaptions();
    void UpdateDeleteAction();
    void UpdateDigitizationsMenu();
    void UpdateRecentFilesMenu();
    void BuildImportMenu();
    void SetDigitizationListEnabled(bool Enabled);
    void SetDefineCaption(const QString& Caption, const QString& Hint);
    void ScaleDefined();
    void ScaleUndefined();
    void ShowMouseCoordinates(TLongintPoint Master);
    void ShowGuidePanel(bool Show);
    void SetSeparateWindow(bool Floating);
    void GuideLinkClicked(TGuideContentContainer* Container, QString Text, QPoint Anchor);
    void ActivateDigitization(std::int32_t Index);
    void DefineCoordinateSystem();
    void CreateDigitization(std::unique_ptr<TApplicationCommand> Command);
    void DeleteCurrentDigitization();
    // The Calculate action: the calculation dialog, then the result as a new functional line.
    void Calculate();
    // A list entry's icon (the kind and a swatch of the colour) and text colour.
    void ShowInList(QListWidgetItem& Item, const TDigitization& Digitization) const;
    // A name typed into the list becomes the data set's name, as a step of the history.
    void RenameFromList(QListWidgetItem& Item);
    void FollowingEnded();
    bool FollowerRunning() const;
    void SaveImageAs();
    bool KeyDown(QObject* Receiver, int Key, Qt::KeyboardModifiers Shift);
    bool KeyUp(QObject* Receiver, int Key, Qt::KeyboardModifiers Shift);

    // The loupe: on by default while the coordinate system is defined and in the digitizing
    // modes, off elsewhere; the View menu switches it where the user is.
    bool FMagnifierInModes = true;
    bool FMagnifierElsewhere = false;
    bool MagnifierModeIsCurrent() const;
    void UpdateMagnifier();

    std::unique_ptr<IKorvaneDialogs> FOwnDialogs;
    IKorvaneDialogs* FDialogs = nullptr;
    std::unique_ptr<TKorvaneApplication> FApp;
    std::unique_ptr<TGuideContentContainer> FGuide;
    std::unique_ptr<TQtModeEndPoster> FEndPoster;
    std::unique_ptr<TLineDataPanel> FLineDataPanel;
    std::unique_ptr<TScatterDataPanel> FScatterDataPanel;
    // The availability each action follows.
    std::map<TAction*, TCommandKind> FActionKinds;
    std::string FSavedStatusMessage;
    bool FImportBuilt = false;
    // The follower enhancements, kept in "Korvane5.ext" beside "Korvane5.app".
};

// The caption of the main window while File is the open image ("" for none): the file's
// name without its folder, " - " and the program's Title, or just the Title.
std::string MainWindowCaption(const std::string& Title, const std::string& File);

} // namespace korvane
