#include "lookup/PostcodeLookup.h"

#include "lookup/RequestQueue.h"
#include "platform/RunError.h"

#include <QCoreApplication>
#include <QHash>
#include <QSqlError>
#include <QSqlQuery>

namespace lookup {

PostcodeLookup::PostcodeLookup(platform::Env env, platform::MessageSink& sink)
    : m_env(env), m_sink(sink), m_database(sink), m_browser(*env.network),
      m_reader(env, sink, m_browser, ValidURL, Url, PostcodeCollection)
{
}

void PostcodeLookup::load(const MainWindowValues& main)
{
    Server = main.Server;
    UID = main.UID;
    PWD = main.PWD;
    Database = main.Database;
    Port = main.Port;
    SqlitePath = main.SqlitePath;
    IpAddress = main.IpAddress;
    platform::skipOnError([this] { m_database.OpenDb(connectionValues()); });
    Url = main.Url;
}

void PostcodeLookup::unload()
{
    m_database.CloseDB();
    ValidURL = false;
}

void PostcodeLookup::terminate()
{
    m_database.CloseDB();
}

QString PostcodeLookup::DoQuery(const QString& Querynaam, const QString& Typenaam)
{
    QString Q = Querynaam;
    QString T = Typenaam;
    if (Q.isEmpty())
        Q = SearchQuery(m_database, T);
    QCoreApplication::processEvents();
    if (Q.isEmpty())
        return Q;
    if (m_requestStarted)
        m_requestStarted(Q);
    PostcodeCollection.clear();
    m_reader.GetPostcodes(Q, T);
    storeResults(Q);
    return Q;
}

namespace {

const QString DoQuerySource = QStringLiteral("DoQuery");

// A text field of a record; Null stays Null.
QVariant text(const QVariant& v)
{
    return v.isNull() ? QVariant() : QVariant(v.toString());
}

// The insert for one combination of present house-number fields: a column
// that a record does not fill is left out, so it gets the table's default.
QString insertSql(bool even, bool from, bool to)
{
    QStringList columns{QStringLiteral("Query"), QStringLiteral("Type"), QStringLiteral("Postcode"),
                        QStringLiteral("Straat")};
    if (even)
        columns << QStringLiteral("EvenOneven");
    if (from)
        columns << QStringLiteral("NrVan");
    if (to)
        columns << QStringLiteral("NrTm");
    columns << QStringLiteral("Woonplaats") << QStringLiteral("Resultaten") << QStringLiteral("Ip");
    QStringList marks;
    for (int i = 0; i < columns.size(); ++i)
        marks << QStringLiteral("?");
    return QStringLiteral("INSERT INTO Straatwijs (%1) VALUES (%2)")
        .arg(columns.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
}

} // namespace

// The rows and the request's new status are committed together, so a
// failure halfway (a lost server, a full disk) leaves no partial set of rows
// behind and the request stays "L" for someone to look at.
void PostcodeLookup::storeResults(const QString& Q)
{
    QSqlDatabase& db = m_database.connection(DoQuerySource);
    if (!db.transaction())
        m_database.fail(DoQuerySource, db.lastError().text());
    try {
        QHash<int, QSqlQuery> inserts;
        for (const std::shared_ptr<clsPostcode>& R : std::as_const(PostcodeCollection)) {
            const bool even = !R->EvenOneven.isNull();
            const bool from = !R->NrVan.isNull();
            const bool to = !R->NrTm.isNull();
            const int shape = (even ? 1 : 0) | (from ? 2 : 0) | (to ? 4 : 0);
            auto found = inserts.find(shape);
            if (found == inserts.end()) {
                QSqlQuery q(db);
                if (!q.prepare(insertSql(even, from, to)))
                    m_database.fail(DoQuerySource, q.lastError().text());
                found = inserts.insert(shape, q);
            }
            QSqlQuery& q = *found;
            q.addBindValue(text(R->Query));
            q.addBindValue(text(R->Typenaam));
            q.addBindValue(R->Postcode.toString().remove(QLatin1Char(' ')));
            q.addBindValue(Trim(R->Straat.toString()));
            if (even)
                q.addBindValue(text(R->EvenOneven));
            if (from)
                q.addBindValue(text(R->NrVan));
            if (to)
                q.addBindValue(text(R->NrTm));
            q.addBindValue(R->Woonplaats.toString());
            q.addBindValue(R->Resultaten.isNull() ? QVariant()
                                                  : QVariant(R->Resultaten.toDouble()));
            q.addBindValue(IpAddress);
            if (!q.exec())
                m_database.fail(DoQuerySource, q.lastError().text());
        }
        inserts.clear();
        ResetQuery(m_database, Q, ValidURL);
        if (!db.commit())
            m_database.fail(DoQuerySource, db.lastError().text());
    } catch (...) {
        db.rollback();
        throw;
    }
}

ConnectionValues PostcodeLookup::connectionValues() const
{
    return ConnectionValues{Server, UID, PWD, Database, Port, SqlitePath};
}

} // namespace lookup
