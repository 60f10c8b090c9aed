// The export dialog on its own, with scripted answers: templates, editing with commits and
// parse errors, the insert menu, deleting and saving templates, the preview and the options.
#include "ui/dialogs/ExportDialog.h"

#include "core/Prompter.h"
#include "document/Digitizations.h"
#include "export/ExportData.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <gtest/gtest.h>

namespace korvane {
namespace {

class ExportDialog : public ::testing::Test {
protected:
    void SetUp() override {
        for (TDoublePoint P : {TDoublePoint{1, 2}, {3, 4.5}, {5, 6}, {7, 8}})
            Scatter.AddPoint(P);
        TExpansionParams Params;
        Params.Units = {"mm", "N"};
        Dialog.SetExpansionParams(Params);
        Dialog.SetTemplates(Templates.get());
        Dialog.SetDigitization(&Scatter);
    }

    // As the user chooses an entry.
    void Select(const std::string& Name) {
        Dialog.cboTemplateName->setCurrentIndex(Templates->IndexOf(Name));
        emit Dialog.cboTemplateName->activated(Templates->IndexOf(Name));
    }
    QString Preview() const { return Dialog.memPreview->toPlainText(); }
    void Type(const QString& Text) {
        Dialog.ShowEditTemplate();
        Dialog.memTemplate->setPlainText(Text);
    }
    std::vector<std::string> MenuCaptions() {
        QMenu Menu;
        Dialog.FillInsertMenu(Menu);
        std::vector<std::string> Captions;
        for (QAction* Action : Menu.actions())
            Captions.push_back(Action->text().toStdString());
        return Captions;
    }

    TScriptedPrompter Prompter;
    std::unique_ptr<TDataTemplateList> Templates = CreateBuiltInTemplates();
    TScatter Scatter{"Set 1"};
    TfrmExportData Dialog{Prompter};
};

TEST_F(ExportDialog, OpensOnTheFirstTemplateWithItsPreview) {
    EXPECT_EQ(Dialog.windowTitle(), "Export Data");
    EXPECT_EQ(Dialog.minimumWidth(), 490);
    EXPECT_TRUE(Dialog.isSizeGripEnabled());
    ASSERT_EQ(Dialog.cboTemplateName->count(), 6);
    const char* Names[] = {
        "Comma-separated", "Comma-separated with header", "Tab-separated", "XML", "DXF",
        "Microsoft Excel"};
    for (int I = 0; I < 6; ++I)
        EXPECT_EQ(Dialog.cboTemplateName->itemText(I).toStdString(), Names[I]);
    EXPECT_EQ(Dialog.SelectedTemplate(), &Templates->Items(0));
    EXPECT_EQ(Dialog.Current().Name, "Comma-separated");
    EXPECT_EQ(Dialog.Current().BodyText(), "{X},{Y}\r\n");
    EXPECT_FALSE(Dialog.gbPreview->isHidden());
    EXPECT_TRUE(Dialog.gbTemplate->isHidden());
    // At most three body lines, however many points there are.
    EXPECT_EQ(Preview(), "1.00,2.00\n3.00,4.50\n5.00,6.00\n");
    EXPECT_TRUE(Dialog.rdoExportAllPoints->isChecked());
    EXPECT_TRUE(Dialog.rdoExportAllPoints->isHidden()); // until an export command shows them
    EXPECT_TRUE(Dialog.chkExportToClipboard->isEnabled());
    EXPECT_TRUE(Dialog.cmdDelete->isEnabled());
}

TEST_F(ExportDialog, TheSpreadsheetTemplateOnlyPreviewsAndCannotGoToTheClipboard) {
    Dialog.chkExportToClipboard->setChecked(true);
    EXPECT_TRUE(Dialog.ExportToClipboard());
    Dialog.ShowEditTemplate();
    Select("Microsoft Excel");
    EXPECT_FALSE(Dialog.gbPreview->isHidden());
    EXPECT_TRUE(Dialog.gbTemplate->isHidden());
    for (QWidget* Control : std::initializer_list<QWidget*>{
             Dialog.gbPreview, Dialog.cmdDelete, Dialog.cmdSaveTemplate, Dialog.cmdInsert,
             Dialog.memTemplate, Dialog.memPreview, Dialog.cmdPreview, Dialog.cmdEditTemplate,
             Dialog.tcTemplate, Dialog.chkExportToClipboard})
        EXPECT_FALSE(Control->isEnabled()) << Control->metaObject()->className();
    EXPECT_FALSE(Dialog.ExportToClipboard()); // ticked, but disabled
    EXPECT_EQ(Preview(), "");

    Select("XML");
    EXPECT_TRUE(Dialog.cmdEditTemplate->isEnabled());
    EXPECT_TRUE(Dialog.ExportToClipboard());
    EXPECT_EQ(Preview().toStdString(), "<DATA XUnits=\"mm\" YUnits=\"N\">\n"
                                       "  <POINT><X>1.00</X><Y>2.00</Y></POINT>\n"
                                       "  <POINT><X>3.00</X><Y>4.50</Y></POINT>\n"
                                       "  <POINT><X>5.00</X><Y>6.00</Y></POINT>\n"
                                       "</DATA>");
}

TEST_F(ExportDialog, EditsGoIntoTheWorkingCopyWhenCommitted) {
    Select("XML");
    Type("{x};{Y}\n");
    EXPECT_EQ(Dialog.Current().BodyText(), "  <POINT><X>{X}</X><Y>{Y}</Y></POINT>\r\n");
    Dialog.ShowPreview();
    EXPECT_TRUE(Dialog.gbTemplate->isHidden());
    EXPECT_EQ(Dialog.Current().BodyText(), "{X};{Y}\r\n"); // canonical tags, CR LF
    EXPECT_EQ(Preview().toStdString(),
              "<DATA XUnits=\"mm\" YUnits=\"N\">\n1.00;2.00\n3.00;4.50\n5.00;6.00\n</DATA>");
    // The list's template is untouched until it is saved.
    EXPECT_EQ(Templates->Find("XML")->BodyText(), "  <POINT><X>{X}</X><Y>{Y}</Y></POINT>\r\n");

    // The tabs show and commit their own sections.
    Dialog.ShowEditTemplate();
    Dialog.tcTemplate->setCurrentIndex(TfrmExportData::tabFooter);
    EXPECT_EQ(Dialog.memTemplate->toPlainText(), "</DATA>");
    Dialog.memTemplate->setPlainText("</DATA>\n<!-- {YU} -->");
    Dialog.tcTemplate->setCurrentIndex(TfrmExportData::tabHeader);
    EXPECT_EQ(Dialog.Current().FooterText(), "</DATA>\r\n<!-- {YU} -->");
    EXPECT_EQ(Dialog.memTemplate->toPlainText().toStdString(),
              "<DATA XUnits=\"{XU}\" YUnits=\"{YU}\">\n");
    EXPECT_TRUE(Prompter.Asked.empty());

    // Selecting a template again starts from its stored text.
    Select("XML");
    EXPECT_EQ(Dialog.Current().FooterText(), "</DATA>");
}

TEST_F(ExportDialog, AnUnchangedEditKeepsTheSectionExactly) {
    // A section with a lone line feed (not one the edit writes) survives committing.
    Templates->Items(0).SetBodyText("{X}\n{Y}\r\n");
    Select("Tab-separated");
    Select("Comma-separated");
    Dialog.ShowEditTemplate();
    ASSERT_TRUE(Dialog.CommitEdit());
    EXPECT_EQ(Dialog.Current().BodyText(), "{X}\n{Y}\r\n");
    EXPECT_EQ(EditTextToSection(SectionToEditText("a\r\nb\tc\r\n")), "a\r\nb\tc\r\n");
    EXPECT_EQ(EditTextToSection(QString("a") + QChar::ParagraphSeparator + "b"), "a\r\nb");
}

TEST_F(ExportDialog, ParseErrorsAreShownAndStopTheAction) {
    struct TCase {
        const char* Text;
        const char* Message;
    };
    const TCase Cases[] = {{"{X", "End delimiter not found: 'X'"},
                           {"a {Foo} b", "Tag symbol not found: 'Foo'"},
                           {"{it's", "End delimiter not found: 'it''s'"}};
    struct TAction {
        const char* Name;
        std::function<void(TfrmExportData&)> Run;
        std::function<bool(TfrmExportData&)> Stopped;
    };
    const TAction Actions[] = {
        {"tab change",
         [](TfrmExportData& D) { D.tcTemplate->setCurrentIndex(TfrmExportData::tabHeader); },
         [](TfrmExportData& D) { return D.tcTemplate->currentIndex() == 0; }},
        {"preview", [](TfrmExportData& D) { D.cmdPreview->click(); },
         [](TfrmExportData& D) { return D.gbPreview->isHidden(); }},
        {"export", [](TfrmExportData& D) { D.OKBtn->click(); },
         [](TfrmExportData& D) { return D.result() != QDialog::Accepted; }},
        {"save template", [](TfrmExportData& D) { D.cmdSaveTemplate->click(); },
         [](TfrmExportData&) { return true; }},
    };
    bool NameAsked = false;
    Dialog.OnAskTemplateName = [&](QString&) { return NameAsked = true; };
    for (const TCase& Case : Cases)
        for (const TAction& Action : Actions) {
            SCOPED_TRACE(std::string(Case.Text) + " / " + Action.Name);
            Prompter.Asked.clear();
            Dialog.setResult(QDialog::Rejected);
            Type(Case.Text);
            Action.Run(Dialog);
            ASSERT_EQ(Prompter.Asked.size(), 1u);
            EXPECT_EQ(Prompter.Asked[0].Text, Case.Message);
            EXPECT_EQ(Prompter.Asked[0].Kind, EMessageKind::Error);
            EXPECT_TRUE(Action.Stopped(Dialog));
            EXPECT_EQ(Dialog.Current().BodyText(), "{X},{Y}\r\n");   // the section kept its text
            EXPECT_EQ(Dialog.memTemplate->toPlainText(), Case.Text); // and the user's typing
        }
    EXPECT_FALSE(NameAsked);
    EXPECT_EQ(Templates->Count(), 6);
}

TEST_F(ExportDialog, TheInsertMenuOffersTheTagsOfTheActiveSection) {
    using Captions = std::vector<std::string>;
    EXPECT_EQ(MenuCaptions(), (Captions{"X", "Y", "X units", "Y units", "Left curly bracket",
                                        "Right curly bracket"}));
    Dialog.ShowEditTemplate();
    for (int Tab : {TfrmExportData::tabHeader, TfrmExportData::tabFooter}) {
        Dialog.tcTemplate->setCurrentIndex(Tab);
        EXPECT_EQ(MenuCaptions(),
                  (Captions{"X units", "Y units", "Minimum X value", "Maximum X value",
                            "Minimum Y value", "Maximum Y value", "Data set name", "Data set color",
                            "Time stamp", "Left curly bracket", "Right curly bracket"}));
    }
    // The button's menu is rebuilt as it opens; an item replaces the edit's selection.
    Dialog.tcTemplate->setCurrentIndex(TfrmExportData::tabBody);
    Dialog.ShowPreview();
    emit Dialog.popInsert->aboutToShow();
    ASSERT_EQ(Dialog.popInsert->actions().size(), 6);
    Dialog.memTemplate->selectAll();
    Dialog.popInsert->actions()[4]->trigger(); // "{LB}", shown in the edit group
    EXPECT_FALSE(Dialog.gbTemplate->isHidden());
    EXPECT_EQ(Dialog.memTemplate->toPlainText(), "{LB}");
    Dialog.popInsert->actions()[0]->trigger();
    EXPECT_EQ(Dialog.memTemplate->toPlainText(), "{LB}{X}");
}

TEST_F(ExportDialog, DeletingATemplateAsksFirst) {
    Select("XML");
    Prompter = TScriptedPrompter({EMessageAnswer::No, EMessageAnswer::Yes});
    Dialog.cmdDelete->click();
    ASSERT_EQ(Prompter.Asked.size(), 1u);
    EXPECT_EQ(Prompter.Asked[0].Text, "Are you sure you want to delete the 'XML' template?");
    EXPECT_EQ(Prompter.Asked[0].Buttons, unsigned(mbYesNo));
    EXPECT_EQ(Templates->Count(), 6);
    EXPECT_FALSE(Dialog.TemplatesChanged());

    Dialog.cmdDelete->click();
    EXPECT_EQ(Templates->IndexOf("XML"), -1);
    EXPECT_EQ(Dialog.cboTemplateName->count(), 5);
    EXPECT_EQ(Dialog.cboTemplateName->currentIndex(), 0);
    EXPECT_EQ(Dialog.Current().Name, "Comma-separated");
    EXPECT_TRUE(Dialog.TemplatesChanged());
}

TEST_F(ExportDialog, DeletingTheLastTemplateLeavesNothingSelected) {
    auto One = std::make_unique<TDataTemplateList>();
    AddBuiltInTextTemplates(*One);
    while (One->Count() > 1)
        One->Delete(One->Names(One->Count() - 1));
    Dialog.SetTemplates(One.get());
    Prompter = TScriptedPrompter({EMessageAnswer::Yes});
    Dialog.chkExportToClipboard->setChecked(true);
    Dialog.cmdDelete->click();
    EXPECT_EQ(One->Count(), 0);
    EXPECT_EQ(Dialog.cboTemplateName->currentIndex(), -1);
    EXPECT_EQ(Dialog.SelectedTemplate(), nullptr);
    EXPECT_FALSE(Dialog.cmdDelete->isEnabled());
    EXPECT_FALSE(Dialog.chkExportToClipboard->isEnabled());
    EXPECT_FALSE(Dialog.ExportToClipboard());
    EXPECT_EQ(Dialog.Current().BodyText(), "{X},{Y}\r\n"); // Current keeps its content
}

TEST_F(ExportDialog, SavingATemplate) {
    std::vector<QString> Offered;
    QString Answer;
    Dialog.OnAskTemplateName = [&](QString& Name) {
        Offered.push_back(Name);
        Name = Answer;
        return true;
    };
    Select("XML");
    Type("<P x=\"{X}\"/>\n");
    Answer = " Points ";
    Dialog.cmdSaveTemplate->click();
    ASSERT_EQ(Offered.size(), 1u);
    EXPECT_EQ(Offered[0], "XML"); // the selected template's name is offered
    ASSERT_EQ(Templates->Count(), 7);
    EXPECT_EQ(Templates->Names(6), "Points");
    EXPECT_EQ(Templates->Items(6).BodyText(), "<P x=\"{X}\"/>\r\n");
    EXPECT_EQ(Templates->Items(6).Extension, "xml");
    EXPECT_EQ(Dialog.cboTemplateName->count(), 7);
    EXPECT_EQ(Dialog.cboTemplateName->currentText(), "Points");
    EXPECT_TRUE(Dialog.TemplatesChanged());

    // The same name in other letters replaces the entry in place.
    Type("{Y}\n");
    Answer = "points";
    Dialog.cmdSaveTemplate->click();
    ASSERT_EQ(Templates->Count(), 7);
    EXPECT_EQ(Templates->Names(6), "Points");
    EXPECT_EQ(Templates->Items(6).BodyText(), "{Y}\r\n");

    // No name, or the spreadsheet's: refused with a reason, nothing changes.
    for (const char* Refused : {"  ", "MICROSOFT EXCEL"}) {
        SCOPED_TRACE(Refused);
        Prompter.Asked.clear();
        Answer = Refused;
        Dialog.cmdSaveTemplate->click();
        EXPECT_EQ(Prompter.Asked.size(), 1u);
        EXPECT_EQ(Templates->Count(), 7);
        EXPECT_NE(dynamic_cast<TExcelTemplate*>(Templates->Find("Microsoft Excel")), nullptr);
    }
    // Cancelled: nothing.
    Dialog.OnAskTemplateName = [](QString&) { return false; };
    Dialog.cmdSaveTemplate->click();
    EXPECT_EQ(Templates->Count(), 7);
}

TEST_F(ExportDialog, SelectedPointsOnly) {
    Dialog.ShowPointOptions(true);
    EXPECT_FALSE(Dialog.rdoExportSelectedPoints->isHidden());
    Select("XML");
    Dialog.rdoExportSelectedPoints->click();
    EXPECT_TRUE(Dialog.ExportSelectedPoints());
    // An empty selection: header and footer only.
    EXPECT_EQ(Preview().toStdString(), "<DATA XUnits=\"mm\" YUnits=\"N\">\n</DATA>");
    Scatter.Selection().Select(3);
    Dialog.rdoExportSelectedPoints->click();
    EXPECT_EQ(Preview().toStdString(), "<DATA XUnits=\"mm\" YUnits=\"N\">\n"
                                       "  <POINT><X>7.00</X><Y>8.00</Y></POINT>\n</DATA>");
    Dialog.rdoExportAllPoints->click();
    EXPECT_EQ(Preview().count("<POINT>"), 3);
}

TEST_F(ExportDialog, TheOutputFollowsTheTypingAfterAPause) {
    Select("Comma-separated");
    Dialog.ShowEditTemplate();
    EXPECT_EQ(Dialog.memLivePreview->toPlainText(), "1.00,2.00\n3.00,4.50\n5.00,6.00\n");
    Dialog.memTemplate->setPlainText("{Y} {YU}\n");
    // Not at every keystroke: after the pause.
    EXPECT_EQ(Dialog.memLivePreview->toPlainText(), "1.00,2.00\n3.00,4.50\n5.00,6.00\n");
    QElapsedTimer Clock;
    Clock.start();
    while (Dialog.memLivePreview->toPlainText().startsWith("1.00") && Clock.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(Dialog.memLivePreview->toPlainText(), "2.00 N\n4.50 N\n6.00 N\n");
    EXPECT_GE(Clock.elapsed(), TfrmExportData::LivePreviewDelay - 50);
    // A text that does not parse says why, without a message box; nothing is committed.
    Dialog.memTemplate->setPlainText("{Y");
    Dialog.UpdateLivePreview();
    EXPECT_EQ(Dialog.memLivePreview->toPlainText(), "End delimiter not found: 'Y'");
    EXPECT_TRUE(Prompter.Asked.empty());
    EXPECT_EQ(Dialog.Current().BodyText(), "{X},{Y}\r\n");
}

} // namespace
} // namespace korvane
