#pragma once

#include <QLocale>
#include <QString>
#include <QtGlobal>
#include <optional>

namespace platform {

// The host's first non-loopback IPv4 address in dotted form; "127.0.0.1"
// when the host has none.
QString GetMachineIpAddress();

// The remote host address of the shared socket; the program never connects
// it, so this is "0.0.0.0" until the mail sender uses it.
QString GetRMachineIpAddress();

// This host's name as the system knows it.
QString GetMachineName();

// A running process: its id and when it started (milliseconds since 1970,
// from the kernel's boot time and the process's start ticks). A process id
// that the system gave out again has another start time.
struct ProcessIdentity
{
    qint64 pid = 0;
    qint64 started = 0;
    bool operator==(const ProcessIdentity&) const = default;
};

// This process.
ProcessIdentity currentProcess();

// The process now running under `pid`; nothing when none runs (or the
// system does not tell).
std::optional<ProcessIdentity> runningProcess(qint64 pid);

// What the logic asks of the host it runs on: its address and name, its
// processes and the user's locale. The environment carries one, so tests
// can say who and where the program is.
class Host
{
public:
    virtual ~Host() = default;
    virtual QString machineIpAddress() = 0;
    virtual QString machineName() = 0;
    virtual ProcessIdentity thisProcess() = 0;
    virtual std::optional<ProcessIdentity> processRunning(qint64 pid) = 0;
    // Dates and times the user reads are written in it.
    virtual QLocale locale() = 0;
};

// The host as the system tells it: the functions above and QLocale::system().
class SystemHost : public Host
{
public:
    QString machineIpAddress() override { return GetMachineIpAddress(); }
    QString machineName() override { return GetMachineName(); }
    ProcessIdentity thisProcess() override { return currentProcess(); }
    std::optional<ProcessIdentity> processRunning(qint64 pid) override
    {
        return runningProcess(pid);
    }
    QLocale locale() override { return QLocale::system(); }
};

} // namespace platform
