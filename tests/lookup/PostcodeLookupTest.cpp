#include "lookup/PostcodeLookup.h"

#include "PostcodeSite.h"
#include "lookup/RequestQueue.h"
#include "platform/RunError.h"
#include "support/RecordingSink.h"
#include "support/TestDatabase.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

using lookup::MainWindowValues;
using lookup::PostcodeLookup;
using namespace testing_support;

// A database that cannot be opened must not stop the load: Url is still
// copied, and only the queue fails later.
TEST(PostcodeLookup, LoadSkipsAFailedOpenAndUnloadEndsTheSearch)
{
    TestEnv env;
    RecordingSink sink;
    PostcodeLookup engine(env.env, sink);
    const lookup::ConnectionValues away = unreachableServer();
    engine.load(
        MainWindowValues{away.Server, "root", "pw", "postcode", "http://127.0.0.1:9", away.Port});
    EXPECT_TRUE(engine.ValidURL);
    EXPECT_EQ(engine.Url, "http://127.0.0.1:9");
    EXPECT_EQ(engine.Port, away.Port);
    EXPECT_FALSE(engine.database().isOpen());
    EXPECT_EQ(sink.lines.size(), 2);

    QString type;
    EXPECT_THROW(lookup::SearchQuery(engine.database(), type), platform::RunError);
    engine.unload();
    EXPECT_FALSE(engine.ValidURL);
    engine.terminate();
    EXPECT_TRUE(sink.lines.last().endsWith("closed. RC=91"));
}

namespace {

// Harvesting against the local site into a fresh database, with recorded
// pauses. The site's data: "1012" has 25 results, "9999" none,
// "'s-Hertogenbosch" 20, "1010" 10.
class DoQuery : public ::testing::TestWithParam<Backend>
{
protected:
    void SetUp() override
    {
        if (!TestDatabase::available(GetParam()))
            GTEST_SKIP() << "no test MariaDB server";
        t.emplace(GetParam());
        ASSERT_TRUE(site.listen());
        const lookup::ConnectionValues c = t->values();
        engine.load(MainWindowValues{c.Server, c.UID, c.PWD, c.Database, site.baseUrl(), c.Port,
                                     c.SqlitePath, QStringLiteral("192.0.2.7")});
        ASSERT_TRUE(engine.database().isOpen());
    }
    QList<QVariantMap> rows() { return t->rows("Straatwijs"); }
    // A statement that makes the n-th row insert fail, as a full disk would.
    void failFromRow(int n)
    {
        if (GetParam() == Backend::SQLite)
            t->exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON Straatwijs WHEN "
                                   "(SELECT COUNT(*) FROM Straatwijs) >= %1 BEGIN "
                                   "SELECT RAISE(ABORT, 'disk full'); END")
                        .arg(n - 1));
        else
            t->exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON Straatwijs FOR EACH ROW "
                                   "IF (SELECT COUNT(*) FROM Straatwijs) >= %1 THEN SIGNAL "
                                   "SQLSTATE '45000' SET MESSAGE_TEXT = 'disk full'; END IF")
                        .arg(n - 1));
    }

    TestEnv te;
    RecordingSink sink;
    postcodesite::PostcodeSite site{postcodesite::SiteOptions{.port = 0}};
    std::optional<TestDatabase> t;
    PostcodeLookup engine{te.env, sink};
};

} // namespace

TEST_P(DoQuery, EmptyQueueLoadsNothing)
{
    EXPECT_EQ(engine.DoQuery("", "S"), "");
    EXPECT_TRUE(site.requests().isEmpty());
    EXPECT_TRUE(rows().isEmpty());
}

TEST_P(DoQuery, StoresEveryPageInOrderAndClosesTheRequest)
{
    t->addRequest("1012", "S");
    t->addRequest("9999", "M");
    EXPECT_EQ(engine.DoQuery("", "S"), "1012");
    const QList<QVariantMap> stored = rows();
    ASSERT_EQ(stored.size(), 25);
    ASSERT_EQ(engine.PostcodeCollection.size(), 25);
    bool sawNoNumbers = false;
    for (int i = 0; i < stored.size(); ++i) {
        const QVariantMap& row = stored[i];
        const lookup::clsPostcode& record = *engine.PostcodeCollection[i];
        EXPECT_EQ(row["Postcode"].toString(), record.Postcode.toString().remove(' '));
        EXPECT_FALSE(row["Postcode"].toString().contains(' '));
        EXPECT_EQ(row["Straat"].toString(), record.Straat.toString().trimmed());
        EXPECT_EQ(row["Query"], "1012");
        EXPECT_EQ(row["Type"], "S");
        EXPECT_EQ(row["Ip"], "192.0.2.7");
        EXPECT_EQ(row["Resultaten"].toDouble(), 25);
        EXPECT_EQ(row["EvenOneven"].isNull(), record.NrVan.isNull());
        if (record.NrVan.isNull()) {
            sawNoNumbers = true;
            EXPECT_TRUE(row["NrVan"].isNull() && row["NrTm"].isNull());
        }
    }
    EXPECT_TRUE(sawNoNumbers);
    EXPECT_EQ(t->statuses("1012"), QStringList{"Y"});

    // No results: no rows, and the request is done all the same.
    EXPECT_EQ(engine.DoQuery("", "M"), "9999");
    EXPECT_EQ(rows().size(), 25);
    EXPECT_EQ(t->statuses("9999"), QStringList{"Y"});
}

TEST_P(DoQuery, ApostropheInTheQuery)
{
    t->addRequest("'s-Hertogenbosch", "S");
    EXPECT_EQ(engine.DoQuery("", ""), "'s-Hertogenbosch");
    const QList<QVariantMap> stored = rows();
    ASSERT_EQ(stored.size(), 20);
    EXPECT_EQ(stored[0]["Query"], "'s-Hertogenbosch");
    EXPECT_EQ(t->statuses("'s-Hertogenbosch"), QStringList{"Y"});
}

TEST_P(DoQuery, BlockMidRequestKeepsWhatCameAndGivesRequestsBack)
{
    site.options().blockAfterRequests = 2; // the search page and page 1 of "1012"
    t->addRequest("1012", "S");
    t->addRequest("1011", "S");
    engine.DoQuery("", "S");
    EXPECT_FALSE(engine.ValidURL);
    EXPECT_EQ(rows().size(), 20);
    EXPECT_EQ(t->countStatus("N"), 2);
    engine.DoQuery("", "S"); // every later request of the run goes back too
    EXPECT_EQ(t->countStatus("N"), 2);
    EXPECT_EQ(rows().size(), 20);
}

TEST_P(DoQuery, FailureWhileStoringLeavesNoRowsAndTheRequestInProgress)
{
    t->addRequest("1012", "S");
    failFromRow(6);
    EXPECT_THROW(engine.DoQuery("", "S"), platform::RunError);
    EXPECT_TRUE(rows().isEmpty());
    EXPECT_EQ(t->statuses("1012"), QStringList{"L"});

    // The connection is usable again once the cause is gone.
    t->exec("DROP TRIGGER refuse");
    t->addRequest("1010", "M");
    EXPECT_EQ(engine.DoQuery("", "M"), "1010");
    EXPECT_EQ(rows().size(), 10);
    EXPECT_EQ(t->statuses("1010"), QStringList{"Y"});
}

INSTANTIATE_TEST_SUITE_P(Backends, DoQuery, ::testing::Values(Backend::SQLite, Backend::MariaDB),
                         [](const auto& info) { return std::string(backendName(info.param)); });
