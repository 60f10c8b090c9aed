#include "follower/LineEnd.h"

#include "FollowerTestSupport.h"

#include <gtest/gtest.h>

using namespace korvane;
using namespace korvane::testing;

TEST(InkAhead, TellsALineThatGoesOnFromOneThatEnded) {
    // A black line in row 50 from column 10 to 59, the last followed point at (59, 50).
    struct TCase {
        const char* Name;
        std::function<void(QImage&)> Draw;
        TDoublePoint Direction;
        bool Expected;
    };
    const TCase Cases[] = {
        {"nothing beyond the end", [](QImage&) {}, {1, 0}, false},
        {"the line again after a gap wider than a jump",
         [](QImage& I) { Fill(I, 70, 50, 99, 50); },
         {1, 0},
         true},
        {"ink farther than the reach", [](QImage& I) { Fill(I, 90, 50, 99, 50); }, {1, 0}, false},
        {"ink above, within the vertical spread",
         [](QImage& I) { Fill(I, 62, 20, 62, 20); },
         {1, 0},
         true},
        {"ink beyond the spread", [](QImage& I) { Fill(I, 62, 5, 62, 5); }, {1, 0}, false},
        {"ink of another colour",
         [](QImage& I) { Fill(I, 70, 50, 99, 50, qRgb(255, 0, 0)); },
         {1, 0},
         false},
        {"travelling left, the line itself lies ahead", [](QImage&) {}, {-1, 0}, true},
        {"travelling down, nothing below", [](QImage&) {}, {0, 1}, false},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        QImage Image = WhiteImage(120, 100);
        Fill(Image, 10, 50, 59, 50);
        C.Draw(Image);
        TLineEndQuery Query;
        Query.Last = {59, 50};
        Query.Direction = C.Direction;
        Query.TrackingColor = RGB(0, 0, 0);
        Query.Reach = 24;
        Query.Spread = 40;
        Query.Clearance = 0.5;
        EXPECT_EQ(InkAhead(Image, Query), C.Expected);
    }
    // At the image's edge there is nothing ahead to look at.
    QImage Image = WhiteImage(60, 100);
    Fill(Image, 10, 50, 59, 50);
    TLineEndQuery Query;
    Query.Last = {59, 50};
    EXPECT_FALSE(InkAhead(Image, Query));
    EXPECT_FALSE(InkAhead(QImage(), Query));
}
