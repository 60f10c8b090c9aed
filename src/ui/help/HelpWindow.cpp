#include "ui/help/HelpWindow.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QSplitter>
#include <QTabWidget>
#include <QToolBar>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace korvane {

namespace {

std::function<QString()>& Shortcuts() {
    static std::function<QString()> Table;
    return Table;
}

const char* ShortcutsMark = "<!-- shortcuts -->";

} // namespace

// ---- THelpBrowser ----

THelpBrowser::THelpBrowser(const TManual& Manual, QWidget* Parent)
    : QTextBrowser(Parent), FManual(Manual) {
    setOpenExternalLinks(true);
    setSearchPaths({Manual.Folder()});
}

QVariant THelpBrowser::loadResource(int Type, const QUrl& Name) {
    const QString Page = Name.fileName();
    if (Page.endsWith(QLatin1String(".md")) && FManual.HasPage(Page)) {
        QString Text = FManual.Text(Page);
        if (Text.contains(QLatin1String(ShortcutsMark)))
            Text.replace(QLatin1String(ShortcutsMark),
                         ShortcutsTable ? ShortcutsTable() : QString());
        return Text;
    }
    // Pictures and anything else from the manual's folder.
    return QTextBrowser::loadResource(Type, Name);
}

// ---- THelpWindow ----

THelpWindow::THelpWindow(const TManual& Manual, QWidget* Parent)
    : QMainWindow(Parent), FManual(Manual) {
    setWindowTitle(QStringLiteral("Korvane 5 Help"));
    setAttribute(Qt::WA_QuitOnClose, false);

    tabs = new QTabWidget(this);
    tvContents = new QTreeWidget(tabs);
    tvContents->setHeaderHidden(true);
    QTreeWidgetItem* Chapter = nullptr;
    for (const TManual::TContentsEntry& Entry : Manual.Contents()) {
        auto* Item = (Entry.Depth > 0 && Chapter) ? new QTreeWidgetItem(Chapter)
                                                  : new QTreeWidgetItem(tvContents);
        if (Entry.Depth == 0)
            Chapter = Item;
        Item->setText(0, Entry.Title);
        Item->setData(0, Qt::UserRole, Entry.Page);
    }
    tvContents->expandAll();
    tabs->addTab(tvContents, QStringLiteral("&Contents"));

    AddListPage(QStringLiteral("&Index"), QStringLiteral("Type a keyword"), edIndex, lstIndex);
    AddListPage(QStringLiteral("&Search"), QStringLiteral("Words to find"), edSearch, lstSearch);

    browser = new THelpBrowser(Manual, this);
    browser->ShortcutsTable = [] { return Shortcuts() ? Shortcuts()() : QString(); };

    auto* Split = new QSplitter(this);
    Split->addWidget(tabs);
    Split->addWidget(browser);
    Split->setStretchFactor(1, 1);
    Split->setSizes({260, 640});
    setCentralWidget(Split);

    QToolBar* Bar = addToolBar(QStringLiteral("Navigation"));
    Bar->setMovable(false);
    QAction* Back = Bar->addAction(style()->standardIcon(QStyle::SP_ArrowBack),
                                   QStringLiteral("Back"), browser, &QTextBrowser::backward);
    Back->setShortcut(QKeySequence::Back);
    QAction* Forward = Bar->addAction(style()->standardIcon(QStyle::SP_ArrowForward),
                                      QStringLiteral("Forward"), browser, &QTextBrowser::forward);
    Forward->setShortcut(QKeySequence::Forward);
    Bar->addAction(style()->standardIcon(QStyle::SP_DirHomeIcon), QStringLiteral("Contents"), this,
                   [this] { ShowPage({}); });
    connect(browser, &QTextBrowser::backwardAvailable, Back, &QAction::setEnabled);
    connect(browser, &QTextBrowser::forwardAvailable, Forward, &QAction::setEnabled);
    Back->setEnabled(false);
    Forward->setEnabled(false);
    auto* Close = new QAction(this);
    Close->setShortcut(QKeySequence::Close);
    connect(Close, &QAction::triggered, this, &QWidget::close);
    addAction(Close);

    connect(tvContents, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* Item) { ShowPage(Item->data(0, Qt::UserRole).toString()); });
    connect(tvContents, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* Item) { ShowPage(Item->data(0, Qt::UserRole).toString()); });
    connect(edIndex, &QLineEdit::textChanged, this, &THelpWindow::FillIndex);
    connect(edIndex, &QLineEdit::returnPressed, this, [this] {
        if (lstIndex->count() > 0)
            ShowPage(lstIndex->item(0)->data(Qt::UserRole).toString());
    });
    const auto OpenListed = [this](QListWidgetItem* Item) {
        ShowPage(Item->data(Qt::UserRole).toString());
    };
    connect(lstIndex, &QListWidget::itemActivated, this, OpenListed);
    connect(lstIndex, &QListWidget::itemClicked, this, OpenListed);
    connect(edSearch, &QLineEdit::returnPressed, this, &THelpWindow::RunSearch);
    connect(edSearch, &QLineEdit::textChanged, this, &THelpWindow::RunSearch);
    connect(lstSearch, &QListWidget::itemActivated, this, OpenListed);
    connect(lstSearch, &QListWidget::itemClicked, this, OpenListed);
    connect(browser, &QTextBrowser::sourceChanged, this, [this] {
        // The contents follow the page shown.
        const QString Page = CurrentPage();
        QTreeWidgetItemIterator It(tvContents);
        for (; *It; ++It)
            if ((*It)->data(0, Qt::UserRole).toString() == Page) {
                tvContents->setCurrentItem(*It);
                break;
            }
    });

    FillIndex({});
    resize(960, 680);
    ShowPage({});
}

void THelpWindow::AddListPage(const QString& Caption, const QString& Placeholder, QLineEdit*& Edit,
                              QListWidget*& List) {
    auto* Page = new QWidget(tabs);
    Edit = new QLineEdit(Page);
    Edit->setPlaceholderText(Placeholder);
    Edit->setClearButtonEnabled(true);
    List = new QListWidget(Page);
    auto* Layout = new QVBoxLayout(Page);
    Layout->setContentsMargins(0, 0, 0, 0);
    Layout->addWidget(Edit);
    Layout->addWidget(List);
    tabs->addTab(Page, Caption);
}

THelpWindow& THelpWindow::Instance() {
    static THelpWindow* Window = nullptr;
    if (!Window) {
        Window = new THelpWindow(TManual::BuiltIn());
        // Gone with the application, not before.
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, [] {
            delete Window;
            Window = nullptr;
        });
    }
    return *Window;
}

void THelpWindow::SetShortcutsTable(std::function<QString()> Table) {
    Shortcuts() = std::move(Table);
}

void THelpWindow::ShowPage(const QString& Page) {
    QString Shown = Page;
    if (!FManual.HasPage(Shown) && !FManual.Contents().empty())
        Shown = FManual.Contents().front().Page;
    if (!FManual.HasPage(Shown))
        return;
    const QString Path = FManual.Folder() + "/" + Shown;
    const QUrl Url =
        Path.startsWith(':') ? QUrl(QStringLiteral("qrc") + Path) : QUrl::fromLocalFile(Path);
    if (browser->source() == Url)
        browser->reload();
    else
        browser->setSource(Url, QTextDocument::MarkdownResource);
}

void THelpWindow::ShowContext(int Context) {
    ShowPage(FManual.PageOf(Context));
}

QString THelpWindow::CurrentPage() const {
    return browser->source().fileName();
}

void THelpWindow::FillIndex(const QString& Prefix) {
    lstIndex->clear();
    for (const TManual::TIndexEntry& Entry : FManual.Index())
        if (Entry.Keyword.startsWith(Prefix.trimmed(), Qt::CaseInsensitive)) {
            auto* Item = new QListWidgetItem(
                Entry.Keyword + QStringLiteral(" — ") + FManual.Title(Entry.Page), lstIndex);
            Item->setData(Qt::UserRole, Entry.Page);
        }
}

void THelpWindow::RunSearch() {
    lstSearch->clear();
    for (const TManual::TSearchHit& Hit : FManual.Search(edSearch->text())) {
        auto* Item = new QListWidgetItem(Hit.Title, lstSearch);
        Item->setData(Qt::UserRole, Hit.Page);
    }
}

} // namespace korvane
