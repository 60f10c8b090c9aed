#include "app/MainWindow.h"

#include "app/About.h"
#include "app/DrawnIcons.h"
#include "document/RecentFiles.h"
#include "image/PanelScale.h"
#include "image/Scanner.h"
#include "interaction/ApplicationParameters.h"
#include "ui/common/HelpUtils.h"
#include "ui/common/SupportWidgets.h"
#include "ui/data/ApproximatorParamPanels.h"
#include "ui/data/DigitizationDataViews.h"
#include "ui/modes/DigitizingCommands.h"
#include "ui/modes/DigitizingModes.h"
#include "ui/modes/KorvaneActions.h"
#include "ui/modes/KorvaneCommands.h"
#include "ui/modes/KorvaneModes.h"
#include "ui/panel/KorvanePanel.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QScrollArea>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

namespace korvane {

// The main window's controls and menus.

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
    // The guide's text scrolls when the panel is too small to show all of it.
    auto* GuideScroll = new QScrollArea(pnlGuide);
    GuideScroll->setObjectName("scrGuide");
    GuideScroll->setFrameShape(QFrame::NoFrame);
    GuideScroll->setWidgetResizable(true);
    GuideScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    pnlGuideContent = new QWidget;
    pnlGuideContent->setObjectName("pnlGuideContent");
    pnlGuideContent->setAutoFillBackground(true);
    QPalette GuidePalette = pnlGuideContent->palette();
    GuidePalette.setColor(QPalette::Window, GuidePalette.color(QPalette::Base));
    pnlGuideContent->setPalette(GuidePalette);
    QFont GuideFont = pnlGuideContent->font();
    GuideFont.setPixelSize(15);
    pnlGuideContent->setFont(GuideFont);
    GuideScroll->setWidget(pnlGuideContent);
    GuideLayout->addWidget(GuideScroll, 1);
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
    // Height the dock gains or loses goes to the data, not to the list of data sets.
    splData->setStretchFactor(0, 0);
    splData->setStretchFactor(1, 1);
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
    // Room for the kind's icon and the colour swatch beside it.
    const int IconSide = lbDigs->style()->pixelMetric(QStyle::PM_SmallIconSize);
    lbDigs->setIconSize(QSize(2 * IconSide + 2, IconSide));
    lbDigs->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    connect(lbDigs, &QListWidget::itemChanged, this,
            [this](QListWidgetItem* Item) { Guarded([this, Item] { RenameFromList(*Item); }); });
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
    mnuEdit->addAction(actEditPasteImage);
    mnuEdit->addSeparator();
    mnuEdit->addAction(actEditDefineCoordinateSystem);
    mnuEdit->addAction(actEditUnits);
    mnuEdit->addAction(actEditFormats);
    mnuEdit->addSeparator();
    mnuEdit->addAction(actEditPaint);
    mnuEdit->addAction(actEditEliminateGrid);
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
    mnuView->addAction(actViewZoomToFit);
    mnuView->addAction(actViewMagnifier);
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
            QAction* Entry = mnuDigitizations->addAction(QString::fromStdString(D->Name()));
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
    popDigData->addAction(actDataCopy);
    popDigData->addAction(actDataCopyFullPrecision);
    popDigData->addSeparator();
    // Ctrl+C copies the points while the grid has the focus; elsewhere it is the edits' own.
    actDataCopy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    dgDigData->addAction(actDataCopy);
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

void TfrmMain::UpdateRecentFilesMenu() {
    mnuRecentFiles->clear();
    const TRecentFilesList& Recent = FApp->ApplicationParameters().RecentFiles();
    for (std::int32_t I = 0; I < Recent.Count(); ++I) {
        const QString Path = QString::fromStdString(Recent.Files(I));
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
                const QString Caption =
                    QString("&%1 %2...").arg(I + 1).arg(QString::fromStdString(Sources[I].Caption));
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

} // namespace korvane
