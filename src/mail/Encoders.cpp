#include "mail/Encoders.h"

#include <QList>

#include <algorithm>
#include <cstring>

namespace mail {

namespace {

const QString WordEnd = QStringLiteral("?=");
const QString WordBreak = QStringLiteral("\r\n\t");

constexpr int QChunkLength = 54;
constexpr int BPieceLength = 42;
constexpr int Base64LineLength = 76;

bool copiedInQ(uchar c)
{
    return (c >= 33 && c <= 60) || c == 62 || (c >= 64 && c <= 94) || (c >= 96 && c <= 126);
}

// In a display name an encoded word is a phrase word: anything beyond these
// would be read as address syntax (a comma as a second address, a quote or
// "<" as the start of one), so it is encoded too.
bool copiedInPhrase(uchar c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '!' ||
           c == '*' || c == '+' || c == '-' || c == '/';
}

// A line break inside a header value would start a new header line, or end
// the DATA stream, and other control bytes (a NUL) have no place in a header
// either; encoded words carry them harmlessly.
bool needsEncoding(uchar c)
{
    return c > 126 || (c < 32 && c != '\t');
}

// The bytes of each character in the word's charset: an encoded word may
// not cut a character in two.
QList<QByteArray> characterBytes(const QString& text, bool utf8)
{
    QList<QByteArray> out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype n = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        out << (utf8 ? text.mid(i, n).toUtf8() : text.mid(i, n).toLatin1());
        i += n - 1;
    }
    return out;
}

QString qForm(const QList<QByteArray>& characters, const QString& prefix, bool phrase)
{
    static const char hex[] = "0123456789ABCDEF";
    QString result;
    QString chunk;
    for (qsizetype i = 0; i < characters.size(); ++i) {
        for (const char byte : characters[i]) {
            const uchar c = uchar(byte);
            if (phrase ? copiedInPhrase(c) : copiedInQ(c)) {
                chunk += QLatin1Char(char(c));
            } else if (c == ' ') {
                chunk += QLatin1Char('_');
            } else {
                chunk += QLatin1Char('=');
                chunk += QLatin1Char(hex[c >> 4]);
                chunk += QLatin1Char(hex[c & 15]);
            }
        }
        if (chunk.size() >= QChunkLength) {
            result += prefix + chunk + WordEnd;
            if (i != characters.size() - 1)
                result += WordBreak;
            chunk.clear();
        }
    }
    return result + prefix + chunk + WordEnd;
}

QString bForm(const QList<QByteArray>& characters, const QString& prefix)
{
    QString result;
    QByteArray piece;
    auto flush = [&] {
        if (!result.isEmpty())
            result += WordBreak;
        result += prefix + QString::fromLatin1(piece.toBase64()) + WordEnd;
        piece.clear();
    };
    for (const QByteArray& c : characters) {
        if (!piece.isEmpty() && piece.size() + c.size() > BPieceLength)
            flush();
        piece += c;
    }
    if (!piece.isEmpty() || result.isEmpty())
        flush();
    return result;
}

char uuChar(int value)
{
    return value == 0 ? '`' : char(value + 32);
}

} // namespace

bool fitsLatin1(const QString& text)
{
    return std::none_of(text.begin(), text.end(), [](QChar c) { return c.unicode() > 255; });
}

QString EncodeHeaderText(const QString& text, bool quote)
{
    const bool utf8 = !fitsLatin1(text);
    const QByteArray bytes = utf8 ? text.toUtf8() : text.toLatin1();
    // Text that looks like an encoded word would be decoded by the reader
    // into something else: it is encoded itself.
    if (!bytes.contains("=?") &&
        std::none_of(bytes.begin(), bytes.end(), [](char c) { return needsEncoding(uchar(c)); })) {
        if (!quote)
            return text;
        // A quote or backslash in a display name would end its quoted string
        // early and let the rest pose as addresses: they travel escaped.
        QString quoted = text;
        quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
        quoted.replace(QLatin1Char('"'), QLatin1String("\\\""));
        return QLatin1Char('"') + quoted + QLatin1Char('"');
    }
    const QString charset = utf8 ? QStringLiteral("UTF-8") : QStringLiteral("ISO-8859-1");
    const QList<QByteArray> characters = characterBytes(text, utf8);
    const QString q = qForm(characters, QStringLiteral("=?%1?Q?").arg(charset), quote);
    const QString b = bForm(characters, QStringLiteral("=?%1?B?").arg(charset));
    return q.size() >= b.size() ? b : q;
}

QByteArray EncodeBase64Bytes(const QByteArray& bytes)
{
    // Qt encodes; the lines are laid out in place, from the last one back,
    // so each line moves once and nothing is allocated a second time.
    QByteArray out = bytes.toBase64();
    const qsizetype length = out.size();
    const qsizetype lines = (length + Base64LineLength - 1) / Base64LineLength;
    out.resize(length + 2 * std::max<qsizetype>(lines, 1));
    char* data = out.data();
    for (qsizetype line = lines - 1; line >= 0; --line) {
        const qsizetype from = line * Base64LineLength;
        const qsizetype count = std::min<qsizetype>(Base64LineLength, length - from);
        char* to = data + line * (Base64LineLength + 2);
        std::memmove(to, data + from, size_t(count));
        to[count] = '\r';
        to[count + 1] = '\n';
    }
    if (lines == 0) {
        data[0] = '\r';
        data[1] = '\n';
    }
    return out;
}

QString EncodeBase64Text(const QString& text)
{
    if (text.isEmpty())
        return {};
    return QString::fromLatin1(EncodeBase64Bytes(text.toLatin1()));
}

QByteArray UUEncodeLine(const QByteArray& bytes)
{
    const qsizetype n = bytes.size();
    if (n > 63)
        return {};
    QByteArray line;
    line.reserve(4 + n * 4 / 3 + 2);
    line += uuChar(int(n));
    for (qsizetype at = 0; at < n; at += 3) {
        const qsizetype inGroup = std::min<qsizetype>(3, n - at);
        const uchar b0 = uchar(bytes[at]);
        const uchar b1 = inGroup > 1 ? uchar(bytes[at + 1]) : 0;
        const uchar b2 = inGroup > 2 ? uchar(bytes[at + 2]) : 0;
        const int values[4] = {b0 >> 2, ((b0 & 3) << 4) | (b1 >> 4), ((b1 & 15) << 2) | (b2 >> 6),
                               b2 & 63};
        for (qsizetype k = 0; k < inGroup + 1; ++k)
            line += uuChar(values[k]);
    }
    if (n % 3 == 1)
        line += "==";
    else if (n % 3 == 2)
        line += "=";
    return line;
}

QString DecodeBase64String(const QString& str2Decode)
{
    static const QString alphabet =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=");
    QString result;
    for (qsizetype at = 0; at < str2Decode.size(); at += 4) {
        int values[4] = {0, 0, 0, 0};
        int byteCount = 3;
        for (int k = 0; k < 4; ++k) {
            if (at + k >= str2Decode.size())
                continue; // missing characters count as value 0
            const qsizetype value = alphabet.indexOf(str2Decode[at + k]);
            if (value < 0)
                return result;
            if (value == 64) {
                byteCount = std::max(0, k - 1);
                break;
            }
            values[k] = int(value);
        }
        const uchar bytes[3] = {uchar((values[0] << 2) | (values[1] >> 4)),
                                uchar(((values[1] & 15) << 4) | (values[2] >> 2)),
                                uchar(((values[2] & 3) << 6) | values[3])};
        for (int k = 0; k < byteCount; ++k)
            result += QChar(bytes[k]);
    }
    return result;
}

} // namespace mail
