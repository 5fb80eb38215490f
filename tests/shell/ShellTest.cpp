#include "shell/Shell.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>
#include <utility>

using namespace shell;
using testing_support::TestEnv;

TEST(Placement, DefaultIsCentredOnTheScreenStoredValuesOverrideIt)
{
    // Centred and inside the screen, with room around it, on any screen.
    for (const auto& [W, H] :
         {std::pair{15360.0, 11520.0}, std::pair{28800.0, 16200.0}, std::pair{9600.0, 7200.0}}) {
        const Placement d = defaultPlacement(W, H);
        EXPECT_GT(d.left, 0);
        EXPECT_GT(d.top, 0);
        EXPECT_NEAR(d.left * 2 + d.width, W, 1);
        EXPECT_NEAR(d.top * 2 + d.height, H, 1);
        EXPECT_GT(d.width, W / 2);
        EXPECT_GT(d.height, H / 2);
    }
    const Placement p = defaultPlacement(15360, 11520);

    // Stored values: none or blank give the default, texts their leading number.
    TestEnv t;
    t.settings.SaveSetting("Straatwijs", "Main", "WindowHeight", "   ");
    t.settings.SaveSetting("Straatwijs", "Main", "WindowWidth", "12abc");
    t.settings.SaveSetting("Straatwijs", "Main", "WindowTop", "abc");
    const Placement stored = storedPlacement(t.settings, p);
    EXPECT_EQ(stored.height, p.height);
    EXPECT_EQ(stored.width, 12);
    EXPECT_EQ(stored.top, 0);
    EXPECT_EQ(stored.left, p.left);

    savePlacement(t.settings, Placement{100, 200, 3000.5, 4000});
    EXPECT_EQ(t.settings.values.value("Straatwijs/Main/WindowWidth"), "3000.5");
    EXPECT_EQ(storedPlacement(t.settings, p).left, 200);
}
