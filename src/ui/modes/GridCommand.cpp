#include "ui/modes/GridCommand.h"

#include "core/Errors.h"
#include "image/GridElimination.h"
#include "image/PanelScale.h"
#include "image/ScaleSystem.h"
#include "interaction/KorvaneApplication.h"
#include "ui/common/SupportWidgets.h"
#include "ui/dialogs/EliminateGridDialog.h"
#include "ui/panel/KorvanePanel.h"

#include <QApplication>
#include <algorithm>
#include <optional>

namespace korvane {

namespace {

// Gives the panel its own picture back however the dialog ends.
class TPreviewScope {
public:
    TPreviewScope(TKorvanePanel& Panel, QImage Original)
        : FPanel(Panel), FOriginal(std::move(Original)) {}
    ~TPreviewScope() { Show(FOriginal); }
    TPreviewScope(const TPreviewScope&) = delete;
    TPreviewScope& operator=(const TPreviewScope&) = delete;
    void Show(const QImage& Image) {
        FPanel.Image() = Image;
        FPanel.RepaintImage();
    }

private:
    TKorvanePanel& FPanel;
    QImage FOriginal;
};

} // namespace

void TEliminateGridCommand::Execute(const TArgumentList& Arguments) {
    TKorvaneCommand::Execute(Arguments);
    TKorvaneApplication& Korvane = App("TEliminateGridCommand.Execute");
    FPanel = Arguments.Object<TKorvanePanel>(0);
    if (!FPanel || !FPanel->HasImage())
        throw EAssertion("TEliminateGridCommand.Execute");
    // With a coordinate system the grid runs along its axes; without one its tilt is found.
    std::optional<TGridReference> Reference;
    if (FPanel->ScaleDefined()) {
        const TScaleSystem& S = FPanel->Scale().DefinedScaleSystem();
        if (S.SkewPoint.X != S.FirstPoint.X)
            Reference = TGridReference{S.FirstPoint, S.SkewPoint, S.SecondPoint};
    }
    const QImage Original = FPanel->Image();
    TGridElimination Found;
    TfrmEliminateGrid Dialog(QApplication::activeWindow());
    {
        TPreviewScope Preview(*FPanel, Original);
        const auto Search = [&] {
            {
                const TWaitCursor Wait;
                Found = FindGrid(Original, Reference, Dialog.Options());
            }
            Dialog.SetResult(Found);
            Preview.Show(Dialog.ShowPreview() && Found.Found()
                             ? GridEliminationPreview(Original, Found)
                             : Original);
        };
        Dialog.OnChanged = Search;
        Search();
        if (!Dialogs("TEliminateGridCommand").RunEliminateGridDialog(Dialog) || !Found.Found())
            return;
    }
    // Only what changes is kept: where, and the colours before and after.
    FIndices.reserve(std::size_t(Found.ErasedCount));
    const QImage& Image = FPanel->Image();
    std::size_t Next = 0;
    for (int Y = 0; Y < Found.Height; ++Y) {
        const std::uint8_t* Line = Image.constScanLine(Y);
        for (int X = 0; X < Found.Width; ++X) {
            const std::size_t I = std::size_t(Y) * Found.Width + X;
            if (Found.Mask[I] != TGridElimination::Erased)
                continue;
            FIndices.push_back(static_cast<std::uint32_t>(I));
            FBefore.insert(FBefore.end(), Line + X * 3, Line + X * 3 + 3);
            FAfter.insert(FAfter.end(), &Found.Paper[Next], &Found.Paper[Next] + 3);
            Next += 3;
        }
    }
    Apply(true);
    Korvane.SetImageIsDirty(true);
}

void TEliminateGridCommand::Apply(bool Eliminated) {
    QImage& Image = FPanel->Image();
    const std::vector<std::uint8_t>& Colours = Eliminated ? FAfter : FBefore;
    const int Width = Image.width();
    for (std::size_t K = 0; K < FIndices.size(); ++K) {
        const int Y = static_cast<int>(FIndices[K] / std::uint32_t(Width));
        const int X = static_cast<int>(FIndices[K] % std::uint32_t(Width));
        std::copy_n(&Colours[K * 3], 3, Image.scanLine(Y) + X * 3);
    }
    FPanel->RepaintImage();
}

} // namespace korvane
