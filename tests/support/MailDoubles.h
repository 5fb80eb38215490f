#pragma once

#include "mail/Composition.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testing_support {

// The fake clocks with a fixed zone offset, so that the Date line does not
// depend on the machine's zone.
class ZonedClocks : public FakeClocks
{
public:
    int offsetSeconds = 3600;
    QDateTime Now() override
    {
        const QDateTime local = FakeClocks::Now();
        return QDateTime(local.date(), local.time(), QTimeZone(offsetSeconds));
    }
};

// Keeps the message stream's bytes and trace lines.
class RecordingWriter : public mail::MessageWriter
{
public:
    QByteArray bytes;
    QStringList traces;
    bool open = true; // false: every send fails, as on a closed socket
    bool send(const QByteArray& piece) override
    {
        if (!open)
            return false;
        bytes += piece;
        return true;
    }
    void trace(const QString& text) override { traces << text; }
};

// A TestEnv whose day clock carries a zone: Sunday 6 December 2026, 14:30:15
// at UTC+1.
struct MailTestEnv : TestEnv
{
    MailTestEnv()
    {
        zoned.seconds = 14 * 3600 + 30 * 60 + 15;
        env.day = &zoned;
    }
    ZonedClocks zoned;
};

// Writes a file of `bytes` into `dir`; returns its path.
inline QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    QFile f(dir.filePath(name));
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return f.fileName();
}

// Whether this process may open an ICMP socket (raw, or the unprivileged
// datagram kind), which Ping needs.
inline bool icmpAllowed()
{
    for (int type : {SOCK_RAW, SOCK_DGRAM}) {
        const int fd = ::socket(AF_INET, type, IPPROTO_ICMP);
        if (fd >= 0) {
            ::close(fd);
            return true;
        }
    }
    return false;
}

} // namespace testing_support
