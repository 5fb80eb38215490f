#include "shell/WindowPlacement.h"
#include "support/TestEnv.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <utility>

using namespace shell;
using platform::TwipsRect;
using testing_support::TestEnv;

namespace {
// A screen of 19200 x 12000 twips whose top 450 a panel takes.
const TwipsRect Available{0, 450, 19200, 11550};
const FrameExtents Frame{75, 450, 75, 75};
const Placement Minimum{0, 0, 3000, 2000};

bool inside(const Placement& p, const TwipsRect& a, const FrameExtents& f)
{
    return p.left >= a.left && p.top >= a.top &&
           p.left + f.left + p.width + f.right <= a.left + a.width &&
           p.top + f.top + p.height + f.bottom <= a.top + a.height;
}
} // namespace

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

TEST(FitPlacement, KeepsAFittingWindowAndBringsOthersOntoTheScreen)
{
    const Placement fits{1500, 2000, 9000, 6000};
    EXPECT_EQ(fitPlacement(fits, Available, Frame, Minimum), fits);

    // Stored on a larger screen, or at a smaller scale: off to the right and
    // below, and larger than this screen.
    for (const Placement& stored :
         {Placement{20000, 30000, 9000, 6000}, Placement{-5000, -8000, 9000, 6000},
          Placement{900, 1200, 30720, 19200}, Placement{-15, -15, 19230, 12030}}) {
        const Placement p = fitPlacement(stored, Available, Frame, Minimum);
        EXPECT_TRUE(inside(p, Available, Frame)) << p.left << "," << p.top;
        EXPECT_LE(p.width, stored.width);
        EXPECT_LE(p.height, stored.height);
        EXPECT_GE(p.width, Minimum.width);
        EXPECT_GE(p.height, Minimum.height);
    }
    // A window that only sticks out keeps its size.
    const Placement moved = fitPlacement({11000, 15000, 9000, 6000}, Available, Frame, Minimum);
    EXPECT_EQ(moved.width, 9000);
    EXPECT_EQ(moved.height, 6000);
    EXPECT_TRUE(inside(moved, Available, Frame));

    // Stored texts without a number give 0: the window is still usable.
    const Placement zero = fitPlacement({}, Available, Frame, Minimum);
    EXPECT_EQ(zero.width, Minimum.width);
    EXPECT_EQ(zero.height, Minimum.height);
    // Numbers no screen has (twenty digits, infinities, not a number) open
    // on the screen too, once bounded.
    const double inf = std::numeric_limits<double>::infinity();
    for (const Placement& absurd :
         {Placement{1e20, -1e20, 1e20, 1e20}, Placement{inf, -inf, inf, inf},
          Placement{NAN, NAN, NAN, NAN}}) {
        const Placement p = fitPlacement(boundedPlacement(absurd), Available, Frame, Minimum);
        EXPECT_TRUE(inside(p, Available, Frame)) << p.left << "," << p.top;
        EXPECT_GE(p.width, Minimum.width);
        EXPECT_GE(p.height, Minimum.height);
    }
    // A screen smaller than the minimum: the screen wins.
    const Placement tiny = fitPlacement({}, TwipsRect{0, 0, 2000, 1000}, Frame, Minimum);
    EXPECT_TRUE(inside(tiny, TwipsRect{0, 0, 2000, 1000}, Frame));
}

// The sequences a window manager produces: the last normal placement is
// what the store holds afterwards.
TEST(PlacementMemory, StoresTheLastNormalPlacementOnlyOnceSettledOrClosing)
{
    using platform::Maximized;
    using platform::Minimized;
    using platform::Normal;
    TestEnv t;
    const Placement start{1500, 2000, 9000, 6000};
    PlacementMemory memory(t.settings, start);
    const auto stored = [&] { return storedPlacement(t.settings, Placement{}); };

    // A move alone is stored; so is a resize after it, with the new place.
    memory.changed({1500, 3000, 9000, 6000}, Normal);
    EXPECT_TRUE(memory.settle(Normal));
    EXPECT_EQ(stored(), (Placement{1500, 3000, 9000, 6000}));
    memory.changed({1800, 3300, 9000, 6000}, Normal);
    memory.changed({1800, 3300, 8000, 5000}, Normal);
    EXPECT_TRUE(memory.settle(Normal));
    EXPECT_EQ(stored(), (Placement{1800, 3300, 8000, 5000}));

    // Maximise: the new size arrives while the state still reads normal,
    // the state follows; nothing is written, then or after the restore.
    const auto values = t.settings.values;
    memory.changed({-15, -15, 19230, 11580}, Normal);
    memory.stateChanged(Maximized);
    EXPECT_FALSE(memory.settle(Maximized));
    memory.changed({-15, -15, 19230, 11580}, Maximized);
    EXPECT_FALSE(memory.settle(Maximized));
    EXPECT_FALSE(memory.closing({-15, -15, 19230, 11580}, Maximized));
    memory.stateChanged(Normal);
    memory.changed({1800, 3300, 8000, 5000}, Normal);
    EXPECT_FALSE(memory.settle(Normal)); // the same place: nothing to write
    memory.stateChanged(Minimized);
    memory.changed({1800, 3300, 0, 0}, Minimized);
    EXPECT_FALSE(memory.settle(Minimized));
    EXPECT_EQ(t.settings.values, values);

    // Closing a normal window stores where it is, even before it settled.
    memory.stateChanged(Normal);
    memory.changed({900, 600, 7000, 4000}, Normal);
    EXPECT_TRUE(memory.closing({900, 600, 7000, 4000}, Normal));
    EXPECT_EQ(stored(), (Placement{900, 600, 7000, 4000}));
    EXPECT_FALSE(memory.settle(Normal));
}
