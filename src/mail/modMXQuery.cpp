#include "mail/modMXQuery.h"

#include <QFile>
#include <QHostAddress>
#include <QHostInfo>
#include <QNetworkDatagram>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QUdpSocket>
#include <QtEndian>

namespace mail {

namespace {

const QString Source = QStringLiteral("MXQuery");
constexpr quint8 MXType = 15;
constexpr qint64 ReplyRoom = 2048;
constexpr int MaxPointerJumps = 64; // more than any sound reply needs; stops loops

platform::RunError mxError(const char* description)
{
    return platform::RunError(platform::RunError::MxQueryError, QString::fromLatin1(description),
                              Source);
}

quint16 readUInt16(const QByteArray& bytes, qsizetype at)
{
    return qFromBigEndian<quint16>(bytes.constData() + at);
}

QString baseDomainOf(const QString& domain)
{
    const QStringList pieces = domain.split(QLatin1Char('.'));
    return pieces.size() < 2 ? domain : pieces.mid(pieces.size() - 2).join(QLatin1Char('.'));
}

QHostAddress serverAddress(const QString& server)
{
    const QHostAddress literal(server);
    if (!literal.isNull())
        return literal;
    const QList<QHostAddress> found = QHostInfo::fromName(server).addresses();
    return found.isEmpty() ? QHostAddress() : found.first();
}

// The position just past the name at `at`, or -1 when it runs past the reply.
qsizetype skipName(const QByteArray& reply, qsizetype at)
{
    while (at >= 0 && at < reply.size()) {
        const quint8 length = quint8(reply[at]);
        if (length == 0)
            return at + 1;
        if ((length & 0xC0) == 0xC0)
            return at + 2 <= reply.size() ? at + 2 : -1;
        at += 1 + length;
    }
    return -1;
}

// Adjacent records swap only when the first has the greater preference, so
// equal preferences keep their reply order.
void sortByPreference(QList<MXRecord>& list)
{
    qsizetype end = list.size() - 1;
    while (end > 0) {
        qsizetype lastSwap = 0;
        for (qsizetype i = 0; i < end; ++i) {
            if (list[i].Preference > list[i + 1].Preference) {
                std::swap(list[i], list[i + 1]);
                lastSwap = i;
            }
        }
        end = lastSwap;
    }
}

} // namespace

DnsSettings LoadDnsSettings()
{
    DnsSettings dns;
    const QString path = qEnvironmentVariableIsEmpty("STRAATWIJS_RESOLV_CONF")
                             ? QStringLiteral("/etc/resolv.conf")
                             : qEnvironmentVariable("STRAATWIJS_RESOLV_CONF");
    bool portOk = false;
    const uint port = qEnvironmentVariable("STRAATWIJS_DNS_PORT").toUInt(&portOk);
    if (portOk && port >= 1 && port <= 65535)
        dns.port = quint16(port);

    QFile file(path);
    QString domain;
    QString search;
    if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        static const QRegularExpression blanks(QStringLiteral("\\s+"));
        while (!file.atEnd()) {
            const QString line = QString::fromLocal8Bit(file.readLine()).trimmed();
            if (line.startsWith(QLatin1Char('#')) || line.startsWith(QLatin1Char(';')))
                continue;
            const QStringList words = line.split(blanks, Qt::SkipEmptyParts);
            if (words.size() < 2)
                continue;
            if (words[0] == QLatin1String("nameserver"))
                dns.servers << words[1];
            else if (words[0] == QLatin1String("domain"))
                domain = words[1];
            else if (words[0] == QLatin1String("search"))
                search = words[1];
        }
    }
    dns.localDomain = domain.isEmpty() ? search : domain;

    QString domainText = dns.localDomain;
    if (dns.localDomain.isEmpty() && !dns.servers.isEmpty()) {
        const QHostAddress first(dns.servers.first());
        if (!first.isNull()) {
            const QString host = QHostInfo::fromName(first.toString()).hostName();
            if (!host.isEmpty() && host != first.toString()) {
                domainText = host;
                const qsizetype dot = host.indexOf(QLatin1Char('.'));
                // A bare host name names no domain.
                dns.localDomain = dot < 0 ? QString() : host.mid(dot + 1);
            }
        }
    }
    dns.baseDomain = baseDomainOf(domainText);
    return dns;
}

QByteArray EncodeDnsName(const QString& text)
{
    QByteArray out;
    for (const QString& piece : text.split(QLatin1Char('.'))) {
        const QByteArray bytes = piece.toLatin1();
        out += char(quint8(bytes.size()));
        out += bytes;
    }
    return out;
}

bool ReadDnsName(const QByteArray& reply, qsizetype& position, QString& name)
{
    qsizetype at = position;
    bool jumped = false;
    int jumps = 0;
    for (;;) {
        if (at < 0 || at >= reply.size())
            return false;
        const quint8 length = quint8(reply[at]);
        if (length == 0) {
            if (!jumped)
                position = at;
            return true;
        }
        if ((length & 0xC0) == 0xC0) {
            if (at + 1 >= reply.size() || ++jumps > MaxPointerJumps)
                return false;
            if (!jumped)
                position = at + 2;
            jumped = true;
            at = qsizetype(readUInt16(reply, at) & 0x3FFF);
            continue;
        }
        if (at + 1 + length >= reply.size())
            return false; // the label, or the byte after it, lies past the reply
        name += QString::fromLatin1(reply.constData() + at + 1, length);
        at += 1 + length;
        if (reply[at] == 0) {
            if (!jumped)
                position = at;
            return true;
        }
        name += QLatin1Char('.');
    }
}

QString ParseMXAnswers(const QByteArray& reply, qsizetype position, int count,
                       QList<MXRecord>& list)
{
    list.clear();
    qint32 best = -1;
    QString bestHost;
    // Past the question's name, type and class.
    position = skipName(reply, position);
    if (position < 0)
        return {};
    position += 4;
    // Each answer is walked by its own lengths: an exchange name written out
    // in full (ending in a 0 byte rather than a pointer) moves the next
    // record, and fixed offsets would stop after the first record and miss a
    // better exchanger.
    for (; count != 0; --count) {
        position = skipName(reply, position);
        if (position < 0 || position + 10 > reply.size())
            break;
        if (readUInt16(reply, position) != MXType)
            break;
        const qsizetype data = position + 10;
        const qsizetype next = data + readUInt16(reply, position + 8);
        if (next > reply.size() || next < data + 3)
            break;
        const quint16 preference = readUInt16(reply, data);
        qsizetype at = data + 2;
        QString host;
        if (!ReadDnsName(reply, at, host))
            break;
        if (!host.trimmed().isEmpty()) {
            list.append({host, preference});
            if (best == -1 || preference < best) {
                best = preference;
                bestHost = host;
            }
        }
        position = next;
    }
    sortByPreference(list);
    return bestHost;
}

QByteArray mxQuestion(quint16 id, const QString& domain)
{
    QByteArray q(12, '\0');
    qToBigEndian(id, q.data());
    q[2] = 0x01; // recursion desired
    q[5] = 0x01; // one question
    q += EncodeDnsName(domain);
    q += '\0';
    q += QByteArray("\x00\x0F\x00\x01", 4); // type MX, class IN
    return q;
}

QString modMXQuery::MXLookup(const QString& Domain, const platform::Env& env)
{
    m_list.clear();
    m_best.clear();
    m_recorded.reset();
    if (m_dns.servers.isEmpty())
        m_dns = LoadDnsSettings();
    if (m_dns.servers.isEmpty()) {
        m_recorded = mxError("No DNS entries found, MX Query cannot contine.");
        return {};
    }
    const QString domain = Domain.isEmpty() ? m_dns.localDomain : Domain;
    if (domain.size() < 5) {
        m_recorded = mxError("No Valid Domain Specified");
        return {};
    }
    m_queryDomain = domain;

    // Drawn from the system's secure source: with the source check below it
    // keeps a forged datagram from choosing the mail host.
    const auto id = quint16(QRandomGenerator::system()->bounded(65536));
    const QByteArray reply = exchange(mxQuestion(id, domain), id, env);
    if (reply.size() < 12)
        return {};
    const quint16 answers = readUInt16(reply, 6);
    if (answers != 0) {
        m_best = ParseMXAnswers(reply, 12, answers, m_list);
        return m_best;
    }
    if (!m_dns.baseDomain.isEmpty() &&
        domain.indexOf(m_dns.baseDomain, 0, Qt::CaseInsensitive) > 0) {
        const QString parent = domain.mid(domain.indexOf(QLatin1Char('.')) + 1);
        return MXLookup(parent, env);
    }
    return {};
}

QByteArray modMXQuery::exchange(const QByteArray& question, quint16 id, const platform::Env& env)
{
    const QHostAddress server = serverAddress(m_dns.servers.first());
    if (server.isNull())
        return {};
    QUdpSocket socket;
    const bool v6 = server.protocol() == QAbstractSocket::IPv6Protocol;
    if (!socket.bind(v6 ? QHostAddress::AnyIPv6 : QHostAddress::AnyIPv4, 0))
        return {};
    if (socket.writeDatagram(question, server, m_dns.port) <= 0)
        throw mxError("Problem sending MX query");

    const quint32 start = env.tick->GetTickCount();
    for (;;) {
        while (socket.hasPendingDatagrams()) {
            const QNetworkDatagram datagram = socket.receiveDatagram(ReplyRoom);
            if (!datagram.isValid())
                throw mxError("Problem receiving MX query");
            if (!datagram.senderAddress().isEqual(server) || datagram.senderPort() != m_dns.port)
                continue;
            const QByteArray data = datagram.data();
            if (data.isEmpty())
                throw mxError("Problem receiving MX query");
            if (data.size() >= 2 && readUInt16(data, 0) == id)
                return data;
        }
        if (env.tick->GetTickCount() - start >= quint32(ReceiveTimeoutMs))
            return {};
        env.wait->MsgWaitObj(25);
    }
}

} // namespace mail
