#include "mail/modMXQuery.h"
#include "ScriptedPeers.h"
#include "support/TestEnv.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace mail;
using testing_support::DnsPeer;
using testing_support::labels;

namespace {

class MXQuery : public ::testing::Test
{
protected:
    testing_support::TestEnv t;
    DnsPeer dns;
    modMXQuery mx;
    QTemporaryDir dir;

    void SetUp() override { configure("nameserver 127.0.0.1\ndomain aa.bb.cc\n"); }
    void configure(const QByteArray& conf)
    {
        dns.configure(dir, conf);
        mx.forgetDnsSettings();
    }
    QStringList askedNames() const
    {
        QStringList names;
        for (const QByteArray& q : dns.questions) {
            qsizetype at = 12;
            QString name;
            ReadDnsName(q, at, name);
            names << name;
        }
        return names;
    }
};

} // namespace

TEST_F(MXQuery, QuestionDatagramAndSettings)
{
    EXPECT_EQ(mxQuestion(0x11DF, "ab.cd"),
              QByteArray("\x11\xDF\x01\x00\x00\x01\x00\x00\x00\x00\x00\x00"
                         "\x02"
                         "ab\x02"
                         "cd\x00\x00\x0F\x00\x01",
                         23));
    configure("# comment\nnameserver 127.0.0.1\nnameserver 10.0.0.1\nsearch x.yy.zz q.nl\n");
    const DnsSettings settings = LoadDnsSettings();
    EXPECT_EQ(settings.servers, (QStringList{"127.0.0.1", "10.0.0.1"}));
    EXPECT_EQ(settings.localDomain, "x.yy.zz");
    EXPECT_EQ(settings.baseDomain, "yy.zz");
    EXPECT_EQ(settings.port, dns.port());

    // Only the first server is asked.
    dns.answerWith(1, DnsPeer::mx(5, labels("mx.x.yy.zz")));
    EXPECT_EQ(mx.MXLookup("", t.env), "mx.x.yy.zz");
    EXPECT_EQ(askedNames(), QStringList{"x.yy.zz"});
}

TEST_F(MXQuery, LowestPreferenceWinsFirstAmongEquals)
{
    // Names written out in full: each record after the first starts at a
    // place a fixed offset does not reach. Preferences are unsigned: 40000
    // ranks last, not first.
    dns.answerWith(3, DnsPeer::mx(40000, labels("a.mx.nl")) + DnsPeer::mx(10, labels("b.mx.nl")) +
                          DnsPeer::mx(10, labels("c.mx.nl")));
    EXPECT_EQ(mx.MXLookup("voorbeeld.nl", t.env), "b.mx.nl");
    QStringList order;
    for (const MXRecord& r : mx.MXList())
        order << r.Host + ":" + QString::number(r.Preference);
    EXPECT_EQ(order, (QStringList{"b.mx.nl:10", "c.mx.nl:10", "a.mx.nl:40000"}));

    // A compressed exchange name (a label, then a pointer to the question).
    dns.answerWith(1, DnsPeer::mx(1, "\x04mail\xC0\x0C"));
    EXPECT_EQ(mx.MXLookup("voorbeeld.nl", t.env), "mail.voorbeeld.nl");

    // A CNAME first: no exchanger.
    QByteArray cname = DnsPeer::mx(1, labels("elders.nl"));
    cname[3] = 5;
    dns.answerWith(2, cname + DnsPeer::mx(1, labels("mx.voorbeeld.nl")));
    EXPECT_EQ(mx.MXLookup("voorbeeld.nl", t.env), "");
}

TEST_F(MXQuery, ParentDomainRetryStopsAtTheBaseDomain)
{
    EXPECT_EQ(mx.MXLookup("x.aa.bb.cc", t.env), "");
    EXPECT_EQ(askedNames(), (QStringList{"x.aa.bb.cc", "aa.bb.cc", "bb.cc"}));

    dns.questions.clear();
    EXPECT_EQ(mx.MXLookup("x.elders.nl", t.env), "");
    EXPECT_EQ(askedNames(), QStringList{"x.elders.nl"});

    // A parent shorter than five characters ends the chain unasked.
    configure("nameserver 127.0.0.1\ndomain a.b.cc\n");
    dns.questions.clear();
    EXPECT_EQ(mx.MXLookup("x.b.cc", t.env), "");
    EXPECT_EQ(askedNames(), QStringList{"x.b.cc"});
    ASSERT_TRUE(mx.recordedError());
    EXPECT_EQ(mx.recordedError()->description(), "No Valid Domain Specified");

    dns.questions.clear();
    EXPECT_EQ(mx.MXLookup("a.bc", t.env), "");
    EXPECT_TRUE(dns.questions.isEmpty());

    configure("search\n");
    EXPECT_EQ(mx.MXLookup("voorbeeld.nl", t.env), "");
    EXPECT_EQ(mx.recordedError()->description(), "No DNS entries found, MX Query cannot contine.");
}

TEST_F(MXQuery, CutAndMalformedRepliesNeverReadPastTheirEnd)
{
    const QByteArray q = mxQuestion(7, "voorbeeld.nl");
    const QByteArray two = DnsPeer::reply(
        q, 2, DnsPeer::mx(10, labels("a.mx.nl")) + DnsPeer::mx(5, labels("b.mx.nl")));
    QList<MXRecord> list;
    EXPECT_EQ(ParseMXAnswers(two, 12, 2, list), "b.mx.nl");
    // Every cut gives the records before it, or nothing.
    for (qsizetype size = 0; size < two.size(); ++size) {
        const QString best = ParseMXAnswers(two.left(size), 12, 2, list);
        EXPECT_TRUE(best == "" || best == "a.mx.nl") << size;
    }
    // More answers announced than present; a pointer to itself; a pointer
    // past the end; a label longer than the reply.
    EXPECT_EQ(ParseMXAnswers(two, 12, 9, list), "b.mx.nl");
    EXPECT_EQ(ParseMXAnswers(DnsPeer::reply(q, 1, DnsPeer::mx(1, "\xC0\x00")), 12, 1, list), "");
    QByteArray loop = DnsPeer::reply(q, 1, DnsPeer::mx(1, "\x01x\xC0\x00"));
    const qsizetype self = loop.size() - 2;
    loop[loop.size() - 1] = char(self);
    EXPECT_EQ(ParseMXAnswers(loop, 12, 1, list), "");
    EXPECT_EQ(ParseMXAnswers(DnsPeer::reply(q, 1, DnsPeer::mx(1, "\xFF\xFF")), 12, 1, list), "");
    EXPECT_EQ(ParseMXAnswers(DnsPeer::reply(q, 1, DnsPeer::mx(1, "\x3Fshort")), 12, 1, list), "");

    // Over the wire: a reply shorter than its header.
    dns.answer = [](const QByteArray& question) { return QList<QByteArray>{question.left(3)}; };
    EXPECT_EQ(mx.MXLookup("voorbeeld.nl", t.env), "");
}

TEST_F(MXQuery, OnlyTheAskedServerWithTheQuestionsIdentifierIsHeard)
{
    QUdpSocket forger;
    forger.bind(QHostAddress::LocalHost, 0);
    // The right identifier from another port.
    dns.heard = [&](const QNetworkDatagram& q) {
        forger.writeDatagram(DnsPeer::reply(q.data(), 1, DnsPeer::mx(1, labels("kwaad.nl"))),
                             q.senderAddress(), q.senderPort());
    };
    // Another identifier from the asked port, and then, when honest, the
    // answer itself.
    bool honest = false;
    dns.answer = [&](const QByteArray& q) {
        QByteArray wrongId = DnsPeer::reply(q, 1, DnsPeer::mx(1, labels("kwaad.nl")));
        wrongId[0] = char(~quint8(q[0]));
        QList<QByteArray> replies{wrongId};
        if (honest)
            replies << DnsPeer::reply(q, 1, DnsPeer::mx(1, labels("goed.voorbeeld.nl")));
        return replies;
    };
    EXPECT_EQ(mx.MXLookup("voorbeeld.nl", t.env), "");
    EXPECT_GE(t.clocks.tick, quint32(modMXQuery::ReceiveTimeoutMs));

    honest = true;
    EXPECT_EQ(mx.MXLookup("voorbeeld.nl", t.env), "goed.voorbeeld.nl");
}
