#include "lookup/SiteAddress.h"

namespace lookup {

namespace {

const QString SearchPath =
    QStringLiteral("/index?action=search&goto=postcoderesult&TreeID=1&address=");
const QString PagePath = QStringLiteral("/index.php?goto=postcoderesult&action=page&pagenum=");

// Characters that keep their meaning inside a query value stay readable.
QString encodeValue(const QString& text)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(text, QByteArrayLiteral("!$'()*,;:@/?=")));
}

SiteAddress build(const QString& head, const QString& searchText, const QString& tail)
{
    const QString wire = head + encodeValue(searchText) + tail;
    return SiteAddress{head + searchText + tail, QUrl::fromEncoded(wire.toUtf8())};
}

} // namespace

SiteAddress searchAddress(const QString& Url, const QString& searchText)
{
    return build(Url + SearchPath, searchText, QString());
}

SiteAddress pageAddress(const QString& Url, qint64 pagenum, const QString& searchText)
{
    return build(Url + PagePath + QString::number(pagenum) + QStringLiteral("&address="),
                 searchText, QStringLiteral("&TreeID=1"));
}

} // namespace lookup
