#include "shell/BatchProgress.h"

#include <gtest/gtest.h>

using shell::BatchProgress;

// A request of a batch as the status bar follows it: the query and the
// pages arrive after the request number, a page pause counts down without
// finishing the request, the pause after it finishes it, and the next
// request forgets the pages of the one before.
TEST(BatchProgress, FollowsARequestThroughItsPagesAndPauses)
{
    BatchProgress p;
    EXPECT_EQ(p.text(0), "");
    EXPECT_EQ(p.total(), 1); // a bar never divides by nothing

    p.requestStarted(2, 3);
    EXPECT_EQ(p.text(0), "Verzoek 2 van 3");
    EXPECT_EQ(p.done(), 1);
    p.queryStarted("1010 AB");
    p.pageRead(4, 7);
    EXPECT_EQ(p.text(0), "Verzoek 2 van 3: 1010 AB  ·  pagina 4 van 7");

    p.pauseStarted(1000, 12000, false);
    EXPECT_EQ(p.text(1000), "Verzoek 2 van 3: 1010 AB  ·  pagina 4 van 7  ·  pauze nog 12 s");
    EXPECT_EQ(p.text(1001), "Verzoek 2 van 3: 1010 AB  ·  pagina 4 van 7  ·  pauze nog 12 s");
    EXPECT_EQ(p.text(12000), "Verzoek 2 van 3: 1010 AB  ·  pagina 4 van 7  ·  pauze nog 1 s");
    EXPECT_EQ(p.text(13000), "Verzoek 2 van 3: 1010 AB  ·  pagina 4 van 7");
    EXPECT_EQ(p.done(), 1);
    p.pageRead(5, 7); // the pause is over
    EXPECT_EQ(p.text(1000), "Verzoek 2 van 3: 1010 AB  ·  pagina 5 van 7");

    p.pauseStarted(20000, 3000, true);
    EXPECT_EQ(p.done(), 2);
    EXPECT_EQ(p.total(), 3);

    p.requestStarted(3, 3);
    EXPECT_EQ(p.text(20000), "Verzoek 3 van 3");
    EXPECT_EQ(p.done(), 2);
    p.pauseStarted(30000, 1000, true);
    EXPECT_EQ(p.done(), 3);
    p.reset();
    EXPECT_EQ(p.text(30000), "");
    EXPECT_EQ(p.done(), 0);
}

// The 32-bit tick wraps about every 49.7 days: a pause begun just before
// the wrap still counts down across it, and one that has passed is not
// shown as some 49 days long.
TEST(BatchProgress, PauseCountsDownAcrossTheTickWrap)
{
    BatchProgress p;
    p.requestStarted(1, 1);
    p.pauseStarted(0xFFFFF000u, 10000, false);
    EXPECT_EQ(p.text(0xFFFFF000u), "Verzoek 1 van 1  ·  pauze nog 10 s");
    EXPECT_EQ(p.text(2000), "Verzoek 1 van 1  ·  pauze nog 4 s");
    EXPECT_EQ(p.text(8000), "Verzoek 1 van 1");
}
