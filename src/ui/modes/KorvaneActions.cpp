#include "ui/modes/KorvaneActions.h"

namespace korvane {

TAction::TAction(const QString& Caption, const QString& Hint, QObject* Parent)
    : QAction(Caption, Parent) {
    SetHint(Hint);
    QObject::connect(this, &QAction::triggered, this, [this] {
        Guarded([this] {
            if (OnExecute) {
                // The handler may replace itself (a mode borrowing the action): run a copy.
                const auto Body = OnExecute;
                Body();
            }
        });
    });
}

void TAction::SetHint(const QString& Hint) {
    FHint = Hint;
    const qsizetype Bar = Hint.indexOf(u'|');
    const QString Short = Bar < 0 ? Hint : Hint.left(Bar);
    const QString Long = Bar < 0 ? Hint : Hint.mid(Bar + 1);
    setToolTip(Short);
    setStatusTip(Long);
}

void TAction::Execute() {
    if (!isEnabled() || !OnExecute)
        return;
    const auto Body = OnExecute;
    Body();
}

} // namespace korvane

namespace korvane {

std::uint16_t VirtualKeyOf(int QtKey) {
    if ((QtKey >= Qt::Key_A && QtKey <= Qt::Key_Z) || (QtKey >= Qt::Key_0 && QtKey <= Qt::Key_9))
        return static_cast<std::uint16_t>(QtKey);
    if (QtKey >= Qt::Key_F1 && QtKey <= Qt::Key_F12)
        return static_cast<std::uint16_t>(112 + (QtKey - Qt::Key_F1));
    switch (QtKey) {
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return 9;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Shift:
        return 16;
    case Qt::Key_Control:
        return 17;
    case Qt::Key_Alt:
        return 18;
    case Qt::Key_Escape:
        return 27;
    case Qt::Key_Space:
        return 32;
    case Qt::Key_PageUp:
        return 33;
    case Qt::Key_PageDown:
        return 34;
    case Qt::Key_End:
        return 35;
    case Qt::Key_Home:
        return 36;
    case Qt::Key_Left:
        return 37;
    case Qt::Key_Up:
        return 38;
    case Qt::Key_Right:
        return 39;
    case Qt::Key_Down:
        return 40;
    case Qt::Key_Insert:
        return 45;
    case Qt::Key_Delete:
        return 46;
    default:
        return 0;
    }
}

} // namespace korvane
