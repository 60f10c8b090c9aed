#include "app/MainWindow.h"
#include "core/Prompter.h"
#include "support/DialogHooks.h"
#include "ui/common/HelpUtils.h"
#include "ui/dialogs/CalculationDialog.h"
#include "ui/dialogs/EliminateGridDialog.h"
#include "ui/dialogs/ExportDialog.h"
#include "ui/dialogs/FormatDialog.h"
#include "ui/dialogs/PdfPageDialog.h"
#include "ui/dialogs/PointDialog.h"
#include "ui/dialogs/PreferencesDialog.h"
#include "ui/dialogs/PropertiesDialogs.h"
#include "ui/dialogs/ScalePoints.h"
#include "ui/help/HelpWindow.h"
#include "ui/help/Manual.h"
#include "ui/modes/KorvaneActions.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <set>

namespace korvane {
namespace {

const QString SourceFolder = QStringLiteral(KORVANE_TEST_DATA_DIR "/../../src");

// Every help context number the program's sources give a window, dialog, page, mode or
// control, with where it was found.
std::map<int, QString> HelpContextsInTheSources() {
    static const QRegularExpression Patterns[] = {
        QRegularExpression(QStringLiteral("SetHelpContext\\([^;]*?,\\s*(\\d{3,4})\\)")),
        QRegularExpression(QStringLiteral("HelpContext\\w*\\s*=\\s*(\\d{3,4})")),
        QRegularExpression(QStringLiteral("TDialogButtons\\s+\\w+\\([^;]*?,\\s*(\\d{3,4})\\)")),
        QRegularExpression(QStringLiteral("ConnectHelpButton\\([^;]*?,\\s*(\\d{3,4})\\)")),
    };
    std::map<int, QString> Found;
    QDirIterator Files(SourceFolder, {"*.cpp", "*.h"}, QDir::Files, QDirIterator::Subdirectories);
    while (Files.hasNext()) {
        const QString Path = Files.next();
        QFile File(Path);
        if (!File.open(QIODevice::ReadOnly))
            continue;
        const QString Text = QString::fromUtf8(File.readAll());
        for (const QRegularExpression& Pattern : Patterns)
            for (auto It = Pattern.globalMatch(Text); It.hasNext();)
                Found.emplace(It.next().captured(1).toInt(), QFileInfo(Path).fileName());
    }
    return Found;
}

// The numbers the windows and every dialog carry on themselves and their controls.
void AddHelpContextsOf(QWidget& Form, std::map<int, QString>& Found) {
    QList<QWidget*> Widgets = Form.findChildren<QWidget*>();
    Widgets << &Form;
    for (const QWidget* W : Widgets)
        if (const int Context = HelpContextOf(*W))
            Found.emplace(Context,
                          Form.metaObject()->className() + QStringLiteral(" ") + W->objectName());
}

TEST(Help, EveryHelpContextNumberOfTheProgramOpensAPageOfTheManual) {
    const TManual& Manual = TManual::BuiltIn();
    ASSERT_FALSE(Manual.Empty()) << "no manual built in";
    // From the sources (the modes' numbers among them) and from the dialogs themselves.
    std::map<int, QString> Used = HelpContextsInTheSources();
    TScriptedPrompter Prompter;
    QTemporaryDir Folder;
    TfrmMain Main(Folder.path().toStdString(), Prompter);
    AddHelpContextsOf(Main, Used);
    const QByteArray Pdf = [] {
        QFile File(QStringLiteral(KORVANE_TEST_DATA_DIR "/pdf/three_pages.pdf"));
        return File.open(QIODevice::ReadOnly) ? File.readAll() : QByteArray();
    }();
    const TPdfDocument Document = TPdfDocument::FromData(Pdf, "three_pages.pdf");
    TfrmCalculationDialog Calculation;
    TfrmEliminateGrid Grid;
    TfrmExportData Export(Prompter);
    TfrmFormatDialog Formats;
    TfrmPdfPage PdfPage(Document);
    TfrmPointDialog Units;
    TfrmPreferencesDialog Settings;
    TfrmScatterProperties Scatter;
    TfrmLineProperties Line;
    TfrmScalePoints Point(Prompter);
    for (QWidget* Form :
         std::initializer_list<QWidget*>{&Calculation, &Grid, &Export, &Formats, &PdfPage, &Units,
                                         &Settings, &Scatter, &Line, &Point})
        AddHelpContextsOf(*Form, Used);
    // The windows, dialogs, settings pages and modes, and the controls with their own numbers.
    ASSERT_GT(Used.size(), 50u);
    for (int Known : {500, 900, 1000, 1050, 1100, 1600, 1700, 2000, 2300, 2400, 2500})
        EXPECT_TRUE(Used.count(Known)) << Known << " not found in the sources";
    for (const auto& [Context, Where] : Used) {
        const QString Page = Manual.PageOf(Context);
        EXPECT_FALSE(Page.isEmpty()) << Context << " (" << Where.toStdString() << ") has no page";
        EXPECT_TRUE(Page.isEmpty() || Manual.HasPage(Page))
            << Context << " opens " << Page.toStdString() << ", which is missing";
    }
}

TEST(Help, TheManualsContentsIndexAndLinksLeadToItsPages) {
    const TManual& Manual = TManual::BuiltIn();
    ASSERT_GT(Manual.Contents().size(), 20u);
    std::set<QString> Listed;
    for (const TManual::TContentsEntry& Entry : Manual.Contents()) {
        EXPECT_TRUE(Manual.HasPage(Entry.Page)) << Entry.Page.toStdString();
        Listed.insert(Entry.Page);
    }
    ASSERT_GT(Manual.Index().size(), 100u);
    for (const TManual::TIndexEntry& Entry : Manual.Index())
        EXPECT_TRUE(Listed.count(Entry.Page))
            << Entry.Keyword.toStdString() << " -> " << Entry.Page.toStdString();
    // Links between pages, and the pictures they show.
    static const QRegularExpression Link(QStringLiteral("\\]\\(([^)#\\s]+\\.md)(#[^)]*)?\\)"));
    for (const QString& Page : Listed)
        for (auto It = Link.globalMatch(Manual.Text(Page)); It.hasNext();) {
            const QString Target = It.next().captured(1);
            EXPECT_TRUE(Listed.count(Target))
                << Page.toStdString() << " links to " << Target.toStdString();
        }
    static const QRegularExpression Picture(QStringLiteral("!\\[[^\\]]*\\]\\(([^)\\s]+)\\)"));
    int Pictures = 0;
    for (const QString& Page : Listed)
        for (auto It = Picture.globalMatch(Manual.Text(Page)); It.hasNext(); ++Pictures) {
            const QString Target = It.next().captured(1);
            EXPECT_TRUE(QFile::exists(Manual.Folder() + "/" + Target))
                << Page.toStdString() << " shows " << Target.toStdString();
        }
    EXPECT_GT(Pictures, 10);
    // The keyboard shortcuts page is made by the program.
    bool Shortcuts = false;
    for (const QString& Page : Listed)
        Shortcuts = Shortcuts || Manual.Text(Page).contains("<!-- shortcuts -->");
    EXPECT_TRUE(Shortcuts);
}

TEST(Help, TheWindowShowsPagesByNumberIndexAndSearchAndTheShortcutsFromTheMenus) {
    TScriptedPrompter Prompter;
    QTemporaryDir Folder;
    TfrmMain Main(Folder.path().toStdString(), Prompter);
    const TManual& Manual = TManual::BuiltIn();
    THelpWindow Window(Manual);
    Window.show();

    Window.ShowContext(1600);
    EXPECT_EQ(Window.CurrentPage(), Manual.PageOf(1600));
    EXPECT_FALSE(Window.browser->toPlainText().isEmpty());
    Window.ShowContext(4321); // no page: the first one
    EXPECT_EQ(Window.CurrentPage(), Manual.Contents().front().Page);
    Window.browser->backward();
    EXPECT_EQ(Window.CurrentPage(), Manual.PageOf(1600));

    Window.edIndex->setText("log");
    ASSERT_GT(Window.lstIndex->count(), 0);
    for (int I = 0; I < Window.lstIndex->count(); ++I)
        EXPECT_TRUE(Window.lstIndex->item(I)->text().startsWith("log", Qt::CaseInsensitive));
    Window.edSearch->setText("logarithmic axis");
    ASSERT_GT(Window.lstSearch->count(), 0);
    emit Window.lstSearch->itemActivated(Window.lstSearch->item(0));
    EXPECT_TRUE(Window.browser->toPlainText().contains("logarithmic", Qt::CaseInsensitive));

    // The shortcuts page lists the menus' shortcuts as the main window has them.
    QString ShortcutsPage;
    for (const TManual::TContentsEntry& Entry : Manual.Contents())
        if (Manual.Text(Entry.Page).contains("<!-- shortcuts -->"))
            ShortcutsPage = Entry.Page;
    Window.ShowPage(ShortcutsPage);
    const QString Shown = Window.browser->toPlainText();
    EXPECT_TRUE(Shown.contains("Edit > Paint")) << Shown.toStdString();
    EXPECT_TRUE(Shown.contains(Main.actEditPaint->shortcut().toString(QKeySequence::NativeText)));
    EXPECT_FALSE(Shown.contains("<!--"));
}

} // namespace
} // namespace korvane
