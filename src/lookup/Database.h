#pragma once

#include "platform/MessageSink.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QSqlError;

namespace lookup {

// Where the one database connection goes: a MySQL/MariaDB server, or the
// embedded SQLite file when SqlitePath is set (the server values then only
// name it in messages).
struct ConnectionValues
{
    QString Server, UID, PWD, Database;
    int Port = 3306;
    QString SqlitePath{};
    // A server that stops answering fails a read or write after this long
    // (the client library tries a read three times, a write twice), so a
    // frozen server cannot hold the harvester for ever.
    int TimeoutSeconds = 20;
};

// Creates the tables (from sql/) on an open connection when they do not
// exist yet; only the one named `only` when that is given. Throws
// platform::RunError (DatabaseError) when a statement fails.
void createTables(const QSqlDatabase& db, const QString& only = {});

// The program's one database connection. Reports through the message sink.
// Each instance has its own Qt connection name, so several may live side by
// side (also in several threads, each used only by the thread that made it).
class Database
{
public:
    // Run-time error numbers of closing what is not there.
    static constexpr int ObjectNotSet = 91;   // the connection was released
    static constexpr int ObjectClosed = 3704; // it exists but never opened

    explicit Database(platform::MessageSink& sink);
    ~Database(); // drops the connection without messages
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Reports "Open database: <Database> op server <Server>", replaces any
    // earlier connection and connects (QMYSQL over TCP or the local socket,
    // utf8mb4, found-rows counting; or QSQLITE, creating the tables in a new
    // file). Success: reports "Open database finished. RC=0". Failure:
    // reports why (the driver's text, never the password) and throws
    // platform::RunError (DatabaseError); the connection then exists but is
    // not open.
    void OpenDb(const ConnectionValues& values);

    // Reports "Closing database 0", closes and releases the connection and
    // reports "Database :<Database> closed. RC=<n>": 0 after a clean close,
    // ObjectClosed when it never opened, ObjectNotSet when already released.
    // Never throws.
    void CloseDB();

    bool isOpen() const;
    bool isSqlite() const { return m_values.SqlitePath.size() > 0; }

    // The open connection. Throws platform::RunError (DatabaseError) saying
    // why when there is none, naming `routine` as the source.
    QSqlDatabase& connection(const QString& routine);

    // A failed statement as a run-time error: DatabaseError, the driver's
    // text without the password, `routine` as the source.
    [[noreturn]] void fail(const QString& routine, const QString& driverText);
    // The same for a failed statement or commit, remembering whether it lost
    // a conflict with another transaction (see inTransaction).
    [[noreturn]] void fail(const QString& routine, const QSqlError& error);

    // Runs `work` in one transaction and commits it when `work` returns
    // true; false rolls it back. A transaction that loses a conflict with
    // another one (a deadlock or a cluster's certification failure, 1213; a
    // lock wait time-out, 1205) is rolled back and run again whole, up to
    // `attempts` times, so `work` must start from the same values each time.
    // Returns what `work` returned. Any other failure rolls back and throws
    // platform::RunError (DatabaseError).
    // Whether the last failure lost a conflict with another transaction.
    bool lostConflict() const { return m_lostConflict; }
    bool inTransaction(const QString& routine, const std::function<bool()>& work, int attempts = 5);

private:
    void release();
    void warnIfNotTransactional();

    platform::MessageSink& m_sink;
    const QString m_name;
    std::optional<QSqlDatabase> m_db; // nothing once released
    ConnectionValues m_values;
    QString m_openError;
    bool m_lostConflict = false; // the last failure may succeed when tried again
    bool m_warnedEngine = false;
};

} // namespace lookup
