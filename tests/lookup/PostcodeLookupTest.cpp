#include "lookup/PostcodeLookup.h"

#include "HarvestFixture.h"
#include "platform/RunError.h"
#include "support/FreezingProxy.h"

#include <gtest/gtest.h>

using lookup::MainWindowValues;
using lookup::Outcome;
using lookup::PostcodeLookup;
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
            load(site.baseUrl());
    }
};

} // namespace

TEST_P(DoQuery, StoresTheSiteRowsClosesTheRequestAndSaysSo)
{
    EXPECT_EQ(engine.DoQuery("S").outcome, Outcome::NoRequest);
    EXPECT_TRUE(site.requests().isEmpty());

    t->addRequest("1011", "S");
    t->addRequest("9999", "M");
    const RequestResult r = engine.DoQuery("S");
    EXPECT_EQ(r.outcome, Outcome::Done);
    EXPECT_EQ(r.rows, 11);
    EXPECT_EQ(t->harvested(), rows1011("1011", "S"));
    EXPECT_EQ(t->statuses("1011"), QStringList{"Y"});
    EXPECT_EQ(sink.lines.last(), "1011 (S): 11 rijen opgeslagen, status Y");

    // No results: no rows, and the request is done all the same.
    EXPECT_EQ(engine.DoQuery("").Query, "9999");
    EXPECT_EQ(t->harvested().size(), 11);
    EXPECT_EQ(t->statuses("9999"), QStringList{"Y"});
    EXPECT_EQ(sink.lines.last(), "9999 (M): 0 rijen opgeslagen, status Y");
}

// ' 1011 ' is another request than '1011': its rows say so.
TEST_P(DoQuery, RowsCarryTheRequestTextAsItStands)
{
    t->addRequest(" 1011 ", "S");
    t->addRequest("'s-Hertogenbosch", "S");
    engine.DoQuery("S");
    engine.DoQuery("S");
    EXPECT_EQ(t->harvested().mid(0, 11), rows1011(" 1011 ", "S"));
    EXPECT_TRUE(site.requests().at(0).target.endsWith("&address=1011")); // the address trims it
    EXPECT_EQ(t->lines("SELECT COUNT(*) FROM Straatwijs WHERE Query = ?", {"'s-Hertogenbosch"}),
              QStringList{"20"});
    EXPECT_EQ(t->countStatus("Y"), 2);
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

INSTANTIATE_TEST_SUITE_P(Backends, DoQuery, ::testing::Values(Backend::SQLite, Backend::MariaDB),
                         [](const auto& info) { return std::string(backendName(info.param)); });

// The server freezes while the pages are read: the run fails when the
// request is to be stored, nothing is half-stored and the request stays "L".
TEST(DoQueryFrozenServer, FailsWithoutStoringAnything)
{
    if (!TestDatabase::available(Backend::MariaDB))
        GTEST_SKIP() << "no test MariaDB server";
    TestDatabase t(Backend::MariaDB);
    t.addRequest("1011", "S");
    postcodesite::PostcodeSite site{postcodesite::SiteOptions{.port = 0}};
    ASSERT_TRUE(site.listen());
    lookup::ConnectionValues v = t.values();
    FreezingProxy proxy(v.Server, v.Port);
    v.Port = proxy.port();
    v.TimeoutSeconds = 1;
    TestEnv te;
    RecordingSink sink;
    PostcodeLookup engine(te.env, sink);
    engine.load(MainWindowValues{v, site.baseUrl(), "192.0.2.7"});
    te.wait.during = [&proxy](qint32 ms) {
        if (ms > lookup::PagePollMs)
            proxy.freeze();
    };
    EXPECT_EQ(thrown([&] { engine.DoQuery("S"); }).number(), platform::RunError::DatabaseError);
    EXPECT_TRUE(t.harvested().isEmpty());
    EXPECT_EQ(t.statuses("1011"), QStringList{"L"}) << sink.lines.join("\n").toStdString();
}
