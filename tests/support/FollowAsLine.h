#pragma once

// Follows on an image the way the program's lines do: through TLine and its follower thread,
// with the line's own rules (a non-functional run ends at a pixel it visited before), in the
// image's own coordinates so that the line's points are the follower's reported positions.

#include "document/Digitizations.h"
#include "document/Parameters.h"
#include "follower/Enhancements.h"
#include "follower/UiDispatcher.h"
#include "follower/VectorizerInitialConditions.h"
#include "image/ScaleSystem.h"

#include <QImage>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <vector>

namespace korvane::testing {

struct TLineRun {
    // The image pixel of every point the line took, in order.
    std::vector<TLongintPoint> Pixels;
    // The line's points: the positions the follower reported (X column, Y row).
    std::vector<TDoublePoint> Points;
    // The run ended as failed (the follower lost the line).
    bool Lost = false;
};

// The follower settings are the program's defaults without the delay; a run that does not
// end within a minute throws.
inline TLineRun FollowAsLine(const QImage& Image, const TVectorizerInitialConditions& Conditions,
                             bool Nonfunctional, const TFollowerEnhancements& Enhancements = {}) {
    TFollowRecorder Watcher;

    TScaleSystem Scale;
    Scale.DefineImageCoordinates();
    TVectorizerParameters Settings;
    Settings.SetDelay(0);
    TQueuedDispatcher Dispatcher;
    std::unique_ptr<TLine> Line;
    if (Nonfunctional)
        Line = std::make_unique<TNonfunctionalLine>();
    else
        Line = std::make_unique<TFunctionalLine>();
    Line->AddListener(&Watcher);
    Line->AutoDigitize({Image, Settings, Enhancements, Dispatcher, Scale}, Conditions);
    const auto Limit = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (!Watcher.Ended) {
        if (std::chrono::steady_clock::now() > Limit)
            throw std::runtime_error("FollowAsLine: the run did not end");
        Dispatcher.WaitAndProcess(std::chrono::milliseconds(10));
    }
    Line->RemoveListener(&Watcher);
    TLineRun Run{Watcher.Pixels, {}, Watcher.Failed};
    for (std::int32_t I = 0; I < Line->Count(); ++I)
        Run.Points.push_back(Line->GetPoint(I));
    return Run;
}

} // namespace korvane::testing
