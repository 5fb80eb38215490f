#pragma once

#include <QList>
#include <QMap>
#include <QString>

namespace lookup {

class Database;

// The queue at a glance, as one reading of the database.
struct QueueStatus
{
    // Requests per type, then per status ("N", "L", "Y", ...).
    QMap<QString, QMap<QString, int>> requests;

    struct Lease
    {
        QString request, query, type, host;
        qint64 pid = 0;
        qint64 ageSeconds = 0;       // since the claim
        qint64 expiresInSeconds = 0; // negative: expired, not yet handed back
    };
    QList<Lease> leases; // live ones, oldest claim first

    // Requests "L" without a live lease: nothing will hand them back by
    // itself (straatwijs --release-stranded does).
    int stranded = 0;

    struct Poison
    {
        QString request, query, type;
        int attempts = 0;
    };
    QList<Poison> poison; // expired too often; left "L"

    // False when the database has no lease table (every "L" then counts as
    // stranded) or Requests has no key of one column.
    bool leasesInUse = false;
};

// Reads the queue's state; changes nothing, and creates no table. Throws
// platform::RunError (DatabaseError) when the database cannot be read.
QueueStatus readQueueStatus(Database& db);

} // namespace lookup
