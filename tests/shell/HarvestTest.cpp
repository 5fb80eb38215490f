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
// with recorded pauses and the unseeded sequence of random numbers, on a
// host whose address and locale are not the fakes' defaults.
struct Fixture
{
    Fixture()
    {
        EXPECT_TRUE(site.listen());
        te.host.ipAddress = QStringLiteral("192.0.2.44");
        te.host.userLocale = QLocale(QLocale::English, QLocale::UnitedStates);
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

// A small batch pauses after every request. The host's address reaches the
// log and every stored row, its locale the batch's time stamps.
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
    EXPECT_TRUE(f.log.text().contains("IP-address = 192.0.2.44\r\n"));
    EXPECT_EQ(f.t.lines("SELECT DISTINCT Ip FROM Straatwijs"), QStringList{"192.0.2.44"});
    EXPECT_TRUE(lines.filter("DoSmall started.").value(0).startsWith("12/6/26 "))
        << f.log.text().toStdString();
}

// No number, or a cancelled prompt, runs an empty batch; of a number only
// its whole part counts.
TEST(Harvest, NoNumberMeansNoRequests)
{
    Fixture f;
    for (int i = 0; i < 3; ++i)
        f.t.addRequest("9999", "M");
    for (const std::optional<QString>& answer :
         std::vector<std::optional<QString>>{"0", "", "abc", std::nullopt}) {
        f.te.prompts.answerInput(answer);
        f.harvest.runMinimal();
        EXPECT_TRUE(f.pauses().isEmpty()) << answer.value_or("(cancelled)").toStdString();
    }
    EXPECT_EQ(f.t.countStatus("N"), 3);
    EXPECT_EQ(f.lines().filter("DoSmall").size(), 8);
    f.harvest.runBatch(QStringLiteral("2.9"), QStringLiteral("M"));
    EXPECT_EQ(f.pauses().size(), 2);
}

// A menu command during a batch starts nothing; the timer's tick during one
// runs the autostart batch when it ends, and the program ends after it. That
// batch finds the queue empty and says so at once, without pausing through
// its turns.
TEST(Harvest, CommandsDuringABatchWaitTheirTurn)
{
    Fixture f;
    f.t.addRequest("1010", "S");
    f.t.addRequest("1010", "s"); // another type, whatever the collation
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
    EXPECT_EQ(f.t.countStatus("Y"), 1);
    EXPECT_EQ(f.pauses().size(), 1 + 1); // after the one request, and the final 10 s
    EXPECT_EQ(f.pauses().last(), 10000);
    const QStringList lines = f.lines();
    EXPECT_EQ(lines.filter("DoSmall started.").size(), 2);
    EXPECT_TRUE(lines.filter("DoBig").isEmpty());
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines.at(lines.size() - 2), "DoSmall: geen open verzoeken van type S meer");
    EXPECT_TRUE(lines.last().endsWith(" DoSmall ended."));
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

// The log says why a batch was stopped, by a signal or by the user, in a
// line of its own. A stop ends the batch at once, keeping nothing of the
// request it was on (a block, which ends it after the request's pause, is
// checked headless); a program stopped by a signal starts no further command.
TEST(Harvest, BatchSaysWhyItEnded)
{
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
        const QStringList lines = g.lines();
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
