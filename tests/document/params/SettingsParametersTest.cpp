#include "ParamsTestSupport.h"
#include "document/Parameters.h"
#include "follower/FunctionalVectorizer.h"
#include "follower/Vectorizers.h"

#include <QImage>
#include <functional>
#include <gtest/gtest.h>
#include <limits>

using namespace korvane;
using namespace korvane::test;

// ---- TVectorizerParameters ----

TEST(VectorizerParameters, DefaultRecordByteForByte) {
    TVectorizerParameters P;
    TMemoryStream Stream;
    P.SaveToStream(Stream);
    const TBytes Expected =
        TByteBuilder().Byte(5).Byte(1).Int32(50).Int32(6).Int32(50).Int32(20).Double(0.1).Bytes;
    EXPECT_EQ(Stream.Bytes(), Expected);
    EXPECT_EQ(Stream.Bytes().size(), std::size_t(TVectorizerParameters::RecordSize));
}

TEST(VectorizerParameters, SettersClampIntoTheirRanges) {
    using TGet = std::function<double(const TVectorizerParameters&)>;
    using TSet = std::function<void(TVectorizerParameters&, double)>;
    struct TCase {
        const char* Field;
        TSet Set;
        TGet Get;
        double Value;
        double Expected;
    };
    const auto Int = [](void (TVectorizerParameters::*Setter)(std::int32_t)) {
        return [Setter](TVectorizerParameters& P, double V) {
            (P.*Setter)(static_cast<std::int32_t>(V));
        };
    };
    const TGet Delay = [](const TVectorizerParameters& P) { return P.Delay(); };
    const TGet HJump = [](const TVectorizerParameters& P) { return P.MaxHorizontalJump(); };
    const TGet VJump = [](const TVectorizerParameters& P) { return P.MaxVerticalJump(); };
    const TGet Thick = [](const TVectorizerParameters& P) { return P.ThicknessTolerance(); };
    const TGet Color = [](const TVectorizerParameters& P) { return P.ColorTolerance(); };
    const TSet SetColor = [](TVectorizerParameters& P, double V) { P.SetColorTolerance(V); };
    const double NaN = std::numeric_limits<double>::quiet_NaN();
    const double Inf = std::numeric_limits<double>::infinity();
    const std::vector<TCase> Cases{
        {"Delay", Int(&TVectorizerParameters::SetDelay), Delay, -1, 0},
        {"Delay", Int(&TVectorizerParameters::SetDelay), Delay, 0, 0},
        {"Delay", Int(&TVectorizerParameters::SetDelay), Delay, 300, 300},
        {"Delay", Int(&TVectorizerParameters::SetDelay), Delay, 301, 300},
        {"MaxHorizontalJump", Int(&TVectorizerParameters::SetMaxHorizontalJump), HJump, 0, 1},
        {"MaxHorizontalJump", Int(&TVectorizerParameters::SetMaxHorizontalJump), HJump, 10, 10},
        {"MaxHorizontalJump", Int(&TVectorizerParameters::SetMaxHorizontalJump), HJump, 11, 10},
        {"MaxVerticalJump", Int(&TVectorizerParameters::SetMaxVerticalJump), VJump, -5, 1},
        {"MaxVerticalJump", Int(&TVectorizerParameters::SetMaxVerticalJump), VJump, 500, 500},
        {"MaxVerticalJump", Int(&TVectorizerParameters::SetMaxVerticalJump), VJump, 501, 500},
        {"ThicknessTolerance", Int(&TVectorizerParameters::SetThicknessTolerance), Thick, 0, 1},
        {"ThicknessTolerance", Int(&TVectorizerParameters::SetThicknessTolerance), Thick, 1, 1},
        {"ThicknessTolerance", Int(&TVectorizerParameters::SetThicknessTolerance), Thick, 999, 300},
        {"ColorTolerance", SetColor, Color, -0.01, 0.0},
        {"ColorTolerance", SetColor, Color, NaN, 0.0},
        {"ColorTolerance", SetColor, Color, 0.37, 0.37},
        {"ColorTolerance", SetColor, Color, 1.01, 1.0},
        {"ColorTolerance", SetColor, Color, Inf, 1.0},
        {"ColorTolerance", SetColor, Color, -Inf, 0.0},
    };
    for (const TCase& Case : Cases) {
        TVectorizerParameters P;
        Case.Set(P, Case.Value);
        EXPECT_EQ(Case.Get(P), Case.Expected) << Case.Field << " := " << Case.Value;
    }
}

TEST(VectorizerParameters, LoadClampsValuesAndRefusesAColourBeyondTheTable) {
    TVectorizerParameters P;
    TMemoryStream Wild(TByteBuilder()
                           .Byte(12)
                           .Byte(7) // any non-zero byte is true
                           .Int32(-10)
                           .Int32(99)
                           .Int32(0)
                           .Int32(301)
                           .Double(std::numeric_limits<double>::quiet_NaN())
                           .Bytes);
    P.LoadFromStream(Wild, ParameterFileVersion);
    EXPECT_EQ(P.SelectedPointColor, 12);
    EXPECT_TRUE(P.UseBeacon);
    EXPECT_EQ(P.Delay(), 0);
    EXPECT_EQ(P.MaxHorizontalJump(), 10);
    EXPECT_EQ(P.MaxVerticalJump(), 1);
    EXPECT_EQ(P.ThicknessTolerance(), 300);
    EXPECT_EQ(P.ColorTolerance(), 0.0);

    const TVectorizerParameters Before = P;
    TMemoryStream BadColor(
        TByteBuilder().Byte(13).Byte(0).Int32(1).Int32(1).Int32(1).Int32(1).Double(0.5).Bytes);
    EXPECT_THROW(P.LoadFromStream(BadColor, ParameterFileVersion), EReadError);
    TMemoryStream Short(TByteBuilder().Byte(1).Byte(0).Int32(1).Bytes);
    EXPECT_THROW(P.LoadFromStream(Short, ParameterFileVersion), EReadError);
    EXPECT_TRUE(P == Before);
}

TEST(VectorizerParameters, AssignAndCopyToFollower) {
    TVectorizerParameters Source;
    Source.SelectedPointColor = 2;
    Source.UseBeacon = false;
    Source.SetDelay(120);
    Source.SetMaxHorizontalJump(3);
    Source.SetMaxVerticalJump(77);
    Source.SetThicknessTolerance(9);
    Source.SetColorTolerance(0.25);
    TVectorizerParameters Copy;
    Copy.Assign(Source);
    EXPECT_TRUE(Copy == Source);

    struct TNoObserver : IVectorizerObserver {
        void FollowerPoint(TVectorizer&, TLongintPoint) override {}
    } Observer;
    QImage Image(4, 4, QImage::Format_RGB888);
    Image.fill(Qt::white);
    TFunctionalVectorizer Follower(Observer, Image);
    Source.CopyToFollower(Follower);
    EXPECT_EQ(Follower.Delay, 120);
    EXPECT_EQ(Follower.MaxHorizontalJump, 3);
    EXPECT_EQ(Follower.MaxVerticalJump, 77);
    EXPECT_EQ(Follower.ThicknessTolerance, 9);
    EXPECT_EQ(Follower.ColorTolerance, 0.25);
}

// ---- TPaintParameters ----

namespace {

struct TCountingListener : IPaintParametersListener {
    int Count = 0;
    TPaintParameters* Sender = nullptr;
    void PaintParametersChanged(TPaintParameters& P) override {
        ++Count;
        Sender = &P;
    }
};

struct TRecordingPanel : IPaintPanel {
    std::vector<std::string> Calls;
    void SetPenWidth(std::int32_t W) override { Calls.push_back("pen " + std::to_string(W)); }
    void SetReplacingColor(TColor C) override { Calls.push_back("replace " + std::to_string(C)); }
    void SetErasingColor(TColor C) override { Calls.push_back("erase " + std::to_string(C)); }
    void SetMarkingColor(TColor C) override { Calls.push_back("mark " + std::to_string(C)); }
};

} // namespace

TEST(PaintParameters, DefaultsAndTheRecordOrder) {
    TPaintParameters P;
    TMemoryStream Stream;
    P.SaveToStream(Stream);
    // Replacing black, erasing white, marking teal, then the pen size.
    const TBytes Expected =
        TByteBuilder().Int32(0).Int32(0x00FFFFFF).Int32(0x00808000).Int32(2).Bytes;
    EXPECT_EQ(Stream.Bytes(), Expected);

    TPaintParameters Loaded;
    TMemoryStream Other(
        TByteBuilder().Int32(0x0000FF).Int32(0x00FF00).Int32(0xFF0000).Int32(40).Bytes);
    Loaded.LoadFromStream(Other, ParameterFileVersion);
    EXPECT_EQ(Loaded.ReplacingColor(), RGB(255, 0, 0));
    EXPECT_EQ(Loaded.ErasingColor(), RGB(0, 255, 0));
    EXPECT_EQ(Loaded.MarkingColor(), RGB(0, 0, 255));
    EXPECT_EQ(Loaded.PenSize(), 31);
}

TEST(PaintParameters, PenSizeIsClampedAndOnlyRealChangesAreAnnounced) {
    TPaintParameters P;
    TCountingListener Listener;
    P.AddListener(&Listener);
    P.AddListener(&Listener); // once only
    EXPECT_TRUE(P.HasListener(&Listener));

    struct TCase {
        std::int32_t Value, Expected;
        int Notices;
    };
    for (const TCase& Case : std::vector<TCase>{
             {0, 1, 1}, {40, 31, 1}, {31, 31, 0}, {32, 31, 0}, {-7, 1, 1}, {2, 2, 1}}) {
        Listener.Count = 0;
        P.SetPenSize(Case.Value);
        EXPECT_EQ(P.PenSize(), Case.Expected) << Case.Value;
        EXPECT_EQ(Listener.Count, Case.Notices) << Case.Value;
    }

    Listener.Count = 0;
    P.SetReplacingColor(P.ReplacingColor());
    P.SetErasingColor(P.ErasingColor());
    P.SetMarkingColor(P.MarkingColor());
    EXPECT_EQ(Listener.Count, 0);
    P.SetMarkingColor(RGB(1, 2, 3));
    EXPECT_EQ(Listener.Count, 1);
    EXPECT_EQ(Listener.Sender, &P);

    P.RemoveListener(&Listener);
    P.SetMarkingColor(RGB(4, 5, 6));
    EXPECT_EQ(Listener.Count, 1);
}

TEST(PaintParameters, AssignGoesThroughTheSettersAndApplyToSetsThePanel) {
    TPaintParameters Source;
    Source.SetPenSize(7);
    Source.SetReplacingColor(RGB(10, 0, 0));
    Source.SetErasingColor(RGB(0, 20, 0));

    TPaintParameters Dest;
    TCountingListener Listener;
    Dest.AddListener(&Listener);
    Dest.Assign(Source); // pen, replacing and erasing differ; marking is equal
    EXPECT_EQ(Listener.Count, 3);
    EXPECT_FALSE(Source.HasListener(&Listener));

    TRecordingPanel Panel;
    Dest.ApplyTo(Panel);
    EXPECT_EQ(Panel.Calls, (std::vector<std::string>{"pen 7", "replace 10", "erase 5120",
                                                     "mark " + std::to_string(RGB(0, 128, 128))}));
}
