#include "messages/AlgLayout.h"

#include <gtest/gtest.h>

using namespace messages;

TEST(AlgLayout, MarginIsChosenOnceTheWindowIsWideEnough)
{
    EXPECT_EQ(chooseMargin(0, 8000), 20);
    EXPECT_EQ(chooseMargin(0, 399), 0);
    EXPECT_EQ(chooseMargin(35, 8000), 35);

    const TwipsRect pane = paneRect(0, 8000, 3000, 20);
    EXPECT_EQ(pane.left, 20);
    EXPECT_EQ(pane.top, 20);
    EXPECT_EQ(pane.width, 7960);
    EXPECT_EQ(pane.height, 2960);
    EXPECT_LT(paneRect(0, 30, 30, 20).width, 0);
}

TEST(AlgLayout, DocksAtTheBottomWhateverThePosition)
{
    const TwipsRect r = bottomDock(QStringLiteral("25%"), 12000, 8000);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 6000);
    EXPECT_EQ(r.height, 2000);
    EXPECT_EQ(r.width, 11990);
    EXPECT_EQ(paneLength(QStringLiteral("a\r\nb\r\n")), 4);
}
