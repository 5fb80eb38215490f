#pragma once

#include "lookup/Database.h"

#include <QSqlDatabase>
#include <QString>
#include <QVariantList>
#include <ostream>

namespace testing_support {

enum class Backend
{
    SQLite,
    MariaDB
};
const char* backendName(Backend backend);
inline std::ostream& operator<<(std::ostream& out, Backend backend)
{
    return out << backendName(backend);
}

// Server values that reach nothing: 127.0.0.1 on a port nobody listens on,
// the default user, password and database name.
lookup::ConnectionValues unreachableServer();

// A fresh database with both tables made from sql/: a new database with a
// unique name on the test server that tests/support/mariadb-fixture started
// (found through STRAATWIJS_TEST_MARIADB=<its folder>; dropped again at the
// end), or a new SQLite file in a temporary folder. Failures throw
// std::runtime_error. Free of gtest, so benchmarks and other tools can use
// it too.
class TestDatabase
{
public:
    explicit TestDatabase(Backend backend);
    ~TestDatabase();
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    // False for MariaDB when no test server runs.
    static bool available(Backend backend);

    Backend backend() const { return m_backend; }
    // What OpenDb needs to reach this database.
    lookup::ConnectionValues values() const { return m_values; }

    // The test's own connection to the database (for transactions).
    QSqlDatabase connection() const;
    // Opens the test's connection again (after a server restart).
    void reopen();
    // Runs a statement with bound values (positional '?').
    void exec(const QString& sql, const QVariantList& values = {}) { lines(sql, values); }
    void addRequest(const QString& Query, const QString& Type, const QString& Status = "N");
    // Status of every request with this query text, in insertion order.
    QStringList statuses(const QString& Query);
    // Number of requests in a status.
    int countStatus(const QString& Status);
    // The rows a query gives, each as its values joined by "|", NULL as
    // "\N": for comparing with literal rows.
    QStringList lines(const QString& sql, const QVariantList& values = {});
    // The harvested rows, in insertion order, as lines of Query, Type,
    // Postcode, Straat, EvenOneven, NrVan, NrTm, Woonplaats, Resultaten, Ip.
    QStringList harvested();

private:
    Backend m_backend;
    QString m_connection;
    QString m_folder; // SQLite: the temporary folder
    lookup::ConnectionValues m_values;
};

} // namespace testing_support
