// Korvane 5: the program. It takes no arguments.
#include "app/MainWindow.h"
#include "document/Parameters.h"
#include "ui/common/Guarded.h"
#include "ui/dialogs/MessageBoxPrompter.h"

#include <QApplication>
#include <QMessageBox>
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
    TKorvaneQApplication Application(argc, argv);
    QApplication::setApplicationName("korvane");
    QApplication::setApplicationDisplayName("Korvane 5");
    korvane::TMessageBoxPrompter Prompter;
    korvane::SetExceptionHandler([&Prompter](const std::exception& Error) {
        Prompter.Ask(korvane::EMessageKind::Error, Error.what(), korvane::mbOK);
    });
    int Result = 0;
    {
        korvane::TfrmMain Main(korvane::DefaultParameterFolder(), Prompter);
        Main.show();
        Result = QApplication::exec();
    }
    korvane::SetExceptionHandler(nullptr);
    return Result;
}
