#include "platform/Browser.h"

#include "PostcodeSite.h"
#include "support/TestEnv.h"

#include <QNetworkAccessManager>
#include <gtest/gtest.h>

using namespace platform;

namespace {

QString bodyText(const Browser& browser)
{
    const auto doc = browser.Document();
    return doc && doc->Body() ? doc->Body()->Innertext() : QStringLiteral("<no body>");
}

class BrowserTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(site.listen()); }
    bool load(const QString& path)
    {
        browser.navigate(site.baseUrl() + path);
        return testing_support::runEventsUntil(
            [this] { return browser.ReadyState() == Browser::Complete; }, 10000);
    }
    postcodesite::PostcodeSite site{postcodesite::SiteOptions{.port = 0}};
    QNetworkAccessManager network;
    Browser browser{network};
};

} // namespace

// Pages in Latin-1 that name it only in a meta element, compressed.
TEST_F(BrowserTest, FollowsRedirectsKeepsCookiesUnpacksAndDecodesPages)
{
    site.options().compress = true;
    site.options().charset = QStringLiteral("iso-8859-1");
    site.options().charsetInHeader = false;
    QStringList shown;
    QObject::connect(&browser, &Browser::documentLoaded,
                     [&shown](const QString& html, const QUrl&) { shown << html; });
    EXPECT_EQ(browser.Document(), nullptr);
    ASSERT_TRUE(load("/redirect/index?action=search&address=1011"));
    EXPECT_EQ(browser.status(), 200);
    EXPECT_EQ(browser.url().path(), "/index");
    EXPECT_TRUE(bodyText(browser).contains("Uw zoekactie heeft 11 resultaten opgeleverd"));
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown.first().contains("<table class=\"resultaten\">"));
    // The redirect set a session cookie; every later request carries it.
    ASSERT_TRUE(load("/index.php?action=page&pagenum=1&address=1011"));
    ASSERT_EQ(site.requests().size(), 3);
    EXPECT_TRUE(site.requests().at(0).cookie.isEmpty());
    EXPECT_EQ(site.requests().at(1).cookie, "sessie=1");
    EXPECT_EQ(site.requests().at(2).cookie, "sessie=1");
    ASSERT_TRUE(load("/index?action=search&address=Cura%C3%A7aostraat"));
    EXPECT_TRUE(bodyText(browser).contains(QStringLiteral("Curaçaostraat")));
}

// Refused connections and error statuses are checked where the walk reports
// them; here the limits of the browser itself.
TEST_F(BrowserTest, OversizedUnreadableAndAbandonedLoadsComplete)
{
    // An endless or huge answer is cut off, not kept.
    site.options().fixedPages = {{"/huge", QByteArray(Browser::MaxPageBytes + 1, 'x')}};
    ASSERT_TRUE(load("/huge"));
    EXPECT_EQ(browser.failure(), "the page is larger than 8 MiB");
    EXPECT_EQ(bodyText(browser), "");

    // A page the document layer will not read fails too.
    site.options().fixedPages = {{"/deep", QByteArray("<div>").repeated(40000)}};
    ASSERT_TRUE(load("/deep"));
    EXPECT_EQ(browser.failure(), "the page nests too deep or grows too large to read");

    // A page that never completes is abandoned; the next load is the next page.
    browser.navigate(site.baseUrl() + "/hang/index?action=search&address=1011");
    ASSERT_TRUE(testing_support::runEventsUntil(
        [this] { return browser.ReadyState() == Browser::Interactive; }, 5000));
    EXPECT_EQ(browser.Document(), nullptr);
    browser.stop();
    EXPECT_EQ(browser.ReadyState(), Browser::Complete);
    ASSERT_TRUE(load("/index?action=search&address=1010"));
    EXPECT_EQ(browser.failure(), "");
    EXPECT_TRUE(bodyText(browser).contains("heeft 10 resultaten"));
}
