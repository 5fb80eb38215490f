#include "platform/HostIdentity.h"

#include <QNetworkInterface>

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

} // namespace platform
