#include "ui/help/Manual.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <algorithm>

namespace korvane {

namespace {

// The lines of a text file of the manual, without blank lines and "#" comments.
QStringList Lines(const QString& FileName) {
    QFile File(FileName);
    if (!File.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QStringList Result;
    for (const QString& Line : QString::fromUtf8(File.readAll()).split('\n')) {
        const QString Trimmed = Line.trimmed();
        if (!Trimmed.isEmpty() && !Trimmed.startsWith('#'))
            Result << Trimmed;
    }
    return Result;
}

} // namespace

const TManual& TManual::BuiltIn() {
    static const TManual Manual(QStringLiteral(":/manual"));
    return Manual;
}

TManual::TManual(const QString& Folder) : FFolder(Folder) {
    for (const QString& Line : Lines(Folder + "/contents.txt")) {
        const QStringList Parts = Line.split('|');
        if (Parts.size() == 3)
            FContents.push_back({Parts[0].toInt(), Parts[1].trimmed(), Parts[2].trimmed()});
    }
    for (const QString& Line : Lines(Folder + "/index.txt")) {
        const QStringList Parts = Line.split('|');
        if (Parts.size() == 2)
            FIndex.push_back({Parts[0].trimmed(), Parts[1].trimmed()});
    }
    std::stable_sort(FIndex.begin(), FIndex.end(), [](const TIndexEntry& A, const TIndexEntry& B) {
        return A.Keyword.compare(B.Keyword, Qt::CaseInsensitive) < 0;
    });
    for (const QString& Line : Lines(Folder + "/contexts.txt")) {
        const QStringList Parts = Line.split('|');
        bool Number = false;
        const int Context = Parts.value(0).trimmed().toInt(&Number);
        if (Parts.size() == 2 && Number)
            FContexts[Context] = Parts[1].trimmed();
    }
}

bool TManual::HasPage(const QString& Page) const {
    return !Page.isEmpty() && !Page.contains('/') && QFile::exists(FFolder + "/" + Page);
}

QString TManual::Title(const QString& Page) const {
    for (const TContentsEntry& Entry : FContents)
        if (Entry.Page == Page)
            return Entry.Title;
    static const QRegularExpression Heading(QStringLiteral("^#\\s+(.+)$"),
                                            QRegularExpression::MultilineOption);
    const QRegularExpressionMatch Match = Heading.match(Text(Page));
    return Match.hasMatch() ? Match.captured(1).trimmed() : Page;
}

QString TManual::Text(const QString& Page) const {
    if (!HasPage(Page))
        return {};
    QFile File(FFolder + "/" + Page);
    if (!File.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(File.readAll());
}

QString TManual::PageOf(int Context) const {
    const auto Found = FContexts.find(Context);
    return Found == FContexts.end() ? QString() : Found->second;
}

std::vector<TManual::TSearchHit> TManual::Search(const QString& Words) const {
    static const QRegularExpression Separators(QStringLiteral("[^\\w]+"));
    const QStringList Wanted = Words.toLower().split(Separators, Qt::SkipEmptyParts);
    std::vector<TSearchHit> Hits;
    if (Wanted.isEmpty())
        return Hits;
    for (const TContentsEntry& Entry : FContents) {
        const QString Body = Text(Entry.Page).toLower();
        const QString Title = Entry.Title.toLower();
        int Score = 0;
        bool All = true;
        for (const QString& Word : Wanted) {
            const int InBody = static_cast<int>(Body.count(Word));
            const int InTitle = static_cast<int>(Title.count(Word));
            if (InBody + InTitle == 0) {
                All = false;
                break;
            }
            Score += InBody + 10 * InTitle;
        }
        if (All)
            Hits.push_back({Entry.Page, Entry.Title, Score});
    }
    std::stable_sort(Hits.begin(), Hits.end(),
                     [](const TSearchHit& A, const TSearchHit& B) { return A.Score > B.Score; });
    return Hits;
}

} // namespace korvane
