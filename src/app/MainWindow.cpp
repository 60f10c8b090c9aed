#include "app/MainWindow.h"

#include "app/About.h"
#include "core/Errors.h"
#include "core/Prompter.h"
#include "document/RecentFiles.h"
#include "image/ImageFormats.h"
#include "image/PanelScale.h"
#include "image/Scanner.h"
#include "interaction/ApplicationParameters.h"
#include "ui/common/HelpUtils.h"
#include "ui/common/NumberText.h"
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
#include <QBoxLayout>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QWhatsThis>

namespace korvane {

namespace {

constexpr int MainHelpContext = 900;

// Small toolbar pictures drawn in code where the style has none that fits.
enum class EIcon {
    Axes,
    Brush,
    Zoom,
    SelectArea,
    Calculate,
    Sort,
    Help,
    FunctionalLine,
    NonfunctionalLine,
    Scatter
};

QIcon DrawnIcon(EIcon Kind) {
    QPixmap Pixmap(16, 16);
    Pixmap.fill(Qt::transparent);
    QPainter P(&Pixmap);
    P.setRenderHint(QPainter::Antialiasing);
    QPen Pen(QColor(30, 30, 30), 1.4);
    P.setPen(Pen);
    switch (Kind) {
    case EIcon::Axes:
        P.drawLine(QPointF(2.5, 1), QPointF(2.5, 13.5));
        P.drawLine(QPointF(2.5, 13.5), QPointF(15, 13.5));
        P.setPen(QPen(QColor(0, 160, 0), 1.2));
        P.setBrush(QColor(0, 255, 0));
        P.drawEllipse(QPointF(2.5, 13.5), 2, 2);
        P.drawEllipse(QPointF(13, 13.5), 2, 2);
        P.drawEllipse(QPointF(2.5, 3), 2, 2);
        break;
    case EIcon::Brush:
        P.setPen(QPen(QColor(120, 80, 40), 2.2));
        P.drawLine(QPointF(14, 2), QPointF(7, 9));
        P.setPen(Qt::NoPen);
        P.setBrush(QColor(0, 128, 128));
        P.drawEllipse(QPointF(5, 11), 3.2, 3.2);
        break;
    case EIcon::Zoom:
        P.drawEllipse(QPointF(6.5, 6.5), 4.5, 4.5);
        P.setPen(QPen(QColor(30, 30, 30), 2.4));
        P.drawLine(QPointF(10, 10), QPointF(14.5, 14.5));
        break;
    case EIcon::SelectArea:
        P.setPen(QPen(QColor(30, 30, 30), 1, Qt::DotLine));
        P.drawRect(QRectF(1.5, 1.5, 12, 12));
        P.setPen(Qt::NoPen);
        P.setBrush(QColor(0, 0, 200));
        P.drawEllipse(QPointF(5, 9), 1.6, 1.6);
        P.drawEllipse(QPointF(9, 5), 1.6, 1.6);
        break;
    case EIcon::Calculate: {
        QPainterPath Sigma;
        Sigma.moveTo(12.5, 2.5);
        Sigma.lineTo(3.5, 2.5);
        Sigma.lineTo(8.5, 8);
        Sigma.lineTo(3.5, 13.5);
        Sigma.lineTo(12.5, 13.5);
        P.drawPath(Sigma);
        break;
    }
    case EIcon::Help: {
        P.setPen(Qt::NoPen);
        P.setBrush(QColor(40, 90, 200));
        P.drawEllipse(QRectF(1, 1, 14, 14));
        QFont Font = P.font();
        Font.setPixelSize(12);
        Font.setBold(true);
        P.setFont(Font);
        P.setPen(Qt::white);
        P.drawText(QRectF(1, 1, 14, 14), Qt::AlignCenter, "?");
        break;
    }
    case EIcon::FunctionalLine: {
        QPainterPath Curve;
        Curve.moveTo(1, 13);
        Curve.cubicTo(5, 1, 9, 15, 15, 3);
        P.drawPath(Curve);
        break;
    }
    case EIcon::NonfunctionalLine:
        P.drawEllipse(QRectF(2, 3, 12, 9));
        P.drawLine(QPointF(8, 12), QPointF(8, 15));
        break;
    case EIcon::Scatter:
        P.setPen(Qt::NoPen);
        P.setBrush(QColor(30, 30, 30));
        for (const QPointF C : {QPointF(3, 12), QPointF(6, 6), QPointF(10, 9), QPointF(13, 3)})
            P.drawEllipse(C, 1.6, 1.6);
        break;
    case EIcon::Sort:
        P.drawLine(QPointF(4.5, 2), QPointF(4.5, 14));
        P.drawLine(QPointF(4.5, 14), QPointF(2, 11));
        P.drawLine(QPointF(4.5, 14), QPointF(7, 11));
        for (int I = 0; I < 3; ++I)
            P.drawLine(QPointF(9, 3.5 + 4 * I), QPointF(11 + 2 * I, 3.5 + 4 * I));
        break;
    }
    return QIcon(Pixmap);
}

QString Q(const std::string& Text) {
    return QString::fromStdString(Text);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Start-up and shut-down

TfrmMain::TfrmMain(const std::string& Folder, IPrompter& Prompter, QWidget* Parent)
    : QMainWindow(Parent) {
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
    FLineDataPanel->SetActive(false);
    FScatterDataPanel->SetActive(false);

    FGuide->SetHost(pnlGuideContent);
    FGuide->SetReceiver(this);

    FApp->AddListener(this);
    FApp->History().AddListener(this);
    FApp->CommandManager().AddListener(this);
    FApp->ModeManager().AddListener(this);
    FApp->FileParameters().AddListener(this);
    FApp->ModeManager().SetGuideContainer(FGuide.get());

    UpdateUndoRedoCaptions();
    SetDigitizationListEnabled(false);

    TCommandManager& Commands = FApp->CommandManager();
    Commands.DisableCommands(TCommandKinds::All());
    Commands.EnableCommands(CommandsRequiring(rqFile) - TCommandKinds{ckCloseFile});

    stbCoords->clear();
    lblDataStatus->clear();

    std::string LoadError;
    try {
        FApp->LoadApplicationParameters(FApp->ApplicationParameters().FileName());
    } catch (const std::exception& Error) {
        LoadError = Error.what();
    }
    if (!LoadError.empty())
        FApp->Prompter().Ask(EMessageKind::Error, LoadError, mbOK);
    try {
        FEnhancements.Load(FApp->ApplicationParameters().Folder());
    } catch (const std::exception& Error) {
        FApp->Prompter().Ask(EMessageKind::Error, Error.what(), mbOK);
    }
    actDigitizeEnhancedFollowing->setChecked(FEnhancements.Enhancements.EnhancedFollowing());

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
    // Modes refer to the panel and the actions: end them while both exist.
    while (FApp->ModeManager().CurrentMode())
        FApp->ModeManager().EndMode();
    FApp->ApplicationParameters().RecentFiles().OnChange = nullptr;
    FApp->ModeManager().SetGuideContainer(nullptr);
    for (std::int32_t I = 0; I < FApp->Count(); ++I)
        FApp->Digitization(I).RemoveListener(this);
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
    if (B.Right > B.Left && B.Bottom > B.Top) {
        resize(B.Right - B.Left, B.Bottom - B.Top);
        move(B.Left, B.Top);
    }
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

// ---------------------------------------------------------------------------------------------
// Actions, menus and controls

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
        const QString Filter =
            Q(TImageFormatRegistry::DialogFilter()) + QStringLiteral(";;All files (*)");
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

void TfrmMain::CreateControls() {
    auto* Central = new QWidget(this);
    auto* CentralLayout = new QVBoxLayout(Central);
    CentralLayout->setContentsMargins(0, 0, 0, 0);
    CentralLayout->setSpacing(0);

    pzImage = new TKorvanePanel(Central);
    pzImage->setObjectName("pzImage");
    pzImage->View().Movable = false;
    pzImage->View().SetSmallChange(2);
    pzImage->View().RubberBand().SetBandWidth(1);
    pzImage->View().UseProportionalRubberBand = false;
    pzImage->SetShowScalePoints(false);
    pzImage->View().AddListener(this);
    pzImage->Scale().OnScaleDefined = [this] { ScaleDefined(); };
    pzImage->Scale().OnScaleUndefined = [this] { ScaleUndefined(); };
    pzImage->ThicknessToleranceSource = [this] {
        return FApp->FileParameters().VectorizerParameters.ThicknessTolerance();
    };
    pzImage->FollowerSettingsSource = [this]() -> const TVectorizerParameters& {
        return FApp->FileParameters().VectorizerParameters;
    };
    pzImage->FollowerEnhancementsSource = [this] { return FEnhancements.Enhancements; };
    pzImage->SelectedPointColorSource = [this] {
        return FApp->FileParameters().VectorizerParameters.SelectedPointColor;
    };
    pzImage->OnDropFile = [this](const QString& Name) { OpenImage(Name); };
    CentralLayout->addWidget(pzImage, 1);

    pnlGuide = new QWidget(Central);
    pnlGuide->setObjectName("pnlGuide");
    pnlGuide->setFixedHeight(150);
    auto* GuideLayout = new QVBoxLayout(pnlGuide);
    GuideLayout->setContentsMargins(0, 0, 0, 0);
    GuideLayout->setSpacing(0);
    auto* Header = new QWidget(pnlGuide);
    auto* HeaderLayout = new QHBoxLayout(Header);
    HeaderLayout->setContentsMargins(4, 1, 1, 1);
    auto* HeaderLabel = new QLabel("Guide", Header);
    QFont Bold = HeaderLabel->font();
    Bold.setBold(true);
    HeaderLabel->setFont(Bold);
    HeaderLayout->addWidget(HeaderLabel, 1);
    auto* CloseGuide = new QToolButton(Header);
    CloseGuide->setObjectName("btnCloseGuide");
    CloseGuide->setAutoRaise(true);
    CloseGuide->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    CloseGuide->setToolTip("Close guide");
    CloseGuide->setStatusTip("Close guide");
    connect(CloseGuide, &QToolButton::clicked, this,
            [this] { Guarded([this] { actViewCloseGuide->Execute(); }); });
    HeaderLayout->addWidget(CloseGuide);
    GuideLayout->addWidget(Header);
    pnlGuideContent = new QWidget(pnlGuide);
    pnlGuideContent->setObjectName("pnlGuideContent");
    pnlGuideContent->setAutoFillBackground(true);
    QPalette GuidePalette = pnlGuideContent->palette();
    GuidePalette.setColor(QPalette::Window, GuidePalette.color(QPalette::Base));
    pnlGuideContent->setPalette(GuidePalette);
    QFont GuideFont = pnlGuideContent->font();
    GuideFont.setPixelSize(15);
    pnlGuideContent->setFont(GuideFont);
    GuideLayout->addWidget(pnlGuideContent, 1);
    CentralLayout->addWidget(pnlGuide);

    stbCoords = new QLabel(Central);
    stbCoords->setObjectName("stbCoords");
    stbCoords->setFrameShape(QFrame::StyledPanel);
    stbCoords->setFrameShadow(QFrame::Sunken);
    stbCoords->setMinimumHeight(stbCoords->fontMetrics().height() + 6);
    stbCoords->setContextMenuPolicy(Qt::CustomContextMenu);
    stbCoords->setTextInteractionFlags(Qt::TextSelectableByMouse);
    CentralLayout->addWidget(stbCoords);
    setCentralWidget(Central);

    stbHintsText = new QLabel(this);
    stbHintsText->setObjectName("stbHintsText");
    statusBar()->setObjectName("stbHints");
    statusBar()->addWidget(stbHintsText, 1);

    // The data panel: the list of data sets above, the data below.
    pnlData = new TUnclosableDockForm("Data", this);
    pnlData->setObjectName("pnlData");
    pnlData->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    pnlData->setAllowedAreas(Qt::RightDockWidgetArea);
    splData = new QSplitter(Qt::Vertical, pnlData);
    splData->setObjectName("splData");
    splData->setChildrenCollapsible(false);

    auto* DigsPanel = new QWidget(splData);
    auto* DigsLayout = new QVBoxLayout(DigsPanel);
    DigsLayout->setContentsMargins(2, 2, 2, 2);
    DigsLayout->addWidget(new QLabel("Data Sets", DigsPanel));
    lbDigs = new QListWidget(DigsPanel);
    lbDigs->setObjectName("lbDigs");
    lbDigs->setMinimumHeight(16);
    lbDigs->setContextMenuPolicy(Qt::CustomContextMenu);
    DigsLayout->addWidget(lbDigs, 1);

    auto* DataPanel = new QWidget(splData);
    auto* DataLayout = new QVBoxLayout(DataPanel);
    DataLayout->setContentsMargins(2, 2, 2, 2);
    DataLayout->addWidget(new QLabel("Data", DataPanel));
    // The data properties: for lines, the approximator choice and its parameter panel.
    pnlDataProperties = new QWidget(DataPanel);
    pnlDataProperties->setObjectName("pnlDataProperties");
    auto* PropertiesLayout = new QVBoxLayout(pnlDataProperties);
    PropertiesLayout->setContentsMargins(0, 0, 0, 0);
    pnlLineDataProperties = new QWidget(pnlDataProperties);
    pnlLineDataProperties->setObjectName("pnlLineDataProperties");
    auto* LineLayout = new QVBoxLayout(pnlLineDataProperties);
    LineLayout->setContentsMargins(0, 0, 0, 0);
    auto* ShowRow = new QHBoxLayout();
    auto* ShowLabel = new QLabel("&Show", pnlLineDataProperties);
    cboCurveApproximator = new QComboBox(pnlLineDataProperties);
    cboCurveApproximator->setObjectName("cboCurveApproximator");
    ShowLabel->setBuddy(cboCurveApproximator);
    ShowRow->addWidget(ShowLabel);
    ShowRow->addWidget(cboCurveApproximator, 1);
    LineLayout->addLayout(ShowRow);
    pnlParamPanelParent = new QWidget(pnlLineDataProperties);
    pnlParamPanelParent->setObjectName("pnlParamPanelParent");
    LineLayout->addWidget(pnlParamPanelParent);
    PropertiesLayout->addWidget(pnlLineDataProperties);
    DataLayout->addWidget(pnlDataProperties);
    dgDigData = new TDigitizationGrid(DataPanel);
    dgDigData->setObjectName("dgDigData");
    dgDigData->setContextMenuPolicy(Qt::CustomContextMenu);
    DataLayout->addWidget(dgDigData, 1);
    lblDataStatus = new QLabel(DataPanel);
    lblDataStatus->setObjectName("lblDataStatus");
    DataLayout->addWidget(lblDataStatus);
    pnlData->setWidget(splData);
    addDockWidget(Qt::RightDockWidgetArea, pnlData);

    connect(pnlData, &QDockWidget::topLevelChanged, this,
            [this](bool Floating) { actViewSeparateWindow->setChecked(Floating); });
    connect(lbDigs, &QListWidget::currentRowChanged, this, [this](int Row) {
        Guarded([this, Row] {
            if (Row >= 0)
                ActivateDigitization(Row);
            UpdateDeleteAction();
        });
    });
    connect(lbDigs, &QListWidget::itemDoubleClicked, this,
            [this] { Guarded([this] { actDataProperties->Execute(); }); });
    connect(stbCoords, &QLabel::customContextMenuRequested, this,
            [this](const QPoint& P) { popCoords->popup(stbCoords->mapToGlobal(P)); });
    connect(lbDigs, &QListWidget::customContextMenuRequested, this,
            [this](const QPoint& P) { popDigs->popup(lbDigs->viewport()->mapToGlobal(P)); });
    connect(dgDigData, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& P) { popDigData->popup(dgDigData->viewport()->mapToGlobal(P)); });
}

void TfrmMain::CreateMenus() {
    QMenuBar* Bar = menuBar();
    mnuFile = Bar->addMenu("&File");
    mnuFile->addAction(actFileOpen);
    mnuRecentFiles = mnuFile->addMenu("&Recent Files");
    mnuFile->addAction(actFileSaveImageAs);
    mnuFile->addAction(actFileClose);
    mnuFile->addSeparator();
    mnuImport = mnuFile->addMenu("&Import");
    mnuFile->addSeparator();
    mnuFile->addAction(actFileExit);

    mnuEdit = Bar->addMenu("&Edit");
    mnuEdit->addAction(actEditUndo);
    mnuEdit->addAction(actEditRedo);
    mnuEdit->addSeparator();
    mnuEdit->addAction(actEditDefineCoordinateSystem);
    mnuEdit->addAction(actEditUnits);
    mnuEdit->addAction(actEditFormats);
    mnuEdit->addSeparator();
    mnuEdit->addAction(actEditPaint);
    mnuEdit->addSeparator();
    mnuEdit->addAction(actEditPreferences);

    mnuView = Bar->addMenu("&View");
    mnuView->addAction(actViewZoomToArea);
    mnuView->addAction(actViewActualSize);
    // The menu's zoom items say by how much.
    auto* MenuZoomIn = new TAction("Zoom &In", "Zoom In 100%|Zoom in 100%", this);
    MenuZoomIn->setShortcut(actViewZoomIn->shortcut());
    MenuZoomIn->setShortcutContext(Qt::WidgetShortcut);
    MenuZoomIn->OnExecute = [this] { actViewZoomIn->Execute(); };
    connect(actViewZoomIn, &QAction::changed, MenuZoomIn,
            [this, MenuZoomIn] { MenuZoomIn->setEnabled(actViewZoomIn->isEnabled()); });
    auto* MenuZoomOut = new TAction("Zoom &Out", "Zoom Out 100%|Zoom out 100%", this);
    MenuZoomOut->setShortcut(actViewZoomOut->shortcut());
    MenuZoomOut->setShortcutContext(Qt::WidgetShortcut);
    MenuZoomOut->OnExecute = [this] { actViewZoomOut->Execute(); };
    connect(actViewZoomOut, &QAction::changed, MenuZoomOut,
            [this, MenuZoomOut] { MenuZoomOut->setEnabled(actViewZoomOut->isEnabled()); });
    mnuView->addAction(MenuZoomIn);
    mnuView->addAction(MenuZoomOut);
    mnuView->addSeparator();
    mnuDigitizations = mnuView->addMenu("&Digitizations");
    mnuView->addSeparator();
    mnuView->addAction(actViewSeparateWindow);
    mnuView->addAction(actViewShowGuide);
    mnuView->addAction(actViewCloseGuide);
    connect(mnuDigitizations, &QMenu::aboutToShow, this, [this] {
        // Entries after the separator are rebuilt each time: one per data set.
        mnuDigitizations->clear();
        mnuDigitizations->addAction(actViewDigitizationsAll);
        mnuDigitizations->addAction(actViewDigitizationsNone);
        mnuDigitizations->addAction(actViewDigitizationsLines);
        mnuDigitizations->addAction(actViewDigitizationsScatters);
        mnuDigitizations->addSeparator();
        for (std::int32_t I = 0; I < FApp->Count(); ++I) {
            TDigitization* D = &FApp->Digitization(I);
            QAction* Entry = mnuDigitizations->addAction(Q(D->Name()));
            Entry->setCheckable(true);
            Entry->setChecked(D->Visible);
            connect(Entry, &QAction::triggered, this, [this, D] {
                Guarded([this, D] {
                    if (FApp->IndexOf(*D) < 0)
                        return;
                    if (D == CurrentDigitization()) {
                        D->Visible = true;
                        return;
                    }
                    D->Visible = !D->Visible;
                    pzImage->RepaintImage();
                });
            });
        }
    });

    mnuDigitize = Bar->addMenu("&Digitize");
    mnuDigitize->addAction(actDigitizeNewFunctionalLine);
    mnuDigitize->addAction(actDigitizeNewNonfunctionalLine);
    mnuDigitize->addAction(actDigitizeNewScatter);
    mnuDigitize->addSeparator();
    mnuDigitize->addAction(actDigitizeDelete);
    mnuDigitize->addSeparator();
    mnuDigitize->addAction(actDigitizeBack);
    mnuDigitize->addAction(actDigitizeResume);
    mnuDigitize->addAction(actDigitizePause);
    mnuDigitize->addSeparator();
    mnuDigitize->addAction(actDigitizeEnhancedFollowing);

    const auto AddSorts = [this](QMenu* Menu) {
        Menu->addAction(actDataSortAscendingX);
        Menu->addAction(actDataSortAscendingY);
        Menu->addAction(actDataSortDescendingX);
        Menu->addAction(actDataSortDescendingY);
    };
    mnuData = Bar->addMenu("D&ata");
    mnuData->addAction(actDataProperties);
    mnuData->addSeparator();
    mnuData->addAction(actDataSelectByArea);
    mnuData->addAction(actDataSelectAll);
    mnuData->addAction(actDataSelectNone);
    mnuData->addAction(actDataDeleteSelectedScatterData);
    mnuData->addAction(actDataErase);
    mnuData->addSeparator();
    mnuData->addAction(actDataCalculate);
    mnuDataSort = mnuData->addMenu("So&rt Scatter Data");
    AddSorts(mnuDataSort);
    mnuData->addSeparator();
    mnuData->addAction(actDataExport);

    mnuHelp = Bar->addMenu("&Help");
    mnuHelp->addAction(actHelpContents);
    mnuHelp->addAction(actHelpIndex);
    mnuHelp->addSeparator();
    mnuHelp->addAction(actHelpAbout);

    // Pop-up menus.
    popImport = new QMenu(this);
    popDataSort = new QMenu(this);
    AddSorts(popDataSort);
    popDigs = new QMenu(this);
    popDigs->addAction(actDataProperties);
    auto* PopDelete = new TAction("&Delete", "Delete|Delete data set", this);
    PopDelete->OnExecute = [this] { actDigitizeDelete->Execute(); };
    connect(actDigitizeDelete, &QAction::changed, PopDelete,
            [this, PopDelete] { PopDelete->setEnabled(actDigitizeDelete->isEnabled()); });
    PopDelete->setEnabled(false);
    popDigs->addAction(PopDelete);
    popDigs->addSeparator();
    auto* PopSeparate = new TAction(
        "&Separate Window", "Show data in separate window|Show data in separate window", this);
    PopSeparate->setCheckable(true);
    PopSeparate->OnExecute = [this] { actViewSeparateWindow->Execute(); };
    connect(actViewSeparateWindow, &QAction::changed, PopSeparate,
            [this, PopSeparate] { PopSeparate->setChecked(actViewSeparateWindow->isChecked()); });
    popDigs->addAction(PopSeparate);
    popDigData = new QMenu(this);
    popDigData->addAction(actDataSelectAll);
    popDigData->addAction(actDataSelectNone);
    QMenu* PopSort = popDigData->addMenu("&Sort Scatter Data");
    AddSorts(PopSort);
    popDigData->addAction(actDataDeleteSelectedScatterData);
    popDigData->addSeparator();
    popDigData->addAction(actDataExport);
    popCoords = new QMenu(this);
    popCoords->addAction(actEditUnits);
    popCoords->addAction(actEditFormats);

    // The toolbar.
    QToolBar* Tools = addToolBar("Toolbar");
    Tools->setObjectName("tbMain");
    Tools->setMovable(false);
    Tools->setIconSize(QSize(16, 16));
    Tools->addAction(actFileOpen);
    Tools->addAction(actFileClose);
    Tools->addSeparator();
    Tools->addAction(actEditUndo);
    Tools->addAction(actEditRedo);
    Tools->addSeparator();
    Tools->addAction(actEditDefineCoordinateSystem);
    Tools->addAction(actEditPaint);
    Tools->addAction(actViewZoomToArea);
    Tools->addSeparator();
    Tools->addAction(actDigitizeBack);
    Tools->addAction(actDigitizeResume);
    Tools->addAction(actDigitizePause);
    Tools->addSeparator();
    Tools->addAction(actDataSelectByArea);
    Tools->addAction(actDataErase);
    Tools->addAction(actDataCalculate);
    auto* SortButton = new QToolButton(Tools);
    SortButton->setObjectName("btnSort");
    SortButton->setIcon(DrawnIcon(EIcon::Sort));
    SortButton->setToolTip("Sort");
    SortButton->setStatusTip("Sort scatter data");
    SortButton->setMenu(popDataSort);
    SortButton->setPopupMode(QToolButton::InstantPopup);
    SortButton->setEnabled(false);
    connect(actDataSortAscendingX, &QAction::changed, SortButton, [this, SortButton] {
        SortButton->setEnabled(actDataSortAscendingX->isEnabled());
        mnuDataSort->setEnabled(actDataSortAscendingX->isEnabled());
    });
    Tools->addWidget(SortButton);
    Tools->addSeparator();
    Tools->addAction(actDataExport);
    Tools->addSeparator();
    Tools->addAction(actHelpContents);
}

// ---------------------------------------------------------------------------------------------
// Keeping the controls in step

void TfrmMain::CommandStatesChanged(TCommandManager& Sender) {
    for (const auto& [Action, Kind] : FActionKinds)
        Action->setEnabled(Sender.Enabled(Kind) && Action->OnExecute != nullptr);
    // Saving the picture needs an open image, like closing it.
    actFileSaveImageAs->setEnabled(FApp->FileIsOpen() && pzImage->HasImage());
    actDataCalculate->setEnabled(false);
    actHelpContents->setEnabled(HelpAvailable());
    actHelpIndex->setEnabled(HelpAvailable());
    UpdateDeleteAction();
    UpdateDigitizationsMenu();
}

void TfrmMain::UpdateDeleteAction() {
    TDigitization* Current = CurrentDigitization();
    actDigitizeDelete->setText(Current ? "&Delete " + Q(Current->Name()) : QString("&Delete"));
    actDigitizeDelete->setEnabled(Current && FApp->CommandManager().Enabled(ckDeleteDigitization) &&
                                  actDigitizeDelete->OnExecute != nullptr);
}

void TfrmMain::UpdateDigitizationsMenu() {
    const bool Any = FApp && FApp->Count() > 0;
    mnuDigitizations->setEnabled(Any);
    actViewDigitizationsAll->setEnabled(Any);
    actViewDigitizationsNone->setEnabled(Any);
    actViewDigitizationsLines->setEnabled(FApp && FApp->LineCount() > 0);
    actViewDigitizationsScatters->setEnabled(FApp && FApp->ScatterCount() > 0);
}

void TfrmMain::UpdateUndoRedoCaptions() {
    const THistoryList& History = FApp->History();
    if (History.CanUndo()) {
        actEditUndo->setText("&Undo " + Q(History.UndoCommand()->GetName()));
        actEditUndo->setEnabled(true);
    } else {
        actEditUndo->setText("Can't &Undo");
        actEditUndo->setEnabled(false);
    }
    if (History.CanRedo()) {
        actEditRedo->setText("&Redo " + Q(History.RedoCommand()->GetName()));
        actEditRedo->setEnabled(true);
    } else {
        actEditRedo->setText("Can't &Redo");
        actEditRedo->setEnabled(false);
    }
}

void TfrmMain::HistoryChanged(THistoryList&) {
    UpdateUndoRedoCaptions();
}

void TfrmMain::FileParametersChanged(TFileParameters&) {
    dgDigData->viewport()->update();
}

void TfrmMain::ModeStarted(TApplicationModeManager& Sender) {
    if (!Sender.CurrentMode())
        RefreshIdleGuide();
    else if (Sender.CurrentMode()->HelpContext != 0)
        SetHelpContext(*this, Sender.CurrentMode()->HelpContext);
}

void TfrmMain::ModeEnded(TApplicationModeManager& Sender) {
    if (!Sender.CurrentMode())
        RefreshIdleGuide();
    SetHelpContext(*this, MainHelpContext);
}

void TfrmMain::StatusMessageChanged() {
    stbHintsText->setText(Q(FApp->StatusMessage()));
}

void TfrmMain::RefreshIdleGuide() {
    if (FApp->ModeManager().CurrentMode())
        return;
    EIdleGuideState State = EIdleGuideState::NoImage;
    if (FApp->FileIsOpen())
        State = pzImage->ScaleDefined() ? EIdleGuideState::CoordinateSystem
                                        : EIdleGuideState::NoCoordinateSystem;
    FillIdleGuide(*FGuide, State);
}

void TfrmMain::SetDigitizationListEnabled(bool Enabled) {
    lbDigs->setEnabled(Enabled);
    QPalette P = lbDigs->palette();
    P.setColor(QPalette::Base, Enabled ? QApplication::palette().color(QPalette::Base)
                                       : QApplication::palette().color(QPalette::Window));
    lbDigs->setPalette(P);
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

void TfrmMain::UpdateRecentFilesMenu() {
    mnuRecentFiles->clear();
    const TRecentFilesList& Recent = FApp->ApplicationParameters().RecentFiles();
    for (std::int32_t I = 0; I < Recent.Count(); ++I) {
        const QString Path = Q(Recent.Files(I));
        QAction* Entry = mnuRecentFiles->addAction(QString("&%1 %2").arg(I + 1).arg(Path));
        connect(Entry, &QAction::triggered, this,
                [this, Path] { Guarded([this, &Path] { OpenImage(Path); }); });
    }
    mnuRecentFiles->setEnabled(Recent.Count() > 0);
}

void TfrmMain::BuildImportMenu() {
    if (FImportBuilt)
        return;
    FImportBuilt = true;
    mnuImport->clear();
    popImport->clear();
    bool Any = false;
    try {
        TScanner& Scanner = TScanner::Instance();
        if (Scanner.Available()) {
            const auto& Sources = Scanner.Sources();
            for (std::size_t I = 0; I < Sources.size(); ++I) {
                const QString Caption = QString("&%1 %2...").arg(I + 1).arg(Q(Sources[I].Caption));
                const int Index = static_cast<int>(I);
                for (QMenu* Menu : {mnuImport, popImport}) {
                    QAction* Entry = Menu->addAction(Caption);
                    connect(Entry, &QAction::triggered, this,
                            [this, Index] { Guarded([this, Index] { Acquire(Index); }); });
                }
                Any = true;
            }
        }
    } catch (const std::exception&) {
        Any = false;
    }
    if (!Any) {
        for (QMenu* Menu : {mnuImport, popImport})
            Menu->addAction("No scanner found")->setEnabled(false);
    }
}

// ---------------------------------------------------------------------------------------------
// The coordinate system

void TfrmMain::SetDefineCaption(const QString& Caption, const QString& Hint) {
    // A running mode may have borrowed the action: it puts these back when it stops.
    auto* Mode = dynamic_cast<TKorvaneMode*>(FApp->ModeManager().CurrentMode());
    if (Mode && Mode->Action == actEditDefineCoordinateSystem &&
        Mode->SetSavedCaption(Caption, Hint))
        return;
    actEditDefineCoordinateSystem->setText(Caption);
    actEditDefineCoordinateSystem->SetHint(Hint);
}

void TfrmMain::ScaleDefined() {
    SetDigitizationListEnabled(true);
    SetDefineCaption("Re&define Coordinate System",
                     "Redefine coordinate system|Redefine the image's coordinate system");
    FApp->CommandManager().EnableCommands(CommandsRequiring(rqScale) -
                                          TCommandKinds{ckCloseDigitization});
    pzImage->View().OnMouseMove = [this](unsigned, TLongintPoint, TLongintPoint Master) {
        ShowMouseCoordinates(Master);
    };
    RefreshIdleGuide();
}

void TfrmMain::ScaleUndefined() {
    SetDigitizationListEnabled(false);
    SetDefineCaption("&Define Coordinate System",
                     "Define coordinate system|Define the image's coordinate system");
    pzImage->View().OnMouseMove = nullptr;
    stbCoords->clear();
    FApp->CommandManager().DisableCommands(CommandsRequiring(rqScale));
    RefreshIdleGuide();
}

void TfrmMain::ShowMouseCoordinates(TLongintPoint Master) {
    if (!pzImage->ScaleDefined())
        return;
    try {
        const TDoublePoint Real = pzImage->CurrentScaleSystem().ImageToReal(Master);
        const TFileParameters& File = FApp->FileParameters();
        const char Separator = DisplayDecimalSeparator();
        const std::string Text =
            "X:  " + File.Formats.XFormat.Format(Real.X, Separator) + "  " + File.Units.X +
            "      Y:  " + File.Formats.YFormat.Format(Real.Y, Separator) + "  " + File.Units.Y;
        stbCoords->setText(Q(Text));
    } catch (const std::exception&) {
        // A point without a real value (beyond a logarithmic axis' range) shows nothing.
        stbCoords->clear();
    }
}

QString TfrmMain::CoordinatesText() const {
    return stbCoords->text();
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

// ---------------------------------------------------------------------------------------------
// Opening and closing

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
    QString Suggested = Q(FApp->FileParameters().ImageFileName());
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

// ---------------------------------------------------------------------------------------------
// Data sets

TDigitization* TfrmMain::CurrentDigitization() const {
    const int Row = lbDigs->currentRow();
    if (!FApp || Row < 0 || Row >= FApp->Count())
        return nullptr;
    return &FApp->Digitization(Row);
}

void TfrmMain::ActivateDigitization(std::int32_t Index) {
    if (Index < 0 || Index >= FApp->Count())
        throw EAssertion("OpenDig");
    UpdateDeleteAction();
    TDigitization& D = FApp->Digitization(Index);
    TApplicationModeManager& Modes = FApp->ModeManager();
    if (auto* Mode = Modes.FindMode<TDigitizingMode>(); Mode && Mode->Digitization == &D)
        return;
    if (!D.Visible) {
        D.Visible = true;
        pzImage->RepaintImage();
    }
    while (Modes.FindMode<TDigitizingMode>())
        Modes.EndMode();
    std::unique_ptr<TApplicationCommand> Open;
    TDigitizationDataPanel* View = nullptr;
    if (dynamic_cast<TFunctionalLine*>(&D)) {
        Open = std::make_unique<TOpenFunctionalLineCommand>();
        View = FLineDataPanel.get();
    } else if (dynamic_cast<TNonfunctionalLine*>(&D)) {
        Open = std::make_unique<TOpenNonfunctionalLineCommand>();
        View = FLineDataPanel.get();
    } else if (dynamic_cast<TScatter*>(&D)) {
        Open = std::make_unique<TOpenScatterCommand>();
        View = FScatterDataPanel.get();
    } else {
        throw EKorvane("Unknown digitization class: " + D.ClassName());
    }
    ExecuteCommand(FApp->History(), std::move(Open), {pzImage, &D, View, statusBar()});
    pzImage->RepaintImage();
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

bool TfrmMain::FollowerRunning() const {
    const auto* Line = dynamic_cast<const TLine*>(CurrentDigitization());
    return Line && Line->Following();
}

void TfrmMain::FollowingStarted(TLine&) {
    SetDigitizationListEnabled(false);
    actDigitizePause->setShortcut(QKeySequence(Qt::Key_Escape));
}

void TfrmMain::FollowingEnded() {
    SetDigitizationListEnabled(pzImage->ScaleDefined());
    actDigitizePause->setShortcut(QKeySequence());
}

void TfrmMain::FollowingFailed(TLine&) {
    FollowingEnded();
}

void TfrmMain::FollowingFinished(TLine&) {
    FollowingEnded();
}

void TfrmMain::DigitizationInserted(TDigitization& Digitization, std::int32_t Index) {
    Digitization.Visible = true;
    Digitization.SetPanel(pzImage);
    Digitization.AddListener(this);
    auto* Item = new QListWidgetItem(Q(Digitization.Name()));
    Item->setIcon(DrawnIcon(dynamic_cast<TScatter*>(&Digitization) ? EIcon::Scatter
                            : dynamic_cast<TFunctionalLine*>(&Digitization)
                                ? EIcon::FunctionalLine
                                : EIcon::NonfunctionalLine));
    const TColor C = Digitization.DisplayColor();
    Item->setForeground(QColor(GetRValue(C), GetGValue(C), GetBValue(C)));
    lbDigs->insertItem(Index, Item);
    if (!FApp->Opening() && lbDigs->currentRow() < 0) {
        lbDigs->setCurrentRow(Index);
    }
    pzImage->RepaintImage();
    UpdateDigitizationsMenu();
}

void TfrmMain::DigitizationDeleted(TDigitization& Digitization, std::int32_t Index) {
    Digitization.RemoveListener(this);
    const QSignalBlocker Block(lbDigs);
    delete lbDigs->takeItem(Index);
    if (!FApp->Closing() && lbDigs->count() > 0) {
        lbDigs->setCurrentRow(std::min<int>(Index, lbDigs->count() - 1));
        ActivateDigitization(lbDigs->currentRow());
    } else {
        lbDigs->setCurrentRow(-1);
    }
    pzImage->RepaintImage();
    if (!CurrentDigitization())
        FApp->CommandManager().DisableCommands(CommandsRequiring(rqDigitization));
    UpdateDeleteAction();
    UpdateDigitizationsMenu();
}

void TfrmMain::DigitizationChanged(TDigitization& Digitization) {
    const std::int32_t Index = FApp->IndexOf(Digitization);
    if (QListWidgetItem* Item = lbDigs->item(Index)) {
        Item->setText(Q(Digitization.Name()));
        const TColor C = Digitization.DisplayColor();
        Item->setForeground(QColor(GetRValue(C), GetGValue(C), GetBValue(C)));
    }
    pzImage->RepaintImage();
    UpdateDeleteAction();
}

void TfrmMain::PointsAdded(TDigitization& Digitization) {
    // A running follower draws its points itself.
    const auto* Line = dynamic_cast<const TLine*>(&Digitization);
    if (Line && Line->Following())
        return;
    pzImage->RepaintImage();
}

void TfrmMain::PointsChanged(TDigitization&) {
    pzImage->RepaintImage();
}

void TfrmMain::PanelPainted(TPanZoomView&) {
    TDigitization* Current = CurrentDigitization();
    for (std::int32_t I = 0; I < FApp->Count(); ++I) {
        const TDigitization& D = FApp->Digitization(I);
        if (&D != Current && D.Visible)
            D.Draw();
    }
    if (Current && Current->Visible)
        Current->Draw();
}

// ---------------------------------------------------------------------------------------------
// Events and keys

bool TfrmMain::event(QEvent* Event) {
    if (Event->type() == ModeEndEventType) {
        Guarded([&] { HandleModeEndEvent(*Event, FApp->ModeManager()); });
        return true;
    }
    if (Event->type() == GuideLinkEventType) {
        const auto* Link = static_cast<TGuideLinkEvent*>(Event);
        const QString Text = Link->Text();
        const QPoint Anchor = Link->Anchor();
        TGuideContentContainer* Container = Link->Container();
        Guarded([&] { GuideLinkClicked(Container, Text, Anchor); });
        return true;
    }
    return QMainWindow::event(Event);
}

void TfrmMain::GuideLinkClicked(TGuideContentContainer* Container, QString Text, QPoint Anchor) {
    if (auto* Mode = dynamic_cast<TKorvaneMode*>(FApp->ModeManager().CurrentMode());
        Mode && Container)
        Mode->GuideLinkClicked(*Container, Text);
    if (Text.isEmpty())
        return;
    switch (GuideLinkReaction(Text)) {
    case EGuideLinkReaction::None:
        break;
    case EGuideLinkReaction::NewFunctionalLine:
        actDigitizeNewFunctionalLine->Execute();
        break;
    case EGuideLinkReaction::NewNonfunctionalLine:
        actDigitizeNewNonfunctionalLine->Execute();
        break;
    case EGuideLinkReaction::NewScatter:
        actDigitizeNewScatter->Execute();
        break;
    case EGuideLinkReaction::DefineCoordinateSystem:
        actEditDefineCoordinateSystem->Execute();
        break;
    case EGuideLinkReaction::ZoomToArea:
        actViewZoomToArea->Execute();
        break;
    case EGuideLinkReaction::OpenFile:
        actFileOpen->Execute();
        break;
    case EGuideLinkReaction::ImportMenu:
        BuildImportMenu();
        popImport->popup(Anchor);
        break;
    case EGuideLinkReaction::SortMenu:
        popDataSort->popup(Anchor);
        break;
    case EGuideLinkReaction::Export:
        actDataExport->Execute();
        break;
    case EGuideLinkReaction::DigitizeBack:
        actDigitizeBack->Execute();
        break;
    case EGuideLinkReaction::Erase:
        actDataErase->Execute();
        break;
    case EGuideLinkReaction::Undo:
        actEditUndo->Execute();
        break;
    case EGuideLinkReaction::Resume:
        actDigitizeResume->Execute();
        break;
    case EGuideLinkReaction::Mark:
        // The painting mode arrives with painting on the image.
        actEditPaint->Execute();
        break;
    }
}

bool TfrmMain::eventFilter(QObject* Watched, QEvent* Event) {
    const QEvent::Type Type = Event->type();
    if (Type != QEvent::KeyPress && Type != QEvent::KeyRelease)
        return QMainWindow::eventFilter(Watched, Event);
    // Keys reach the window first: once per key event, at the widget it is sent to.
    auto* Widget = qobject_cast<QWidget*>(Watched);
    if (!Widget || Widget->window() != this)
        return false;
    QWidget* Focus = QApplication::focusWidget();
    if (Widget != (Focus ? Focus : this))
        return false;
    auto* Key = static_cast<QKeyEvent*>(Event);
    bool Consumed = false;
    Guarded([&] {
        if (Type == QEvent::KeyRelease) {
            Consumed = KeyUp(Watched, Key->key(), Key->modifiers());
            return;
        }
        Consumed = KeyDown(Watched, Key->key(), Key->modifiers());
        // The character of the key goes to the current mode as a key press.
        TApplicationMode* Mode = FApp->ModeManager().CurrentMode();
        if (!Consumed && Mode && Key->text().size() == 1) {
            char16_t Char = Key->text().at(0).unicode();
            Mode->KeyPress(Watched, Char);
            Consumed = Char == 0;
        }
    });
    return Consumed;
}

bool TfrmMain::KeyDown(QObject* Receiver, int QtKey, Qt::KeyboardModifiers Shift) {
    TApplicationMode* Mode = FApp->ModeManager().CurrentMode();
    if (Mode) {
        std::uint16_t Key = VirtualKeyOf(QtKey);
        if (Key != 0) {
            Mode->KeyDown(Receiver, Key, Shift);
            if (Key == 0)
                return true;
        }
    }
    TPanZoomView& View = pzImage->View();
    if (FApp->FileIsOpen() && TPanningMode::IsActivatedBy(Shift) && !View.Panning()) {
        if (!FollowerRunning()) {
            View.SetPanning(true);
            FSavedStatusMessage = FApp->StatusMessage();
            FApp->SetStatusMessage("PANNING: Hold down Ctrl and Alt keys. Move mouse or use arrow "
                                   "keys to pan image.");
            if (QtKey == Qt::Key_Control || QtKey == Qt::Key_Alt)
                return true;
        }
    }
    const bool Arrow = QtKey == Qt::Key_Left || QtKey == Qt::Key_Right || QtKey == Qt::Key_Up ||
                       QtKey == Qt::Key_Down;
    if (!Arrow)
        return false;
    if (View.Panning()) {
        if (QtKey == Qt::Key_Left)
            View.ScrollHorizontally(-10);
        else if (QtKey == Qt::Key_Right)
            View.ScrollHorizontally(10);
        else if (QtKey == Qt::Key_Up)
            View.ScrollVertically(-10);
        else
            View.ScrollVertically(10);
        return true;
    }
    if (FApp->FileIsOpen() && (Shift & Qt::ControlModifier)) {
        const QPoint Step = QtKey == Qt::Key_Left    ? QPoint(-1, 0)
                            : QtKey == Qt::Key_Right ? QPoint(1, 0)
                            : QtKey == Qt::Key_Up    ? QPoint(0, -1)
                                                     : QPoint(0, 1);
        QCursor::setPos(QCursor::pos() + Step);
        return true;
    }
    return false;
}

bool TfrmMain::KeyUp(QObject* Receiver, int QtKey, Qt::KeyboardModifiers Shift) {
    if (TApplicationMode* Mode = FApp->ModeManager().CurrentMode()) {
        std::uint16_t Key = VirtualKeyOf(QtKey);
        if (Key != 0) {
            Mode->KeyUp(Receiver, Key, Shift);
            if (Key == 0)
                return true;
        }
    }
    // The released key is still in Shift on some platforms: take it out.
    Qt::KeyboardModifiers Held = Shift;
    if (QtKey == Qt::Key_Control)
        Held &= ~Qt::ControlModifier;
    if (QtKey == Qt::Key_Alt)
        Held &= ~Qt::AltModifier;
    if (pzImage->View().Panning() && !TPanningMode::IsActivatedBy(Held)) {
        pzImage->View().SetPanning(false);
        FApp->SetStatusMessage(FSavedStatusMessage);
        return true;
    }
    return false;
}

} // namespace korvane
