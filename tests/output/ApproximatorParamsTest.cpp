#include "output/ApproximatorParams.h"

#include "core/Streams.h"

#include <cmath>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace korvane;

namespace {

TDoublePointArray MakePoints(const std::vector<TDoublePoint>& List) {
    TDoublePointArray Points;
    for (const TDoublePoint& P : List)
        Points.Add(P);
    return Points;
}

// Points (x, x) for x = From, From + Step, ... To.
TDoublePointArray Ramp(int From, int To) {
    TDoublePointArray Points;
    const int Step = From <= To ? 1 : -1;
    for (int X = From;; X += Step) {
        Points.Add({double(X), double(X)});
        if (X == To)
            break;
    }
    return Points;
}

struct TCounter : IApproximatorListener {
    int Calls = 0;
    void ApproximatorParamsChanged(TApproximatorParamSet&) override { ++Calls; }
};

template <class T> std::unique_ptr<T> Create(const char* ClassName, const TDoublePointArray& P) {
    auto Set = CreateParamSet(ClassName, P);
    T* Typed = dynamic_cast<T*>(Set.get());
    EXPECT_NE(Typed, nullptr) << ClassName;
    Set.release();
    return std::unique_ptr<T>(Typed);
}

template <class F> std::string MessageOf(F&& Action) {
    try {
        Action();
    } catch (const EKorvane& E) {
        return E.what();
    }
    return "(no error)";
}

// Builders for expected records.
struct TBytes {
    TMemoryStream Stream;
    TBytes& Str(const std::string& S) {
        StringToStream(Stream, S);
        return *this;
    }
    TBytes& Flag(bool B) {
        WriteBool(Stream, B);
        return *this;
    }
    TBytes& Num(double D) {
        WriteDouble(Stream, D);
        return *this;
    }
    const std::vector<std::uint8_t>& Get() const { return Stream.Bytes(); }
};

std::vector<std::uint8_t> Saved(const TApproximatorParamSet& Set) {
    TMemoryStream Stream;
    Set.SaveToStream(Stream);
    return Stream.Bytes();
}

} // namespace

TEST(CreateParamSet, MatchesTheApproximatorClass) {
    struct TCase {
        const char* Approximator;
        const char* Set;
        EParamPanelClass Panel;
    };
    const std::vector<TCase> Cases = {
        {"TCubicSpline", "TCubicSplineParamSet", EParamPanelClass::CubicSpline},
        {"TParametricCubicSpline", "TParametricCubicSplineParamSet",
         EParamPanelClass::ParametricCubicSpline},
        {"TFunctionalRawData", "TFunctionalRawDataParamSet", EParamPanelClass::FunctionalRawData},
        {"TNonfunctionalRawData", "TNonfunctionalRawDataParamSet",
         EParamPanelClass::NonfunctionalRawData},
        {"TScatterRawData", "TScatterRawDataParamSet", EParamPanelClass::None},
    };
    const TDoublePointArray Points = Ramp(0, 4);
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(Case.Approximator);
        const auto Set = CreateParamSet(FindApproximatorClass(Case.Approximator), Points);
        EXPECT_EQ(Set->ClassName(), Case.Set);
        EXPECT_EQ(Set->Approximator().ClassName(), Case.Approximator);
        EXPECT_EQ(&Set->Points(), &Points);
        EXPECT_EQ(Set->ParamPanelClass(), Case.Panel);
        EXPECT_TRUE(Set->IsComplete());
        EXPECT_GE(Set->PointCount(), 5);
    }
    const TApproximatorClassInfo Foo{"TFoo", "Foo", nullptr};
    EXPECT_EQ(MessageOf([&] { CreateParamSet(Foo, Points); }),
              "Cannot create param set for curve approximator class 'TFoo'");
    EXPECT_EQ(MessageOf([&] { CreateParamSet("TScatterApproximator", Points); }),
              "Cannot create param set for curve approximator class 'TScatterApproximator'");
    EXPECT_THROW(CreateParamSet("TFoo", Points), EClassNotFound);
}

TEST(CubicSplineParamSet, DefaultsOverElevenPoints) {
    const TDoublePointArray Points = Ramp(0, 10);
    auto Set = Create<TCubicSplineParamSet>("TCubicSpline", Points);
    EXPECT_EQ(Set->StartX(), 0);
    EXPECT_EQ(Set->EndX(), 10);
    EXPECT_EQ(Set->Increment(), 0.5);
    EXPECT_EQ(Set->PointCount(), 21);
    auto It = Set->NewIterator();
    It->MoveTo(20);
    EXPECT_EQ(It->CurrentX(), 10);
    EXPECT_NEAR(It->CurrentY(), 10, 1e-12);
}

TEST(CubicSplineParamSet, IncrementTakesTheDirectionAndTheMinimum) {
    struct TCase {
        int From, To;
        double Given, Stored;
    };
    const std::vector<TCase> Cases = {
        {0, 10, -2, 2},
        {0, 10, 0.001, 10.0 / 11 / 50},
        {0, 10, -0.001, 10.0 / 11 / 50},
        {0, 10, 3, 3},
        {10, 0, 3, -3},
        {10, 0, -0.001, -10.0 / 11 / 50},
    };
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(testing::Message() << Case.From << ".." << Case.To << " given " << Case.Given);
        const TDoublePointArray Points = Ramp(Case.From, Case.To);
        auto Set = Create<TCubicSplineParamSet>("TCubicSpline", Points);
        Set->SetIncrement(Case.Given);
        EXPECT_DOUBLE_EQ(Set->Increment(), Case.Stored);
    }
}

TEST(CubicSplineParamSet, DescendingData) {
    const TDoublePointArray Points = Ramp(10, 0);
    auto Set = Create<TCubicSplineParamSet>("TCubicSpline", Points);
    EXPECT_EQ(Set->Increment(), -0.5);
    EXPECT_EQ(Set->StartX(), 10);
    EXPECT_EQ(Set->EndX(), 0);
    EXPECT_EQ(Set->PointCount(), 21);
    Set->SetStartX(20);
    EXPECT_EQ(Set->StartX(), 10);
    Set->SetEndX(4);
    Set->SetStartX(2); // the end follows the start
    EXPECT_EQ(Set->EndX(), 2);
}

TEST(NonParametricParamSet, RangeClampingAndNotifications) {
    const TDoublePointArray Points = Ramp(0, 10);
    auto Set = Create<TCubicSplineParamSet>("TCubicSpline", Points);
    TCounter Listener;
    Set->AddListener(&Listener);
    struct TStep {
        const char* Name;
        std::function<void()> Change;
        double Start, End;
        int Notifications; // total so far
    };
    const std::vector<TStep> Steps = {
        {"start below the data", [&] { Set->SetStartX(-5); }, 0, 10, 0},
        {"start inside", [&] { Set->SetStartX(7); }, 7, 10, 1},
        {"end before the start", [&] { Set->SetEndX(3); }, 7, 7, 2},
        {"end beyond the data", [&] { Set->SetEndX(30); }, 7, 10, 3},
        {"same end again", [&] { Set->SetEndX(10); }, 7, 10, 3},
        {"start past the end", [&] { Set->SetStartX(12); }, 10, 10, 4},
        {"reset", [&] { Set->ResetRange(); }, 0, 10, 5},
    };
    for (const TStep& Step : Steps) {
        SCOPED_TRACE(Step.Name);
        Step.Change();
        EXPECT_EQ(Set->StartX(), Step.Start);
        EXPECT_EQ(Set->EndX(), Step.End);
        EXPECT_EQ(Listener.Calls, Step.Notifications);
    }
    Set->ClearStartX();
    Set->ClearStartX();
    EXPECT_EQ(Listener.Calls, 6);
    EXPECT_FALSE(Set->IsComplete());
    EXPECT_EQ(Set->PointCount(), 0);
    EXPECT_EQ(MessageOf([&] { Set->NewIterator(); }), "TCubicSplineParamSet.NewIterator");
    EXPECT_THROW(Set->NewIterator(), EAssertion);
    EXPECT_EQ(MessageOf([&] { Set->SetIncrement(NAN); }), "Increment must be a finite number.");
}

TEST(ApproximatorParamSet, EmptyPointArrays) {
    const TDoublePointArray Empty;
    struct TCase {
        const char* Approximator;
        std::function<void(TApproximatorParamSet&)> Getter;
        const char* Message;
    };
    const auto StartX = [](TApproximatorParamSet& S) {
        dynamic_cast<TNonParametricParamSet&>(S).StartX();
    };
    const auto EndX = [](TApproximatorParamSet& S) {
        dynamic_cast<TNonParametricParamSet&>(S).EndX();
    };
    const auto StartS = [](TApproximatorParamSet& S) {
        dynamic_cast<TParametricParamSet&>(S).StartS();
    };
    const auto EndS = [](TApproximatorParamSet& S) {
        dynamic_cast<TParametricParamSet&>(S).EndS();
    };
    const std::vector<TCase> Cases = {
        {"TCubicSpline", StartX, "StartX is not set."},
        {"TCubicSpline", EndX, "EndX is not set."},
        {"TCubicSpline",
         [](TApproximatorParamSet& S) { dynamic_cast<TCubicSplineParamSet&>(S).Increment(); },
         "Increment is not set."},
        {"TFunctionalRawData", StartX, "StartX is not set."},
        {"TNonfunctionalRawData", StartS, "StartS is not set."},
        {"TParametricCubicSpline", EndS, "EndS is not set."},
        {"TParametricCubicSpline",
         [](TApproximatorParamSet& S) {
             dynamic_cast<TParametricCubicSplineParamSet&>(S).Increment();
         },
         "Increment is not set."},
    };
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(Case.Message);
        auto Set = CreateParamSet(Case.Approximator, Empty);
        EXPECT_FALSE(Set->IsComplete());
        EXPECT_EQ(Set->PointCount(), 0);
        EXPECT_EQ(MessageOf([&] { Case.Getter(*Set); }), Case.Message);
        EXPECT_THROW(Set->NewIterator(), EAssertion);
    }
    auto Scatter = CreateParamSet("TScatterRawData", Empty);
    EXPECT_FALSE(Scatter->IsComplete());
    EXPECT_EQ(Scatter->PointCount(), 0);
}

TEST(ApproximatorParamSet, PointCountOfRawSets) {
    const TDoublePointArray Points = MakePoints({{0, 5}, {1, 4}, {3, 2}, {7, 7}});
    EXPECT_EQ(CreateParamSet("TScatterRawData", Points)->PointCount(), 4);
    EXPECT_EQ(CreateParamSet("TFunctionalRawData", Points)->PointCount(), 4);
    EXPECT_EQ(CreateParamSet("TNonfunctionalRawData", Points)->PointCount(), 4);
}

// First and last X equal: the minimum increment is 0 and so is the default; the output is the
// single start point, and every walk ends.
TEST(ApproximatorParamSet, DegenerateDataYieldsOnePoint) {
    struct TCase {
        const char* Approximator;
        std::vector<TDoublePoint> Points;
        TDoublePoint Output;
    };
    const std::vector<TCase> Cases = {
        {"TCubicSpline", {{4, 7}}, {4, 7}},
        // X = 4 lies in the interval from 6 back to 4, which ends at the last point.
        {"TCubicSpline", {{4, 7}, {6, 1}, {4, 3}}, {4, 3}},
        {"TParametricCubicSpline", {{4, 7}}, {4, 7}},
        {"TParametricCubicSpline", {{4, 7}, {4, 7}}, {4, 7}},
    };
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(Case.Approximator);
        const TDoublePointArray Points = MakePoints(Case.Points);
        auto Set = CreateParamSet(Case.Approximator, Points);
        ASSERT_TRUE(Set->IsComplete());
        EXPECT_EQ(Set->PointCount(), 1);
        auto It = Set->NewIterator();
        EXPECT_EQ(It->CurrentPoint(), Case.Output);
    }
}

TEST(ApproximatorParamSet, SwitchingApproximatorKeepsRangeAndListeners) {
    const TDoublePointArray Points = Ramp(0, 10);
    auto Spline = Create<TCubicSplineParamSet>("TCubicSpline", Points);
    Spline->SetStartX(2);
    Spline->SetEndX(8);
    TCounter Digitization, Panel;
    Spline->AddListener(&Digitization);
    Spline->AddListener(&Panel);

    auto Raw = Create<TFunctionalRawDataParamSet>("TFunctionalRawData", Points);
    Raw->AddListener(&Digitization);
    Raw->Assign(*Spline);
    Raw->CopyListenersFrom(*Spline);
    EXPECT_EQ(Raw->StartX(), 2);
    EXPECT_EQ(Raw->EndX(), 8);
    EXPECT_TRUE(Raw->HasListener(&Panel));
    EXPECT_EQ(Panel.Calls, 1);
    EXPECT_EQ(Digitization.Calls, 3); // start, end, then the copy of the listeners

    // And back: the increment is set afresh, the range kept.
    auto Back = Create<TCubicSplineParamSet>("TCubicSpline", Points);
    Back->SetIncrement(2);
    Back->Assign(*Raw);
    EXPECT_EQ(Back->StartX(), 2);
    EXPECT_EQ(Back->Increment(), 2);
    Raw->ClearEndX();
    Back->Assign(*Raw);
    EXPECT_FALSE(Back->HasEndX());
}

TEST(ApproximatorParamSet, AssignAcrossFamilies) {
    const TDoublePointArray Points = Ramp(0, 10);
    auto Raw = Create<TFunctionalRawDataParamSet>("TFunctionalRawData", Points);
    Raw->SetStartX(3);
    auto Curve = Create<TParametricCubicSplineParamSet>("TParametricCubicSpline", Points);
    Curve->SetStartS(1);
    auto Scatter = CreateParamSet("TScatterRawData", Points);

    TCounter Listener;
    Raw->AddListener(&Listener);
    Raw->Assign(*Curve);
    Raw->Assign(*Scatter);
    EXPECT_EQ(Raw->StartX(), 3);
    EXPECT_EQ(Listener.Calls, 0);

    auto Other = Create<TParametricCubicSplineParamSet>("TParametricCubicSpline", Points);
    Other->Assign(*Curve);
    EXPECT_EQ(Other->StartS(), 1);
    Other->Assign(*Raw);
    EXPECT_EQ(Other->StartS(), 1);

    auto Scatter2 = CreateParamSet("TScatterRawData", Points);
    Scatter2->Assign(*Scatter);
    EXPECT_EQ(MessageOf([&] { Scatter2->Assign(*Raw); }),
              "Cannot assign a TFunctionalRawDataParamSet to a TScatterRawDataParamSet.");
}

TEST(ParametricParamSet, RangeAndIncrement) {
    // Arc lengths 0, 5, 10, 15.
    const TDoublePointArray Points = MakePoints({{0, 0}, {3, 4}, {6, 8}, {9, 12}});
    auto Set = Create<TParametricCubicSplineParamSet>("TParametricCubicSpline", Points);
    EXPECT_EQ(Set->StartS(), 0);
    EXPECT_EQ(Set->EndS(), 15);
    EXPECT_EQ(Set->Increment(), 0.75);
    EXPECT_EQ(Set->PointCount(), 21);
    EXPECT_DOUBLE_EQ(Set->MinimumIncrement(), 15.0 / 4 / 50);

    Set->SetIncrement(-2);
    EXPECT_EQ(Set->Increment(), 2);
    Set->SetIncrement(0.0001);
    EXPECT_DOUBLE_EQ(Set->Increment(), 0.075);

    Set->SetStartS(-3);
    EXPECT_EQ(Set->StartS(), 0);
    Set->SetStartS(12);
    EXPECT_EQ(Set->EndS(), 15); // the end is not re-clamped by the start
    Set->SetEndS(4);
    EXPECT_EQ(Set->EndS(), 12);
    Set->SetEndS(99);
    EXPECT_EQ(Set->EndS(), 15);
    Set->ClearStartS();
    Set->SetEndS(-4);
    EXPECT_EQ(Set->EndS(), 0); // kept inside the data even without a start
}

TEST(ApproximatorParamSet, ReclampAfterPointsWentAway) {
    TDoublePointArray Points = Ramp(0, 10);
    auto Set = Create<TFunctionalRawDataParamSet>("TFunctionalRawData", Points);
    TCounter Listener;
    Set->AddListener(&Listener);
    Points.DeleteRange(6, 10);
    Set->Reclamp();
    EXPECT_EQ(Set->EndX(), 5);
    EXPECT_EQ(Listener.Calls, 1);
    EXPECT_EQ(Set->PointCount(), 6);
    Points.Clear();
    Set->Reclamp();
    EXPECT_FALSE(Set->HasStartX());
    EXPECT_FALSE(Set->HasEndX());
    EXPECT_EQ(Listener.Calls, 3);

    TDoublePointArray Curve = MakePoints({{0, 0}, {3, 4}, {6, 8}});
    auto Parametric = Create<TNonfunctionalRawDataParamSet>("TNonfunctionalRawData", Curve);
    Curve.Delete(2);
    Parametric->Reclamp();
    EXPECT_EQ(Parametric->EndS(), 5);
    Parametric->ResetRange();
    EXPECT_EQ(Parametric->PointCount(), 2);
}

TEST(ApproximatorParamSet, StreamRecords) {
    const TDoublePointArray Points = Ramp(0, 10);
    auto Spline = Create<TCubicSplineParamSet>("TCubicSpline", Points);
    Spline->SetStartX(1);
    Spline->SetEndX(9);
    EXPECT_EQ(Saved(*Spline), TBytes()
                                  .Str("TCubicSplineParamSet")
                                  .Flag(true)
                                  .Num(1)
                                  .Flag(true)
                                  .Num(9)
                                  .Flag(true)
                                  .Num(0.5)
                                  .Get());
    // The spelled-out bytes of the first fields, to pin the layout itself.
    const auto Bytes = Saved(*Spline);
    const std::vector<std::uint8_t> Head = {20, 0, 0, 0, 'T', 'C'};
    EXPECT_TRUE(std::equal(Head.begin(), Head.end(), Bytes.begin()));
    EXPECT_EQ(Bytes[24], 1);
    EXPECT_EQ(Bytes.size(), 24u + 3 * 9);
    EXPECT_EQ(std::vector<std::uint8_t>(Bytes.begin() + 25, Bytes.begin() + 33),
              (std::vector<std::uint8_t>{0, 0, 0, 0, 0, 0, 0xF0, 0x3F})); // 1.0

    auto Raw = Create<TFunctionalRawDataParamSet>("TFunctionalRawData", Points);
    Raw->ClearEndX();
    EXPECT_EQ(Saved(*Raw),
              TBytes().Str("TFunctionalRawDataParamSet").Flag(true).Num(0).Flag(false).Get());

    const TDoublePointArray Curve = MakePoints({{0, 0}, {3, 4}});
    auto Parametric = Create<TParametricCubicSplineParamSet>("TParametricCubicSpline", Curve);
    Parametric->ClearIncrement();
    EXPECT_EQ(Saved(*Parametric), TBytes()
                                      .Str("TParametricCubicSplineParamSet")
                                      .Flag(true)
                                      .Num(0)
                                      .Flag(true)
                                      .Num(5)
                                      .Flag(false)
                                      .Get());
    auto NonfunctionalRaw = CreateParamSet("TNonfunctionalRawData", Curve);
    EXPECT_EQ(
        Saved(*NonfunctionalRaw),
        TBytes().Str("TNonfunctionalRawDataParamSet").Flag(true).Num(0).Flag(true).Num(5).Get());
    EXPECT_EQ(Saved(*CreateParamSet("TScatterRawData", Curve)),
              TBytes().Str("TScatterRawDataParamSet").Get());
}

TEST(ApproximatorParamSet, LoadingReadsTheFieldsAndReclamps) {
    const TDoublePointArray Points = Ramp(0, 10);
    struct TCase {
        const char* Name;
        std::vector<std::uint8_t> Fields;
        double Start, End, Increment;
    };
    const std::vector<TCase> Cases = {
        {"as stored", TBytes().Flag(true).Num(1).Flag(true).Num(9).Flag(true).Num(0.5).Get(), 1, 9,
         0.5},
        {"clamped", TBytes().Flag(true).Num(-5).Flag(true).Num(50).Flag(true).Num(2).Get(), 0, 10,
         2},
        {"tiny increment raised",
         TBytes().Flag(true).Num(0).Flag(true).Num(10).Flag(true).Num(1e-300).Get(), 0, 10,
         10.0 / 11 / 50},
    };
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        auto Set = Create<TCubicSplineParamSet>("TCubicSpline", Points);
        TMemoryStream Stream(Case.Fields);
        Set->LoadFromStream(Stream, "V5.01");
        EXPECT_EQ(Stream.Position(), Stream.Size());
        EXPECT_EQ(Set->StartX(), Case.Start);
        EXPECT_EQ(Set->EndX(), Case.End);
        EXPECT_DOUBLE_EQ(Set->Increment(), Case.Increment);
    }

    auto Unset = Create<TCubicSplineParamSet>("TCubicSpline", Points);
    TMemoryStream Flags(TBytes().Flag(false).Flag(false).Flag(false).Get());
    Unset->LoadFromStream(Flags, "V5.00");
    EXPECT_FALSE(Unset->HasStartX() || Unset->HasEndX() || Unset->HasIncrement());

    auto Damaged = Create<TCubicSplineParamSet>("TCubicSpline", Points);
    TMemoryStream NotANumber(TBytes().Flag(true).Num(NAN).Flag(false).Flag(false).Get());
    EXPECT_EQ(MessageOf([&] { Damaged->LoadFromStream(NotANumber, "V5.01"); }),
              "Invalid StartX in stream.");
    TMemoryStream Short(TBytes().Flag(true).Get());
    EXPECT_THROW(Damaged->LoadFromStream(Short, "V5.01"), EReadError);

    // A saved set reads back the same.
    auto Curve = Create<TParametricCubicSplineParamSet>("TParametricCubicSpline", Points);
    Curve->SetStartS(2);
    Curve->SetIncrement(0.25);
    TMemoryStream Stream;
    Curve->SaveToStream(Stream);
    Stream.Seek(0);
    EXPECT_EQ(StringFromStream(Stream), "TParametricCubicSplineParamSet");
    auto Copy = Create<TParametricCubicSplineParamSet>("TParametricCubicSpline", Points);
    Copy->LoadFromStream(Stream, "V5.01");
    EXPECT_EQ(Saved(*Copy), Saved(*Curve));
}

TEST(ApproximatorParamSet, ListenerManagement) {
    const TDoublePointArray Points = Ramp(0, 10);
    auto Set = CreateParamSet("TFunctionalRawData", Points);
    TCounter A, B;
    Set->AddListener(&A);
    Set->AddListener(&A);
    Set->AddListener(&B);
    Set->NotifyListeners();
    EXPECT_EQ(A.Calls, 1);
    Set->RemoveListener(&A);
    EXPECT_FALSE(Set->HasListener(&A));
    Set->NotifyListeners();
    EXPECT_EQ(A.Calls, 1);
    EXPECT_EQ(B.Calls, 2);
}

// A record whose end is damaged changes neither end: the range is read whole or not at all.
TEST(ApproximatorParamSet, DamagedRangeLeavesTheRangeAsItWas) {
    const TDoublePointArray Points = Ramp(0, 10);
    struct TCase {
        const char* Approximator;
        const char* Message;
    };
    const std::vector<TCase> Cases = {
        {"TFunctionalRawData", "Invalid EndX in stream."},
        {"TCubicSpline", "Invalid EndX in stream."},
        {"TNonfunctionalRawData", "Invalid EndS in stream."},
        {"TParametricCubicSpline", "Invalid EndS in stream."},
    };
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(Case.Approximator);
        auto Set = CreateParamSet(Case.Approximator, Points);
        Set->ResetRange();
        const std::vector<std::uint8_t> Before = Saved(*Set);
        TMemoryStream Damaged(TBytes().Flag(true).Num(4).Flag(true).Num(INFINITY).Get());
        EXPECT_EQ(MessageOf([&] { Set->LoadFromStream(Damaged, "V5.01"); }), Case.Message);
        EXPECT_EQ(Saved(*Set), Before);
    }
}
