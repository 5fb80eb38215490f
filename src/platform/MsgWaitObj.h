#pragma once

#include "platform/Clock.h"

#include <QtGlobal>

namespace platform {

// Blocks the thread until window input (any event) arrives or the time-out
// passes, then handles what is pending. The primitive under MsgWaitObj.
class EventWait
{
public:
    virtual ~EventWait() = default;
    // Waits at most timeoutMs (-1: no limit). Returns 0 when input arrived,
    // 258 when the time ran out.
    virtual qint32 waitForInput(qint32 timeoutMs) = 0;
    // Handles every pending event without blocking.
    virtual void processPending() = 0;
};

// EventWait on the Qt event loop of the current thread.
class QtEventWait : public EventWait
{
public:
    qint32 waitForInput(qint32 timeoutMs) override;
    void processPending() override;
};

inline constexpr qint32 WaitTimeout = 258;

// Wraps a + b modulo 2^32 and reads the result as signed 32-bit.
qint32 wrapAdd(qint32 a, qint32 b);
qint32 wrapSub(qint32 a, qint32 b);

// The cooperative wait: pauses Milliseconds (-1 = no limit) while handling
// window events, and returns 258 when the time is up, or the wait result that
// ended it. Only HandleCount 0 is supported (no caller waits on handles);
// another count throws RunError 5.
qint32 MsgWaitObj(qint32 Milliseconds, TickClock& clock, EventWait& events, qint32 HandleCount = 0);

// The pause interface the program's logic uses, so tests can record and
// skip pauses. The production implementation runs MsgWaitObj.
class Wait
{
public:
    virtual ~Wait() = default;
    virtual qint32 MsgWaitObj(qint32 Milliseconds) = 0;
};

class CooperativeWait : public Wait
{
public:
    CooperativeWait(TickClock& clock, EventWait& events) : m_clock(clock), m_events(events) {}
    qint32 MsgWaitObj(qint32 Milliseconds) override;

private:
    TickClock& m_clock;
    EventWait& m_events;
};

} // namespace platform
