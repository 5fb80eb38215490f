#include "lookup/Lease.h"

#include "lookup/Database.h"
#include "lookup/RequestQueue.h"
#include "lookup/internal/QueueSql.h"
#include "platform/MessageSink.h"
#include "platform/RunError.h"

#include <QSqlQuery>
#include <QStringList>
#include <QUuid>
#include <QVariant>

namespace lookup {

using queue::run;

namespace {

const QString Source = QStringLiteral("Lease");
const QString Table = QStringLiteral("StraatwijsLease");
using platform::Red;

QString keyText(const Claim& claim)
{
    return claim.key.value(0).toString();
}

} // namespace

LeaseHolder thisHolder(platform::Host& host, const QString& hostAddress)
{
    return {hostAddress, host.machineName(), host.thisProcess()};
}

Leases::Leases(Database& db, platform::MessageSink& sink, platform::Host& host)
    : m_db(db), m_sink(sink), m_host(host)
{
}

void Leases::reset()
{
    m_state = State::Unknown;
    m_keyColumn.clear();
}

bool Leases::inUse()
{
    if (m_state != State::Unknown)
        return m_state == State::InUse;
    // Without a key of one column a lease cannot name its request; the queue
    // then works without leases, as the README explains.
    const QStringList key = queue::keyColumns(m_db, Source);
    if (key.size() != 1) {
        m_state = State::Off;
        return false;
    }
    m_keyColumn = key.first();
    QSqlDatabase& c = m_db.connection(Source);
    if (!c.tables().contains(Table, Qt::CaseInsensitive)) {
        try {
            createTables(c, Table);
        } catch (const platform::RunError& e) {
            m_sink.AddMelding(
                QStringLiteral("Geen leases: de tabel %1 kan niet worden gemaakt (%2); "
                               "verzoeken van een gestopte harvester blijven L")
                    .arg(Table, e.description()),
                0, false, Red);
            m_state = State::Off;
            return false;
        }
    }
    m_state = State::InUse;
    return true;
}

QString Leases::describe(const QString& request)
{
    QSqlQuery q =
        run(m_db, Source,
            QStringLiteral("SELECT Query, Type FROM Requests WHERE %1 = ?").arg(m_keyColumn),
            {request});
    const QString what =
        q.next() ? QStringLiteral(" (%1, %2)").arg(q.value(0).toString(), q.value(1).toString())
                 : QString();
    return QStringLiteral("Verzoek ") + request + what;
}

// Conditional on the token seen, and on the expiry unless the holder is
// known to be gone: of several harvesters handing back at once, one wins.
bool Leases::handBack(const QString& request, const QString& token, bool expired)
{
    QString sql =
        QStringLiteral("UPDATE %1 SET Token = NULL WHERE Request = ? AND Token = ?").arg(Table);
    if (expired)
        sql += QStringLiteral(" AND ExpiresAt < ") + queue::serverNowMs(m_db);
    return m_db.inTransaction(Source, [&] {
        if (run(m_db, Source, sql, {request, token}).numRowsAffected() != 1)
            return false;
        run(m_db, Source,
            QStringLiteral("UPDATE Requests SET Status = 'N' WHERE %1 = ? AND Status = 'L'")
                .arg(m_keyColumn),
            {request});
        return true;
    });
}

int Leases::handBackExpired()
{
    if (!inUse())
        return 0;
    struct Held
    {
        QString request, token, host;
        int attempts;
        bool expired;
        bool gone;
    };
    QList<Held> held;
    {
        const QString now = queue::serverNowMs(m_db);
        QSqlQuery q =
            run(m_db, Source,
                QStringLiteral("SELECT Request, Token, Attempts, HostName, Pid, ProcessStart, "
                               "CASE WHEN ExpiresAt < %1 THEN 1 ELSE 0 END, HostAddress FROM %2 "
                               "WHERE Token IS NOT NULL AND (ExpiresAt < %1 OR "
                               "(HostName = ? AND HostAddress = ?))")
                    .arg(now, Table),
                {m_holder.hostName, m_holder.hostAddress});
        while (q.next()) {
            const qint64 pid = q.value(4).toLongLong();
            const platform::ProcessIdentity holder{pid, q.value(5).toLongLong()};
            // Only on this host can a process be looked at, and only where
            // the system tells start times; elsewhere the lease has to expire.
            const bool sameHost = q.value(3).toString() == m_holder.hostName &&
                                  q.value(7).toString() == m_holder.hostAddress;
            const bool gone = sameHost && holder.started != 0 && m_holder.process.started != 0 &&
                              m_host.processRunning(pid) != holder;
            held.append({q.value(0).toString(), q.value(1).toString(),
                         QStringLiteral("%1 (proces %2)").arg(q.value(3).toString()).arg(pid),
                         q.value(2).toInt(), q.value(6).toInt() == 1, gone});
        }
    }
    int handedBack = 0;
    for (const Held& h : std::as_const(held)) {
        if (!h.expired && !h.gone)
            continue;
        if (h.attempts >= PoisonAttempts) {
            if (!m_poisonReported.contains(h.request)) {
                m_poisonReported.insert(h.request);
                m_sink.AddMelding(
                    describe(h.request) +
                        QStringLiteral(" blijft L: de lease is %1 keer verlopen zonder "
                                       "afsluiting")
                            .arg(h.attempts),
                    0, false, Red);
            }
            continue;
        }
        if (!handBack(h.request, h.token, !h.gone))
            continue;
        ++handedBack;
        const QString why = h.gone ? QStringLiteral("%1 draait niet meer").arg(h.host)
                                   : QStringLiteral("de lease van %1 is verlopen").arg(h.host);
        m_sink.AddMelding(describe(h.request) + QStringLiteral(" teruggegeven: ") + why +
                          QStringLiteral(", poging %1 van %2").arg(h.attempts).arg(PoisonAttempts));
    }
    return handedBack;
}

int Leases::releaseStranded()
{
    if (!inUse())
        throw platform::RunError(
            platform::RunError::DatabaseError,
            QStringLiteral("Requests has no lease table or no key of one column, so requests "
                           "in progress cannot be told from stranded ones; nothing given back"),
            Source);
    int handedBack = handBackExpired();
    const QString live =
        QStringLiteral("SELECT 1 FROM %1 WHERE Request = %2 AND Token IS NOT NULL")
            .arg(Table, queue::keyAsText(m_db, QStringLiteral("Requests.") + m_keyColumn));
    QStringList stranded;
    {
        QSqlQuery q =
            run(m_db, Source,
                QStringLiteral("SELECT %1 FROM Requests WHERE Status = 'L' AND NOT EXISTS (%2)")
                    .arg(queue::keyAsText(m_db, m_keyColumn), live));
        while (q.next())
            stranded << q.value(0).toString();
    }
    for (const QString& request : std::as_const(stranded)) {
        // Conditional on there being still no live lease, in one statement.
        const QSqlQuery u = run(m_db, Source,
                                QStringLiteral("UPDATE Requests SET Status = 'N' WHERE %1 = ? AND "
                                               "Status = 'L' AND NOT EXISTS (%2)")
                                    .arg(m_keyColumn, live),
                                {request});
        if (u.numRowsAffected() != 1)
            continue;
        ++handedBack;
        m_sink.AddMelding(describe(request) +
                          QStringLiteral(" teruggegeven: in behandeling zonder lease"));
    }
    return handedBack;
}

void Leases::take(Claim& claim)
{
    claim.token = QUuid::createUuid().toString(QUuid::Id128);
    const QString now = queue::serverNowMs(m_db);
    const QStringList renewed{QStringLiteral("HostAddress"), QStringLiteral("HostName"),
                              QStringLiteral("Pid"),         QStringLiteral("ProcessStart"),
                              QStringLiteral("Token"),       QStringLiteral("ClaimedAt"),
                              QStringLiteral("RenewedAt"),   QStringLiteral("ExpiresAt")};
    // A lease row that a hand-back left keeps counting attempts.
    QStringList update;
    for (const QString& column : renewed)
        update << (m_db.isSqlite() ? QStringLiteral("%1 = excluded.%1")
                                   : QStringLiteral("%1 = VALUES(%1)"))
                      .arg(column);
    update << QStringLiteral("Attempts = Attempts + 1");
    const QString upsert = m_db.isSqlite() ? QStringLiteral(" ON CONFLICT(Request) DO UPDATE SET ")
                                           : QStringLiteral(" ON DUPLICATE KEY UPDATE ");
    run(m_db, Source,
        QStringLiteral("INSERT INTO %1 (Request, %2, Attempts) VALUES (?, ?, ?, ?, ?, ?, %3, %3, "
                       "%3 + ?, 1)")
                .arg(Table, renewed.join(QStringLiteral(", ")), now) +
            upsert + update.join(QStringLiteral(", ")),
        {keyText(claim), m_holder.hostAddress, m_holder.hostName, m_holder.process.pid,
         m_holder.process.started, claim.token, qint64(m_timeoutSeconds) * 1000});
}

bool Leases::renew(const Claim& claim)
{
    const QString now = queue::serverNowMs(m_db);
    return m_db.inTransaction(Source, [&] {
        return run(m_db, Source,
                   QStringLiteral("UPDATE %1 SET RenewedAt = %2, ExpiresAt = %2 + ? WHERE "
                                  "Request = ? AND Token = ?")
                       .arg(Table, now),
                   {qint64(m_timeoutSeconds) * 1000, keyText(claim), claim.token})
                   .numRowsAffected() == 1;
    });
}

bool Leases::release(const Claim& claim)
{
    return run(m_db, Source,
               QStringLiteral("DELETE FROM %1 WHERE Request = ? AND Token = ?").arg(Table),
               {keyText(claim), claim.token})
               .numRowsAffected() == 1;
}

} // namespace lookup
