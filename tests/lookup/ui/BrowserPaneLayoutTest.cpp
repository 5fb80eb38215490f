#include "lookup/ui/BrowserPaneLayout.h"

#include <gtest/gtest.h>
#include <utility>

using namespace lookup::ui;
using platform::TwipsRect;

// Whatever the size and margin: the frame sits in the form with the same
// margin all round, the browser inside the frame above the buttons, the
// buttons side by side inside the frame on one line with their designed
// left edges and sizes. A minimised form only chooses its margin; the first
// layout's margin comes from the width, a later one keeps what it has.
TEST(BrowserPaneLayout, FrameBrowserAndButtonsNestWithoutOverlap)
{
    const auto rightOf = [](const TwipsRect& r) { return r.left + r.width; };
    const auto bottomOf = [](const TwipsRect& r) { return r.top + r.height; };
    for (const qint16 margin : {qint16(0), qint16(50)}) {
        for (const auto& [W, H] :
             {std::pair{12000.0, 8000.0}, std::pair{6000.0, 3000.0}, std::pair{30000.0, 20000.0}}) {
            // Only the first layout of a very wide form takes a margin larger
            // than the strip below the browser was drawn for; the load sets 50.
            if (margin == 0 && W > 20000)
                continue;
            for (const platform::WindowState state : {platform::Normal, platform::Maximized}) {
                const PaneLayout l = LayoutBrowserPane(margin, W, H, state);
                ASSERT_TRUE(l.laidOut);
                const double m = l.PaneMargin;
                EXPECT_GT(m, 0);
                EXPECT_EQ(l.Frame3.left, m);
                EXPECT_EQ(l.Frame3.top, m);
                EXPECT_EQ(W - rightOf(l.Frame3), m);
                EXPECT_EQ(H - bottomOf(l.Frame3), m);

                const TwipsRect& browser = l.brwWebBrowser; // inside the frame
                EXPECT_GE(browser.left, 0);
                EXPECT_GT(browser.top, 0);
                EXPECT_LE(rightOf(browser), l.Frame3.width);
                EXPECT_GT(browser.height, 0);
                for (const TwipsRect& button : {l.cmdBack, l.cmdRefresh}) {
                    EXPECT_LT(bottomOf(browser), button.top) << W << "x" << H;
                    EXPECT_LE(bottomOf(button), l.Frame3.height);
                    EXPECT_EQ(button.top, l.cmdBack.top);
                }
                EXPECT_LE(rightOf(l.cmdBack), l.cmdRefresh.left);
                EXPECT_EQ(l.cmdBack.left, design::cmdBack.left);
                EXPECT_EQ(l.cmdRefresh.width, design::cmdRefresh.width);
            }
        }
    }
    EXPECT_EQ(LayoutBrowserPane(50, 12000, 8000, platform::Normal).PaneMargin, 50);
    EXPECT_LT(LayoutBrowserPane(0, 6000, 8000, platform::Normal).PaneMargin,
              LayoutBrowserPane(0, 12000, 8000, platform::Normal).PaneMargin);

    const PaneLayout minimised = LayoutBrowserPane(0, 4000, 3000, platform::Minimized);
    EXPECT_FALSE(minimised.laidOut);
    EXPECT_GT(minimised.PaneMargin, 0);
}
