#include "app/MainWindow.h"

#include "app/DrawnIcons.h"
#include "core/Errors.h"
#include "document/RecentFiles.h"
#include "image/ImageFormats.h"
#include "image/PanelScale.h"
#include "image/Scanner.h"
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
#include "ui/modes/PropertiesCommands.h"
#include "ui/panel/FollowingView.h"
#include "ui/panel/KorvanePanel.h"
#include "ui/panel/Magnifier.h"

#include <QApplication>
#include <QListWidget>
#include <QListWidgetItem>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QStyle>

namespace korvane {

// The main window follows the document: command states, history, modes, status, the
// coordinate system, the data sets, the follower's runs and the guide.

void TfrmMain::CommandStatesChanged(TCommandManager& Sender) {
    for (const auto& [Action, Kind] : FActionKinds)
        Action->setEnabled(Sender.Enabled(Kind) && Action->OnExecute != nullptr);
    // Saving the picture needs an open image, like closing it.
    actFileSaveImageAs->setEnabled(FApp->FileIsOpen() && pzImage->HasImage());
    actHelpContents->setEnabled(HelpAvailable());
    actHelpIndex->setEnabled(HelpAvailable());
    UpdateDeleteAction();
    UpdateDigitizationsMenu();
}

void TfrmMain::UpdateDeleteAction() {
    TDigitization* Current = CurrentDigitization();
    actDigitizeDelete->setText(Current ? "&Delete " + QString::fromStdString(Current->Name())
                                       : QString("&Delete"));
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
    bool AnyFunctional = false;
    for (std::int32_t I = 0; FApp && I < FApp->Count() && !AnyFunctional; ++I)
        AnyFunctional = dynamic_cast<const TFunctionalLine*>(&FApp->Digitization(I)) != nullptr;
    actDataCalculate->setEnabled(AnyFunctional && actDataCalculate->OnExecute != nullptr);
}

void TfrmMain::UpdateUndoRedoCaptions() {
    const THistoryList& History = FApp->History();
    if (History.CanUndo()) {
        actEditUndo->setText("&Undo " + QString::fromStdString(History.UndoCommand()->GetName()));
        actEditUndo->setEnabled(true);
    } else {
        actEditUndo->setText("Can't &Undo");
        actEditUndo->setEnabled(false);
    }
    if (History.CanRedo()) {
        actEditRedo->setText("&Redo " + QString::fromStdString(History.RedoCommand()->GetName()));
        actEditRedo->setEnabled(true);
    } else {
        actEditRedo->setText("Can't &Redo");
        actEditRedo->setEnabled(false);
    }
}

void TfrmMain::HistoryChanged(THistoryList&) {
    UpdateUndoRedoCaptions();
    // The settings dialog and its undo step may have switched the enhancements.
    const QSignalBlocker Block(actDigitizeEnhancedFollowing);
    actDigitizeEnhancedFollowing->setChecked(
        FApp->EnhancementSettings().Enhancements.EnhancedFollowing());
}

void TfrmMain::FileParametersChanged(TFileParameters&) {
    dgDigData->viewport()->update();
}

void TfrmMain::ModeStarted(TApplicationModeManager& Sender) {
    UpdateMagnifier();
    if (!Sender.CurrentMode())
        RefreshIdleGuide();
    else if (Sender.CurrentMode()->HelpContext != 0)
        SetHelpContext(*this, Sender.CurrentMode()->HelpContext);
}

void TfrmMain::ModeEnded(TApplicationModeManager& Sender) {
    UpdateMagnifier();
    if (!Sender.CurrentMode())
        RefreshIdleGuide();
    SetHelpContext(*this, MainHelpContext);
}

bool TfrmMain::MagnifierModeIsCurrent() const {
    TApplicationMode* Mode = FApp->ModeManager().CurrentMode();
    return dynamic_cast<TDefiningScaleMode*>(Mode) || dynamic_cast<TDigitizingMode*>(Mode);
}

void TfrmMain::UpdateMagnifier() {
    const bool On = MagnifierModeIsCurrent() ? FMagnifierInModes : FMagnifierElsewhere;
    pzImage->Magnifier().SetEnabled(On);
    const QSignalBlocker Block(actViewMagnifier);
    actViewMagnifier->setChecked(On);
}

void TfrmMain::StatusMessageChanged() {
    stbHintsText->setText(QString::fromStdString(FApp->StatusMessage()));
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
        stbCoords->setText(QString::fromStdString(Text));
    } catch (const std::exception&) {
        // A point without a real value (beyond a logarithmic axis' range) shows nothing.
        stbCoords->clear();
    }
}

QString TfrmMain::CoordinatesText() const {
    return stbCoords->text();
}

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
    ExecuteCommand(*FApp, std::move(Open), {pzImage, &D, View, statusBar()});
    pzImage->RepaintImage();
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
    // The panel shows a line's runs; it hears their end before the modes repaint.
    if (dynamic_cast<TLine*>(&Digitization))
        Digitization.AddListener(&pzImage->FollowingView());
    Digitization.AddListener(this);
    auto* Item = new QListWidgetItem(QString::fromStdString(Digitization.Name()));
    // The name can be edited in place (F2, or a click on the selected entry).
    Item->setFlags(Item->flags() | Qt::ItemIsEditable);
    ShowInList(*Item, Digitization);
    lbDigs->insertItem(Index, Item);
    if (!FApp->Opening() && lbDigs->currentRow() < 0) {
        lbDigs->setCurrentRow(Index);
    }
    pzImage->RepaintImage();
    UpdateDigitizationsMenu();
}

void TfrmMain::ShowInList(QListWidgetItem& Item, const TDigitization& Digitization) const {
    // The kind's icon with a swatch of the display colour beside it.
    const int Side = lbDigs->iconSize().height();
    QPixmap Icon(lbDigs->iconSize());
    Icon.fill(Qt::transparent);
    {
        QPainter Painter(&Icon);
        DrawnIcon(dynamic_cast<const TScatter*>(&Digitization)          ? EIcon::Scatter
                  : dynamic_cast<const TFunctionalLine*>(&Digitization) ? EIcon::FunctionalLine
                                                                        : EIcon::NonfunctionalLine)
            .paint(&Painter, 0, 0, Side, Side);
        Painter.setPen(palette().color(QPalette::Text));
        Painter.setBrush(ToQColor(Digitization.DisplayColor()));
        Painter.drawRect(Side + 3, 2, Side - 5, Side - 5);
    }
    Item.setIcon(QIcon(Icon));
    Item.setForeground(ToQColor(Digitization.DisplayColor()));
}

void TfrmMain::RenameFromList(QListWidgetItem& Item) {
    const int Row = lbDigs->row(&Item);
    if (Row < 0 || Row >= FApp->Count())
        return;
    TDigitization& Digitization = FApp->Digitization(Row);
    const std::string Name = Item.text().toStdString();
    if (Name != Digitization.Name())
        ExecuteCommand(*FApp, std::make_unique<TRenameDigitizationCommand>(),
                       {&Digitization, &Name});
    // A refused name (blanks only) gives way to the name the data set has.
    if (Item.text() != QString::fromStdString(Digitization.Name())) {
        const QSignalBlocker Block(lbDigs);
        Item.setText(QString::fromStdString(Digitization.Name()));
    }
}

void TfrmMain::DigitizationDeleted(TDigitization& Digitization, std::int32_t Index) {
    Digitization.RemoveListener(&pzImage->FollowingView());
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
        const QSignalBlocker Block(lbDigs);
        Item->setText(QString::fromStdString(Digitization.Name()));
        ShowInList(*Item, Digitization);
        lbDigs->viewport()->update();
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
        // Straight into marking, not through the Paint action (which starts replacing).
        StartPainting(2);
        break;
    }
}

} // namespace korvane
