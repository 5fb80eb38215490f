// DecodeBase64String on arbitrary text (the bytes read one character per
// byte, and as UTF-8), and on the base64 of the bytes, which must give the
// bytes back.
#include "Fuzz.h"
#include "mail/Encoders.h"

#include <algorithm>

namespace {

void decodeAnything(const QString& text)
{
    const QString decoded = mail::DecodeBase64String(text);
    fuzz::require(
        std::all_of(decoded.begin(), decoded.end(), [](QChar c) { return c.unicode() <= 0xFF; }),
        "decoding gives byte characters");
    // Four characters give at most three bytes; a short last block counts whole.
    fuzz::require(decoded.size() <= (text.size() + 3) / 4 * 3, "decoding never grows the text");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes = fuzz::bytes(data, size);
    decodeAnything(QString::fromLatin1(bytes));
    decodeAnything(QString::fromUtf8(bytes));

    const QString encoded =
        QString::fromLatin1(mail::EncodeBase64Bytes(bytes)).remove(QStringLiteral("\r\n"));
    fuzz::require(mail::DecodeBase64String(encoded) == QString::fromLatin1(bytes),
                  "base64 of the bytes decodes to the bytes", encoded);
    return 0;
}
