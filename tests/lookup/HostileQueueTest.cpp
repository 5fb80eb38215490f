#include "lookup/RequestQueue.h"

#include "HarvestFixture.h"
#include "platform/RunError.h"
#include "support/FreezingProxy.h"

#include <gtest/gtest.h>

using lookup::Claim;
using lookup::SearchQuery;
using namespace testing_support;

namespace {

// The queue and the harvester on a server as they are found in the wild:
// tables that compare without case or trailing blanks, lack transactions or
// store Latin-1 only, and a server that stops answering.
using HostileServer = HarvestFixture;

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
    db.OpenDb(t->values());
    for (int i = 0; i < 2; ++i) {
        const Claim c = SearchQuery(db, "S");
        ASSERT_TRUE(c.taken);
        EXPECT_TRUE(c.keyColumns.isEmpty());
        lookup::ResetQuery(db, c, true);
    }
    QStringList rows = t->lines("SELECT Query, Type, Status FROM Requests");
    rows.sort();
    EXPECT_EQ(rows, QStringList({"5211 |S|L", "5211|M|L", "5211|S|Y", "OK11|S|L", "ok11|S|Y"}));
}

// On tables without transactions a failure halfway keeps part of a
// request's rows: the harvester says so once, in red.
TEST_P(HostileServer, TablesWithoutTransactionsAreNamedOnce)
{
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

// The server freezes while the pages are read: the run fails when the
// request is to be stored, nothing is half-stored and the request stays "L".
TEST_P(HostileServer, AServerThatFreezesFailsTheRequestWithoutStoringAnything)
{
    t->addRequest("1011", "S");
    lookup::MainWindowValues v = values(site.baseUrl());
    FreezingProxy proxy(v.Connection.Server, v.Connection.Port);
    v.Connection.Port = proxy.port();
    v.Connection.TimeoutSeconds = 1;
    load(v);
    te.wait.during = [&proxy](qint32 ms) {
        if (ms > lookup::PagePollMs)
            proxy.freeze();
    };
    EXPECT_EQ(thrown([&] { engine.DoQuery("S"); }).number(), platform::RunError::DatabaseError);
    EXPECT_TRUE(t->harvested().isEmpty());
    EXPECT_EQ(t->statuses("1011"), QStringList{"L"}) << sink.lines.join("\n").toStdString();
}

INSTANTIATE_TEST_SUITE_P(MariaDB, HostileServer, ::testing::Values(Backend::MariaDB), nameOf);
