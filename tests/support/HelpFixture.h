#pragma once

#include "ui/common/HelpUtils.h"
#include "ui/help/Manual.h"

#include <QFile>
#include <QTemporaryDir>
#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

namespace korvane {

// While it lives, the help shows a small manual of one page, "topic.md", for the given help
// context numbers (none: a program without a manual), and every topic asked for is recorded
// instead of opening the help window.
class THelpFixture {
public:
    explicit THelpFixture(std::initializer_list<int> Contexts = {500, 1000, 1050, 1600}) {
        if (Contexts.size() > 0) {
            Write("contents.txt", "0|topic.md|Topic\n");
            Write("topic.md", "# Topic\n\nText.\n");
            QByteArray Map;
            for (int Context : Contexts)
                Map += QByteArray::number(Context) + "|topic.md\n";
            Write("contexts.txt", Map);
        }
        FManual = std::make_unique<TManual>(FFolder.path());
        SetHelpManual(FManual.get());
        SetHelpViewer([this](const QString& Page, int Context) {
            Shown.push_back(Context);
            Pages.push_back(Page);
        });
    }
    ~THelpFixture() {
        SetHelpViewer(nullptr);
        SetHelpManual(nullptr);
    }

    std::vector<int> Shown;
    std::vector<QString> Pages;

private:
    void Write(const char* Name, const QByteArray& Text) {
        QFile File(FFolder.filePath(Name));
        if (File.open(QIODevice::WriteOnly))
            File.write(Text);
    }

    QTemporaryDir FFolder;
    std::unique_ptr<TManual> FManual;
};

} // namespace korvane
