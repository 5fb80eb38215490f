#include "messages/AlgLayout.h"

#include <QRectF>
#include <gtest/gtest.h>

using namespace messages;

TEST(AlgLayout, MarginIsChosenOnceTheWindowIsWideEnough)
{
    EXPECT_EQ(chooseMargin(0, 8000), 20);
    EXPECT_EQ(chooseMargin(0, 399), 0);
    EXPECT_EQ(chooseMargin(35, 8000), 35);
    const TwipsRect pane = paneRect(0, 8000, 3000, 20);
    EXPECT_EQ(QRectF(pane.left, pane.top, pane.width, pane.height), QRectF(20, 20, 7960, 2960));
    EXPECT_EQ(bottomDock(QStringLiteral("25%"), 12000, 8000).width, 11990);
}
