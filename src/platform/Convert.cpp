#include "platform/Convert.h"

#include <cmath>

namespace platform {

double Val(const QString& text, bool* found)
{
    QString digits;
    bool seenPoint = false;
    bool seenDigit = false;
    bool seenSign = false;
    for (const QChar c : text) {
        if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') ||
            c == QLatin1Char('\r'))
            continue;
        if (!seenSign && !seenDigit && !seenPoint &&
            (c == QLatin1Char('-') || c == QLatin1Char('+'))) {
            seenSign = true;
            digits += c;
            continue;
        }
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            seenDigit = true;
            digits += c;
            continue;
        }
        if (c == QLatin1Char('.') && !seenPoint) {
            seenPoint = true;
            digits += c;
            continue;
        }
        break;
    }
    if (found)
        *found = seenDigit;
    if (!seenDigit)
        return 0.0;
    return digits.toDouble();
}

double toNumber(const QString& text, bool* ok)
{
    const QString t = text.trimmed();
    bool good = !t.isEmpty();
    for (const QChar c : t) {
        if (!(c.isDigit() || c == QLatin1Char('.') || c == QLatin1Char('-') ||
              c == QLatin1Char('+') || c == QLatin1Char('e') || c == QLatin1Char('E'))) {
            good = false;
            break;
        }
    }
    double d = good ? t.toDouble(&good) : 0.0;
    if (good && !std::isfinite(d))
        good = false;
    if (ok)
        *ok = good;
    return good ? d : 0.0;
}

QString numberText(double value)
{
    if (std::floor(value) == value && std::fabs(value) < 1e15)
        return QString::number(qint64(value));
    return QString::number(value, 'g', 15);
}

} // namespace platform
