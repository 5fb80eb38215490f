#include "lookup/PageWalk.h"
#include "lookup/SiteAddress.h"

#include "CannedSite.h"
#include "PostcodeSite.h"
#include "platform/Browser.h"
#include "support/RecordingSink.h"
#include "support/TestEnv.h"

#include <QRegularExpression>
#include <QTcpServer>
#include <gtest/gtest.h>

using namespace lookup;
using testing_support::RecordingSink;

namespace {

const QString SearchPath =
    QStringLiteral("/index?action=search&goto=postcoderesult&TreeID=1&address=");
const QString PagePath = QStringLiteral("/index.php?goto=postcoderesult&action=page&pagenum=");

class PageWalkTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(site.listen());
        Url = site.baseUrl();
        QObject::connect(&walk, &PageWalk::pageRead, [this](qint64 p, qint64 n) {
            progress << QStringLiteral("%1/%2").arg(p).arg(n);
        });
    }
    QStringList urls() const
    {
        return sink.lines.filter(QRegularExpression("^URL = ")).replaceInStrings("URL = ", "");
    }
    QList<qint32> pauses() const { return te.wait.pausesLongerThan(PagePollMs); }
    // The red line of a failed load, and that it is the walk's last word.
    void expectFailureLine(const QString& address, const QString& reason)
    {
        ASSERT_FALSE(sink.lines.isEmpty());
        EXPECT_EQ(sink.lines.last(), "Pagina niet geladen: " + address + ": " + reason);
        EXPECT_EQ(sink.colours.last(), 0x0000FFu);
    }

    testing_support::TestEnv te;
    postcodesite::PostcodeSite site{postcodesite::SiteOptions{.port = 0}};
    platform::Browser browser{*te.env.network};
    RecordingSink sink;
    QString Url;
    QStringList progress;
    PageWalk walk{te.env, sink, browser};
};

} // namespace

TEST_F(PageWalkTest, SmallSearchLoadsOnePagePerTenResultsWithRandomPauses)
{
    struct Case
    {
        QString query;
        int records;
        int pages;
        QList<qint32> pauses; // the seeded source's first draws, r * 5000 + 2000
    };
    for (const Case& c : {Case{"9999", 0, 0, {}}, Case{"1010", 10, 1, {}},
                          Case{"1011", 11, 2, {6074}}, Case{"1012", 25, 3, {6074, 2677}}}) {
        SCOPED_TRACE(c.query.toStdString());
        sink.lines.clear();
        progress.clear();
        te.wait.pauses.clear();
        te.random = platform::SequenceRandom();
        const WalkResult r = walk.GetPostcodes(Url, c.query, "S");
        EXPECT_EQ(r.outcome, Outcome::Done);
        EXPECT_EQ(r.records.size(), c.records);
        ASSERT_EQ(urls().size(), std::max(c.pages, 1));
        EXPECT_EQ(urls().first(), Url + SearchPath + c.query);
        for (int p = 1; p < c.pages; ++p) {
            EXPECT_EQ(urls().at(p),
                      Url + PagePath + QString::number(p) + "&address=" + c.query + "&TreeID=1");
            EXPECT_EQ(progress.at(p), QStringLiteral("%1/%2").arg(p + 1).arg(c.pages));
        }
        EXPECT_EQ(progress.size(), c.pages);
        EXPECT_EQ(pauses(), c.pauses);
    }
}

// The query is trimmed of blanks of any kind; each row carries the text
// its pass searched.
TEST_F(PageWalkTest, BigSearchAppendsEachLetterAndPacesTheSite)
{
    const WalkResult r = walk.GetPostcodes(Url, " 1234\u00A0", "B");
    EXPECT_EQ(r.outcome, Outcome::Done);
    const QStringList searched = urls().filter("action=search");
    ASSERT_EQ(searched.size(), 21);
    EXPECT_TRUE(searched.first().endsWith("&address=1234 "));
    EXPECT_TRUE(searched.at(1).endsWith("&address=1234A"));
    EXPECT_TRUE(searched.last().endsWith("&address=1234Z"));
    EXPECT_TRUE(site.requests().at(0).target.endsWith("&address=1234%20"));
    // " " and "A" have a second page; 20 + 12 + 1 + 5 + 2 records.
    EXPECT_EQ(urls().size(), 23);
    QMap<QString, int> perQuery;
    for (const auto& record : r.records)
        ++perQuery[record->Query.toString()];
    EXPECT_EQ(perQuery,
              (QMap<QString, int>{
                  {"1234", 20}, {"1234A", 12}, {"1234B", 1}, {"1234C", 5}, {"1234Z", 2}}));
    QList<qint32> expected{10000, 3000, 10000, 3000};
    for (int i = 0; i < 19; ++i)
        expected << 10000;
    EXPECT_EQ(pauses(), expected);
}

TEST_F(PageWalkTest, BlockOnAnyPageEndsTheWalk)
{
    site.options().blockAfterSearches = 2;
    const WalkResult big = walk.GetPostcodes(Url, "1234", "B");
    EXPECT_EQ(big.outcome, Outcome::Blocked);
    EXPECT_EQ(urls().size(), 5); // two passes of two pages, then the blocked search
    EXPECT_TRUE(urls().last().endsWith("&address=1234B"));
    EXPECT_EQ(sink.lines.last(), "Blocked");
    EXPECT_EQ(pauses(), (QList<qint32>{10000, 3000, 10000, 3000, 10000}));

    // A block on a later page of a small search: DoQuery's block test.
    // The marker is exact, and counts also on a page with an error status.
    site.options().fixedPages = {
        {"/blocked", "<p>Wij kunnen voorlopig geen zoekopdrachten aannemen.</p>"},
        {"/shouting", "<p>Uw zoekactie heeft 0 VOORLOPIG GEEN ZOEK opgeleverd</p>"}};
    EXPECT_EQ(walk.GetPostcodes(Url + "/shouting", "1011", "S").outcome, Outcome::Done);
    EXPECT_EQ(walk.GetPostcodes(Url + "/status/429/blocked", "1011", "S").outcome,
              Outcome::Blocked);
}

// A first page refused, with an error status, or an answer that is no page:
// the last reads like a search without results, and would close the
// request with no rows. Plain text is still a page.
TEST_F(PageWalkTest, PageThatFailsToLoadFailsTheWalkWithOneRedLine)
{
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const QString away = QStringLiteral("http://127.0.0.1:%1").arg(closed.serverPort());
    closed.close();
    const QByteArray close = "Connection: close\r\n";
    struct First
    {
        QByteArray answer; // none: the closed port
        QString reason;    // none: a page
    };
    const First firsts[] = {
        {"", "Connection refused"},
        {"HTTP/1.1 500 Site Error\r\nContent-Length: 0\r\n" + close + "\r\n",
         "HTTP 500 Site Error"},
        {"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 0\r\n" + close + "\r\n",
         "the answer is empty"},
        {"HTTP/1.1 204 No Content\r\n" + close + "\r\n", "HTTP 204 without a page"},
        {"HTTP/1.1 304 Not Modified\r\n" + close + "\r\n", "HTTP 304 without a page"},
        {"HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nContent-Length: 8\r\n" + close +
             "\r\n\x89PNG\r\n\x1a\n",
         "the answer is no page (image/png)"},
        {"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 5\r\n" + close +
             "\r\nleeg\n",
         ""},
    };
    for (const First& c : firsts) {
        testing_support::CannedSite canned(c.answer);
        ASSERT_TRUE(canned.listen());
        const QString base = c.answer.isEmpty() ? away : canned.baseUrl();
        sink.lines.clear();
        const Outcome outcome = walk.GetPostcodes(base, "1011", "S").outcome;
        if (c.reason.isEmpty()) {
            EXPECT_EQ(outcome, Outcome::Done);
            continue;
        }
        EXPECT_EQ(outcome, Outcome::Unreachable) << c.reason.toStdString();
        expectFailureLine(base + SearchPath + "1011", c.reason);
    }

    // A later page: the walk ends there, whatever came before.
    struct Later
    {
        int status;
        QString reason;
    };
    for (const Later& c : {Later{404, "HTTP 404 Not Found"}, Later{0, ""}}) {
        postcodesite::PostcodeSite failing{
            postcodesite::SiteOptions{.port = 0, .failAfterRequests = 2, .failStatus = c.status}};
        ASSERT_TRUE(failing.listen());
        sink.lines.clear();
        EXPECT_EQ(walk.GetPostcodes(failing.baseUrl(), "1012", "S").outcome, Outcome::Unreachable)
            << c.status;
        EXPECT_EQ(urls().size(), 3);
        EXPECT_TRUE(sink.lines.last().startsWith("Pagina niet geladen: " + failing.baseUrl() +
                                                 PagePath +
                                                 "2&address=1012&TreeID=1: " + c.reason));
        EXPECT_EQ(sink.colours.last(), 0x0000FFu);
    }
}

// The limit runs on the monotonic tick clock, across its wrap: a step of the
// wall clock (daylight saving, NTP) cannot end a load early.
TEST_F(PageWalkTest, PageThatNeverCompletesFailsAfterSixtySecondsOfTicks)
{
    te.clocks.tick = 0xFFFFFFFFu - 25000u;
    te.clocks.seconds = 86400 - 25; // the day clock crosses midnight meanwhile
    te.wait.eventMs = 0;
    const WalkResult r = walk.GetPostcodes(Url + "/hang", "1011", "S");
    EXPECT_EQ(r.outcome, Outcome::Unreachable);
    const QList<qint32>& polls = te.wait.pauses;
    EXPECT_TRUE(std::all_of(polls.begin(), polls.end(), [](qint32 p) { return p == PagePollMs; }));
    EXPECT_GE(polls.size(), 6000);
    EXPECT_LE(polls.size(), 6002);
    EXPECT_EQ(browser.ReadyState(), platform::Browser::Complete); // abandoned
    expectFailureLine(Url + "/hang" + SearchPath + "1011", "geen volledige pagina na 60 s");
}

TEST_F(PageWalkTest, OtherTypesLoadNothingAndAPageWithoutBodyIsAnError)
{
    for (const char* type : {"b", "s", "", "SS", " S"})
        EXPECT_TRUE(walk.GetPostcodes(Url, "1011", type).records.isEmpty());
    EXPECT_TRUE(sink.lines.isEmpty());
    EXPECT_TRUE(te.wait.pauses.isEmpty());
    EXPECT_TRUE(site.requests().isEmpty());

    site.options().fixedPages = {{"/frames", "<html><frameset><frame src=a></frameset></html>"}};
    EXPECT_EQ(
        testing_support::thrown([&] { walk.GetPostcodes(Url + "/frames", "1011", "S"); }).number(),
        platform::RunError::ObjectVariableNotSet);
}

// The characters a query may carry that mean something in an address (search
// addresses, with a trailing blank as sent, are checked above).
TEST(SiteAddress, LoggedAsBuiltEncodedOnTheWire)
{
    const QString base = QStringLiteral("http://127.0.0.1:8080");
    const QString odd = QStringLiteral("A&B #1 50%+\tCuraçao's");
    const SiteAddress page = pageAddress(base, 12, odd);
    EXPECT_EQ(page.logged, base + PagePath + "12&address=" + odd + "&TreeID=1");
    EXPECT_EQ(page.wire.toEncoded(),
              "http://127.0.0.1:8080/index.php?goto=postcoderesult&action=page&pagenum=12"
              "&address=A%26B%20%231%2050%25%2B%09Cura%C3%A7ao's&TreeID=1");
    EXPECT_EQ(page.wire.fragment(), QString());
}
