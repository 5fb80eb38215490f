#include "ScriptedPeers.h"
#include "mail/clsSendMail.h"
#include "mail/modMXQuery.h"
#include "support/MailDoubles.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <numeric>

using namespace mail;
using testing_support::ScriptedPeer;
using testing_support::writeFile;

namespace {

const QByteArray Hi = "220 peer ready\r\n";
const QByteArray Helo = "250 peer\r\n";
const QByteArray Ok = "250 OK\r\n";
const QByteArray Go = "354 go ahead\r\n";
const QByteArray Queued = "250 queued\r\n";
const QByteArray Bye = "221 bye\r\n";
const QByteArray AskUser = "334 VXNlcm5hbWU6\r\n";     // "Username:"
const QByteArray AskPassword = "334 UGFzc3dvcmQ6\r\n"; // "Password:"
const QList<QByteArray> Plain{Hi, Helo, Ok, Ok, Go, Queued, Bye};
const QString Timeout = "Timeout occurred: The SMTP Host did not respond to the request";

// The stream with its time-dependent parts (Date line, boundary) made equal.
QByteArray timeless(QByteArray stream)
{
    QString text = QString::fromLatin1(stream);
    text.replace(QRegularExpression("Date: [^\r]*"), "Date: -");
    text.replace(QRegularExpression("_NextPart_000_[0-9A-F.]+"), "_NextPart_000_-");
    return text.toLatin1();
}

class Session : public ::testing::Test
{
protected:
    testing_support::MailTestEnv t;
    QTemporaryDir dir;
    std::unique_ptr<clsSendMail> mail;
    QStringList statuses;
    QStringList failures;
    QStringList traces;
    QList<int> progress;
    int successes = 0;

    void SetUp() override
    {
        // The day clock moves with every recorded pause, as time would.
        t.wait.during = [this](qint32 ms) { t.zoned.advance(ms); };
        mail = make();
    }
    std::unique_ptr<clsSendMail> make()
    {
        auto m = std::make_unique<clsSendMail>(t.env);
        m->setSMTPHostValidation(0);
        m->setSMTPHost("127.0.0.1");
        m->setFrom("jan@voorbeeld.nl");
        m->setRecipient("piet@voorbeeld.nl");
        m->setSubject("Verslag");
        m->setMessage("Hallo Piet,\r\n.punt\r\n");
        m->setConnectTimeout(10);
        m->setUsername("jan");
        m->setPassword("geheim");
        QObject::connect(m.get(), &clsSendMail::status,
                         [this](const QString& s) { statuses << s; });
        QObject::connect(m.get(), &clsSendMail::SendFailed,
                         [this](const QString& s) { failures << s; });
        QObject::connect(m.get(), &clsSendMail::DebugPrint,
                         [this](const QString& s) { traces << s; });
        QObject::connect(m.get(), &clsSendMail::Progress, [this](int p) { progress << p; });
        QObject::connect(m.get(), &clsSendMail::SendSuccesful, [this] { ++successes; });
        return m;
    }
    void sendTo(ScriptedPeer& peer)
    {
        peer.tlsFolder = QStringLiteral(MAIL_TEST_DATA);
        mail->setSMTPPort(peer.port());
        mail->Send();
    }
    // One send to a peer playing `script`, from no earlier failures: what
    // the peer received.
    QList<QByteArray> dialogue(const QList<QByteArray>& script)
    {
        failures.clear();
        ScriptedPeer peer(script);
        sendTo(peer);
        return peer.received;
    }
    // StartTls to "localhost", trusting the test authority.
    void underStartTls()
    {
        mail->setSMTPHost("localhost");
        mail->setStartTls(true);
        mail->setCaFile(QStringLiteral(MAIL_TEST_DATA) + "/test-ca.pem");
    }
    qint64 waitedMs() const
    {
        return std::accumulate(t.wait.pauses.begin(), t.wait.pauses.end(), qint64(0));
    }
};

} // namespace

TEST_F(Session, PlainSendWithAttachmentsFollowsTheCommandSequence)
{
    // The reply to MAIL FROM comes in two pieces.
    ScriptedPeer peer({Hi, Helo, "25|0 OK\r\n", Ok, Ok, Ok, Go, Queued, Bye});
    mail->setCcRecipient("kees@voorbeeld.nl");
    mail->setBccRecipient("geheim@voorbeeld.nl");
    mail->setAttachment(writeFile(dir, "a.bin", QByteArray(30000, '\xA5')) + ";" +
                        writeFile(dir, "b.txt", "tekst"));
    testing_support::RecordingWriter expected;
    ASSERT_TRUE(mail->writeMessage(expected));
    statuses.clear();

    sendTo(peer);

    EXPECT_EQ(peer.received,
              (QList<QByteArray>{"HELO voorbeeld.nl", "MAIL FROM: <jan@voorbeeld.nl>",
                                 "RCPT TO: <piet@voorbeeld.nl>", "RCPT TO: <kees@voorbeeld.nl>",
                                 "RCPT TO: <geheim@voorbeeld.nl>", "DATA", "<data>", "QUIT"}));
    EXPECT_EQ(timeless(peer.data), timeless(expected.bytes));
    EXPECT_EQ(statuses,
              (QStringList{"Connecting to SMTP Server (127.0.0.1)...",
                           "Initializing Communications...", "Sending Sender Information...",
                           "Sending Recipient Information...", "Sending Message...",
                           "Sending Attachment, a.bin...", "Sending Attachment, b.txt...",
                           "Transmission Complete...", "Closing Connection..."}));
    EXPECT_EQ(traces.mid(0, 4), (QStringList{QString(Hi), "HELO voorbeeld.nl", QString(Helo),
                                             "MAIL FROM: <jan@voorbeeld.nl>"}));
    EXPECT_TRUE(failures.isEmpty()) << failures.join('|').toStdString();
    EXPECT_EQ(successes, 1);
    EXPECT_EQ(mail->LastResult(), "OK");
    ASSERT_FALSE(progress.isEmpty());
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_EQ(progress.last(), 100);
}

// LOGIN when offered on any line of the EHLO reply, PLAIN when it is the only
// one, with the mechanism in capitals; under StartTls all of it after TLS (the
// missing offer is among the refusals). The credentials never show in the
// trace. Names and passwords beyond ASCII, as UTF-8, meet a server that
// checks them in send_check.py (mail_send_loopback).
TEST_F(Session, EhloLogsInWithLoginOrPlainAfterStartTls)
{
    mail->setUseAuthentication(true);
    mail->setHallo("  ");
    EXPECT_EQ(dialogue({Hi, "250-peer\r\n250-Auth=Login\r\n250 AUTH PLAIN LOGIN\r\n", AskUser,
                        AskPassword, "235 welcome\r\n", Ok, Ok, Go, Queued, Bye}),
              (QList<QByteArray>{"EHLO voorbeeld.nl", "AUTH LOGIN", "amFu", "Z2VoZWlt",
                                 "MAIL FROM: <jan@voorbeeld.nl> AUTH=jan@voorbeeld.nl",
                                 "RCPT TO: <piet@voorbeeld.nl>", "DATA", "<data>", "QUIT"}));
    EXPECT_TRUE(statuses.contains("Host Login OK!"));
    EXPECT_EQ(successes, 1);
    EXPECT_LT(waitedMs(), 5000); // LOGIN was offered, after PLAIN: no pause

    underStartTls();
    const QByteArray offer = "250-peer\r\n250 STARTTLS\r\n";
    EXPECT_EQ(dialogue({Hi, offer, "220 go ahead\r\n<tls>", "250-peer\r\n250 AUTH PLAIN\r\n",
                        "235 2.7.0 ok\r\n", Ok, Ok, Go, Queued, Bye}),
              (QList<QByteArray>{"EHLO voorbeeld.nl", "STARTTLS", "EHLO voorbeeld.nl",
                                 "AUTH PLAIN AGphbgBnZWhlaW0=", "MAIL FROM: <jan@voorbeeld.nl>",
                                 "RCPT TO: <piet@voorbeeld.nl>", "DATA", "<data>", "QUIT"}));
    EXPECT_EQ(successes, 2) << failures.join('|').toStdString();
    for (const QString& line : traces)
        EXPECT_FALSE(line.contains("geheim") || line.contains("Z2VoZWlt") ||
                     line.contains("AGphbgBnZWhlaW0="));

    // A certificate the system does not trust ends the send at the handshake.
    mail->setCaFile("");
    EXPECT_EQ(dialogue({Hi, offer, "220 go ahead\r\n<tls>"}),
              (QList<QByteArray>{"EHLO voorbeeld.nl", "STARTTLS"}));
    ASSERT_EQ(failures.size(), 1);
    EXPECT_TRUE(failures[0].contains("certificate")) << failures[0].toStdString();

    // Without an offer the whole EHLO reply says so: on at once without a
    // log-in. A password prompt the session did not ask for gets no answer.
    mail->setStartTls(false);
    mail->setHallo("mijnhost");
    t.wait.pauses.clear();
    const QList<QByteArray> plain =
        dialogue({Hi, "250 peer\r\n|" + AskPassword, Ok, Ok, Go, Queued, Bye});
    EXPECT_EQ(plain.mid(0, 2),
              (QList<QByteArray>{"EHLO mijnhost", "MAIL FROM: <jan@voorbeeld.nl>"}));
    EXPECT_TRUE(statuses.contains("Login Not Supported by Host, Continuing..."));
    EXPECT_LT(waitedMs(), 5000);
    EXPECT_FALSE(plain.contains("Z2VoZWlt"));
    EXPECT_EQ(successes, 3);
}

// A refusal at any step, a log-in that does not end in 235, or a missing
// STARTTLS ends the send with QUIT, failed with the server's reply.
TEST_F(Session, RefusalsEndTheSendWithTheServersReply)
{
    const auto refused = [this](const QList<QByteArray>& script, const QList<QByteArray>& commands,
                                const QStringList& why) {
        EXPECT_EQ(dialogue(script), commands) << why.join('|').toStdString();
        EXPECT_EQ(failures, why);
        EXPECT_EQ(mail->LastResult(), why.last());
        EXPECT_FALSE(mail->SentOk());
    };
    // A refused QUIT after the message was taken leaves it a success.
    dialogue({Hi, Helo, Ok, Ok, Go, Queued, "500 no\r\n"});
    EXPECT_TRUE(failures.isEmpty());
    EXPECT_EQ(successes, 1);
    EXPECT_TRUE(mail->SentOk());

    mail->setRecipient("a@voorbeeld.nl;b@voorbeeld.nl;c@voorbeeld.nl");
    mail->setUseAuthentication(true);
    // An unknown prompt is cancelled; no 235 follows.
    refused({Hi, "250 AUTH LOGIN\r\n", "334 V2F0Pw==\r\n", "", "", Bye},
            {"EHLO voorbeeld.nl", "AUTH LOGIN", "", "*", "QUIT"}, {"Login: Login failed"});
    // A refusal is reported, and then the failed log-in. AUTH= alone offers
    // LOGIN too.
    refused({Hi, "250 AUTH=LOGIN\r\n", AskUser, AskPassword, "535 nope\r\n", Bye},
            {"EHLO voorbeeld.nl", "AUTH LOGIN", "amFu", "Z2VoZWlt", "QUIT"},
            {"535 nope\r\n", "Login: Login failed"});
    EXPECT_TRUE(statuses.contains("Host Login Failed!"));

    mail->setUseAuthentication(false);
    refused({Hi, Helo, Ok, Ok, "550 no such user\r\n", Bye},
            {"HELO voorbeeld.nl", "MAIL FROM: <jan@voorbeeld.nl>", "RCPT TO: <a@voorbeeld.nl>",
             "RCPT TO: <b@voorbeeld.nl>", "QUIT"},
            {"550 no such user\r\n"});
    refused({Hi, Helo, "451 try later\r\n", Bye},
            {"HELO voorbeeld.nl", "MAIL FROM: <jan@voorbeeld.nl>", "QUIT"}, {"451 try later\r\n"});
    // The 221 to QUIT must not turn a refused message into a success.
    refused({Hi, Helo, Ok, Ok, Ok, Ok, Go, "554 rejected\r\n", Bye},
            {"HELO voorbeeld.nl", "MAIL FROM: <jan@voorbeeld.nl>", "RCPT TO: <a@voorbeeld.nl>",
             "RCPT TO: <b@voorbeeld.nl>", "RCPT TO: <c@voorbeeld.nl>", "DATA", "<data>", "QUIT"},
            {"554 rejected\r\n"});
    // Whatever the answer to QUIT, the session ends there.
    QList<QByteArray> refusing{Hi, Helo};
    for (int i = 0; i < 50; ++i)
        refusing << "500 no\r\n";
    refused(refusing, {"HELO voorbeeld.nl", "MAIL FROM: <jan@voorbeeld.nl>", "QUIT"},
            {"500 no\r\n"});

    underStartTls();
    mail->setUseAuthentication(true);
    refused({Hi, "250-peer\r\n250 AUTH LOGIN\r\n", Bye}, {"EHLO voorbeeld.nl", "QUIT"},
            {"The SMTP Host does not offer STARTTLS; nothing was sent unencrypted, the log-in "
             "and message included"});
    EXPECT_EQ(successes, 1);
}

// A silent peer: ConnectTimeout for the greeting, the stored MessageTimeout
// (its size, at least a second) for a reply, then at most 2 s for the reply
// to QUIT. A wait across midnight lasts its full time.
TEST_F(Session, SilentPeersTimeOutAfterTheFullTime)
{
    struct Case
    {
        const char* stored;
        QList<QByteArray> script;
        qint64 least;
    };
    t.zoned.seconds = 86400 - 10;
    t.settings.values["Briefbode/Settings/PersistentSettings"] = "-1";
    for (const Case& c : {Case{"60", {""}, 30000}, Case{"-45", {Hi, Helo, "", Bye}, 45000},
                          Case{"0", {Hi, Helo, "", Bye}, 1000}}) {
        t.settings.values["Briefbode/Settings/MessageTimeout"] = c.stored;
        mail = make();
        mail->setConnectTimeout(30);
        t.wait.pauses.clear();
        dialogue(c.script);
        EXPECT_EQ(failures, QStringList{Timeout}) << c.stored;
        EXPECT_GE(waitedMs(), c.least);
        EXPECT_LT(waitedMs(), c.least + 3000);
    }
}

// A server that takes DATA and then stops reading: the send ends with the
// time-out once nothing has moved for MessageTimeout, however many chunks
// remain, and the queue in memory stays bounded meanwhile. One that drops
// the connection fails it at once.
TEST_F(Session, AServerThatStopsReadingOrDropsTheDataFailsTheSend)
{
    mail->setMessageTimeout(5);
    mail->setAttachment(writeFile(dir, "groot.bin", QByteArray(8'000'000, '\x5A')));
    t.wait.pauses.clear();
    EXPECT_EQ(dialogue({Hi, Helo, Ok, Ok, Go, "<stall>", Bye}).last(), "<stalled>");
    EXPECT_EQ(failures, QStringList{Timeout});
    EXPECT_TRUE(statuses.contains("Sending Attachment, groot.bin..."));
    // Five seconds without progress after the data that did move, then at
    // most two for QUIT: not two per chunk (over 700 chunks here).
    EXPECT_GE(waitedMs(), 5000);
    EXPECT_LT(waitedMs(), 30000);

    EXPECT_EQ(dialogue({Hi, Helo, Ok, Ok, Go, "<close>"}).last(), "<data cut>");
    EXPECT_EQ(failures.size(), 1);
    EXPECT_EQ(successes, 0);
}

TEST_F(Session, ARefusedConnectionFailsTheSend)
{
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        closedPort = probe.serverPort();
    }
    mail->setSMTPPort(closedPort);
    mail->Send();
    ASSERT_EQ(failures.size(), 1);
    EXPECT_TRUE(failures[0].startsWith("10061 - ")) << failures[0].toStdString();
}

// The accepted log-in in the clear is sent end to end by send_check.py
// (mail_send_loopback).
TEST_F(Session, Pop3LogInFailsTheSendBeforeSmtpOrGoesOverTls)
{
    ScriptedPeer unused(Plain);
    mail->setUsePopAuthentication(true);
    mail->setPOP3Host("127.0.0.1");
    ScriptedPeer refusing({"+OK\r\n", "+OK\r\n", "-ERR wrong password\r\n"});
    mail->setPOP3Port(refusing.port());
    sendTo(unused);
    EXPECT_EQ(refusing.received, (QList<QByteArray>{"USER jan", "PASS geheim"}));
    EXPECT_EQ(statuses.first(), "Connecting to POP3 Server (127.0.0.1)...");

    // A dialogue that never ends is no log-in.
    ScriptedPeer stalled({"+OK\r\n", ""});
    mail->setPOP3Port(stalled.port());
    sendTo(unused);

    // Under StartTls the log-in is encrypted too (STLS), or not sent at all.
    underStartTls();
    mail->setPOP3Host("localhost");
    ScriptedPeer noStls({"+OK ready\r\n", "-ERR unknown command\r\n"});
    mail->setPOP3Port(noStls.port());
    sendTo(unused);
    EXPECT_EQ(noStls.received, QList<QByteArray>{"STLS"});
    EXPECT_EQ(failures, (QStringList{"-ERR wrong password\r\n", Timeout,
                                     "The POP3 Host does not offer STLS; the POP3 log-in was "
                                     "not sent"}));
    EXPECT_EQ(unused.connections, 0);
    EXPECT_EQ(successes, 0);

    ScriptedPeer pop(
        {"+OK ready\r\n", "+OK begin TLS\r\n<tls>", "+OK\r\n", "+OK\r\n", "+OK bye\r\n"});
    ScriptedPeer smtp({Hi, "250-peer\r\n250 STARTTLS\r\n", "220 go ahead\r\n<tls>", Helo, Ok, Ok,
                       Go, Queued, Bye});
    pop.tlsFolder = QStringLiteral(MAIL_TEST_DATA);
    mail->setPOP3Port(pop.port());
    failures.clear();
    sendTo(smtp);
    EXPECT_EQ(pop.received, (QList<QByteArray>{"STLS", "USER jan", "PASS geheim", "QUIT"}));
    EXPECT_EQ(smtp.received.mid(0, 3),
              (QList<QByteArray>{"EHLO voorbeeld.nl", "STARTTLS", "EHLO voorbeeld.nl"}));
    EXPECT_EQ(successes, 1) << failures.join('|').toStdString();
}

// Connect keeps the session open for the sends that follow. Nothing of a send
// whose texts would break a command line reaches a server: Send checks every
// text first (the message's own ones are pinned by the composition cases),
// Connect the session's.
TEST_F(Session, ConnectKeepsOneSessionForTwoSends)
{
    ScriptedPeer peer({Hi, Helo, Ok, Ok, Go, Queued, Ok, Ok, Go, Queued, Bye, Hi, Helo, Bye});
    mail->setSMTPPort(peer.port());
    mail->setHallo("mijnhost\r\nRSET");
    mail->Send();
    EXPECT_FALSE(mail->Connect());
    EXPECT_EQ(failures, QStringList(2, "Control character (U+000D) in the HELO name"));
    EXPECT_EQ(peer.connections, 0);
    mail->setHallo("");
    ASSERT_TRUE(mail->Connect());
    mail->Send();
    mail->setSubject("Tweede");
    mail->Send();
    mail->Disconnect();
    const QList<QByteArray> one{"MAIL FROM: <jan@voorbeeld.nl>", "RCPT TO: <piet@voorbeeld.nl>",
                                "DATA", "<data>"};
    EXPECT_EQ(peer.received,
              QList<QByteArray>{"HELO voorbeeld.nl"} + one + one + QList<QByteArray>{"QUIT"});
    EXPECT_EQ(peer.connections, 1);
    EXPECT_EQ(successes, 2);

    // An instance that goes away ends its session with QUIT.
    ASSERT_TRUE(mail->Connect());
    mail.reset();
    EXPECT_EQ(peer.connections, 2);
    EXPECT_EQ(peer.received.mid(peer.received.size() - 2),
              (QList<QByteArray>{"HELO voorbeeld.nl", "QUIT"}));
}

TEST_F(Session, WithoutAHostTheMailExchangerIsAsked)
{
    testing_support::DnsPeer dns;
    dns.configure(dir, "nameserver 127.0.0.1\ndomain voorbeeld.nl\n");
    dns.answerWith(1, testing_support::DnsPeer::mx(10, testing_support::labels("127.0.0.1")));
    modMXQuery mx;
    ScriptedPeer peer(Plain);
    mail->setMXResolver(mx);
    mail->setSMTPHost("");
    sendTo(peer);
    EXPECT_EQ(statuses.mid(0, 2),
              (QStringList{"Performing MX Query", "Connecting to SMTP Server (127.0.0.1)..."}));
    EXPECT_EQ(successes, 1);

    dns.answer = {};
    mail->setSMTPHost("");
    mail->Send();
    EXPECT_EQ(failures, QStringList{"Invalid or Missing SMTP Host Name"});
}
