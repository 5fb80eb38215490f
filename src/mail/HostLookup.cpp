#include "mail/HostLookup.h"

#include "mail/Validation.h"
#include "platform/Convert.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QtEndian>

#include <arpa/inet.h>
#include <cerrno>
#include <cmath>
#include <netinet/in.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace mail {

namespace {

constexpr int EchoDataSize = 32;
constexpr int EchoTimeoutMs = 255;
constexpr int EchoRoom = 250; // echoed data the reply record has room for

class Socket
{
public:
    explicit Socket(int fd) : fd(fd) {}
    ~Socket()
    {
        if (fd >= 0)
            ::close(fd);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    const int fd;
};

// A raw socket needs privileges; the datagram form needs the group to be in
// net.ipv4.ping_group_range. The kernel then owns the echo identifier.
int openIcmpSocket(bool* raw)
{
    int fd = ::socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
    *raw = fd >= 0;
    if (fd < 0)
        fd = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_ICMP);
    return fd;
}

quint16 internetChecksum(const QByteArray& packet)
{
    quint32 sum = 0;
    for (qsizetype i = 0; i + 1 < packet.size(); i += 2)
        sum += quint32(uchar(packet[i])) << 8 | uchar(packet[i + 1]);
    if (packet.size() % 2)
        sum += quint32(uchar(packet.back())) << 8;
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return quint16(~sum);
}

QByteArray echoRequest(quint16 id, quint16 sequence, const QByteArray& data)
{
    QByteArray packet(8, '\0');
    packet[0] = char(ICMP_ECHO);
    qToBigEndian(id, packet.data() + 4);
    qToBigEndian(sequence, packet.data() + 6);
    packet += data;
    qToBigEndian(internetChecksum(packet), packet.data() + 2);
    return packet;
}

struct EchoReply
{
    quint32 status = 0;  // 0: the echo came back; otherwise the ICMP error's type
    quint32 address = 0; // as IpTextToLong gives it
    QByteArray data;
};

bool isOurEcho(const uchar* icmp, qsizetype length, bool raw, quint16 id, quint16 sequence)
{
    return length >= 8 && (!raw || qFromBigEndian<quint16>(icmp + 4) == id) &&
           qFromBigEndian<quint16>(icmp + 6) == sequence;
}

// Reads one datagram; true when it answers our request (an echo reply, or an
// error report that quotes our request).
bool readReply(int fd, bool raw, quint16 id, quint16 sequence, EchoReply* reply)
{
    uchar buffer[1500];
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    const ssize_t got =
        ::recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (got <= 0)
        return false;
    const uchar* icmp = buffer;
    qsizetype length = got;
    if (raw) { // a raw socket hands over the IP header too
        const qsizetype header = (buffer[0] & 0x0F) * 4;
        icmp += header;
        length -= header;
    }
    if (length < 8)
        return false;
    const quint32 address = qFromLittleEndian<quint32>(&from.sin_addr.s_addr);
    if (icmp[0] == ICMP_ECHOREPLY && isOurEcho(icmp, length, raw, id, sequence)) {
        *reply = {0, address, QByteArray(reinterpret_cast<const char*>(icmp + 8), length - 8)};
        return true;
    }
    const bool error = icmp[0] == ICMP_DEST_UNREACH || icmp[0] == ICMP_TIME_EXCEEDED ||
                       icmp[0] == ICMP_PARAMETERPROB || icmp[0] == ICMP_SOURCE_QUENCH;
    if (error && length >= 8 + 20) {
        const uchar* quoted = icmp + 8;
        const qsizetype quotedHeader = (quoted[0] & 0x0F) * 4;
        const uchar* request = quoted + quotedHeader;
        const qsizetype requestLength = length - 8 - quotedHeader;
        if (requestLength >= 8 && request[0] == ICMP_ECHO &&
            isOurEcho(request, requestLength, raw, id, sequence)) {
            *reply = {icmp[0], address, {}};
            return true;
        }
    }
    return false;
}

// Waits on the environment's clock, letting events run between looks, so
// that a test's clock decides the time-out as it does every other wait.
bool waitForReply(int fd, bool raw, quint16 id, quint16 sequence, EchoReply* reply,
                  const platform::Env& env)
{
    const quint32 start = env.tick->GetTickCount();
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, 0);
        if (ready < 0 && errno != EINTR)
            return false;
        if (ready > 0 && readReply(fd, raw, id, sequence, reply))
            return true;
        if (env.tick->GetTickCount() - start >= quint32(EchoTimeoutMs))
            return false;
        if (ready <= 0)
            env.wait->MsgWaitObj(1);
    }
}

QString dottedAddress(quint32 value)
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg(value & 0xFF)
        .arg((value >> 8) & 0xFF)
        .arg((value >> 16) & 0xFF)
        .arg(value >> 24);
}

} // namespace

QString GetIPHost()
{
    return QHostInfo::localHostName();
}

QString GetIPAddress(QString& sHostName)
{
    if (sHostName.isEmpty())
        sHostName = GetIPHost();
    sHostName = sHostName.trimmed() + QChar(0);
    const QString name = sHostName.left(sHostName.indexOf(QChar(0)));
    if (name.isEmpty())
        return {};
    const QHostInfo info = QHostInfo::fromName(name);
    for (const QHostAddress& address : info.addresses())
        if (address.protocol() == QAbstractSocket::IPv4Protocol)
            return address.toString();
    return {};
}

qint32 IpTextToLong(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return 0;
    quint32 value = 0;
    for (qsizetype i = 0; i < 4; ++i) {
        bool ok = false;
        const double part = platform::toNumber(parts[i], &ok);
        if (!ok || part < 0 || part > 255 || part != std::floor(part))
            return 0;
        value |= quint32(part) << (8 * i);
    }
    return qint32(value);
}

bool Pinger::Ping(QString& Address, QString& RoundTripTime, QString& DataSize, bool& DataMatch)
{
    const QString ip = IsIPAddress(Address) ? Address : GetIPAddress(Address);
    if (ip.isEmpty())
        return false;
    const quint32 target = quint32(IpTextToLong(ip));
    if (target == 0)
        return false;

    QByteArray data(EchoDataSize, '\0');
    for (char& c : data)
        c = char(std::lround(m_env.random->Rnd() * 254 + 1));

    bool raw = false;
    const Socket socket(openIcmpSocket(&raw));
    if (socket.fd < 0)
        return false;
    const quint16 sequence = ++m_sequence;
    const quint16 id = quint16(::getpid());
    const QByteArray packet = echoRequest(id, sequence, data);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    qToLittleEndian(target, &to.sin_addr.s_addr);

    const quint32 start = m_env.tick->GetTickCount();
    if (::sendto(socket.fd, packet.constData(), size_t(packet.size()), 0,
                 reinterpret_cast<const sockaddr*>(&to), sizeof to) != packet.size())
        return false;
    EchoReply reply;
    if (!waitForReply(socket.fd, raw, id, sequence, &reply, m_env))
        return false;
    RoundTripTime = QString::number(m_env.tick->GetTickCount() - start);
    Address = dottedAddress(reply.address);
    DataSize = QString::number(reply.data.size()) + QStringLiteral(" bytes");
    // The reply record holds the echoed data in a zeroed area: the text up to
    // its first NUL is what came back.
    const QByteArray echoed = reply.data.left(EchoRoom);
    const qsizetype end = echoed.contains('\0') ? echoed.indexOf('\0') : echoed.size();
    if (end >= 1 && end < EchoRoom)
        DataMatch = QString::fromLatin1(echoed.left(end))
                        .compare(QString::fromLatin1(data), Qt::CaseInsensitive) == 0;
    return reply.status == 0 && reply.address == target;
}

} // namespace mail
