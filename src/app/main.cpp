// Korvane 5: the program.
//
//     korvane [FILE]      opens FILE (an image or a PDF) at start
//     korvane --version | --help
#include "app/About.h"
#include "app/MainWindow.h"
#include "document/Parameters.h"
#include "ui/common/Guarded.h"
#include "ui/dialogs/MessageBoxPrompter.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>

namespace {

// Errors that no handler caught end up here and are shown; the program goes on.
class TKorvaneQApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* Receiver, QEvent* Event) override {
        try {
            return QApplication::notify(Receiver, Event);
        } catch (const std::exception& Error) {
            korvane::ShowException(Error);
        } catch (...) {
            std::fprintf(stderr, "korvane: unknown error\n");
        }
        return false;
    }
};

} // namespace

int main(int argc, char** argv) {
    // --help and --version answer without a display.
    for (int I = 1; I < argc; ++I) {
        const std::string A = argv[I];
        if (A == "--version" || A == "-v") {
            const korvane::TVersion V = korvane::ProgramVersion();
            std::printf("korvane %d.%d.%d\n", V.Major, V.Minor, V.Release);
            return 0;
        }
        if (A == "--help" || A == "-h") {
            std::printf("Usage: korvane [FILE]\n\n"
                        "Korvane 5, a graph digitizer: open a picture of a chart, define its\n"
                        "coordinate system and take the numbers out of it.\n\n"
                        "  FILE           an image or a PDF to open at start\n"
                        "  -h, --help     show this help\n"
                        "  -v, --version  show the version\n\n"
                        "Qt's own options (-platform, -style, ...) are taken too.\n");
            return 0;
        }
    }
    TKorvaneQApplication Application(argc, argv);
    QApplication::setApplicationName("korvane");
    QApplication::setApplicationDisplayName("Korvane 5");
    QApplication::setDesktopFileName("io.github.korvane.Korvane");
    QStringList Files = QApplication::arguments().mid(1);
    Files.removeIf([](const QString& A) { return A.startsWith('-'); });
    if (Files.size() > 1) {
        std::fprintf(stderr, "korvane: one FILE at most\nTry 'korvane --help'.\n");
        return 2;
    }
    korvane::TMessageBoxPrompter Prompter;
    korvane::SetExceptionHandler([&Prompter](const std::exception& Error) {
        Prompter.Ask(korvane::EMessageKind::Error, Error.what(), korvane::mbOK);
    });
    int Result = 0;
    {
        korvane::TfrmMain Main(korvane::DefaultParameterFolder(), Prompter);
        Main.show();
        if (!Files.isEmpty()) {
            // As from File > Open: the path made absolute, errors shown in the window.
            const QString File = QFileInfo(Files.front()).absoluteFilePath();
            QTimer::singleShot(0, &Main, [&Main, File] {
                korvane::Guarded([&Main, &File] { Main.OpenImage(File); });
            });
        }
        Result = QApplication::exec();
    }
    korvane::SetExceptionHandler(nullptr);
    return Result;
}
