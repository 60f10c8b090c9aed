#pragma once

#include "core/Colors.h"
#include "core/DoublePoints.h"
#include "core/Interfaces.h"
#include "document/PointMarkers.h"
#include "document/PointSelections.h"
#include "follower/Vectorizers.h"
#include "output/ApproximatorParams.h"

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QImage;
class QPainter;

namespace korvane {

class IUiDispatcher;
class TScaleSystem;
class TStream;
class TDigitization;
class TLine;
class TScatter;
class TVectorizerInitialConditions;
class TVectorizerParameters;

struct TDisplayColor {
    const char* Name;
    TColor Color;
};

// The display colours of data sets, indexed by a digitization's ColorIndex.
extern const std::array<TDisplayColor, 13> DisplayColors;

// What a digitization needs of the image panel to draw itself and to find points on screen.
// Used on the user-interface thread only.
class IDigitizationPanel {
public:
    virtual ~IDigitizationPanel() = default;
    virtual bool ScaleDefined() const = 0;
    // The coordinate system with the panel's current view mapping.
    virtual const TScaleSystem& CurrentScaleSystem() const = 0;
    // The follower settings' thickness tolerance (breaks a line's drawing at wide gaps).
    virtual std::int32_t ThicknessTolerance() const = 0;
    // Index into DisplayColors of the colour of selected output points.
    virtual std::uint8_t SelectedPointColor() const = 0;
    // The painter on the panel's view, valid for the current drawing.
    virtual QPainter& Canvas() = 0;
};

// What a line needs for one automatic run, handed in by whoever starts it. The references
// must outlive the run.
struct TFollowRun {
    // The image the follower reads.
    const QImage& Image;
    // Tolerances and jumps for the follower, read at the start, and the speed (Delay), read
    // again at every point: it may change while the line is followed. The beacon setting is
    // for whoever shows the run.
    const TVectorizerParameters& Settings;
    // The refinements the follower gets.
    TFollowerEnhancements Enhancements;
    // Runs the follower's work on the user-interface thread.
    IUiDispatcher& Dispatcher;
    // Turns a followed image position into the line's real point.
    const TScaleSystem& Scale;
};

// Watches a digitization. Each operation is sent inside an update bracket, to every
// listener in registration order.
class IDigitizationListener {
public:
    virtual ~IDigitizationListener() = default;
    virtual void DigitizationChanged(TDigitization& Digitization) = 0;
    virtual void PointsAdded(TDigitization& Digitization) = 0;
    virtual void PointsChanged(TDigitization& Digitization) = 0;
};

class IScatterListener : public virtual IDigitizationListener {
public:
    virtual void ScatterSorted(TScatter& Scatter) = 0;
};

// Watches a line's automatic runs. A run sends FollowingStarted, then PointFollowed for each
// point it adds, then FollowingFailed or FollowingFinished (or FollowingDiscarded).
class ILineListener : public virtual IDigitizationListener {
public:
    virtual void FollowingStarted(TLine& Line) = 0;
    // A point was added to the line: Pixel is the image pixel the follower visited, Real the
    // point the line holds now (its last), from the follower's position through the run's
    // coordinate system. An exception ends the run as failed.
    virtual void PointFollowed(TLine& /*Line*/, TLongintPoint /*Pixel*/, TDoublePoint /*Real*/) {}
    virtual void FollowingFailed(TLine& Line) = 0;
    virtual void FollowingFinished(TLine& Line) = 0;
    // The run was ended at once by DiscardFollower, also from the line's destructor (then
    // nothing of the line but its address may be used): no further notice follows.
    virtual void FollowingDiscarded(TLine& /*Line*/) {}
};

// Records a line's automatic runs without showing them (the command-line tool, tests): the
// image pixel of each followed point and how the last run ended.
class TFollowRecorder : public ILineListener {
public:
    std::vector<TLongintPoint> Pixels;
    bool Ended = false;
    // The run ended as failed (the follower lost the line, or a point could not be placed).
    bool Failed = false;

    void DigitizationChanged(TDigitization&) override {}
    void PointsAdded(TDigitization&) override {}
    void PointsChanged(TDigitization&) override {}
    void FollowingStarted(TLine&) override {
        Pixels.clear();
        Ended = Failed = false;
    }
    void PointFollowed(TLine&, TLongintPoint Pixel, TDoublePoint) override {
        Pixels.push_back(Pixel);
    }
    void FollowingFailed(TLine&) override { Ended = Failed = true; }
    void FollowingFinished(TLine&) override { Ended = true; }
    void FollowingDiscarded(TLine&) override { Ended = true; }
};

// One data set taken from the image: named, coloured points in real-world coordinates with
// the parameter set (and approximator) that turns them into output points, the selection of
// output points and the marker that draws points.
class TDigitization : public TUnmanagedInterface,
                      public ISelectionListener,
                      public IApproximatorListener {
public:
    ~TDigitization() override;
    TDigitization(const TDigitization&) = delete;
    TDigitization& operator=(const TDigitization&) = delete;

    // The name stored in files: "TFunctionalLine", "TNonfunctionalLine", "TScatter".
    std::string ClassName() const override = 0;

    std::int32_t GrowthStep() const { return FGrowthStep; }
    const std::string& Name() const { return FName; }
    std::uint8_t ColorIndex() const { return FColorIndex; }
    TColor DisplayColor() const { return DisplayColors[FColorIndex].Color; }
    const TDoublePointArray& Points() const { return FPoints; }
    std::int32_t EraseFrom() const { return FEraseFrom; }
    IDigitizationPanel* Panel() const { return FPanel; }
    bool Visible = false;
    TApproximatorParamSet& ParamSet() const { return *FParamSet; }
    TPointSelection& Selection() const { return *FSelection; }
    const TPointMarker& Marker() const { return *FMarker; }
    bool Updating() const { return FUpdateDepth > 0; }

    std::int32_t Count() const { return FPoints.Count(); }
    TDoublePoint GetPoint(std::int32_t Index) const { return FPoints.GetPoint(Index); }
    TDoublePoint First() const { return FPoints.First(); }
    TDoublePoint Last() const { return FPoints.Last(); }

    // Update brackets nest; changes of the parameter set and of the selection that arrive
    // inside one are relayed once when the outermost bracket closes.
    virtual void BeginUpdate();
    virtual void EndUpdate();

    virtual void AddPoint(TDoublePoint P);
    // Reads the record from the name on (the loader has read the class name). Version is
    // "V5.01" or "V5.00" (which has no marker fields). Sends nothing.
    virtual void LoadFromStream(TStream& Stream, const std::string& Version);
    virtual void SaveToStream(TStream& Stream) const;
    // A new parameter set for the approximator class over Points; it takes over the
    // previous set's parameters and listeners.
    void SetApproximatorClass(const TApproximatorClassInfo& Class);
    virtual void DrawOutputPoints(IDigitizationPanel& Panel) const;
    virtual void DeletePoint(std::int32_t Index);
    virtual void DeleteRange(std::int32_t FromIndex, std::int32_t ToIndex);
    virtual void EraseToEnd();
    virtual void DeleteSelected();
    virtual void SetPoints(const TDoublePointArray& Array);
    virtual void Draw() const = 0;
    virtual void Redraw() const;
    bool IsValidIndex(std::int32_t Index) const { return Index >= 0 && Index < Count(); }
    void SetEraseFrom(std::int32_t Index) { FEraseFrom = IsValidIndex(Index) ? Index : -1; }
    void ClearEraseFrom() { FEraseFrom = -1; }

    void ApproximatorParamsChanged(TApproximatorParamSet& ParamSet) override;
    void SelectionChanged(TPointSelection& Selection) override;

    void SetName(const std::string& Text);
    // Index into DisplayColors; EAssertion for an index beyond the table.
    void SetColorIndex(std::uint8_t Index);
    void SetPanel(IDigitizationPanel* Panel) { FPanel = Panel; }
    void SetSelection(const TPointSelection& Source);
    void SetMarker(const TPointMarker& Marker);

    // Output points inside the quadrangle of four real-world corners join or leave the selection.
    void SelectInQuadrangle(const std::array<TDoublePoint, 4>& Corners);
    void DeselectInQuadrangle(const std::array<TDoublePoint, 4>& Corners);
    // From the last point back, the first whose screen position lies closer than Radius to P.
    std::int32_t IndexNearScreenPoint(TLongintPoint P, std::int32_t Radius) const;
    // From the last point back, the first equal to P; -1 if none.
    std::int32_t IndexOfPoint(TDoublePoint P) const;

    void AddListener(IDigitizationListener* Listener);
    void RemoveListener(IDigitizationListener* Listener);
    bool HasListener(const IDigitizationListener* Listener) const;

    // Copies a digitization's data (not its listeners); anything else fails.
    void Assign(const TPersistent& Source) override;

protected:
    TDigitization(const std::string& Name, std::int32_t GrowthStep,
                  const TApproximatorClassInfo& Approximator);

    enum class ENotice { DigitizationChanged, PointsAdded, PointsChanged };
    // Sends Notice to every listener inside an update bracket (re-fitting the parameter set
    // first for PointsChanged).
    void Notify(ENotice Notice);
    // Sends F to the listeners that implement I, inside an update bracket.
    template <class I, class F> void NotifyExtended(F Function);
    // Called after points were removed, before PointsChanged goes out.
    virtual void PointsRemoved(std::int32_t FromIndex, bool Range);
    // The screen position of a real point through Panel's coordinate system, if it has one.
    bool ToScreen(const IDigitizationPanel& Panel, TDoublePoint R, TLongintPoint& S) const;

    TDoublePointArray FPoints;

private:
    void Relay();

    std::int32_t FGrowthStep;
    std::string FName;
    std::uint8_t FColorIndex = 0;
    std::vector<IDigitizationListener*> FListeners;
    std::int32_t FEraseFrom = -1;
    IDigitizationPanel* FPanel = nullptr;
    std::unique_ptr<TApproximatorParamSet> FParamSet;
    std::unique_ptr<TPointSelection> FSelection;
    std::int32_t FUpdateDepth = 0;
    bool FApproximatorChangePending = false;
    bool FSelectionChangePending = false;
    std::unique_ptr<TPointMarker> FMarker;
};

// A line: drawn as a polyline, followed by a line follower.
//
// Automatic digitizing. AutoDigitize starts a follower of the line's kind on the run's image;
// the follower hands every pixel it accepts to FollowerPoint and its end to
// FollowerTerminated, both on the user-interface thread through the run's dispatcher, so the
// line needs no lock. The points of a run are appended without a PointsAdded; the listeners
// hear FollowingStarted, PointFollowed for each point (which is how a view shows the run),
// then FollowingFailed or FollowingFinished, then one PointsAdded for the whole run when it
// added points. Showing a run is its listeners' business: the line needs no panel to be
// followed. The line owns its follower; the follower thread owns nothing of the line.
class TLine : public TDigitization, public IVectorizerObserver {
public:
    ~TLine() override;

    std::uint8_t Reserved = 1;
    TColor TrackingColor = 0;
    bool TrackingColorSet = false;

    void SetTrackingColor(TColor Color) {
        TrackingColor = Color;
        TrackingColorSet = true;
    }
    void ClearTrackingColor() { TrackingColorSet = false; }

    // Appends copies of all points of Array (which must not be empty), then PointsAdded.
    void AppendPoints(const TDoublePointArray& Array);

    void LoadFromStream(TStream& Stream, const std::string& Version) override;
    void SaveToStream(TStream& Stream) const override;
    void Assign(const TPersistent& Source) override;
    void Draw() const override;
    void Redraw() const override;
    // Draws points FromIndex..ToIndex as a polyline with the painter's pen, broken where
    // two points lie more than twice the thickness tolerance apart on the image.
    void DrawPolyline(IDigitizationPanel& Panel, std::int32_t FromIndex,
                      std::int32_t ToIndex) const;

    // The index range of this line's points that lies within the X range both lines share;
    // From and To stay unchanged when the lines do not overlap or this line's X runs backwards.
    void OverlapRange(const TLine& Other, std::int32_t& FromIndex, std::int32_t& ToIndex) const;

    // --- automatic digitizing

    // Makes a follower of a line's kind for an observer and an image.
    using TFollowerClass = std::unique_ptr<TVectorizer> (*)(IVectorizerObserver& Observer,
                                                            const QImage& Image);
    virtual TFollowerClass FollowerClass() const = 0;

    // Starts a run from the initial conditions with what Run hands in; no follower may be
    // running (EAssertion "TLine.AutoDigitize").
    virtual void AutoDigitize(const TFollowRun& Run,
                              const TVectorizerInitialConditions& InitialConditions);
    // A pixel the follower accepted: its position (the follower's ReportedPoint, between
    // pixels with sub-pixel output) appended as a real point through the run's coordinate
    // system, the track keeps the pixel, the listeners hear PointFollowed; then the
    // follower's Delay follows the current setting. A point the coordinate system cannot
    // place is not added, and it or a listener's exception ends the run as failed.
    void FollowerPoint(TVectorizer& Follower, TLongintPoint Pixel) override;
    // Asks the follower to end; the run ends through FollowerTerminated. EAssertion
    // "TLine.Stop" without a follower. A paused follower ends once it is resumed.
    void Stop();
    // Suspends and resumes the follower between steps (EAssertion "TLine.Pause",
    // "TLine.Resume" without one).
    void Pause();
    void Resume();
    // A follower exists and is not paused.
    bool IsFollowing() const;
    // A follower exists, running or paused: a run is under way.
    bool Following() const { return FFollower != nullptr; }
    // The follower's end notification: ends the run and tells the listeners.
    void FollowerTerminated(TVectorizer& Follower);
    // Ends a run at once: the follower is paused and destroyed and delivers nothing more, the
    // track goes, and the listeners hear only FollowingDiscarded (no end of the run, no
    // PointsAdded). Called by a listener of PointFollowed, FollowingDiscarded goes out once
    // every listener has heard that point.
    void DiscardFollower();

    // The running follower, or null.
    TVectorizer* Follower() const { return FFollower.get(); }
    // What the current run was handed (from FollowingStarted on), or null outside a run.
    const TFollowRun* CurrentRun() const { return FRun ? &*FRun : nullptr; }
    // The image pixels visited during the run (X column, Y row); empty outside a run.
    const TDoublePointArray& Track() const { return FTrack; }
    // The points the current run has added so far, or the last run added once it ended.
    std::int32_t RunPointCount() const { return FRunPointCount; }
    // The current or last run ended because a point could not be placed or a listener
    // failed, not because the follower lost the line or was stopped.
    bool RunEndedByError() const { return FRunFailed; }

protected:
    using TDigitization::TDigitization;
    void PointsRemoved(std::int32_t FromIndex, bool Range) override;

private:
    // FollowerPoint's work, which may fail.
    void AcceptPixel(TVectorizer& Follower, TLongintPoint Pixel);
    // Track becomes the image pixels of all points through Scale, in order.
    void RebuildTrack(const TScaleSystem& Scale);
    // Takes away the track and the run.
    void EndRun();

    // What the current run was handed; empty outside a run.
    std::optional<TFollowRun> FRun;
    std::unique_ptr<TVectorizer> FFollower;
    TDoublePointArray FTrack{50};
    std::int32_t FRunPointCount = 0;
    // A point could not be placed; the run ends as failed.
    bool FRunFailed = false;
    // FollowerPoint is on the stack: the follower is inside one of its steps.
    bool FInFollowerPoint = false;
    // The run was discarded inside FollowerPoint; FollowingDiscarded is still to be sent.
    bool FDiscardPending = false;
};

class TFunctionalLine : public TLine {
public:
    explicit TFunctionalLine(const std::string& Name = {});
    std::string ClassName() const override { return "TFunctionalLine"; }
    TFollowerClass FollowerClass() const override;
};

class TNonfunctionalLine : public TLine {
public:
    explicit TNonfunctionalLine(const std::string& Name = {});
    std::string ClassName() const override { return "TNonfunctionalLine"; }
    TFollowerClass FollowerClass() const override;
    // A pixel visited before (by this run or by the line's earlier points) ends the run
    // without being added.
    void FollowerPoint(TVectorizer& Follower, TLongintPoint Pixel) override;
};

// Points clicked one by one, each drawn with the marker.
class TScatter : public TDigitization {
public:
    explicit TScatter(const std::string& Name = {});
    std::string ClassName() const override { return "TScatter"; }

    void Draw() const override;
    void Redraw() const override { Draw(); }
    void SortAscendingX();
    void SortAscendingY();
    void SortDescendingX();
    void SortDescendingY();

private:
    void Sorted();
};

// The digitization classes by stored name. Create throws EClassNotFound for an unknown
// name and EAssertion for the abstract "TDigitization" and "TLine".
class TDigitizationRegistry {
public:
    static std::unique_ptr<TDigitization> Create(const std::string& ClassName,
                                                 const std::string& Name = {});
};

} // namespace korvane
