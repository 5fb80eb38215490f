#include "lookup/ui/BrowserPaneLayout.h"

#include <gtest/gtest.h>

using namespace lookup::ui;

TEST(BrowserPaneLayout, FirstLayoutTakesItsMarginFromTheWidth)
{
    const PaneLayout first = LayoutBrowserPane(0, 12000, 8000, Normal);
    EXPECT_EQ(first.PaneMargin, 30);
    EXPECT_EQ(first.Frame3.left, 30);
    EXPECT_EQ(first.Frame3.width, 11940);
    EXPECT_EQ(first.Frame3.height, 7940);

    const PaneLayout later = LayoutBrowserPane(50, 12000, 8000, Maximized);
    ASSERT_TRUE(later.laidOut);
    EXPECT_EQ(later.PaneMargin, 50);
    EXPECT_EQ(later.brwWebBrowser.left, 50);
    EXPECT_EQ(later.brwWebBrowser.top, 200);
    EXPECT_EQ(later.brwWebBrowser.width, 11900 - 100);
    EXPECT_EQ(later.brwWebBrowser.height, 7900 - 720);
    EXPECT_EQ(later.cmdBack.top, 7900 - 375 - 100);
    EXPECT_EQ(later.cmdRefresh.top, later.cmdBack.top);
    EXPECT_EQ(later.cmdRefresh.left, design::cmdRefresh.left);

    const PaneLayout minimised = LayoutBrowserPane(0, 4000, 3000, Minimized);
    EXPECT_FALSE(minimised.laidOut);
    EXPECT_EQ(minimised.PaneMargin, 10);
}

TEST(BrowserPaneLayout, RepositionDocksAtTheTopUnlessAskedForTheBottom)
{
    const TwipsRect top = Reposition(QString("75%"), "Top", 9000, 12000);
    EXPECT_EQ(top.top, 0);
    EXPECT_EQ(top.height, 6750);
    EXPECT_EQ(top.left, 0);
    EXPECT_EQ(top.width, 11990);

    const TwipsRect bottom = Reposition(QString("25%"), "Bottom", 9001, 12000);
    EXPECT_EQ(bottom.top, 6750);
    EXPECT_EQ(bottom.height, 2250);

    const TwipsRect twips = Reposition(3000, "Bottom", 9000, 12000);
    EXPECT_EQ(twips.top, 6000);
    EXPECT_EQ(twips.height, 3000);
    EXPECT_EQ(Reposition(QString("half"), "Links", 9000, 12000).height, 4500);
}
