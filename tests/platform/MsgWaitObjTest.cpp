#include "platform/MsgWaitObj.h"

#include <QList>
#include <gtest/gtest.h>

using namespace platform;

namespace {

class ManualClock : public TickClock
{
public:
    quint32 now = 0;
    quint32 GetTickCount() override { return now; }
};

// Each wait moves the clock on by `step` ms (or to the time-out, when
// shorter), and reports input for the first `inputs` waits.
class ScriptedEvents : public EventWait
{
public:
    ScriptedEvents(ManualClock& c, qint32 step) : clock(c), step(step) {}
    ManualClock& clock;
    qint32 step;
    int inputs = 0;
    QList<qint32> timeouts;
    int processed = 0;
    qint32 waitForInput(qint32 timeoutMs) override
    {
        timeouts.append(timeoutMs);
        if (inputs > 0) {
            --inputs;
            clock.now += quint32(step);
            return 0;
        }
        clock.now += quint32(timeoutMs < 0 ? step : qMin(step, timeoutMs));
        return timeoutMs < 0 || timeoutMs > step ? 0 : WaitTimeout;
    }
    void processPending() override { ++processed; }
};

} // namespace

TEST(MsgWaitObj, InputDoesNotShortenTheWait)
{
    ManualClock clock;
    clock.now = 1000;
    ScriptedEvents events(clock, 100);
    events.inputs = 5;
    EXPECT_EQ(MsgWaitObj(1000, clock, events), WaitTimeout);
    EXPECT_GE(clock.now, 2000u);
    EXPECT_EQ(events.timeouts.first(), 1000);
    EXPECT_EQ(events.timeouts.at(1), 900); // the exact remaining time
    EXPECT_EQ(events.processed, events.timeouts.size());
}

TEST(MsgWaitObj, LastsTheRequestedTimeAcrossTheTickWrap)
{
    for (quint32 start : {0xFFFFFFFFu - 500u, 0x7FFFFFFFu - 500u, 0xFFFFFFFFu}) {
        ManualClock clock;
        clock.now = start;
        ScriptedEvents events(clock, 10);
        EXPECT_EQ(MsgWaitObj(10000, clock, events), WaitTimeout) << start;
        EXPECT_EQ(quint32(clock.now - start), 10000u) << start;
    }
}

TEST(MsgWaitObj, ZeroReturnsWhenNothingIsPending)
{
    ManualClock clock;
    ScriptedEvents events(clock, 0);
    EXPECT_EQ(MsgWaitObj(0, clock, events), WaitTimeout);
    EXPECT_EQ(events.processed, 1);
}

TEST(MsgWaitObj, ClockRunningBackwardsEndsTheWait)
{
    ManualClock clock;
    clock.now = 5000;
    ScriptedEvents events(clock, 10);
    events.inputs = 1;
    events.step = -3000; // the clock jumps back: remaining exceeds the request
    EXPECT_EQ(MsgWaitObj(1000, clock, events), WaitTimeout);
    EXPECT_EQ(events.timeouts.size(), 1);
}

// A signal or "Stoppen" arrives as an event during a pause: the pause ends
// once that event is handled, not when its time is up.
TEST(MsgWaitObj, StopRequestEndsTheWaitOnceRaised)
{
    ManualClock clock;
    StopRequest stop;
    struct StoppingEvents : ScriptedEvents
    {
        using ScriptedEvents::ScriptedEvents;
        StopRequest* stop = nullptr;
        void processPending() override
        {
            if (++processed == 3)
                stop->request(15);
        }
    } events(clock, 100);
    events.stop = &stop;
    events.inputs = 10;
    EXPECT_EQ(MsgWaitObj(10000, clock, events, 0, &stop), WaitStopped);
    EXPECT_EQ(events.processed, 3);
    EXPECT_EQ(clock.now, 300u);
    EXPECT_EQ(stop.signal(), 15);
    // Raised before the wait: it does not wait at all.
    EXPECT_EQ(MsgWaitObj(-1, clock, events, 0, &stop), WaitStopped);
    EXPECT_EQ(clock.now, 300u);
}

TEST(MsgWaitObj, RealWaitOnTheEventLoopLastsTheTime)
{
    SystemTickClock clock;
    QtEventWait events;
    const quint32 start = clock.GetTickCount();
    EXPECT_EQ(MsgWaitObj(50, clock, events), WaitTimeout);
    const quint32 spent = clock.GetTickCount() - start;
    EXPECT_GE(spent, 50u);
    EXPECT_LT(spent, 1000u);
}
