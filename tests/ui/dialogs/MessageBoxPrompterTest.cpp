#include "ui/dialogs/MessageBoxPrompter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <gtest/gtest.h>
#include <vector>

namespace korvane {
namespace {

struct TSeen {
    QString Caption;
    QString Text;
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
    std::vector<QMessageBox::StandardButton> Buttons;
    QMessageBox::StandardButton Default = QMessageBox::NoButton;
};

// Asks through a message box and, once it is up, records it and then either clicks the
// button Click or, for NoButton, presses Escape.
EMessageAnswer AskAndAct(EMessageKind Kind, unsigned Buttons, QMessageBox::StandardButton Click,
                         TSeen& Seen) {
    TMessageBoxPrompter Prompter;
    QTimer::singleShot(0, [&] {
        auto* Box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!Box) {
            ADD_FAILURE() << "no message box";
            return;
        }
        Seen.Caption = Box->windowTitle();
        Seen.Text = Box->text();
        Seen.Icon = Box->icon();
        for (QAbstractButton* Button : Box->buttons())
            Seen.Buttons.push_back(Box->standardButton(Button));
        std::sort(Seen.Buttons.begin(), Seen.Buttons.end());
        Seen.Default = Box->standardButton(Box->defaultButton());
        if (Click == QMessageBox::NoButton) {
            QKeyEvent Escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(Box, &Escape);
            return;
        }
        if (QAbstractButton* Button = Box->button(Click))
            Button->click();
        else
            ADD_FAILURE() << "no button " << Click;
    });
    return Prompter.Ask(Kind, "Save changes to data?", Buttons);
}

TEST(MessageBoxPrompter, ShowsTheKindAndAnswersTheClickedButtonOrTheEscapeAnswer) {
    struct TCase {
        EMessageKind Kind;
        unsigned Buttons;
        QMessageBox::StandardButton Click;
        EMessageAnswer Expected;
        QString Caption;
        QMessageBox::Icon Icon;
        std::vector<QMessageBox::StandardButton> Shown; // in the enumeration's order
    };
    using B = QMessageBox;
    const std::vector<TCase> Cases = {
        {EMessageKind::Confirmation,
         mbYesNoCancel,
         B::No,
         EMessageAnswer::No,
         "Confirm",
         B::Question,
         {B::Yes, B::No, B::Cancel}},
        {EMessageKind::Confirmation,
         mbYesNoCancel,
         B::NoButton,
         EMessageAnswer::Cancel,
         "Confirm",
         B::Question,
         {B::Yes, B::No, B::Cancel}},
        {EMessageKind::Warning,
         mbYesNo,
         B::NoButton,
         EMessageAnswer::No,
         "Warning",
         B::Warning,
         {B::Yes, B::No}},
        {EMessageKind::Warning,
         mbYesNo,
         B::Yes,
         EMessageAnswer::Yes,
         "Warning",
         B::Warning,
         {B::Yes, B::No}},
        {EMessageKind::Error, mbOK, B::NoButton, EMessageAnswer::OK, "Error", B::Critical, {B::Ok}},
        {EMessageKind::Information,
         mbOK | mbCancel,
         B::Ok,
         EMessageAnswer::OK,
         "Information",
         B::Information,
         {B::Ok, B::Cancel}},
    };
    for (const TCase& C : Cases) {
        TSeen Seen;
        EXPECT_EQ(AskAndAct(C.Kind, C.Buttons, C.Click, Seen), C.Expected)
            << C.Caption.toStdString() << " " << C.Click;
        EXPECT_EQ(Seen.Caption, C.Caption);
        EXPECT_EQ(Seen.Text, "Save changes to data?");
        EXPECT_EQ(Seen.Icon, C.Icon);
        EXPECT_EQ(Seen.Buttons, C.Shown);
        // The first offered button is the default one.
        EXPECT_EQ(Seen.Default, C.Shown.front());
    }
}

} // namespace
} // namespace korvane
