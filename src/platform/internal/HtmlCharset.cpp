#include "platform/internal/HtmlCharset.h"

#include <QList>
#include <QRegularExpression>
#include <QStringDecoder>
#include <cstdint>
#include <cstring>

namespace platform::internal {

namespace {

constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t windows1252(unsigned char b)
{
    return (b >= 0x80 && b < 0xA0) ? kWindows1252High[b - 0x80] : char16_t(b);
}

QString decodeWindows1252(QByteArrayView bytes)
{
    QString out(bytes.size(), Qt::Uninitialized);
    QChar* p = out.data();
    for (const char ch : bytes)
        *p++ = QChar(windows1252(static_cast<unsigned char>(ch)));
    return out;
}

void windows1252ToUtf8(QByteArrayView bytes, std::string& out)
{
    out.clear();
    out.reserve(std::size_t(bytes.size()) + std::size_t(bytes.size()) / 8);
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b < 0x80) {
            out += ch;
            continue;
        }
        const char16_t c = windows1252(b);
        if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
        } else {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
        }
        out += char(0x80 | (c & 0x3F));
    }
}

bool isAscii(QByteArrayView bytes)
{
    const char* p = bytes.data();
    const char* const end = p + bytes.size();
    std::uint64_t high = 0;
    for (; end - p >= 8; p += 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        high |= word;
    }
    for (; p < end; ++p)
        high |= static_cast<unsigned char>(*p);
    return (high & 0x8080808080808080ull) == 0;
}

// Whether the bytes are UTF-8 that decoding would leave as it is: no
// overlong forms, surrogates or code points past U+10FFFF.
bool isCleanUtf8(QByteArrayView bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = p + bytes.size();
    while (p < end) {
        if (end - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            if ((word & 0x8080808080808080ull) == 0) {
                p += 8;
                continue;
            }
        }
        const unsigned char b = *p;
        if (b < 0x80) {
            ++p;
            continue;
        }
        int more;
        unsigned char low = 0x80, high = 0xBF;
        if (b >= 0xC2 && b <= 0xDF) {
            more = 1;
        } else if (b >= 0xE0 && b <= 0xEF) {
            more = 2;
            if (b == 0xE0)
                low = 0xA0;
            else if (b == 0xED)
                high = 0x9F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            more = 3;
            if (b == 0xF0)
                low = 0x90;
            else if (b == 0xF4)
                high = 0x8F;
        } else {
            return false;
        }
        if (end - p <= more || p[1] < low || p[1] > high)
            return false;
        for (int i = 2; i <= more; ++i)
            if ((p[i] & 0xC0) != 0x80)
                return false;
        p += more + 1;
    }
    return true;
}

QByteArray charsetParameter(const QByteArray& contentType)
{
    static const QRegularExpression re(
        QStringLiteral(R"(charset\s*=\s*["']?\s*([A-Za-z0-9_.:\-]+))"),
        QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(QString::fromLatin1(contentType));
    return m.hasMatch() ? m.captured(1).toLatin1().toLower() : QByteArray();
}

QByteArray metaCharset(const QByteArray& bytes)
{
    static const QRegularExpression re(
        QStringLiteral(R"(<meta[^>]*?charset\s*=\s*["']?\s*([A-Za-z0-9_.:\-]+))"),
        QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(QString::fromLatin1(bytes.left(1024)));
    return m.hasMatch() ? m.captured(1).toLatin1().toLower() : QByteArray();
}

bool isUtf8Label(const QByteArray& label)
{
    return label == "utf-8" || label == "utf8" || label == "unicode-1-1-utf-8";
}

bool isWesternLabel(const QByteArray& label)
{
    static const QList<QByteArray> western = {
        "iso-8859-1", "iso8859-1", "iso_8859-1", "latin1", "l1",         "windows-1252",
        "cp1252",     "x-cp1252",  "us-ascii",   "ascii",  "iso-ir-100", "cp819"};
    return label.isEmpty() || western.contains(label);
}

const QByteArray Utf8Bom = QByteArrayLiteral("\xEF\xBB\xBF");

} // namespace

QByteArray charsetOf(const QByteArray& bytes, const QByteArray& contentType)
{
    if (bytes.startsWith(Utf8Bom))
        return QByteArrayLiteral("utf-8");
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        return QByteArrayLiteral("utf-16");
    QByteArray label = charsetParameter(contentType);
    if (label.isEmpty())
        label = metaCharset(bytes);
    return label;
}

std::optional<std::string_view> asUtf8(const QByteArray& charset, const QByteArray& bytes,
                                       std::string& converted)
{
    if (isUtf8Label(charset)) {
        const QByteArrayView text =
            bytes.startsWith(Utf8Bom) ? QByteArrayView(bytes).sliced(3) : QByteArrayView(bytes);
        if (isCleanUtf8(text))
            return std::string_view(text.data(), std::size_t(text.size()));
        return std::nullopt;
    }
    if (!isWesternLabel(charset))
        return std::nullopt;
    if (isAscii(bytes))
        return std::string_view(bytes.constData(), std::size_t(bytes.size()));
    windows1252ToUtf8(bytes, converted);
    return std::string_view(converted);
}

QString decodeAs(const QByteArray& charset, const QByteArray& bytes)
{
    if (isUtf8Label(charset))
        return QString::fromUtf8(bytes.startsWith(Utf8Bom) ? bytes.mid(3) : bytes);
    if (charset == "utf-16") {
        QStringDecoder decoder(QStringConverter::Utf16);
        return decoder.decode(bytes);
    }
    if (isWesternLabel(charset))
        return decodeWindows1252(bytes);
    QStringDecoder decoder(charset.constData(), QStringDecoder::Flag::Stateless);
    if (!decoder.isValid())
        return decodeWindows1252(bytes);
    return decoder.decode(bytes);
}

} // namespace platform::internal
