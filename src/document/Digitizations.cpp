#include "document/Digitizations.h"

#include "core/Errors.h"
#include "core/Streams.h"
#include "document/Parameters.h"
#include "follower/FunctionalVectorizer.h"
#include "follower/NonfunctionalVectorizer.h"
#include "follower/UiDispatcher.h"
#include "follower/VectorizerInitialConditions.h"
#include "image/ScaleSystem.h"
#include "output/CurveIterators.h"

#include <QPainter>
#include <algorithm>
#include <exception>

namespace korvane {

const std::array<TDisplayColor, 13> DisplayColors{{
    {"Aqua", RGB(0, 255, 255)},
    {"Red", RGB(255, 0, 0)},
    {"Fuchsia", RGB(255, 0, 255)},
    {"Yellow", RGB(255, 255, 0)},
    {"Blue", RGB(0, 0, 255)},
    {"Lime", RGB(0, 255, 0)},
    {"Green", RGB(0, 128, 0)},
    {"Teal", RGB(0, 128, 128)},
    {"Maroon", RGB(128, 0, 0)},
    {"Purple", RGB(128, 0, 128)},
    {"Olive", RGB(128, 128, 0)},
    {"Silver", RGB(192, 192, 192)},
    {"Gray", RGB(128, 128, 128)},
}};

namespace {

// Brackets that close on every path, also when a listener throws.
class TUpdateScope {
public:
    explicit TUpdateScope(TDigitization& D) : FD(D) { FD.BeginUpdate(); }
    ~TUpdateScope() noexcept(false) {
        // A listener's exception is already on its way: close the bracket quietly.
        if (std::uncaught_exceptions() > FExceptions) {
            try {
                FD.EndUpdate();
            } catch (...) {
            }
        } else {
            FD.EndUpdate();
        }
    }

private:
    TDigitization& FD;
    int FExceptions = std::uncaught_exceptions();
};

} // namespace

// --- TDigitization

TDigitization::TDigitization(const std::string& Name, std::int32_t GrowthStep,
                             const TApproximatorClassInfo& Approximator)
    : FPoints(GrowthStep > 0 ? GrowthStep : 50), FGrowthStep(GrowthStep > 0 ? GrowthStep : 50),
      FName(Name), FSelection(std::make_unique<TPointSelection>()),
      FMarker(std::make_unique<TCircleMarker>()) {
    FSelection->AddListener(this);
    SetApproximatorClass(Approximator);
}

TDigitization::~TDigitization() {
    if (FParamSet)
        FParamSet->RemoveListener(this);
    FSelection->RemoveListener(this);
}

void TDigitization::BeginUpdate() {
    if (FUpdateDepth++ == 0) {
        FApproximatorChangePending = false;
        FSelectionChangePending = false;
    }
}

void TDigitization::EndUpdate() {
    if (FUpdateDepth == 1)
        Relay();
    if (FUpdateDepth > 0)
        --FUpdateDepth;
}

// Sends the pending parameter-set and selection changes to the listeners that implement
// those interfaces. Runs as if inside a bracket, so that changes the listeners cause are
// collected and sent in a further round (a few rounds at most).
void TDigitization::Relay() {
    ++FUpdateDepth;
    try {
        for (int Round = 0; Round < 8 && (FApproximatorChangePending || FSelectionChangePending);
             ++Round) {
            if (FApproximatorChangePending) {
                FApproximatorChangePending = false;
                for (IDigitizationListener* L : std::vector(FListeners))
                    if (auto* A = dynamic_cast<IApproximatorListener*>(L))
                        A->ApproximatorParamsChanged(*FParamSet);
            }
            if (FSelectionChangePending) {
                FSelectionChangePending = false;
                for (IDigitizationListener* L : std::vector(FListeners))
                    if (auto* S = dynamic_cast<ISelectionListener*>(L))
                        S->SelectionChanged(*FSelection);
            }
        }
    } catch (...) {
        --FUpdateDepth;
        throw;
    }
    --FUpdateDepth;
}

void TDigitization::ApproximatorParamsChanged(TApproximatorParamSet& ParamSet) {
    FSelection->TruncateAt(ParamSet.PointCount());
    FApproximatorChangePending = true;
    if (!Updating())
        Relay();
}

void TDigitization::SelectionChanged(TPointSelection&) {
    FSelectionChangePending = true;
    if (!Updating())
        Relay();
}

void TDigitization::Notify(ENotice Notice) {
    TUpdateScope Scope(*this);
    if (Notice == ENotice::PointsChanged)
        FParamSet->Reclamp();
    for (IDigitizationListener* L : std::vector(FListeners)) {
        switch (Notice) {
        case ENotice::DigitizationChanged:
            L->DigitizationChanged(*this);
            break;
        case ENotice::PointsAdded:
            L->PointsAdded(*this);
            break;
        case ENotice::PointsChanged:
            L->PointsChanged(*this);
            break;
        }
    }
}

template <class I, class F> void TDigitization::NotifyExtended(F Function) {
    TUpdateScope Scope(*this);
    for (IDigitizationListener* L : std::vector(FListeners))
        if (auto* Extended = dynamic_cast<I*>(L))
            Function(*Extended);
}

void TDigitization::AddPoint(TDoublePoint P) {
    FPoints.Add(P);
    Notify(ENotice::PointsAdded);
}

void TDigitization::PointsRemoved(std::int32_t, bool) {}

void TDigitization::DeletePoint(std::int32_t Index) {
    FPoints.Delete(Index);
    PointsRemoved(Index, false);
    Notify(ENotice::PointsChanged);
}

void TDigitization::DeleteRange(std::int32_t FromIndex, std::int32_t ToIndex) {
    FPoints.DeleteRange(FromIndex, ToIndex);
    PointsRemoved(FromIndex, true);
    Notify(ENotice::PointsChanged);
}

void TDigitization::EraseToEnd() {
    if (FEraseFrom < 0)
        return;
    DeleteRange(FEraseFrom, Count() - 1);
    FEraseFrom = -1;
}

void TDigitization::DeleteSelected() {
    TUpdateScope Scope(*this);
    FSelection->Sort();
    std::vector<std::int32_t> Indices;
    Indices.reserve(static_cast<std::size_t>(FSelection->Count()));
    for (std::int32_t I = 0; I < FSelection->Count(); ++I)
        Indices.push_back(FSelection->Items(I));
    FPoints.DeleteIndices(Indices);
    FSelection->Clear();
    PointsRemoved(0, false);
    Notify(ENotice::PointsChanged);
}

void TDigitization::SetPoints(const TDoublePointArray& Array) {
    TUpdateScope Scope(*this);
    FSelection->Clear();
    FPoints.Assign(Array);
    PointsRemoved(0, false);
    Notify(ENotice::PointsChanged);
    Notify(ENotice::PointsAdded);
}

void TDigitization::SetApproximatorClass(const TApproximatorClassInfo& Class) {
    std::unique_ptr<TApproximatorParamSet> New = CreateParamSet(Class, FPoints);
    New->AddListener(this);
    std::unique_ptr<TApproximatorParamSet> Old = std::move(FParamSet);
    FParamSet = std::move(New);
    if (Old) {
        Old->RemoveListener(this);
        FParamSet->Assign(*Old);
        FParamSet->CopyListenersFrom(*Old);
    }
}

void TDigitization::SetName(const std::string& Text) {
    FName = Text;
    Notify(ENotice::DigitizationChanged);
}

void TDigitization::SetColorIndex(std::uint8_t Index) {
    Assert(Index < DisplayColors.size(), "TDigitization.SetColorIndex");
    FColorIndex = Index;
    Notify(ENotice::DigitizationChanged);
}

void TDigitization::SetSelection(const TPointSelection& Source) {
    FSelection->Assign(Source);
}

void TDigitization::SetMarker(const TPointMarker& Marker) {
    FMarker = Marker.Clone();
    Notify(ENotice::DigitizationChanged);
}

void TDigitization::SelectInQuadrangle(const std::array<TDoublePoint, 4>& Corners) {
    if (!FParamSet->IsComplete())
        return;
    std::vector<std::int32_t> Inside;
    auto It = FParamSet->NewIterator();
    for (std::int32_t K = 0; !It->IsDone(); It->Next(), ++K)
        if (PointInQuadrangle(It->CurrentPoint(), Corners) && !FSelection->IsSelected(K))
            Inside.push_back(K);
    FSelection->SelectList(Inside);
}

void TDigitization::DeselectInQuadrangle(const std::array<TDoublePoint, 4>& Corners) {
    if (!FParamSet->IsComplete())
        return;
    std::vector<std::int32_t> Inside;
    auto It = FParamSet->NewIterator();
    for (std::int32_t K = 0; !It->IsDone(); It->Next(), ++K)
        if (PointInQuadrangle(It->CurrentPoint(), Corners))
            Inside.push_back(K);
    FSelection->DeselectList(Inside);
}

bool TDigitization::ToScreen(const IDigitizationPanel& Panel, TDoublePoint R,
                             TLongintPoint& S) const {
    if (!Panel.ScaleDefined())
        return false;
    try {
        S = Panel.CurrentScaleSystem().RealToScreen(R);
        return true;
    } catch (const EKorvane&) {
        // A value the coordinate system cannot place (a non-positive value on a log axis).
        return false;
    }
}

std::int32_t TDigitization::IndexNearScreenPoint(TLongintPoint P, std::int32_t Radius) const {
    if (!FPanel)
        return -1;
    const std::int64_t Limit = static_cast<std::int64_t>(Radius) * Radius;
    for (std::int32_t I = Count() - 1; I >= 0; --I) {
        TLongintPoint S;
        if (!ToScreen(*FPanel, FPoints[I], S))
            continue;
        const std::int64_t DX = static_cast<std::int64_t>(S.X) - P.X;
        const std::int64_t DY = static_cast<std::int64_t>(S.Y) - P.Y;
        if (DX * DX + DY * DY < Limit)
            return I;
    }
    return -1;
}

std::int32_t TDigitization::IndexOfPoint(TDoublePoint P) const {
    for (std::int32_t I = Count() - 1; I >= 0; --I)
        if (FPoints[I].X == P.X && FPoints[I].Y == P.Y)
            return I;
    return -1;
}

void TDigitization::AddListener(IDigitizationListener* Listener) {
    if (!HasListener(Listener))
        FListeners.push_back(Listener);
}

void TDigitization::RemoveListener(IDigitizationListener* Listener) {
    FListeners.erase(std::remove(FListeners.begin(), FListeners.end(), Listener), FListeners.end());
}

bool TDigitization::HasListener(const IDigitizationListener* Listener) const {
    return std::find(FListeners.begin(), FListeners.end(), Listener) != FListeners.end();
}

void TDigitization::Assign(const TPersistent& Source) {
    auto* Other = dynamic_cast<const TDigitization*>(&Source);
    if (!Other) {
        TPersistent::Assign(Source);
        return;
    }
    FGrowthStep = Other->FGrowthStep;
    FName = Other->FName;
    FColorIndex = Other->FColorIndex;
    FPoints.Assign(Other->FPoints);
    FEraseFrom = Other->FEraseFrom;
    FPanel = Other->FPanel;
    Visible = Other->Visible;
    FMarker = Other->FMarker->Clone();
    SetApproximatorClass(Other->FParamSet->Approximator().GetClass());
    FParamSet->Assign(*Other->FParamSet);
    FSelection->Assign(*Other->FSelection);
}

void TDigitization::SaveToStream(TStream& Stream) const {
    StringToStream(Stream, ClassName());
    StringToStream(Stream, FName);
    WriteValue<std::uint8_t>(Stream, FColorIndex);
    StringToStream(Stream, FMarker->ClassName());
    WriteInt32(Stream, FMarker->GetSize());
    FPoints.SaveToStream(Stream);
    StringToStream(Stream, FParamSet->Approximator().ClassName());
    FParamSet->SaveToStream(Stream);
    FSelection->SaveToStream(Stream);
}

void TDigitization::LoadFromStream(TStream& Stream, const std::string& Version) {
    FName = StringFromStream(Stream);
    const std::uint8_t Color = ReadValue<std::uint8_t>(Stream);
    if (Color >= DisplayColors.size())
        throw EReadError("Invalid colour index " + std::to_string(Color) +
                         " in a data set record.");
    FColorIndex = Color;
    if (Version == "V5.01") {
        std::unique_ptr<TPointMarker> Marker =
            TPointMarkerRegistry::Create(StringFromStream(Stream));
        Marker->SetSize(ReadInt32(Stream));
        FMarker = std::move(Marker);
    }
    FPoints.LoadFromStream(Stream);
    SetApproximatorClass(FindApproximatorClass(StringFromStream(Stream)));
    StringFromStream(Stream); // the parameter set's class name
    FParamSet->LoadFromStream(Stream, Version);
    FSelection->LoadFromStream(Stream);
}

void TDigitization::DrawOutputPoints(IDigitizationPanel& Panel) const {
    if (!FParamSet->IsComplete() || !Panel.ScaleDefined())
        return;
    QPainter& Canvas = Panel.Canvas();
    const QColor Selected =
        ToQColor(DisplayColors[Panel.SelectedPointColor() % DisplayColors.size()].Color);
    const QColor Own = ToQColor(DisplayColor());
    // Markers wholly off the view are not drawn: a long line has most of its points there.
    const std::int32_t Reach = FMarker->GetSize() + 2;
    const QRect Device = Canvas.device() ? QRect(0, 0, Canvas.device()->width(),
                                                 Canvas.device()->height())
                                         : QRect();
    const QRect Visible = Device.adjusted(-Reach, -Reach, Reach, Reach);
    const QColor* Current = nullptr;
    auto It = FParamSet->NewIterator();
    for (std::int32_t K = 0; !It->IsDone(); It->Next(), ++K) {
        TLongintPoint S;
        if (!ToScreen(Panel, It->CurrentPoint(), S))
            continue;
        if (!Device.isNull() && !Visible.contains(S.X, S.Y))
            continue;
        const QColor* C = FSelection->IsSelected(K) ? &Selected : &Own;
        if (C != Current) {
            Canvas.setPen(*C);
            Canvas.setBrush(*C);
            Current = C;
        }
        FMarker->Draw(S, Canvas);
    }
}

void TDigitization::Redraw() const {
    Draw();
}

// --- TLine

void TLine::AppendPoints(const TDoublePointArray& Array) {
    FPoints.AppendRange(Array, 0, Array.Count() - 1);
    Notify(ENotice::PointsAdded);
}

void TLine::PointsRemoved(std::int32_t FromIndex, bool Range) {
    if (Count() == 0)
        TrackingColorSet = false;
    if (Range && EraseFrom() >= FromIndex)
        ClearEraseFrom();
}

void TLine::LoadFromStream(TStream& Stream, const std::string& Version) {
    TDigitization::LoadFromStream(Stream, Version);
    Reserved = ReadValue<std::uint8_t>(Stream);
    TrackingColorSet = ReadBool(Stream);
    TrackingColor = ReadValue<std::uint32_t>(Stream);
}

void TLine::SaveToStream(TStream& Stream) const {
    TDigitization::SaveToStream(Stream);
    WriteValue<std::uint8_t>(Stream, Reserved);
    WriteBool(Stream, TrackingColorSet);
    WriteValue<std::uint32_t>(Stream, TrackingColor);
}

void TLine::Assign(const TPersistent& Source) {
    TDigitization::Assign(Source);
    if (auto* Other = dynamic_cast<const TLine*>(&Source)) {
        Reserved = Other->Reserved;
        TrackingColorSet = Other->TrackingColorSet;
        TrackingColor = Other->TrackingColor;
    }
}

void TLine::DrawPolyline(IDigitizationPanel& Panel, std::int32_t FromIndex,
                         std::int32_t ToIndex) const {
    if (!Panel.ScaleDefined() || FromIndex > ToIndex)
        return;
    const TScaleSystem& Scale = Panel.CurrentScaleSystem();
    QPainter& Canvas = Panel.Canvas();
    const double Gap = 2.0 * Panel.ThicknessTolerance();
    bool Have = false; // a previous point to draw from
    TLongintPoint PreviousScreen, PreviousImage;
    for (std::int32_t I = FromIndex; I <= ToIndex; ++I) {
        TLongintPoint Screen, Image;
        try {
            Screen = Scale.RealToScreen(FPoints[I]);
            Image = Scale.RealToImage(FPoints[I]);
        } catch (const EKorvane&) {
            Have = false; // a point the coordinate system cannot place breaks the line
            continue;
        }
        if (Have && PointDistance(Image, PreviousImage) <= Gap)
            Canvas.drawLine(PreviousScreen.X, PreviousScreen.Y, Screen.X, Screen.Y);
        Have = true;
        PreviousScreen = Screen;
        PreviousImage = Image;
    }
}

void TLine::Draw() const {
    IDigitizationPanel* P = Panel();
    if (!P || Count() == 0)
        return;
    QPainter& Canvas = P->Canvas();
    Canvas.setRenderHint(QPainter::Antialiasing, false);
    Canvas.setCompositionMode(QPainter::CompositionMode_SourceOver);
    Canvas.setPen(QPen(ToQColor(DisplayColor()), 1, Qt::SolidLine));
    if (EraseFrom() < 0) {
        DrawPolyline(*P, 0, Count() - 1);
        return;
    }
    DrawPolyline(*P, 0, EraseFrom() - 1);
    // The part marked for erasing shows dotted on black.
    Canvas.setPen(QPen(ToQColor(DisplayColor()), 1, Qt::DotLine));
    Canvas.setBackground(QColor(0, 0, 0));
    Canvas.setBackgroundMode(Qt::OpaqueMode);
    Canvas.setBrush(QColor(0, 0, 0));
    DrawPolyline(*P, EraseFrom(), Count() - 1);
    Canvas.setBackgroundMode(Qt::TransparentMode);
}

void TLine::Redraw() const {
    IDigitizationPanel* P = Panel();
    if (!P || Count() == 0)
        return;
    QPainter& Canvas = P->Canvas();
    Canvas.setRenderHint(QPainter::Antialiasing, false);
    Canvas.setPen(QPen(QColor(0, 0, 0), 1, Qt::SolidLine));
    DrawPolyline(*P, 0, Count() - 1);
    Draw();
}

void TLine::OverlapRange(const TLine& Other, std::int32_t& FromIndex, std::int32_t& ToIndex) const {
    if (Count() == 0 || Other.Count() == 0 || !(Last().X > First().X))
        return;
    const double Start = std::max(First().X, Other.First().X);
    const double End = std::min(Last().X, Other.Last().X);
    if (End <= Start)
        return;
    std::int32_t From = 0;
    while (From < Count() && FPoints[From].X < Start)
        ++From;
    if (From >= Count())
        return;
    std::int32_t To = Count() - 1;
    while (To > From && FPoints[To].X > End)
        --To;
    FromIndex = From;
    ToIndex = To;
}

// --- TLine: automatic digitizing

TLine::~TLine() {
    try {
        DiscardFollower();
    } catch (...) {
        // A listener failed to take the run down: the line goes all the same.
    }
}

void TLine::AutoDigitize(const TFollowRun& Run,
                         const TVectorizerInitialConditions& InitialConditions) {
    Assert(!FFollower, "TLine.AutoDigitize");
    FRunPointCount = 0;
    FRunFailed = false;
    FRun.emplace(Run);
    try {
        NotifyExtended<ILineListener>([this](ILineListener& L) { L.FollowingStarted(*this); });
    } catch (...) {
        FRun.reset();
        throw;
    }
    try {
        std::unique_ptr<TVectorizer> Follower = FollowerClass()(*this, Run.Image);
        Run.Settings.CopyToFollower(*Follower);
        Follower->Enhancements = Run.Enhancements;
        InitialConditions.Apply(*Follower);
        RebuildTrack(Run.Scale);
        FFollower = std::move(Follower);
        FFollower->Start(Run.Dispatcher, [this](TVectorizer& F) { FollowerTerminated(F); });
    } catch (...) {
        // The run never began: undo it and tell the listeners it failed.
        FFollower.reset();
        EndRun();
        NotifyExtended<ILineListener>([this](ILineListener& L) { L.FollowingFailed(*this); });
        throw;
    }
}

void TLine::FollowerPoint(TVectorizer& Follower, TLongintPoint Pixel) {
    if (&Follower != FFollower.get())
        return; // a discarded follower finishing its step
    FInFollowerPoint = true;
    try {
        AcceptPixel(Follower, Pixel);
    } catch (...) {
        // A point the coordinate system cannot place, or a listener failed to show it: the
        // follower is inside its step and must not see an exception; the run ends as failed.
        FRunFailed = true;
        Follower.Terminate();
    }
    FInFollowerPoint = false;
    if (FDiscardPending) {
        // A listener discarded the run while the point was announced; all have heard it now.
        FDiscardPending = false;
        try {
            NotifyExtended<ILineListener>(
                [this](ILineListener& L) { L.FollowingDiscarded(*this); });
        } catch (...) {
            // The run is gone all the same, and the follower must not see the exception.
        }
    }
}

void TLine::AcceptPixel(TVectorizer& Follower, TLongintPoint Pixel) {
    // A listener may end the run, and the run's record with it.
    const TScaleSystem& Scale = FRun->Scale;
    const TVectorizerParameters& Settings = FRun->Settings;
    // Both conversions first: a point the coordinate system cannot place is not added.
    const TDoublePoint R = Scale.ImagePositionToReal(Follower.ReportedPoint(Pixel));
    Scale.RealToImage(R);
    FPoints.Add(R);
    ++FRunPointCount;
    FTrack.Add({static_cast<double>(Pixel.X), static_cast<double>(Pixel.Y)});
    NotifyExtended<ILineListener>(
        [this, Pixel, R](ILineListener& L) { L.PointFollowed(*this, Pixel, R); });
    Follower.Delay = Settings.Delay();
}

void TLine::Stop() {
    Assert(FFollower != nullptr, "TLine.Stop");
    FFollower->Terminate();
}

void TLine::Pause() {
    Assert(FFollower != nullptr, "TLine.Pause");
    FFollower->Pause();
}

void TLine::Resume() {
    Assert(FFollower != nullptr, "TLine.Resume");
    FFollower->Resume();
}

bool TLine::IsFollowing() const {
    return FFollower && !FFollower->Paused();
}

void TLine::EndRun() {
    FTrack.Clear();
    FRun.reset();
}

void TLine::FollowerTerminated(TVectorizer& Follower) {
    if (&Follower != FFollower.get())
        return;
    // The follower's thread has ended; the object goes when this handler returns, and the
    // listeners already see the line without a run.
    const std::unique_ptr<TVectorizer> Ended = std::move(FFollower);
    EndRun();
    if (Count() == 0)
        TrackingColorSet = false;
    const bool Failed = Ended->Lost || FRunFailed;
    const std::int32_t Added = FRunPointCount;
    std::exception_ptr Error;
    try {
        if (Failed)
            NotifyExtended<ILineListener>([this](ILineListener& L) { L.FollowingFailed(*this); });
        else
            NotifyExtended<ILineListener>([this](ILineListener& L) { L.FollowingFinished(*this); });
    } catch (...) {
        Error = std::current_exception(); // the points still have to be announced
    }
    if (Added > 0)
        Notify(ENotice::PointsAdded);
    if (Error)
        std::rethrow_exception(Error);
}

void TLine::DiscardFollower() {
    if (!FFollower)
        return;
    FFollower->Pause();
    FFollower->Terminate();
    if (FInFollowerPoint) {
        // The follower is inside its step on this very call stack: it goes once that step
        // has returned. Paused and asked to end, it delivers nothing more meanwhile.
        std::shared_ptr<TVectorizer> Later(std::move(FFollower));
        FRun->Dispatcher.Post([Later] {});
        EndRun();
        // The step's point is being announced: the listeners still to hear it hear it first,
        // so that every point the line got was announced before the run's end.
        FDiscardPending = true;
        return;
    }
    FFollower.reset();
    EndRun();
    NotifyExtended<ILineListener>([this](ILineListener& L) { L.FollowingDiscarded(*this); });
}

void TLine::RebuildTrack(const TScaleSystem& Scale) {
    FTrack.Clear();
    for (std::int32_t I = 0; I < Count(); ++I) {
        try {
            const TLongintPoint Image = Scale.RealToImage(FPoints[I]);
            FTrack.Add({static_cast<double>(Image.X), static_cast<double>(Image.Y)});
        } catch (const EKorvane&) {
            // A point the coordinate system cannot place is on no pixel.
        }
    }
}

namespace {

template <class Follower>
std::unique_ptr<TVectorizer> NewFollower(IVectorizerObserver& Observer, const QImage& Image) {
    return std::make_unique<Follower>(Observer, Image);
}

} // namespace

TFunctionalLine::TFunctionalLine(const std::string& Name)
    : TLine(Name, 50, FindApproximatorClass("TFunctionalRawData")) {}

TLine::TFollowerClass TFunctionalLine::FollowerClass() const {
    return &NewFollower<TFunctionalVectorizer>;
}

TNonfunctionalLine::TNonfunctionalLine(const std::string& Name)
    : TLine(Name, 50, FindApproximatorClass("TNonfunctionalRawData")) {}

TLine::TFollowerClass TNonfunctionalLine::FollowerClass() const {
    return &NewFollower<TNonfunctionalVectorizer>;
}

void TNonfunctionalLine::FollowerPoint(TVectorizer& Follower, TLongintPoint Pixel) {
    if (&Follower == this->Follower() &&
        Track().LastIndexWithin({static_cast<double>(Pixel.X), static_cast<double>(Pixel.Y)},
                                0.25) >= 0) {
        Follower.Terminate(); // back on the line's own track
        return;
    }
    TLine::FollowerPoint(Follower, Pixel);
}

// --- TScatter

TScatter::TScatter(const std::string& Name)
    : TDigitization(Name, 10, FindApproximatorClass("TScatterRawData")) {}

void TScatter::Draw() const {
    IDigitizationPanel* P = Panel();
    if (!P)
        return;
    QPainter& Canvas = P->Canvas();
    const QColor C = ToQColor(DisplayColor());
    for (std::int32_t I = 0; I < Count(); ++I) {
        TLongintPoint S;
        if (!ToScreen(*P, FPoints[I], S))
            continue;
        Canvas.setPen(C);
        Canvas.setBrush(C);
        Marker().Draw(S, Canvas);
    }
}

void TScatter::Sorted() {
    NotifyExtended<IScatterListener>([this](IScatterListener& L) { L.ScatterSorted(*this); });
}

void TScatter::SortAscendingX() {
    FPoints.SortAscendingX();
    Sorted();
}

void TScatter::SortAscendingY() {
    FPoints.SortAscendingY();
    Sorted();
}

void TScatter::SortDescendingX() {
    FPoints.SortDescendingX();
    Sorted();
}

void TScatter::SortDescendingY() {
    FPoints.SortDescendingY();
    Sorted();
}

// --- registry

std::unique_ptr<TDigitization> TDigitizationRegistry::Create(const std::string& ClassName,
                                                             const std::string& Name) {
    if (ClassName == "TFunctionalLine")
        return std::make_unique<TFunctionalLine>(Name);
    if (ClassName == "TNonfunctionalLine")
        return std::make_unique<TNonfunctionalLine>(Name);
    if (ClassName == "TScatter")
        return std::make_unique<TScatter>(Name);
    if (ClassName == "TDigitization" || ClassName == "TLine")
        throw EAssertion("Cannot create an instance of the abstract class " + ClassName + ".");
    throw EClassNotFound("Class " + ClassName + " not found.");
}

} // namespace korvane
