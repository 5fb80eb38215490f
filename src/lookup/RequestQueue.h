#pragma once

#include <QString>
#include <QVariantList>

namespace lookup {

class Database;

// A request taken from the queue: its text and type exactly as they stand
// in Requests, and how to find its row again.
struct Claim
{
    bool taken = false;
    QString Query;
    QString Type;
    // The claimed row's key: SQLite's rowid, or the values of the table's
    // primary key columns. Empty when the table has no key: the row is then
    // found again by Query and Type.
    QStringList keyColumns;
    QVariantList key;
    // The lease this harvester holds on the request (see Leases); empty when
    // the claim has none.
    QString token;
};

class Leases;

// Takes the next open request ("N") of type Typenaam, or of any type when
// Typenaam is empty, and marks it in progress ("L"). Rows whose query text
// is NULL or blank, or whose type is NULL, are passed over (see
// countPassedOver). Nothing open: a Claim that is not taken. Taking is
// atomic: when several harvesters share the table, each request goes to
// exactly one of them.
// With `leases` in use, the claim and its lease are written in one
// transaction and the Claim carries the lease's token.
// Throws platform::RunError (DatabaseError) when the connection is not open
// or a statement fails.
Claim SearchQuery(Database& db, const QString& Typenaam, Leases* leases = nullptr);

// Finishes the claimed request, if it is still in progress: "Y" when done,
// otherwise "N" (back into the queue). Throws like SearchQuery.
void ResetQuery(Database& db, const Claim& claim, bool done);

// The open requests of type Typenaam (any type when empty) that
// SearchQuery passes over: a NULL or blank query text, or a NULL type.
int countPassedOver(Database& db, const QString& Typenaam);

} // namespace lookup
