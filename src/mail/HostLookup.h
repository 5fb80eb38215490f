#pragma once

#include "platform/Env.h"

#include <QString>
#include <QtGlobal>

// Name resolution and ICMP echo for the mail sender's host checks. None of
// these throws: failures are results.
namespace mail {

// The local host name, or "" when it cannot be had.
QString GetIPHost();

// The first IPv4 address of the name, in dotted form, or "" when it does not
// resolve. An empty name means the local host. The caller's variable receives
// the name trimmed and followed by one NUL character.
QString GetIPAddress(QString& sHostName);

// A dotted IPv4 text as the 32-bit value whose bytes in memory (little-endian)
// are its four numbers in written order; 0 unless the text has four parts,
// each a number from 0 to 255.
qint32 IpTextToLong(const QString& text);

// ICMP echo toward a host, timed and waited for through the environment's
// tick clock and wait. Each instance numbers its own requests.
class Pinger
{
public:
    // `env` (tick, wait, random) must outlive the instance.
    explicit Pinger(const platform::Env& env) : m_env(env) {}

    // Sends one ICMP echo request with 32 random data bytes to Address (a
    // dotted address, or a name resolved by GetIPAddress, which rewrites it)
    // and waits 255 ms for the reply. True when the host itself answered;
    // then Address holds the replying address, RoundTripTime the
    // milliseconds, DataSize the echoed size and " bytes", and DataMatch
    // whether the data came back intact. Without a reply the three outputs
    // are left as they were. Uses a raw ICMP socket when permitted, else an
    // unprivileged ICMP datagram socket, else gives false.
    bool Ping(QString& Address, QString& RoundTripTime, QString& DataSize, bool& DataMatch);

private:
    platform::Env m_env;
    quint16 m_sequence = 0;
};

} // namespace mail
