#include "ui/dialogs/MessageBoxPrompter.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>

namespace korvane {

EMessageAnswer TMessageBoxPrompter::Ask(EMessageKind Kind, const std::string& Text,
                                        unsigned Buttons) {
    QMessageBox::Icon Icon = QMessageBox::Information;
    QString Caption = QStringLiteral("Information");
    switch (Kind) {
    case EMessageKind::Information:
        break;
    case EMessageKind::Warning:
        Icon = QMessageBox::Warning;
        Caption = QStringLiteral("Warning");
        break;
    case EMessageKind::Error:
        Icon = QMessageBox::Critical;
        Caption = QStringLiteral("Error");
        break;
    case EMessageKind::Confirmation:
        Icon = QMessageBox::Question;
        Caption = QStringLiteral("Confirm");
        break;
    }
    if ((Buttons & (mbYes | mbNo | mbOK | mbCancel)) == 0)
        Buttons = mbOK;

    QMessageBox Box(Icon, Caption, QString::fromStdString(Text), QMessageBox::NoButton, FParent);
    struct TChoice {
        unsigned Flag;
        QMessageBox::StandardButton Button;
        EMessageAnswer Answer;
    };
    const TChoice Choices[] = {{mbYes, QMessageBox::Yes, EMessageAnswer::Yes},
                               {mbNo, QMessageBox::No, EMessageAnswer::No},
                               {mbOK, QMessageBox::Ok, EMessageAnswer::OK},
                               {mbCancel, QMessageBox::Cancel, EMessageAnswer::Cancel}};
    bool First = true;
    for (const TChoice& C : Choices) {
        if (!(Buttons & C.Flag))
            continue;
        QPushButton* Button = Box.addButton(C.Button);
        if (First)
            Box.setDefaultButton(Button);
        First = false;
    }
    // Escape answers Cancel when offered, else No, else OK, else the only button there is.
    const TChoice* Escape = nullptr;
    for (const unsigned Flag :
         {unsigned(mbCancel), unsigned(mbNo), unsigned(mbOK), unsigned(mbYes)})
        for (const TChoice& C : Choices)
            if (!Escape && Flag == C.Flag && (Buttons & Flag))
                Escape = &C;
    Box.setEscapeButton(Box.button(Escape->Button));

    Box.exec();
    const QMessageBox::StandardButton Clicked = Box.standardButton(Box.clickedButton());
    for (const TChoice& C : Choices)
        if (C.Button == Clicked)
            return C.Answer;
    return Escape->Answer;
}

} // namespace korvane
