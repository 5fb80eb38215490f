#include "lookup/PageWalk.h"

#include "CannedSite.h"
#include "platform/Browser.h"
#include "support/RecordingSink.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

using namespace lookup;
using testing_support::CannedSite;

namespace {

const QString SearchPath =
    QStringLiteral("/index?action=search&goto=postcoderesult&TreeID=1&address=");

struct Walker
{
    testing_support::TestEnv te;
    platform::Browser browser{*te.env.network};
    testing_support::RecordingSink sink;
    PageWalk walk{te.env, sink, browser};
};

} // namespace

// An answer without a page reads like a search without results; it must
// fail the load instead, or the request would be closed with no rows.
TEST(HostilePage, AnswerThatIsNoPageFailsTheLoad)
{
    const QByteArray close = "Connection: close\r\n";
    struct Case
    {
        QByteArray answer;
        QString reason;
    };
    const Case cases[] = {
        {"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 0\r\n" + close + "\r\n",
         "the answer is empty"},
        {"HTTP/1.1 204 No Content\r\n" + close + "\r\n", "HTTP 204 without a page"},
        {"HTTP/1.1 304 Not Modified\r\n" + close + "\r\n", "HTTP 304 without a page"},
        {"HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nContent-Length: 8\r\n" + close +
             "\r\n\x89PNG\r\n\x1a\n",
         "the answer is no page (image/png)"},
    };
    for (const Case& c : cases) {
        CannedSite site(c.answer);
        ASSERT_TRUE(site.listen());
        Walker w;
        const WalkResult r = w.walk.GetPostcodes(site.baseUrl(), "1011", "S");
        EXPECT_EQ(r.outcome, Outcome::Unreachable) << qPrintable(c.reason);
        ASSERT_FALSE(w.sink.lines.isEmpty());
        EXPECT_EQ(w.sink.lines.last(),
                  "Pagina niet geladen: " + site.baseUrl() + SearchPath + "1011: " + c.reason);
        EXPECT_EQ(w.sink.colours.last(), 0x0000FFu);
    }

    // Plain text is still a page: no results, no failure.
    CannedSite text("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 5\r\n" + close +
                    "\r\nleeg\n");
    ASSERT_TRUE(text.listen());
    Walker w;
    EXPECT_EQ(w.walk.GetPostcodes(text.baseUrl(), "1011", "S").outcome, Outcome::Done);
}
