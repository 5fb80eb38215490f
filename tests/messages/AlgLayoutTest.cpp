#include "messages/AlgLayout.h"

#include <QRectF>
#include <gtest/gtest.h>

using namespace messages;

TEST(AlgLayout, PaneKeepsItsMarginAndCountsNoCarriageReturns)
{
    const platform::TwipsRect pane = paneRect(8000, 3000, 20);
    EXPECT_EQ(QRectF(pane.left, pane.top, pane.width, pane.height), QRectF(20, 20, 7960, 2960));
    EXPECT_LT(paneRect(30, 3000, 20).width, 0);
    EXPECT_EQ(paneLength(QStringLiteral("a\r\nb\r\n")), 4);
}
