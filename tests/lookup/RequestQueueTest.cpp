#include "lookup/RequestQueue.h"

#include "HarvestFixture.h"
#include "platform/RunError.h"

#include <QSet>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

using lookup::Claim;
using lookup::Database;
using lookup::ResetQuery;
using lookup::SearchQuery;
using namespace testing_support;

using RequestQueue = DatabaseFixture;

// Each open request of the wanted type is taken once. Dutch place names
// start with an apostrophe; the table may carry columns of other systems.
// "s" is not "S", whatever the column's collation says: a request of an
// unknown type is never claimed (it would be searched for nothing and
// closed as done).
TEST_P(RequestQueue, TakesEachOpenRequestOfTheExactTypesOnce)
{
    db.OpenDb(t->values());
    if (GetParam() == Backend::SQLite) { // its own way to compare without case
        t->exec("DROP TABLE Requests");
        t->exec("CREATE TABLE Requests (Id INTEGER PRIMARY KEY, Query TEXT NOT NULL, Type TEXT "
                "COLLATE NOCASE NOT NULL, Status TEXT NOT NULL DEFAULT 'N')");
    }
    t->exec("ALTER TABLE Requests ADD COLUMN Aanvrager VARCHAR(40) DEFAULT 'extern'");
    EXPECT_FALSE(SearchQuery(db, "S").taken);
    QStringList names{"'s-Hertogenbosch", "Oosterhout' OR '1'='1",
                      QString::fromUtf8("Sint-Oedenrode-Eé")};
    for (const QString& name : names)
        t->addRequest(name, "B");
    t->addRequest("Gouda", "M", "Y");
    t->addRequest("5211", "s");
    t->addRequest("5212", "b");
    EXPECT_FALSE(SearchQuery(db, "S").taken);

    QStringList taken;
    for (Claim c; (c = SearchQuery(db, taken.isEmpty() ? "" : "B")).taken;) {
        EXPECT_EQ(c.Type, "B");
        EXPECT_EQ(t->statuses(c.Query), QStringList{"L"});
        taken << c.Query;
        ResetQuery(db, c, true);
    }
    EXPECT_FALSE(SearchQuery(db, "").taken);
    taken.sort();
    names.sort();
    EXPECT_EQ(taken, names);
    EXPECT_EQ(t->countStatus("Y"), 4);
    EXPECT_EQ(t->lines("SELECT Query, Type FROM Requests WHERE Status = 'N'"),
              QStringList({"5211|s", "5212|b"}));
    EXPECT_EQ(t->lines("SELECT DISTINCT Aanvrager FROM Requests"), QStringList{"extern"});
    EXPECT_EQ(sink.lines.size(), 2) << "the queue reports nothing";
}

// Two rows with the same text: one left "L" by an earlier crash, one open.
// Closing the claimed one must not touch the stale one.
TEST_P(RequestQueue, ResetClosesExactlyTheClaimedRow)
{
    db.OpenDb(t->values());
    t->addRequest("Zwolle", "S", "L");
    t->addRequest("Zwolle", "S");
    t->addRequest("Zwolle", "M");
    const Claim c = SearchQuery(db, "S");
    ASSERT_TRUE(c.taken);
    ResetQuery(db, c, true);
    EXPECT_EQ(t->statuses("Zwolle"), QStringList({"L", "Y", "N"}));

    const Claim m = SearchQuery(db, "M");
    ResetQuery(db, m, false); // given back
    EXPECT_EQ(t->statuses("Zwolle"), QStringList({"L", "Y", "N"}));
    ResetQuery(db, m, true); // no longer in progress: no change
    EXPECT_EQ(t->statuses("Zwolle"), QStringList({"L", "Y", "N"}));
}

// Four harvesters share one queue: every request is taken exactly once.
TEST_P(RequestQueue, ParallelHarvestersTakeEveryRequestExactlyOnce)
{
    const int requests = 400;
    ASSERT_TRUE(t->connection().transaction());
    for (int i = 0; i < requests; ++i)
        t->addRequest(QStringLiteral("Straat %1").arg(i), i % 2 ? "S" : "M");
    ASSERT_TRUE(t->connection().commit());

    std::mutex mutex;
    QStringList taken;
    QStringList errors;
    auto harvester = [&] {
        RecordingSink quiet;
        Database own(quiet);
        try {
            own.OpenDb(t->values());
            for (Claim c; (c = SearchQuery(own, "")).taken;) {
                std::lock_guard lock(mutex);
                taken << c.Query;
            }
        } catch (const platform::RunError& e) {
            std::lock_guard lock(mutex);
            errors << e.text();
        }
    };
    {
        std::jthread a(harvester), b(harvester), c(harvester), d(harvester);
    } // joined here

    ASSERT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
    EXPECT_EQ(taken.size(), requests);
    EXPECT_EQ(QSet<QString>(taken.begin(), taken.end()).size(), requests);
    EXPECT_EQ(t->countStatus("L"), requests);
}

INSTANTIATE_TEST_SUITE_P(Backends, RequestQueue, BothBackends, nameOf);
