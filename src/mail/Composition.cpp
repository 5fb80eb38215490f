#include "mail/Composition.h"

#include "mail/Encoders.h"
#include "mail/internal/Texts.h"
#include "platform/RunError.h"

#include <QFile>
#include <QMimeDatabase>

#include <cerrno>
#include <cmath>

namespace mail {

using internal::SocketNotOpen;

namespace {

const QString CrLf = QStringLiteral("\r\n");
const QChar Quote = QLatin1Char('"');
const QChar Tab = QLatin1Char('\t');

constexpr qint64 Base64Chunk = 11400; // a multiple of 57: chunks join into whole lines
constexpr qint64 UULineBytes = 45;
constexpr qsizetype MaxLineLength = 998;

// A value that goes into a header as it is must stay on its line: a CR or LF
// in it would start a header of the caller's choosing, or end the data.
QString oneLine(QString value)
{
    return value.replace(QLatin1Char('\r'), QLatin1Char(' '))
        .replace(QLatin1Char('\n'), QLatin1Char(' '));
}

QString twoDigits(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

QString hex8(quint32 value)
{
    return QStringLiteral("%1").arg(value, 8, 16, QLatin1Char('0')).toUpper().right(8);
}

QString displayedAddress(const QString& name, const QString& address)
{
    const QString shown =
        EncodeHeaderText(name.isEmpty() ? oneLine(address.trimmed()) : name, true);
    return shown + QStringLiteral(" <") + oneLine(address) + QLatin1Char('>');
}

// Lone CR and lone LF become CR LF, so that no line of the DATA stream can end
// the data early on a lenient server, and strict servers take the body.
QString normaliseLineEnds(const QString& text)
{
    QString out;
    out.reserve(text.size() + text.size() / 32);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\r')) {
            out += CrLf;
            if (i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
                ++i;
        } else if (c == QLatin1Char('\n')) {
            out += CrLf;
        } else {
            out += c;
        }
    }
    return out;
}

QString dotStuffed(const QString& line)
{
    return line.startsWith(QLatin1Char('.')) ? QLatin1Char('.') + line : line;
}

QString folded(const QString& line)
{
    QString out;
    QString rest = line;
    while (rest.size() > MaxLineLength) {
        const qsizetype blank = rest.lastIndexOf(QLatin1Char(' '), MaxLineLength - 1);
        const qsizetype cut = blank >= 0 ? blank + 1 : MaxLineLength;
        out += rest.left(cut) + CrLf;
        // A piece that now begins a line with "." is stuffed like any line.
        rest = dotStuffed(rest.mid(cut));
    }
    return out + rest;
}

class StreamWriter
{
public:
    explicit StreamWriter(MessageWriter& out) : m_out(out) {}
    // One piece; traced (without its final CR LF) unless quiet. A text that
    // does not fit ISO-8859-1 goes as UTF-8 rather than losing characters.
    bool put(const QString& text, bool traced = true)
    {
        if (traced)
            m_out.trace(text.endsWith(CrLf) ? text.chopped(2) : text);
        return m_out.send(fitsLatin1(text) ? text.toLatin1() : text.toUtf8());
    }
    bool quiet(const QString& text) { return put(text, false); }

private:
    MessageWriter& m_out;
};

StreamResult failed(const QString& error)
{
    return {false, error};
}

bool writeHeaders(const MailMessage& m, const SendValues& v, StreamWriter& w)
{
    const QString from = fromValue(m);
    const QString cc = addressListValue(m.CcRecipient, m.CcDisplayName);
    bool ok = w.put(QStringLiteral("From: ") + from + CrLf) &&
              w.put(QStringLiteral("To: ") + addressListValue(m.Recipient, m.RecipientDisplayName) +
                    CrLf) &&
              (cc.isEmpty() || w.quiet(QStringLiteral("Cc: ") + cc + CrLf)) &&
              w.put(QStringLiteral("Subject: ") + EncodeHeaderText(m.Subject, false) + CrLf) &&
              (m.ReplyToAddress.isEmpty() ||
               w.quiet(QStringLiteral("Reply-to: <") + oneLine(m.ReplyToAddress) + '>' + CrLf)) &&
              w.put(QStringLiteral("Date: ") + dateText(v.now, v.TimeZoneOffset) + CrLf);
    if (!ok || m.EncodeType != 0)
        return ok;
    ok = w.put(QStringLiteral("MIME-Version: 1.0") + CrLf);
    if (ok && m.Priority != 3)
        ok = w.put(QStringLiteral("X-Priority: ") + QString::number(m.Priority) + CrLf) &&
             w.put(QStringLiteral("X-MSMail-Priority: ") + m.PriorityText + CrLf);
    if (ok && !m.XMailer.trimmed().isEmpty())
        ok = w.put(QStringLiteral("X-Mailer: ") + oneLine(m.XMailer) + CrLf);
    if (ok && m.Receipt)
        ok = w.put(QStringLiteral("Disposition-Notification-To: ") + from + CrLf);
    if (ok && v.UseMultipart)
        ok = w.put(v.HasEmbedded ? QStringLiteral("Content-Type: multipart/related;") + CrLf
                                 : QStringLiteral("Content-Type: multipart/mixed;") + CrLf) &&
             w.put(Tab + QStringLiteral("boundary=") + Quote + v.Boundary + Quote + CrLf + CrLf) &&
             w.put(QStringLiteral("This is a multi-part message in MIME format.") + CrLf + CrLf) &&
             w.put(QStringLiteral("--") + v.Boundary + CrLf);
    return ok &&
           w.put(QStringLiteral("Content-Type: ") +
                 (m.AsHTML ? QStringLiteral("text/html;") : QStringLiteral("text/plain;")) +
                 CrLf) &&
           w.put(Tab + QStringLiteral("charset=") + Quote +
                 (fitsLatin1(m.Message) ? QStringLiteral("iso-8859-1") : QStringLiteral("utf-8")) +
                 Quote + CrLf) &&
           w.put(QStringLiteral("Content-Transfer-Encoding: ") +
                 (m.EightBitMessage ? QStringLiteral("8bit") : QStringLiteral("7bit")) + CrLf) &&
           (!m.AsHTML || m.ContentBase.isEmpty() ||
            w.put(QStringLiteral("Content-Base: ") + Quote + oneLine(m.ContentBase) + Quote +
                  CrLf));
}

// A plain name goes in quotes as it is; any other name as RFC 2231's
// filename*=, which keeps every letter and quote, and as an encoded word in
// name= for readers that know only that.
bool plainFileName(const QString& name)
{
    return std::all_of(name.begin(), name.end(), [](QChar c) {
        return c.unicode() >= 32 && c.unicode() < 127 && c != Quote && c != QLatin1Char('\\');
    });
}

QString percentEncoded(const QString& name)
{
    static const char hex[] = "0123456789ABCDEF";
    QString out;
    for (const char byte : name.toUtf8()) {
        const uchar c = uchar(byte);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            QByteArrayView("!#$&+-.^_`|~").contains(char(c))) {
            out += QLatin1Char(char(c));
        } else {
            out += QLatin1Char('%');
            out += QLatin1Char(hex[c >> 4]);
            out += QLatin1Char(hex[c & 15]);
        }
    }
    return out;
}

bool writePartHeaders(const QString& name, bool contentId, const QString& boundary, StreamWriter& w)
{
    const bool plain = plainFileName(name);
    const QString shownName = plain ? Quote + name + Quote : EncodeHeaderText(name, true);
    const QString fileName = plain ? QStringLiteral("filename=") + Quote + name + Quote
                                   : QStringLiteral("filename*=UTF-8''") + percentEncoded(name);
    return w.put(QStringLiteral("--") + boundary + CrLf) &&
           w.quiet(QStringLiteral("Content-Type: ") +
                   GetContentType(name, QStringLiteral("application/octet-stream")) + ';' + CrLf) &&
           w.quiet(Tab + QStringLiteral("name=") + shownName + CrLf) &&
           w.quiet(QStringLiteral("Content-Transfer-Encoding: base64") + CrLf) &&
           w.quiet(QStringLiteral("Content-Disposition: attachment;") + CrLf) &&
           w.quiet(Tab + fileName + CrLf) &&
           (!contentId || w.quiet(QStringLiteral("Content-ID: <") + name + '>' + CrLf)) &&
           w.quiet(CrLf);
}

QString readFailure(const QFile& file)
{
    return file.error() == QFileDevice::NoError || file.atEnd()
               ? QStringLiteral("Input past end of file: ") + file.fileName()
               : file.errorString() + QStringLiteral(": ") + file.fileName();
}

} // namespace

StreamResult writeMessageStream(const MailMessage& m, const SendValues& v, MessageWriter& out)
{
    StreamWriter w(out);
    if (!writeHeaders(m, v, w) || !w.put(CrLf + CrLf) || !w.put(m.Message + CrLf + CrLf + CrLf))
        return failed(SocketNotOpen);
    for (qsizetype i = 0; i < m.AttachmentPaths.size(); ++i) {
        const QString name = oneLine(m.AttachmentNames.value(i));
        const bool embedded = m.AttachmentEmbedded.value(i);
        out.beginAttachment(name, embedded);
        // Any mode but MIME is uuencode, so an attachment is never left out.
        const bool mime = m.EncodeType == 0;
        if (mime && !writePartHeaders(name, embedded && v.HasEmbedded, v.Boundary, w))
            return failed(SocketNotOpen);
        if (!mime && !w.put(QStringLiteral("begin 600 ") + name + CrLf))
            return failed(SocketNotOpen);
        const QString error = SendFileEncoded(m.AttachmentPaths[i], mime ? 0 : 1, out);
        if (!error.isEmpty())
            return failed(error);
        if (!(mime ? w.quiet(CrLf) : w.put(QStringLiteral("end") + CrLf)))
            return failed(SocketNotOpen);
        if (!out.attachmentSent())
            return {false, {}};
    }
    if (v.UseMultipart && !w.put(QStringLiteral("--") + v.Boundary + QStringLiteral("--") + CrLf))
        return failed(SocketNotOpen);
    if (!w.put(QStringLiteral(".") + CrLf))
        return failed(SocketNotOpen);
    return {};
}

QString SendFileEncoded(const QString& path, int mode, MessageWriter& out)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return platform::RunError::fromErrno(errno, {}, path).description() + QStringLiteral(": ") +
               path;
    qint64 remaining = file.size();
    const qint64 step = mode == 1 ? UULineBytes : Base64Chunk;
    while (remaining > 0) {
        const qint64 n = std::min(step, remaining);
        const QByteArray bytes = file.read(n);
        if (bytes.size() != n)
            return readFailure(file);
        if (mode == 1) {
            QByteArray line = UUEncodeLine(bytes);
            if (line.startsWith('.')) // the length character of a 14-byte line
                line.prepend('.');
            if (!out.send(line + "\r\n"))
                return SocketNotOpen;
        } else {
            if (!out.send(EncodeBase64Bytes(bytes)))
                return SocketNotOpen;
            out.trace(QStringLiteral("<<infile>>"));
        }
        remaining -= n;
    }
    return {};
}

QString fromValue(const MailMessage& m)
{
    const QString shown = EncodeHeaderText(
        m.FromDisplayName.trimmed().isEmpty() ? oneLine(m.from) : m.FromDisplayName, true);
    return shown + QStringLiteral(" <") + oneLine(m.from) + QLatin1Char('>');
}

QString addressListValue(const QStringList& addresses, const QStringList& displayNames)
{
    QString value;
    for (qsizetype i = 0; i < addresses.size(); ++i) {
        if (i > 0)
            value += QStringLiteral(", ") + CrLf + Tab;
        value += displayedAddress(displayNames.value(i), addresses[i]);
    }
    return value;
}

void fitDisplayNames(MailMessage& m)
{
    m.RecipientDisplayName.resize(m.Recipient.size());
    m.CcDisplayName.resize(m.CcRecipient.size());
}

QString dateText(const QDateTime& now, const QString& TimeZoneOffset)
{
    static const QStringList days = QStringLiteral(",Sun,Mon,Tue,Wed,Thu,Fri,Sat").split(',');
    static const QStringList months =
        QStringLiteral(",Jan,Feb,Mar,Apr,May,Jun,Jul,Aug,Sep,Oct,Nov,Dec").split(',');
    const QDate d = now.date();
    const QTime t = now.time();
    return days[d.dayOfWeek() % 7 + 1] + QStringLiteral(", ") + QString::number(d.day()) + ' ' +
           months[d.month()] + ' ' + QString::number(d.year()).rightJustified(4, '0') + ' ' +
           twoDigits(t.hour()) + ':' + twoDigits(t.minute()) + ':' + twoDigits(t.second()) + ' ' +
           TimeZoneOffset;
}

QString makeBoundary(const QDateTime& now)
{
    const qint64 day = QDate(1899, 12, 30).daysTo(now.date());
    const double fraction = QTime(0, 0).secsTo(now.time()) / 86400.0;
    const auto time = quint32(std::nearbyint(fraction * 100000000.0));
    return QStringLiteral("----_=_NextPart_000_") + hex8(quint32(day)) + '.' + hex8(time);
}

QString timeZoneOffsetText(int minutesWest)
{
    const int hours = minutesWest / -60;
    const int minutes = std::abs(minutesWest % 60);
    // Less than an hour west still needs its minus sign.
    const bool west = hours < 0 || (hours == 0 && minutesWest > 0);
    return (west ? QLatin1Char('-') : QLatin1Char('+')) + twoDigits(std::abs(hours)) +
           twoDigits(minutes);
}

QString PrepareMessage(const QString& text)
{
    if (text.isEmpty())
        return text;
    // With every line end CR LF, a text without one is a single line, and
    // its folds are CR LF too.
    const QStringList lines = normaliseLineEnds(text).split(CrLf);
    QStringList out;
    out.reserve(lines.size());
    for (const QString& line : lines)
        out << folded(dotStuffed(line));
    return out.join(CrLf);
}

bool EmbedReferencedFiles(MailMessage& m)
{
    if (m.AttachmentPaths.isEmpty() || !m.AsHTML)
        return false;
    m.AttachmentEmbedded.resize(m.AttachmentPaths.size());
    bool embedded = false;
    QString& text = m.Message;
    for (qsizetype i = 0; i < m.AttachmentPaths.size(); ++i) {
        const QString name = m.AttachmentNames.value(i);
        if (name.isEmpty())
            continue;
        qsizetype from = 0;
        for (;;) {
            const qsizetype p = text.indexOf(name, from, Qt::CaseInsensitive);
            if (p < 0)
                break;
            from = p + name.size();
            const qsizetype lt = text.lastIndexOf(QLatin1Char('<'), p);
            const qsizetype gt = lt >= 0 ? text.indexOf(QLatin1Char('>'), lt) : -1;
            if (lt < 0 || gt < 0 || lt >= p || gt <= p)
                continue;
            // Only an attribute of this tag is rewritten; without one (a
            // comment, say) the reference stays, and no text outside the
            // tag is lost.
            const qsizetype eq = text.lastIndexOf(QLatin1Char('='), p);
            if (eq <= lt)
                continue;
            const qsizetype q = text.indexOf(Quote, eq);
            const qsizetype start = (q >= 0 && q < p ? q : eq) + 1;
            const QString reference = QStringLiteral("cid:") + name;
            text = text.left(start) + reference + text.mid(p + name.size());
            from = start + reference.size();
            m.AttachmentEmbedded[i] = true;
            embedded = true;
        }
    }
    return embedded;
}

QString GetContentType(const QString& strFile, const QString& strDefault)
{
    const qsizetype dot = strFile.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return strDefault;
    static const QMimeDatabase db;
    const QMimeType type =
        db.mimeTypeForFile(QStringLiteral("x") + strFile.mid(dot), QMimeDatabase::MatchExtension);
    return type.isValid() && !type.isDefault() ? type.name() : strDefault;
}

} // namespace mail
