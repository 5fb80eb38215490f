#include "platform/MsgWaitObj.h"

#include "platform/RunError.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace platform {

qint32 wrapAdd(qint32 a, qint32 b)
{
    return qint32(quint32(a) + quint32(b));
}

qint32 wrapSub(qint32 a, qint32 b)
{
    return qint32(quint32(a) - quint32(b));
}

qint32 MsgWaitObj(qint32 Milliseconds, TickClock& clock, EventWait& events, qint32 HandleCount,
                  const StopRequest* stop)
{
    if (HandleCount != 0)
        throw RunError(RunError::InvalidProcedureCall,
                       QStringLiteral("MsgWaitObj supports no handles"),
                       QStringLiteral("MsgWaitObj"));
    const bool unlimited = Milliseconds == -1;
    qint32 deadline = 0;
    qint32 remaining = -1;
    if (!unlimited)
        deadline = wrapAdd(qint32(clock.GetTickCount()), Milliseconds);
    for (;;) {
        if (stop && stop->requested())
            return WaitStopped;
        if (!unlimited) {
            remaining = wrapSub(deadline, qint32(clock.GetTickCount()));
            // A remaining time larger than the whole request means the clock
            // ran backwards or the arithmetic wrapped the wrong way.
            const bool timeUp =
                (remaining ^ Milliseconds) > 0 ? remaining > Milliseconds : remaining < 0;
            if (timeUp)
                return WaitTimeout;
        }
        const qint32 r = events.waitForInput(remaining);
        events.processPending();
        if (r != HandleCount)
            return r;
    }
}

qint32 CooperativeWait::MsgWaitObj(qint32 Milliseconds)
{
    return platform::MsgWaitObj(Milliseconds, m_clock, m_events, 0, m_stop);
}

qint32 QtEventWait::waitForInput(qint32 timeoutMs)
{
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    if (!dispatcher)
        return WaitTimeout;
    if (timeoutMs == 0) {
        // Nothing to wait for; report input only when something was handled.
        return dispatcher->processEvents(QEventLoop::AllEvents) ? 0 : WaitTimeout;
    }
    bool timedOut = false;
    QTimer timer;
    if (timeoutMs > 0) {
        timer.setSingleShot(true);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, [&timedOut] { timedOut = true; });
        timer.start(timeoutMs);
    }
    dispatcher->processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    return timedOut ? WaitTimeout : 0;
}

void QtEventWait::processPending()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

} // namespace platform
