// korvane-screenshots: makes the pictures of the user manual (docs/manual/screenshots.md lists
// them) from the real program's window and dialogs. Meant to run under Xvfb through
// scripts/screenshots, which gives it a fixed screen, font resolution and locale.
//
//     korvane-screenshots [--output FOLDER] [--shared FOLDER] [NAME.png ...]
//
// Without names every picture is made. The exit status is 1 when a picture could not be made.
#include "Pictures.h"
#include "ui/common/Guarded.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QFont>
#include <QLocale>
#include <QScreen>
#include <QStyle>
#include <QStyleFactory>
#include <cstdio>
#include <set>

namespace {

// As in the program: an error no handler caught ends the step, not the run.
class TShotApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* Receiver, QEvent* Event) override {
        try {
            return QApplication::notify(Receiver, Event);
        } catch (const std::exception& Error) {
            korvane::ShowException(Error);
        }
        return false;
    }
};

int Usage() {
    std::fprintf(stderr,
                 "Usage: korvane-screenshots [--output FOLDER] [--shared FOLDER] [NAME.png ...]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    using namespace korvane::shots;
    // A fixed look: the Fusion style with its own palette, DejaVu Sans, English numbers.
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    TShotApplication Application(argc, argv);
    QApplication::setApplicationName("korvane");
    QApplication::setApplicationDisplayName("Korvane 5");
    QApplication::setPalette(QApplication::style()->standardPalette());
    QApplication::setFont(QFont("DejaVu Sans", 9));
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));

    TSources Sources{KORVANE_SHARED_DIR, KORVANE_SOURCE_DIR};
    QString Output = QString(KORVANE_SOURCE_DIR) + "/docs/manual/images";
    std::set<QString> Wanted;
    const QStringList Arguments = QApplication::arguments().mid(1);
    for (int I = 0; I < Arguments.size(); ++I) {
        const QString& A = Arguments[I];
        if ((A == "--output" || A == "--shared") && I + 1 < Arguments.size())
            (A == "--output" ? Output : Sources.SharedDir) = Arguments[++I];
        else if (A.endsWith(".png"))
            Wanted.insert(A);
        else
            return Usage();
    }
    std::set<QString> Known;
    for (const TPictureGroup& Group : PictureGroups())
        Known.insert(Group.Names.begin(), Group.Names.end());
    for (const QString& Name : Wanted)
        if (!Known.count(Name)) {
            std::fprintf(stderr, "korvane-screenshots: no picture %s\n", qPrintable(Name));
            return 2;
        }
    if (!QDir().mkpath(Output)) {
        std::fprintf(stderr, "korvane-screenshots: cannot create %s\n", qPrintable(Output));
        return 1;
    }

    // Errors the program would show in message boxes fail the pictures being made.
    korvane::SetExceptionHandler([](const std::exception& Error) {
        std::fprintf(stderr, "korvane-screenshots: the program reported: %s\n", Error.what());
        ProgramMessages().push_back(Error.what());
    });
    // The X pointer out of the way: the windows get only the mouse events sent to them.
    if (QScreen* Screen = QGuiApplication::primaryScreen())
        QCursor::setPos(Screen->geometry().bottomRight());

    TPictureSet Pictures(Output, Wanted);
    int Failed = 0;
    for (const TPictureGroup& Group : PictureGroups()) {
        if (!Pictures.WantsAny(Group.Names))
            continue;
        ProgramMessages().clear();
        try {
            Group.Make(Pictures, Sources);
            const std::vector<std::string>& Said = ProgramMessages();
            Require(Said.empty(), Said.empty() ? "" : "the program said: " + Said.front());
        } catch (const std::exception& Error) {
            std::fprintf(stderr, "korvane-screenshots: %s: %s\n", qPrintable(Group.Names.front()),
                         Error.what());
            ++Failed;
        }
    }
    korvane::SetExceptionHandler(nullptr);
    return Failed == 0 ? 0 : 1;
}
