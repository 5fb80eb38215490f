#include "lookup/PageReader.h"

#include "PostcodeSite.h"
#include "platform/Browser.h"
#include "platform/RunError.h"
#include "support/RecordingSink.h"
#include "support/TestEnv.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace lookup;
using testing_support::RecordingSink;

namespace {

const QString SearchPath =
    QStringLiteral("/index?action=search&goto=postcoderesult&TreeID=1&address=");

class PageReaderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(site.listen());
        Url = site.baseUrl();
        reader.setProgress(
            [this](qint64 p, qint64 n) { progress << QStringLiteral("%1/%2").arg(p).arg(n); });
    }
    QStringList urls() const
    {
        QStringList out;
        for (const QString& line : sink.lines)
            if (line.startsWith("URL = "))
                out << line.mid(6);
        return out;
    }
    QList<qint32> pauses() const { return te.wait.pausesLongerThan(10); }
    QStringList streets() const
    {
        QStringList out;
        for (const auto& r : collection)
            out << r->Straat.toString();
        return out;
    }
    // The pauses of type S and M: fresh draws of an unseeded sequence.
    static QList<qint32> randomPauses(int n)
    {
        platform::SequenceRandom random;
        QList<qint32> out;
        for (int i = 0; i < n; ++i)
            out << qint32(std::nearbyint(random.Rnd() * 5000 + 2000));
        return out;
    }

    testing_support::TestEnv te;
    postcodesite::PostcodeSite site{postcodesite::SiteOptions{.port = 0}};
    platform::Browser browser{*te.env.network};
    RecordingSink sink;
    bool ValidURL = true;
    QString Url;
    PostcodeCollection collection;
    QStringList progress;
    PageReader reader{te.env, sink, browser, ValidURL, Url, collection};
};

} // namespace

TEST_F(PageReaderTest, SmallSearchLoadsOnePagePerTenResults)
{
    struct Case
    {
        QString query;
        int records;
        int loads;
    };
    for (const Case& c :
         {Case{"9999", 0, 1}, Case{"1010", 10, 1}, Case{"1011", 11, 2}, Case{"1012", 25, 3}}) {
        SCOPED_TRACE(c.query.toStdString());
        collection.clear();
        sink.lines.clear();
        te.wait.pauses.clear();
        progress.clear();
        platform::SequenceRandom random;
        te.env.random = &random;
        PageReader reader{te.env, sink, browser, ValidURL, Url, collection};
        reader.GetPostcodes(c.query, "S");
        EXPECT_EQ(collection.size(), c.records);
        ASSERT_EQ(urls().size(), c.loads);
        EXPECT_EQ(urls().first(), Url + SearchPath + c.query);
        for (int p = 1; p < c.loads; ++p)
            EXPECT_EQ(urls().at(p), Url + "/index.php?goto=postcoderesult&action=page&pagenum=" +
                                        QString::number(p) + "&address=" + c.query + "&TreeID=1");
        EXPECT_EQ(pauses(), randomPauses(c.loads - 1));
        for (qint32 p : pauses())
            EXPECT_TRUE(p >= 2000 && p <= 7000);
        if (c.records > 0) {
            EXPECT_EQ(collection.first()->Resultaten, QVariant(double(c.records)));
            EXPECT_EQ(collection.last()->Query, c.query);
            EXPECT_EQ(collection.last()->Typenaam, "S");
        }
    }
    EXPECT_TRUE(ValidURL);
}

TEST_F(PageReaderTest, SearchTextIsSentAsOneValue)
{
    reader.GetPostcodes("'s-Hertogenbosch", "M");
    EXPECT_EQ(collection.size(), 20);
    EXPECT_TRUE(streets().contains("'t Zand"));
    EXPECT_EQ(collection.first()->Woonplaats, "'s-Hertogenbosch");
    EXPECT_EQ(progress, (QStringList{"1/2", "2/2"}));

    collection.clear();
    site.options().charset = QStringLiteral("iso-8859-1");
    site.options().charsetInHeader = false;
    reader.GetPostcodes(QStringLiteral("Curaçaostraat"), "S");
    EXPECT_EQ(collection.size(), 36);
    EXPECT_EQ(streets().count(QStringLiteral("Curaçaostraat")), 36);
    EXPECT_TRUE(urls().last().endsWith(QStringLiteral("address=Curaçaostraat&TreeID=1")));
    EXPECT_TRUE(site.requests().last().target.contains("address=Cura%C3%A7aostraat&"));
}

TEST_F(PageReaderTest, BigSearchAppendsEachLetterAndPacesTheSite)
{
    reader.GetPostcodes("1234", "B");
    const QStringList searched = urls().filter("action=search");
    ASSERT_EQ(searched.size(), 21);
    EXPECT_TRUE(searched.first().endsWith("&address=1234 "));
    EXPECT_TRUE(searched.at(1).endsWith("&address=1234A"));
    EXPECT_TRUE(searched.last().endsWith("&address=1234Z"));
    EXPECT_TRUE(site.requests().at(0).target.endsWith("&address=1234%20"));
    // " " and "A" have a second page; 20 + 12 + 1 + 5 + 2 records.
    EXPECT_EQ(urls().size(), 23);
    EXPECT_EQ(collection.size(), 40);
    EXPECT_EQ(collection.first()->Query, "1234");
    EXPECT_EQ(collection.last()->Query, "1234Z");
    QList<qint32> expected{10000, 3000, 10000, 3000};
    for (int i = 0; i < 19; ++i)
        expected << 10000;
    EXPECT_EQ(pauses(), expected);
    EXPECT_TRUE(ValidURL);
}

TEST_F(PageReaderTest, BlockPageEndsTheWalk)
{
    site.options().blockAfterSearches = 2;
    reader.GetPostcodes("1234", "B");
    EXPECT_EQ(urls().size(), 5); // two passes of two pages, then the blocked search
    EXPECT_TRUE(urls().last().endsWith("&address=1234B"));
    EXPECT_EQ(sink.lines.last(), "Blocked");
    EXPECT_EQ(sink.lines.count("Blocked"), 1);
    EXPECT_FALSE(ValidURL);
    EXPECT_EQ(collection.size(), 32);
    EXPECT_EQ(pauses(), (QList<qint32>{10000, 3000, 10000, 3000, 10000}));
    EXPECT_EQ(site.requests().size(), 5);
}

TEST_F(PageReaderTest, OtherTypesLoadNothing)
{
    for (const char* type : {"b", "s", "", "SS", " S"})
        reader.GetPostcodes("1011", type);
    EXPECT_TRUE(sink.lines.isEmpty());
    EXPECT_TRUE(te.wait.pauses.isEmpty());
    EXPECT_TRUE(site.requests().isEmpty());
    EXPECT_TRUE(collection.isEmpty());
}

TEST_F(PageReaderTest, PageThatNeverCompletesIsGivenUpAfterSixtySecondsAcrossMidnight)
{
    te.clocks.seconds = 86400 - 25;
    Url = site.baseUrl() + "/hang";
    EXPECT_TRUE(reader.GetUrl(searchAddress(Url, "1011")));
    const QList<qint32>& polls = te.wait.pauses;
    EXPECT_TRUE(std::all_of(polls.begin(), polls.end(), [](qint32 p) { return p == 10; }));
    EXPECT_GE(polls.size(), 6000);
    EXPECT_LE(polls.size(), 6002);
    EXPECT_NEAR(te.clocks.seconds, 35, 0.05);
    EXPECT_NE(browser.ReadyState(), platform::Browser::Complete);
    EXPECT_EQ(sink.lines, QStringList{"URL = " + Url + SearchPath + "1011"});
}

TEST_F(PageReaderTest, BlockMarkerIsExactAndMissingBodyIsAnError)
{
    site.options().fixedPages = {
        {"/blocked", "<p>Wij kunnen voorlopig geen zoekopdrachten aannemen.</p>"},
        {"/shouting", "<p>VOORLOPIG GEEN ZOEKOPDRACHTEN</p>"},
        {"/frames", "<html><frameset><frame src=a></frameset></html>"}};
    EXPECT_TRUE(reader.GetUrl(searchAddress(Url + "/shouting", "1011")));
    EXPECT_TRUE(ValidURL);
    EXPECT_FALSE(reader.GetUrl(searchAddress(Url + "/blocked", "1011")));
    EXPECT_FALSE(ValidURL);
    EXPECT_EQ(sink.lines.last(), "Blocked");
    try {
        reader.GetUrl(searchAddress(Url + "/frames", "1011"));
        FAIL() << "no error for a page without body";
    } catch (const platform::RunError& e) {
        EXPECT_EQ(e.number(), platform::RunError::ObjectVariableNotSet);
    }
}

TEST(PageBound, RandomPausesRoundHalvesToEven)
{
    EXPECT_EQ(lastPage(1.234), 0);
    EXPECT_EQ(roundHalfEven(2000.5), 2000);
    EXPECT_EQ(roundHalfEven(2001.5), 2002);
    EXPECT_EQ(roundHalfEven(6999.4999), 6999);
}
