#include "ui/modes/ExportCommands.h"

#include "core/AtomicFile.h"
#include "core/FileNames.h"
#include "core/Prompter.h"
#include "core/ReadOnlyFiles.h"
#include "core/Streams.h"
#include "document/Digitizations.h"
#include "document/Parameters.h"
#include "document/ProgramSettings.h"
#include "export/ExportData.h"
#include "image/PdfDocument.h"
#include "interaction/ApplicationParameters.h"
#include "interaction/KorvaneApplication.h"
#include "output/CurveIterators.h"
#include "ui/dialogs/ExportDialog.h"
#include "ui/dialogs/KorvaneDialogs.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <filesystem>

namespace korvane {

namespace {

// Exports are read by programs: the decimal separator is always the point, whatever the
// user's locale (a comma would break comma-separated values, DXF and XML).
TExpansionParams ExportParams(const TFileParameters& Parameters) {
    TExpansionParams Params;
    Params.Units = Parameters.Units;
    Params.Formats.Assign(Parameters.Formats);
    Params.DecimalSeparator = '.';
    return Params;
}

// A data set's name as part of a file name: a slash would name a folder.
} // namespace

// ---------------------------------------------------------------------------------------------
// Bounds and filters

void ApplyDialogBounds(QWidget& Dialog, const TBoundsRect& Bounds) {
    // Never larger than the screen, whatever the file said.
    QSize Most(std::max(Bounds.Width(), 1), std::max(Bounds.Height(), 1));
    if (const QScreen* Screen = QGuiApplication::primaryScreen())
        Most = Most.boundedTo(Screen->availableGeometry().size());
    const QRect Wanted(Bounds.Left, Bounds.Top, Most.width(), Most.height());
    Dialog.resize(Wanted.size());
    const QSize Size = Dialog.size(); // within the dialog's minimum
    bool OnScreen = false;
    for (const QScreen* Screen : QGuiApplication::screens())
        OnScreen = OnScreen || Screen->availableGeometry().contains(QRect(Wanted.topLeft(), Size));
    if (OnScreen) {
        Dialog.move(Wanted.topLeft());
    } else if (const QScreen* Screen = QGuiApplication::primaryScreen()) {
        const QRect Area = Screen->availableGeometry();
        Dialog.move(Area.left() + std::max(0, (Area.width() - Size.width()) / 2),
                    Area.top() + std::max(0, (Area.height() - Size.height()) / 2));
    }
}

TBoundsRect DialogBounds(const QWidget& Dialog) {
    const QPoint At = Dialog.pos();
    return {At.x(), At.y(), At.x() + Dialog.width(), At.y() + Dialog.height()};
}

QStringList ExportFileFilters(const std::string& TemplateName, const std::string& Extension) {
    // A template's name and extension are the user's text: nothing in them may break the
    // filter's form "Name (*.ext)".
    const std::string Safe = SafeExtension(Extension);
    const QString Pattern = Safe.empty() ? QStringLiteral("*") : "*." + QString::fromStdString(Safe);
    QString Name = QString::fromStdString(TemplateName).simplified();
    Name.replace(QLatin1Char('('), QLatin1Char('[')).replace(QLatin1Char(')'), QLatin1Char(']'));
    return {QStringLiteral("%1 Files (%2)").arg(Name, Pattern), QStringLiteral("All Files (*)")};
}

// ---------------------------------------------------------------------------------------------
// TExportDataCommand

TExportDataCommand::TExportDataCommand() = default;
TExportDataCommand::~TExportDataCommand() = default;

void TExportDataCommand::Execute(const TArgumentList& Arguments) {
    TKorvaneCommand::Execute(Arguments);
    FDigitization = Arguments.Object<TDigitization>(0);
    if (!FDigitization)
        throw EAssertion("TExportDataCommand.Execute: no data set");
    TKorvaneApplication& Application = App("TExportDataCommand");
    TApplicationParameters& Parameters = Application.ApplicationParameters();

    struct TDialogLife {
        std::unique_ptr<TfrmExportData>& Dialog;
        ~TDialogLife() { Dialog.reset(); }
    } Life{FDialog};
    FDialog =
        std::make_unique<TfrmExportData>(Application.Prompter(), QApplication::activeWindow());
    ApplyDialogBounds(*FDialog, Parameters.ExportDialogBounds);
    FDialog->SetTemplates(&Parameters.Templates());
    FDialog->SetExpansionParams(ExportParams(Application.FileParameters()));
    FDialog->SetDigitization(FDigitization);
    PrepareDialog();
    const bool Accepted = Dialogs("TExportDataCommand").RunExportDialog(*FDialog);
    if (FDialog->TemplatesChanged()) {
        // Saved at once: the user's templates outlive a crash as well as a restart.
        try {
            Application.SaveApplicationParameters();
        } catch (const std::exception& Error) {
            Application.Prompter().Ask(EMessageKind::Error, Error.what(), mbOK);
        }
    }
    if (!Accepted)
        return;
    Parameters.ExportDialogBounds = DialogBounds(*FDialog);

    FFileName.clear();
    if (!OpenOutput())
        return;
    if (FDialog->ExportToClipboard()) {
        TMemoryStream Text;
        FStream = &Text;
        WriteOutput();
        FStream = nullptr;
        const std::vector<std::uint8_t>& Bytes = Text.Bytes();
        CopyToClipboard(std::string(Bytes.begin(), Bytes.end()));
        return;
    }
    WriteFileAtomically(FFileName, [this](TStream& Stream) {
        FStream = &Stream;
        WriteOutput();
    });
    FStream = nullptr;
    RememberFolder();
}

bool TExportDataCommand::OpenOutput() {
    if (FDialog->ExportToClipboard())
        return true;
    const TDataTemplate* Selected = FDialog->SelectedTemplate();
    const TDataTemplate& Template = Selected ? *Selected : FDialog->Current();
    TSaveFileQuestion Question;
    Question.Caption = QStringLiteral("Save As");
    Question.Filters = ExportFileFilters(Template.Name, Template.Extension);
    Question.DefaultSuffix = QString::fromStdString(SafeExtension(Template.Extension));
    Question.InitialPath = QString::fromStdString(DefaultFileName());
    QString Chosen;
    if (!Dialogs("TExportDataCommand").AskSaveFileName(Question, Chosen) || Chosen.isEmpty())
        return false;
    FFileName = Chosen.toStdString();
    ConfirmReadOnlyOverwrite(FFileName, App("TExportDataCommand").Prompter());
    if (IsReadOnlyFile(FFileName)) {
        FFileName.clear();
        return false;
    }
    return true;
}

std::string TExportDataCommand::DefaultFileName() const {
    namespace fs = std::filesystem;
    const TDataTemplate* Selected = FDialog->SelectedTemplate();
    const std::string& Extension = (Selected ? *Selected : FDialog->Current()).Extension;
    const fs::path Image = App("TExportDataCommand").FileParameters().ImageFileName();
    // Names and extensions may hold anything (slashes, "..", line breaks, 300 characters):
    // the proposal is always one valid name inside the folder.
    std::string Stem = FDigitization->Name();
    if (!Image.empty())
        Stem = BaseNameOf(Image.string()) + " - " + Stem;
    const std::string Name = SafeFileName(Stem, Extension);

    // The folder of the last export, else the image's, else the home folder.
    TProgramSettings Settings;
    try {
        Settings.Load(App("TExportDataCommand").ApplicationParameters().Folder());
    } catch (const std::exception& Error) {
        App("TExportDataCommand").Prompter().Ask(EMessageKind::Warning, Error.what(), mbOK);
    }
    std::error_code Failed;
    fs::path Folder = Settings.ExportFolder;
    if (Folder.empty() || !fs::is_directory(Folder, Failed))
        Folder = Image.empty() ? fs::path(QDir::homePath().toStdString()) : Image.parent_path();
    return (Folder / Name).string();
}

void TExportDataCommand::WriteOutput() {
    FPoints = NewExportIterator(*FDigitization, FDialog->ExportSelectedPoints());
    struct TPointsLife {
        std::unique_ptr<TCurveIterator>& Points;
        ~TPointsLife() { Points.reset(); }
    } Life{FPoints};
    if (auto* Custom = dynamic_cast<TCustomDataTemplate*>(FDialog->SelectedTemplate())) {
        Custom->Clear();
        for (FPoints->First(); !FPoints->IsDone(); FPoints->Next())
            Custom->AddPoint(FPoints->CurrentPoint());
        Custom->WriteToStream(*FStream);
        Custom->Clear();
        return;
    }
    WriteHeader();
    WriteBody();
    WriteFooter();
}

void TExportDataCommand::WriteHeader() {
    const std::string Text =
        ExportHeaderText(FDialog->Current(), *FDigitization, FDialog->ExpansionParams());
    FStream->WriteBuffer(Text.data(), Text.size());
}

void TExportDataCommand::WriteBody() {
    const TDataTemplate& Template = FDialog->Current();
    const TExpansionParams& Params = FDialog->ExpansionParams();
    for (FPoints->First(); !FPoints->IsDone(); FPoints->Next()) {
        const std::string Text = Template.ExpandBody(FPoints->CurrentPoint(), Params);
        FStream->WriteBuffer(Text.data(), Text.size());
    }
}

void TExportDataCommand::WriteFooter() {
    const std::string Text =
        ExportFooterText(FDialog->Current(), *FDigitization, FDialog->ExpansionParams());
    FStream->WriteBuffer(Text.data(), Text.size());
}

void TExportDataCommand::CopyToClipboard(const std::string& Text) {
    // Replaces whatever the clipboard held.
    QGuiApplication::clipboard()->setText(QString::fromStdString(Text), QClipboard::Clipboard);
}

void TExportDataCommand::RememberFolder() {
    const std::string Folder = std::filesystem::path(FFileName).parent_path().string();
    const std::string SettingsFolder = App("TExportDataCommand").ApplicationParameters().Folder();
    TProgramSettings Settings;
    try {
        Settings.Load(SettingsFolder);
    } catch (const std::exception&) {
        // Reported when the dialog was filled; the file is written anew below.
    }
    if (Settings.ExportFolder == Folder)
        return;
    Settings.ExportFolder = Folder;
    try {
        Settings.Save(SettingsFolder);
    } catch (const std::exception&) {
        // Only a convenience: the export itself succeeded.
    }
}

// ---------------------------------------------------------------------------------------------
// TExportLineCommand, TExportScatterCommand

void TExportLineCommand::PrepareDialog() {
    FDialog->ShowPointOptions(true);
}

void TExportScatterCommand::PrepareDialog() {
    FDialog->ShowPointOptions(true);
}

} // namespace korvane
