#include "platform/HostIdentity.h"

#include <QCoreApplication>
#include <QFile>
#include <QNetworkInterface>
#include <QSysInfo>
#include <algorithm>
#include <unistd.h>

namespace platform {

QString GetMachineIpAddress()
{
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& nic : interfaces) {
        const auto flags = nic.flags();
        if (!(flags & QNetworkInterface::IsUp) || (flags & QNetworkInterface::IsLoopBack))
            continue;
        for (const QNetworkAddressEntry& entry : nic.addressEntries()) {
            const QHostAddress a = entry.ip();
            if (a.protocol() == QAbstractSocket::IPv4Protocol && !a.isLoopback())
                return a.toString();
        }
    }
    return QStringLiteral("127.0.0.1");
}

QString GetRMachineIpAddress()
{
    return QStringLiteral("0.0.0.0");
}

QString GetMachineName()
{
    return QSysInfo::machineHostName();
}

std::optional<ProcessIdentity> runningProcess(qint64 pid)
{
    if (pid <= 0)
        return std::nullopt;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray line = stat.readAll();
    // The command name in parentheses may hold blanks and parentheses itself;
    // the fields after it are numbers, the start time the 20th of them.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 1).simplified().split(' ');
    bool ok = false;
    const qint64 ticks = fields.value(19).toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    static const qint64 bootSeconds = [] {
        QFile system(QStringLiteral("/proc/stat"));
        if (!system.open(QIODevice::ReadOnly))
            return qint64(0);
        for (const QByteArray& l : system.readAll().split('\n'))
            if (l.startsWith("btime "))
                return l.mid(6).trimmed().toLongLong();
        return qint64(0);
    }();
    static const qint64 ticksPerSecond = std::max(1L, sysconf(_SC_CLK_TCK));
    return ProcessIdentity{pid, bootSeconds * 1000 + ticks * 1000 / ticksPerSecond};
}

ProcessIdentity currentProcess()
{
    const qint64 pid = QCoreApplication::applicationPid();
    return runningProcess(pid).value_or(ProcessIdentity{pid, 0});
}

} // namespace platform
