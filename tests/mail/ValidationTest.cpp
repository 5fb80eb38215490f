#include "mail/Validation.h"
#include "mail/HostLookup.h"
#include "support/MailDoubles.h"

#include <gtest/gtest.h>

using namespace mail;
using testing_support::icmpAllowed;

// Host names are judged by a substring of the fixed domain list.
TEST(Validation, HostNamesMatchASubstringOfTheDomainList)
{
    EXPECT_TRUE(IsValidHostName("smtp.voorbeeld.nl"));
    EXPECT_TRUE(IsValidHostName("host.b"));   // a fragment of the list
    EXPECT_TRUE(IsValidHostName("host."));    // an empty last label
    EXPECT_TRUE(IsValidHostName("host.m o")); // "M O" spans two entries
    EXPECT_FALSE(IsValidHostName("host.info"));
    EXPECT_FALSE(IsValidHostName("nl"));
}

TEST(Validation, AddressesAreJudgedByTheirDomain)
{
    EXPECT_TRUE(IsValidEmailAddress("@voorbeeld.nl"));
    EXPECT_TRUE(IsValidEmailAddress("jan@mail.VOORBEELD.NL "));
    EXPECT_FALSE(IsValidEmailAddress("jan@@voorbeeld.nl"));
    EXPECT_FALSE(IsValidEmailAddress("voorbeeld.nl"));
    EXPECT_FALSE(IsValidEmailAddress("jan@voorbeeld.info"));
    EXPECT_FALSE(IsValidEmailAddress("jan@localhost"));
    EXPECT_TRUE(IsValidEmailAddress("jan@239.255.255.255"));
    EXPECT_FALSE(IsValidEmailAddress("jan@240.1.1.1"));
    EXPECT_FALSE(IsValidEmailAddress("jan@1.2.3.256"));
    EXPECT_TRUE(allAddressesValid({}));
    EXPECT_FALSE(allAddressesValid({"a@b.nl", "c", "d@e.nl"}));
}

TEST(Validation, IpAddressRules)
{
    EXPECT_TRUE(IsIPAddress("10.0.0.1"));
    EXPECT_TRUE(IsIPAddress("-1.2.3.4")); // no lower bound
    EXPECT_TRUE(IsIPAddress(" 1.2.3.4"));
    EXPECT_FALSE(IsIPAddress("1.2.3"));
    EXPECT_FALSE(IsIPAddress("1.2.3.4.5"));
    EXPECT_FALSE(IsIPAddress("a.2.3.4"));
    EXPECT_FALSE(IsIPAddress("1..3.4"));
    EXPECT_EQ(IpTextToLong("1.2.3.4"), 0x04030201);
    EXPECT_EQ(IpTextToLong("1.2.3.4.5"), 0);
    EXPECT_EQ(IpTextToLong("-1.2.3.4"), 0);
}

TEST(HostLookup, ResolvesAndHandsBackTheNameWithANul)
{
    QString name = "  localhost ";
    EXPECT_EQ(GetIPAddress(name), "127.0.0.1");
    EXPECT_EQ(name, QString("localhost") + QChar(0));
    // Again with that variable: the name ends at its first NUL.
    EXPECT_EQ(GetIPAddress(name), "127.0.0.1");

    name.clear();
    EXPECT_FALSE(GetIPAddress(name).isEmpty());
    EXPECT_EQ(name, GetIPHost() + QChar(0));
}

TEST(HostLookup, PingAnswersOnlyForTheHostItself)
{
    testing_support::TestEnv t;
    Pinger pinger(t.env);
    QString address = "nosuch.invalid";
    QString roundTrip = "-";
    QString size = "-";
    bool match = false;
    EXPECT_FALSE(pinger.Ping(address, roundTrip, size, match));
    EXPECT_EQ(roundTrip, "-");
    EXPECT_EQ(size, "-");

    if (!icmpAllowed())
        GTEST_SKIP() << "no ICMP socket may be opened here";
    // Twice: each request carries the next number of this pinger, and the
    // round trip is read off the environment's clock.
    for (int i = 0; i < 2; ++i) {
        address = "127.0.0.1";
        match = false;
        const qsizetype pausesBefore = t.wait.pauses.size();
        EXPECT_TRUE(pinger.Ping(address, roundTrip, size, match));
        EXPECT_EQ(address, "127.0.0.1");
        EXPECT_EQ(size, "32 bytes");
        EXPECT_TRUE(match);
        EXPECT_EQ(roundTrip.toInt(), t.wait.pauses.size() - pausesBefore);
        EXPECT_LE(roundTrip.toInt(), 255);
    }
}
