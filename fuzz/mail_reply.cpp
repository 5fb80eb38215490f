// Arbitrary server replies, first through the reply assembler alone (cut
// anywhere, the same whole replies, no byte lost or doubled), then through a
// whole send: a scripted server on
// 127.0.0.1 answers the greeting and every line the session sends with the
// next piece of the input, and the session's reply handler (SMTP and, before
// it, POP3) makes of them what it will. Besides running clean, a send ends
// with exactly one word (success or failure), and success comes only after
// the message went out.
//
// Input: a flag byte (1 POP3 before SMTP, 2 AUTH LOGIN, 4 an attachment,
// 8 Connect/Send/Disconnect), then the replies, separated by NUL bytes. The
// POP3 server plays those before a reply "<smtp>", the SMTP server those
// after it; without one, each plays them all from the first. What the
// scripted server understands beyond plain replies: "" answers nothing,
// "<close>" closes, "|" splits a reply into two writes. After the last reply
// the server closes, so that a send ends without waiting out its time.
#include "Fuzz.h"
#include "ScriptedPeers.h"
#include "mail/clsSendMail.h"
#include "mail/internal/ReplyAssembler.h"
#include "support/MailDoubles.h"

#include <QCoreApplication>
#include <QTemporaryDir>

using testing_support::ScriptedPeer;

namespace {

// Handles what is pending and moves the fake clocks on without sleeping:
// a loopback reply is there within a few passes, and a silent server costs
// no real time.
class InstantWait : public platform::Wait
{
public:
    explicit InstantWait(testing_support::FakeClocks& clocks) : m_clocks(clocks) {}
    qint32 MsgWaitObj(qint32 Milliseconds) override
    {
        platform::QtEventWait().processPending();
        m_clocks.advance(Milliseconds);
        return platform::WaitTimeout;
    }

private:
    testing_support::FakeClocks& m_clocks;
};

QList<QByteArray> texts(const QList<mail::internal::Reply>& replies)
{
    QList<QByteArray> out;
    for (const auto& r : replies)
        out << r.text;
    return out;
}

void checkAssembler(const QByteArray& bytes, std::uint8_t flags)
{
    using mail::internal::ReplyAssembler;
    const auto mode = flags & 16 ? ReplyAssembler::Mode::Pop3 : ReplyAssembler::Mode::Smtp;
    ReplyAssembler whole;
    whole.setMode(mode);
    const QList<QByteArray> once = texts(whole.feed(bytes));
    fuzz::require(bytes.startsWith(once.join()), "replies are the input, in order");
    // Cut where the input itself says (each NUL byte ends a read).
    ReplyAssembler cut;
    cut.setMode(mode);
    QList<QByteArray> pieces;
    qsizetype from = 0;
    for (qsizetype at = 0; at <= bytes.size(); ++at)
        if (at == bytes.size() || bytes[at] == '\0') {
            pieces += texts(cut.feed(bytes.mid(from, at + 1 - from)));
            from = at + 1;
        }
    // Only the limit on an endless reply may cut differently.
    if (bytes.size() <= ReplyAssembler::MaxReply)
        fuzz::require(pieces == once, "the same replies however the reads are cut");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const std::uint8_t flags = data[0];
    checkAssembler(fuzz::bytes(data + 1, size - 1), flags);
    QList<QByteArray> script = fuzz::bytes(data + 1, size - 1).split('\0');
    const qsizetype split = script.indexOf("<smtp>");
    QList<QByteArray> popScript = split < 0 ? script : script.mid(0, split);
    QList<QByteArray> smtpScript = split < 0 ? script : script.mid(split + 1);
    popScript << "<close>";
    smtpScript << "<close>";

    testing_support::MailTestEnv t;
    InstantWait wait(t.zoned);
    t.env.wait = &wait;
    ScriptedPeer pop(popScript);
    ScriptedPeer smtp(smtpScript);
    pop.splitMs = smtp.splitMs = 0;
    QTemporaryDir dir;

    int successes = 0;
    int failures = 0;
    {
        mail::clsSendMail mail(t.env);
        QObject::connect(&mail, &mail::clsSendMail::SendSuccesful, [&] { ++successes; });
        QObject::connect(&mail, &mail::clsSendMail::SendFailed,
                         [&](const QString&) { ++failures; });
        mail.setSMTPHostValidation(0);
        mail.setSMTPHost("127.0.0.1");
        mail.setSMTPPort(smtp.port());
        mail.setFrom("jan@voorbeeld.nl");
        mail.setRecipient("piet@voorbeeld.nl");
        mail.setSubject("Verslag");
        mail.setMessage("Hallo Piet,\r\n.punt\r\n");
        mail.setConnectTimeout(1);
        mail.setMessageTimeout(1);
        mail.setConnectRetry(1);
        mail.setUsername("jan");
        mail.setPassword("geheim");
        if (flags & 1) {
            mail.setUsePopAuthentication(true);
            mail.setPOP3Host("127.0.0.1");
            mail.setPOP3Port(pop.port());
        }
        mail.setUseAuthentication(flags & 2);
        if (flags & 4)
            mail.setAttachment(
                testing_support::writeFile(dir, "bijlage.bin", QByteArray(6000, '\xA5')));
        if (flags & 8) {
            if (mail.Connect())
                mail.Send();
            mail.Disconnect();
        } else {
            mail.Send();
        }
    }

    // A failed Connect already spoke; the Send after it did not run.
    fuzz::require(successes + failures >= 1, "a send does not end without a word");
    fuzz::require(successes == 0 || failures == 0, "a send does not end in success and failure");
    // Only the server knows whether it had the message whole: one that
    // answers 250 before the final "." is believed like any other.
    fuzz::require(successes == 0 || smtp.received.contains("DATA"),
                  "success comes after the message went out");
    return 0;
}
