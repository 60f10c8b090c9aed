#include "app/MainWindow.h"

#include "app/About.h"
#include "app/DrawnIcons.h"
#include "core/Errors.h"
#include "core/Prompter.h"
#include "document/RecentFiles.h"
#include "image/ImageFormats.h"
#include "image/Scanner.h"
#include "interaction/ApplicationParameters.h"
#include "ui/common/HelpUtils.h"
#include "ui/common/SupportWidgets.h"
#include "ui/data/ApproximatorParamPanels.h"
#include "ui/data/DigitizationDataViews.h"
#include "ui/modes/DigitizingCommands.h"
#include "ui/modes/DigitizingModes.h"
#include "ui/modes/GuideControls.h"
#include "ui/modes/KorvaneActions.h"
#include "ui/modes/KorvaneCommands.h"
#include "ui/modes/KorvaneModes.h"
#include "ui/panel/KorvanePanel.h"

#include <QApplication>
#include <QFileDialog>
#include <QListWidget>
#include <QStyle>
#include <QWhatsThis>

namespace korvane {

// The main window's actions and what they run.

void TfrmMain::CreateActions() {
    const auto Make = [this](const char* Name, const QString& Caption, const QString& Hint) {
        auto* Action = new TAction(Caption, Hint, this);
        Action->setObjectName(Name);
        return Action;
    };
    const auto Kind = [this](TAction* Action, TCommandKind K) { FActionKinds[Action] = K; };
    QStyle* S = style();

    actFileOpen = Make("actFileOpen", "&Open...", "Open|Open a file for digitizing");
    actFileOpen->setIcon(S->standardIcon(QStyle::SP_DialogOpenButton));
    actFileOpen->OnExecute = [this] {
        const QString Filter = QString::fromStdString(TImageFormatRegistry::DialogFilter()) +
                               QStringLiteral(";;All files (*)");
        const QString Name = QFileDialog::getOpenFileName(this, "Open", QString(), Filter);
        if (!Name.isEmpty())
            OpenImage(Name);
    };
    Kind(actFileOpen, ckOpenFile);

    actFileClose = Make("actFileClose", "&Close", "Close|Close current file");
    actFileClose->setIcon(S->standardIcon(QStyle::SP_DialogCloseButton));
    actFileClose->OnExecute = [this] { CloseImage(); };
    Kind(actFileClose, ckCloseFile);

    actFileSaveImageAs =
        Make("actFileSaveImageAs", "Save &Image As...", "Save image as|Save the working image");
    actFileSaveImageAs->OnExecute = [this] { SaveImageAs(); };

    actFileExit = Make("actFileExit", "E&xit", "Exit|Exit Korvane");
    actFileExit->OnExecute = [this] {
        ExecuteCommand(FApp->History(), std::make_unique<TExitCommand>(), {});
    };
    Kind(actFileExit, ckExit);

    actEditUndo = Make("actEditUndo", "&Undo", "Undo|Undo last command");
    actEditUndo->setShortcut(QKeySequence("Ctrl+Z"));
    actEditUndo->setIcon(S->standardIcon(QStyle::SP_ArrowBack));
    actEditUndo->OnExecute = [this] { FApp->History().Undo(); };
    actEditRedo = Make("actEditRedo", "&Redo", "Redo|Redo last command");
    actEditRedo->setShortcut(QKeySequence("Ctrl+Y"));
    actEditRedo->setIcon(S->standardIcon(QStyle::SP_ArrowForward));
    actEditRedo->OnExecute = [this] { FApp->History().Redo(); };

    actEditDefineCoordinateSystem =
        Make("actEditDefineCoordinateSystem", "&Define Coordinate System",
             "Define coordinate system|Define the image's coordinate system");
    actEditDefineCoordinateSystem->setIcon(DrawnIcon(EIcon::Axes));
    actEditDefineCoordinateSystem->OnExecute = [this] { DefineCoordinateSystem(); };
    Kind(actEditDefineCoordinateSystem, ckDefineScale);

    actEditUnits = Make("actEditUnits", "U&nits...", "Set units|Set units for the image's axes");
    actEditUnits->OnExecute = [this] {
        ExecuteCommand(FApp->History(), std::make_unique<TSetUnitsCommand>(), {});
    };
    Kind(actEditUnits, ckSetUnits);

    actEditFormats =
        Make("actEditFormats", "&Formats...", "Formats|Set output formats for coordinates");
    actEditFormats->OnExecute = [this] {
        ExecuteCommand(FApp->History(), std::make_unique<TSetFormatsCommand>(), {nullptr});
    };
    Kind(actEditFormats, ckSetFormats);

    actEditPaint = Make("actEditPaint", "&Paint", "Paint|Paint on the image");
    actEditPaint->setShortcut(QKeySequence("Ctrl+P"));
    actEditPaint->setIcon(DrawnIcon(EIcon::Brush));
    Kind(actEditPaint, ckPaint);

    actEditPreferences = Make("actEditPreferences", "&Settings...",
                              "Settings|Adjust application and digitizer settings");
    Kind(actEditPreferences, ckEditPreferences);

    actViewZoomToArea =
        Make("actViewZoomToArea", "&Zoom To Area", "Zoom to area|Zoom to a custom-defined area");
    actViewZoomToArea->setIcon(DrawnIcon(EIcon::Zoom));
    actViewZoomToArea->OnExecute = [this] {
        ExecuteCommand(FApp->History(), std::make_unique<TZoomToAreaCommand>(),
                       {pzImage, nullptr, actViewZoomToArea});
    };
    Kind(actViewZoomToArea, ckZoomToArea);

    actViewActualSize =
        Make("actViewActualSize", "&Actual Size", "Actual size|Zoom image to original size");
    actViewActualSize->OnExecute = [this] {
        ExecuteCommand(FApp->History(), std::make_unique<TActualSizeCommand>(), {pzImage});
    };
    Kind(actViewActualSize, ckActualSize);

    actViewZoomIn = Make("actViewZoomIn", "Zoom &In", "Zoom in|Zoom in");
    actViewZoomIn->setShortcut(QKeySequence("Ctrl+I"));
    actViewZoomIn->OnExecute = [this] {
        ExecuteCommand(FApp->History(), std::make_unique<TZoomInCommand>(), {pzImage});
    };
    Kind(actViewZoomIn, ckZoomIn);

    actViewZoomOut = Make("actViewZoomOut", "Zoom &Out", "Zoom out|Zoom out");
    actViewZoomOut->setShortcut(QKeySequence("Ctrl+O"));
    actViewZoomOut->OnExecute = [this] {
        ExecuteCommand(FApp->History(), std::make_unique<TZoomOutCommand>(), {pzImage});
    };
    Kind(actViewZoomOut, ckZoomOut);

    actViewSeparateWindow = Make("actViewSeparateWindow", "Show Data in &Separate Window",
                                 "Show data in separate window|Show data in separate window");
    actViewSeparateWindow->setCheckable(true);
    actViewSeparateWindow->OnExecute = [this] { SetSeparateWindow(!pnlData->isFloating()); };

    actViewShowGuide = Make("actViewShowGuide", "Show &Guide", "Show guide|Show guide");
    actViewShowGuide->OnExecute = [this] { ShowGuidePanel(true); };
    actViewCloseGuide = Make("actViewCloseGuide", "Hide &Guide", "Close guide|Close guide");
    actViewCloseGuide->OnExecute = [this] { ShowGuidePanel(false); };

    actViewDigitizationsAll =
        Make("actViewDigitizationsAll", "&All", "Show all digitizations|Show all digitizations");
    actViewDigitizationsNone =
        Make("actViewDigitizationsNone", "&None", "Hide all digitizations|Hide all digitizations");
    actViewDigitizationsLines =
        Make("actViewDigitizationsLines", "&Lines Only", "Show lines|Show only line digitizations");
    actViewDigitizationsScatters = Make("actViewDigitizationsScatters", "&Scatters Only",
                                        "Show scatters|Show only scatter digitizations");
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

    actDigitizeNewFunctionalLine =
        Make("actDigitizeNewFunctionalLine", "New &Functional Line",
             "New functional line|Create new functional line digitization");
    Kind(actDigitizeNewFunctionalLine, ckCreateFunctionalLine);
    actDigitizeNewFunctionalLine->OnExecute = [this] {
        CreateDigitization(std::make_unique<TCreateFunctionalLineCommand>());
    };
    actDigitizeNewNonfunctionalLine =
        Make("actDigitizeNewNonfunctionalLine", "New &Nonfunctional Line",
             "New nonfunctional line|Create new nonfunctional line digitization");
    Kind(actDigitizeNewNonfunctionalLine, ckCreateNonfunctionalLine);
    actDigitizeNewNonfunctionalLine->OnExecute = [this] {
        CreateDigitization(std::make_unique<TCreateNonfunctionalLineCommand>());
    };
    actDigitizeNewScatter = Make("actDigitizeNewScatter", "New &Scatter",
                                 "New scatter|Create new scatter digitization");
    Kind(actDigitizeNewScatter, ckCreateScatter);
    actDigitizeNewScatter->OnExecute = [this] {
        CreateDigitization(std::make_unique<TCreateScatterCommand>());
    };
    actDigitizeDelete =
        Make("actDigitizeDelete", "&Delete", "Delete|Delete currently selected digitization");
    actDigitizeDelete->OnExecute = [this] { DeleteCurrentDigitization(); };
    actDigitizeBack = Make("actDigitizeBack", "&Back", "Back|Step digitizer back one point");
    actDigitizeBack->setShortcut(QKeySequence("Alt+Left"));
    actDigitizeBack->setIcon(S->standardIcon(QStyle::SP_MediaSeekBackward));
    Kind(actDigitizeBack, ckBackUp);
    actDigitizeBack->OnExecute = [this] {
        auto* Line = dynamic_cast<TLine*>(CurrentDigitization());
        if (!Line)
            throw EAssertion("actDigitizeBackExecute");
        Line->SetEraseFrom(Line->Count() - 1);
        ExecuteCommand(FApp->History(), std::make_unique<TEraseCommand>(), {Line, pzImage});
    };
    actDigitizeResume = Make("actDigitizeResume", "&Resume", "Resume|Resume digitizer");
    actDigitizeResume->setShortcut(QKeySequence("Ctrl+R"));
    actDigitizeResume->setIcon(S->standardIcon(QStyle::SP_MediaPlay));
    Kind(actDigitizeResume, ckResume);
    actDigitizeResume->OnExecute = [this] {
        TApplicationModeManager& Modes = FApp->ModeManager();
        while (Modes.CurrentMode() && !dynamic_cast<TDigitizingMode*>(Modes.CurrentMode()))
            Modes.EndMode();
        if (auto* Mode = dynamic_cast<TLineMode*>(Modes.CurrentMode()))
            Mode->ResumeDigitizing();
    };
    actDigitizePause = Make("actDigitizePause", "&Pause", "Pause|Pause digitizer");
    actDigitizePause->setIcon(S->standardIcon(QStyle::SP_MediaPause));
    Kind(actDigitizePause, ckStop);
    actDigitizePause->OnExecute = [this] {
        ExecuteCommand(FApp->History(), std::make_unique<TStopCommand>(), {CurrentDigitization()});
    };

    // Our own addition: the follower's enhancements, one switch for the recommended set.
    actDigitizeEnhancedFollowing =
        Make("actDigitizeEnhancedFollowing", "&Enhanced Following",
             "Enhanced following|Follow lines to a fraction of a pixel, through crossings with "
             "lines of the same colour, and without jumping off a curve's end");
    actDigitizeEnhancedFollowing->setCheckable(true);
    actDigitizeEnhancedFollowing->OnExecute = [this] {
        TFollowerEnhancements Changed = FEnhancements.Enhancements;
        Changed.SetEnhancedFollowing(!Changed.EnhancedFollowing());
        TEnhancementSettings Next = FEnhancements;
        Next.Enhancements = Changed;
        const QSignalBlocker Block(actDigitizeEnhancedFollowing);
        actDigitizeEnhancedFollowing->setChecked(FEnhancements.Enhancements.EnhancedFollowing());
        Next.Save(FApp->ApplicationParameters().Folder());
        FEnhancements = Next;
        actDigitizeEnhancedFollowing->setChecked(Changed.EnhancedFollowing());
    };

    actDataProperties = Make("actDataProperties", "&Properties...",
                             "Data properties|Edit visual properties of data");
    Kind(actDataProperties, ckEditDigitizationProperties);
    actDataSelectByArea = Make("actDataSelectByArea", "&Select By Area",
                               "Select by area|Select points in a specified area");
    actDataSelectByArea->setIcon(DrawnIcon(EIcon::SelectArea));
    Kind(actDataSelectByArea, ckSelectByArea);
    actDataSelectAll = Make("actDataSelectAll", "Select &All", "Select all|Select all points");
    actDataSelectAll->setShortcut(QKeySequence("Ctrl+A"));
    Kind(actDataSelectAll, ckSelectAll);
    actDataSelectAll->OnExecute = [this] {
        TDigitization* Current = CurrentDigitization();
        if (!Current)
            throw EAssertion("actDataSelectAllExecute");
        ExecuteCommand(FApp->History(), std::make_unique<TSelectAllCommand>(), {Current});
    };
    actDataSelectNone = Make("actDataSelectNone", "Select &None", "Select none|Clear selection");
    Kind(actDataSelectNone, ckSelectNone);
    actDataSelectNone->OnExecute = [this] {
        TDigitization* Current = CurrentDigitization();
        if (!Current)
            throw EAssertion("actDataSelectNoneExecute");
        ExecuteCommand(FApp->History(), std::make_unique<TSelectNoneCommand>(), {Current});
    };
    actDataDeleteSelectedScatterData =
        Make("actDataDeleteSelectedScatterData", "&Delete Selected Scatter Data",
             "Delete selected scatter data|Delete selected scatter data");
    Kind(actDataDeleteSelectedScatterData, ckDeleteSelectedScatterData);
    actDataDeleteSelectedScatterData->OnExecute = [this] {
        auto* Scatter = dynamic_cast<TScatter*>(CurrentDigitization());
        if (!Scatter)
            throw EAssertion("actDataDeleteSelectedPointsExecute 1");
        if (Scatter->Selection().Count() == 0)
            throw EAssertion("actDataDeleteSelectedPointsExecute 2");
        ExecuteCommand(FApp->History(), std::make_unique<TDeleteSelectedScatterDataCommand>(),
                       {Scatter});
    };
    actDataErase = Make("actDataErase", "&Erase", "Erase|Erase part or all of vectorization");
    actDataErase->setIcon(S->standardIcon(QStyle::SP_TrashIcon));
    Kind(actDataErase, ckErase);
    actDataCalculate = Make("actDataCalculate", "&Calculate...",
                            "Calculate|Calculate a data set from digitized points");
    actDataCalculate->setIcon(DrawnIcon(EIcon::Calculate));
    actDataSortAscendingX = Make("actDataSortAscendingX", "&Ascending X",
                                 "Sort ascending X|Sort points in ascending order by X value");
    actDataSortAscendingY = Make("actDataSortAscendingY", "A&scending Y",
                                 "Sort ascending Y|Sort points in ascending order by Y value");
    actDataSortDescendingX = Make("actDataSortDescendingX", "&Descending X",
                                  "Sort descending X|Sort points in descending order by X value");
    actDataSortDescendingY = Make("actDataSortDescendingY", "D&escending Y",
                                  "Sort descending Y|Sort points in descending order by Y value");
    for (TAction* Sort : {actDataSortAscendingX, actDataSortAscendingY, actDataSortDescendingX,
                          actDataSortDescendingY})
        Kind(Sort, ckSortDigitization);
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
    actDataExport =
        Make("actDataExport", "E&xport...", "Export data|Export data to file or clipboard");
    actDataExport->setShortcut(QKeySequence("Ctrl+E"));
    actDataExport->setIcon(S->standardIcon(QStyle::SP_DialogSaveButton));
    Kind(actDataExport, ckExportData);
    actDataExport->OnExecute = [this] {
        auto* Mode = FApp->ModeManager().FindMode<TDigitizingMode>();
        if (!Mode)
            throw EAssertion("actDataExportExecute");
        Mode->Export();
    };

    actHelpContents = Make("actHelpContents", "&Contents", "Help|Display help contents");
    actHelpContents->setIcon(DrawnIcon(EIcon::Help));
    actHelpContents->OnExecute = [] { ShowHelpTopic(MainHelpContext); };
    actHelpIndex = Make("actHelpIndex", "&Index", "Help index|Display help index");
    actHelpIndex->OnExecute = [] { ShowHelpTopic(MainHelpContext); };
    actHelpAbout = Make("actHelpAbout", "&About...", "About|About Korvane");
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
    ExecuteCommand(FApp->History(), std::move(Command), {});
    const int Last = lbDigs->count() - 1;
    if (Last < 0)
        return;
    lbDigs->setCurrentRow(Last);
    ActivateDigitization(Last);
}

void TfrmMain::DeleteCurrentDigitization() {
    TDigitization* Current = CurrentDigitization();
    if (!Current)
        throw EAssertion("actDigitizeDeleteExecute");
    TApplicationModeManager& Modes = FApp->ModeManager();
    if (auto* Mode = Modes.FindMode<TDigitizingMode>(); Mode && Mode->Digitization == Current)
        while (Modes.CurrentMode())
            Modes.EndMode();
    ExecuteCommand(FApp->History(), std::make_unique<TDeleteDigitizationCommand>(),
                   {FApp->IndexOf(*Current)});
}

} // namespace korvane
