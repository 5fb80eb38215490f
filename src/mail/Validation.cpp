#include "mail/Validation.h"

#include "platform/Convert.h"

namespace mail {

const QString DomainList = QStringLiteral(
    "COM ORG NET EDU GOV MIL INT AF AL DZ AS AD AO AI AQ AG AR AM AW AC AU AT AZ BS BH BD BB BY "
    "BZ BT BJ BE BM BO BA BW BV BR IO BN BG BF BI KH CM CA CV KY CF TD CL CN CX CC CO KM CD CG CK "
    "CR CI HR CU CY CZ DK DJ DM DO TP EC EG SV GQ ER EE ET EU FK FO FJ FI FR GF PF TF GA GM GE DE "
    "GH GI GR GL GD GP GU GT GG GN GW GY HT HM VA HN HK HU IS IN ID IR IQ IE IM IL IT JM JP JE JO "
    "KZ KE KI KP KR KW KG LA LV LB LS LR LY LI LT LU MO MK MG MW MY MV ML MT MH MQ MR MU YT MX FM "
    "MD MC MN MS MA MZ MM NA NR NP NL AN NC NZ NI NE NG NU NF MP NO OM PK PW PA PG PY PE PH PN PL "
    "PT PR QA RE RO RU RW KN LC VC WS SM ST SA SN SC SL SG SK SI SB SO ZA GS ES LK SH PM SD SR SJ "
    "SZ SE CH SY TW TJ TZ TH TG TK TO TT TN TR TM TC TV UG UA AE GB US UM UY UZ VU VE VN VG VI WF "
    "EH YE YU ZR ZM ZW UK");

bool IsValidEmailAddress(const QString& AddressString)
{
    const QStringList parts = AddressString.split(QLatin1Char('@'));
    return parts.size() == 2 && IsValidHostName(parts[1]);
}

bool IsValidHostName(const QString& host)
{
    const QString h = host.trimmed().toUpper();
    if (IsIPAddress(h))
        return true;
    const QStringList labels = h.split(QLatin1Char('.'));
    return labels.size() >= 2 && DomainList.contains(labels.last(), Qt::CaseInsensitive);
}

bool IsIPAddress(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        bool numeric = false;
        const double value = platform::toNumber(parts[i], &numeric);
        if (!numeric || value > (i == 0 ? 239 : 255))
            return false;
    }
    return true;
}

bool allAddressesValid(const QStringList& addresses)
{
    for (const QString& address : addresses)
        if (!IsValidEmailAddress(address))
            return false;
    return true;
}

QString controlCharacterError(const QString& text, const QString& what)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7F && u <= 0x9F) || u == 0x2028 || u == 0x2029)
            return QStringLiteral("Control character (U+%1) in %2")
                .arg(QString::number(u, 16).toUpper().rightJustified(4, QLatin1Char('0')), what);
    }
    return {};
}

QString addressCharacterError(const QString& address, const QString& what)
{
    const QString control = controlCharacterError(address, what);
    if (!control.isEmpty())
        return control;
    if (address.contains(QLatin1Char(' ')) || address.contains(QLatin1Char('<')) ||
        address.contains(QLatin1Char('>')))
        return QStringLiteral("Blank, '<' or '>' in %1: %2").arg(what, address);
    return {};
}

} // namespace mail
