#include "app/MainWindow.h"

#include "ui/common/HelpUtils.h"
#include "ui/common/SupportWidgets.h"
#include "ui/data/ApproximatorParamPanels.h"
#include "ui/data/DigitizationDataViews.h"
#include "ui/modes/DigitizingModes.h"
#include "ui/modes/GuideControls.h"
#include "ui/modes/KorvaneActions.h"
#include "ui/modes/KorvaneCommands.h"
#include "ui/modes/KorvaneModes.h"
#include "ui/panel/KorvanePanel.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>

namespace korvane {

// Keys and events of the main window: key routing to the running mode, panning and moving
// the pointer, and the posted requests.

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
