#include "platform/Layout.h"

#include <gtest/gtest.h>

using namespace platform;

// The program docks by percentages only; heights in twips have no caller.
TEST(DockRect, PercentOfTheClientAtTheTopOrBottomFullWidthLessTen)
{
    const TwipsRect top = dockRect(QStringLiteral("75%"), false, 9000, 12000);
    EXPECT_EQ(QList<double>({top.left, top.top, top.width, top.height}),
              QList<double>({0, 0, 11990, 6750}));
    const TwipsRect bottom = dockRect(QStringLiteral("25%"), true, 9001, 12000);
    EXPECT_EQ(QList<double>({bottom.top, bottom.height}), QList<double>({6750, 2250}));
    EXPECT_EQ(paneMargin(0, 399), 0); // other margins: BrowserPaneLayout
}
