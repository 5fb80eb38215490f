#include "shell/Harvest.h"

#include "PostcodeSite.h"
#include "lookup/PageWalk.h"
#include "shell/Shell.h"
#include "support/TestDatabase.h"
#include "support/TestEnv.h"

#include <QSignalSpy>
#include <csignal>
#include <gtest/gtest.h>

using shell::Harvest;
using namespace testing_support;

namespace {

// The shell's harvest commands on the embedded database and the local site,
// with recorded pauses and the unseeded sequence of random numbers.
struct Fixture
{
    Fixture()
    {
        EXPECT_TRUE(site.listen());
        shell.load();
        shell.values.Connection = t.values();
        shell.values.Url = site.baseUrl();
    }
    QStringList lines() const { return log.text().split("\r\n", Qt::SkipEmptyParts); }
    QList<qint32> pauses() const { return te.wait.pausesLongerThan(lookup::PagePollMs); }

    TestEnv te;
    messages::MessageLog log{te.prompts};
    TestDatabase t{Backend::SQLite};
    postcodesite::PostcodeSite site{postcodesite::SiteOptions{.port = 0}};
    shell::Shell shell{te.env, log};
    Harvest& harvest = shell.harvest();
};

} // namespace

TEST(Harvest, SmallBatchPausesAfterEveryRequest)
{
    Fixture f;
    for (const char* query : {"1010", "9999", "Nergenshuizen"})
        f.t.addRequest(query, "S");
    f.te.prompts.answerInput(QStringLiteral("3"));
    EXPECT_EQ(f.harvest.runSmall(), std::nullopt);
    EXPECT_EQ(f.t.countStatus("Y"), 3);
    // floor(r * 10000 + 2000) of the sequence's first draws; none of these
    // searches has a further page, so the batch draws them all.
    EXPECT_EQ(f.pauses(), (QList<qint32>{10147, 3354, 11057}));
    const QStringList lines = f.lines();
    EXPECT_TRUE(lines.last().endsWith(" DoSmall ended."));
    EXPECT_EQ(lines.filter(" rijen opgeslagen, status Y").size(), 3);
    EXPECT_EQ(f.harvest.outcome(), Harvest::Outcome::Done);
}

TEST(Harvest, NoNumberMeansNoRequests)
{
    for (const std::optional<QString>& answer :
         {std::optional<QString>("0"), std::optional<QString>(""), std::optional<QString>("abc"),
          std::optional<QString>()}) {
        Fixture f;
        f.t.addRequest("1010", "M");
        f.te.prompts.answerInput(answer);
        f.harvest.runMinimal();
        EXPECT_EQ(f.t.countStatus("N"), 1);
        EXPECT_EQ(f.lines().filter("DoSmall").size(), 2);
        EXPECT_TRUE(f.pauses().isEmpty());
    }
    Fixture f;
    for (int i = 0; i < 3; ++i)
        f.t.addRequest("9999", "M");
    f.harvest.runBatch(QStringLiteral("2.9"), QStringLiteral("M"));
    EXPECT_EQ(f.pauses().size(), 2);
}

// A menu command during a batch starts nothing; the timer's tick during one
// runs the autostart batch when it ends, and the program ends after it.
TEST(Harvest, CommandsDuringABatchWaitTheirTurn)
{
    Fixture f;
    f.t.addRequest("1010", "S");
    f.te.prompts.answerInput(QStringLiteral("1"));
    bool once = false;
    f.te.wait.during = [&](qint32 ms) {
        if (ms <= lookup::PagePollMs || once)
            return;
        once = true;
        EXPECT_EQ(f.harvest.runBig(), std::nullopt);
        EXPECT_EQ(f.harvest.runBatch(5, QStringLiteral("M")), std::nullopt);
        EXPECT_EQ(f.harvest.autostartTick(true), std::nullopt);
    };
    EXPECT_EQ(f.harvest.runSmall(), 0);
    EXPECT_FALSE(f.harvest.running());
    EXPECT_EQ(f.lines().filter("DoSmall started.").size(), 2);
    EXPECT_EQ(f.pauses().size(), 1 + 1); // the autostart batch finds the queue empty
    EXPECT_EQ(f.pauses().last(), 10000);
    EXPECT_TRUE(f.lines().filter("DoBig").isEmpty());
}

TEST(Harvest, BigRequestDocksTheLookupFormAndPausesAfterwards)
{
    Fixture f;
    f.t.addRequest("1010", "B");
    QSignalSpy docked(&f.harvest, &Harvest::repositionLookup);
    QSignalSpy loaded(&f.shell, &shell::Shell::lookupLoaded);
    EXPECT_EQ(f.harvest.runBig(), std::nullopt);
    EXPECT_EQ(f.lines().at(1), "DoBig");
    ASSERT_EQ(docked.size(), 1);
    EXPECT_EQ(docked.first(), (QVariantList{QStringLiteral("75%"), QStringLiteral("Top"), false}));
    EXPECT_EQ(loaded.size(), 1);
    EXPECT_EQ(f.t.statuses("1010"), QStringList{"Y"});
    EXPECT_EQ(f.pauses().size(), 21 + 1);
    EXPECT_EQ(f.pauses().last(), 3000);
}

// The log says why a batch ended: an empty queue at once, without pausing
// through its turns; a stop by a signal or by the user in a line of its own.
// A stop ends the batch at once, keeping nothing of the request it was on (a
// block, which ends it after the request's pause, is checked headless); a
// program stopped by a signal starts no further command.
TEST(Harvest, BatchSaysWhyItEnded)
{
    Fixture f;
    f.t.addRequest("1010", "S");
    f.t.addRequest("1010", "s"); // another type, whatever the collation
    EXPECT_EQ(f.harvest.autostartTick(true), 0);
    EXPECT_EQ(f.t.countStatus("Y"), 1);
    EXPECT_EQ(f.pauses().size(), 1 + 1); // after the one request, and the final 10 s
    QStringList lines = f.lines();
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines.at(lines.size() - 2), "DoSmall: geen open verzoeken van type S meer");
    EXPECT_TRUE(lines.last().endsWith(" DoSmall ended."));

    for (const auto& [reason, name] : {std::pair{SIGTERM, "SIGTERM"}, std::pair{SIGINT, "SIGINT"},
                                       std::pair{int(platform::StopRequest::ByUser), "Stoppen"}}) {
        Fixture g;
        g.t.addRequest("1010", "S");
        g.t.addRequest("1011", "S");
        g.te.wait.during = [&g, reason](qint32 ms) {
            if (ms > lookup::PagePollMs)
                g.te.stop.request(reason);
        };
        const std::optional<int> exit = g.harvest.runBatch(3, QStringLiteral("S"));
        EXPECT_EQ(g.harvest.outcome(), Harvest::Outcome::Interrupted);
        EXPECT_EQ(g.t.lines("SELECT Query, Status FROM Requests ORDER BY rowid"),
                  QStringList({"1010|Y", "1011|N"}));
        lines = g.lines();
        ASSERT_GE(lines.size(), 2);
        EXPECT_EQ(lines.at(lines.size() - 2), QStringLiteral("DoSmall gestopt (%1)").arg(name));
        EXPECT_TRUE(lines.last().endsWith(" DoSmall ended."));
        if (reason == SIGTERM) {
            EXPECT_EQ(exit, 143);
            EXPECT_EQ(g.harvest.runBig(), std::nullopt);
            EXPECT_EQ(g.t.countStatus("L"), 0);
        }
    }
}

// The host's address and the user's locale come from the environment: the
// address reaches the log and every stored row, the locale the batch's
// time stamps.
TEST(Harvest, AddressAndLocaleComeFromTheEnvironment)
{
    Fixture f;
    f.te.host.ipAddress = QStringLiteral("192.0.2.44");
    f.te.host.userLocale = QLocale(QLocale::English, QLocale::UnitedStates);
    f.shell.load();
    f.shell.values.Connection = f.t.values();
    f.shell.values.Url = f.site.baseUrl();
    f.t.addRequest("1010", "S");
    EXPECT_EQ(f.harvest.runBatch(1, QStringLiteral("S")), std::nullopt);
    EXPECT_TRUE(f.log.text().contains("IP-address = 192.0.2.44\r\n"));
    const QStringList ips = f.t.lines("SELECT DISTINCT Ip FROM Straatwijs");
    EXPECT_EQ(ips, QStringList{"192.0.2.44"});
    EXPECT_TRUE(f.lines().filter("DoSmall started.").value(0).startsWith("12/6/26 "))
        << f.log.text().toStdString();
}
