#include "app/MailCommandLine.h"

#include "mail/clsSendMail.h"

#include <QCommandLineParser>
#include <QFile>

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

std::variant<MailOptions, Exit> parseMailCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "straatwijs-mail composes a mail message with Straatwijs's mail sender. List options "
        "(--to, --to-name, --cc, --cc-name, --bcc, --attach) may be repeated, and each value "
        "may itself hold several elements separated by the delimiter (default ';').\n\n"
        "Exit status: 0 done, 1 the message was refused (the reasons on stderr) or could not "
        "be written, 2 usage error."));
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
    const QCommandLineOption bodyFile = text(
        "body-file", "Message text from FILE ('-': stdin), its bytes read as ISO-8859-1.", "FILE");
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
    parser.addOption(help);
    parser.addOption(print);
    for (const auto* option :
         {&from,      &fromName, &to,      &toName,     &cc,      &ccName,      &bcc,
          &replyTo,   &subject,  &body,    &bodyFile,   &html,    &contentBase, &attach,
          &delimiter, &priority, &receipt, &encodeType, &xMailer, &eightBit})
        parser.addOption(*option);

    if (!parser.parse(arguments))
        return usage(parser.errorText());
    if (parser.isSet(help))
        return helpExit(Program, parser);
    if (!parser.positionalArguments().isEmpty())
        return usage(QStringLiteral("Unexpected argument: ") + parser.positionalArguments()[0]);
    if (parser.isSet(body) && parser.isSet(bodyFile))
        return usage(QStringLiteral("Give --body or --body-file, not both."));
    if (!parser.isSet(print))
        return usage(QStringLiteral("Nothing to do: give --print."));

    MailOptions o;
    auto take = [&parser](const QCommandLineOption& option, std::optional<QString>& into) {
        if (parser.isSet(option))
            into = parser.value(option);
    };
    take(from, o.from);
    take(fromName, o.fromName);
    take(replyTo, o.replyTo);
    take(subject, o.subject);
    take(body, o.body);
    take(bodyFile, o.bodyFile);
    take(contentBase, o.contentBase);
    take(delimiter, o.delimiter);
    take(xMailer, o.xMailer);
    o.to = parser.values(to);
    o.toName = parser.values(toName);
    o.cc = parser.values(cc);
    o.ccName = parser.values(ccName);
    o.bcc = parser.values(bcc);
    o.attach = parser.values(attach);
    o.html = parser.isSet(html);
    o.receipt = parser.isSet(receipt);
    o.eightBit = parser.isSet(eightBit);
    o.print = true;
    if (parser.isSet(priority)) {
        o.priority = number(parser.value(priority));
        if (!o.priority)
            return usage(
                QStringLiteral("--priority needs a number, not '%1'").arg(parser.value(priority)));
    }
    if (parser.isSet(encodeType)) {
        o.encodeType = number(parser.value(encodeType));
        if (o.encodeType != 0 && o.encodeType != 1)
            return usage(QStringLiteral("--encode-type needs 0 or 1, not '%1'")
                             .arg(parser.value(encodeType)));
    }
    return o;
}

std::optional<QString> applyMailOptions(const MailOptions& o, mail::clsSendMail& mail)
{
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
        mail.setMessage(QString::fromLatin1(file.readAll()));
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

} // namespace app
