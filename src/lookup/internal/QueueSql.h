#pragma once

#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariantList>

namespace lookup {

class Database;

namespace queue {

// Runs one statement with positional values bound. Throws
// platform::RunError (DatabaseError), naming `routine`, when it fails.
QSqlQuery run(Database& db, const QString& routine, const QString& sql,
              const QVariantList& values = {});

// The columns that identify one row of Requests: SQLite always has its
// rowid; a server table may have a primary key (none: empty).
QStringList keyColumns(Database& db, const QString& routine);

// An SQL expression for the database server's clock, in milliseconds since
// 1970 (UTC): every lease time comes from it, so host clocks may differ.
QString serverNowMs(const Database& db);

// An SQL expression for a key column's value as text, as StraatwijsLease
// keeps it.
QString keyAsText(const Database& db, const QString& column);

} // namespace queue
} // namespace lookup
