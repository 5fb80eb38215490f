#include "lookup/RequestQueue.h"

#include "lookup/Database.h"
#include "platform/RunError.h"

#include <QCoreApplication>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace lookup {

namespace {

const QString SearchSource = QStringLiteral("SearchQuery");
const QString ResetSource = QStringLiteral("ResetQuery");

QSqlQuery run(Database& db, const QString& routine, const QString& sql, const QVariantList& values)
{
    QSqlQuery q(db.connection(routine));
    if (!q.prepare(sql))
        db.fail(routine, q.lastError().text());
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec())
        db.fail(routine, q.lastError().text());
    return q;
}

} // namespace

// Claiming is a conditional update: it changes the row only while it is
// still open, and the row count tells whether this harvester won it. A lost
// race means another one took it; the next candidate is tried. The tables
// need no key column: SQLite rows have their rowid, and on MySQL any row with
// the same query text and type is as good as the one that was read.
QString SearchQuery(Database& db, QString& Typenaam)
{
    QCoreApplication::processEvents();
    const bool sqlite = db.isSqlite();
    QString select = sqlite ? QStringLiteral("SELECT Query, Type, rowid FROM Requests")
                            : QStringLiteral("SELECT Query, Type FROM Requests");
    select += QStringLiteral(" WHERE Status = 'N' AND Query IS NOT NULL AND Type IS NOT NULL");
    QVariantList selectValues;
    if (!Typenaam.isEmpty()) {
        select += QStringLiteral(" AND Type = ?");
        selectValues << Typenaam;
    }
    select += QStringLiteral(" LIMIT 1");
    const QString claim =
        sqlite ? QStringLiteral("UPDATE Requests SET Status = 'L' WHERE rowid = ? AND Status = 'N'")
               : QStringLiteral("UPDATE Requests SET Status = 'L' WHERE Query = ? AND Type = ? "
                                "AND Status = 'N' LIMIT 1");

    QVariantList lost;
    int lostAgain = 0;
    for (;;) {
        QString query, type;
        QVariantList claimValues;
        {
            QSqlQuery q = run(db, SearchSource, select, selectValues);
            if (!q.next())
                return {};
            query = q.value(0).toString();
            type = q.value(1).toString();
            claimValues = sqlite ? QVariantList{q.value(2)} : QVariantList{query, type};
        }
        // Reading the very row we just lost again and again means the update
        // cannot match it at all; better a clear error than an endless loop.
        lostAgain = claimValues == lost ? lostAgain + 1 : 0;
        if (lostAgain >= 3)
            db.fail(SearchSource,
                    QStringLiteral("The open request \"%1\" cannot be taken").arg(query));
        QSqlQuery u(db.connection(SearchSource));
        if (!u.prepare(claim))
            db.fail(SearchSource, u.lastError().text());
        for (const QVariant& v : claimValues)
            u.addBindValue(v);
        if (!u.exec()) {
            // InnoDB may pick this update as a deadlock victim when other
            // harvesters claim at the same moment: a lost race like any other.
            if (u.lastError().nativeErrorCode() == QLatin1String("1213"))
                continue;
            db.fail(SearchSource, u.lastError().text());
        }
        if (u.numRowsAffected() == 1) {
            Typenaam = type;
            return query;
        }
        lost = claimValues;
    }
}

void ResetQuery(Database& db, const QString& Querynaam, bool ValidURL)
{
    QCoreApplication::processEvents();
    const QString sql =
        db.isSqlite()
            ? QStringLiteral("UPDATE Requests SET Status = ? WHERE rowid = (SELECT rowid FROM "
                             "Requests WHERE Query = ? AND Status = 'L' LIMIT 1)")
            : QStringLiteral("UPDATE Requests SET Status = ? WHERE Query = ? AND Status = 'L' "
                             "LIMIT 1");
    run(db, ResetSource, sql, {ValidURL ? QStringLiteral("Y") : QStringLiteral("N"), Querynaam});
}

} // namespace lookup
