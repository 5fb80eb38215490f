#pragma once

#include "platform/Clock.h"
#include "platform/Stop.h"

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
// What a wait returns when a stop request ended it early.
inline constexpr qint32 WaitStopped = -2;

// Wraps a + b modulo 2^32 and reads the result as signed 32-bit.
qint32 wrapAdd(qint32 a, qint32 b);
qint32 wrapSub(qint32 a, qint32 b);

// The cooperative wait: pauses Milliseconds (-1 = no limit) while handling
// window events, and returns 258 when the time is up, or the wait result that
// ended it. Only HandleCount 0 is supported (no caller waits on handles);
// another count throws RunError 5. With a stop request given, the wait ends
// early (WaitStopped) once the request is raised.
qint32 MsgWaitObj(qint32 Milliseconds, TickClock& clock, EventWait& events, qint32 HandleCount = 0,
                  const StopRequest* stop = nullptr);

// The pause interface the program's logic uses, so tests can record and
// skip pauses. The production implementation runs MsgWaitObj. Logic that
// only lets pending events run waits 0 ms.
class Wait
{
public:
    virtual ~Wait() = default;
    virtual qint32 MsgWaitObj(qint32 Milliseconds) = 0;
};

class CooperativeWait : public Wait
{
public:
    CooperativeWait(TickClock& clock, EventWait& events, const StopRequest* stop = nullptr)
        : m_clock(clock), m_events(events), m_stop(stop)
    {
    }
    qint32 MsgWaitObj(qint32 Milliseconds) override;

private:
    TickClock& m_clock;
    EventWait& m_events;
    const StopRequest* m_stop;
};

} // namespace platform
