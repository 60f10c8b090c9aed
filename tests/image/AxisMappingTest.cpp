#include "image/AxisMapping.h"

#include "image/ScaleSystem.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace korvane;

namespace {

std::string Describe(const TAxisMapping& M) {
    return "window " + std::to_string(M.WindowOrg) + " + " + std::to_string(M.WindowExt) +
           ", viewport " + std::to_string(M.ViewportOrg) + " + " + std::to_string(M.ViewportExt);
}

} // namespace

TEST(AxisMapping, BlocksStartAtTheRoundedImagePosition) {
    struct TCase {
        TAxisMapping M;
        std::int64_t X, Start;
    };
    const std::vector<TCase> Cases = {
        {{0, 3, 0, 4}, 1, 1},   // zoom 4/3: 1.33
        {{0, 3, 0, 4}, 2, 3},   // 2.67
        {{0, 3, 0, 4}, -2, -3}, // -2.67
        {{0, 2, 0, 1}, 1, 1},   // zoom 1/2: halves away from zero
        {{0, 2, 0, 1}, 3, 2},
        {{0, 2, 0, 1}, -1, -1},
        {{0, 2, 0, 1}, -3, -2},
        {{5, 1, 10, 2}, 7, 14}, // scrolled to image pixel 5, shown from device pixel 10
        {{5, 1, 10, 2}, 4, 8},
        // 64 bits: no overflow where 32 bits would.
        {{0, 1, 0, 16}, std::int64_t{1} << 31, std::int64_t{1} << 35},
    };
    for (const TCase& C : Cases)
        EXPECT_EQ(C.M.BlockStart(C.X), C.Start) << Describe(C.M) << ", pixel " << C.X;
}

TEST(AxisMapping, EachDevicePixelShowsThePixelWhoseBlockHoldsIt) {
    const std::vector<TAxisMapping> Mappings = {
        {0, 1, 0, 1}, {0, 1, 0, 16},     {5, 45, 0, 60}, {0, 2, 0, 3},       {3, 800, 0, 600},
        {0, 3, 0, 1}, {0, 1066, 0, 800}, {-7, 3, 2, 4},  {0, 1 << 30, 0, 1}, // zoomed out as far as
                                                                             // the view goes
    };
    for (const TAxisMapping& M : Mappings) {
        SCOPED_TRACE(Describe(M));
        // Zoomed out, several pixels share a device pixel: the last of them shows.
        for (std::int64_t C = -50; C <= 50; ++C) {
            const std::int64_t X = M.PixelAt(C);
            ASSERT_LE(M.BlockStart(X), C) << "device " << C;
            ASSERT_GT(M.BlockStart(X + 1), C) << "device " << C;
        }
    }
    const TAxisMapping Out = {0, 3, 0, 1};
    EXPECT_EQ(Out.PixelAt(0), 1); // pixels 0 and 1 start at 0
    EXPECT_EQ(Out.PixelAt(1), 4); // pixels 2, 3 and 4 start at 1
}

TEST(AxisMapping, AgreesWithTheScaleSystemsConversion) {
    // A block starts where ImageToScreen puts the pixel, less the step to the block's centre.
    TScaleSystem S;
    S.WindowOrg = {37, 12};
    S.WindowExt = {600, 33};
    S.ViewportOrg = {0, 3};
    S.ViewportExt = {800, 45};
    ASSERT_TRUE(MappingUsable(S));
    const TAxisMapping H = HorzMapping(S), V = VertMapping(S);
    for (std::int32_t P = -20; P < 120; ++P) {
        const TLongintPoint Screen = S.ImageToScreen({P, P});
        EXPECT_EQ(H.BlockStart(P), Screen.X - S.HalfStep().X) << P;
        EXPECT_EQ(V.BlockStart(P), Screen.Y - S.HalfStep().Y) << P;
    }
}

TEST(AxisMapping, OnlyPositiveExtentsAreUsable) {
    for (int Field = 0; Field < 4; ++Field)
        for (std::int32_t Value : {0, -1}) {
            TScaleSystem S;
            std::int32_t* Extents[] = {&S.WindowExt.X, &S.WindowExt.Y, &S.ViewportExt.X,
                                       &S.ViewportExt.Y};
            *Extents[Field] = Value;
            EXPECT_FALSE(MappingUsable(S)) << "extent " << Field << " = " << Value;
        }
    EXPECT_TRUE(MappingUsable(TScaleSystem()));
}
