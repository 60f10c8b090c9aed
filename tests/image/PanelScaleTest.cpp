#include "image/PanelScale.h"

#include "core/Streams.h"

#include <gtest/gtest.h>

using namespace korvane;

namespace {

// Slots for the worked chart: (100, 400) is (0, 0), (500, 400) the skew point, (500, 100) is
// (10, 30); at 1:1 with no scrolling, screen and image pixels coincide.
void FillSlots(TPanelScale& P, TDoublePoint Second = {10, 30}) {
    P.SetFirstScalePoint({100, 400}, {0, 0});
    P.SetSkewPoint({500, 400});
    P.SetSecondScalePoint({500, 100}, Second);
}

} // namespace

TEST(PanelScale, DefinesFromTheSlotsAndNotifies) {
    TPanelScale P;
    int Defined = 0, Undefined = 0, Repaints = 0;
    P.OnScaleDefined = [&] { ++Defined; };
    P.OnScaleUndefined = [&] { ++Undefined; };
    P.OnSlotsChanged = [&] { ++Repaints; };
    EXPECT_EQ(P.ScreenToReal({300, 250}), (TDoublePoint{0.0, 0.0})); // nothing defined yet
    EXPECT_EQ(P.RealToScreen({5, 15}), (TLongintPoint{0, 0}));

    P.SetFirstScalePoint({100, 400}, {0, 0});
    try {
        P.DefineScale(false, false);
        FAIL();
    } catch (const EDefineScale& E) {
        EXPECT_STREQ(E.what(), "Scale points not completely defined.");
    }
    FillSlots(P);
    EXPECT_EQ(Repaints, 4);
    P.DefineScale(false, false);
    EXPECT_TRUE(P.ScaleDefined());
    EXPECT_EQ(Defined, 1);
    const TDoublePoint R = P.ScreenToReal({300, 250});
    EXPECT_DOUBLE_EQ(R.X, 5);
    EXPECT_DOUBLE_EQ(R.Y, 15);
    EXPECT_EQ(P.RealToScreen({5, 15}), (TLongintPoint{301, 251})); // the half step at 1:1

    P.UndefineScale();
    EXPECT_FALSE(P.ScaleDefined());
    EXPECT_FALSE(P.FirstSlot().Set);
    EXPECT_EQ(Undefined, 1);
    P.UndefineScale(); // already undefined: no event
    EXPECT_EQ(Undefined, 1);
}

TEST(PanelScale, AFailedDefinitionLeavesTheSystemUndefined) {
    TPanelScale P;
    FillSlots(P);
    P.DefineScale(false, false);
    const TScaleSystem Before = P.DefinedScaleSystem();
    P.SetSecondScalePoint({500, 100}, {0, 30}); // same X value as the first point
    try {
        P.DefineScale(false, false);
        FAIL();
    } catch (const EDefineScale& E) {
        EXPECT_STREQ(E.what(), "Scale values must be different between points.");
    }
    EXPECT_FALSE(P.ScaleDefined());
    EXPECT_EQ(P.DefinedScaleSystem().LinearScale, Before.LinearScale);
    // Degenerate geometry fails the same way, with its own reason.
    P.SetSecondScalePoint({100, 100}, {10, 30});
    EXPECT_THROW(P.DefineScale(false, false), EDefineScale);
}

TEST(PanelScale, RebuildKeepsTheViewMappingOfTheCurrentSystem) {
    TPanelScale P;
    FillSlots(P);
    P.DefineScale(false, false);
    P.CurrentScaleSystem().ViewportExt = {2, 2}; // zoomed to 2:1
    P.CurrentScaleSystem().WindowOrg = {100, 200};
    P.RebuildCurrentScale();
    EXPECT_EQ(P.CurrentScaleSystem().ViewportExt, (TLongintPoint{2, 2}));
    const TDoublePoint R = P.ScreenToReal({400, 100});
    EXPECT_DOUBLE_EQ(R.X, 5);
    EXPECT_DOUBLE_EQ(R.Y, 15);
    EXPECT_EQ(P.DefinedScaleSystem().ViewportExt, (TLongintPoint{1, 1}));
}

TEST(PanelScale, RecordRoundTripsWithTheScrollPositions) {
    TPanelScale P;
    FillSlots(P);
    P.DefineScale(false, false);
    P.CurrentScaleSystem().ViewportExt = {3, 3};
    TStoredScroller Scroller;
    Scroller.Horizontal = 120;
    Scroller.Vertical = 45;
    TMemoryStream S;
    P.SaveToStream(S, Scroller);
    ASSERT_EQ(S.Size(), 1 + 90 + 90 + 8);

    TPanelScale Loaded;
    int Defined = 0;
    Loaded.OnScaleDefined = [&] { ++Defined; };
    TStoredScroller Target;
    Target.Horizontal = 20;
    S.Seek(0);
    Loaded.LoadFromStream(S, Target);
    EXPECT_EQ(Defined, 1);
    EXPECT_TRUE(Loaded.ScaleDefined());
    EXPECT_EQ(Loaded.CurrentScaleSystem().ViewportExt, (TLongintPoint{3, 3}));
    EXPECT_EQ(Loaded.DefinedScaleSystem().ViewportExt, (TLongintPoint{1, 1}));
    EXPECT_EQ(Target.Horizontal, 120);
    EXPECT_EQ(Target.Vertical, 45);

    // Undefined: the flag and the two positions; loading it keeps what the panel had.
    TPanelScale Empty;
    TMemoryStream E;
    Empty.SaveToStream(E, Scroller);
    EXPECT_EQ(E.Size(), 9);
    E.Seek(0);
    Loaded.LoadFromStream(E, Target);
    EXPECT_TRUE(Loaded.ScaleDefined());

    // A record cut short changes nothing.
    std::vector<std::uint8_t> Short = S.Bytes();
    Short.resize(150);
    TMemoryStream Cut(Short);
    TPanelScale Untouched;
    EXPECT_THROW(Untouched.LoadFromStream(Cut, Target), EReadError);
    EXPECT_FALSE(Untouched.ScaleDefined());
}
