// Soak and fault runs of the real harvester (with its pauses skipped)
// against the local site: many requests in one run, a database restart in
// the middle of a batch, and harvesters killed at random. Minutes long, so
// not part of ctest: scripts/soak runs them.
#include "SiteData.h"
#include "support/TestDatabase.h"

#include <QDir>
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

// Distinct request texts the site answers, each with its number of results:
// postcodes and four-digit areas written with other blanks and letter case,
// which the site ignores and the harvester keeps apart (every tenth text an
// area of one to three pages).
QList<std::pair<QString, int>> requestTexts(int n)
{
    QStringList postcodes, areas;
    for (const auto& row : postcodesite::siteRows()) {
        postcodes << QString(row.postcode).remove(u' ');
        if (!areas.contains(row.postcode.left(4)))
            areas << row.postcode.left(4);
    }
    QList<std::pair<QString, int>> out;
    for (int i = 0; i < n; ++i) {
        const int k = i / 10;
        QString text;
        if (i % 10 == 0) {
            const QString a = areas.at(k % areas.size());
            const int v = k / int(areas.size());
            text = QString(v % 5, u' ') + a.left(2) + QString(v / 5 % 5, u' ') + a.mid(2) +
                   QString(v / 25 % 5, u' ');
        } else {
            const QString p = postcodes.at(i % postcodes.size());
            const int v = i / int(postcodes.size());
            text = QString(v % 5, u' ') + p.left(4) + QString(v / 5 % 5, u' ') +
                   (v / 25 % 2 ? p.mid(4).toLower() : p.mid(4));
        }
        out.append({text, int(postcodesite::searchRows(text).size())});
    }
    return out;
}

// The local site as a process of its own, so it keeps up with several
// harvesters whatever this process does.
struct Site
{
    Site()
    {
        process.start(POSTCODE_SITE_PROGRAM, {"--port", "0"});
        EXPECT_TRUE(process.waitForStarted() && process.waitForReadyRead(5000));
        url = "http://127.0.0.1:" + QString::fromUtf8(process.readLine()).trimmed();
    }
    ~Site()
    {
        process.kill();
        process.waitForFinished();
    }
    QProcess process;
    QString url;
};

QStringList harvesterArguments(const TestDatabase& t, const QString& url, int count)
{
    const lookup::ConnectionValues c = t.values();
    QStringList args{"--headless", "--small", QString::number(count), "--url", url};
    if (t.backend() == Backend::SQLite)
        return args << "--db-sqlite" << c.SqlitePath;
    return args << "--db-server" << c.Server << "--db-port" << QString::number(c.Port)
                << "--db-user" << c.UID << "--db-name" << c.Database;
}

QProcess* startHarvester(const TestDatabase& t, const QString& url, int count)
{
    auto* p = new QProcess;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("STRAATWIJS_DB_PASSWORD", t.values().PWD);
    p->setProcessEnvironment(env);
    p->setStandardOutputFile(QProcess::nullDevice());
    p->start(SOAK_HARVESTER_PROGRAM, harvesterArguments(t, url, count));
    EXPECT_TRUE(p->waitForStarted());
    return p;
}

// Every request is "Y" with exactly its rows, or holds none of them: given
// back ("N") or left in progress ("L") by a crash. Returns the number of
// requests in each status.
QHash<QString, int> checkNothingLostOrDoubled(TestDatabase& t,
                                              const QList<std::pair<QString, int>>& texts)
{
    QHash<QString, int> stored;
    for (const QString& q : t.lines("SELECT Query FROM Straatwijs"))
        ++stored[q];
    QHash<QString, QString> status;
    for (const QString& line : t.lines("SELECT Status, Query FROM Requests"))
        status.insert(line.section('|', 1), line.section('|', 0, 0));
    QHash<QString, int> counts;
    qint64 expectedRows = 0;
    for (const auto& [text, results] : texts) {
        const QString s = status.value(text);
        ++counts[s];
        if (s == "Y") {
            EXPECT_EQ(stored.value(text), results) << '"' << text.toStdString() << '"';
            expectedRows += results;
        } else {
            EXPECT_EQ(stored.value(text), 0) << s.toStdString() << " \"" << text.toStdString();
        }
    }
    EXPECT_EQ(t.lines("SELECT COUNT(*) FROM Straatwijs"),
              QStringList{QString::number(expectedRows)});
    return counts;
}

void addRequests(TestDatabase& t, const QList<std::pair<QString, int>>& texts)
{
    t.connection().transaction();
    for (const auto& [text, results] : texts)
        t.addRequest(text, "S");
    t.connection().commit();
}

qint64 residentKiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

int count(TestDatabase& t, const char* status)
{
    return t.countStatus(QString::fromLatin1(status));
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
    const auto texts = requestTexts(n);
    addRequests(t, texts);
    Site site;
    std::unique_ptr<QProcess> harvester(startHarvester(t, site.url, n));
    QList<std::pair<int, qint64>> samples; // requests done, resident KiB
    while (!harvester->waitForFinished(1000)) {
        samples.append({count(t, "Y"), residentKiB(harvester->processId())});
        std::cerr << "  " << samples.last().first << " requests, " << samples.last().second
                  << " KiB" << std::endl;
    }
    EXPECT_EQ(harvester->exitCode(), 0) << harvester->readAllStandardError().toStdString();
    const auto counts = checkNothingLostOrDoubled(t, texts);
    EXPECT_EQ(counts.value("Y"), n);

    // From a fifth of the run on, the process grows by at most 8 MiB. The
    // sanitizer build keeps freed memory in quarantine: memory says nothing
    // there (LeakSanitizer does).
    if (qEnvironmentVariableIsSet("ASAN_OPTIONS"))
        return;
    qint64 early = 0, peak = 0;
    for (const auto& [done, kib] : samples) {
        if (done >= n / 5 && early == 0)
            early = kib;
        if (early > 0)
            peak = std::max(peak, kib);
    }
    ASSERT_GT(early, 0);
    std::cerr << "resident after " << n / 5 << " requests: " << early
              << " KiB, peak after: " << peak << " KiB" << std::endl;
    EXPECT_LT(peak - early, 8 * 1024);
}

// The database server restarts in the middle of a batch: the run fails
// (status 1), every request it finished is complete, the one it was working
// on holds no rows, and the rest is still open.
TEST(Soak, DatabaseRestartMidBatchStoresNothingHalf)
{
    if (!TestDatabase::available(Backend::MariaDB))
        GTEST_SKIP() << "no test MariaDB server";
    TestDatabase t(Backend::MariaDB);
    const auto texts = requestTexts(400);
    addRequests(t, texts);
    Site site;
    std::unique_ptr<QProcess> harvester(startHarvester(t, site.url, 400));
    QElapsedTimer clock;
    clock.start();
    while (count(t, "Y") < 100 && clock.elapsed() < 60000)
        QThread::msleep(20);
    ASSERT_EQ(QProcess::execute(MARIADB_FIXTURE,
                                {"restart", qEnvironmentVariable("STRAATWIJS_TEST_MARIADB")}),
              0);
    ASSERT_TRUE(harvester->waitForFinished(90000));
    EXPECT_EQ(harvester->exitCode(), 1) << harvester->readAllStandardError().toStdString();
    // The test's own connection went down with the server; a new one.
    t.reopen();
    const auto counts = checkNothingLostOrDoubled(t, texts);
    EXPECT_GE(counts.value("Y"), 100);
    EXPECT_LE(counts.value("L"), 1);
    EXPECT_EQ(counts.value("Y") + counts.value("L") + counts.value("N"), 400);
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
    const auto texts = requestTexts(n);
    addRequests(t, texts);
    Site site;
    std::vector<std::unique_ptr<QProcess>> harvesters;
    for (int i = 0; i < 8; ++i)
        harvesters.emplace_back(startHarvester(t, site.url, n));
    auto* random = QRandomGenerator::global();
    int kills = 0;
    QElapsedTimer clock;
    clock.start();
    while (count(t, "N") > 0 && clock.elapsed() < 600000) {
        QThread::msleep(50 + random->bounded(250));
        auto& victim = harvesters.at(random->bounded(int(harvesters.size())));
        if (victim->state() == QProcess::Running) {
            ::kill(pid_t(victim->processId()), SIGKILL);
            victim->waitForFinished();
            ++kills;
        }
        victim.reset(startHarvester(t, site.url, n));
    }
    // The queue is empty: the harvesters finish what they hold and end.
    for (auto& h : harvesters)
        EXPECT_TRUE(h->waitForFinished(120000));
    const auto counts = checkNothingLostOrDoubled(t, texts);
    std::cerr << counts.value("Y") << " done, " << counts.value("L") << " left in progress by "
              << kills << " kills" << std::endl;
    EXPECT_EQ(counts.value("N"), 0);
    EXPECT_LE(counts.value("L"), kills);
    EXPECT_EQ(counts.value("Y") + counts.value("L"), n);
}
