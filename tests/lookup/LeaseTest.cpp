#include "lookup/Lease.h"

#include "HarvestFixture.h"
#include "lookup/QueueStatus.h"
#include "lookup/RequestQueue.h"

#include <gtest/gtest.h>

using lookup::Claim;
using lookup::LeaseHolder;
using lookup::Outcome;
using lookup::SearchQuery;
using namespace testing_support;

namespace {

// One harvester's view of the queue: its own connection, sink and leases.
struct Harvester
{
    Harvester(const lookup::ConnectionValues& values, const LeaseHolder& holder)
    {
        db.OpenDb(values);
        leases.setHolder(holder);
        leases.setTimeout(60);
    }
    RecordingSink sink;
    lookup::Database db{sink};
    platform::SystemHost host;
    lookup::Leases leases{db, sink, host};
    Claim claim(const QString& type = "S") { return SearchQuery(db, type, &leases); }
};

class Lease : public HarvestFixture
{
protected:
    // What another host's harvester would find when the lease has run out:
    // the server's clock is real, so the test moves the expiry instead.
    void expire(const Claim& c)
    {
        t->exec("UPDATE StraatwijsLease SET ExpiresAt = 0 WHERE Request = ?", {c.key.value(0)});
    }
    QString lease(const Claim& c, const QString& columns)
    {
        return t
            ->lines("SELECT " + columns + " FROM StraatwijsLease WHERE Request = ?",
                    {c.key.value(0).toString()})
            .value(0);
    }
    // What another harvester does once the lease expired: hand it back and
    // claim the request anew.
    void takeOver()
    {
        Harvester other(t->values(), elsewhere);
        t->exec("UPDATE StraatwijsLease SET ExpiresAt = 0");
        ASSERT_EQ(other.leases.handBackExpired(), 1);
        ASSERT_TRUE(other.claim("").taken);
    }
    platform::SystemHost host;
    const LeaseHolder here = lookup::thisHolder(host, "192.0.2.7");
    const LeaseHolder elsewhere{"192.0.2.8", "elders", {4242, 1}};
};

} // namespace

// A lease's whole life between two hosts: claimed with the claim, renewed,
// handed back once expired (by one harvester only), after which its first
// holder can neither renew it nor close the request; the third expiry makes
// the request poison, which stays "L".
TEST_P(Lease, ExpiredLeasesGoBackOnceAndTheThirdExpiryIsPoison)
{
    t->addRequest("1011", "S");
    Harvester a(t->values(), elsewhere), b(t->values(), here), c(t->values(), here);
    Claim first = a.claim();
    ASSERT_TRUE(first.taken);
    EXPECT_EQ(lease(first, "HostName, Pid, Token, Attempts"), "elders|4242|" + first.token + "|1");
    EXPECT_TRUE(a.leases.renew(first));
    EXPECT_EQ(b.leases.handBackExpired(), 0) << "a live lease elsewhere stays";
    EXPECT_EQ(t->statuses("1011"), QStringList{"L"});

    expire(first);
    EXPECT_EQ(b.leases.handBackExpired(), 1);
    EXPECT_EQ(c.leases.handBackExpired(), 0) << "handed back once";
    EXPECT_EQ(t->statuses("1011"), QStringList{"N"});
    EXPECT_TRUE(b.sink.lines.last().contains("teruggegeven: de lease van elders (proces 4242) is "
                                             "verlopen, poging 1 van 3"))
        << b.sink.lines.last().toStdString();
    EXPECT_FALSE(a.leases.renew(first));
    EXPECT_FALSE(a.db.inTransaction("test", [&] { return a.leases.release(first); }));

    for (int attempt = 2; attempt <= 3; ++attempt) {
        const Claim again = a.claim();
        ASSERT_TRUE(again.taken);
        EXPECT_EQ(lease(again, "Attempts"), QString::number(attempt));
        expire(again);
        EXPECT_EQ(b.leases.handBackExpired(), attempt < 3 ? 1 : 0);
    }
    EXPECT_EQ(t->statuses("1011"), QStringList{"L"});
    EXPECT_EQ(b.sink.colours.last(), 0x0000FFu);
    EXPECT_TRUE(b.sink.lines.last().endsWith("blijft L: de lease is 3 keer verlopen zonder "
                                             "afsluiting"));
    const qsizetype lines = b.sink.lines.size();
    b.leases.handBackExpired();
    EXPECT_EQ(b.sink.lines.size(), lines) << "poison is reported once";
}

// On its own host a harvester gives back at once the lease of a process that
// is gone (or whose id now belongs to another process), never its own or a
// live one; --release-stranded also gives back what has no lease at all, and
// the status shows each kind.
TEST_P(Lease, GoneProcessesAndStrandedRequestsGoBackButLiveLeasesStay)
{
    for (const char* q : {"1011", "1012", "1013", "1014", "1015"})
        t->addRequest(q, "S");
    t->addRequest("9999", "M", "L"); // stranded: set by hand, no lease
    LeaseHolder reused = here;
    reused.process.started -= 1000;
    Harvester mine(t->values(), here), gone(t->values(), reused), other(t->values(), elsewhere);
    const Claim live = mine.claim(), dead = gone.claim(), far = other.claim();
    const Claim poison = other.claim();
    t->exec("UPDATE StraatwijsLease SET Attempts = 3, ExpiresAt = 0 WHERE Request = ?",
            {poison.key.value(0)});

    EXPECT_EQ(mine.leases.handBackExpired(), 1);
    EXPECT_EQ(t->statuses(dead.Query), QStringList{"N"});
    EXPECT_TRUE(mine.sink.lines.contains(
        QString("Verzoek %1 (%2, S) teruggegeven: %3 (proces %4) draait niet meer, poging 1 van 3")
            .arg(dead.key.value(0).toString(), dead.Query, here.hostName)
            .arg(here.process.pid)))
        << mine.sink.lines.join("\n").toStdString();

    lookup::QueueStatus status = lookup::readQueueStatus(mine.db);
    EXPECT_TRUE(status.leasesInUse);
    EXPECT_EQ(status.requests.value("S"), (QMap<QString, int>{{"L", 3}, {"N", 2}}));
    EXPECT_EQ(status.stranded, 1);
    ASSERT_EQ(status.leases.size(), 2);
    EXPECT_EQ(status.leases.at(1).query, far.Query);
    EXPECT_EQ(status.leases.at(1).host, "elders");
    EXPECT_GT(status.leases.at(1).expiresInSeconds, 50);
    ASSERT_EQ(status.poison.size(), 1);
    EXPECT_EQ(status.poison.at(0).attempts, 3);
    EXPECT_EQ(status.leases.at(0).pid, here.process.pid);
    EXPECT_EQ(status.poison.at(0).query, poison.Query);

    EXPECT_EQ(mine.leases.releaseStranded(), 1);
    EXPECT_EQ(t->statuses("9999"), QStringList{"N"});
    for (const Claim& held : {live, far, poison})
        EXPECT_EQ(t->statuses(held.Query), QStringList{"L"}) << held.Query.toStdString();
    EXPECT_EQ(lookup::readQueueStatus(mine.db).stranded, 0);
}

// A Requests table that leases cannot serve (no key), or a user who may not
// make the lease table: claims go without leases, as before, and every
// request in progress counts as stranded.
TEST(LeaseWithout, KeyOrPrivilegeClaimsGoOnAsBefore)
{
    if (!TestDatabase::available(Backend::MariaDB))
        GTEST_SKIP() << "no test MariaDB server";
    for (const bool keyless : {true, false}) {
        TestDatabase t(Backend::MariaDB);
        lookup::ConnectionValues values = t.values();
        t.exec("DROP TABLE StraatwijsLease");
        if (keyless) {
            t.exec("ALTER TABLE Requests DROP COLUMN Id");
        } else {
            t.exec("CREATE USER IF NOT EXISTS 'zonderleases'@'127.0.0.1' IDENTIFIED BY 'x'");
            t.exec(QString("GRANT SELECT, INSERT, UPDATE, DELETE ON `%1`.* TO "
                           "'zonderleases'@'127.0.0.1'")
                       .arg(values.Database));
            values.UID = "zonderleases";
            values.PWD = "x";
        }
        t.addRequest("1011", "S");
        t.addRequest("1012", "S", "L");
        Harvester h(values, {});
        const Claim c = h.claim();
        EXPECT_TRUE(c.taken);
        EXPECT_TRUE(c.token.isEmpty());
        EXPECT_EQ(t.lines("SELECT Status FROM Requests WHERE Query = '1011'"), QStringList{"L"});
        EXPECT_EQ(h.sink.colours.contains(0x0000FFu), !keyless)
            << h.sink.lines.join("\n").toStdString();
        const lookup::QueueStatus status = lookup::readQueueStatus(h.db);
        EXPECT_FALSE(status.leasesInUse);
        EXPECT_EQ(status.stranded, 2);
        EXPECT_THROW(h.leases.releaseStranded(), platform::RunError);
        EXPECT_EQ(t.countStatus("L"), 2);
    }
}

// The lease is renewed through the long pauses of a big request; a renewal
// that finds it taken ends the walk at once, and a harvester that finds out
// only at its close (it slept past its lease) is fenced out. Either way it
// stores nothing and leaves the request to the other harvester.
TEST_P(Lease, ALostLeaseEndsTheWalkAndTheFenceStopsALateClose)
{
    t->addRequest("1011", "B");
    load(site.baseUrl(), 5); // renewed every 1.25 s of the 10 s pauses
    int slices = 0;
    te.wait.during = [&](qint32 ms) {
        if (ms == 1250 && ++slices == 10) // in the second search's pause
            takeOver();
    };
    EXPECT_EQ(engine.DoQuery("B").outcome, Outcome::LeaseLost);
    EXPECT_EQ(te.wait.pauses.count(1250), 10) << "the walk ended at the next beat";
    EXPECT_EQ(te.wait.pausesLongerThan(1250), QList<qint32>{}) << "pauses come in slices";
    EXPECT_EQ(sink.lines.last(), "1011 (B): 0 rijen opgeslagen, lease verloren: een andere "
                                 "harvester heeft het verzoek overgenomen");
    EXPECT_EQ(sink.colours.last(), 0x0000FFu);
    EXPECT_EQ(t->statuses("1011"), QStringList{"L"});
    EXPECT_EQ(t->lines("SELECT HostName FROM StraatwijsLease"), QStringList{"elders"});

    // A small request without pauses: the take-over comes while its only
    // page loads, long before a renewal is due; the close finds it.
    t->exec("DELETE FROM StraatwijsLease");
    t->exec("UPDATE Requests SET Status = 'Y'");
    t->addRequest("1012", "S");
    load(site.baseUrl());
    bool once = false;
    te.wait.during = [&](qint32 ms) {
        if (ms > 0 && !std::exchange(once, true)) // while the page loads
            takeOver();
    };
    EXPECT_EQ(engine.DoQuery("S").outcome, Outcome::LeaseLost);
    EXPECT_EQ(t->harvested(), QStringList{});
    EXPECT_EQ(t->statuses("1012"), QStringList{"L"});
    EXPECT_EQ(t->lines("SELECT HostName, Attempts FROM StraatwijsLease"), QStringList{"elders|2"});
}

INSTANTIATE_TEST_SUITE_P(Backends, Lease, BothBackends, nameOf);
