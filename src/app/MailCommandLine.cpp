#include "app/MailCommandLine.h"

#include "mail/Encoders.h"
#include "mail/MessageWriter.h"
#include "mail/clsSendMail.h"
#include "mail/modMXQuery.h"

#include <QCommandLineParser>
#include <QFile>
#include <QStringDecoder>

#include <cerrno>
#include <cstring>

namespace app {

namespace {

const QString Program = QStringLiteral("straatwijs-mail");

Exit usage(const QString& why)
{
    return usageError(Program, why);
}

std::optional<qint32> number(const QString& text)
{
    bool ok = false;
    const qint32 value = text.toInt(&ok);
    return ok ? std::optional<qint32>(value) : std::nullopt;
}

// The stream goes to a byte sink as it is made, so a large attachment never
// sits in memory whole.
class FileWriter : public mail::MessageWriter
{
public:
    explicit FileWriter(std::FILE* out) : m_out(out) {}
    bool send(const QByteArray& piece) override
    {
        if (m_error == 0 &&
            std::fwrite(piece.constData(), 1, size_t(piece.size()), m_out) != size_t(piece.size()))
            m_error = errno != 0 ? errno : EIO;
        return m_error == 0;
    }
    int finish()
    {
        if (std::fflush(m_out) != 0 && m_error == 0)
            m_error = errno != 0 ? errno : EIO;
        return m_error;
    }

private:
    std::FILE* m_out;
    int m_error = 0;
};

} // namespace

QString localText(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::System);
    const QString text = decoder(bytes);
    // Bytes the locale cannot read are taken one by one as ISO-8859-1
    // rather than turned into replacement characters.
    return decoder.hasError() ? QString::fromLatin1(bytes) : text;
}

std::variant<MailOptions, Exit> parseMailCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "straatwijs-mail composes a mail message with Straatwijs's mail sender and sends it "
        "through an SMTP server (or prints it with --print). List options (--to, --to-name, "
        "--cc, --cc-name, --bcc, --attach) may be repeated, and each value may itself hold "
        "several elements separated by the delimiter (default ';'). The password for --auth "
        "and --pop-auth comes from the environment variable STRAATWIJS_MAIL_PASSWORD, and goes "
        "out as its bytes (they must be UTF-8); the user name goes as UTF-8 too. Arguments "
        "are read in the locale's encoding (UTF-8).\n\n"
        "An address, display name, --hallo, --username, password or attachment file name "
        "holding a line break or other control character, or an address holding a blank, "
        "'<' or '>', is refused before anything is sent (exit status 1). Display names, "
        "subject and file names are written so that mail readers show them as given; text "
        "outside ISO-8859-1 (the euro sign) goes as UTF-8.\n\n"
        "Without --smtp-host the server is the mail exchanger of the host's own domain. "
        "--mx [DOMAIN] prints a domain's mail exchanger (STRAATWIJS_RESOLV_CONF names another "
        "resolver configuration than /etc/resolv.conf, STRAATWIJS_DNS_PORT another port "
        "than 53).\n\n"
        "Exit status: 0 sent (or printed, or found), 1 the message was refused or could not be "
        "sent (the reasons on stderr), 2 usage error."));
    auto text = [](const char* name, const char* help, const char* value) {
        return QCommandLineOption(QString::fromLatin1(name), QString::fromLatin1(help),
                                  QString::fromLatin1(value));
    };
    auto flag = [](const char* name, const char* help) {
        return QCommandLineOption(QString::fromLatin1(name), QString::fromLatin1(help));
    };
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption print =
        flag("print", "Write the message to stdout exactly as it would be sent after the server's "
                      "354 reply, through the final \".\" line (Bcc appears nowhere in it).");
    const QCommandLineOption from = text("from", "Sender address (from).", "ADDRESS");
    const QCommandLineOption fromName =
        text("from-name", "Sender's display name (FromDisplayName).", "NAME");
    const QCommandLineOption to = text("to", "Recipient addresses (Recipient).", "LIST");
    const QCommandLineOption toName =
        text("to-name", "Recipients' display names, in the order of --to.", "LIST");
    const QCommandLineOption cc = text("cc", "Cc addresses (CcRecipient).", "LIST");
    const QCommandLineOption ccName =
        text("cc-name", "Cc display names, in the order of --cc.", "LIST");
    const QCommandLineOption bcc =
        text("bcc", "Bcc addresses (BccRecipient); never written in the message.", "LIST");
    const QCommandLineOption replyTo = text("reply-to", "Reply-to address.", "ADDRESS");
    const QCommandLineOption subject = text("subject", "Subject.", "TEXT");
    const QCommandLineOption body = text("body", "Message text.", "TEXT");
    const QCommandLineOption bodyFile =
        text("body-file",
             "Message text from FILE ('-': stdin), read in the locale's encoding (UTF-8); a file "
             "that is not valid in it is read byte for byte as ISO-8859-1.",
             "FILE");
    const QCommandLineOption html = flag("html", "The message text is HTML (AsHTML).");
    const QCommandLineOption contentBase =
        text("content-base", "Base address of an HTML message (ContentBase).", "URL");
    const QCommandLineOption attach = text("attach", "Files to attach (Attachment).", "LIST");
    const QCommandLineOption delimiter =
        text("delimiter", "Separator of list elements: its first character (default ';').", "C");
    const QCommandLineOption priority =
        text("priority", "1 high, 3 normal (default), 5 low (Priority).", "N");
    const QCommandLineOption receipt =
        flag("receipt", "Ask for a read receipt (Disposition-Notification-To).");
    const QCommandLineOption encodeType =
        text("encode-type", "0: MIME (default); 1: uuencoded attachments in a plain body.", "0|1");
    const QCommandLineOption xMailer = text("x-mailer", "X-Mailer header text.", "TEXT");
    const QCommandLineOption eightBit =
        flag("eight-bit", "Declare the body 8bit even when it holds only 7-bit characters.");
    const QCommandLineOption hallo =
        text("hallo", "Argument of HELO/EHLO (default: the sender's domain).", "NAME");
    const QCommandLineOption smtpHost = text(
        "smtp-host", "SMTP server (default: the mail exchanger of the host's domain).", "HOST");
    const QCommandLineOption smtpPort = text("smtp-port", "SMTP port (default 25).", "N");
    const QCommandLineOption hostValidation = text(
        "host-validation",
        "How server names are checked: 1 name form, 2 ping, 3 resolves (default), 0 none.", "N");
    const QCommandLineOption addressValidation =
        text("address-validation", "1: check every address (default); 0: no checks.", "N");
    const QCommandLineOption connectTimeout = text(
        "connect-timeout", "Seconds to wait for the connection and greeting (default 30).", "S");
    const QCommandLineOption messageTimeout =
        text("message-timeout",
             "Seconds a send may go without progress: a reply that does not come, or message "
             "data the server does not take (default 60).",
             "S");
    const QCommandLineOption connectRetry =
        text("connect-retry", "Connection attempts (default 4).", "N");
    const QCommandLineOption auth =
        flag("auth", "Log in with AUTH LOGIN, or AUTH PLAIN when the server offers only that "
                     "(EHLO).");
    const QCommandLineOption username =
        text("username", "User name for --auth and --pop-auth.", "NAME");
    const QCommandLineOption pop3Host = text("pop3-host", "POP3 server for --pop-auth.", "HOST");
    const QCommandLineOption pop3Port = text("pop3-port", "POP3 port (default 110).", "N");
    const QCommandLineOption popAuth =
        flag("pop-auth", "Log in to the POP3 server before sending (POP3 before SMTP).");
    const QCommandLineOption startTls =
        flag("starttls", "Encrypt the connection with STARTTLS before any log-in; fail when the "
                         "server does not offer it. The POP3 log-in of --pop-auth is encrypted "
                         "with STLS, or not sent at all.");
    const QCommandLineOption caFile =
        text("ca-file", "PEM file of further certificate authorities for --starttls.", "FILE");
    const QCommandLineOption debug =
        flag("debug", "Print the protocol lines on stderr (the password masked).");
    const QCommandLineOption mx =
        flag("mx", "Print the mail exchanger of DOMAIN (or of the host's domain) and exit.");
    parser.addPositionalArgument(QStringLiteral("DOMAIN"), QStringLiteral("With --mx only."),
                                 QStringLiteral("[DOMAIN]"));
    parser.addOption(help);
    parser.addOption(print);
    for (const auto* option : {&from,
                               &fromName,
                               &to,
                               &toName,
                               &cc,
                               &ccName,
                               &bcc,
                               &replyTo,
                               &subject,
                               &body,
                               &bodyFile,
                               &html,
                               &contentBase,
                               &attach,
                               &delimiter,
                               &priority,
                               &receipt,
                               &encodeType,
                               &xMailer,
                               &eightBit,
                               &hallo,
                               &smtpHost,
                               &smtpPort,
                               &hostValidation,
                               &addressValidation,
                               &connectTimeout,
                               &messageTimeout,
                               &connectRetry,
                               &auth,
                               &username,
                               &pop3Host,
                               &pop3Port,
                               &popAuth,
                               &startTls,
                               &caFile,
                               &debug,
                               &mx})
        parser.addOption(*option);

    if (!parser.parse(arguments))
        return usage(parser.errorText());
    if (parser.isSet(help))
        return helpExit(Program, parser);
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > (parser.isSet(mx) ? 1 : 0))
        return usage(QStringLiteral("Unexpected argument: ") + positional.last());
    if (parser.isSet(body) && parser.isSet(bodyFile))
        return usage(QStringLiteral("Give --body or --body-file, not both."));
    if (parser.isSet(print) && parser.isSet(mx))
        return usage(QStringLiteral("Give --print or --mx, not both."));

    MailOptions o;
    if (parser.isSet(mx))
        o.mx = positional.value(0);
    takeValue(parser, from, o.from);
    takeValue(parser, fromName, o.fromName);
    takeValue(parser, replyTo, o.replyTo);
    takeValue(parser, subject, o.subject);
    takeValue(parser, body, o.body);
    takeValue(parser, bodyFile, o.bodyFile);
    takeValue(parser, contentBase, o.contentBase);
    takeValue(parser, delimiter, o.delimiter);
    takeValue(parser, xMailer, o.xMailer);
    o.to = parser.values(to);
    o.toName = parser.values(toName);
    o.cc = parser.values(cc);
    o.ccName = parser.values(ccName);
    o.bcc = parser.values(bcc);
    o.attach = parser.values(attach);
    o.html = parser.isSet(html);
    o.receipt = parser.isSet(receipt);
    o.eightBit = parser.isSet(eightBit);
    o.print = parser.isSet(print);
    takeValue(parser, hallo, o.hallo);
    takeValue(parser, smtpHost, o.smtpHost);
    takeValue(parser, username, o.username);
    takeValue(parser, pop3Host, o.pop3Host);
    takeValue(parser, caFile, o.caFile);
    o.auth = parser.isSet(auth);
    o.popAuth = parser.isSet(popAuth);
    o.startTls = parser.isSet(startTls);
    o.debug = parser.isSet(debug);
    for (const auto& [option, into] :
         {std::pair{&priority, &o.priority}, std::pair{&smtpPort, &o.smtpPort},
          std::pair{&hostValidation, &o.hostValidation},
          std::pair{&addressValidation, &o.addressValidation},
          std::pair{&connectTimeout, &o.connectTimeout},
          std::pair{&messageTimeout, &o.messageTimeout}, std::pair{&connectRetry, &o.connectRetry},
          std::pair{&pop3Port, &o.pop3Port}}) {
        if (!parser.isSet(*option))
            continue;
        *into = number(parser.value(*option));
        if (!*into)
            return usage(QStringLiteral("--%1 needs a number, not '%2'")
                             .arg(option->names().first(), parser.value(*option)));
    }
    if (parser.isSet(encodeType)) {
        o.encodeType = number(parser.value(encodeType));
        if (o.encodeType != 0 && o.encodeType != 1)
            return usage(QStringLiteral("--encode-type needs 0 or 1, not '%1'")
                             .arg(parser.value(encodeType)));
    }
    return o;
}

std::optional<QString> applyMailOptions(const MailOptions& o, mail::clsSendMail& mail,
                                        const QString& password)
{
    // The checking levels first: the addresses and hosts are checked as they
    // are set.
    if (o.addressValidation)
        mail.setEmailAddressValidation(*o.addressValidation);
    if (o.hostValidation)
        mail.setSMTPHostValidation(*o.hostValidation);
    if (o.smtpHost)
        mail.setSMTPHost(*o.smtpHost);
    if (o.smtpPort)
        mail.setSMTPPort(*o.smtpPort);
    if (o.pop3Host)
        mail.setPOP3Host(*o.pop3Host);
    if (o.pop3Port)
        mail.setPOP3Port(*o.pop3Port);
    if (o.hallo)
        mail.setHallo(*o.hallo);
    if (o.connectTimeout)
        mail.setConnectTimeout(*o.connectTimeout);
    if (o.messageTimeout)
        mail.setMessageTimeout(*o.messageTimeout);
    if (o.connectRetry)
        mail.setConnectRetry(*o.connectRetry);
    if (o.username)
        mail.setUsername(*o.username);
    if (o.auth)
        mail.setUseAuthentication(true);
    if (o.popAuth)
        mail.setUsePopAuthentication(true);
    if (o.startTls)
        mail.setStartTls(true);
    if (o.caFile)
        mail.setCaFile(*o.caFile);
    if (!password.isEmpty())
        mail.setPassword(password);
    if (o.delimiter)
        mail.setDelimiter(*o.delimiter);
    const QString d = mail.Delimiter();
    if (o.encodeType)
        mail.setEncodeType(*o.encodeType);
    if (o.from)
        mail.setFrom(*o.from);
    if (o.fromName)
        mail.setFromDisplayName(*o.fromName);
    if (!o.to.isEmpty())
        mail.setRecipient(o.to.join(d));
    if (!o.toName.isEmpty())
        mail.setRecipientDisplayName(o.toName.join(d));
    if (!o.cc.isEmpty())
        mail.setCcRecipient(o.cc.join(d));
    if (!o.ccName.isEmpty())
        mail.setCcDisplayName(o.ccName.join(d));
    if (!o.bcc.isEmpty())
        mail.setBccRecipient(o.bcc.join(d));
    if (o.replyTo)
        mail.setReplyToAddress(*o.replyTo);
    if (o.subject)
        mail.setSubject(*o.subject);
    if (o.html)
        mail.setAsHTML(true);
    if (o.contentBase)
        mail.setContentBase(*o.contentBase);
    if (o.priority)
        mail.setPriority(*o.priority);
    if (o.receipt)
        mail.setReceipt(true);
    if (o.xMailer)
        mail.setXMailer(*o.xMailer);
    if (!o.attach.isEmpty())
        mail.setAttachment(o.attach.join(d));
    if (o.body)
        mail.setMessage(*o.body);
    if (o.bodyFile) {
        QFile file(*o.bodyFile);
        const bool opened = *o.bodyFile == QLatin1String("-")
                                ? file.open(stdin, QIODevice::ReadOnly)
                                : file.open(QIODevice::ReadOnly);
        if (!opened)
            return QStringLiteral("Cannot read %1: %2").arg(*o.bodyFile, file.errorString());
        mail.setMessage(localText(file.readAll()));
    }
    if (o.eightBit)
        mail.setEightBitMessage(true);
    return std::nullopt;
}

int printMessage(mail::clsSendMail& mail, std::FILE* out, QTextStream& err)
{
    QString refusal;
    const auto connection =
        QObject::connect(&mail, &mail::clsSendMail::SendFailed,
                         [&refusal](const QString& Explanation) { refusal = Explanation; });
    FileWriter writer(out);
    const bool written = mail.writeMessage(writer);
    QObject::disconnect(connection);
    if (const int error = writer.finish()) {
        err << Program << ": cannot write the message: " << std::strerror(error) << Qt::endl;
        return ExitFailure;
    }
    if (!written) {
        err << Program << ": " << refusal << Qt::endl;
        return ExitFailure;
    }
    return ExitOk;
}

int sendMessage(mail::clsSendMail& mail, QTextStream& err, bool debug)
{
    bool sent = false;
    bool failed = false;
    QObject mailbox;
    QObject::connect(&mail, &mail::clsSendMail::status, &mailbox,
                     [&err](const QString& status) { err << status << Qt::endl; });
    QObject::connect(&mail, &mail::clsSendMail::SendFailed, &mailbox,
                     [&](const QString& Explanation) {
                         failed = true;
                         err << Program << ": " << Explanation.trimmed() << Qt::endl;
                     });
    QObject::connect(&mail, &mail::clsSendMail::SendSuccesful, &mailbox, [&sent] { sent = true; });
    if (debug) {
        // The POP3 log-in traces its PASS line; neither form of the password
        // reaches the screen.
        const QString password = mail.Password();
        const QString encoded = mail::EncodeBase64Text(password).trimmed();
        QObject::connect(&mail, &mail::clsSendMail::DebugPrint, &mailbox,
                         [&err, password, encoded](QString txt) {
                             if (!password.isEmpty())
                                 txt.replace(password, QStringLiteral("********"));
                             if (!encoded.isEmpty())
                                 txt.replace(encoded, QStringLiteral("********"));
                             while (txt.endsWith(QLatin1Char('\n')) ||
                                    txt.endsWith(QLatin1Char('\r')))
                                 txt.chop(1);
                             err << txt << Qt::endl;
                         });
    }
    mail.Send();
    return sent && !failed ? ExitOk : ExitFailure;
}

int printMailExchanger(mail::clsSendMail& mail, const QString& domain, QTextStream& out,
                       QTextStream& err)
{
    QObject mailbox;
    QObject::connect(&mail, &mail::clsSendMail::status, &mailbox,
                     [&err](const QString& status) { err << status << Qt::endl; });
    const QString host = mail.MXQuery(domain);
    if (!host.isEmpty()) {
        out << host << Qt::endl;
        return ExitOk;
    }
    const auto& recorded = mail::modMXQuery::process().recordedError();
    err << Program << ": no mail exchanger found"
        << (recorded ? QStringLiteral(": ") + recorded->description() : QString()) << Qt::endl;
    return ExitFailure;
}

} // namespace app
