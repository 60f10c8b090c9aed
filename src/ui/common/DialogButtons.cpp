#include "ui/common/DialogButtons.h"

#include "ui/common/HelpUtils.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>
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
    ConnectHelpButton(*Help, std::move(HelpContext));
}

} // namespace korvane
