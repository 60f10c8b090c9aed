#include "app/MainWindow.h"

#include "app/About.h"
#include "app/DrawnIcons.h"
#include "core/Errors.h"
#include "core/Prompter.h"
#include "document/ProgramSettings.h"
#include "document/RecentFiles.h"
#include "export/DataCalculations.h"
#include "image/ImageFormats.h"
#include "image/Scanner.h"
#include "interaction/ApplicationParameters.h"
#include "ui/common/HelpUtils.h"
#include "ui/common/SupportWidgets.h"
#include "ui/data/ApproximatorParamPanels.h"
#include "ui/data/DigitizationDataViews.h"
#include "ui/dialogs/CalculationDialog.h"
#include "ui/help/HelpWindow.h"
#include "ui/modes/DigitizingCommands.h"
#include "ui/modes/DigitizingModes.h"
#include "ui/modes/GridCommand.h"
#include "ui/modes/GuideControls.h"
#include "ui/modes/KorvaneActions.h"
#include "ui/modes/KorvaneCommands.h"
#include "ui/modes/KorvaneModes.h"
#include "ui/modes/PaintingMode.h"
#include "ui/modes/PropertiesCommands.h"
#include "ui/panel/KorvanePanel.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QStyle>
#include <QWhatsThis>

namespace korvane {

// The main window's actions and what they run.

namespace {

// Where an action's picture comes from: none, the style's standard icons, or drawn in code.
struct TActionIcon {
    enum class ESource { None, Standard, Drawn } Source = ESource::None;
    int Which = 0;
};

constexpr TActionIcon Standard(QStyle::StandardPixmap Pixmap) {
    return {TActionIcon::ESource::Standard, static_cast<int>(Pixmap)};
}

constexpr TActionIcon Drawn(EIcon Icon) {
    return {TActionIcon::ESource::Drawn, static_cast<int>(Icon)};
}

constexpr TActionIcon NoIcon{};

// An action that enables and disables itself with no command kind.
constexpr int NoKind = -1;

// One action of the window: the field that holds it, its object name, caption, hint
// ("Short|Long"), shortcut, icon, the command kind whose state it shows, and whether it
// carries a check mark.
struct TActionEntry {
    TAction* TfrmMain::*Field;
    const char* Name;
    const char* Caption;
    const char* Hint;
    const char* Shortcut;
    TActionIcon Icon;
    int Kind;
    bool Checkable;
};

// In menu order; the order is also the order in which the window's shortcuts are added.
const TActionEntry ActionTable[] = {
    {&TfrmMain::actFileOpen, "actFileOpen", "&Open...", "Open|Open a file for digitizing", nullptr,
     Standard(QStyle::SP_DialogOpenButton), ckOpenFile, false},
    {&TfrmMain::actFileClose, "actFileClose", "&Close", "Close|Close current file", nullptr,
     Standard(QStyle::SP_DialogCloseButton), ckCloseFile, false},
    {&TfrmMain::actFileSaveImageAs, "actFileSaveImageAs", "Save &Image As...",
     "Save image as|Save the working image", nullptr, NoIcon, NoKind, false},
    {&TfrmMain::actFileExit, "actFileExit", "E&xit", "Exit|Exit Korvane", nullptr, NoIcon, ckExit,
     false},
    // Our own addition: a screenshot on the clipboard becomes the image.
    {&TfrmMain::actEditPasteImage, "actEditPasteImage", "&Paste Image",
     "Paste image|Digitize the image on the clipboard", "Ctrl+V", NoIcon, ckOpenFile, false},
    {&TfrmMain::actEditUndo, "actEditUndo", "&Undo", "Undo|Undo last command", "Ctrl+Z",
     Standard(QStyle::SP_ArrowBack), NoKind, false},
    {&TfrmMain::actEditRedo, "actEditRedo", "&Redo", "Redo|Redo last command", "Ctrl+Y",
     Standard(QStyle::SP_ArrowForward), NoKind, false},
    {&TfrmMain::actEditDefineCoordinateSystem, "actEditDefineCoordinateSystem",
     "&Define Coordinate System", "Define coordinate system|Define the image's coordinate system",
     nullptr, Drawn(EIcon::Axes), ckDefineScale, false},
    {&TfrmMain::actEditUnits, "actEditUnits", "U&nits...",
     "Set units|Set units for the image's axes", nullptr, NoIcon, ckSetUnits, false},
    {&TfrmMain::actEditFormats, "actEditFormats", "&Formats...",
     "Formats|Set output formats for coordinates", nullptr, NoIcon, ckSetFormats, false},
    {&TfrmMain::actEditPaint, "actEditPaint", "&Paint", "Paint|Paint on the image", "Ctrl+P",
     Drawn(EIcon::Brush), ckPaint, false},
    {&TfrmMain::actEditEliminateGrid, "actEditEliminateGrid", "&Eliminate Grid...",
     "Eliminate grid|Eliminate grid lines on the image", nullptr, NoIcon, ckEliminateGrid, false},
    {&TfrmMain::actEditPreferences, "actEditPreferences", "&Settings...",
     "Settings|Adjust application and digitizer settings", nullptr, NoIcon, ckEditPreferences,
     false},
    {&TfrmMain::actViewZoomToArea, "actViewZoomToArea", "&Zoom To Area",
     "Zoom to area|Zoom to a custom-defined area", nullptr, Drawn(EIcon::Zoom), ckZoomToArea,
     false},
    {&TfrmMain::actViewActualSize, "actViewActualSize", "&Actual Size",
     "Actual size|Zoom image to original size", nullptr, NoIcon, ckActualSize, false},
    {&TfrmMain::actViewZoomIn, "actViewZoomIn", "Zoom &In", "Zoom in|Zoom in", "Ctrl+I", NoIcon,
     ckZoomIn, false},
    {&TfrmMain::actViewZoomOut, "actViewZoomOut", "Zoom &Out", "Zoom out|Zoom out", "Ctrl+O",
     NoIcon, ckZoomOut, false},
    // Our own addition.
    {&TfrmMain::actViewZoomToFit, "actViewZoomToFit", "Zoom to &Fit",
     "Zoom to fit|Show the whole image in the window", nullptr, NoIcon, ckActualSize, false},
    {&TfrmMain::actViewMagnifier, "actViewMagnifier", "&Magnifier",
     "Magnifier|Show the pixels around the pointer enlarged beside it", "Ctrl+M", NoIcon, NoKind,
     true},
    {&TfrmMain::actViewSeparateWindow, "actViewSeparateWindow", "Show Data in &Separate Window",
     "Show data in separate window|Show data in separate window", nullptr, NoIcon, NoKind, true},
    {&TfrmMain::actViewShowGuide, "actViewShowGuide", "Show &Guide", "Show guide|Show guide",
     nullptr, NoIcon, NoKind, false},
    {&TfrmMain::actViewCloseGuide, "actViewCloseGuide", "Hide &Guide", "Close guide|Close guide",
     nullptr, NoIcon, NoKind, false},
    {&TfrmMain::actViewDigitizationsAll, "actViewDigitizationsAll", "&All",
     "Show all digitizations|Show all digitizations", nullptr, NoIcon, NoKind, false},
    {&TfrmMain::actViewDigitizationsNone, "actViewDigitizationsNone", "&None",
     "Hide all digitizations|Hide all digitizations", nullptr, NoIcon, NoKind, false},
    {&TfrmMain::actViewDigitizationsLines, "actViewDigitizationsLines", "&Lines Only",
     "Show lines|Show only line digitizations", nullptr, NoIcon, NoKind, false},
    {&TfrmMain::actViewDigitizationsScatters, "actViewDigitizationsScatters", "&Scatters Only",
     "Show scatters|Show only scatter digitizations", nullptr, NoIcon, NoKind, false},
    {&TfrmMain::actDigitizeNewFunctionalLine, "actDigitizeNewFunctionalLine",
     "New &Functional Line", "New functional line|Create new functional line digitization", nullptr,
     NoIcon, ckCreateFunctionalLine, false},
    {&TfrmMain::actDigitizeNewNonfunctionalLine, "actDigitizeNewNonfunctionalLine",
     "New &Nonfunctional Line", "New nonfunctional line|Create new nonfunctional line digitization",
     nullptr, NoIcon, ckCreateNonfunctionalLine, false},
    {&TfrmMain::actDigitizeNewScatter, "actDigitizeNewScatter", "New &Scatter",
     "New scatter|Create new scatter digitization", nullptr, NoIcon, ckCreateScatter, false},
    {&TfrmMain::actDigitizeDelete, "actDigitizeDelete", "&Delete",
     "Delete|Delete currently selected digitization", nullptr, NoIcon, NoKind, false},
    {&TfrmMain::actDigitizeBack, "actDigitizeBack", "&Back", "Back|Step digitizer back one point",
     "Alt+Left", Standard(QStyle::SP_MediaSeekBackward), ckBackUp, false},
    {&TfrmMain::actDigitizeResume, "actDigitizeResume", "&Resume", "Resume|Resume digitizer",
     "Ctrl+R", Standard(QStyle::SP_MediaPlay), ckResume, false},
    {&TfrmMain::actDigitizePause, "actDigitizePause", "&Pause", "Pause|Pause digitizer", nullptr,
     Standard(QStyle::SP_MediaPause), ckStop, false},
    {&TfrmMain::actDigitizeEnhancedFollowing, "actDigitizeEnhancedFollowing", "&Enhanced Following",
     "Enhanced following|Follow lines to a fraction of a pixel, through crossings with "
     "lines of the same colour, and without jumping off a curve's end",
     nullptr, NoIcon, NoKind, true},
    {&TfrmMain::actDataProperties, "actDataProperties", "&Properties...",
     "Data properties|Edit visual properties of data", nullptr, NoIcon,
     ckEditDigitizationProperties, false},
    {&TfrmMain::actDataSelectByArea, "actDataSelectByArea", "&Select By Area",
     "Select by area|Select points in a specified area", nullptr, Drawn(EIcon::SelectArea),
     ckSelectByArea, false},
    {&TfrmMain::actDataSelectAll, "actDataSelectAll", "Select &All", "Select all|Select all points",
     "Ctrl+A", NoIcon, ckSelectAll, false},
    {&TfrmMain::actDataSelectNone, "actDataSelectNone", "Select &None",
     "Select none|Clear selection", nullptr, NoIcon, ckSelectNone, false},
    {&TfrmMain::actDataDeleteSelectedScatterData, "actDataDeleteSelectedScatterData",
     "&Delete Selected Scatter Data", "Delete selected scatter data|Delete selected scatter data",
     nullptr, NoIcon, ckDeleteSelectedScatterData, false},
    {&TfrmMain::actDataErase, "actDataErase", "&Erase", "Erase|Erase part or all of vectorization",
     nullptr, Standard(QStyle::SP_TrashIcon), ckErase, false},
    {&TfrmMain::actDataCalculate, "actDataCalculate", "&Calculate...",
     "Calculate|Calculate a data set from digitized points", nullptr, Drawn(EIcon::Calculate),
     NoKind, false},
    {&TfrmMain::actDataSortAscendingX, "actDataSortAscendingX", "&Ascending X",
     "Sort ascending X|Sort points in ascending order by X value", nullptr, NoIcon,
     ckSortDigitization, false},
    {&TfrmMain::actDataSortAscendingY, "actDataSortAscendingY", "A&scending Y",
     "Sort ascending Y|Sort points in ascending order by Y value", nullptr, NoIcon,
     ckSortDigitization, false},
    {&TfrmMain::actDataSortDescendingX, "actDataSortDescendingX", "&Descending X",
     "Sort descending X|Sort points in descending order by X value", nullptr, NoIcon,
     ckSortDigitization, false},
    {&TfrmMain::actDataSortDescendingY, "actDataSortDescendingY", "D&escending Y",
     "Sort descending Y|Sort points in descending order by Y value", nullptr, NoIcon,
     ckSortDigitization, false},
    {&TfrmMain::actDataExport, "actDataExport", "E&xport...",
     "Export data|Export data to file or clipboard", "Ctrl+E",
     Standard(QStyle::SP_DialogSaveButton), ckExportData, false},
    // Our own addition: the grid's points to the clipboard, for a spreadsheet.
    {&TfrmMain::actDataCopy, "actDataCopy", "&Copy",
     "Copy|Copy the selected points, or all of them, to the clipboard", "Ctrl+C", NoIcon, NoKind,
     false},
    {&TfrmMain::actDataCopyFullPrecision, "actDataCopyFullPrecision", "Copy at &Full Precision",
     "Full precision|Copy the points with every digit instead of as the grid shows them", nullptr,
     NoIcon, NoKind, true},
    {&TfrmMain::actHelpContents, "actHelpContents", "&Contents", "Help|Display help contents",
     nullptr, Drawn(EIcon::Help), NoKind, false},
    {&TfrmMain::actHelpIndex, "actHelpIndex", "&Index", "Help index|Display help index", nullptr,
     NoIcon, NoKind, false},
    {&TfrmMain::actHelpAbout, "actHelpAbout", "&About...", "About|About Korvane", nullptr, NoIcon,
     NoKind, false},
};

} // namespace

void TfrmMain::CreateActions() {
    for (const TActionEntry& Entry : ActionTable) {
        auto* Action =
            new TAction(QString::fromUtf8(Entry.Caption), QString::fromUtf8(Entry.Hint), this);
        Action->setObjectName(Entry.Name);
        if (Entry.Shortcut)
            Action->setShortcut(QKeySequence(QString::fromUtf8(Entry.Shortcut)));
        switch (Entry.Icon.Source) {
        case TActionIcon::ESource::Standard:
            Action->setIcon(
                style()->standardIcon(static_cast<QStyle::StandardPixmap>(Entry.Icon.Which)));
            break;
        case TActionIcon::ESource::Drawn:
            Action->setIcon(DrawnIcon(static_cast<EIcon>(Entry.Icon.Which)));
            break;
        case TActionIcon::ESource::None:
            break;
        }
        Action->setCheckable(Entry.Checkable);
        if (Entry.Kind != NoKind)
            FActionKinds[Action] = static_cast<TCommandKind>(Entry.Kind);
        this->*Entry.Field = Action;
    }
    ConnectActions();
}

// What each action runs.
void TfrmMain::ConnectActions() {
    actFileOpen->OnExecute = [this] {
        // The dialog starts in the folder of the last image opened through it.
        const std::string Folder = FApp->ApplicationParameters().Folder();
        TProgramSettings Settings;
        try {
            Settings.Load(Folder);
        } catch (const std::exception&) {
            // Damaged: start in the working folder, and write the file anew below.
        }
        const QString Filter = QString::fromStdString(TImageFormatRegistry::DialogFilter());
        QString Name;
        if (!FDialogs->AskOpenFileName("Open", Filter, QString::fromStdString(Settings.OpenFolder),
                                       Name) ||
            Name.isEmpty())
            return;
        Settings.OpenFolder = QFileInfo(Name).absolutePath().toStdString();
        try {
            Settings.Save(Folder);
        } catch (const std::exception&) {
            // Not remembering the folder is no reason to keep the image closed.
        }
        OpenImage(Name);
    };

    actFileClose->OnExecute = [this] { CloseImage(); };

    actFileSaveImageAs->OnExecute = [this] { SaveImageAs(); };

    actEditPasteImage->OnExecute = [this] { PasteImage(); };

    actFileExit->OnExecute = [this] {
        ExecuteCommand(*FApp, std::make_unique<TExitCommand>(), {});
    };

    actEditUndo->OnExecute = [this] { FApp->History().Undo(); };
    actEditRedo->OnExecute = [this] { FApp->History().Redo(); };

    actEditDefineCoordinateSystem->OnExecute = [this] { DefineCoordinateSystem(); };

    actEditUnits->OnExecute = [this] {
        auto Command = std::make_unique<TSetUnitsCommand>();
        Command->SetDialogs(*FDialogs);
        ExecuteCommand(*FApp, std::move(Command), {});
    };

    actEditFormats->OnExecute = [this] {
        auto Command = std::make_unique<TSetFormatsCommand>();
        Command->SetDialogs(*FDialogs);
        TDigitizationDataPanel* View = nullptr;
        if (FLineDataPanel->Active())
            View = FLineDataPanel.get();
        else if (FScatterDataPanel->Active())
            View = FScatterDataPanel.get();
        ExecuteCommand(*FApp, std::move(Command), {View});
    };

    actEditEliminateGrid->OnExecute = [this] {
        auto Command = std::make_unique<TEliminateGridCommand>();
        Command->SetDialogs(*FDialogs);
        ExecuteCommand(*FApp, std::move(Command), {pzImage});
    };

    actEditPreferences->OnExecute = [this] {
        auto Command = std::make_unique<TEditPreferencesCommand>();
        Command->SetDialogs(*FDialogs);
        ExecuteCommand(*FApp, std::move(Command), {pzImage});
    };

    actViewZoomToArea->OnExecute = [this] {
        ExecuteCommand(*FApp, std::make_unique<TZoomToAreaCommand>(),
                       {pzImage, nullptr, actViewZoomToArea});
    };

    actViewActualSize->OnExecute = [this] {
        ExecuteCommand(*FApp, std::make_unique<TActualSizeCommand>(), {pzImage});
    };

    actViewZoomToFit->OnExecute = [this] {
        ExecuteCommand(*FApp, std::make_unique<TZoomToFitCommand>(), {pzImage});
    };

    actViewMagnifier->OnExecute = [this] {
        (MagnifierModeIsCurrent() ? FMagnifierInModes : FMagnifierElsewhere) =
            actViewMagnifier->isChecked();
        UpdateMagnifier();
    };

    actViewZoomIn->OnExecute = [this] {
        ExecuteCommand(*FApp, std::make_unique<TZoomInCommand>(), {pzImage});
    };

    actViewZoomOut->OnExecute = [this] {
        ExecuteCommand(*FApp, std::make_unique<TZoomOutCommand>(), {pzImage});
    };

    actViewSeparateWindow->OnExecute = [this] { SetSeparateWindow(!pnlData->isFloating()); };

    actViewShowGuide->OnExecute = [this] { ShowGuidePanel(true); };
    actViewCloseGuide->OnExecute = [this] { ShowGuidePanel(false); };

    const auto ShowOnly = [this](auto Keep) {
        TDigitization* Current = CurrentDigitization();
        for (std::int32_t I = 0; I < FApp->Count(); ++I) {
            TDigitization& D = FApp->Digitization(I);
            D.Visible = &D == Current || Keep(D);
        }
        pzImage->RepaintImage();
    };
    actViewDigitizationsAll->OnExecute = [ShowOnly] {
        ShowOnly([](TDigitization&) { return true; });
    };
    actViewDigitizationsNone->OnExecute = [ShowOnly] {
        ShowOnly([](TDigitization&) { return false; });
    };
    actViewDigitizationsLines->OnExecute = [ShowOnly] {
        ShowOnly([](TDigitization& D) { return dynamic_cast<TLine*>(&D) != nullptr; });
    };
    actViewDigitizationsScatters->OnExecute = [ShowOnly] {
        ShowOnly([](TDigitization& D) { return dynamic_cast<TScatter*>(&D) != nullptr; });
    };

    actDigitizeNewFunctionalLine->OnExecute = [this] {
        CreateDigitization(std::make_unique<TCreateFunctionalLineCommand>());
    };
    actDigitizeNewNonfunctionalLine->OnExecute = [this] {
        CreateDigitization(std::make_unique<TCreateNonfunctionalLineCommand>());
    };
    actDigitizeNewScatter->OnExecute = [this] {
        CreateDigitization(std::make_unique<TCreateScatterCommand>());
    };
    actDigitizeDelete->OnExecute = [this] { DeleteCurrentDigitization(); };
    actDigitizeBack->OnExecute = [this] {
        auto* Line = dynamic_cast<TLine*>(CurrentDigitization());
        if (!Line)
            throw EAssertion("actDigitizeBackExecute");
        Line->SetEraseFrom(Line->Count() - 1);
        ExecuteCommand(*FApp, std::make_unique<TEraseCommand>(), {Line, pzImage});
    };
    actDigitizeResume->OnExecute = [this] {
        TApplicationModeManager& Modes = FApp->ModeManager();
        while (Modes.CurrentMode() && !dynamic_cast<TDigitizingMode*>(Modes.CurrentMode()))
            Modes.EndMode();
        if (auto* Mode = dynamic_cast<TLineMode*>(Modes.CurrentMode()))
            Mode->ResumeDigitizing();
    };
    actDigitizePause->OnExecute = [this] {
        ExecuteCommand(*FApp, std::make_unique<TStopCommand>(), {CurrentDigitization()});
    };

    // Our own addition: the follower's enhancements, one switch for the recommended set.
    actDigitizeEnhancedFollowing->OnExecute = [this] {
        TEnhancementSettings& Settings = FApp->EnhancementSettings();
        TFollowerEnhancements Changed = Settings.Enhancements;
        Changed.SetEnhancedFollowing(!Changed.EnhancedFollowing());
        TEnhancementSettings Next = Settings;
        Next.Enhancements = Changed;
        const QSignalBlocker Block(actDigitizeEnhancedFollowing);
        actDigitizeEnhancedFollowing->setChecked(Settings.Enhancements.EnhancedFollowing());
        Next.Save(FApp->ApplicationParameters().Folder());
        Settings = Next;
        actDigitizeEnhancedFollowing->setChecked(Changed.EnhancedFollowing());
    };

    actDataCalculate->OnExecute = [this] { Calculate(); };

    actDataCopy->OnExecute = [this] {
        TDigitizationDataPanel* View = nullptr;
        if (FLineDataPanel->Active())
            View = FLineDataPanel.get();
        else if (FScatterDataPanel->Active())
            View = FScatterDataPanel.get();
        if (!View || !View->Digitization())
            return;
        QGuiApplication::clipboard()->setText(
            View->ClipboardText(actDataCopyFullPrecision->isChecked()));
    };
    actDataCopyFullPrecision->OnExecute = [this] {
        // The choice is kept at once, like the other settings of the settings file.
        TProgramSettings Settings;
        const std::string Folder = FApp->ApplicationParameters().Folder();
        try {
            Settings.Load(Folder);
        } catch (const std::exception&) {
            // A damaged file is replaced by the defaults and this choice.
        }
        Settings.CopyFullPrecision = actDataCopyFullPrecision->isChecked();
        try {
            Settings.Save(Folder);
        } catch (...) {
            const QSignalBlocker Block(actDataCopyFullPrecision);
            actDataCopyFullPrecision->setChecked(!Settings.CopyFullPrecision);
            throw;
        }
    };
    actEditPaint->OnExecute = [this] { StartPainting(0); };

    actDataErase->OnExecute = [this] {
        auto* Line = dynamic_cast<TLine*>(CurrentDigitization());
        if (!Line)
            throw EAssertion("actDataEraseExecute");
        FApp->ModeManager().StartMode(TErasingMode::Class(), {pzImage, Line, actDataErase});
    };
    actDataSelectByArea->OnExecute = [this] {
        TDigitization* Current = CurrentDigitization();
        if (!Current)
            throw EAssertion("actDataSelectByAreaExecute");
        FApp->ModeManager().StartMode(TSelectingMode::Class(),
                                      {pzImage, Current, actDataSelectByArea});
    };
    actDataSelectAll->OnExecute = [this] {
        TDigitization* Current = CurrentDigitization();
        if (!Current)
            throw EAssertion("actDataSelectAllExecute");
        ExecuteCommand(*FApp, std::make_unique<TSelectAllCommand>(), {Current});
    };
    actDataSelectNone->OnExecute = [this] {
        TDigitization* Current = CurrentDigitization();
        if (!Current)
            throw EAssertion("actDataSelectNoneExecute");
        ExecuteCommand(*FApp, std::make_unique<TSelectNoneCommand>(), {Current});
    };
    actDataDeleteSelectedScatterData->OnExecute = [this] {
        auto* Scatter = dynamic_cast<TScatter*>(CurrentDigitization());
        if (!Scatter)
            throw EAssertion("actDataDeleteSelectedPointsExecute 1");
        if (Scatter->Selection().Count() == 0)
            throw EAssertion("actDataDeleteSelectedPointsExecute 2");
        ExecuteCommand(*FApp, std::make_unique<TDeleteSelectedScatterDataCommand>(), {Scatter});
    };
    // The four sorts run through the scatter mode.
    const auto SortWith = [this](TCommandClass Class, const char* Where) {
        return [this, Class, Where] {
            auto* Mode = FApp->ModeManager().FindMode<TScatterMode>();
            if (!Mode)
                throw EAssertion(Where);
            Mode->Sort(Class);
        };
    };
    actDataSortAscendingX->OnExecute =
        SortWith(TCommandClass::Of<TSortAscendingXCommand>("TSortAscendingXCommand"),
                 "actDataSortAscendingXExecute");
    actDataSortAscendingY->OnExecute =
        SortWith(TCommandClass::Of<TSortAscendingYCommand>("TSortAscendingYCommand"),
                 "actDataSortAscendingYExecute");
    actDataSortDescendingX->OnExecute =
        SortWith(TCommandClass::Of<TSortDescendingXCommand>("TSortDescendingXCommand"),
                 "actDataSortDescendingXExecute");
    actDataSortDescendingY->OnExecute =
        SortWith(TCommandClass::Of<TSortDescendingYCommand>("TSortDescendingYCommand"),
                 "actDataSortDescendingYExecute");
    actDataProperties->OnExecute = [this] {
        auto* Mode = FApp->ModeManager().FindMode<TDigitizingMode>();
        if (!Mode)
            throw EAssertion("actDataPropertiesExecute");
        Mode->EditProperties();
    };
    actDataExport->OnExecute = [this] {
        auto* Mode = FApp->ModeManager().FindMode<TDigitizingMode>();
        if (!Mode)
            throw EAssertion("actDataExportExecute");
        Mode->Export();
    };

    actHelpContents->OnExecute = [] { ShowHelpTopic(MainHelpContext); };
    actHelpIndex->OnExecute = [] { ShowHelpIndex(); };
    // The manual's page of shortcuts is made from the menus, so that it cannot drift.
    THelpWindow::SetShortcutsTable([this] { return ShortcutsTable(); });
    actHelpAbout->OnExecute = [this] {
        TfrmAbout About(this);
        About.exec();
    };

    // F1: the help topic of the window or of the running mode; Shift+F1: what's this.
    auto* ContextHelp = new QAction(this);
    ContextHelp->setShortcut(QKeySequence(Qt::Key_F1));
    connect(ContextHelp, &QAction::triggered, this, [this] {
        QWidget* Focus = QApplication::focusWidget();
        int Context = Focus ? HelpContextOf(*Focus) : 0;
        if (Context == 0)
            Context = HelpContextOf(*this);
        ShowHelpTopic(Context);
    });
    addAction(ContextHelp);
    QAction* WhatsThis = QWhatsThis::createAction(this);
    addAction(WhatsThis);

    // Shortcuts work wherever the focus is in the window.
    for (QAction* Action : findChildren<TAction*>()) {
        Action->setShortcutContext(Qt::WindowShortcut);
        addAction(Action);
    }
}

void TfrmMain::DefineCoordinateSystem() {
    if (FApp->Count() > 0 &&
        FApp->Prompter().Ask(EMessageKind::Warning,
                             "Redefining the coordinate system will alter the position of "
                             "previously digitized data.\r\n\r\nDo you want to do this?",
                             mbYesNo) != EMessageAnswer::Yes)
        return;
    FApp->ModeManager().StartMode(TDefiningScaleMode::Class(),
                                  {pzImage, actEditDefineCoordinateSystem});
}

void TfrmMain::CreateDigitization(std::unique_ptr<TApplicationCommand> Command) {
    ExecuteCommand(*FApp, std::move(Command), {});
    const int Last = lbDigs->count() - 1;
    if (Last < 0)
        return;
    lbDigs->setCurrentRow(Last);
    ActivateDigitization(Last);
}

void TfrmMain::Calculate() {
    TfrmCalculationDialog Dialog(this);
    std::vector<TDigitization*> List;
    for (std::int32_t I = 0; I < FApp->Count(); ++I)
        List.push_back(&FApp->Digitization(I));
    Dialog.SetDigitizations(List);
    std::vector<const TBinaryOperationInstance*> Operations;
    for (const auto& Instance : OperationInstances())
        Operations.push_back(Instance.get());
    Dialog.SetOperations(Operations);
    Dialog.SetFormats(FApp->FileParameters().Formats);
    if (auto* Current = dynamic_cast<TFunctionalLine*>(CurrentDigitization()))
        Dialog.SelectFirst(Current);
    if (!FDialogs->RunCalculationDialog(Dialog))
        return;
    TFunctionalLine* First = Dialog.FirstLine();
    TFunctionalLine* Second = Dialog.SecondLine();
    const TBinaryOperationInstance* Instance = Dialog.SelectedOperation();
    if (!First || !Second || !Instance)
        return;
    // A result that is no finite number throws, and nothing is created.
    TDoublePointArray Points(50);
    const std::unique_ptr<TBinaryOperation> Operation = Instance->CreateBinary();
    Operation->Execute(*First, Second, Points);
    const std::string Name = CalculationResultName(First->Name(), *Operation, Second->Name());
    auto* Command = dynamic_cast<TCreateDigitizationCommand*>(
        ExecuteCommand(*FApp, std::make_unique<TCreateFunctionalLineCommand>(), {&Name}));
    if (!Command || !Command->Digitization())
        return;
    Command->Digitization()->SetPoints(Points);
    const int Row = FApp->IndexOf(*Command->Digitization());
    lbDigs->setCurrentRow(Row);
    ActivateDigitization(Row);
}

void TfrmMain::DeleteCurrentDigitization() {
    TDigitization* Current = CurrentDigitization();
    if (!Current)
        throw EAssertion("actDigitizeDeleteExecute");
    TApplicationModeManager& Modes = FApp->ModeManager();
    if (auto* Mode = Modes.FindMode<TDigitizingMode>(); Mode && Mode->Digitization == Current)
        while (Modes.CurrentMode())
            Modes.EndMode();
    ExecuteCommand(*FApp, std::make_unique<TDeleteDigitizationCommand>(),
                   {FApp->IndexOf(*Current)});
}

QString TfrmMain::ShortcutsTable() const {
    QString Table = QStringLiteral("| Command | Keys |\n|---|---|\n");
    const std::function<void(const QMenu*, const QString&)> Walk = [&](const QMenu* Menu,
                                                                       const QString& Path) {
        for (const QAction* Action : Menu->actions()) {
            const QString Name =
                Path + QStringLiteral(" > ") + QString(Action->text()).remove('&').remove("...");
            if (Action->menu())
                Walk(Action->menu(), Name);
            else if (!Action->isSeparator() && !Action->shortcut().isEmpty())
                Table += QStringLiteral("| %1 | %2 |\n")
                             .arg(Name, Action->shortcut().toString(QKeySequence::NativeText));
        }
    };
    for (const QAction* Top : menuBar()->actions())
        if (Top->menu())
            Walk(Top->menu(), QString(Top->text()).remove('&'));
    Table += QStringLiteral("| Context help (the page of the window, dialog or mode) | F1 |\n"
                            "| What's This | Shift+F1 |\n");
    return Table;
}

} // namespace korvane
