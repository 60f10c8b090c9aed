#pragma once

#include "export/DataTemplates.h"

#include <QDialog>
#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTabBar;
class QTimer;

namespace korvane {

class IPrompter;
class TDigitization;

// The export dialog: the user picks a template, may edit its header, body and footer with
// placeholders, sees a preview of the first lines, chooses all or only the selected points
// and the clipboard or a file. The edits go into a working template "Current", which a text
// export writes; saving and deleting templates change the template list at once.
//
// Our additions: while the user types, the output of the first points is shown below the
// edit after a short pause (or what is wrong with the text); the context menu of the edits
// offers the usual editing commands after the placeholders; a template cannot be saved
// without a name or under the name of a spreadsheet template.
class TfrmExportData : public QDialog {
public:
    // The tabs of tcTemplate.
    enum ETab { tabBody = 0, tabHeader = 1, tabFooter = 2 };

    // Questions (deleting a template, parse errors) go to Prompter.
    explicit TfrmExportData(IPrompter& Prompter, QWidget* Parent = nullptr);
    ~TfrmExportData() override;

    QLabel* lblForEach;
    QComboBox* cboTemplateName;
    QGroupBox* gbTemplate;
    QTabBar* tcTemplate;
    QPlainTextEdit* memTemplate;
    QPlainTextEdit* memLivePreview;
    QPushButton* cmdInsert;
    QPushButton* cmdDelete;
    QPushButton* cmdSaveTemplate;
    QPushButton* cmdPreview;
    QGroupBox* gbPreview;
    QPlainTextEdit* memPreview;
    QPushButton* cmdEditTemplate;
    QGroupBox* gbOptions;
    QRadioButton* rdoExportAllPoints;
    QRadioButton* rdoExportSelectedPoints;
    QCheckBox* chkExportToClipboard;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;
    QPushButton* HelpBtn;
    QMenu* popInsert;

    // The list the dialog edits (not owned): fills the drop-down and selects entry 0.
    void SetTemplates(TDataTemplateList* List);
    // The data set to preview (not owned).
    void SetDigitization(const TDigitization* Digitization);
    // The units and number formats the tags expand with.
    void SetExpansionParams(const TExpansionParams& Params);
    const TExpansionParams& ExpansionParams() const { return FParams; }
    // Shows or hides the choice between all and selected points (hidden at first).
    void ShowPointOptions(bool Show);

    // The list entry selected in the drop-down, or null.
    TDataTemplate* SelectedTemplate() const;
    // The working template a text export writes.
    TDataTemplate& Current() const { return *FCurrent; }
    // "Copy to clipboard" is enabled and ticked.
    bool ExportToClipboard() const;
    // "Export selected points" is chosen.
    bool ExportSelectedPoints() const;
    // A template was saved or deleted while the dialog was open.
    bool TemplatesChanged() const { return FTemplatesChanged; }

    // The dialog's commands, as its buttons run them.
    // Parses the edit into the active tab's section of Current. A text that does not parse
    // is shown to the user and the answer is false; the section keeps its text.
    bool CommitEdit();
    void ShowPreview();      // "&Preview": commits, then shows the preview group
    void ShowEditTemplate(); // "&Edit Template"
    void DeleteTemplate();   // "&Delete Template", after asking
    void SaveTemplate();     // "Save &Template...", asking for a name
    void InsertTag(const class TDataTemplateTag& Tag);
    // Commits and closes with OK; stays open when the edit does not parse.
    void Export();

    // Asks for the name a template is saved under ("Save Template As", "Save this template
    // as:"); true on OK. By default the simple dialog asks; tests answer themselves.
    std::function<bool(QString& Name)> OnAskTemplateName;

    // The tags offered for the active tab, in table order.
    std::vector<const TDataTemplateTag*> InsertableTags() const;
    // Fills Menu with one item per insertable tag.
    void FillInsertMenu(QMenu& Menu);

    // How long the typing pauses before the live preview follows, in milliseconds.
    static constexpr int LivePreviewDelay = 300;
    // Brings the live preview up to date now.
    void UpdateLivePreview();

private:
    void RefillTemplateNames();
    void SelectTemplate(int Index);
    void RefreshTemplateView();
    void RebuildPreview();
    void TabChanging(int NewTab);
    void ShowContextMenu(QPlainTextEdit& Memo, const QPoint& Position);
    std::string PreviewOf(const TDataTemplate& Template) const;
    void SetSectionText(TDataTemplate& Template, int Tab, const std::string& Text) const;
    std::string SectionText(const TDataTemplate& Template, int Tab) const;

    IPrompter& FPrompter;
    TDataTemplateList* FTemplates = nullptr;
    const TDigitization* FDigitization = nullptr;
    TExpansionParams FParams;
    std::unique_ptr<TDataTemplate> FCurrent;
    int FActiveTab = tabBody;
    // What the edit showed when it was last filled: an unchanged edit is not parsed again,
    // so a section keeps its exact text.
    QString FShownText;
    bool FTemplatesChanged = false;
    QTimer* FLiveTimer;
};

// The memo's text for a section: CR LF line breaks become the edit's own.
QString SectionToEditText(const std::string& Text);
// The section's text from the memo: each line break becomes CR LF.
std::string EditTextToSection(const QString& Text);

} // namespace korvane
