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
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>

using namespace testing_support;

namespace {

using Texts = QList<std::pair<QString, int>>; // request text, its number of results

// Distinct request texts the site answers: postcodes, and every tenth a
// four-digit area of one to three pages, each round through the site's data
// with one more leading blank (which the site ignores and the harvester keeps).
Texts requestTexts(TestDatabase& t, int n)
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
        out.append({text, int(postcodesite::searchRows(text).size())});
        t.addRequest(text, "S");
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
// otherwise dropped.
std::unique_ptr<QProcess> startHarvester(const TestDatabase& t, const QString& url, int count,
                                         bool lines = false)
{
    const lookup::ConnectionValues c = t.values();
    QStringList args{"--headless", "--small", QString::number(count), "--url", url};
    if (t.backend() == Backend::SQLite)
        args << "--db-sqlite" << c.SqlitePath;
    else
        args << "--db-server" << c.Server << "--db-port" << QString::number(c.Port) << "--db-user"
             << c.UID << "--db-name" << c.Database;
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
// back ("N") or left in progress ("L") by a crash. Returns the number of
// requests in each status.
QHash<QString, int> checkNothingLostOrDoubled(TestDatabase& t, const Texts& texts)
{
    QHash<QString, int> stored, counts;
    for (const QString& q : t.lines("SELECT Query FROM Straatwijs"))
        ++stored[q];
    QHash<QString, QString> status;
    for (const QString& line : t.lines("SELECT Query, Status FROM Requests"))
        status.insert(line.section('|', 0, -2), line.section('|', -1));
    qint64 rows = 0;
    for (const auto& [text, results] : texts) {
        const QString s = status.value(text);
        ++counts[s];
        rows += s == "Y" ? results : 0;
        EXPECT_EQ(stored.value(text), s == "Y" ? results : 0)
            << s.toStdString() << " \"" << text.toStdString() << '"';
    }
    EXPECT_EQ(t.lines("SELECT COUNT(*) FROM Straatwijs"), QStringList{QString::number(rows)});
    EXPECT_EQ(counts.value(""), 0); // no request is lost
    return counts;
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

// Eight harvesters share one database and are killed (SIGKILL) at random
// and started again until the queue is empty: every request ends "Y" with
// its rows exactly once, or "L" without any, never twice.
TEST(Soak, EightHarvestersKilledAtRandomNeverDoubleARequest)
{
    if (!TestDatabase::available(Backend::MariaDB))
        GTEST_SKIP() << "no test MariaDB server";
    const int n = 2000;
    TestDatabase t(Backend::MariaDB);
    const Texts texts = requestTexts(t, n);
    Site site;
    std::vector<std::unique_ptr<QProcess>> harvesters;
    for (int i = 0; i < 8; ++i)
        harvesters.push_back(startHarvester(t, site.url, n));
    auto* random = QRandomGenerator::global();
    int kills = 0;
    QElapsedTimer clock;
    clock.start();
    while (t.countStatus("N") > 0 && clock.elapsed() < 600000) {
        QThread::msleep(50 + random->bounded(250));
        auto& victim = harvesters.at(random->bounded(int(harvesters.size())));
        if (victim->state() == QProcess::Running) {
            ::kill(pid_t(victim->processId()), SIGKILL);
            victim->waitForFinished();
            ++kills;
        }
        victim = startHarvester(t, site.url, n);
    }
    // The queue is empty: the harvesters finish what they hold and end.
    for (auto& h : harvesters)
        EXPECT_TRUE(h->waitForFinished(120000));
    const auto counts = checkNothingLostOrDoubled(t, texts);
    std::cerr << counts.value("Y") << " done, " << counts.value("L") << " left in progress by "
              << kills << " kills" << std::endl;
    EXPECT_EQ(counts.value("N"), 0);
    EXPECT_LE(counts.value("L"), kills);
}
