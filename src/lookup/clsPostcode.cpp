#include "lookup/clsPostcode.h"

#include "platform/Convert.h"

#include <cmath>

namespace lookup {

namespace {

QVariant textOrNull(const QString& part)
{
    const QString t = Trim(part);
    return t.isEmpty() ? QVariant() : QVariant(t);
}

// "1" when the first number of the text is even, "0" when odd, Null when the
// text does not start with one.
QVariant evenOdd(const QVariant& first)
{
    if (first.isNull())
        return {};
    const QString text = first.toString();
    bool ok = false;
    const double v = platform::toNumber(text, &ok);
    if (ok)
        return std::floor(v / 2) == v / 2 ? QStringLiteral("1") : QStringLiteral("0");
    qsizetype digits = 0;
    while (digits < text.size() && text.at(digits).isDigit() && text.at(digits).unicode() < 128)
        ++digits;
    if (digits == 0)
        return {};
    return (text.at(digits - 1).unicode() - u'0') % 2 == 0 ? QStringLiteral("1")
                                                           : QStringLiteral("0");
}

} // namespace

QString Trim(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    // A cell written with &nbsp; holds U+00A0: it is a blank all the same.
    auto blank = [](QChar c) { return c == u' ' || c == u'\u00A0'; };
    while (begin < end && blank(text.at(begin)))
        ++begin;
    while (end > begin && blank(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

void clsPostcode::SplitNr(const QString& Nr)
{
    if (!Nr.contains(QLatin1String("t/m"))) {
        NrVan = textOrNull(Nr);
        NrTm = NrVan;
    } else {
        QStringList parts = Nr.split(QStringLiteral(" t/m "));
        if (parts.size() < 2)
            parts = Nr.split(QStringLiteral("t/m"));
        NrVan = textOrNull(parts.at(0));
        NrTm = textOrNull(parts.at(1));
    }
    EvenOneven = evenOdd(NrVan);
}

} // namespace lookup
