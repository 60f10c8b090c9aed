#pragma once

// The user manual built into the program: Markdown pages with their contents, index and help
// context numbers, kept in the program's resources under ":/manual/".

#include <QString>
#include <map>
#include <vector>

namespace korvane {

class TManual {
public:
    struct TContentsEntry {
        int Depth = 0;
        QString Page, Title;
    };
    struct TIndexEntry {
        QString Keyword, Page;
    };
    struct TSearchHit {
        QString Page, Title;
        int Score = 0;
    };

    // The manual in the resources (empty when there is none).
    static const TManual& BuiltIn();
    // A manual read from Folder (contents.txt, index.txt, contexts.txt and the pages).
    explicit TManual(const QString& Folder);

    bool Empty() const { return FContents.empty(); }
    const QString& Folder() const { return FFolder; }
    const std::vector<TContentsEntry>& Contents() const { return FContents; }
    const std::vector<TIndexEntry>& Index() const { return FIndex; }
    const std::map<int, QString>& Contexts() const { return FContexts; }

    bool HasPage(const QString& Page) const;
    // The page's title, from its contents line or its first heading.
    QString Title(const QString& Page) const;
    // The page's Markdown; empty for a page that does not exist.
    QString Text(const QString& Page) const;
    // The page for a help context number; empty when the number has none.
    QString PageOf(int Context) const;
    // Pages holding every word of Words (letter case ignored), best first: a word in the
    // title counts more than one in the text.
    std::vector<TSearchHit> Search(const QString& Words) const;

private:
    QString FFolder;
    std::vector<TContentsEntry> FContents;
    std::vector<TIndexEntry> FIndex;
    std::map<int, QString> FContexts;
};

} // namespace korvane
