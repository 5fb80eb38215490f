#include "filelib/Conversions.h"

#include "platform/Convert.h"
#include "platform/RunError.h"

#include <cmath>

namespace filelib {

using platform::RunError;

namespace {

// A non-negative amount rounded half away from zero to a whole number, as
// the amount it stands for: its first 15 significant digits decide, so
// 2.675 * 100 (267.49999999999997 in a double) rounds as 267.5.
double roundedWhole(double amount)
{
    if (amount >= 1e15)
        return std::round(amount);
    return std::round(QString::number(amount, 'g', 15).toDouble());
}

RunError unusableAmount(double Bedrag, const QString& Formaat)
{
    return RunError(RunError::Overflow,
                    QStringLiteral("Overflow: the amount %1 does not fit the IBM format %2")
                        .arg(platform::numberText(Bedrag), Formaat),
                    QStringLiteral("FormatIbmBedrag"));
}

const QString SignPositive = QStringLiteral("{ABCDEFGHI");
const QString SignNegative = QStringLiteral("}JKLMNOPQR");

} // namespace

QString FormatIbmBedrag(platform::Prompts& prompts, double Bedrag, const QString& Formaat)
{
    const QChar last = Formaat.isEmpty() ? QChar() : Formaat.back();
    const bool digitsOnly =
        Formaat.chopped(Formaat.isEmpty() ? 0 : 1).count(QLatin1Char('0')) == Formaat.size() - 1;
    if (!digitsOnly ||
        (last != QLatin1Char('0') && last != QLatin1Char('+') && last != QLatin1Char('-'))) {
        prompts.MsgBox(QStringLiteral("Systeemfout: Dit IBM formaat is onbekend"),
                       int(platform::box::OKOnly) | platform::box::Critical, {});
        return {};
    }
    if (!std::isfinite(Bedrag))
        throw unusableAmount(Bedrag, Formaat);
    const double whole = roundedWhole(std::fabs(Bedrag));
    const QString digits = QString::number(whole, 'f', 0).rightJustified(Formaat.size(), u'0');
    if (last == QLatin1Char('0'))
        return (Bedrag < 0 && whole != 0 ? QStringLiteral("-") : QString()) + digits;
    // A zoned field has a fixed width: a wider amount would shift every
    // field after it.
    if (digits.size() > Formaat.size())
        throw unusableAmount(Bedrag, Formaat);
    // The sign of the amount decides, also when it rounds to zero: a field
    // of -0.4 reads as a negative zero, as files written before expect.
    if (Bedrag < 0)
        return ConvertIbmTeken(prompts, digits, QStringLiteral("-"));
    if (last == QLatin1Char('-'))
        return ConvertIbmTeken(prompts, digits, QStringLiteral("+"));
    return digits;
}

QString ConvertIbmTeken(platform::Prompts& prompts, const QString& Bedrag, const QString& Teken)
{
    const bool plus = Teken == QLatin1String("+");
    if (!plus && Teken != QLatin1String("-")) {
        prompts.MsgBox(QStringLiteral("Systeemfout: Teken bij IBM conversie onbekend"),
                       int(platform::box::OKOnly) | platform::box::Critical, {});
        return Bedrag;
    }
    if (Bedrag.isEmpty())
        return Bedrag;
    const QChar last = Bedrag.back();
    if (last < QLatin1Char('0') || last > QLatin1Char('9'))
        return Bedrag;
    QString out = Bedrag;
    out.back() = (plus ? SignPositive : SignNegative).at(last.unicode() - '0');
    return out;
}

double Round(platform::Prompts& prompts, double Bedrag, int Decimalen)
{
    switch (Decimalen) {
    case 0:
        return std::floor(Bedrag + 0.5);
    case 1:
        return std::floor((Bedrag + 0.05) * 10) / 10;
    case 2:
        return std::floor((Bedrag + 0.005) * 100) / 100;
    case 3:
        return std::floor((Bedrag + 0.0005) * 1000) / 1000;
    case 4:
        return std::floor((Bedrag + 0.00005) * 10000) / 10000;
    default:
        prompts.MsgBox(QStringLiteral("Afronden niet mogelijk"), platform::box::OKOnly, {});
        return Bedrag;
    }
}

QVariant TransCheckBoxValue(const QVariant& Waarde)
{
    bool number = false;
    double value = 0;
    switch (Waarde.typeId()) {
    case QMetaType::Bool:
        return QVariant::fromValue<qint16>(Waarde.toBool() ? 1 : 0);
    case QMetaType::QString:
        value = platform::toNumber(Waarde.toString(), &number);
        break;
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Float:
    case QMetaType::Double:
        value = Waarde.toDouble(&number);
        break;
    default:
        break;
    }
    if (number && value == 1)
        return true;
    if (number && value == 0)
        return false;
    return {};
}

namespace {
template <typename Int> QString packed(Int value)
{
    QString text;
    auto bits = std::make_unsigned_t<Int>(value);
    for (size_t i = 0; i < sizeof(Int); ++i, bits >>= 8)
        text += QChar(char16_t(bits & 0xFF));
    return text;
}

template <typename Int> Int unpacked(const QString& text, const char* name)
{
    bool bytes = text.size() == qsizetype(sizeof(Int));
    for (const QChar c : text)
        bytes = bytes && c.unicode() <= 0xFF;
    if (!bytes)
        throw RunError(RunError::TypeMismatch,
                       QStringLiteral("Illegal function call (%1)").arg(QLatin1String(name)),
                       QString::fromLatin1(name));
    std::make_unsigned_t<Int> bits = 0;
    for (qsizetype i = text.size() - 1; i >= 0; --i)
        bits = std::make_unsigned_t<Int>((bits << 8) | text.at(i).unicode());
    return Int(bits);
}
} // namespace

QString MKI(qint16 piX)
{
    return packed(piX);
}

qint16 CVI(const QString& ptX)
{
    return unpacked<qint16>(ptX, "CVI");
}

QString MKL(qint32 PLx)
{
    return packed(PLx);
}

qint32 CVL(const QString& ptX)
{
    return unpacked<qint32>(ptX, "CVL");
}

} // namespace filelib
