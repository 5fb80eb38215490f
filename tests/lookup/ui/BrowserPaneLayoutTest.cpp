#include "lookup/ui/BrowserPaneLayout.h"

#include <gtest/gtest.h>

using namespace lookup::ui;

TEST(BrowserPaneLayout, FirstLayoutTakesItsMarginFromTheWidth)
{
    const PaneLayout first = LayoutBrowserPane(0, 12000, 8000, platform::Normal);
    EXPECT_EQ(first.PaneMargin, 30);
    EXPECT_EQ(first.Frame3.width, 11940);

    const PaneLayout later = LayoutBrowserPane(50, 12000, 8000, platform::Maximized);
    ASSERT_TRUE(later.laidOut);
    EXPECT_EQ(later.PaneMargin, 50);
    EXPECT_EQ(QList<double>({later.brwWebBrowser.left, later.brwWebBrowser.top,
                             later.brwWebBrowser.width, later.brwWebBrowser.height}),
              QList<double>({50, 200, 11800, 7180}));
    EXPECT_EQ(later.cmdBack.top, 7425);
    EXPECT_EQ(later.cmdRefresh.top, 7425);
    EXPECT_EQ(later.cmdRefresh.left, 1455);

    const PaneLayout minimised = LayoutBrowserPane(0, 4000, 3000, platform::Minimized);
    EXPECT_FALSE(minimised.laidOut);
    EXPECT_EQ(minimised.PaneMargin, 10);
}
