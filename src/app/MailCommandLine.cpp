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

namespace {

using Mail = mail::clsSendMail;

// What an option's value is, which decides how it is read and checked.
enum class Kind
{
    Flag,      // no value
    Text,      // the last value given
    List,      // every value given, each itself a delimited list
    Number,    // a 32-bit number
    ZeroOrOne, // the number 0 or 1
    File,      // the text of the named file ("-": stdin)
};

// When an option is applied. The checking levels and the delimiter come
// first, because the addresses and hosts are checked and split as they are
// set; the server before the message, so that refusals are reported in that
// order; --eight-bit after the body, whose setter decides it afresh.
enum class Stage
{
    Levels,
    Server,
    Message,
    AfterBody,
};

// One option of the command line, described once: the parser, the help and
// the apply step are made from these. Options without a setter steer the
// program itself.
struct MailOption
{
    const char* name;
    const char* valueName; // "" for a flag
    const char* help;
    Kind kind;
    Stage stage;
    void (*set)(Mail&, const QString&);
};

int toNumber(const QString& value)
{
    return value.toInt();
}

// In the order --help shows them.
const MailOption Options[] = {
    {"print", "",
     "Write the message to stdout exactly as it would be sent after the server's 354 reply, "
     "through the final \".\" line (Bcc appears nowhere in it).",
     Kind::Flag, Stage::Message, nullptr},
    {"from", "ADDRESS", "Sender address (from).", Kind::Text, Stage::Message,
     [](Mail& m, const QString& v) { m.setFrom(v); }},
    {"from-name", "NAME", "Sender's display name (FromDisplayName).", Kind::Text, Stage::Message,
     [](Mail& m, const QString& v) { m.setFromDisplayName(v); }},
    {"to", "LIST", "Recipient addresses (Recipient).", Kind::List, Stage::Message,
     [](Mail& m, const QString& v) { m.setRecipient(v); }},
    {"to-name", "LIST", "Recipients' display names, in the order of --to.", Kind::List,
     Stage::Message, [](Mail& m, const QString& v) { m.setRecipientDisplayName(v); }},
    {"cc", "LIST", "Cc addresses (CcRecipient).", Kind::List, Stage::Message,
     [](Mail& m, const QString& v) { m.setCcRecipient(v); }},
    {"cc-name", "LIST", "Cc display names, in the order of --cc.", Kind::List, Stage::Message,
     [](Mail& m, const QString& v) { m.setCcDisplayName(v); }},
    {"bcc", "LIST", "Bcc addresses (BccRecipient); never written in the message.", Kind::List,
     Stage::Message, [](Mail& m, const QString& v) { m.setBccRecipient(v); }},
    {"reply-to", "ADDRESS", "Reply-to address.", Kind::Text, Stage::Message,
     [](Mail& m, const QString& v) { m.setReplyToAddress(v); }},
    {"subject", "TEXT", "Subject.", Kind::Text, Stage::Message,
     [](Mail& m, const QString& v) { m.setSubject(v); }},
    {"body", "TEXT", "Message text.", Kind::Text, Stage::Message,
     [](Mail& m, const QString& v) { m.setMessage(v); }},
    {"body-file", "FILE",
     "Message text from FILE ('-': stdin), read in the locale's encoding (UTF-8); a file that "
     "is not valid in it is read byte for byte as ISO-8859-1.",
     Kind::File, Stage::Message, [](Mail& m, const QString& v) { m.setMessage(v); }},
    {"html", "", "The message text is HTML (AsHTML).", Kind::Flag, Stage::Message,
     [](Mail& m, const QString&) { m.setAsHTML(true); }},
    {"content-base", "URL", "Base address of an HTML message (ContentBase).", Kind::Text,
     Stage::Message, [](Mail& m, const QString& v) { m.setContentBase(v); }},
    {"attach", "LIST", "Files to attach (Attachment).", Kind::List, Stage::Message,
     [](Mail& m, const QString& v) { m.setAttachment(v); }},
    {"delimiter", "C", "Separator of list elements: its first character (default ';').", Kind::Text,
     Stage::Levels, [](Mail& m, const QString& v) { m.setDelimiter(v); }},
    {"priority", "N", "1 high, 3 normal (default), 5 low (Priority).", Kind::Number, Stage::Message,
     [](Mail& m, const QString& v) { m.setPriority(toNumber(v)); }},
    {"receipt", "", "Ask for a read receipt (Disposition-Notification-To).", Kind::Flag,
     Stage::Message, [](Mail& m, const QString&) { m.setReceipt(true); }},
    {"encode-type", "0|1", "0: MIME (default); 1: uuencoded attachments in a plain body.",
     Kind::ZeroOrOne, Stage::Message,
     [](Mail& m, const QString& v) { m.setEncodeType(toNumber(v)); }},
    {"x-mailer", "TEXT", "X-Mailer header text.", Kind::Text, Stage::Message,
     [](Mail& m, const QString& v) { m.setXMailer(v); }},
    {"eight-bit", "", "Declare the body 8bit even when it holds only 7-bit characters.", Kind::Flag,
     Stage::AfterBody, [](Mail& m, const QString&) { m.setEightBitMessage(true); }},
    {"hallo", "NAME", "Argument of HELO/EHLO (default: the sender's domain).", Kind::Text,
     Stage::Server, [](Mail& m, const QString& v) { m.setHallo(v); }},
    {"smtp-host", "HOST", "SMTP server (default: the mail exchanger of the host's domain).",
     Kind::Text, Stage::Server, [](Mail& m, const QString& v) { m.setSMTPHost(v); }},
    {"smtp-port", "N", "SMTP port (default 25).", Kind::Number, Stage::Server,
     [](Mail& m, const QString& v) { m.setSMTPPort(toNumber(v)); }},
    {"host-validation", "N",
     "How server names are checked: 1 name form, 2 ping, 3 resolves (default), 0 none.",
     Kind::Number, Stage::Levels,
     [](Mail& m, const QString& v) { m.setSMTPHostValidation(toNumber(v)); }},
    {"address-validation", "N", "1: check every address (default); 0: no checks.", Kind::Number,
     Stage::Levels, [](Mail& m, const QString& v) { m.setEmailAddressValidation(toNumber(v)); }},
    {"connect-timeout", "S", "Seconds to wait for the connection and greeting (default 30).",
     Kind::Number, Stage::Server,
     [](Mail& m, const QString& v) { m.setConnectTimeout(toNumber(v)); }},
    {"message-timeout", "S",
     "Seconds a send may go without progress: a reply that does not come, or message data the "
     "server does not take (default 60).",
     Kind::Number, Stage::Server,
     [](Mail& m, const QString& v) { m.setMessageTimeout(toNumber(v)); }},
    {"connect-retry", "N", "Connection attempts (default 4).", Kind::Number, Stage::Server,
     [](Mail& m, const QString& v) { m.setConnectRetry(toNumber(v)); }},
    {"auth", "", "Log in with AUTH LOGIN, or AUTH PLAIN when the server offers only that (EHLO).",
     Kind::Flag, Stage::Server, [](Mail& m, const QString&) { m.setUseAuthentication(true); }},
    {"username", "NAME", "User name for --auth and --pop-auth.", Kind::Text, Stage::Server,
     [](Mail& m, const QString& v) { m.setUsername(v); }},
    {"pop3-host", "HOST", "POP3 server for --pop-auth.", Kind::Text, Stage::Server,
     [](Mail& m, const QString& v) { m.setPOP3Host(v); }},
    {"pop3-port", "N", "POP3 port (default 110).", Kind::Number, Stage::Server,
     [](Mail& m, const QString& v) { m.setPOP3Port(toNumber(v)); }},
    {"pop-auth", "", "Log in to the POP3 server before sending (POP3 before SMTP).", Kind::Flag,
     Stage::Server, [](Mail& m, const QString&) { m.setUsePopAuthentication(true); }},
    {"starttls", "",
     "Encrypt the connection with STARTTLS before any log-in; fail when the server does not "
     "offer it. The POP3 log-in of --pop-auth is encrypted with STLS, or not sent at all.",
     Kind::Flag, Stage::Server, [](Mail& m, const QString&) { m.setStartTls(true); }},
    {"ca-file", "FILE", "PEM file of further certificate authorities for --starttls.", Kind::Text,
     Stage::Server, [](Mail& m, const QString& v) { m.setCaFile(v); }},
    {"debug", "", "Print the protocol lines on stderr (the password masked).", Kind::Flag,
     Stage::Message, nullptr},
    {"mx", "", "Print the mail exchanger of DOMAIN (or of the host's domain) and exit.", Kind::Flag,
     Stage::Message, nullptr},
};

QCommandLineOption commandLineOption(const MailOption& o)
{
    const QString name = QString::fromLatin1(o.name);
    const QString help = QString::fromLatin1(o.help);
    if (o.kind == Kind::Flag)
        return QCommandLineOption(name, help);
    return QCommandLineOption(name, help, QString::fromLatin1(o.valueName));
}

// Why a value does not do for its option, or "".
QString valueProblem(const MailOption& o, const QString& value)
{
    const std::optional<qint32> n = number(value);
    if (o.kind == Kind::Number && !n)
        return QStringLiteral("--%1 needs a number, not '%2'").arg(QLatin1String(o.name), value);
    if (o.kind == Kind::ZeroOrOne && n != 0 && n != 1)
        return QStringLiteral("--%1 needs 0 or 1, not '%2'").arg(QLatin1String(o.name), value);
    return {};
}

// Reads the text of the file `path` names ("-": stdin) into `text`; returns
// why it cannot be read, if it cannot.
std::optional<QString> readTextFile(const QString& path, QString& text)
{
    QFile file(path);
    const bool opened = path == QLatin1String("-") ? file.open(stdin, QIODevice::ReadOnly)
                                                   : file.open(QIODevice::ReadOnly);
    if (!opened)
        return QStringLiteral("Cannot read %1: %2").arg(path, file.errorString());
    text = localText(file.readAll());
    return std::nullopt;
}

} // namespace

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
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    parser.addPositionalArgument(QStringLiteral("DOMAIN"), QStringLiteral("With --mx only."),
                                 QStringLiteral("[DOMAIN]"));
    parser.addOption(help);
    for (const MailOption& o : Options)
        parser.addOption(commandLineOption(o));

    if (!parser.parse(arguments))
        return usage(parser.errorText());
    if (parser.isSet(help))
        return helpExit(Program, parser);
    auto isSet = [&parser](const char* name) { return parser.isSet(QString::fromLatin1(name)); };
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > (isSet("mx") ? 1 : 0))
        return usage(QStringLiteral("Unexpected argument: ") + positional.last());
    if (isSet("body") && isSet("body-file"))
        return usage(QStringLiteral("Give --body or --body-file, not both."));
    if (isSet("print") && isSet("mx"))
        return usage(QStringLiteral("Give --print or --mx, not both."));

    MailOptions o;
    o.print = isSet("print");
    o.debug = isSet("debug");
    if (isSet("mx"))
        o.mx = positional.value(0);
    for (const MailOption& option : Options) {
        const QString name = QString::fromLatin1(option.name);
        if (option.set && parser.isSet(name))
            o.given[name] =
                option.kind == Kind::Flag ? QStringList{QString()} : parser.values(name);
    }
    // Plain numbers are checked before the choices.
    for (const Kind kind : {Kind::Number, Kind::ZeroOrOne})
        for (const MailOption& option : Options) {
            const QStringList values = o.given.value(QString::fromLatin1(option.name));
            if (option.kind != kind || values.isEmpty())
                continue;
            if (const QString problem = valueProblem(option, values.last()); !problem.isEmpty())
                return usage(problem);
        }
    return o;
}

std::optional<QString> applyMailOptions(const MailOptions& o, mail::clsSendMail& mail,
                                        const QString& password)
{
    for (const Stage stage : {Stage::Levels, Stage::Server, Stage::Message, Stage::AfterBody}) {
        if (stage == Stage::Message && !password.isEmpty())
            mail.setPassword(password);
        for (const MailOption& option : Options) {
            const auto given = o.given.find(QString::fromLatin1(option.name));
            if (option.stage != stage || !option.set || given == o.given.end())
                continue;
            QString value = option.kind == Kind::List ? given->join(mail.Delimiter())
                                                      : given->value(given->size() - 1);
            if (option.kind == Kind::File) {
                QString text;
                if (auto problem = readTextFile(value, text))
                    return problem;
                value = text;
            }
            option.set(mail, value);
        }
    }
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
    const auto& recorded = mail.mxResolver().recordedError();
    err << Program << ": no mail exchanger found"
        << (recorded ? QStringLiteral(": ") + recorded->description() : QString()) << Qt::endl;
    return ExitFailure;
}

} // namespace app
