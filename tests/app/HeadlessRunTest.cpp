#include "app/HeadlessRun.h"

#include "PostcodeSite.h"
#include "lookup/PageWalk.h"
#include "messages/MessageLog.h"
#include "platform/HostIdentity.h"
#include "shell/CommandBoundary.h"
#include "shell/Shell.h"
#include "support/TestDatabase.h"
#include "support/TestEnv.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>

using namespace testing_support;

namespace {

// A headless batch on the embedded database and the local site, with
// recorded pauses; a failure that reaches the boundary shows on stderr.
struct HeadlessBatch
{
    HeadlessBatch() : t(Backend::SQLite)
    {
        EXPECT_TRUE(site.listen());
        shell.load();
        shell.values.Connection = t.values();
        shell.values.Url = site.baseUrl();
    }
    int run(int count)
    {
        app::Options options;
        options.headless = true;
        options.harvest = app::HarvestCommand::Small;
        options.count = count;
        return app::runHarvest(shell, options, boundary);
    }
    QString statuses() { return t.lines("SELECT Status FROM Requests ORDER BY rowid").join(""); }

    TestEnv te;
    messages::MessageLog log{te.prompts};
    shell::Shell shell{te.env, log};
    postcodesite::PostcodeSite site{postcodesite::SiteOptions{.port = 0}};
    TestDatabase t;
    QTextStream err{stderr};
    shell::CommandBoundary boundary{shell::CommandBoundary::Display::Console, te.prompts, err,
                                    [](int) {}};
};

} // namespace

TEST(HeadlessRun, ExitStatusSaysHowTheBatchEnded)
{
    HeadlessBatch b;
    b.site.options().blockAfterSearches = 1;
    for (const char* query : {"1010", "9999", "1011"})
        b.t.addRequest(query, "S");
    EXPECT_EQ(b.run(3), app::ExitBlocked);
    EXPECT_EQ(b.statuses(), "YNN");
    EXPECT_TRUE(b.log.text().contains("Blocked"));
    EXPECT_TRUE(b.log.text().contains("DoSmall ended."));
    // The batch ended after the blocked request's pause; the next
    // command starts unblocked.
    EXPECT_EQ(b.te.wait.pausesLongerThan(lookup::PagePollMs).size(), 2);
    b.site.options().blockAfterSearches = 0;
    EXPECT_EQ(b.run(2), app::ExitOk);
    EXPECT_EQ(b.statuses(), "YYY");

    // The second page of "1012" fails: the batch stores nothing more.
    b.site.options().failAfterRequests = int(b.site.requests().size()) + 2;
    const QStringList stored = b.t.harvested();
    b.t.addRequest("1012", "S");
    b.t.addRequest("1010", "S");
    EXPECT_EQ(b.run(2), app::ExitUnreachable);
    EXPECT_EQ(b.statuses(), "YYYNN");
    EXPECT_EQ(b.t.harvested(), stored);

    // What no batch here reaches: a signal decides the status before how the
    // command ended, and a lost lease does not end a command early.
    using lookup::Outcome;
    platform::StopRequest stop;
    EXPECT_EQ(app::exitStatus(Outcome::LeaseLost, nullptr), app::ExitOk);
    EXPECT_EQ(app::exitStatus(Outcome::Interrupted, &stop), app::ExitInterrupted);
    // A stop by the user is no signal.
    stop.request(platform::StopRequest::ByUser);
    EXPECT_EQ(app::exitStatus(Outcome::Blocked, &stop), app::ExitBlocked);
    stop.clear();
    // The signal wins whatever the command made of it, and only the first
    // stop counts.
    stop.request(SIGTERM);
    stop.request(SIGINT);
    for (Outcome o : {Outcome::Done, Outcome::Blocked, Outcome::Unreachable, Outcome::Interrupted})
        EXPECT_EQ(app::exitStatus(o, &stop), app::ExitTerminated);
    stop.clear();
    stop.request(SIGINT);
    EXPECT_EQ(app::exitStatus(Outcome::Done, &stop), app::ExitInterrupted);
}

namespace {

// Runs the real program and serves the local site meanwhile.
struct Program
{
    Program()
    {
        EXPECT_TRUE(site.listen());
        env.insert("XDG_CONFIG_HOME", home.path());
    }
    void start(const QStringList& arguments)
    {
        process.setProcessEnvironment(env);
        process.start(STRAATWIJS_PROGRAM, arguments);
        ASSERT_TRUE(process.waitForStarted());
    }
    bool finished(int limitMs = 20000)
    {
        return runEventsUntil([this] { return process.state() == QProcess::NotRunning; }, limitMs);
    }
    // Runs the program to its end: exit status, stdout and stderr.
    std::tuple<int, QString, QString> run(const QStringList& arguments)
    {
        start(arguments);
        const bool ended = finished(60000);
        return {ended ? process.exitCode() : -1, QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    postcodesite::PostcodeSite site{postcodesite::SiteOptions{.port = 0}};
    QProcess process;
};

} // namespace

// A systemd stop or ^C in the middle of a request: the request goes back,
// nothing of it is stored, and the exit status names the signal. A page
// that never completes and the pause before a further page are both cut
// short.
TEST(HeadlessRun, SignalsStopTheRunAndGiveTheRequestBack)
{
    struct Case
    {
        int signal;
        const char* path;
        int status;
    };
    for (const Case& c : {Case{SIGTERM, "/hang", 143}, Case{SIGINT, "", 130}}) {
        SCOPED_TRACE(c.signal);
        TestDatabase t(Backend::SQLite);
        t.addRequest("1012", "S");
        Program p;
        p.start({"--headless", "--small", "1", "--db-sqlite", t.values().SqlitePath, "--url",
                 p.site.baseUrl() + c.path});
        // The search page has been asked for: the program is loading it, or
        // pausing before the next one.
        ASSERT_TRUE(runEventsUntil([&p] { return !p.site.requests().isEmpty(); }, 20000));
        ::kill(pid_t(p.process.processId()), c.signal);
        ASSERT_TRUE(p.finished(10000));
        EXPECT_EQ(p.process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.process.exitCode(), c.status) << p.process.readAllStandardError().toStdString();
        EXPECT_EQ(t.statuses("1012"), QStringList{"N"});
        EXPECT_TRUE(t.harvested().isEmpty());
        EXPECT_TRUE(
            p.process.readAllStandardOutput().contains("1012 (S): 0 rijen opgeslagen, status N"));
    }
}

// A harvester killed outright (power cut, OOM killer) leaves its request
// "L" under its lease; the next harvester on this host gives it back at once,
// since its process is gone, and harvests it. --status shows the queue
// meanwhile; --release-stranded gives back what nobody holds, and neither
// lets a query text start a line of its own.
TEST(HeadlessRun, AKilledHarvestersRequestIsTakenBackAndTheQueueShown)
{
    TestDatabase t(Backend::SQLite);
    t.addRequest("1010", "S");
    t.addRequest("Stad\nVerzoek 1 (1010, S) teruggegeven", "M", "L"); // set by hand
    const QStringList db{"--db-sqlite", t.values().SqlitePath};
    Program killed, next;
    killed.start(
        QStringList{"--headless", "--small", "1", "--url", killed.site.baseUrl() + "/slow/60000"} +
        db);
    ASSERT_TRUE(runEventsUntil([&t] { return t.statuses("1010") == QStringList{"L"}; }, 20000));

    const auto [status, json, err] = next.run(QStringList{"--status", "--json"} + db);
    ASSERT_EQ(status, 0) << err.toStdString();
    const QJsonObject queue = QJsonDocument::fromJson(json.toUtf8()).object();
    EXPECT_EQ(queue["requests"].toObject()["S"].toObject()["L"].toInt(), 1) << json.toStdString();
    EXPECT_EQ(queue["stranded"].toInt(), 1);
    const QJsonObject lease = queue["leases"].toArray().at(0).toObject();
    EXPECT_EQ(lease["query"].toString(), "1010");
    EXPECT_EQ(lease["pid"].toInteger(), killed.process.processId());
    EXPECT_GT(lease["expires_in_s"].toInteger(), 290);

    const qint64 pid = killed.process.processId();
    ::kill(pid_t(pid), SIGKILL);
    ASSERT_TRUE(killed.finished());
    // Once it has stored the request, the pause after it would only cost
    // real seconds: a stop ends it there.
    next.start(QStringList{"--headless", "--small", "1", "--url", next.site.baseUrl()} + db);
    ASSERT_TRUE(runEventsUntil([&t] { return t.statuses("1010") == QStringList{"Y"}; }, 20000));
    ::kill(pid_t(next.process.processId()), SIGTERM);
    ASSERT_TRUE(next.finished());
    const QString out = QString::fromUtf8(next.process.readAllStandardOutput());
    EXPECT_EQ(next.process.exitCode(), 143) << next.process.readAllStandardError().toStdString();
    EXPECT_TRUE(out.contains(QString("Verzoek 1 (1010, S) teruggegeven: %1 (proces %2) draait niet "
                                     "meer, poging 1 van 3")
                                 .arg(platform::GetMachineName())
                                 .arg(pid)))
        << out.toStdString();
    EXPECT_EQ(t.statuses("1010"), QStringList{"Y"});

    const auto [textStatus, text, err3] = next.run(QStringList{"--status"} + db);
    EXPECT_EQ(textStatus, 0);
    EXPECT_TRUE(text.contains("Stranded (L without a lease): 1\n")) << text.toStdString();
    const auto [released, lines, err4] = next.run(QStringList{"--release-stranded"} + db);
    EXPECT_EQ(released, 0) << err4.toStdString();
    EXPECT_TRUE(lines.contains("teruggegeven: in behandeling zonder lease\n"))
        << lines.toStdString();
    EXPECT_TRUE(lines.contains("(Stad\\nVerzoek 1 (1010, S) teruggegeven, M)"))
        << lines.toStdString();
    EXPECT_FALSE(lines.contains("\nVerzoek 1 (1010"));
    EXPECT_EQ(t.countStatus("L"), 0);
    EXPECT_EQ(std::get<0>(next.run({"--status", "--db-sqlite", "/etc/passwd/queue.db"})), 1);
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
    Program p;
    const lookup::ConnectionValues c = t.values();
    p.env.insert("STRAATWIJS_DB_PASSWORD", c.PWD);
    p.start({"--headless", "--small", "1", "--db-server", c.Server, "--db-port",
             QString::number(c.Port), "--db-user", c.UID, "--db-name", c.Database, "--url",
             p.site.baseUrl() + "/held"});

    // Once the request is taken (the site holds its page), cut the connection.
    ASSERT_TRUE(runEventsUntil([&t] { return t.statuses("1010") == QStringList{"L"}; }, 20000));
    const QStringList ids = t.lines("SELECT ID FROM information_schema.PROCESSLIST WHERE DB = ? "
                                    "AND ID <> CONNECTION_ID()",
                                    {c.Database});
    EXPECT_EQ(ids.size(), 1);
    for (const QString& id : ids)
        t.exec("KILL CONNECTION " + id);
    p.site.releaseHeld();
    ASSERT_TRUE(p.finished(30000));
    const QString err = QString::fromUtf8(p.process.readAllStandardError());
    EXPECT_EQ(p.process.exitCode(), 1) << err.toStdString();
    EXPECT_TRUE(err.startsWith("Error 3146: ")) << err.toStdString();
    EXPECT_TRUE(t.harvested().isEmpty());
    EXPECT_EQ(t.statuses("1010"), QStringList{"L"});
}

// A batch with --log-file leaves in the file exactly the lines it printed,
// and the next runs append; a log file that cannot be opened is a usage
// error before any request is taken. The queue holds no request of the
// batch's type, so the real program takes none and makes no real pause;
// that every message of a harvest reaches the file is MessageLog's test.
TEST(HeadlessRun, LogFileHoldsEveryLineTheRunPrinted)
{
    TestDatabase t(Backend::SQLite);
    t.addRequest("1010", "M");
    Program p;
    const QString logFile = p.home.filePath("logs/straatwijs.log");
    const QStringList harvest{
        "--headless", "--small",        "1",         "--db-sqlite", t.values().SqlitePath,
        "--url",      p.site.baseUrl(), "--log-file"};
    const auto [status, out, err] = p.run(harvest + QStringList{logFile});
    ASSERT_EQ(status, 0) << err.toStdString();
    EXPECT_EQ(t.statuses("1010"), QStringList{"N"});
    EXPECT_TRUE(out.contains("DoSmall: geen open verzoeken van type S meer"));
    const auto [status2, out2, err2] = p.run({"--headless", "--log-file", logFile});
    ASSERT_EQ(status2, 0) << err2.toStdString();
    QFile file(logFile);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString logged = QString::fromLatin1(file.readAll());
    EXPECT_EQ(QString(logged).remove('\r'), QString(out + out2).remove('\r'));
    EXPECT_TRUE(out.contains("DoSmall ended."));

    // The window opens it too, before its load reports anything.
    p.env.insert("QT_QPA_PLATFORM", "offscreen");
    p.env.insert("STRAATWIJS_EXIT_AFTER_PAINT", "1");
    const auto [windowStatus, windowOut, windowErr] = p.run({"--log-file", logFile});
    ASSERT_EQ(windowStatus, 0) << windowErr.toStdString();
    file.seek(logged.size());
    EXPECT_TRUE(file.readAll().startsWith("IP-address = "));

    t.addRequest("1011", "S");
    const auto [status3, out3, err3] = p.run(harvest + QStringList{logFile + "/x.log"});
    EXPECT_EQ(status3, 2);
    EXPECT_TRUE(err3.contains("--log-file: cannot open")) << err3.toStdString();
    EXPECT_TRUE(out3.isEmpty());
    EXPECT_EQ(t.statuses("1011"), QStringList{"N"});
}
