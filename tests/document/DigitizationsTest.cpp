#include "document/Digitizations.h"

#include "core/Errors.h"
#include "core/Formats.h"
#include "core/Streams.h"
#include "image/ScaleSystem.h"

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <gtest/gtest.h>

using namespace korvane;

namespace {

// Logs what a digitization tells its listeners.
struct TLog : IDigitizationListener, ISelectionListener, IApproximatorListener {
    std::vector<std::string> Events;
    void DigitizationChanged(TDigitization&) override { Events.push_back("DigitizationChanged"); }
    void PointsAdded(TDigitization&) override { Events.push_back("PointsAdded"); }
    void PointsChanged(TDigitization&) override { Events.push_back("PointsChanged"); }
    void SelectionChanged(TPointSelection&) override { Events.push_back("SelectionChanged"); }
    void ApproximatorParamsChanged(TApproximatorParamSet&) override {
        Events.push_back("ApproximatorParamsChanged");
    }
};

TDoublePointArray Points(std::initializer_list<TDoublePoint> List) {
    TDoublePointArray A;
    for (const auto& P : List)
        A.Add(P);
    return A;
}

TDoublePointArray Ramp(int N) {
    TDoublePointArray A;
    for (int I = 0; I < N; ++I)
        A.Add({double(I), double(I * I)});
    return A;
}

// A panel whose real values are image pixels with Y upwards from row 100, at 1:1.
struct TTestPanel : IDigitizationPanel {
    QImage Image{120, 120, QImage::Format_RGB32};
    TScaleSystem Scale;
    std::unique_ptr<QPainter> Painter;
    TTestPanel() {
        Image.fill(Qt::white);
        Scale.Define({0, 100}, {100, 100}, {100, 0}, {0, 0}, {100, 100}, false, false);
    }
    bool ScaleDefined() const override { return true; }
    const TScaleSystem& CurrentScaleSystem() const override { return Scale; }
    std::int32_t ThicknessTolerance() const override { return 20; }
    std::uint8_t SelectedPointColor() const override { return 5; }
    QPainter& Canvas() override {
        if (!Painter)
            Painter = std::make_unique<QPainter>(&Image);
        return *Painter;
    }
    QImage Finish() {
        Painter.reset();
        return Image;
    }
};

} // namespace

TEST(Digitizations, DefaultsByClass) {
    TFunctionalLine Line("L");
    TScatter Scatter("S");
    TNonfunctionalLine Contour;
    EXPECT_EQ(Line.GrowthStep(), 50);
    EXPECT_EQ(Scatter.GrowthStep(), 10);
    EXPECT_EQ(Scatter.Points().GrowthStep(), 10);
    EXPECT_EQ(Line.ParamSet().Approximator().ClassName(), "TFunctionalRawData");
    EXPECT_EQ(Contour.ParamSet().Approximator().ClassName(), "TNonfunctionalRawData");
    EXPECT_EQ(Scatter.ParamSet().Approximator().ClassName(), "TScatterRawData");
    EXPECT_EQ(Line.Marker().ClassName(), "TCircleMarker");
    EXPECT_EQ(Line.Marker().GetSize(), 3);
    EXPECT_EQ(Line.Reserved, 1);
    EXPECT_FALSE(Line.TrackingColorSet);
    EXPECT_EQ(Line.EraseFrom(), -1);
    for (int I = 0; I < 11; ++I)
        Scatter.AddPoint({double(I), 0});
    EXPECT_EQ(Scatter.Points().Capacity(), 20);
    EXPECT_EQ(DisplayColors[7].Name, std::string("Teal"));
    EXPECT_EQ(DisplayColors[7].Color, RGB(0, 128, 128));
}

TEST(Digitizations, EraseToEndSendsOnePointsChanged) {
    TFunctionalLine Line;
    Line.SetPoints(Ramp(10));
    TLog Log;
    Line.AddListener(&Log);
    Line.SetEraseFrom(3);
    Line.EraseToEnd();
    EXPECT_EQ(Line.Count(), 3);
    EXPECT_EQ(Line.EraseFrom(), -1);
    EXPECT_EQ(std::count(Log.Events.begin(), Log.Events.end(), "PointsChanged"), 1);
    Line.SetEraseFrom(10); // not a valid index
    EXPECT_EQ(Line.EraseFrom(), -1);
}

TEST(Digitizations, DeletingEveryPointClearsTheTrackingColour) {
    TFunctionalLine Line;
    Line.SetPoints(Ramp(3));
    Line.SetTrackingColor(RGB(1, 2, 3));
    Line.Selection().SelectRange(0, 2);
    Line.DeleteSelected();
    EXPECT_EQ(Line.Count(), 0);
    EXPECT_FALSE(Line.TrackingColorSet);
    EXPECT_EQ(Line.Selection().Count(), 0);

    Line.SetPoints(Ramp(3));
    Line.SetTrackingColor(RGB(1, 2, 3));
    Line.DeletePoint(0);
    EXPECT_TRUE(Line.TrackingColorSet);
    Line.DeleteRange(0, 1);
    EXPECT_FALSE(Line.TrackingColorSet);
}

TEST(Digitizations, SetPointsNotifiesInOrderAndRelaysTheSelectionOnce) {
    TFunctionalLine Line;
    Line.SetPoints(Ramp(10));
    Line.ParamSet().ResetRange(); // appended points leave the range to the data view
    Line.Selection().Select(8);
    TLog Log;
    Line.AddListener(&Log);
    Line.SetPoints(Ramp(5));
    const std::vector<std::string> Expected{"PointsChanged", "PointsAdded",
                                            "ApproximatorParamsChanged", "SelectionChanged"};
    EXPECT_EQ(Log.Events, Expected);
    EXPECT_EQ(Line.Selection().Count(), 0);

    Log.Events.clear();
    Line.SetName("New");
    Line.SetColorIndex(4);
    EXPECT_EQ(Log.Events, (std::vector<std::string>{"DigitizationChanged", "DigitizationChanged"}));
    EXPECT_THROW(Line.SetColorIndex(13), EAssertion);
    Log.Events.clear();
    Line.Selection().Select(1); // outside a bracket: relayed at once
    EXPECT_EQ(Log.Events, (std::vector<std::string>{"SelectionChanged"}));
    Line.RemoveListener(&Log);
}

TEST(Digitizations, AppendPointsNeedsPoints) {
    TNonfunctionalLine Line;
    TLog Log;
    Line.AddListener(&Log);
    Line.AppendPoints(Ramp(3));
    EXPECT_EQ(Line.Count(), 3);
    EXPECT_EQ(Log.Events.front(), "PointsAdded");
    EXPECT_THROW(Line.AppendPoints(TDoublePointArray()), EListError);
    Line.RemoveListener(&Log);
}

TEST(Digitizations, OverlapRange) {
    TFunctionalLine A, B;
    TDoublePointArray PA, PB;
    for (int X = 0; X <= 10; ++X)
        PA.Add({double(X), 0});
    for (int X = 5; X <= 20; ++X)
        PB.Add({X + 0.5, 0});
    A.SetPoints(PA);
    B.SetPoints(PB);
    std::int32_t From = -7, To = -7;
    A.OverlapRange(B, From, To);
    EXPECT_EQ(From, 6); // first X >= 5.5
    EXPECT_EQ(To, 10);  // last X <= 10
    TFunctionalLine Far;
    Far.SetPoints(Points({{30, 0}, {40, 0}}));
    From = To = -7;
    A.OverlapRange(Far, From, To);
    EXPECT_EQ(From, -7);
    EXPECT_EQ(To, -7);
}

TEST(Digitizations, RecordsRoundTripAndOldRecordsGainTheMarkerFields) {
    TFunctionalLine Line("Curve A");
    Line.SetPoints(Ramp(11));
    Line.SetColorIndex(3);
    Line.SetApproximatorClass(FindApproximatorClass("TCubicSpline"));
    Line.Selection().Select(2);
    Line.SetTrackingColor(RGB(10, 20, 30));
    TMemoryStream Saved;
    Line.SaveToStream(Saved);
    Saved.Seek(0);
    ASSERT_EQ(StringFromStream(Saved), "TFunctionalLine");
    auto Loaded = TDigitizationRegistry::Create("TFunctionalLine");
    Loaded->LoadFromStream(Saved, "V5.01");
    EXPECT_EQ(Saved.Position(), Saved.Size());
    TMemoryStream Again;
    Loaded->SaveToStream(Again);
    EXPECT_EQ(Again.Bytes(), Saved.Bytes());
    EXPECT_EQ(Loaded->Name(), "Curve A");
    EXPECT_EQ(Loaded->ParamSet().Approximator().ClassName(), "TCubicSpline");

    // The same scatter record without the marker fields, as "V5.00" files have it.
    TScatter Scatter("Dots");
    Scatter.SetPoints(Points({{1, 2}, {3, 4}}));
    TXMarker X;
    X.SetSize(6);
    Scatter.SetMarker(X);
    TMemoryStream Old;
    StringToStream(Old, "TScatter");
    StringToStream(Old, "Dots");
    WriteValue<std::uint8_t>(Old, 0);
    Scatter.Points().SaveToStream(Old);
    StringToStream(Old, "TScatterRawData");
    StringToStream(Old, "TScatterRawDataParamSet");
    WriteInt32(Old, 0); // empty selection
    Old.Seek(0);
    StringFromStream(Old);
    auto FromOld = TDigitizationRegistry::Create("TScatter");
    FromOld->LoadFromStream(Old, "V5.00");
    EXPECT_EQ(FromOld->Marker().ClassName(), "TCircleMarker");
    EXPECT_EQ(FromOld->Marker().GetSize(), 3);
    TMemoryStream Written;
    FromOld->SaveToStream(Written);
    Written.Seek(0);
    EXPECT_EQ(StringFromStream(Written), "TScatter");
    EXPECT_EQ(StringFromStream(Written), "Dots");
    ReadValue<std::uint8_t>(Written);
    EXPECT_EQ(StringFromStream(Written), "TCircleMarker");
    EXPECT_EQ(ReadInt32(Written), 3);
}

TEST(Digitizations, DamagedRecordsAndUnknownClasses) {
    EXPECT_THROW(TDigitizationRegistry::Create("TSpiral"), EClassNotFound);
    EXPECT_THROW(TDigitizationRegistry::Create("TLine"), EAssertion);
    TScatter Scatter;
    TMemoryStream Bad;
    StringToStream(Bad, "x");
    WriteValue<std::uint8_t>(Bad, 200); // no such colour
    Bad.Seek(0);
    EXPECT_THROW(Scatter.LoadFromStream(Bad, "V5.01"), EReadError);
    TMemoryStream UnknownMarker;
    StringToStream(UnknownMarker, "x");
    WriteValue<std::uint8_t>(UnknownMarker, 1);
    StringToStream(UnknownMarker, "THeartMarker");
    UnknownMarker.Seek(0);
    EXPECT_THROW(Scatter.LoadFromStream(UnknownMarker, "V5.01"), EClassNotFound);
}

TEST(Digitizations, AssignCopiesTheDataButNotTheListeners) {
    TFunctionalLine Source("Source");
    Source.SetPoints(Ramp(5));
    Source.SetApproximatorClass(FindApproximatorClass("TCubicSpline"));
    Source.SetTrackingColor(RGB(9, 9, 9));
    Source.Selection().Select(1);
    TLog Log;
    Source.AddListener(&Log);
    TFunctionalLine Copy;
    Copy.Assign(Source);
    EXPECT_EQ(Copy.Name(), "Source");
    EXPECT_EQ(Copy.Count(), 5);
    EXPECT_EQ(Copy.ParamSet().Approximator().ClassName(), "TCubicSpline");
    EXPECT_TRUE(Copy.TrackingColorSet);
    EXPECT_TRUE(Copy.Selection().IsSelected(1));
    EXPECT_FALSE(Copy.HasListener(&Log));
    TScatter Other;
    EXPECT_NO_THROW(Other.Assign(Source)); // any digitization
    TCoordFormat NotOne;
    EXPECT_THROW(Copy.Assign(NotOne), EConvertError);
    Source.RemoveListener(&Log);
}

TEST(Digitizations, PolylineBreaksAtWideGaps) {
    for (const auto& [Gap, Joined] : std::vector<std::pair<int, bool>>{{40, true}, {41, false}}) {
        TTestPanel Panel;
        TFunctionalLine Line;
        Line.SetPanel(&Panel);
        Line.SetPoints(Points({{10, 50}, {10.0 + Gap, 50}}));
        Line.Draw();
        const QImage Image = Panel.Finish();
        // Real (x, 50) is image (x, 50), screen (x + 1, 51).
        EXPECT_EQ(Image.pixel(11 + Gap / 2, 51) != qRgb(255, 255, 255), Joined) << Gap;
    }
}

TEST(Digitizations, OutputPointsShowTheSelection) {
    TTestPanel Panel;
    TScatter Scatter;
    Scatter.SetPanel(&Panel);
    Scatter.SetPoints(Points({{20, 50}, {60, 50}}));
    Scatter.Selection().Select(1);
    Scatter.DrawOutputPoints(Panel);
    const QImage Image = Panel.Finish();
    EXPECT_EQ(Image.pixel(21, 51), qRgb(0, 255, 255)); // Aqua, its own colour
    EXPECT_EQ(Image.pixel(61, 51), qRgb(0, 255, 0));   // Lime, selected
}
