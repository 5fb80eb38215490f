// Arbitrary message texts (one character per byte) through PrepareMessage:
// what leaves it is safe inside the DATA stream, and nothing but line ends
// and stuffing dots is added, dropped or changed.
#include "Fuzz.h"
#include "mail/Composition.h"

#include <QStringList>

namespace {

QString withoutLineEnds(QString text)
{
    return text.remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = QString::fromLatin1(fuzz::bytes(data, size));
    const QString sent = mail::PrepareMessage(text);

    const QStringList lines = sent.split(QStringLiteral("\r\n"));
    QString content;
    for (const QString& line : lines) {
        fuzz::require(!line.contains(QLatin1Char('\r')) && !line.contains(QLatin1Char('\n')),
                      "every line end is CR LF", line);
        fuzz::require(line.size() <= 998, "no line is longer than 998 characters", line);
        fuzz::require(line != QLatin1String("."), "no line ends the data");
        // Every line that begins with a dot had one put in front of it.
        content += line.startsWith(QLatin1Char('.')) ? line.mid(1) : line;
    }
    fuzz::require(content == withoutLineEnds(text), "the characters of the text are all kept",
                  sent);
    return 0;
}
