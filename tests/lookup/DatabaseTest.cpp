#include "lookup/Database.h"
#include "lookup/RequestQueue.h"

#include "HarvestFixture.h"

#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using lookup::ConnectionValues;
using lookup::Database;
using platform::RunError;
using namespace testing_support;

// The lookup form keeps loading when the server is away; what follows must
// say why, and closing tells the failed state apart from a released one.
TEST(Database, UnreachableServerReportsWhyAndQueueFailsClearly)
{
    RecordingSink sink;
    Database db(sink);
    ConnectionValues v = unreachableServer();
    v.PWD = "Geheim-9f3";
    const RunError open = thrown([&] { db.OpenDb(v); });
    EXPECT_EQ(open.number(), RunError::DatabaseError);
    EXPECT_FALSE(open.description().contains(v.PWD));
    ASSERT_EQ(sink.lines.size(), 2);
    EXPECT_EQ(sink.lines[0], "Open database: postcode op server 127.0.0.1");
    EXPECT_TRUE(sink.lines[1].startsWith("Open database failed: ")) << sink.lines[1].toStdString();
    EXPECT_TRUE(sink.lines[1].contains("connect", Qt::CaseInsensitive));
    EXPECT_FALSE(db.isOpen());

    const RunError search = thrown([&] { lookup::SearchQuery(db, ""); });
    EXPECT_EQ(search.number(), RunError::DatabaseError);
    EXPECT_TRUE(search.description().startsWith("The database is not open: "));
    EXPECT_EQ(search.source(), "SearchQuery");

    sink.lines.clear();
    db.CloseDB();
    db.CloseDB();
    EXPECT_EQ(sink.lines, QStringList({"Closing database 0", "Database :postcode closed. RC=3704",
                                       "Closing database 0", "Database :postcode closed. RC=91"}));
    lookup::Claim claim;
    claim.taken = true;
    EXPECT_THROW(lookup::ResetQuery(db, claim, true), RunError);
}

using DatabaseOn = DatabaseFixture;

// Accented letters are where a wrong connection character set shows first.
// A server that refuses the password says so, never showing it, and the
// connection opens on the next try.
TEST_P(DatabaseOn, OpensAfterARefusedPasswordKeepsAccentedTextIntactAndCloses)
{
    if (GetParam() == Backend::MariaDB) {
        ConnectionValues v = t->values();
        v.PWD = "Fout+Wachtwoord'7";
        EXPECT_THROW(db.OpenDb(v), RunError);
        EXPECT_TRUE(sink.lines.value(1).contains("Access denied"))
            << sink.lines.value(1).toStdString();
        EXPECT_FALSE(sink.lines.join("").contains(v.PWD));
        sink.lines.clear();
    }
    db.OpenDb(t->values());
    EXPECT_EQ(sink.lines.value(1), "Open database finished. RC=0");

    const QString town = QString::fromUtf8("Curaçao Één Ĳsselmeer ö ï 🏠");
    QSqlQuery insert(db.connection("test"));
    insert.prepare("INSERT INTO Straatwijs (Query, Type, Postcode, Straat, Woonplaats, Resultaten, "
                   "Ip) VALUES (?, 'S', '1234AB', 'Straat', ?, 3, '127.0.0.1')");
    insert.addBindValue(town);
    insert.addBindValue(town);
    ASSERT_TRUE(insert.exec());
    EXPECT_EQ(t->lines("SELECT Woonplaats, Resultaten, EvenOneven, NrVan, NrTm FROM Straatwijs"),
              QStringList{town + "|3|\\N|\\N|\\N"});

    sink.lines.clear();
    db.CloseDB();
    EXPECT_EQ(sink.lines.value(1).right(12), "closed. RC=0");
}

INSTANTIATE_TEST_SUITE_P(Backends, DatabaseOn, BothBackends, nameOf);

TEST(Database, NewSqliteFileGetsBothTablesAnExistingOneIsLeftAlone)
{
    QTemporaryDir dir;
    RecordingSink sink;
    ConnectionValues v;
    v.SqlitePath = dir.filePath("nieuw.sqlite");
    {
        Database db(sink);
        db.OpenDb(v);
        EXPECT_EQ(sink.lines.value(0), "Open database: " + v.SqlitePath + " op server SQLite");
        QSqlQuery q(db.connection("test"));
        EXPECT_TRUE(q.exec("SELECT Query, Type, Status FROM Requests"));
        EXPECT_TRUE(q.exec("SELECT EvenOneven, NrVan, NrTm, Resultaten, Ip FROM Straatwijs"));
        EXPECT_TRUE(q.exec("DROP TABLE Straatwijs"));
    }
    Database again(sink);
    again.OpenDb(v);
    EXPECT_FALSE(QSqlQuery(again.connection("test")).exec("SELECT * FROM Straatwijs"));
}
