#include "lookup/PostcodeLookup.h"

#include "HarvestFixture.h"
#include "platform/RunError.h"

#include <gtest/gtest.h>

using lookup::Outcome;
using lookup::RequestResult;
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
