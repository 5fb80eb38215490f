#include "platform/Layout.h"

#include <gtest/gtest.h>

using namespace platform;

// The two children dock as complementary strips: the upper one from the
// top, the lower one down to the bottom edge, together the whole height
// (to within the whole twips they are cut to) and never overlapping; both
// a little narrower than the client, so no scrollbar appears. The position
// word of a percentage only says which strip; a number is twips, the same
// digits as text (no '%') give the halves.
TEST(DockRect, UpperAndLowerStripsTileTheClientArea)
{
    for (const double S : {9000.0, 9001.0, 4801.0, 120.0}) {
        const double C = 12000;
        const TwipsRect upper = dockRect(QStringLiteral("75%"), false, S, C);
        const TwipsRect lower = dockRect(QStringLiteral("25%"), true, S, C);
        EXPECT_EQ(upper.top, 0);
        EXPECT_LE(upper.top + upper.height, lower.top) << S;
        EXPECT_NEAR(lower.top + lower.height, S, 1) << S;
        EXPECT_NEAR(upper.height + lower.height, S, 2) << S;
        EXPECT_GT(upper.height, 2 * lower.height) << S;
        for (const TwipsRect& r : {upper, lower}) {
            EXPECT_EQ(r.left, 0);
            EXPECT_LT(r.width, C);
            EXPECT_GT(r.width, C - 20);
        }
    }
    const Dock twips = dockGeometry(3000, 8000);
    EXPECT_EQ(twips.top + twips.height, 8000);
    EXPECT_EQ(twips.height, 3000);
    const Dock digits = dockGeometry(QStringLiteral("3000"), 8000);
    EXPECT_EQ(digits.top, digits.height);
}

// The log's share: the quarter when that shows enough, more when it does
// not, never more than the cap; a client with no height yet keeps the
// plain share rather than dividing by nothing.
TEST(DockShare, GrowsToWhatIsNeededUpToTheCap)
{
    EXPECT_EQ(dockShare(25, 100, 800, 60), 25);
    const double grown = dockShare(25, 300, 800, 60);
    EXPECT_GT(grown, 25);
    EXPECT_GE(grown / 100 * 800, 300 - 0.01);
    EXPECT_EQ(dockShare(25, 700, 800, 60), 60);
    EXPECT_EQ(dockShare(25, 100, 0, 60), 25);
}

// A margin once chosen stays; 0 is chosen from the width, stays 0 while the
// window is too narrow for one, and grows with the width.
TEST(PaneMargin, ChosenOnceFromTheWidth)
{
    EXPECT_EQ(paneMargin(50, 100), 50);
    EXPECT_EQ(paneMargin(0, 399), 0);
    EXPECT_GT(paneMargin(0, 400), 0);
    EXPECT_LT(paneMargin(0, 4000), paneMargin(0, 12000));
}
