#include "lookup/Database.h"

#include "lookup/SchemaSql.h"
#include "platform/RunError.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <atomic>

namespace lookup {

using platform::RunError;

namespace {

QString uniqueConnectionName()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("straatwijs-lookup-%1").arg(++counter);
}

// The name and server the messages show; the embedded file has no server.
QString shownName(const ConnectionValues& v)
{
    return v.SqlitePath.isEmpty() ? v.Database : v.SqlitePath;
}

QString shownServer(const ConnectionValues& v)
{
    return v.SqlitePath.isEmpty() ? v.Server : QStringLiteral("SQLite");
}

// The statements that create both tables for a Qt driver name.
QStringList schemaStatements(const QString& driverName)
{
    QString text =
        QString::fromUtf8(driverName == QLatin1String("QSQLITE") ? schema::Sqlite : schema::MySql);
    text.remove(
        QRegularExpression(QStringLiteral("^\\s*--[^\n]*"), QRegularExpression::MultilineOption));
    QStringList statements;
    for (const QString& part : text.split(QLatin1Char(';'))) {
        const QString statement = part.trimmed();
        if (!statement.isEmpty())
            statements << statement;
    }
    return statements;
}

// Replaces every occurrence of a secret in a text, so driver messages can be
// shown safely.
QString redacted(QString text, const QString& secret)
{
    if (!secret.isEmpty())
        text.replace(secret, QStringLiteral("********"));
    return text;
}

} // namespace

void createTables(const QSqlDatabase& db, const QString& only)
{
    for (const QString& statement : schemaStatements(db.driverName())) {
        const bool creates =
            statement.startsWith(QLatin1String("CREATE TABLE"), Qt::CaseInsensitive);
        if (!only.isEmpty() &&
            !(creates && statement.section(QLatin1Char('('), 0, 0)
                             .trimmed()
                             .endsWith(QLatin1Char(' ') + only, Qt::CaseInsensitive)))
            continue;
        QSqlQuery q(db);
        if (!q.exec(statement))
            throw RunError(RunError::DatabaseError, q.lastError().text(),
                           QStringLiteral("createTables"));
    }
}

Database::Database(platform::MessageSink& sink) : m_sink(sink), m_name(uniqueConnectionName()) {}

Database::~Database()
{
    release();
}

void Database::release()
{
    if (m_db) {
        m_db->close();
        m_db.reset();
    }
    if (QSqlDatabase::contains(m_name))
        QSqlDatabase::removeDatabase(m_name);
}

void Database::OpenDb(const ConnectionValues& values)
{
    m_sink.AddMelding(QStringLiteral("Open database: ") + shownName(values) +
                      QStringLiteral(" op server ") + shownServer(values));
    release();
    m_values = values;
    m_openError.clear();

    const bool sqlite = isSqlite();
    const bool newFile = sqlite && !QFileInfo::exists(values.SqlitePath);
    m_db = QSqlDatabase::addDatabase(sqlite ? QStringLiteral("QSQLITE") : QStringLiteral("QMYSQL"),
                                     m_name);
    if (sqlite) {
        m_db->setDatabaseName(values.SqlitePath);
        // Several harvesters on one file wait for each other's writes.
        m_db->setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
    } else {
        m_db->setHostName(values.Server);
        m_db->setPort(values.Port);
        m_db->setUserName(values.UID);
        m_db->setPassword(values.PWD);
        m_db->setDatabaseName(values.Database);
        // Found rows: an update reports the rows it matched, which the
        // atomic claim of a request relies on.
        m_db->setConnectOptions(
            QStringLiteral("CLIENT_FOUND_ROWS;MYSQL_OPT_CONNECT_TIMEOUT=10;"
                           "MYSQL_OPT_READ_TIMEOUT=%1;MYSQL_OPT_WRITE_TIMEOUT=%1")
                .arg(values.TimeoutSeconds));
    }

    try {
        if (!m_db->open())
            fail(QStringLiteral("OpenDb"), m_db->lastError().text());
        if (!sqlite) {
            QSqlQuery names(*m_db);
            if (!names.exec(QStringLiteral("SET NAMES utf8mb4")))
                fail(QStringLiteral("OpenDb"), names.lastError().text());
            // Strict: a value a column cannot hold (too long, a character its
            // charset lacks) fails the statement instead of being cut or
            // stored as "?", whatever the server's own setting.
            if (!names.exec(
                    QStringLiteral("SET SESSION sql_mode = CONCAT_WS(',', "
                                   "NULLIF(@@SESSION.sql_mode, ''), 'STRICT_TRANS_TABLES')")))
                fail(QStringLiteral("OpenDb"), names.lastError().text());
        }
        if (newFile)
            createTables(*m_db);
    } catch (const RunError& e) {
        m_openError = redacted(e.description(), values.PWD);
        m_db->close();
        m_sink.AddMelding(QStringLiteral("Open database failed: ") + m_openError);
        throw RunError(RunError::DatabaseError, m_openError, QStringLiteral("OpenDb"));
    }
    m_sink.AddMelding(QStringLiteral("Open database finished. RC=0"));
    if (!sqlite && !m_warnedEngine)
        platform::skipOnError([this] { warnIfNotTransactional(); });
}

// Without transactions a failure halfway keeps the rows stored so far and
// the request's status apart; say so once, so an administrator can act.
void Database::warnIfNotTransactional()
{
    QSqlQuery q(*m_db);
    if (!q.exec(QStringLiteral(
            "SELECT t.TABLE_NAME, t.ENGINE FROM information_schema.TABLES t JOIN "
            "information_schema.ENGINES e ON e.ENGINE = t.ENGINE WHERE t.TABLE_SCHEMA = "
            "DATABASE() AND t.TABLE_NAME IN ('Straatwijs', 'Requests') AND e.TRANSACTIONS <> "
            "'YES' ORDER BY t.TABLE_NAME")))
        return;
    QStringList tables;
    while (q.next())
        tables << QStringLiteral("%1 (%2)").arg(q.value(0).toString(), q.value(1).toString());
    if (tables.isEmpty())
        return;
    m_warnedEngine = true;
    m_sink.AddMelding(QStringLiteral("Let op: tabel %1 kent geen transacties; een fout halverwege "
                                     "kan een deel van de rijen van een verzoek achterlaten")
                          .arg(tables.join(QStringLiteral(" en "))),
                      0, false, platform::Red);
}

void Database::CloseDB()
{
    m_sink.AddMelding(QStringLiteral("Closing database 0"));
    int rc = 0;
    if (!m_db)
        rc = ObjectNotSet;
    else if (!m_db->isOpen())
        rc = ObjectClosed;
    release();
    m_sink.AddMelding(QStringLiteral("Database :") + shownName(m_values) +
                      QStringLiteral(" closed. RC=") + QString::number(rc));
}

bool Database::isOpen() const
{
    return m_db && m_db->isOpen();
}

QSqlDatabase& Database::connection(const QString& routine)
{
    if (!m_db)
        throw RunError(RunError::DatabaseError,
                       QStringLiteral("The database connection has been closed"), routine);
    if (!m_db->isOpen()) {
        QString why = QStringLiteral("The database is not open");
        if (!m_openError.isEmpty())
            why += QStringLiteral(": ") + m_openError;
        throw RunError(RunError::DatabaseError, why, routine);
    }
    return *m_db;
}

void Database::fail(const QString& routine, const QString& driverText)
{
    throw RunError(RunError::DatabaseError, redacted(driverText, m_values.PWD), routine);
}

void Database::fail(const QString& routine, const QSqlError& error)
{
    const QString code = error.nativeErrorCode();
    m_lostConflict = code == QLatin1String("1213") || code == QLatin1String("1205");
    fail(routine, error.text());
}

bool Database::inTransaction(const QString& routine, const std::function<bool()>& work,
                             int attempts)
{
    for (int attempt = 1;; ++attempt) {
        QSqlDatabase& db = connection(routine);
        m_lostConflict = false;
        if (!db.transaction())
            fail(routine, db.lastError());
        try {
            if (!work()) {
                db.rollback();
                return false;
            }
            if (!db.commit())
                fail(routine, db.lastError());
            return true;
        } catch (const RunError&) {
            db.rollback();
            if (!m_lostConflict || attempt >= attempts)
                throw;
        }
    }
}

} // namespace lookup
