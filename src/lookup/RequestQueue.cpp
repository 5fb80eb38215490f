#include "lookup/RequestQueue.h"

#include "lookup/Database.h"
#include "lookup/Lease.h"
#include "lookup/internal/QueueSql.h"
#include "platform/RunError.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlIndex>
#include <QSqlQuery>
#include <QVariant>

namespace lookup {

namespace {

const QString SearchSource = QStringLiteral("SearchQuery");
const QString ResetSource = QStringLiteral("ResetQuery");
const QString Types[] = {QStringLiteral("B"), QStringLiteral("S"), QStringLiteral("M")};

// A condition true when the column holds exactly the bound text, byte for
// byte: a collation that ignores case or trailing blanks must not decide
// which request is taken or closed. Binds one value.
QString exactly(const Database& db, const QString& column)
{
    return db.isSqlite() ? QStringLiteral("%1 = ? COLLATE BINARY").arg(column)
                         : QStringLiteral("CAST(CONVERT(%1 USING utf8mb4) AS BINARY) = "
                                          "CAST(CONVERT(? USING utf8mb4) AS BINARY)")
                               .arg(column);
}

// Whether Query holds nothing but blanks of any kind (tab, line ends, no-
// break space): such a text is no search. Binds one value per kind.
QString blankQuery(QVariantList& values)
{
    QString text = QStringLiteral("Query");
    for (const QChar c : QStringLiteral("\t\n\v\f\r\u00A0")) {
        text = QStringLiteral("REPLACE(%1, ?, ' ')").arg(text);
        values << QString(c);
    }
    return QStringLiteral("(TRIM(%1) = '')").arg(text);
}

// Open requests of exactly this type, or of any of the types when it is
// empty.
QString ofType(const Database& db, const QString& Typenaam, QVariantList& values)
{
    if (!Typenaam.isEmpty()) {
        values << Typenaam << Typenaam;
        return QStringLiteral(" AND Type = ? AND ") + exactly(db, QStringLiteral("Type"));
    }
    QStringList any;
    for (const QString& type : Types) {
        any << exactly(db, QStringLiteral("Type"));
        values << type;
    }
    return QStringLiteral(" AND (") + any.join(QStringLiteral(" OR ")) + QLatin1Char(')');
}

// "k1 = ? AND k2 = ?" for a key, or "Query = ? AND Type = ?" without one;
// the values to bind come from the same claim.
QString rowMatch(const Database& db, const Claim& claim, QVariantList& values)
{
    if (claim.keyColumns.isEmpty()) {
        values << claim.Query << claim.Type << claim.Query << claim.Type;
        return QStringLiteral("Query = ? AND Type = ? AND ") +
               exactly(db, QStringLiteral("Query")) + QStringLiteral(" AND ") +
               exactly(db, QStringLiteral("Type"));
    }
    values << claim.key;
    return claim.keyColumns.join(QStringLiteral(" = ? AND ")) + QStringLiteral(" = ?");
}

} // namespace

namespace queue {

QSqlQuery run(Database& db, const QString& routine, const QString& sql, const QVariantList& values)
{
    QSqlQuery q(db.connection(routine));
    if (!q.prepare(sql))
        db.fail(routine, q.lastError());
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec())
        db.fail(routine, q.lastError());
    return q;
}

QStringList keyColumns(Database& db, const QString& routine)
{
    if (db.isSqlite())
        return {QStringLiteral("rowid")};
    QSqlDatabase& c = db.connection(routine);
    const QSqlIndex primary = c.primaryIndex(QStringLiteral("Requests"));
    QStringList columns;
    for (int i = 0; i < primary.count(); ++i)
        columns << c.driver()->escapeIdentifier(primary.fieldName(i), QSqlDriver::FieldName);
    return columns;
}

QString serverNowMs(const Database& db)
{
    return db.isSqlite()
               ? QStringLiteral("CAST((julianday('now') - 2440587.5) * 86400000.0 AS INTEGER)")
               : QStringLiteral("(TIMESTAMPDIFF(MICROSECOND, '1970-01-01 00:00:00', "
                                "UTC_TIMESTAMP(6)) DIV 1000)");
}

QString keyAsText(const Database& db, const QString& column)
{
    return QStringLiteral("CAST(%1 AS %2)")
        .arg(column, db.isSqlite() ? QStringLiteral("TEXT") : QStringLiteral("CHAR"));
}

} // namespace queue

using queue::keyColumns;
using queue::run;

// Claiming is a conditional update: it changes the row only while it is
// still open, and the row count tells whether this harvester won it. A lost
// race means another one took it; the next candidate is tried.
Claim SearchQuery(Database& db, const QString& Typenaam, Leases* leases)
{
    const bool leased = leases && leases->inUse();
    Claim candidate;
    candidate.keyColumns = keyColumns(db, SearchSource);
    QString select = QStringLiteral("SELECT Query, Type");
    for (const QString& column : std::as_const(candidate.keyColumns))
        select += QStringLiteral(", ") + column;
    QVariantList selectValues;
    // One after the other: both add the values they bind.
    select += QStringLiteral(" FROM Requests WHERE Status = 'N' AND Query IS NOT NULL AND NOT ") +
              blankQuery(selectValues);
    select += ofType(db, Typenaam, selectValues) + QStringLiteral(" LIMIT 1");
    // Without a key any open row of the same text and type will do, and the
    // server may pick it.
    const QString limit = candidate.keyColumns.isEmpty() ? QStringLiteral(" LIMIT 1") : QString();

    QVariantList lost;
    int lostAgain = 0;
    for (;;) {
        {
            QSqlQuery q = run(db, SearchSource, select, selectValues);
            if (!q.next())
                return {};
            candidate.Query = q.value(0).toString();
            candidate.Type = q.value(1).toString();
            candidate.key.clear();
            for (int i = 0; i < candidate.keyColumns.size(); ++i)
                candidate.key << q.value(2 + i);
        }
        QVariantList values;
        const QString claim = QStringLiteral("UPDATE Requests SET Status = 'L' WHERE ") +
                              rowMatch(db, candidate, values) +
                              QStringLiteral(" AND Status = 'N'") + limit;
        // Reading the very row we just lost again and again means the update
        // cannot match it at all; better a clear error than an endless loop.
        lostAgain = values == lost ? lostAgain + 1 : 0;
        if (lostAgain >= 3)
            db.fail(SearchSource,
                    QStringLiteral("The open request \"%1\" cannot be taken").arg(candidate.Query));
        // With a lease the update and the lease row are one transaction;
        // either may lose a conflict with another harvester's claim, which is
        // then a lost race like any other.
        bool won = false;
        try {
            db.inTransaction(
                SearchSource,
                [&] {
                    won = run(db, SearchSource, claim, values).numRowsAffected() == 1;
                    if (won && leased)
                        leases->take(candidate);
                    return won;
                },
                1);
        } catch (const platform::RunError&) {
            if (!db.lostConflict())
                throw;
            continue; // not the row's fault: try again
        }
        if (won) {
            candidate.taken = true;
            return candidate;
        }
        lost = values;
    }
}

void ResetQuery(Database& db, const Claim& claim, bool done)
{
    if (!claim.taken)
        return;
    QVariantList values{done ? QStringLiteral("Y") : QStringLiteral("N")};
    QString sql = QStringLiteral("UPDATE Requests SET Status = ? WHERE ") +
                  rowMatch(db, claim, values) + QStringLiteral(" AND Status = 'L'");
    if (claim.keyColumns.isEmpty())
        sql += QStringLiteral(" LIMIT 1");
    run(db, ResetSource, sql, values);
}

int countPassedOver(Database& db, const QString& Typenaam)
{
    QVariantList values;
    QString sql =
        QStringLiteral("SELECT COUNT(*) FROM Requests WHERE Status = 'N' AND (Query IS NULL OR ") +
        blankQuery(values) + QStringLiteral(" OR Type IS NULL)");
    if (!Typenaam.isEmpty()) {
        sql += QStringLiteral(" AND Type = ? AND ") + exactly(db, QStringLiteral("Type"));
        values << Typenaam << Typenaam;
    }
    QSqlQuery q = run(db, SearchSource, sql, values);
    return q.next() ? q.value(0).toInt() : 0;
}

} // namespace lookup
