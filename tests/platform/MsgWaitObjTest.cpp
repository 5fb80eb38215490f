#include "platform/MsgWaitObj.h"

#include <QList>
#include <functional>
#include <gtest/gtest.h>

using namespace platform;

namespace {

// A tick clock and its events: each wait moves the clock on by `step` ms (or
// to the time-out, when shorter) and reports input for the first `inputs`
// waits; `handled` runs with every round of pending events.
struct ScriptedEvents : EventWait, TickClock
{
    quint32 now = 0;
    qint32 step = 100;
    int inputs = 0;
    QList<qint32> timeouts;
    int processed = 0;
    std::function<void()> handled;

    quint32 GetTickCount() override { return now; }
    qint32 waitForInput(qint32 timeoutMs) override
    {
        timeouts.append(timeoutMs);
        if (inputs > 0) {
            --inputs;
            now += quint32(step);
            return 0;
        }
        now += quint32(timeoutMs < 0 ? step : qMin(step, timeoutMs));
        return timeoutMs < 0 || timeoutMs > step ? 0 : WaitTimeout;
    }
    void processPending() override
    {
        ++processed;
        if (handled)
            handled();
    }
};

} // namespace

// The wait lasts its time by the tick clock: input does not shorten it, nor
// does the tick's wrap; zero waits for nothing and a clock that jumps back
// ends it. A signal or "Stoppen" arrives as an event during a pause: the
// pause ends once that event is handled, not when its time is up.
TEST(MsgWaitObj, WaitLastsItsTimeByTheTickClockUnlessAStopEndsIt)
{
    for (quint32 start : {1000u, 0xFFFFFFFFu - 500u, 0x7FFFFFFFu - 500u, 0xFFFFFFFFu}) {
        ScriptedEvents e;
        e.now = start;
        e.inputs = 5;
        EXPECT_EQ(MsgWaitObj(10000, e, e), WaitTimeout) << start;
        EXPECT_EQ(quint32(e.now - start), 10000u) << start;
        EXPECT_EQ(e.timeouts.mid(0, 2), (QList<qint32>{10000, 9900})); // the exact remaining time
        EXPECT_EQ(e.processed, e.timeouts.size());
    }
    ScriptedEvents zero;
    zero.step = 0;
    EXPECT_EQ(MsgWaitObj(0, zero, zero), WaitTimeout);
    EXPECT_EQ(zero.processed, 1);

    ScriptedEvents back;
    back.now = 5000;
    back.inputs = 1;
    back.step = -3000; // the clock jumps back: remaining exceeds the request
    EXPECT_EQ(MsgWaitObj(1000, back, back), WaitTimeout);
    EXPECT_EQ(back.timeouts.size(), 1);

    StopRequest stop;
    ScriptedEvents e;
    e.inputs = 10;
    e.handled = [&] {
        if (e.processed == 3)
            stop.request(15);
    };
    EXPECT_EQ(MsgWaitObj(10000, e, e, 0, &stop), WaitStopped);
    EXPECT_EQ(e.processed, 3);
    EXPECT_EQ(e.now, 300u);
    EXPECT_EQ(stop.signal(), 15);
    // Raised before the wait: it does not wait at all.
    EXPECT_EQ(MsgWaitObj(-1, e, e, 0, &stop), WaitStopped);
    EXPECT_EQ(e.now, 300u);
}

TEST(MsgWaitObj, RealWaitOnTheEventLoopLastsTheTime)
{
    SystemTickClock clock;
    QtEventWait events;
    const quint32 start = clock.GetTickCount();
    EXPECT_EQ(MsgWaitObj(50, clock, events), WaitTimeout);
    const quint32 spent = clock.GetTickCount() - start;
    // Only the lower bound: how much later a loaded machine wakes us says
    // nothing about the wait.
    EXPECT_GE(spent, 50u);
}
