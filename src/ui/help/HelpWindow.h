#pragma once

#include "ui/help/Manual.h"

#include <QMainWindow>
#include <QTextBrowser>
#include <functional>

class QLineEdit;
class QListWidget;
class QTabWidget;
class QTreeWidget;

namespace korvane {

// Shows the manual's pages; ".md" links open other pages, and the line "<!-- shortcuts -->"
// becomes the table of keyboard shortcuts.
class THelpBrowser : public QTextBrowser {
public:
    THelpBrowser(const TManual& Manual, QWidget* Parent);
    std::function<QString()> ShortcutsTable;

    QVariant loadResource(int Type, const QUrl& Name) override;

private:
    const TManual& FManual;
};

// The help window: the manual's contents, its index and a full-text search beside the page.
// One per program, made when it is first asked for.
class THelpWindow : public QMainWindow {
public:
    explicit THelpWindow(const TManual& Manual, QWidget* Parent = nullptr);

    // The program's help window.
    static THelpWindow& Instance();
    // Markdown of the program's keyboard shortcuts (a table), for the shortcuts page.
    static void SetShortcutsTable(std::function<QString()> Table);

    // Shows Page (a file of the manual), or the contents' first page when it has none.
    void ShowPage(const QString& Page);
    // The page of a help context number.
    void ShowContext(int Context);
    QString CurrentPage() const;

    QTabWidget* tabs;
    QTreeWidget* tvContents;
    QLineEdit* edIndex;
    QListWidget* lstIndex;
    QLineEdit* edSearch;
    QListWidget* lstSearch;
    THelpBrowser* browser;

private:
    // A tab of a line to type in over a list (the index and the search).
    void AddListPage(const QString& Caption, const QString& Placeholder, QLineEdit*& Edit,
                     QListWidget*& List);
    void FillIndex(const QString& Prefix);
    void RunSearch();

    const TManual& FManual;
};

} // namespace korvane
