#include "lookup/Database.h"
#include "lookup/RequestQueue.h"

#include "CannedSite.h"
#include "HarvestFixture.h"
#include "platform/RunError.h"

#include <gtest/gtest.h>

using lookup::Claim;
using lookup::Database;
using lookup::Outcome;
using lookup::SearchQuery;
using namespace testing_support;

namespace {

// The queue and the harvester on schemas as they are found in the wild:
// the project's own, and variants that compare without case or trailing
// blanks, lack transactions or store Latin-1 only.
class HostileQueue : public HarvestFixture
{
protected:
    bool mariadb() const { return GetParam() == Backend::MariaDB; }
    QStringList requests() { return t->lines("SELECT Query, Type, Status FROM Requests"); }
};

} // namespace

// "s" is not "S", whatever the column's collation says: a request of an
// unknown type is never claimed (it would be searched for nothing and
// closed as done).
TEST_P(HostileQueue, ClaimsOnlyTheExactTypes)
{
    if (!mariadb()) { // SQLite's own way to compare without case
        t->exec("DROP TABLE Requests");
        t->exec("CREATE TABLE Requests (Id INTEGER PRIMARY KEY, Query TEXT NOT NULL, Type TEXT "
                "COLLATE NOCASE NOT NULL, Status TEXT NOT NULL DEFAULT 'N')");
    }
    t->addRequest("5211", "s");
    t->addRequest("5212", "b");
    t->addRequest("5213", "S");
    Database db(sink);
    db.OpenDb(t->values());
    const Claim c = SearchQuery(db, "S");
    ASSERT_TRUE(c.taken);
    EXPECT_EQ(c.Query, "5213");
    EXPECT_FALSE(SearchQuery(db, "S").taken);
    EXPECT_FALSE(SearchQuery(db, "B").taken);
    EXPECT_FALSE(SearchQuery(db, "").taken);
    EXPECT_EQ(requests(), QStringList({"5211|s|N", "5212|b|N", "5213|S|L"}));
}

// An answer that is no page fails the request: nothing stored, open again.
TEST_P(HostileQueue, AnswerWithoutPageHandsTheRequestBack)
{
    CannedSite empty("HTTP/1.1 204 No Content\r\nConnection: close\r\n\r\n");
    ASSERT_TRUE(empty.listen());
    load(empty.baseUrl());
    t->addRequest("1011", "S");
    EXPECT_EQ(engine.DoQuery("S").outcome, Outcome::Unreachable);
    EXPECT_TRUE(t->harvested().isEmpty());
    EXPECT_EQ(t->statuses("1011"), QStringList{"N"});
    EXPECT_EQ(sink.lines.last(), "1011 (S): 0 rijen opgeslagen, status N");
}

// Cells written with &nbsp; are blank where blanks count: no house numbers
// (NULL, not a no-break space), and a postcode without its blank.
TEST_P(HostileQueue, NoBreakSpacesAreBlanksInCells)
{
    site.options().fixedPages = {
        {"/nbsp", "<html><body><p>Uw zoekactie heeft 2 resultaten opgeleverd</p><table>"
                  "<tr><th>Postcode</th><th>Straat</th><th>Nummers</th><th>Plaats</th></tr>"
                  "<tr><td>1011&nbsp;AB</td><td>&nbsp;Damrak&nbsp;</td><td>&nbsp;</td>"
                  "<td>Amsterdam&nbsp;</td></tr>"
                  "<tr><td>1011 AC</td><td>Rokin</td><td>2&nbsp;t/m&nbsp;8&nbsp;</td>"
                  "<td>Amsterdam</td></tr></table></body></html>"}};
    load(site.baseUrl() + "/nbsp");
    t->addRequest("1011", "S");
    EXPECT_EQ(engine.DoQuery("S").rows, 2);
    EXPECT_EQ(t->harvested(), QStringList({"1011|S|1011AB|Damrak|\\N|\\N|\\N|Amsterdam|2|192.0.2.7",
                                           "1011|S|1011AC|Rokin|1|2|8|Amsterdam|2|192.0.2.7"}));
}

INSTANTIATE_TEST_SUITE_P(Backends, HostileQueue,
                         ::testing::Values(Backend::SQLite, Backend::MariaDB),
                         [](const auto& info) { return std::string(backendName(info.param)); });

namespace {
class HostileServer : public HostileQueue
{
};
} // namespace

// Without a key the claimed row is found again by its text and type, byte
// for byte: under a collation that ignores case and trailing blanks, older
// rows in progress ("5211 ", "OK11") would otherwise be closed in its place.
TEST_P(HostileServer, WithoutAKeyTheCloseFindsTheClaimedRowByItsBytes)
{
    t->exec("ALTER TABLE Requests DROP COLUMN Id, MODIFY Query VARCHAR(255) CHARACTER SET utf8mb4 "
            "COLLATE utf8mb4_unicode_ci NOT NULL");
    t->addRequest("5211 ", "S", "L");
    t->addRequest("OK11", "S", "L");
    t->addRequest("5211", "S");
    t->addRequest("ok11", "S");
    t->addRequest("5211", "M", "L"); // same text, other type: left alone
    Database db(sink);
    db.OpenDb(t->values());
    for (int i = 0; i < 2; ++i) {
        const Claim c = SearchQuery(db, "S");
        ASSERT_TRUE(c.taken);
        EXPECT_TRUE(c.keyColumns.isEmpty());
        lookup::ResetQuery(db, c, true);
    }
    QStringList rows = requests();
    rows.sort();
    EXPECT_EQ(rows, QStringList({"5211 |S|L", "5211|M|L", "5211|S|Y", "OK11|S|L", "ok11|S|Y"}));
}

// On tables without transactions a failure halfway keeps part of a
// request's rows: the harvester says so once, in red.
TEST_P(HostileServer, TablesWithoutTransactionsAreNamedOnce)
{
    Database db(sink);
    db.OpenDb(t->values());
    EXPECT_EQ(sink.lines.filter("transacties").size(), 0);
    t->exec("ALTER TABLE Straatwijs ENGINE=MyISAM");
    db.OpenDb(t->values());
    db.OpenDb(t->values());
    const QStringList warnings = sink.lines.filter("transacties");
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_EQ(warnings.first(), "Let op: tabel Straatwijs (MyISAM) kent geen transacties; een fout "
                                "halverwege kan een deel van de rijen van een verzoek achterlaten");
    EXPECT_EQ(sink.colours.at(sink.lines.indexOf(warnings.first())), 0x0000FFu);
}

// A server that is not strict would store a letter outside Latin-1 as "?"
// and the request would be done; the harvester's session is strict, so the
// request fails, stores nothing and stays in progress.
TEST_P(HostileServer, ValuesTheTableCannotHoldFailTheRequest)
{
    t->exec("ALTER TABLE Straatwijs CONVERT TO CHARACTER SET latin1");
    site.options().fixedPages = {
        {"/lodz", "<html><body><p>Uw zoekactie heeft 1 resultaat opgeleverd</p><table><tr>"
                  "<td>1011 AB</td><td>&#321;&oacute;d&#378;straat</td><td>1</td><td>Amsterdam</td>"
                  "</tr></table></body></html>"}};
    const QString saved = t->lines("SELECT @@GLOBAL.sql_mode").value(0);
    t->exec("SET GLOBAL sql_mode = ''"); // as some servers are set up
    load(site.baseUrl() + "/lodz");
    t->exec("SET GLOBAL sql_mode = ?", {saved});
    t->addRequest("1011", "S");
    EXPECT_THROW(engine.DoQuery("S"), platform::RunError);
    EXPECT_TRUE(t->harvested().isEmpty());
    EXPECT_EQ(t->statuses("1011"), QStringList{"L"});
}

INSTANTIATE_TEST_SUITE_P(MariaDB, HostileServer, ::testing::Values(Backend::MariaDB),
                         [](const auto& info) { return std::string(backendName(info.param)); });
