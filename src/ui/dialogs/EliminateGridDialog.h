#pragma once

#include "image/GridElimination.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QLabel;
class QPushButton;
class QSlider;

namespace korvane {

// The choices of Edit > Eliminate Grid. Every change is announced through OnChanged, so that
// the caller can show on the panel what would be erased (red) and kept (green) before OK.
class TfrmEliminateGrid : public QDialog {
public:
    explicit TfrmEliminateGrid(QWidget* Parent = nullptr);

    QCheckBox* chkFrame;
    QCheckBox* chkTicks;
    QSlider* trkStrength;
    QCheckBox* chkPreview;
    QLabel* lblResult;
    QPushButton* btnOK;
    QPushButton* btnCancel;
    QPushButton* btnHelp;

    TGridEliminationOptions Options() const;
    bool ShowPreview() const;
    // Shows what the options find; OK is enabled only when there is a grid to remove.
    void SetResult(const TGridElimination& Found);

    std::function<void()> OnChanged;

protected:
    void showEvent(QShowEvent* Event) override;
};

} // namespace korvane
