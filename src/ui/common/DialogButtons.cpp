#include "ui/common/DialogButtons.h"

#include "ui/common/HelpUtils.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>
#include <QShortcut>
#include <utility>

namespace korvane {

TDialogButtons::TDialogButtons(QDialog& Dialog, int HelpContext)
    : TDialogButtons(Dialog, [HelpContext] { return HelpContext; }) {}

TDialogButtons::TDialogButtons(QDialog& Dialog, std::function<int()> HelpContext)
    : OK(new QPushButton(QStringLiteral("OK"), &Dialog)),
      Cancel(new QPushButton(QStringLiteral("Cancel"), &Dialog)),
      Help(new QPushButton(QStringLiteral("&Help"), &Dialog)), Row(new QHBoxLayout) {
    Row->addStretch();
    for (QPushButton* Button : {OK, Cancel, Help}) {
        Button->setFixedSize(75, 25);
        Row->addWidget(Button);
    }
    OK->setDefault(true);
    QObject::connect(Cancel, &QPushButton::clicked, &Dialog, &QDialog::reject);
    ConnectHelpButton(*Help, HelpContext);
    // F1: the page of the control with the focus when it has one, else the dialog's.
    auto* F1 = new QShortcut(QKeySequence::HelpContents, &Dialog);
    QObject::connect(F1, &QShortcut::activated, &Dialog, [&Dialog, HelpContext] {
        const QWidget* Focus = Dialog.focusWidget();
        const int Own = Focus ? HelpContextOf(*Focus) : 0;
        ShowHelpTopic(Own && !HelpTopicOf(Own).isEmpty() ? Own : HelpContext());
    });
}

} // namespace korvane
