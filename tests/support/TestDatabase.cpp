#include "support/TestDatabase.h"

#include "platform/RunError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTcpServer>
#include <QTemporaryDir>
#include <atomic>
#include <stdexcept>

namespace testing_support {

namespace {

std::atomic<int> counter{0};

[[noreturn]] void fail(const QString& what, const QSqlError& error)
{
    throw std::runtime_error((what + QStringLiteral(": ") + error.text()).toStdString());
}

// The fixture's server.env: one KEY=value a line.
QHash<QByteArray, QString> testServer()
{
    QHash<QByteArray, QString> values;
    QFile file(qEnvironmentVariable("STRAATWIJS_TEST_MARIADB") + QStringLiteral("/server.env"));
    if (qEnvironmentVariableIsEmpty("STRAATWIJS_TEST_MARIADB") || !file.open(QIODevice::ReadOnly))
        return values;
    for (const QByteArray& line : file.readAll().split('\n'))
        if (const qsizetype eq = line.indexOf('='); eq > 0)
            values.insert(line.left(eq), QString::fromUtf8(line.mid(eq + 1)));
    return values;
}

QSqlDatabase mariaDb(const QString& name, const lookup::ConnectionValues& v, const QString& db)
{
    QSqlDatabase c = QSqlDatabase::addDatabase(QStringLiteral("QMYSQL"), name);
    c.setHostName(v.Server);
    c.setPort(v.Port);
    c.setUserName(v.UID);
    c.setPassword(v.PWD);
    c.setDatabaseName(db);
    c.setConnectOptions(QStringLiteral("CLIENT_FOUND_ROWS"));
    if (!c.open())
        fail(QStringLiteral("connect to the test server"), c.lastError());
    return c;
}

} // namespace

const char* backendName(Backend backend)
{
    return backend == Backend::SQLite ? "SQLite" : "MariaDB";
}

lookup::ConnectionValues unreachableServer()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return lookup::ConnectionValues{QStringLiteral("127.0.0.1"), QStringLiteral("root"),
                                    QStringLiteral("Kxrt47+QB"), QStringLiteral("postcode"),
                                    probe.serverPort(),          {}};
}

bool TestDatabase::available(Backend backend)
{
    return backend == Backend::SQLite || !testServer().isEmpty();
}

TestDatabase::TestDatabase(Backend backend)
    : m_backend(backend), m_connection(QStringLiteral("testdb-%1").arg(++counter))
{
    QSqlDatabase c;
    if (backend == Backend::SQLite) {
        QTemporaryDir folder;
        folder.setAutoRemove(false);
        m_folder = folder.path();
        m_values.SqlitePath = m_folder + QStringLiteral("/straatwijs.sqlite");
        m_values.Database = QStringLiteral("postcode");
        c = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
        c.setDatabaseName(m_values.SqlitePath);
        c.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
        if (!c.open())
            fail(QStringLiteral("open SQLite"), c.lastError());
    } else {
        const QHash<QByteArray, QString> server = testServer();
        if (server.isEmpty())
            throw std::runtime_error("no test MariaDB server (STRAATWIJS_TEST_MARIADB)");
        m_values.Server = server.value("host");
        m_values.Port = server.value("port").toInt();
        m_values.UID = server.value("user");
        m_values.PWD = server.value("password");
        m_values.Database = QStringLiteral("sw_%1_%2_%3")
                                .arg(QCoreApplication::applicationPid())
                                .arg(counter.load())
                                .arg(QRandomGenerator::global()->generate() % 1000000);
        {
            QSqlQuery q(mariaDb(m_connection, m_values, {}));
            if (!q.exec(QStringLiteral("CREATE DATABASE %1 CHARACTER SET utf8mb4")
                            .arg(m_values.Database)))
                fail(QStringLiteral("create database"), q.lastError());
        }
        QSqlDatabase::removeDatabase(m_connection);
        c = mariaDb(m_connection, m_values, m_values.Database);
    }
    try {
        lookup::createTables(c);
    } catch (const platform::RunError& e) {
        throw std::runtime_error(e.what());
    }
}

TestDatabase::~TestDatabase()
{
    {
        QSqlDatabase c = connection();
        if (m_backend == Backend::MariaDB && c.isOpen())
            QSqlQuery(c).exec(QStringLiteral("DROP DATABASE %1").arg(m_values.Database));
        c.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
    if (!m_folder.isEmpty())
        QDir(m_folder).removeRecursively();
}

QSqlDatabase TestDatabase::connection() const
{
    return QSqlDatabase::database(m_connection, false);
}

void TestDatabase::reopen()
{
    QSqlDatabase c = connection();
    c.close();
    if (!c.open())
        fail(QStringLiteral("reopen"), c.lastError());
}

QStringList TestDatabase::lines(const QString& sql, const QVariantList& values)
{
    QSqlQuery q(connection());
    if (!q.prepare(sql))
        fail(sql, q.lastError());
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec())
        fail(sql, q.lastError());
    QStringList out;
    while (q.next()) {
        QStringList fields;
        for (int i = 0; i < q.record().count(); ++i)
            fields << (q.isNull(i) ? QStringLiteral("\\N") : q.value(i).toString());
        out << fields.join(QLatin1Char('|'));
    }
    return out;
}

void TestDatabase::addRequest(const QString& Query, const QString& Type, const QString& Status)
{
    exec(QStringLiteral("INSERT INTO Requests (Query, Type, Status) VALUES (?, ?, ?)"),
         {Query, Type, Status});
}

QStringList TestDatabase::statuses(const QString& Query)
{
    return lines(QStringLiteral("SELECT Status FROM Requests WHERE Query = ? ORDER BY Id"),
                 {Query});
}

int TestDatabase::countStatus(const QString& Status)
{
    return lines(QStringLiteral("SELECT COUNT(*) FROM Requests WHERE Status = ?"), {Status})
        .value(0)
        .toInt();
}

QStringList TestDatabase::harvested()
{
    const QString order = m_backend == Backend::SQLite ? QStringLiteral(" ORDER BY rowid") : "";
    return lines(QStringLiteral("SELECT Query, Type, Postcode, Straat, EvenOneven, NrVan, NrTm, "
                                "Woonplaats, Resultaten, Ip FROM Straatwijs") +
                 order);
}

} // namespace testing_support
