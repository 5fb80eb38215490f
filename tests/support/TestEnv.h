#pragma once

#include "platform/Env.h"
#include "platform/RunError.h"
#include "support/ScriptedPrompts.h"

#include <QList>
#include <QMap>
#include <functional>

namespace testing_support {

// A tick clock and a day clock that move only when told to.
class FakeClocks : public platform::TickClock, public platform::DayClock
{
public:
    quint32 tick = 0;
    double seconds = 0; // since midnight
    quint32 GetTickCount() override { return tick; }
    QDate date{2026, 12, 6};
    double Timer() override { return seconds; }
    QDateTime Now() override
    {
        return QDateTime(date, QTime::fromMSecsSinceStartOfDay(int(seconds * 1000)));
    }
    // Moves both clocks on; the day clock wraps at midnight.
    void advance(qint64 ms);
};

// Records every pause asked for and moves the fake clocks by it instead of
// sleeping. Each pause still lets pending events run (briefly waiting for
// them), so page loads and sockets make progress during a recorded walk. A
// raised stop request ends a pause at once, as the real wait does.
class RecordingWait : public platform::Wait
{
public:
    RecordingWait(FakeClocks& clocks, const platform::StopRequest& stop)
        : m_clocks(clocks), m_stop(stop)
    {
    }
    qint32 MsgWaitObj(qint32 Milliseconds) override;
    QList<qint32> pauses; // every call, in order
    // The real wait for events per call; 0 where nothing is to come (a peer
    // that never answers), so thousands of polls take no time.
    qint32 eventMs = 1;
    QList<qint32> pausesLongerThan(qint32 ms) const;
    // Runs at the start of every wait, with its length: where a test
    // injects what would happen meanwhile (a menu command, a stop).
    std::function<void(qint32 Milliseconds)> during;

private:
    FakeClocks& m_clocks;
    const platform::StopRequest& m_stop;
};

class MemorySettingsStore : public platform::SettingsStore
{
public:
    QMap<QString, QString> values; // "App/Section/Key" -> text
    QString GetSetting(const QString& AppName, const QString& Section, const QString& Key,
                       const QVariant& Default) override
    {
        return values.value(AppName + '/' + Section + '/' + Key, Default.toString());
    }
    void SaveSetting(const QString& AppName, const QString& Section, const QString& Key,
                     const QString& Setting) override
    {
        values.insert(AppName + '/' + Section + '/' + Key, Setting);
    }
};

// The real host, except for the address and the locale, which tests set:
// a documentation address and Dutch, whatever the machine says.
class TestHost : public platform::SystemHost
{
public:
    QString ipAddress = QStringLiteral("192.0.2.10");
    QLocale userLocale{QLocale::Dutch, QLocale::Netherlands};
    QString machineIpAddress() override { return ipAddress; }
    QLocale locale() override { return userLocale; }
};

// An Env of fakes: clocks, recording wait, sequence random, memory
// settings, scripted prompts, a stop request and numbered files of its own; the network
// manager is the real one.
struct TestEnv
{
    TestEnv();
    FakeClocks clocks;
    platform::StopRequest stop;
    RecordingWait wait{clocks, stop};
    platform::SequenceRandom random;
    MemorySettingsStore settings;
    ScriptedPrompts prompts;
    platform::NumberedFiles files;
    TestHost host;
    platform::Env env;
};

// Handles events as they come until `done` holds; false when `limitMs`
// passes first. For waits on real I/O (a local site, a child process): it
// wakes on each event instead of polling, so a wait lasts as long as the
// I/O and the limit is only a guard.
bool runEventsUntil(const std::function<bool()>& done, int limitMs);

// The run-time error a call throws; number 0 when it throws none.
template <typename Call> platform::RunError thrown(Call&& call)
{
    try {
        call();
    } catch (const platform::RunError& e) {
        return e;
    }
    return platform::RunError(0, QStringLiteral("no error"));
}

} // namespace testing_support
