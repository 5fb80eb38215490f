#include "lookup/PostcodeLookup.h"

#include "HarvestFixture.h"
#include "lookup/RequestQueue.h"
#include "platform/RunError.h"
#include "support/FreezingProxy.h"

#include <gtest/gtest.h>

using lookup::Claim;
using lookup::Outcome;
using lookup::RequestResult;
using lookup::SearchQuery;
using namespace testing_support;

namespace {

// The rows the site gives for "1011", as stored: the postcode without its
// blank, NULL where a row has no house numbers.
QStringList rows1011(const QString& query, const QString& type)
{
    const QStringList site{"1011AA|Nieuwendijk|\\N|\\N|\\N",
                           "1011AD|Kalverstraat|0|41|63",
                           "1011AH|Rokin|1|52|74",
                           "1011AL|Oudezijds Voorburgwal|1|74|74",
                           "1011AP|Damrak|\\N|\\N|\\N",
                           "1011AT|Nieuwendijk|0|11|33",
                           "1011AX|Kalverstraat|1|22|44",
                           "1011BB|Rokin|1|44|44",
                           "1011BE|Oudezijds Voorburgwal|\\N|\\N|\\N",
                           "1011BJ|Damrak|0|51|73",
                           "1011BM|Nieuwendijk|1|62|84"};
    QStringList out;
    for (const QString& row : site)
        out << query + "|" + type + "|" + row + "|Amsterdam|11|192.0.2.7";
    return out;
}

class DoQuery : public HarvestFixture
{
protected:
    void SetUp() override
    {
        HarvestFixture::SetUp();
        if (!IsSkipped() && !HasFatalFailure())
            load(site.baseUrl(), lookup::MinimumLeaseSeconds); // pauses renew the lease
    }
};

// The queue and the harvester on a server as they are found in the wild:
// tables that compare without case or trailing blanks, lack transactions or
// store Latin-1 only, and a server that stops answering.
using HostileServer = HarvestFixture;

} // namespace

// The rows carry the request text as it stands (' 1011 ' is another
// request than '1011'), also one with an apostrophe.
TEST_P(DoQuery, StoresTheSiteRowsClosesTheRequestAndSaysSo)
{
    EXPECT_EQ(engine.DoQuery("S").outcome, Outcome::NoRequest);
    EXPECT_TRUE(site.requests().isEmpty());

    t->addRequest(" 1011 ", "S");
    t->addRequest("9999", "M");
    t->addRequest("'s-Hertogenbosch", "S");
    const RequestResult r = engine.DoQuery("S");
    EXPECT_EQ(r.outcome, Outcome::Done);
    EXPECT_EQ(r.rows, 11);
    EXPECT_EQ(t->harvested(), rows1011(" 1011 ", "S"));
    EXPECT_TRUE(site.requests().at(0).target.endsWith("&address=1011")); // the address trims it
    EXPECT_EQ(t->statuses(" 1011 "), QStringList{"Y"});
    EXPECT_EQ(t->lines("SELECT COUNT(*) FROM StraatwijsLease"), QStringList{"0"});
    EXPECT_EQ(sink.lines.last(), " 1011  (S): 11 rijen opgeslagen, status Y");

    // No results: no rows, and the request is done all the same.
    EXPECT_EQ(engine.DoQuery("M").Query, "9999");
    EXPECT_EQ(t->harvested().size(), 11);
    EXPECT_EQ(t->statuses("9999"), QStringList{"Y"});
    EXPECT_EQ(sink.lines.last(), "9999 (M): 0 rijen opgeslagen, status Y");

    engine.DoQuery("");
    EXPECT_EQ(t->lines("SELECT COUNT(*) FROM Straatwijs WHERE Query = ?", {"'s-Hertogenbosch"}),
              QStringList{"20"});
    EXPECT_EQ(t->countStatus("Y"), 3);
}

// A block on the third page: nothing of the request is kept, so its retry
// stores every row exactly once; the next command starts unblocked.
TEST_P(DoQuery, BlockStoresNothingOfTheRequestAndARetryStoresItOnce)
{
    site.options().blockAfterRequests = 2;
    t->addRequest("1012", "S");
    engine.beginCommand();
    EXPECT_EQ(engine.DoQuery("S").outcome, Outcome::Blocked);
    EXPECT_FALSE(engine.ValidURL);
    EXPECT_TRUE(t->harvested().isEmpty());
    EXPECT_EQ(t->statuses("1012"), QStringList{"N"});
    EXPECT_EQ(sink.lines.last(), "1012 (S): 0 rijen opgeslagen, status N");

    site.options().blockAfterRequests = 0;
    engine.beginCommand();
    EXPECT_TRUE(engine.ValidURL);
    EXPECT_EQ(engine.DoQuery("S").outcome, Outcome::Done);
    EXPECT_EQ(t->harvested().size(), 25);
    EXPECT_EQ(t->statuses("1012"), QStringList{"Y"});
}

TEST_P(DoQuery, FailureWhileStoringLeavesNoRowsAndTheRequestInProgress)
{
    t->addRequest("1012", "S");
    // From the second row on every insert fails, as on a full disk.
    t->exec("CREATE UNIQUE INDEX refuse ON Straatwijs (Type)");
    EXPECT_THROW(engine.DoQuery("S"), platform::RunError);
    EXPECT_TRUE(t->harvested().isEmpty());
    EXPECT_EQ(t->statuses("1012"), QStringList{"L"});

    // The connection is usable again once the cause is gone.
    t->exec(GetParam() == Backend::SQLite ? "DROP INDEX refuse"
                                          : "DROP INDEX refuse ON Straatwijs");
    t->addRequest("1011", "M");
    EXPECT_EQ(engine.DoQuery("M").rows, 11);
    EXPECT_EQ(t->harvested(), rows1011("1011", "M"));
}

// Requests without a usable text (blanks of any kind) are passed over, not
// claimed and abandoned in "L"; each command says so once, counting those of
// the wanted type.
TEST_P(DoQuery, RequestsWithoutTextAreReportedOncePerCommand)
{
    for (const QString& blank : {QString(""), QString("   "), QString("\t\n"), QString("\r"),
                                 QString(" \u00A0 "), QString("\v\f")})
        t->addRequest(blank, "S");
    t->addRequest("", "M");
    t->addRequest("1010", "S");
    const QString line = "6 open verzoek(en) zonder zoektekst of type overgeslagen";
    engine.beginCommand();
    EXPECT_EQ(engine.DoQuery("S").Query, "1010");
    EXPECT_EQ(engine.DoQuery("S").outcome, Outcome::NoRequest);
    EXPECT_EQ(sink.lines.count(line), 1);
    engine.beginCommand();
    EXPECT_EQ(engine.DoQuery("").outcome, Outcome::NoRequest);
    EXPECT_EQ(sink.lines.filter("7 open verzoek(en)").size(), 1);
    EXPECT_EQ(t->countStatus("N"), 7);
}

// Cells written with &nbsp; are blank where blanks count: no house numbers
// (NULL, not a no-break space), and a postcode without its blank.
TEST_P(DoQuery, NoBreakSpacesAreBlanksInCells)
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

INSTANTIATE_TEST_SUITE_P(Backends, DoQuery, BothBackends, nameOf);

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
