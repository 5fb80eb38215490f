#include "support/TestEnv.h"
#include "support/TestProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>

namespace testing_support {

void FakeClocks::advance(qint64 ms)
{
    tick = quint32(tick + quint64(ms));
    seconds += ms / 1000.0;
    while (seconds >= 86400.0) {
        seconds -= 86400.0;
        date = date.addDays(1);
    }
}

qint32 RecordingWait::MsgWaitObj(qint32 Milliseconds)
{
    pauses.append(Milliseconds);
    if (during)
        during(Milliseconds);
    if (m_stop.requested())
        return platform::WaitStopped;
    // A real wait of at most a millisecond that ends at the first event:
    // loopback replies arrive while a recorded walk runs at full speed.
    platform::QtEventWait events;
    events.waitForInput(qBound(0, Milliseconds, eventMs));
    events.processPending();
    m_clocks.advance(Milliseconds);
    return platform::WaitTimeout;
}

QList<qint32> RecordingWait::pausesLongerThan(qint32 ms) const
{
    QList<qint32> out;
    for (qint32 p : pauses)
        if (p > ms)
            out.append(p);
    return out;
}

TestEnv::TestEnv()
{
    env = platform::systemEnv();
    env.tick = &clocks;
    env.day = &clocks;
    env.wait = &wait;
    env.random = &random;
    env.settings = &settings;
    env.prompts = &prompts;
    env.stop = &stop;
    env.files = &files;
    env.host = &host;
}

bool runEventsUntil(const std::function<bool()>& done, int limitMs)
{
    platform::QtEventWait events;
    const QDeadlineTimer deadline(limitMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        events.waitForInput(int(qMax<qint64>(1, deadline.remainingTime())));
        events.processPending();
    }
    return true;
}

void isolateUserFolders(const QTemporaryDir& folder)
{
    qputenv("XDG_CONFIG_HOME", folder.path().toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QString runtime = folder.path() + QStringLiteral("/runtime");
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
    }
}

} // namespace testing_support
