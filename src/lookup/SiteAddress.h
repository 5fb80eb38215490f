#pragma once

#include <QString>
#include <QUrl>

namespace lookup {

// The characters appended to the search text in the passes of a type "B"
// search: a blank, then the capitals that Dutch postcodes use.
inline const QString SearchLetters = QStringLiteral(" ABCDEGHJKLMNPRSTVWXZ");

// An address on the postcode site in two forms: as reported ("URL = ...",
// the search text as it is) and as sent. On the wire the search text is
// percent-encoded (UTF-8) wherever a character would change the meaning of
// the address (blank, "&", "#", "%", "+", controls, non-ASCII), so the
// whole text stays one parameter value.
struct SiteAddress
{
    QString logged;
    QUrl wire;
};

// Url + "/index?action=search&goto=postcoderesult&TreeID=1&address=" + text.
SiteAddress searchAddress(const QString& Url, const QString& searchText);

// Url + "/index.php?goto=postcoderesult&action=page&pagenum=" + n +
// "&address=" + text + "&TreeID=1".
SiteAddress pageAddress(const QString& Url, qint64 pagenum, const QString& searchText);

} // namespace lookup
