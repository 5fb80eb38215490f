#include "lookup/RequestQueue.h"

#include "lookup/Database.h"
#include "platform/RunError.h"
#include "support/RecordingSink.h"
#include "support/TestDatabase.h"

#include <QSet>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

using lookup::Database;
using lookup::ResetQuery;
using lookup::SearchQuery;
using namespace testing_support;

namespace {

class RequestQueue : public ::testing::TestWithParam<Backend>
{
protected:
    void SetUp() override
    {
        if (!TestDatabase::available(GetParam()))
            GTEST_SKIP() << "no test MariaDB server";
        t.emplace(GetParam());
        db.OpenDb(t->values());
    }
    RecordingSink sink;
    std::optional<TestDatabase> t;
    Database db{sink};
};

} // namespace

TEST_P(RequestQueue, TakesOneOpenRequestOfTheWantedType)
{
    QString type = "S";
    EXPECT_EQ(SearchQuery(db, type), "");
    EXPECT_EQ(type, "S");

    t->addRequest("Amsterdam", "B");
    t->addRequest("Utrecht", "B");
    t->addRequest("Gouda", "M", "Y");
    EXPECT_EQ(SearchQuery(db, type), "");
    EXPECT_EQ(type, "S");
    EXPECT_EQ(t->countStatus("N"), 2);

    type = "";
    const QString first = SearchQuery(db, type);
    EXPECT_TRUE(first == "Amsterdam" || first == "Utrecht") << first.toStdString();
    EXPECT_EQ(type, "B");
    EXPECT_EQ(t->statuses(first), QStringList{"L"});
    EXPECT_EQ(t->countStatus("N"), 1);

    type = "B";
    const QString second = SearchQuery(db, type);
    EXPECT_NE(second, first);
    EXPECT_EQ(t->countStatus("L"), 2);
    EXPECT_EQ(SearchQuery(db, type), "");
    EXPECT_EQ(t->statuses("Gouda"), QStringList{"Y"});
    EXPECT_TRUE(sink.lines.size() == 2) << "the queue reports nothing";
}

TEST_P(RequestQueue, ResetFinishesOrGivesBackOnlyTheFirstRequestInProgress)
{
    t->addRequest("Zwolle", "S");
    QString type;
    ASSERT_EQ(SearchQuery(db, type), "Zwolle");
    ResetQuery(db, "Zwolle", false); // the site blocked searching
    EXPECT_EQ(t->statuses("Zwolle"), QStringList{"N"});
    ResetQuery(db, "Zwolle", true); // nothing in progress: no change
    EXPECT_EQ(t->statuses("Zwolle"), QStringList{"N"});

    ASSERT_EQ(SearchQuery(db, type), "Zwolle");
    ResetQuery(db, "Zwolle", true);
    EXPECT_EQ(t->statuses("Zwolle"), QStringList{"Y"});

    t->addRequest("Ede", "S", "L");
    t->addRequest("Ede", "S", "L");
    ResetQuery(db, "Ede", true);
    QStringList ede = t->statuses("Ede");
    ede.sort();
    EXPECT_EQ(ede, QStringList({"L", "Y"}));
}

// Dutch place names start with an apostrophe; the table may carry columns
// of other systems and has no key column.
TEST_P(RequestQueue, QuotesAccentsAndForeignColumnsAreHarmless)
{
    t->exec("ALTER TABLE Requests ADD COLUMN Aanvrager VARCHAR(40) DEFAULT 'extern'");
    const QStringList names{"'s-Hertogenbosch", "'s-Gravenhage", "Oosterhout' OR '1'='1",
                            QString::fromUtf8("Sint-Oedenrode-Eé")};
    for (const QString& name : names)
        t->addRequest(name, "M");

    QStringList taken;
    QString type = "M";
    for (QString q; !(q = SearchQuery(db, type)).isEmpty();) {
        taken << q;
        ResetQuery(db, q, true);
    }
    taken.sort();
    QStringList expected = names;
    expected.sort();
    EXPECT_EQ(taken, expected);
    EXPECT_EQ(t->countStatus("Y"), names.size());
    EXPECT_EQ(t->rows("Requests").value(0).value("Aanvrager").toString(), "extern");
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
            QString type;
            for (QString q; !(q = SearchQuery(own, type)).isEmpty(); type.clear()) {
                std::lock_guard lock(mutex);
                taken << q;
            }
        } catch (const platform::RunError& e) {
            std::lock_guard lock(mutex);
            errors << e.text();
        }
    };
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back(harvester);
    for (std::thread& th : threads)
        th.join();

    ASSERT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
    EXPECT_EQ(taken.size(), requests);
    EXPECT_EQ(QSet<QString>(taken.begin(), taken.end()).size(), requests);
    EXPECT_EQ(t->countStatus("L"), requests);
}

INSTANTIATE_TEST_SUITE_P(Backends, RequestQueue,
                         ::testing::Values(Backend::SQLite, Backend::MariaDB),
                         [](const auto& info) { return backendName(info.param); });
