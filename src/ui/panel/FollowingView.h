#pragma once

#include "document/Digitizations.h"

#include <memory>

namespace korvane {

class TBeacon;
class TKorvanePanel;

// Shows a line's automatic run on the image panel, as a listener of the line: each followed
// point is set in the line's colour on the view, a point outside the view scrolls it half a
// view towards the point and composes it again, the scroll bars are disabled while the run
// lasts, and with the beacon setting on (the panel's follower settings, read when the run
// starts) the beacon in the line's colour marks the newest point. Whatever ends the run takes
// the beacon away and gives the scroll bars back. On the user-interface thread.
class TFollowingView : public ILineListener {
public:
    explicit TFollowingView(TKorvanePanel& Panel);
    ~TFollowingView() override;
    TFollowingView(const TFollowingView&) = delete;
    TFollowingView& operator=(const TFollowingView&) = delete;

    // The beacon, during a run with the beacon setting on.
    const TBeacon* Beacon() const { return FBeacon.get(); }

    void DigitizationChanged(TDigitization&) override {}
    void PointsAdded(TDigitization&) override {}
    void PointsChanged(TDigitization&) override {}
    void FollowingStarted(TLine& Line) override;
    void PointFollowed(TLine& Line, TLongintPoint Pixel, TDoublePoint Real) override;
    void FollowingFailed(TLine& Line) override;
    void FollowingFinished(TLine& Line) override;
    void FollowingDiscarded(TLine& Line) override;

private:
    void RunEnded();

    TKorvanePanel& FPanel;
    std::unique_ptr<TBeacon> FBeacon;
};

} // namespace korvane
