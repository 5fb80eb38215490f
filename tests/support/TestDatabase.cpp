#include "support/TestDatabase.h"

#include "platform/RunError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
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

QSqlDatabase mariaDbConnection(const MariaDbServer& s, const QString& name, const QString& db)
{
    QSqlDatabase c = QSqlDatabase::addDatabase(QStringLiteral("QMYSQL"), name);
    c.setHostName(s.host);
    c.setPort(s.port);
    c.setUserName(s.user);
    c.setPassword(s.password);
    c.setDatabaseName(db);
    c.setConnectOptions(QStringLiteral("CLIENT_FOUND_ROWS"));
    return c;
}

} // namespace

const char* backendName(Backend backend)
{
    return backend == Backend::SQLite ? "SQLite" : "MariaDB";
}

std::optional<MariaDbServer> MariaDbServer::fromEnvironment()
{
    const QString dir = qEnvironmentVariable("STRAATWIJS_TEST_MARIADB");
    if (dir.isEmpty())
        return std::nullopt;
    QFile file(dir + QStringLiteral("/server.env"));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    MariaDbServer s;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const int eq = line.indexOf('=');
        if (eq < 0)
            continue;
        const QByteArray key = line.left(eq);
        const QString value = QString::fromUtf8(line.mid(eq + 1));
        if (key == "host")
            s.host = value;
        else if (key == "port")
            s.port = value.toInt();
        else if (key == "user")
            s.user = value;
        else if (key == "password")
            s.password = value;
        else if (key == "socket")
            s.socket = value;
    }
    return s;
}

lookup::ConnectionValues unreachableServer()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    const int port = probe.serverPort();
    probe.close();
    return lookup::ConnectionValues{QStringLiteral("127.0.0.1"),
                                    QStringLiteral("root"),
                                    QStringLiteral("Kxrt47+QB"),
                                    QStringLiteral("postcode"),
                                    port,
                                    {}};
}

bool TestDatabase::available(Backend backend)
{
    return backend == Backend::SQLite || MariaDbServer::fromEnvironment().has_value();
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
        const std::optional<MariaDbServer> server = MariaDbServer::fromEnvironment();
        if (!server)
            throw std::runtime_error("no test MariaDB server (STRAATWIJS_TEST_MARIADB)");
        m_values.Server = server->host;
        m_values.Port = server->port;
        m_values.UID = server->user;
        m_values.PWD = server->password;
        m_values.Database = QStringLiteral("sw_%1_%2_%3")
                                .arg(QCoreApplication::applicationPid())
                                .arg(counter.load())
                                .arg(QRandomGenerator::global()->generate() % 1000000);
        {
            QSqlDatabase admin = mariaDbConnection(*server, m_connection, {});
            if (!admin.open())
                fail(QStringLiteral("connect to the test server"), admin.lastError());
            QSqlQuery q(admin);
            if (!q.exec(QStringLiteral("CREATE DATABASE %1 CHARACTER SET utf8mb4")
                            .arg(m_values.Database)))
                fail(QStringLiteral("create database"), q.lastError());
        }
        QSqlDatabase::removeDatabase(m_connection);
        c = mariaDbConnection(*server, m_connection, m_values.Database);
        if (!c.open())
            fail(QStringLiteral("open test database"), c.lastError());
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
        QSqlDatabase c = QSqlDatabase::database(m_connection, false);
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
    QSqlDatabase c = QSqlDatabase::database(m_connection, false);
    c.close();
    if (!c.open())
        fail(QStringLiteral("reopen"), c.lastError());
}

void TestDatabase::exec(const QString& sql, const QVariantList& values)
{
    select(sql, values);
}

QList<QVariantList> TestDatabase::select(const QString& sql, const QVariantList& values)
{
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (!q.prepare(sql))
        fail(sql, q.lastError());
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec())
        fail(sql, q.lastError());
    QList<QVariantList> result;
    while (q.next()) {
        QVariantList row;
        for (int i = 0; i < q.record().count(); ++i)
            row << q.value(i);
        result << row;
    }
    return result;
}

void TestDatabase::addRequest(const QString& Query, const QString& Type, const QString& Status)
{
    exec(QStringLiteral("INSERT INTO Requests (Query, Type, Status) VALUES (?, ?, ?)"),
         {Query, Type, Status});
}

QStringList TestDatabase::statuses(const QString& Query)
{
    QStringList list;
    const QString order = m_backend == Backend::SQLite ? QStringLiteral(" ORDER BY rowid")
                                                       : QStringLiteral(" ORDER BY Id");
    for (const QVariantList& row :
         select(QStringLiteral("SELECT Status FROM Requests WHERE Query = ?") + order, {Query}))
        list << row.at(0).toString();
    return list;
}

int TestDatabase::countStatus(const QString& Status)
{
    return select(QStringLiteral("SELECT COUNT(*) FROM Requests WHERE Status = ?"), {Status})
        .at(0)
        .at(0)
        .toInt();
}

QStringList TestDatabase::lines(const QString& sql, const QVariantList& values)
{
    QStringList out;
    for (const QVariantList& row : select(sql, values)) {
        QStringList fields;
        for (const QVariant& v : row)
            fields << (v.isNull() ? QStringLiteral("\\N") : v.toString());
        out << fields.join(QLatin1Char('|'));
    }
    return out;
}

QStringList TestDatabase::harvested()
{
    const QString order = m_backend == Backend::SQLite ? QStringLiteral(" ORDER BY rowid") : "";
    return lines(QStringLiteral("SELECT Query, Type, Postcode, Straat, EvenOneven, NrVan, NrTm, "
                                "Woonplaats, Resultaten, Ip FROM Straatwijs") +
                 order);
}

} // namespace testing_support
