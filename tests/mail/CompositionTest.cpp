#include "mail/Composition.h"
#include "mail/clsSendMail.h"
#include "support/MailDoubles.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace mail;
using testing_support::MailTestEnv;
using testing_support::RecordingWriter;
using testing_support::writeFile;

namespace {

// The expected stream written with "\n" line ends; {B} is the boundary.
QByteArray expected(QByteArray text)
{
    return text.replace("{B}", "----_=_NextPart_000_0000B51A.039A266C").replace("\n", "\r\n");
}

// The lines every test message begins with, and the MIME lines after them.
const QByteArray Head = "From: \"Jan de Vries\" <jan@voorbeeld.nl>\n"
                        "To: \"piet@voorbeeld.nl\" <piet@voorbeeld.nl>\n"
                        "Subject: Verslag\n"
                        "Date: Sun, 6 Dec 2026 14:30:15 +0100\n";
const QByteArray Mime =
    "MIME-Version: 1.0\n"
    "X-Mailer: Brevaro Emailer version 1.0 (https://straatwijs.nl/briefbode/)\n";
const QByteArray Text = "Content-Type: text/plain;\n"
                        "\tcharset=\"iso-8859-1\"\n"
                        "Content-Transfer-Encoding: 7bit\n";

// A multipart body's head through its first boundary line.
QByteArray multipart(const QByteArray& kind)
{
    return "Content-Type: multipart/" + kind +
           ";\n\tboundary=\"{B}\"\n\nThis is a multi-part message in MIME format.\n\n--{B}\n";
}

// An attached file's part headers.
QByteArray attached(const QByteArray& type, const QByteArray& name)
{
    return "Content-Type: " + type + ";\n\tname=\"" + name +
           "\"\nContent-Transfer-Encoding: base64\nContent-Disposition: attachment;\n"
           "\tfilename=\"" +
           name + "\"\n";
}

class Composition : public ::testing::Test
{
protected:
    MailTestEnv t;
    clsSendMail mail{t.env};
    QTemporaryDir dir;
    QStringList failures;

    void SetUp() override
    {
        mail.setFrom("jan@voorbeeld.nl");
        mail.setFromDisplayName("Jan de Vries");
        mail.setRecipient("piet@voorbeeld.nl");
        mail.setSubject("Verslag");
        QObject::connect(&mail, &clsSendMail::SendFailed,
                         [this](const QString& why) { failures << why; });
    }
    QByteArray written()
    {
        RecordingWriter w;
        EXPECT_TRUE(mail.writeMessage(w)) << mail.LastResult().toStdString();
        return w.bytes;
    }
};

} // namespace

TEST_F(Composition, PlainMessageWithDisplayNamesCcAndReplyTo)
{
    mail.setFrom(" jan@voorbeeld.nl ");
    mail.setRecipient("piet@voorbeeld.nl;klaas@example.com");
    mail.setRecipientDisplayName("Piet");
    mail.setCcRecipient("anne@voorbeeld.nl");
    mail.setCcDisplayName("Anne M\u00fcller");
    mail.setBccRecipient("geheim@voorbeeld.nl");
    mail.setReplyToAddress("secretariaat@voorbeeld.nl");
    mail.setMessage("Beste Piet,\r\n\r\nTot morgen.\r\nJan");
    mail.setSubject("Hallo\r\n.\r\nRSET"); // encoded, not broken into lines
    EXPECT_EQ(written(), expected("From: \"Jan de Vries\" <jan@voorbeeld.nl>\n"
                                  "To: \"Piet\" <piet@voorbeeld.nl>, \n"
                                  "\t\"klaas@example.com\" <klaas@example.com>\n"
                                  "Cc: =?ISO-8859-1?Q?Anne_M=FCller?= <anne@voorbeeld.nl>\n"
                                  "Subject: =?ISO-8859-1?B?SGFsbG8NCi4NClJTRVQ=?=\n"
                                  "Reply-to: <secretariaat@voorbeeld.nl>\n"
                                  "Date: Sun, 6 Dec 2026 14:30:15 +0100\n" +
                                  Mime + Text + "\n\nBeste Piet,\n\nTot morgen.\nJan\n\n\n.\n"));
    EXPECT_EQ(mail.RecipientDisplayName(), "Piet;"); // padded to the addresses
}

TEST_F(Composition, EightBitBodyPriorityAndReceipt)
{
    mail.setMessage("Cura\u00e7ao");
    mail.setPriority(1);
    mail.setReceipt(true);
    mail.setXMailer("x\n.\nDATA"); // kept on its line
    EXPECT_EQ(written(),
              expected(Head + "MIME-Version: 1.0\n"
                              "X-Priority: 1\n"
                              "X-MSMail-Priority: High\n"
                              "X-Mailer: x . DATA\n"
                              "Disposition-Notification-To: \"Jan de Vries\" <jan@voorbeeld.nl>\n"
                              "Content-Type: text/plain;\n"
                              "\tcharset=\"iso-8859-1\"\n"
                              "Content-Transfer-Encoding: 8bit\n"
                              "\n\nCura\xe7"
                              "ao\n\n\n.\n"));

    // 127 counts as 8-bit; Priority 2 keeps the previous text; no X-Mailer
    // when it is blank.
    mail.setMessage("a\x7f");
    EXPECT_TRUE(mail.EightBitMessage());
    mail.setMessage("plain");
    mail.setPriority(2);
    mail.setXMailer(" ");
    const QByteArray headers = written();
    EXPECT_TRUE(headers.contains("X-Priority: 2\r\nX-MSMail-Priority: High\r\nDisp"));
    EXPECT_TRUE(headers.contains("Content-Transfer-Encoding: 7bit"));
}

TEST_F(Composition, HtmlWithAnEmbeddedImageIsMultipartRelated)
{
    const QString logo = writeFile(dir, "logo.gif", "GIF89a");
    mail.setAsHTML(true);
    mail.setContentBase("www.voorbeeld.nl\\site");
    mail.setMessage("<html><img src=\"" + logo.toUpper() + "\"> logo.gif</html>");
    mail.setAttachment(logo);
    EXPECT_EQ(written(), expected(Head + Mime + multipart("related") +
                                  "Content-Type: text/html;\n"
                                  "\tcharset=\"iso-8859-1\"\n"
                                  "Content-Transfer-Encoding: 7bit\n"
                                  "Content-Base: \"http://www.voorbeeld.nl/site/\"\n"
                                  "\n\n"
                                  "<html><img src=\"cid:logo.gif\"> logo.gif</html>\n\n\n"
                                  "--{B}\n" +
                                  attached("image/gif", "logo.gif") +
                                  "Content-ID: <logo.gif>\n"
                                  "\n"
                                  "R0lGODlh\n"
                                  "\n"
                                  "--{B}--\n"
                                  ".\n"));
}

TEST_F(Composition, TwoAttachmentsAreMultipartMixed)
{
    mail.setMessage("Zie bijlagen.");
    mail.setAttachment(writeFile(dir, "a.txt", "hallo\n") + ";" +
                       writeFile(dir, "leeg.onbekend", ""));
    RecordingWriter w;
    ASSERT_TRUE(mail.writeMessage(w));
    EXPECT_EQ(w.bytes, expected(Head + Mime + multipart("mixed") + Text +
                                "\n\nZie bijlagen.\n\n\n"
                                "--{B}\n" +
                                attached("text/plain", "a.txt") +
                                "\n"
                                "aGFsbG8K\n"
                                "\n"
                                "--{B}\n" +
                                attached("application/octet-stream", "leeg.onbekend") +
                                "\n"
                                "\n"
                                "--{B}--\n"
                                ".\n"));
    // The session's trace leaves out part headers and data.
    EXPECT_EQ(w.traces.mid(w.traces.size() - 4).join('|'),
              QString::fromLatin1(expected("<<infile>>|--{B}|--{B}--|.")));
}

TEST_F(Composition, UuencodeModePutsAttachmentsInTheBody)
{
    mail.setEncodeType(1);
    mail.setMessage("Zie hieronder.");
    mail.setAttachment(writeFile(dir, "fox.txt", "The quick brown fox jumps over the lazy dog. 0") +
                       ";" + writeFile(dir, "veertien.txt", "Straatwijs 14."));
    EXPECT_EQ(written(),
              expected(Head + "\n\nZie hieronder.\n\n\n"
                              "begin 600 fox.txt\n"
                              "M5&AE('%U:6-K(&)R;W=N(&9O>\"!J=6UP<R!O=F5R('1H92!L87IY(&1O9RX@\n"
                              "!,`==\n"
                              "end\n"
                              "begin 600 veertien.txt\n"
                              "..4W1R86%T=VEJ<R`Q-\"X=\n" // a 14-byte line is dot-stuffed
                              "end\n"
                              ".\n"));
}

TEST_F(Composition, RefusalsAndFailuresRaiseSendFailed)
{
    mail.setFrom("");
    mail.setRecipient("");
    RecordingWriter w;
    EXPECT_FALSE(mail.writeMessage(w));
    mail.setFrom("jan@voorbeeld.nl");
    mail.setAsHTML(true);
    mail.setEncodeType(1);
    QStringList many;
    for (int i = 0; i < 101; ++i)
        many << QString("r%1@voorbeeld.nl").arg(i);
    mail.setBccRecipient(many.join(';'));
    EXPECT_FALSE(mail.writeMessage(w));
    EXPECT_EQ(failures, (QStringList{"Missing or Invalid Sender E-mail Address"
                                     "No Recipient E-mail Address Specified",
                                     "Sending HTML requires MIME encoding"
                                     "Too many recipients"}));
    EXPECT_TRUE(w.bytes.isEmpty());
    EXPECT_TRUE(mail.ErrorList().isEmpty());

    mail.setAsHTML(false);
    mail.setBccRecipient(many.mid(1).join(';')); // 100 are allowed
    const QString gone = writeFile(dir, "weg.txt", "x");
    mail.setAttachment(gone);
    QFile::remove(gone);
    EXPECT_FALSE(mail.writeMessage(w));
    EXPECT_EQ(failures.last(), "File not found: " + gone);
    EXPECT_EQ(mail.LastResult(), failures.last());
    EXPECT_TRUE(w.bytes.startsWith("From: ") && !w.bytes.endsWith("\r\n.\r\n"));

    w.open = false;
    EXPECT_FALSE(mail.writeMessage(w));
    EXPECT_EQ(failures.last(), "Socket not Open");
}

// Texts that go onto a command or header line as they are: a line break or
// other control character in any of them is refused before a byte is
// written, whatever the validation level, and the text names the field.
TEST_F(Composition, ControlCharactersAndAddressSyntaxAreRefusedUpFront)
{
    using M = clsSendMail;
    struct Case
    {
        void (M::*set)(const QString&);
        QString value;
        QString error;
    };
    const auto control = [](const char* code, const char* what) {
        return QString("Control character (U+%1) in %2").arg(code, what);
    };
    const QList<Case> cases{
        {&M::setFrom, "a@b.nl\nBcc: x@y.nl", control("000A", "the sender address")},
        {&M::setRecipient, "x>\nRCPT TO:<o@b.nl", control("000A", "a Recipient address")},
        {&M::setCcRecipient, QString("a@b.nl") + QChar(0) + "c", control("0000", "a Cc address")},
        {&M::setBccRecipient, "a@b.nl\rRSET", control("000D", "a Bcc address")},
        {&M::setReplyToAddress, "a@b.nl\r\n.\r\nQUIT", control("000D", "the Reply-to address")},
        {&M::setRecipient, "a b@c.nl", "Blank, '<' or '>' in a Recipient address: a b@c.nl"},
        {&M::setRecipient, "p@c.nl>x", "Blank, '<' or '>' in a Recipient address: p@c.nl>x"},
        // The setters drop CR LF pairs and tabs; the text given is refused
        // all the same rather than joined.
        {&M::setRecipientDisplayName, "Piet\r\nBcc: x@y.nl",
         control("000D", "a recipient's display name")},
        {&M::setRecipient, "piet@voorbeeld.nl\r\n", control("000D", "a Recipient address")},
        {&M::setFromDisplayName, "Jan\nBcc: x@y.nl", control("000A", "the sender's display name")},
        {&M::setRecipientDisplayName, QString("Pi") + QChar(0x2028) + "et",
         control("2028", "a recipient's display name")},
        {&M::setHallo, "host\r\nRSET", control("000D", "the HELO name")},
        {&M::setUsername, "jan\x7f", control("007F", "the user name")},
        {&M::setPassword, "a\nPASS b", control("000A", "the password")},
        {&M::setAttachment, writeFile(dir, "a\nContent-Type: text.html", "x"),
         control("000A", "an attachment's file name")},
    };
    for (const Case& c : cases) {
        clsSendMail m(t.env);
        m.setEmailAddressValidation(0);
        m.setFrom("jan@voorbeeld.nl");
        m.setRecipient("piet@voorbeeld.nl");
        (m.*c.set)(c.value);
        RecordingWriter w;
        EXPECT_FALSE(m.writeMessage(w)) << c.error.toStdString();
        EXPECT_EQ(m.LastResult(), c.error); // what SendFailed carried
        EXPECT_TRUE(w.bytes.isEmpty());
    }
}

TEST(PrepareMessage, DotStuffingLineEndsAndFoldingAt998)
{
    EXPECT_EQ(PrepareMessage(""), "");
    EXPECT_EQ(PrepareMessage(".a\r\n..b\r\nc."), "..a\r\n...b\r\nc.");
    // Bare CR and bare LF become CR LF before stuffing, so no lone "." line
    // can end the data early (print_mime_check.py sends a "." line after a
    // bare LF too).
    EXPECT_EQ(PrepareMessage("a\r.\rb\r\n.\n"), "a\r\n..\r\nb\r\n..\r\n");

    // Long lines fold at 998.
    const QString x(2000, 'x');
    EXPECT_EQ(PrepareMessage(x), x.left(998) + "\r\n" + x.left(998) + "\r\n" + x.left(4));
    // At the last blank at or before 998; the blank ends the piece.
    const QString words = QString(500, 'a') + " " + QString(600, 'b') + " c";
    EXPECT_EQ(PrepareMessage("t\r\n" + words),
              "t\r\n" + QString(500, 'a') + " \r\n" + QString(600, 'b') + " c");
    // A piece that begins with "." after a cut is stuffed too.
    EXPECT_EQ(PrepareMessage(QString(998, 'x') + ".\r\nz"), QString(998, 'x') + "\r\n..\r\nz");
    for (const QString& line : PrepareMessage(QString(3000, '.')).split("\r\n"))
        EXPECT_LE(line.size(), 998);
}

TEST(EmbedReferencedFiles, RewritesQuotedAttributesInsideTags)
{
    MailMessage m;
    m.AsHTML = true;
    m.AttachmentPaths = {"/x/a.png", "/x/b.png", "/x/c.png"};
    m.AttachmentNames = {"a.png", "b.png", "c.png"};
    m.AttachmentEmbedded = {false, false, false};
    m.Message = "<img src=\"C:\\x\\A.PNG\"> <img src=/x/a.png> a.png <b>b.png</b> <!-- c.png -->";
    EXPECT_TRUE(EmbedReferencedFiles(m));
    // Outside a tag, or in a tag without an attribute, a name stays as it is.
    EXPECT_EQ(m.Message,
              "<img src=\"cid:a.png\"> <img src=cid:a.png> a.png <b>b.png</b> <!-- c.png -->");
    EXPECT_EQ(m.AttachmentEmbedded, (QList<bool>{true, false, false}));

    m.AsHTML = false;
    EXPECT_FALSE(EmbedReferencedFiles(m));
}

TEST(TimeZoneOffsetText, MinutesWestOfUtc)
{
    EXPECT_EQ(timeZoneOffsetText(-330), "+0530");
    EXPECT_EQ(timeZoneOffsetText(210), "-0330");
    EXPECT_EQ(timeZoneOffsetText(30), "-0030"); // less than an hour west keeps its sign
}
