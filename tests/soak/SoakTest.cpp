// Soak and fault runs of the real harvester (with its pauses skipped)
// against the local site: many requests in one run, a database restart in
// the middle of a batch, and harvesters killed at random. Minutes long, so
// not part of ctest: scripts/soak runs them.
#include "SiteData.h"
#include "support/TestDatabase.h"

#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRandomGenerator>
#include <csignal>
#include <gtest/gtest.h>

using namespace testing_support;

namespace {

using Texts = QList<std::pair<QString, int>>; // request text, its number of results

// Distinct request texts the site answers: postcodes, and every tenth a
// four-digit area of one to three pages, each round through the site's data
// with one more leading blank (which the site ignores and the harvester keeps).
// `copies`: each text queued that many times, one after the other.
Texts requestTexts(TestDatabase& t, int n, int copies = 1)
{
    QStringList postcodes, areas;
    for (const auto& row : postcodesite::siteRows()) {
        postcodes << QString(row.postcode).remove(u' ');
        if (!areas.contains(row.postcode.left(4)))
            areas << row.postcode.left(4);
    }
    Texts out;
    t.connection().transaction();
    for (int i = 0; i < n; ++i) {
        const QStringList& pool = i % 10 ? postcodes : areas;
        const int k = i % 10 ? i : i / 10;
        const QString text = QString(k / pool.size(), u' ') + pool.at(k % pool.size());
        for (int c = 0; c < copies; ++c) {
            out.append({text, int(postcodesite::searchRows(text).size())});
            t.addRequest(text, "S");
        }
    }
    t.connection().commit();
    return out;
}

// The local site as a process of its own, so it keeps up with several
// harvesters whatever this process does.
struct Site : QProcess
{
    Site()
    {
        start(POSTCODE_SITE_PROGRAM, {"--port", "0"});
        EXPECT_TRUE(waitForStarted() && waitForReadyRead(5000));
        url = "http://127.0.0.1:" + QString::fromUtf8(readLine()).trimmed();
    }
    ~Site() override
    {
        kill();
        waitForFinished();
    }
    QString url;
};

// `lines`: its output is kept to be read (a line per finished request);
// otherwise dropped. `port`: another server of the cluster than the test's.
std::unique_ptr<QProcess> startHarvester(const TestDatabase& t, const QString& url, int count,
                                         bool lines = false, const QStringList& more = {},
                                         int port = 0)
{
    const lookup::ConnectionValues c = t.values();
    QStringList args =
        QStringList{"--headless", "--small", QString::number(count), "--url", url} + more;
    if (t.backend() == Backend::SQLite)
        args << "--db-sqlite" << c.SqlitePath;
    else
        args << "--db-server" << c.Server << "--db-port" << QString::number(port ? port : c.Port)
             << "--db-user" << c.UID << "--db-name" << c.Database;
    auto p = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("STRAATWIJS_DB_PASSWORD", c.PWD);
    p->setProcessEnvironment(env);
    if (!lines)
        p->setStandardOutputFile(QProcess::nullDevice());
    p->start(SOAK_HARVESTER_PROGRAM, args);
    EXPECT_TRUE(p->waitForStarted());
    return p;
}

// Every request is "Y" with exactly its rows, or holds none of them: given
// back ("N") or left in progress ("L"). A text queued twice has its rows
// once for each of its requests that is "Y". Returns the number of requests
// in each status.
QHash<QString, int> checkNothingLostOrDoubled(TestDatabase& t, const Texts& texts)
{
    QHash<QString, int> stored, counts, done, results;
    for (const QString& q : t.lines("SELECT Query FROM Straatwijs"))
        ++stored[q];
    for (const QString& line : t.lines("SELECT Query, Status FROM Requests")) {
        const QString status = line.section('|', -1);
        ++counts[status];
        done[line.section('|', 0, -2)] += status == "Y" ? 1 : 0;
    }
    for (const auto& [text, n] : texts)
        results.insert(text, n);
    qint64 rows = 0;
    for (auto r = results.cbegin(); r != results.cend(); ++r) {
        rows += qint64(done.value(r.key())) * r.value();
        EXPECT_EQ(stored.value(r.key()), done.value(r.key()) * r.value())
            << done.value(r.key()) << " times \"" << r.key().toStdString() << "\" done";
    }
    EXPECT_EQ(t.lines("SELECT COUNT(*) FROM Straatwijs"), QStringList{QString::number(rows)});
    EXPECT_EQ(counts.value("N") + counts.value("L") + counts.value("Y"), texts.size())
        << "no request is lost";
    return counts;
}

// Starts harvesters until no request is open or in progress: each one
// gives back at once the requests of harvesters that died on this host, and
// those whose lease expired. Returns false when that takes over `limitMs`.
bool drain(TestDatabase& t, const QString& url, const QStringList& more, int limitMs)
{
    QElapsedTimer clock;
    clock.start();
    while (t.countStatus("N") + t.countStatus("L") > 0) {
        if (clock.elapsed() > limitMs)
            return false;
        const auto h = startHarvester(t, url, 1000, false, more);
        EXPECT_TRUE(h->waitForFinished(120000));
        EXPECT_EQ(h->exitCode(), 0) << h->readAllStandardError().toStdString();
    }
    return true;
}

qint64 residentKiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    status.open(QIODevice::ReadOnly);
    const QByteArray text = status.readAll();
    return text.mid(text.indexOf("VmRSS:") + 6).trimmed().split(' ').value(0).toLongLong();
}

} // namespace

// 5,000 requests in one run: every one harvested once, resident memory flat
// once the message log has reached its bound (and, in the sanitizer build,
// no leak at the end: LeakSanitizer would make the exit status non-zero).
TEST(Soak, FiveThousandRequestsInOneRunKeepMemoryFlat)
{
    const int n = qEnvironmentVariableIsSet("STRAATWIJS_SOAK_REQUESTS")
                      ? qEnvironmentVariableIntValue("STRAATWIJS_SOAK_REQUESTS")
                      : 5000;
    TestDatabase t(Backend::SQLite);
    const Texts texts = requestTexts(t, n);
    Site site;
    const auto harvester = startHarvester(t, site.url, n);
    // From a fifth of the run on, the process grows by at most 8 MiB.
    qint64 early = 0, peak = 0;
    while (!harvester->waitForFinished(1000)) {
        const int done = t.countStatus("Y");
        const qint64 kib = residentKiB(harvester->processId());
        std::cerr << "  " << done << " requests, " << kib << " KiB" << std::endl;
        early = early == 0 && done >= n / 5 ? kib : early;
        peak = early > 0 ? std::max(peak, kib) : 0;
    }
    EXPECT_EQ(harvester->exitCode(), 0) << harvester->readAllStandardError().toStdString();
    EXPECT_EQ(checkNothingLostOrDoubled(t, texts).value("Y"), n);
    // The sanitizer build keeps freed memory in quarantine: memory says
    // nothing there (LeakSanitizer does).
    if (!qEnvironmentVariableIsSet("ASAN_OPTIONS")) {
        ASSERT_GT(early, 0);
        EXPECT_LT(peak - early, 8 * 1024) << "from " << early << " KiB";
    }
}

// The database server restarts in the middle of a batch: the run fails
// (status 1), every request it finished is complete, the one it was working
// on holds no rows, and the rest is still open.
TEST(Soak, DatabaseRestartMidBatchStoresNothingHalf)
{
    if (!TestDatabase::available(Backend::MariaDB))
        GTEST_SKIP() << "no test MariaDB server";
    TestDatabase t(Backend::MariaDB);
    const Texts texts = requestTexts(t, 400);
    Site site;
    const auto harvester = startHarvester(t, site.url, 400, true);
    // The server goes down once the harvester has reported 100 requests "Y".
    int stored = 0;
    while (stored < 100 && harvester->waitForReadyRead(60000))
        while (harvester->canReadLine())
            stored += harvester->readLine().contains("status Y") ? 1 : 0;
    ASSERT_EQ(QProcess::execute(MARIADB_FIXTURE,
                                {"restart", qEnvironmentVariable("STRAATWIJS_TEST_MARIADB")}),
              0);
    ASSERT_TRUE(harvester->waitForFinished(90000));
    EXPECT_EQ(harvester->exitCode(), 1) << harvester->readAllStandardError().toStdString();
    t.reopen(); // the test's own connection went down with the server
    const auto counts = checkNothingLostOrDoubled(t, texts);
    EXPECT_GE(counts.value("Y"), 100);
    EXPECT_LE(counts.value("L"), 1);
}

// Leases in the soak expire after 5 s, the shortest allowed.
const QStringList ShortLease{"--lease-timeout", "5"};

class SoakOn : public ::testing::TestWithParam<Backend>
{
protected:
    void SetUp() override
    {
        if (!TestDatabase::available(GetParam()))
            GTEST_SKIP() << "no test MariaDB server";
    }
};

// Eight harvesters share one database and are killed (SIGKILL) at random
// and started again while requests are open; then harvesters run until
// the queue is empty. The requests of the killed ones are given back by
// the next claim on this host (their process is gone), so in the end every
// request is "Y" with its rows exactly once and none is left "L".
TEST_P(SoakOn, HarvestersKilledAtRandomStrandNothing)
{
    const int n = GetParam() == Backend::MariaDB ? 2000 : 600;
    TestDatabase t(GetParam());
    const Texts texts = requestTexts(t, n);
    Site site;
    std::vector<std::unique_ptr<QProcess>> harvesters;
    for (int i = 0; i < 8; ++i)
        harvesters.push_back(startHarvester(t, site.url, n, false, ShortLease));
    auto* random = QRandomGenerator::global();
    int kills = 0;
    QElapsedTimer clock;
    clock.start();
    while (t.countStatus("N") > 0 && clock.elapsed() < 600000) {
        auto& victim = harvesters.at(random->bounded(int(harvesters.size())));
        // A random while, or less when the victim ends of itself.
        if (!victim->waitForFinished(50 + random->bounded(250))) {
            ::kill(pid_t(victim->processId()), SIGKILL);
            victim->waitForFinished();
            ++kills;
        }
        victim = startHarvester(t, site.url, n, false, ShortLease);
    }
    for (auto& h : harvesters)
        EXPECT_TRUE(h->waitForFinished(120000));
    const int left = t.countStatus("L");
    EXPECT_TRUE(drain(t, site.url, ShortLease, 120000));
    const auto counts = checkNothingLostOrDoubled(t, texts);
    std::cerr << backendName(GetParam()) << ": " << n << " requests, " << kills << " kills, "
              << left << " left \"L\" by them and given back, " << counts.value("L")
              << " \"L\" at the end" << std::endl;
    EXPECT_EQ(counts.value("Y"), n);
}

// A harvester stopped (SIGSTOP: a suspended machine, a stalled disk) past
// its lease: another one takes the request back and harvests it; the first,
// resumed, stores nothing and goes on with its batch.
TEST_P(SoakOn, AStalledHarvesterStoresNothingWhenItWakes)
{
    TestDatabase t(GetParam());
    const Texts texts{{"1012", int(postcodesite::searchRows("1012").size())}}; // three pages
    t.addRequest("1012", "S");
    Site site;
    const auto stalled = startHarvester(t, site.url + "/slow/1500", 1, true, ShortLease);
    ASSERT_TRUE(stalled->waitForReadyRead(20000));
    while (t.countStatus("L") == 0)
        ASSERT_TRUE(stalled->waitForReadyRead(20000));
    ::kill(pid_t(stalled->processId()), SIGSTOP);
    // Until its lease expires the request stays with it; then the next
    // harvester takes it back.
    QElapsedTimer clock;
    clock.start();
    while (t.countStatus("Y") == 0) {
        ASSERT_LT(clock.elapsed(), 60000);
        const auto other = startHarvester(t, site.url, 1, true, ShortLease);
        ASSERT_TRUE(other->waitForFinished(60000));
        ASSERT_EQ(other->exitCode(), 0) << other->readAllStandardError().toStdString();
    }
    EXPECT_GE(clock.elapsed(), 3000) << "taken back only once the lease expired";
    ::kill(pid_t(stalled->processId()), SIGCONT);
    ASSERT_TRUE(stalled->waitForFinished(60000));
    EXPECT_EQ(stalled->exitCode(), 0) << stalled->readAllStandardError().toStdString();
    const QString out = QString::fromUtf8(stalled->readAllStandardOutput());
    EXPECT_TRUE(out.contains("0 rijen opgeslagen, lease verloren")) << out.toStdString();
    EXPECT_EQ(checkNothingLostOrDoubled(t, texts).value("Y"), 1);
}

INSTANTIATE_TEST_SUITE_P(Backends, SoakOn, ::testing::Values(Backend::SQLite, Backend::MariaDB),
                         [](const auto& info) { return backendName(info.param); });

namespace {

// The nodes of the cluster that scripts/galera started (STRAATWIJS_TEST_GALERA).
QList<int> galeraPorts()
{
    QList<int> ports;
    const QString dir = qEnvironmentVariable("STRAATWIJS_TEST_GALERA");
    for (int node = 1; !dir.isEmpty() && node <= 3; ++node) {
        QFile env(QStringLiteral("%1/node%2.env").arg(dir).arg(node));
        if (!env.open(QIODevice::ReadOnly))
            return {};
        for (const QByteArray& line : env.readAll().split('\n'))
            if (line.startsWith("port="))
                ports << line.mid(5).toInt();
    }
    return ports;
}

int galera(const QString& command, int node)
{
    return QProcess::execute(
        GALERA_SCRIPT,
        {command, qEnvironmentVariable("STRAATWIJS_TEST_GALERA"), QString::number(node)});
}

} // namespace

// Nine harvesters, three on each node of a Galera cluster, on a queue
// where every text stands twice, so that harvesters on different nodes
// store identical rows at the same moment. First undisturbed: every one
// ends with status 0 and every request is "Y" with its rows exactly once.
// Then node 2 is killed in the middle of a run and started again: its
// harvesters end with status 1, their requests are taken back, and in the
// end every request is again "Y" once with exactly its rows.
TEST(Soak, GaleraTwinRequestsAndANodeLoss)
{
    const QList<int> ports = galeraPorts();
    if (ports.size() != 3)
        GTEST_SKIP() << "no Galera cluster (scripts/soak --galera starts one)";
    for (const bool nodeLoss : {false, true}) {
        SCOPED_TRACE(nodeLoss ? "node loss" : "undisturbed");
        const int texts = 300;
        TestDatabase t(Backend::MariaDB);
        const Texts queued = requestTexts(t, texts, 2);
        Site site;
        std::vector<std::unique_ptr<QProcess>> harvesters;
        for (int i = 0; i < 9; ++i)
            harvesters.push_back(
                startHarvester(t, site.url, 2 * texts, false, ShortLease, ports.at(i % 3)));
        if (nodeLoss) {
            QElapsedTimer clock;
            clock.start();
            while (t.countStatus("Y") < texts / 2 && clock.elapsed() < 300000)
                harvesters.front()->waitForFinished(200);
            ASSERT_EQ(galera("kill", 2), 0);
            ASSERT_EQ(galera("restart", 2), 0);
        }
        int failed = 0;
        for (size_t i = 0; i < harvesters.size(); ++i) {
            auto& h = harvesters.at(i);
            EXPECT_TRUE(h->waitForFinished(600000));
            const bool onLostNode = nodeLoss && i % 3 == 1;
            if (h->exitCode() != 0)
                ++failed;
            if (!onLostNode) {
                EXPECT_EQ(h->exitCode(), 0) << i << ": " << h->readAllStandardError().toStdString();
            }
        }
        const int left = t.countStatus("L") + t.countStatus("N");
        EXPECT_TRUE(drain(t, site.url, ShortLease, 300000));
        const auto counts = checkNothingLostOrDoubled(t, queued);
        std::cerr << (nodeLoss ? "node loss: " : "undisturbed: ") << 2 * texts << " requests, "
                  << failed << " harvesters ended with a failure, " << left
                  << " requests open or in progress after them, " << counts.value("Y")
                  << " \"Y\" at the end" << std::endl;
        EXPECT_EQ(counts.value("Y"), 2 * texts);
        if (!nodeLoss) {
            EXPECT_EQ(failed, 0);
        }
    }
}
