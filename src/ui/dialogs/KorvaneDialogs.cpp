#include "ui/dialogs/KorvaneDialogs.h"

#include "core/Errors.h"
#include "ui/dialogs/CalculationDialog.h"
#include "ui/dialogs/EliminateGridDialog.h"
#include "ui/dialogs/ExportDialog.h"
#include "ui/dialogs/FormatDialog.h"
#include "ui/dialogs/PdfPageDialog.h"
#include "ui/dialogs/PointDialog.h"
#include "ui/dialogs/PreferencesDialog.h"
#include "ui/dialogs/PropertiesDialogs.h"
#include "ui/dialogs/ScalePoints.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>

namespace korvane {

namespace {

// The real modal dialogs, parented to the active window.
class TQtDialogs : public IKorvaneDialogs {
public:
    bool AskScalePoint(const QString& Caption, bool ShowLogarithmic, QPoint Near,
                       TScalePointAnswer& Answer) override {
        TfrmScalePoints Dialog(QApplication::activeWindow());
        Dialog.setWindowTitle(Caption);
        Dialog.ShowLogarithmic(ShowLogarithmic);
        Dialog.PositionNear(Near);
        if (Dialog.exec() != QDialog::Accepted)
            return false;
        Answer.X = Dialog.XValue();
        Answer.Y = Dialog.YValue();
        Answer.XLogarithmic = ShowLogarithmic && Dialog.XLogarithmic();
        Answer.YLogarithmic = ShowLogarithmic && Dialog.YLogarithmic();
        return true;
    }

    bool AskUnits(TStringPoint& Units) override {
        TfrmPointDialog Dialog(QApplication::activeWindow());
        Dialog.setWindowTitle("Units");
        Dialog.SetXText(Units.X);
        Dialog.SetYText(Units.Y);
        if (Dialog.exec() != QDialog::Accepted)
            return false;
        Units.X = Dialog.GetXText();
        Units.Y = Dialog.GetYText();
        return true;
    }

    bool AskFormats(TCoordFormatPair& Formats, bool& SetAsDefault) override {
        TfrmFormatDialog Dialog(QApplication::activeWindow());
        Dialog.SetFormats(Formats);
        if (Dialog.exec() != QDialog::Accepted)
            return false;
        Formats.Assign(Dialog.GetFormats());
        SetAsDefault = Dialog.SetAsDefault();
        return true;
    }

    bool AskSettings(TSettingsAnswer& Settings, bool PaintingPage) override {
        TfrmPreferencesDialog Dialog(QApplication::activeWindow());
        Dialog.ShowPaintingPage(PaintingPage);
        Dialog.SetShowSpanningCursor(Settings.UseSpanningCursor);
        Dialog.SetVectorizerParameters(Settings.Vectorizer);
        Dialog.SetPaintParameters(Settings.Paint);
        Dialog.SetEnhancements(Settings.Enhancements);
        if (Dialog.exec() != QDialog::Accepted)
            return false;
        Settings.UseSpanningCursor = Dialog.GetShowSpanningCursor();
        Settings.Vectorizer.Assign(Dialog.VectorizerParameters());
        Settings.Paint.Assign(Dialog.PaintParameters());
        Settings.Enhancements = Dialog.Enhancements();
        return true;
    }

    bool RunLinePropertiesDialog(TfrmLineProperties& Dialog) override {
        return Dialog.exec() == QDialog::Accepted;
    }
    bool RunScatterPropertiesDialog(TfrmScatterProperties& Dialog) override {
        return Dialog.exec() == QDialog::Accepted;
    }
    bool RunCalculationDialog(TfrmCalculationDialog& Dialog) override {
        return Dialog.exec() == QDialog::Accepted;
    }
    bool RunEliminateGridDialog(TfrmEliminateGrid& Dialog) override {
        return Dialog.exec() == QDialog::Accepted;
    }

    bool RunExportDialog(TfrmExportData& Dialog) override {
        return Dialog.exec() == QDialog::Accepted;
    }

    bool AskSaveFileName(const TSaveFileQuestion& Question, QString& FileName) override {
        QFileDialog Dialog(QApplication::activeWindow(), Question.Caption);
        Dialog.setAcceptMode(QFileDialog::AcceptSave);
        Dialog.setFileMode(QFileDialog::AnyFile);
        Dialog.setNameFilters(Question.Filters);
        Dialog.setDefaultSuffix(Question.DefaultSuffix);
        Dialog.selectFile(Question.InitialPath);
        if (Dialog.exec() != QDialog::Accepted || Dialog.selectedFiles().isEmpty())
            return false;
        FileName = Dialog.selectedFiles().constFirst();
        return true;
    }

    bool AskOpenFileName(const QString& Caption, const QString& Filters, const QString& Folder,
                         QString& FileName) override {
        const QString Name =
            QFileDialog::getOpenFileName(QApplication::activeWindow(), Caption, Folder, Filters);
        if (Name.isEmpty())
            return false;
        FileName = Name;
        return true;
    }
    bool RunPdfPageDialog(TfrmPdfPage& Dialog) override {
        return Dialog.exec() == QDialog::Accepted;
    }
    bool AskPassword(const QString& FileName, bool Retry, QString& Password) override {
        const QString Name = QFileInfo(FileName).fileName();
        const QString Prompt =
            Retry ? QStringLiteral("The password is not correct. Password for \"%1\":").arg(Name)
                  : QStringLiteral("\"%1\" is protected by a password. Password:").arg(Name);
        bool OK = false;
        const QString Text =
            QInputDialog::getText(QApplication::activeWindow(), QStringLiteral("Open PDF Page"),
                                  Prompt, QLineEdit::Password, {}, &OK);
        if (!OK)
            return false;
        Password = Text;
        return true;
    }
};

} // namespace

std::unique_ptr<IKorvaneDialogs> NewQtDialogs() {
    return std::make_unique<TQtDialogs>();
}

IKorvaneDialogs& TDialogsUser::Dialogs(const char* Where) const {
    if (!FDialogs)
        throw EAssertion(std::string(Where) + ": no dialogs");
    return *FDialogs;
}

} // namespace korvane
