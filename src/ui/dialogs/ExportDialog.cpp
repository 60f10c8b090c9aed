#include "ui/dialogs/ExportDialog.h"

#include "core/Prompter.h"
#include "document/Digitizations.h"
#include "export/ExportData.h"
#include "output/CurveIterators.h"
#include "ui/common/HelpUtils.h"
#include "ui/common/SupportWidgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>

namespace korvane {

namespace {

constexpr int HelpContextDialog = 2300;

unsigned SectionOfTab(int Tab) {
    switch (Tab) {
    case TfrmExportData::tabHeader:
        return tsHeader;
    case TfrmExportData::tabFooter:
        return tsFooter;
    default:
        return tsBody;
    }
}

QPlainTextEdit* NewMemo(QWidget* Parent, bool ReadOnly) {
    auto* Memo = new QPlainTextEdit(Parent);
    Memo->setReadOnly(ReadOnly);
    Memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo->setTabChangesFocus(false);
    Memo->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    Memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo->setContextMenuPolicy(Qt::CustomContextMenu);
    return Memo;
}

bool AskNameWithSimpleDialog(QWidget* Owner, QString& Name) {
    TSimpleDialog Dialog(Owner);
    Dialog.Form().setWindowTitle(QStringLiteral("Save Template As"));
    Dialog.Form().resize(400, Dialog.Form().height());
    Dialog.SetPrompt(QStringLiteral("Save this template as:"));
    Dialog.SetText(Name);
    Dialog.Edit().selectAll();
    if (Dialog.Form().exec() != QDialog::Accepted)
        return false;
    Name = Dialog.Text();
    return true;
}

} // namespace

QString SectionToEditText(const std::string& Text) {
    QString Result = QString::fromStdString(Text);
    Result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return Result;
}

std::string EditTextToSection(const QString& Text) {
    QString Result;
    Result.reserve(Text.size() + Text.size() / 16);
    for (const QChar C : Text) {
        if (C == QLatin1Char('\n') || C == QChar::ParagraphSeparator || C == QChar::LineSeparator)
            Result += QStringLiteral("\r\n");
        else
            Result += C;
    }
    return Result.toStdString();
}

TfrmExportData::TfrmExportData(IPrompter& Prompter, QWidget* Parent)
    : QDialog(Parent, HelpDialogFlags | Qt::WindowMaximizeButtonHint), FPrompter(Prompter),
      FCurrent(std::make_unique<TDataTemplate>("Current")) {
    setWindowTitle(QStringLiteral("Export Data"));
    setModal(true);
    setSizeGripEnabled(true);
    SetHelpContext(*this, HelpContextDialog);

    lblForEach = new QLabel(QStringLiteral("&Format points using this template:"), this);
    cboTemplateName = new QComboBox(this);
    cboTemplateName->setMinimumContentsLength(20);
    lblForEach->setBuddy(cboTemplateName);
    SetHelpContext(*cboTemplateName, 2301);

    // The edit group.
    gbTemplate = new QGroupBox(QStringLiteral("Edit Template"), this);
    tcTemplate = new QTabBar(gbTemplate);
    tcTemplate->addTab(QStringLiteral("Body"));
    tcTemplate->addTab(QStringLiteral("Header"));
    tcTemplate->addTab(QStringLiteral("Footer"));
    tcTemplate->setExpanding(false);
    memTemplate = NewMemo(gbTemplate, false);
    SetHelpContext(*memTemplate, 2307);
    auto* LiveLabel = new QLabel(QStringLiteral("Output of the first points:"), gbTemplate);
    memLivePreview = NewMemo(gbTemplate, true);
    memLivePreview->setContextMenuPolicy(Qt::DefaultContextMenu);
    memLivePreview->setFocusPolicy(Qt::NoFocus);
    memLivePreview->setMaximumHeight(memLivePreview->fontMetrics().lineSpacing() * 5 + 12);
    SetHelpContext(*memLivePreview, 2302);
    LiveLabel->setBuddy(memLivePreview);
    cmdInsert = new QPushButton(QStringLiteral("&Insert"), gbTemplate);
    popInsert = new QMenu(cmdInsert);
    cmdInsert->setMenu(popInsert); // opens just below the button, with a drop-down arrow
    SetHelpContext(*cmdInsert, 2309);
    cmdDelete = new QPushButton(QStringLiteral("&Delete Template"), gbTemplate);
    SetHelpContext(*cmdDelete, 2308);
    cmdSaveTemplate = new QPushButton(QStringLiteral("Save &Template..."), gbTemplate);
    SetHelpContext(*cmdSaveTemplate, 2311);
    cmdPreview = new QPushButton(QStringLiteral("&Preview"), gbTemplate);
    SetHelpContext(*cmdPreview, 2310);
    {
        auto* Buttons = new QHBoxLayout;
        Buttons->addWidget(cmdInsert);
        Buttons->addWidget(cmdDelete);
        Buttons->addWidget(cmdSaveTemplate);
        Buttons->addStretch();
        Buttons->addWidget(cmdPreview);
        auto* Layout = new QVBoxLayout(gbTemplate);
        Layout->setSpacing(2);
        Layout->addWidget(tcTemplate);
        Layout->addWidget(memTemplate, 3);
        Layout->addSpacing(4);
        Layout->addWidget(LiveLabel);
        Layout->addWidget(memLivePreview, 1);
        Layout->addSpacing(4);
        Layout->addLayout(Buttons);
    }

    // The preview group, in the same place.
    gbPreview = new QGroupBox(QStringLiteral("Preview"), this);
    memPreview = NewMemo(gbPreview, true);
    SetHelpContext(*memPreview, 2302);
    cmdEditTemplate = new QPushButton(QStringLiteral("&Edit Template"), gbPreview);
    SetHelpContext(*cmdEditTemplate, 2303);
    {
        auto* Buttons = new QHBoxLayout;
        Buttons->addStretch();
        Buttons->addWidget(cmdEditTemplate);
        auto* Layout = new QVBoxLayout(gbPreview);
        Layout->addWidget(memPreview, 1);
        Layout->addLayout(Buttons);
    }

    gbOptions = new QGroupBox(QStringLiteral("Options"), this);
    rdoExportAllPoints = new QRadioButton(QStringLiteral("Export &all points"), gbOptions);
    rdoExportSelectedPoints =
        new QRadioButton(QStringLiteral("Export &selected points"), gbOptions);
    chkExportToClipboard = new QCheckBox(QStringLiteral("&Copy to clipboard"), gbOptions);
    rdoExportAllPoints->setChecked(true);
    SetHelpContext(*rdoExportAllPoints, 2304);
    SetHelpContext(*rdoExportSelectedPoints, 2305);
    SetHelpContext(*chkExportToClipboard, 2306);
    {
        auto* Layout = new QHBoxLayout(gbOptions);
        Layout->addWidget(rdoExportAllPoints);
        Layout->addWidget(rdoExportSelectedPoints);
        Layout->addStretch();
        Layout->addWidget(chkExportToClipboard);
    }
    ShowPointOptions(false);

    OKBtn = new QPushButton(QStringLiteral("Export"), this);
    CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
    HelpBtn = new QPushButton(QStringLiteral("&Help"), this);
    OKBtn->setDefault(true);

    auto* Top = new QHBoxLayout;
    Top->addWidget(lblForEach);
    Top->addWidget(cboTemplateName, 1);
    auto* Buttons = new QHBoxLayout;
    Buttons->addStretch();
    for (QPushButton* Button : {OKBtn, CancelBtn, HelpBtn}) {
        Button->setMinimumWidth(75);
        Buttons->addWidget(Button);
    }
    auto* Main = new QVBoxLayout(this);
    Main->addLayout(Top);
    Main->addWidget(gbTemplate, 1);
    Main->addWidget(gbPreview, 1);
    Main->addWidget(gbOptions);
    Main->addLayout(Buttons);
    setMinimumWidth(490);

    FLiveTimer = new QTimer(this);
    FLiveTimer->setSingleShot(true);
    FLiveTimer->setInterval(LivePreviewDelay);

    OnAskTemplateName = [this](QString& Name) { return AskNameWithSimpleDialog(this, Name); };

    const auto Safely = [this](auto Body) {
        return [this, Body] {
            try {
                Body();
            } catch (const std::exception& Error) {
                FPrompter.Ask(EMessageKind::Error, Error.what(), mbOK);
            }
        };
    };
    // Choosing the selected entry again also starts over from the stored template.
    for (auto Signal : {&QComboBox::currentIndexChanged, &QComboBox::activated})
        connect(cboTemplateName, Signal, this,
                [this, Safely](int Index) { Safely([this, Index] { SelectTemplate(Index); })(); });
    connect(tcTemplate, &QTabBar::currentChanged, this,
            [this, Safely](int Tab) { Safely([this, Tab] { TabChanging(Tab); })(); });
    connect(popInsert, &QMenu::aboutToShow, this, [this] { FillInsertMenu(*popInsert); });
    connect(memTemplate, &QPlainTextEdit::customContextMenuRequested, this,
            [this](const QPoint& At) { ShowContextMenu(*memTemplate, At); });
    connect(memPreview, &QPlainTextEdit::customContextMenuRequested, this,
            [this](const QPoint& At) { ShowContextMenu(*memPreview, At); });
    connect(cmdDelete, &QPushButton::clicked, this, Safely([this] { DeleteTemplate(); }));
    connect(cmdSaveTemplate, &QPushButton::clicked, this, Safely([this] { SaveTemplate(); }));
    connect(cmdPreview, &QPushButton::clicked, this, Safely([this] { ShowPreview(); }));
    connect(cmdEditTemplate, &QPushButton::clicked, this, [this] { ShowEditTemplate(); });
    connect(rdoExportAllPoints, &QRadioButton::clicked, this, Safely([this] { RebuildPreview(); }));
    connect(rdoExportSelectedPoints, &QRadioButton::clicked, this,
            Safely([this] { RebuildPreview(); }));
    connect(OKBtn, &QPushButton::clicked, this, Safely([this] { Export(); }));
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    ConnectHelpButton(*HelpBtn, HelpContextDialog);
    connect(memTemplate, &QPlainTextEdit::textChanged, FLiveTimer,
            static_cast<void (QTimer::*)()>(&QTimer::start));
    connect(FLiveTimer, &QTimer::timeout, this, [this] { UpdateLivePreview(); });

    // The preview group is the one shown at first.
    gbTemplate->hide();
    RefreshTemplateView();
}

TfrmExportData::~TfrmExportData() = default;

void TfrmExportData::SetTemplates(TDataTemplateList* List) {
    FTemplates = List;
    RefillTemplateNames();
    SelectTemplate(cboTemplateName->count() > 0 ? 0 : -1);
}

void TfrmExportData::SetDigitization(const TDigitization* Digitization) {
    FDigitization = Digitization;
    RefreshTemplateView();
}

void TfrmExportData::SetExpansionParams(const TExpansionParams& Params) {
    FParams.Units = Params.Units;
    FParams.Formats.Assign(Params.Formats);
    FParams.DecimalSeparator = Params.DecimalSeparator;
    RefreshTemplateView();
}

void TfrmExportData::ShowPointOptions(bool Show) {
    rdoExportAllPoints->setVisible(Show);
    rdoExportSelectedPoints->setVisible(Show);
}

TDataTemplate* TfrmExportData::SelectedTemplate() const {
    const int Index = cboTemplateName->currentIndex();
    if (!FTemplates || Index < 0 || Index >= FTemplates->Count())
        return nullptr;
    return &FTemplates->Items(Index);
}

bool TfrmExportData::ExportToClipboard() const {
    return chkExportToClipboard->isEnabled() && chkExportToClipboard->isChecked();
}

bool TfrmExportData::ExportSelectedPoints() const {
    return rdoExportSelectedPoints->isChecked();
}

void TfrmExportData::RefillTemplateNames() {
    const QSignalBlocker Block(cboTemplateName);
    cboTemplateName->clear();
    if (FTemplates)
        for (std::int32_t I = 0; I < FTemplates->Count(); ++I)
            cboTemplateName->addItem(QString::fromStdString(FTemplates->Names(I)));
    cmdDelete->setEnabled(cboTemplateName->count() > 0);
}

void TfrmExportData::SelectTemplate(int Index) {
    {
        const QSignalBlocker Block(cboTemplateName);
        cboTemplateName->setCurrentIndex(Index);
    }
    if (TDataTemplate* Selected = SelectedTemplate())
        FCurrent->Assign(*Selected);
    RefreshTemplateView();
}

std::string TfrmExportData::SectionText(const TDataTemplate& Template, int Tab) const {
    switch (Tab) {
    case tabHeader:
        return Template.HeaderText();
    case tabFooter:
        return Template.FooterText();
    default:
        return Template.BodyText();
    }
}

void TfrmExportData::SetSectionText(TDataTemplate& Template, int Tab,
                                    const std::string& Text) const {
    switch (Tab) {
    case tabHeader:
        Template.SetHeaderText(Text);
        break;
    case tabFooter:
        Template.SetFooterText(Text);
        break;
    default:
        Template.SetBodyText(Text);
        break;
    }
}

void TfrmExportData::RefreshTemplateView() {
    FShownText = SectionToEditText(SectionText(*FCurrent, FActiveTab));
    {
        const QSignalBlocker Block(memTemplate);
        memTemplate->setPlainText(FShownText);
    }
    const TDataTemplate* Selected = SelectedTemplate();
    const bool Custom = dynamic_cast<const TCustomDataTemplate*>(Selected) != nullptr;
    if (Custom) {
        gbTemplate->hide();
        gbPreview->show();
    }
    for (QWidget* Control : std::initializer_list<QWidget*>{
             gbPreview, cmdDelete, cmdSaveTemplate, cmdInsert, memTemplate, memPreview, cmdPreview,
             cmdEditTemplate, tcTemplate})
        Control->setEnabled(!Custom);
    cmdDelete->setEnabled(!Custom && Selected);
    chkExportToClipboard->setEnabled(Selected && Selected->CanCopyToClipboard());
    RebuildPreview();
    UpdateLivePreview();
}

std::string TfrmExportData::PreviewOf(const TDataTemplate& Template) const {
    if (!FDigitization)
        return {};
    std::unique_ptr<TCurveIterator> Points;
    if (FDigitization->ParamSet().IsComplete())
        Points = NewExportIterator(*FDigitization, ExportSelectedPoints());
    return ExportPreviewText(Template, *FDigitization, Points.get(), FParams);
}

void TfrmExportData::RebuildPreview() {
    memPreview->clear();
    memPreview->setPlainText(SectionToEditText(PreviewOf(*FCurrent)));
}

void TfrmExportData::UpdateLivePreview() {
    FLiveTimer->stop();
    const QString Text = memTemplate->toPlainText();
    if (Text == FShownText) {
        memLivePreview->setPlainText(memPreview->toPlainText());
        return;
    }
    TDataTemplate Trial;
    Trial.Assign(*FCurrent);
    try {
        SetSectionText(Trial, FActiveTab, EditTextToSection(memTemplate->document()->toRawText()));
    } catch (const std::exception& Error) {
        memLivePreview->setPlainText(QString::fromUtf8(Error.what()));
        return;
    }
    memLivePreview->setPlainText(SectionToEditText(PreviewOf(Trial)));
}

bool TfrmExportData::CommitEdit() {
    if (memTemplate->toPlainText() != FShownText) {
        try {
            SetSectionText(*FCurrent, FActiveTab,
                           EditTextToSection(memTemplate->document()->toRawText()));
        } catch (const ETagParserError& Error) {
            FPrompter.Ask(EMessageKind::Error, Error.what(), mbOK);
            memTemplate->setFocus();
            return false;
        }
    }
    RefreshTemplateView();
    return true;
}

void TfrmExportData::TabChanging(int NewTab) {
    if (NewTab == FActiveTab)
        return;
    if (!CommitEdit()) {
        const QSignalBlocker Block(tcTemplate);
        tcTemplate->setCurrentIndex(FActiveTab);
        return;
    }
    FActiveTab = NewTab;
    RefreshTemplateView();
}

void TfrmExportData::ShowPreview() {
    if (!CommitEdit())
        return;
    gbTemplate->hide();
    gbPreview->show();
}

void TfrmExportData::ShowEditTemplate() {
    gbPreview->hide();
    gbTemplate->show();
    memTemplate->setFocus();
}

std::vector<const TDataTemplateTag*> TfrmExportData::InsertableTags() const {
    std::vector<const TDataTemplateTag*> Tags;
    const unsigned Section = SectionOfTab(FActiveTab);
    for (const TDataTemplateTag* Tag : DataTemplateTags())
        if (Tag->Sections() & Section)
            Tags.push_back(Tag);
    return Tags;
}

void TfrmExportData::FillInsertMenu(QMenu& Menu) {
    if (&Menu == popInsert)
        Menu.clear();
    QAction* Before = Menu.actions().value(0);
    for (const TDataTemplateTag* Tag : InsertableTags()) {
        auto* Item = new QAction(QString::fromStdString(Tag->Description()), &Menu);
        connect(Item, &QAction::triggered, this, [this, Tag] { InsertTag(*Tag); });
        Menu.insertAction(Before, Item);
    }
    if (Before)
        Menu.insertSeparator(Before);
}

void TfrmExportData::ShowContextMenu(QPlainTextEdit& Memo, const QPoint& Position) {
    // The placeholders first, then the edit's own commands.
    std::unique_ptr<QMenu> Menu(Memo.createStandardContextMenu(Position));
    if (memTemplate->isEnabled())
        FillInsertMenu(*Menu);
    Menu->exec(Memo.viewport()->mapToGlobal(Position));
}

void TfrmExportData::InsertTag(const TDataTemplateTag& Tag) {
    if (!gbTemplate->isVisible())
        ShowEditTemplate();
    memTemplate->insertPlainText(QString::fromStdString(Tag.Text()));
    memTemplate->setFocus();
}

void TfrmExportData::DeleteTemplate() {
    if (!FTemplates || cboTemplateName->currentIndex() < 0)
        return;
    const std::string Name = cboTemplateName->currentText().toStdString();
    if (FPrompter.Ask(EMessageKind::Confirmation,
                      "Are you sure you want to delete the '" + Name + "' template?",
                      mbYesNo) != EMessageAnswer::Yes)
        return;
    FTemplates->Delete(Name);
    FTemplatesChanged = true;
    RefillTemplateNames();
    SelectTemplate(cboTemplateName->count() > 0 ? 0 : -1);
}

void TfrmExportData::SaveTemplate() {
    if (!FTemplates || !CommitEdit())
        return;
    const TDataTemplate* Selected = SelectedTemplate();
    QString Name = QString::fromStdString(Selected ? Selected->Name : FCurrent->Name);
    if (!OnAskTemplateName || !OnAskTemplateName(Name))
        return;
    const std::string Wanted = Name.trimmed().toStdString();
    if (Wanted.empty()) {
        FPrompter.Ask(EMessageKind::Error, "The template was not saved: it needs a name.", mbOK);
        return;
    }
    if (dynamic_cast<const TCustomDataTemplate*>(FTemplates->Find(Wanted))) {
        FPrompter.Ask(EMessageKind::Error,
                      "The template was not saved: '" + Wanted +
                          "' is the name of a spreadsheet template, which a text template "
                          "cannot replace.",
                      mbOK);
        return;
    }
    auto Saved = std::make_unique<TDataTemplate>();
    Saved->Assign(*FCurrent);
    Saved->Name = Wanted;
    FTemplates->Add(std::move(Saved));
    FTemplatesChanged = true;
    RefillTemplateNames();
    SelectTemplate(FTemplates->IndexOf(Wanted));
}

void TfrmExportData::Export() {
    if (CommitEdit())
        accept();
}

} // namespace korvane
