#include "shell/Shell.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

using namespace shell;
using testing_support::TestEnv;

TEST(Placement, DefaultIsFourFifthsCentredStoredValuesOverrideIt)
{
    const Placement p = defaultPlacement(15360, 11520);
    EXPECT_EQ(p.height, 9216);
    EXPECT_EQ(p.width, 12288);
    EXPECT_EQ(p.top, 1152);
    EXPECT_EQ(p.left, 1536);

    // Stored values: none or blank give the default, texts their leading number.
    TestEnv t;
    t.settings.SaveSetting("Straatwijs", "Main", "WindowHeight", "   ");
    t.settings.SaveSetting("Straatwijs", "Main", "WindowWidth", "12abc");
    t.settings.SaveSetting("Straatwijs", "Main", "WindowTop", "abc");
    const Placement stored = storedPlacement(t.settings, p);
    EXPECT_EQ(stored.height, 9216);
    EXPECT_EQ(stored.width, 12);
    EXPECT_EQ(stored.top, 0);
    EXPECT_EQ(stored.left, 1536);

    savePlacement(t.settings, Placement{100, 200, 3000.5, 4000});
    EXPECT_EQ(t.settings.values.value("Straatwijs/Main/WindowWidth"), "3000.5");
    EXPECT_EQ(storedPlacement(t.settings, p).left, 200);
}
