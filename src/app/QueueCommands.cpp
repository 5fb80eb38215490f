#include "app/QueueCommands.h"

#include "lookup/Database.h"
#include "lookup/Lease.h"
#include "lookup/PostcodeLookup.h"
#include "lookup/QueueStatus.h"
#include "messages/MessageLog.h"
#include "platform/HostIdentity.h"
#include "platform/MessageSink.h"
#include "platform/RunError.h"
#include "shell/Shell.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace app {

namespace {

// A text from the queue on one line of its own, as the message log shows
// it: no query text can start a line.
QString oneLine(const QString& text)
{
    return messages::MessageLog::escapeControls(text);
}

// Messages one line each on a stream; none at all without one.
class LineSink : public platform::MessageSink
{
public:
    explicit LineSink(QTextStream* out) : m_out(out) {}
    void AddMelding(const QString& MeldTxt, int, bool, quint32) override
    {
        if (m_out)
            *m_out << oneLine(MeldTxt) << '\n' << Qt::flush;
    }

private:
    QTextStream* m_out;
};

} // namespace

QString statusText(const lookup::QueueStatus& status)
{
    QString text = QStringLiteral("Requests by type and status:\n");
    if (status.requests.isEmpty())
        text += QStringLiteral("  none\n");
    for (auto type = status.requests.cbegin(); type != status.requests.cend(); ++type) {
        QStringList counts;
        for (auto s = type->cbegin(); s != type->cend(); ++s)
            counts << QStringLiteral("%1 %2").arg(oneLine(s.key())).arg(s.value());
        text += QStringLiteral("  %1: %2\n")
                    .arg(oneLine(type.key()), counts.join(QStringLiteral(", ")));
    }
    if (status.leasesInUse)
        text += QStringLiteral("Leases: %1\n").arg(status.leases.size());
    else
        text += QStringLiteral("Leases: not in use (no lease table, or Requests has no key of "
                               "one column)\n");
    for (const auto& l : status.leases)
        text += QStringLiteral("  request %1, %2 (%3), %4 pid %5, age %6 s, %7\n")
                    .arg(l.request, oneLine(l.query), oneLine(l.type), l.host)
                    .arg(l.pid)
                    .arg(l.ageSeconds)
                    .arg(l.expiresInSeconds >= 0
                             ? QStringLiteral("expires in %1 s").arg(l.expiresInSeconds)
                             : QStringLiteral("expired %1 s ago").arg(-l.expiresInSeconds));
    text += QStringLiteral("Stranded (L without a lease): %1\n").arg(status.stranded);
    text += QStringLiteral("Poison (lease expired %1 times): %2\n")
                .arg(lookup::PoisonAttempts)
                .arg(status.poison.size());
    for (const auto& p : status.poison)
        text += QStringLiteral("  request %1, %2 (%3), %4 attempts\n")
                    .arg(p.request, oneLine(p.query), oneLine(p.type))
                    .arg(p.attempts);
    return text;
}

QString statusJson(const lookup::QueueStatus& status)
{
    QJsonObject requests;
    for (auto type = status.requests.cbegin(); type != status.requests.cend(); ++type) {
        QJsonObject counts;
        for (auto s = type->cbegin(); s != type->cend(); ++s)
            counts.insert(s.key(), s.value());
        requests.insert(type.key(), counts);
    }
    QJsonArray leases;
    for (const auto& l : status.leases)
        leases.append(QJsonObject{{QStringLiteral("request"), l.request},
                                  {QStringLiteral("query"), l.query},
                                  {QStringLiteral("type"), l.type},
                                  {QStringLiteral("host"), l.host},
                                  {QStringLiteral("pid"), l.pid},
                                  {QStringLiteral("age_s"), l.ageSeconds},
                                  {QStringLiteral("expires_in_s"), l.expiresInSeconds}});
    QJsonArray poison;
    for (const auto& p : status.poison)
        poison.append(QJsonObject{{QStringLiteral("request"), p.request},
                                  {QStringLiteral("query"), p.query},
                                  {QStringLiteral("type"), p.type},
                                  {QStringLiteral("attempts"), p.attempts}});
    const QJsonObject all{{QStringLiteral("requests"), requests},
                          {QStringLiteral("leases"), leases},
                          {QStringLiteral("stranded"), status.stranded},
                          {QStringLiteral("poison"), poison},
                          {QStringLiteral("leases_in_use"), status.leasesInUse}};
    return QString::fromUtf8(QJsonDocument(all).toJson(QJsonDocument::Compact)) + u'\n';
}

int runQueueCommand(const Options& options, platform::Host& host, QTextStream& out,
                    QTextStream& err)
{
    lookup::MainWindowValues values;
    values.Connection = lookup::ConnectionValues{shell::defaults::Server, shell::defaults::UID,
                                                 shell::defaults::PWD, shell::defaults::Database,
                                                 shell::defaults::Port};
    configure(values, options);
    const bool release = options.queue == QueueCommand::ReleaseStranded;
    // The status keeps stdout for itself (JSON for monitoring).
    LineSink sink(release ? &out : nullptr);
    lookup::Database db(sink);
    try {
        db.OpenDb(values.Connection);
        if (release) {
            lookup::Leases leases(db, sink, host);
            leases.setHolder(lookup::thisHolder(host, host.machineIpAddress()));
            const int n = leases.releaseStranded();
            out << QStringLiteral("%1 verzoek(en) teruggegeven\n").arg(n);
        } else {
            const lookup::QueueStatus status = lookup::readQueueStatus(db);
            out << (options.json ? statusJson(status) : statusText(status));
        }
    } catch (const platform::RunError& e) {
        err << e.text() << '\n';
        return ExitFailure;
    }
    return ExitOk;
}

} // namespace app
