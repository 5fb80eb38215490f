#include "app/HeadlessRun.h"

#include "PostcodeSite.h"
#include "messages/MessageLog.h"
#include "shell/Shell.h"
#include "support/TestDatabase.h"
#include "support/TestEnv.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

using namespace testing_support;

namespace {

// A headless batch on the embedded database and the local site, with
// recorded pauses.
struct HeadlessBatch
{
    HeadlessBatch() : t(Backend::SQLite)
    {
        EXPECT_TRUE(site.listen());
        shell.load();
        shell.SqlitePath = t.values().SqlitePath;
        shell.Url = site.baseUrl();
    }
    int run(int count)
    {
        app::Options options;
        options.headless = true;
        options.harvest = app::HarvestCommand::Small;
        options.count = count;
        QTextStream stream(&errors);
        return app::runHarvest(shell, options, stream);
    }

    TestEnv te;
    messages::MessageLog log{te.prompts};
    shell::Shell shell{te.env, log};
    postcodesite::PostcodeSite site{postcodesite::SiteOptions{.port = 0}};
    TestDatabase t;
    QString errors;
};

} // namespace

TEST(HeadlessRun, ExitStatusSaysHowTheBatchEnded)
{
    {
        HeadlessBatch b;
        b.t.addRequest("1010", "S");
        b.t.addRequest("1011", "S");
        EXPECT_EQ(b.run(5), app::ExitOk);
        EXPECT_EQ(b.t.countStatus("Y"), 2);
        EXPECT_EQ(b.t.rows("Straatwijs").size(), 21);
    }
    {
        HeadlessBatch b;
        b.site.options().blockAfterSearches = 1;
        b.t.addRequest("1010", "S");
        b.t.addRequest("9999", "S");
        b.t.addRequest("1011", "S");
        EXPECT_EQ(b.run(3), app::ExitBlocked);
        EXPECT_EQ(b.t.countStatus("Y"), 1);
        EXPECT_EQ(b.t.countStatus("N"), 2);
        // Two requests, each followed by its pause, the blocked one included.
        EXPECT_EQ(b.te.wait.pausesLongerThan(10).size(), 2);
        EXPECT_TRUE(b.log.text().contains("Blocked"));
        EXPECT_TRUE(b.log.text().contains("DoSmall ended."));
    }
    {
        HeadlessBatch b;
        b.t.addRequest("1010", "S");
        b.t.exec("DROP TABLE Straatwijs");
        EXPECT_EQ(b.run(1), app::ExitFailure);
        EXPECT_TRUE(b.errors.startsWith("Error 3146: ")) << b.errors.toStdString();
        EXPECT_EQ(b.t.statuses("1010"), QStringList{"L"});
    }
}

// The real program against the test server: when its database connection
// dies in the middle of a request, it ends with status 1, stores nothing
// and leaves the request in progress.
TEST(HeadlessRun, LostDatabaseEndsTheProgramWithStatusOne)
{
    if (!TestDatabase::available(Backend::MariaDB))
        GTEST_SKIP() << "no test MariaDB server";
    TestDatabase t(Backend::MariaDB);
    t.addRequest("1010", "S");
    postcodesite::PostcodeSite site{postcodesite::SiteOptions{.port = 0}};
    ASSERT_TRUE(site.listen());

    const lookup::ConnectionValues c = t.values();
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("STRAATWIJS_DB_PASSWORD", c.PWD);
    program.setProcessEnvironment(env);
    program.start(STRAATWIJS_PROGRAM,
                  {"--headless", "--small", "1", "--db-server", c.Server, "--db-port",
                   QString::number(c.Port), "--db-user", c.UID, "--db-name", c.Database, "--url",
                   site.baseUrl() + "/slow/3000"});
    ASSERT_TRUE(program.waitForStarted());

    // Wait (serving the site meanwhile) until the request is taken, then
    // cut the program's connection.
    QElapsedTimer clock;
    clock.start();
    while (t.statuses("1010") != QStringList{"L"} && clock.elapsed() < 20000)

    {
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
    ASSERT_EQ(t.statuses("1010"), QStringList{"L"});
    QSqlQuery find(t.connection());
    ASSERT_TRUE(find.exec(QStringLiteral("SELECT ID FROM information_schema.PROCESSLIST WHERE DB = "
                                         "'%1' AND ID <> CONNECTION_ID()")
                              .arg(c.Database)));
    int killed = 0;
    while (find.next()) {
        QSqlQuery kill(t.connection());
        kill.exec(QStringLiteral("KILL CONNECTION %1").arg(find.value(0).toLongLong()));
        ++killed;
    }
    EXPECT_EQ(killed, 1);

    QEventLoop loop;
    QObject::connect(&program, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    if (program.state() != QProcess::NotRunning)
        loop.exec();
    ASSERT_EQ(program.state(), QProcess::NotRunning);
    EXPECT_EQ(program.exitCode(), 1) << program.readAllStandardError().toStdString();
    EXPECT_TRUE(t.rows("Straatwijs").isEmpty());
    EXPECT_EQ(t.statuses("1010"), QStringList{"L"});
}

namespace {
// Runs the real program to its end (serving the site meanwhile): exit
// status, stdout and stderr.
std::tuple<int, QString, QString> runProgram(const QStringList& arguments,
                                             const QProcessEnvironment& env)
{
    QProcess program;
    program.setProcessEnvironment(env);
    QEventLoop loop;
    QObject::connect(&program, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    program.start(STRAATWIJS_PROGRAM, arguments);
    loop.exec();
    return {program.state() == QProcess::NotRunning ? program.exitCode() : -1,
            QString::fromUtf8(program.readAllStandardOutput()),
            QString::fromUtf8(program.readAllStandardError())};
}

QStringList lines(QString text)
{
    return text.remove('\r').split('\n');
}
} // namespace

// A harvest with --log-file leaves in the file exactly the lines it
// printed, and the next run appends; a log file that cannot be opened is a
// usage error before any request is taken.
TEST(HeadlessRun, LogFileHoldsEveryLineTheRunPrinted)
{
    TestDatabase t(Backend::SQLite);
    t.addRequest("1010", "S");
    postcodesite::PostcodeSite site{postcodesite::SiteOptions{.port = 0}};
    ASSERT_TRUE(site.listen());
    QTemporaryDir dir;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
    const QString logFile = dir.filePath("logs/straatwijs.log");
    const QStringList harvest{
        "--headless", "--small",      "1",         "--db-sqlite", t.values().SqlitePath,
        "--url",      site.baseUrl(), "--log-file"};

    const auto [status, out, err] = runProgram(harvest + QStringList{logFile}, env);
    ASSERT_EQ(status, 0) << err.toStdString();
    EXPECT_EQ(t.statuses("1010"), QStringList{"Y"});
    const auto [status2, out2, err2] = runProgram({"--headless", "--log-file", logFile}, env);
    ASSERT_EQ(status2, 0) << err2.toStdString();
    QFile file(logFile);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(lines(QString::fromLatin1(file.readAll())), lines(out + out2));
    EXPECT_TRUE(out.contains("DoSmall ended."));

    t.addRequest("1011", "S");
    const auto [status3, out3, err3] = runProgram(harvest + QStringList{logFile + "/x.log"}, env);
    EXPECT_EQ(status3, 2);
    EXPECT_TRUE(err3.contains("--log-file: cannot open")) << err3.toStdString();
    EXPECT_TRUE(out3.isEmpty());
    EXPECT_EQ(t.statuses("1011"), QStringList{"N"});
}

// The window opens the log file before its load reports anything.
TEST(HeadlessRun, TheWindowWritesTheLogFileToo)
{
    QTemporaryDir dir;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("STRAATWIJS_EXIT_AFTER_PAINT", "1");
    const auto [status, out, err] = runProgram({"--log-file", dir.filePath("w.log")}, env);
    ASSERT_EQ(status, 0) << err.toStdString();
    QFile file(dir.filePath("w.log"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().startsWith("IP-address = "));
}
