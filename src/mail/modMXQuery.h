#pragma once

#include "platform/Env.h"
#include "platform/RunError.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// Finds the mail exchanger of a domain by asking the host's first DNS server
// directly over UDP.
namespace mail {

struct MXRecord
{
    QString Host;
    quint16 Preference = 0; // 0 to 65535: a preference of 40000 ranks after 10
};

// The host's resolver configuration: /etc/resolv.conf, or the file named by
// STRAATWIJS_RESOLV_CONF; STRAATWIJS_DNS_PORT asks another port than 53.
struct DnsSettings
{
    QStringList servers; // "nameserver" lines, in order; only the first is asked
    QString localDomain; // "domain", else the first "search" entry
    QString baseDomain;  // the last two labels of the domain
    quint16 port = 53;
};

// Reads the configuration. Without a domain, the first server's address is
// resolved back to a host name, whose part after the first "." stands in.
DnsSettings LoadDnsSettings();

// The domain in label form: each piece between dots as its length byte and
// its bytes, without the final 0.
QByteArray EncodeDnsName(const QString& text);

// Appends the name at `position` to `name`, following compression pointers,
// and moves `position` onto the name's final 0 byte, or just past its first
// pointer. False when the name runs past the reply or its pointers loop;
// nothing beyond the reply is read.
bool ReadDnsName(const QByteArray& reply, qsizetype& position, QString& name);

// Walks `count` answers after the question at `position`, up to the first
// that is no MX record. Returns the exchanger of the lowest preference (the
// first of equals), or ""; `list` receives the records read, sorted by
// preference, equal ones in reply order. A reply cut short gives the records
// read before the cut.
QString ParseMXAnswers(const QByteArray& reply, qsizetype position, int count,
                       QList<MXRecord>& list);

// The question datagram for the domain's MX records.
QByteArray mxQuestion(quint16 id, const QString& domain);

// The lookup with its state: the DNS settings, read on the first lookup and
// kept, and the records of the last lookup. Each mail sender has its own,
// unless it is given another.
class modMXQuery
{
public:
    // The best mail exchanger of Domain (empty: the local domain), or "".
    // When the domain has no MX answers and lies below the base domain, asks
    // again for its parent. Throws RunError 20000 (source "MXQuery") when the
    // question cannot be sent or the reply not received; records without
    // throwing "No DNS entries found, MX Query cannot contine." and "No Valid
    // Domain Specified" (a domain of fewer than 5 characters). Waits through
    // env.wait at most ReceiveTimeoutMs for the reply, and takes it only from
    // the asked server's address and port with the question's identifier;
    // without one the result is "".
    QString MXLookup(const QString& Domain, const platform::Env& env);

    const QList<MXRecord>& MXList() const { return m_list; }
    QString BestHost() const { return m_best; }
    // The error the last lookup recorded without throwing, if any.
    const std::optional<platform::RunError>& recordedError() const { return m_recorded; }
    const DnsSettings& settings() const { return m_dns; }
    // Makes the next lookup read the configuration again.
    void forgetDnsSettings() { m_dns = {}; }

    static constexpr qint32 ReceiveTimeoutMs = 5000;

private:
    QByteArray exchange(const QByteArray& question, quint16 id, const platform::Env& env);

    DnsSettings m_dns;
    QString m_queryDomain;
    QList<MXRecord> m_list;
    QString m_best;
    std::optional<platform::RunError> m_recorded;
};

} // namespace mail
