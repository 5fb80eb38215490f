#include "platform/Layout.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(DockGeometry, PercentTwipsAndPlainText)
{
    Dock d = dockGeometry(QStringLiteral("25%"), 8000);
    EXPECT_EQ(d.top, 6000);
    EXPECT_EQ(d.height, 2000);
    d = dockGeometry(3000, 8000);
    EXPECT_EQ(d.top, 5000);
    EXPECT_EQ(d.height, 3000);
    d = dockGeometry(QStringLiteral("3000"), 8000);
    EXPECT_EQ(d.top, 4000);
    EXPECT_EQ(d.height, 4000);
    d = dockGeometry(QStringLiteral("75%"), 8001);
    EXPECT_EQ(d.top, 2000);
    EXPECT_EQ(d.height, 6000);

    // Docked rectangles: the top unless asked for the bottom, full width less 10.
    const TwipsRect top = dockRect(QStringLiteral("75%"), false, 9000, 12000);
    EXPECT_EQ(QList<double>({top.left, top.top, top.width, top.height}),
              QList<double>({0, 0, 11990, 6750}));
    const TwipsRect bottom = dockRect(QStringLiteral("25%"), true, 9001, 12000);
    EXPECT_EQ(QList<double>({bottom.top, bottom.height}), QList<double>({6750, 2250}));
    EXPECT_EQ(paneMargin(0, 12000), 30);
    EXPECT_EQ(paneMargin(0, 399), 0);
    EXPECT_EQ(paneMargin(50, 12000), 50);
}
