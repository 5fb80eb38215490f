// Arbitrary header texts through EncodeHeaderText. The first byte says
// whether to quote and whether the rest is read as UTF-8 (characters beyond
// one byte) or one character per byte. Encoded output must be well-formed
// encoded words in printable ASCII on folded lines, and decode back to the
// text's bytes; plain text must come back as it was.
#include "Fuzz.h"
#include "mail/Encoders.h"

#include <QStringList>
#include <algorithm>

namespace {

const QString Fold = QStringLiteral("\r\n\t");
const QString Prefix = QStringLiteral("=?ISO-8859-1?");
const QString End = QStringLiteral("?=");

bool needsEncoding(char c)
{
    return uchar(c) > 126 || c == '\r' || c == '\n';
}

int hexValue(QChar c)
{
    const char h = c.toLatin1();
    if (h >= '0' && h <= '9')
        return h - '0';
    if (h >= 'A' && h <= 'F')
        return h - 'A' + 10;
    return -1;
}

// The bytes of a Q word's text, as characters; a malformed escape fails.
QString decodeQ(const QString& encoded)
{
    QString out;
    for (qsizetype i = 0; i < encoded.size(); ++i) {
        const QChar c = encoded[i];
        if (c == QLatin1Char('_')) {
            out += QLatin1Char(' ');
        } else if (c == QLatin1Char('=')) {
            const int high = i + 2 < encoded.size() ? hexValue(encoded[i + 1]) : -1;
            const int low = high >= 0 ? hexValue(encoded[i + 2]) : -1;
            fuzz::require(low >= 0, "a Q escape is '=' and two upper-case hex digits", encoded);
            out += QChar(high * 16 + low);
            i += 2;
        } else {
            fuzz::require(c != QLatin1Char('?') && c != QLatin1Char(' '),
                          "a Q word holds no '?' or blank", encoded);
            out += c;
        }
    }
    return out;
}

// One folded line: one or more encoded words back to back.
QString decodeLine(QString line)
{
    QString out;
    do {
        fuzz::require(line.startsWith(Prefix) && line.size() >= Prefix.size() + 4 &&
                          line[Prefix.size() + 1] == QLatin1Char('?'),
                      "a line is made of encoded words", line);
        const QChar form = line[Prefix.size()];
        const qsizetype begin = Prefix.size() + 2;
        const qsizetype end = line.indexOf(End, begin);
        fuzz::require(end >= 0, "an encoded word ends in ?=", line);
        fuzz::require(end + End.size() <= 75, "an encoded word is at most 75 characters", line);
        const QString encoded = line.mid(begin, end - begin);
        if (form == QLatin1Char('Q')) {
            out += decodeQ(encoded);
        } else {
            fuzz::require(form == QLatin1Char('B'), "an encoded word is of the Q or the B form");
            const QString decoded = mail::DecodeBase64String(encoded);
            fuzz::require(!decoded.isEmpty() &&
                              mail::EncodeBase64Text(decoded).chopped(2) == encoded,
                          "a B word is whole base64", line);
            out += decoded;
        }
        line = line.mid(end + End.size());
    } while (!line.isEmpty());
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const bool quote = data[0] & 1;
    const QByteArray rest = fuzz::bytes(data + 1, size - 1);
    const QString text = (data[0] & 2) ? QString::fromUtf8(rest) : QString::fromLatin1(rest);
    const QString header = mail::EncodeHeaderText(text, quote);

    const QByteArray sent = text.toLatin1();
    if (std::none_of(sent.begin(), sent.end(), needsEncoding)) {
        QString quoted = text;
        quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
        quoted.replace(QLatin1Char('"'), QLatin1String("\\\""));
        fuzz::require(header == (quote ? QLatin1Char('"') + quoted + QLatin1Char('"') : text),
                      "plain text stays as it is, quotes escaped inside quotes");
        return 0;
    }
    QString decoded;
    for (const QString& line : header.split(Fold)) {
        for (const QChar c : line)
            fuzz::require(c.unicode() > 32 && c.unicode() < 127,
                          "an encoded header is printable ASCII between its folds", header);
        // Room for the header's name on a line the protocol allows.
        fuzz::require(line.size() <= 900, "a folded line fits a header line", line);
        decoded += decodeLine(line);
    }
    fuzz::require(decoded == QString::fromLatin1(sent), "the encoded words decode to the text",
                  header);
    return 0;
}
