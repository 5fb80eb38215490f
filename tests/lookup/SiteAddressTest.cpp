#include "lookup/SiteAddress.h"

#include <gtest/gtest.h>

using namespace lookup;

// Search addresses (a trailing blank, as sent) are checked by PageWalk; here
// the characters a query may carry that mean something in an address.
TEST(SiteAddress, LoggedAsBuiltEncodedOnTheWire)
{
    const QString base = QStringLiteral("http://127.0.0.1:8080");
    const QString odd = QStringLiteral("A&B #1 50%+\tCuraçao's");
    const SiteAddress page = pageAddress(base, 12, odd);
    EXPECT_EQ(page.logged, "http://127.0.0.1:8080/index.php?goto=postcoderesult&action=page"
                           "&pagenum=12&address=" +
                               odd + "&TreeID=1");
    EXPECT_EQ(page.wire.toEncoded(),
              "http://127.0.0.1:8080/index.php?goto=postcoderesult&action=page&pagenum=12"
              "&address=A%26B%20%231%2050%25%2B%09Cura%C3%A7ao's&TreeID=1");
    EXPECT_EQ(page.wire.fragment(), QString());
}
