#pragma once

#include "ui/dialogs/KorvaneDialogs.h"

#include <functional>

namespace korvane {

class TfrmCalculationDialog;
class TfrmEliminateGrid;
class TfrmLineProperties;
class TfrmPdfPage;
class TfrmScatterProperties;

// The data-set dialogs of the test doubles: each is run by the test's own function, which
// may fill the real dialog's controls; without one the dialog counts as cancelled.
class TDialogHooks : public IKorvaneDialogs {
public:
    std::function<bool(TfrmLineProperties&)> OnLineProperties;
    std::function<bool(TfrmScatterProperties&)> OnScatterProperties;
    std::function<bool(TfrmCalculationDialog&)> OnCalculation;
    std::function<bool(TfrmEliminateGrid&)> OnEliminateGrid;
    std::function<bool(TfrmPdfPage&)> OnPdfPage;
    std::function<bool(const QString& FileName, bool Retry, QString& Password)> OnPassword;

    bool RunLinePropertiesDialog(TfrmLineProperties& Dialog) override {
        return OnLineProperties && OnLineProperties(Dialog);
    }
    bool RunScatterPropertiesDialog(TfrmScatterProperties& Dialog) override {
        return OnScatterProperties && OnScatterProperties(Dialog);
    }
    bool RunCalculationDialog(TfrmCalculationDialog& Dialog) override {
        return OnCalculation && OnCalculation(Dialog);
    }
    bool RunEliminateGridDialog(TfrmEliminateGrid& Dialog) override {
        return OnEliminateGrid && OnEliminateGrid(Dialog);
    }
    bool RunPdfPageDialog(TfrmPdfPage& Dialog) override { return OnPdfPage && OnPdfPage(Dialog); }
    bool AskPassword(const QString& FileName, bool Retry, QString& Password) override {
        return OnPassword && OnPassword(FileName, Retry, Password);
    }
};

} // namespace korvane
