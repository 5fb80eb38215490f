#include "lookup/ResultStore.h"

#include "lookup/Database.h"

#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

namespace lookup {

namespace {

const QString Source = QStringLiteral("DoQuery");

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

void storeRecords(Database& db, const PostcodeCollection& records, const QString& IpAddress)
{
    QSqlDatabase& connection = db.connection(Source);
    QHash<int, QSqlQuery> inserts; // one prepared statement per shape
    for (const std::shared_ptr<clsPostcode>& R : records) {
        const bool even = !R->EvenOneven.isNull();
        const bool from = !R->NrVan.isNull();
        const bool to = !R->NrTm.isNull();
        const int shape = (even ? 1 : 0) | (from ? 2 : 0) | (to ? 4 : 0);
        auto found = inserts.find(shape);
        if (found == inserts.end()) {
            QSqlQuery q(connection);
            if (!q.prepare(insertSql(even, from, to)))
                db.fail(Source, q.lastError());
            found = inserts.insert(shape, q);
        }
        QSqlQuery& q = *found;
        q.addBindValue(text(R->Query));
        q.addBindValue(text(R->Typenaam));
        q.addBindValue(R->Postcode.toString().remove(QLatin1Char(' ')).remove(QChar(0xA0)));
        q.addBindValue(Trim(R->Straat.toString()));
        if (even)
            q.addBindValue(text(R->EvenOneven));
        if (from)
            q.addBindValue(text(R->NrVan));
        if (to)
            q.addBindValue(text(R->NrTm));
        q.addBindValue(R->Woonplaats.toString());
        q.addBindValue(R->Resultaten.isNull() ? QVariant() : QVariant(R->Resultaten.toDouble()));
        q.addBindValue(IpAddress);
        if (!q.exec())
            db.fail(Source, q.lastError());
    }
}

} // namespace lookup
