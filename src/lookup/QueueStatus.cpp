#include "lookup/QueueStatus.h"

#include "lookup/Database.h"
#include "lookup/Lease.h"
#include "lookup/internal/QueueSql.h"

#include <QSqlQuery>
#include <QVariant>

namespace lookup {

using queue::run;

namespace {
const QString Source = QStringLiteral("Status");
}

QueueStatus readQueueStatus(Database& db)
{
    QueueStatus status;
    // Types and statuses as stored, also where the column's collation would
    // fold "s" into "S".
    const QString exact = db.isSqlite() ? QString() : QStringLiteral("BINARY ");
    {
        QSqlQuery q = run(db, Source,
                          QStringLiteral("SELECT %1Type, %1Status, COUNT(*) FROM Requests GROUP BY "
                                         "%1Type, %1Status")
                              .arg(exact));
        while (q.next())
            status.requests[q.value(0).toString()][q.value(1).toString()] = q.value(2).toInt();
    }
    const QStringList key = queue::keyColumns(db, Source);
    status.leasesInUse = key.size() == 1 &&
                         db.connection(Source).tables().contains(QStringLiteral("StraatwijsLease"),
                                                                 Qt::CaseInsensitive);
    if (!status.leasesInUse) {
        for (const auto& perStatus : std::as_const(status.requests))
            status.stranded += perStatus.value(QStringLiteral("L"));
        return status;
    }
    const QString now = queue::serverNowMs(db);
    {
        QSqlQuery q =
            run(db, Source,
                QStringLiteral("SELECT Request, HostName, Pid, %1 - ClaimedAt, ExpiresAt - "
                               "%1, Attempts FROM StraatwijsLease WHERE Token IS NOT "
                               "NULL ORDER BY ClaimedAt, Request")
                    .arg(now));
        while (q.next()) {
            const qint64 expiresInMs = q.value(4).toLongLong();
            const int attempts = q.value(5).toInt();
            if (expiresInMs < 0 && attempts >= PoisonAttempts)
                status.poison.append({q.value(0).toString(), {}, {}, attempts});
            else
                status.leases.append({q.value(0).toString(),
                                      {},
                                      {},
                                      q.value(1).toString(),
                                      q.value(2).toLongLong(),
                                      q.value(3).toLongLong() / 1000,
                                      expiresInMs / 1000});
        }
    }
    // One look-up by key each: there are about as many leases as harvesters.
    const QString request =
        QStringLiteral("SELECT Query, Type FROM Requests WHERE %1 = ?").arg(key.first());
    auto fill = [&](const QString& id, QString& query, QString& type) {
        QSqlQuery q = run(db, Source, request, {id});
        if (q.next()) {
            query = q.value(0).toString();
            type = q.value(1).toString();
        }
    };
    for (QueueStatus::Lease& l : status.leases)
        fill(l.request, l.query, l.type);
    for (QueueStatus::Poison& p : status.poison)
        fill(p.request, p.query, p.type);
    QSqlQuery q =
        run(db, Source,
            QStringLiteral("SELECT COUNT(*) FROM Requests WHERE %1Status = 'L' AND NOT "
                           "EXISTS (SELECT 1 FROM StraatwijsLease WHERE Request = %2 AND "
                           "Token IS NOT NULL)")
                .arg(exact, queue::keyAsText(db, QStringLiteral("Requests.") + key.first())));
    status.stranded = q.next() ? q.value(0).toInt() : 0;
    return status;
}

} // namespace lookup
