#include "ui/dialogs/CalculationDialog.h"

#include "document/Digitizations.h"
#include "export/DataCalculations.h"
#include "ui/common/DialogButtons.h"
#include "ui/common/HelpUtils.h"
#include "ui/common/NumberText.h"

#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

namespace korvane {

namespace {

const int Gap = 8;

// Calls Place whenever the watched widget changes its size.
class TResizeWatcher : public QObject {
public:
    TResizeWatcher(QWidget& Watched, std::function<void()> Place)
        : QObject(&Watched), FPlace(std::move(Place)) {
        Watched.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override {
        if (Event->type() == QEvent::Resize)
            FPlace();
        return QObject::eventFilter(Watched, Event);
    }

private:
    std::function<void()> FPlace;
};

TFunctionalLine* LineAt(const QComboBox& Box) {
    return Box.currentIndex() < 0 ? nullptr
                                  : static_cast<TFunctionalLine*>(Box.currentData().value<void*>());
}

void AddLine(QComboBox& Box, TFunctionalLine* Line) {
    Box.addItem(QString::fromStdString(Line->Name()), QVariant::fromValue<void*>(Line));
}

} // namespace

TfrmCalculationDialog::TfrmCalculationDialog(QWidget* Parent) : TSizeGripDialog(Parent) {
    setWindowTitle(QStringLiteral("Calculations"));
    SetHelpContext(*this, 1500);

    lblInstructions = new QLabel(QStringLiteral("Create a dataset from the calculation"), this);
    pnlBoxes = new QWidget(this);
    cboDigitization1 = new QComboBox(pnlBoxes);
    cboOperation = new QComboBox(pnlBoxes);
    cboDigitization2 = new QComboBox(pnlBoxes);
    SetHelpContext(*cboDigitization1, 1501);
    SetHelpContext(*cboOperation, 1502);
    SetHelpContext(*cboDigitization2, 1503);
    pnlBoxes->setFixedHeight(cboDigitization1->sizeHint().height());
    new TResizeWatcher(*pnlBoxes, [this] { PlaceBoxes(); });

    bvlInfo = new QFrame(this);
    bvlInfo->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    lblInfo = new QLabel(bvlInfo);
    lblInfo->setWordWrap(true);
    lblInfo->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto* InfoLayout = new QVBoxLayout(bvlInfo);
    InfoLayout->setContentsMargins(6, 6, 6, 6);
    InfoLayout->addWidget(lblInfo);

    const TDialogButtons Buttons(*this, 1500);
    btnOK = Buttons.OK;
    btnCancel = Buttons.Cancel;
    btnHelp = Buttons.Help;
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);

    auto* Main = new QVBoxLayout(this);
    Main->setContentsMargins(Gap, Gap, GripMargin(), Gap);
    Main->addWidget(lblInstructions);
    Main->addWidget(pnlBoxes);
    // The information spans from the first line box to the end of the second.
    auto* InfoRow = new QHBoxLayout;
    InfoRow->setContentsMargins(Gap, 0, Gap, 0);
    InfoRow->addWidget(bvlInfo);
    Main->addLayout(InfoRow, 1);
    Main->addLayout(Buttons.Row);

    connect(cboDigitization1, &QComboBox::currentIndexChanged, this, [this] { FillSecond(); });
    connect(cboDigitization2, &QComboBox::currentIndexChanged, this, [this] { UpdateInfo(); });

    setMinimumSize(451, 211);
    setMaximumHeight(300);
    resize(451, 240);
    UpdateInfo();
}

void TfrmCalculationDialog::PlaceBoxes() {
    const int Width = pnlBoxes->width(), Height = pnlBoxes->height();
    const int LineWidth = static_cast<int>(std::lround(Width * 0.34));
    cboDigitization1->setGeometry(Gap, 0, LineWidth, Height);
    const int SecondLeft = Width - Gap - LineWidth;
    cboDigitization2->setGeometry(SecondLeft, 0, LineWidth, Height);
    const int OperationLeft = Gap + LineWidth + Gap;
    cboOperation->setGeometry(OperationLeft, 0, std::max(0, SecondLeft - Gap - OperationLeft),
                              Height);
}

void TfrmCalculationDialog::SetDigitizations(const std::vector<TDigitization*>& List) {
    FCandidateLines.clear();
    for (TDigitization* D : List)
        if (auto* Line = dynamic_cast<TFunctionalLine*>(D))
            FCandidateLines.push_back(Line);
    FillFirst();
    FillSecond();
    UpdateInfo();
}

void TfrmCalculationDialog::SetOperations(
    const std::vector<const TBinaryOperationInstance*>& Instances) {
    for (const TBinaryOperationInstance* Instance : Instances) {
        FOperations.push_back(Instance);
        cboOperation->addItem(QString::fromStdString(Instance->OperationName()));
    }
    cboOperation->setCurrentIndex(cboOperation->count() > 0 ? 0 : -1);
    UpdateInfo();
}

void TfrmCalculationDialog::SetFormats(const TCoordFormatPair& Formats) {
    FFormats.Assign(Formats);
    UpdateInfo();
}

void TfrmCalculationDialog::SelectFirst(const TFunctionalLine* Line) {
    int Found = -1;
    for (int I = 0; I < cboDigitization1->count(); ++I)
        if (cboDigitization1->itemData(I).value<void*>() == Line)
            Found = I;
    cboDigitization1->setCurrentIndex(Found);
    FillSecond();
}

TFunctionalLine* TfrmCalculationDialog::FirstLine() const {
    return LineAt(*cboDigitization1);
}

TFunctionalLine* TfrmCalculationDialog::SecondLine() const {
    return LineAt(*cboDigitization2);
}

const TBinaryOperationInstance* TfrmCalculationDialog::SelectedOperation() const {
    const int I = cboOperation->currentIndex();
    return I < 0 || I >= static_cast<int>(FOperations.size()) ? nullptr
                                                              : FOperations[std::size_t(I)];
}

void TfrmCalculationDialog::FillFirst() {
    const QSignalBlocker Block(cboDigitization1);
    cboDigitization1->clear();
    for (TFunctionalLine* Line : FCandidateLines)
        if (Line->Count() > 1)
            AddLine(*cboDigitization1, Line);
    cboDigitization1->setCurrentIndex(cboDigitization1->count() > 0 ? 0 : -1);
}

void TfrmCalculationDialog::FillSecond() {
    TFunctionalLine* Previous = SecondLine();
    {
        const QSignalBlocker Block(cboDigitization2);
        cboDigitization2->clear();
        if (TFunctionalLine* First = FirstLine())
            for (TFunctionalLine* Line : FCandidateLines) {
                std::int32_t From = -1, To = -1;
                First->OverlapRange(*Line, From, To);
                if (From >= 0 && To >= 0)
                    AddLine(*cboDigitization2, Line);
            }
        int Select = cboDigitization2->count() > 0 ? 0 : -1;
        for (int I = 0; I < cboDigitization2->count(); ++I)
            if (cboDigitization2->itemData(I).value<void*>() == Previous)
                Select = I;
        cboDigitization2->setCurrentIndex(Select);
    }
    UpdateInfo();
}

void TfrmCalculationDialog::UpdateInfo() {
    TFunctionalLine* First = FirstLine();
    TFunctionalLine* Second = SecondLine();
    if (!First || !Second || !SelectedOperation()) {
        lblInfo->setText(
            QStringLiteral("Select digitizations and an operator to create a new dataset."));
        btnOK->setEnabled(false);
        return;
    }
    std::int32_t From = -1, To = -1;
    First->OverlapRange(*Second, From, To);
    if (From < 0 || To < 0) {
        lblInfo->setText(QStringLiteral(
            "The selected digitizations have no overlapping X values, and therefore cannot "
            "generate a computed dataset."));
        btnOK->setEnabled(false);
        return;
    }
    const char Separator = DisplayDecimalSeparator();
    lblInfo->setText(
        QStringLiteral("The computed dataset will have points ranging from X = %1 to X = %2.")
            .arg(
                QString::fromStdString(FFormats.XFormat.Format(First->GetPoint(From).X, Separator)),
                QString::fromStdString(FFormats.XFormat.Format(First->GetPoint(To).X, Separator))));
    btnOK->setEnabled(true);
}

} // namespace korvane
