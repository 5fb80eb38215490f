#pragma once

// The local postcode site's data and pages.
//
// The data set is generated the same way every time. Searches with a known
// number of results, for tests and the demo:
//
//   "9999", "Nergenshuizen"   0 results
//   "1010"                   10 results (one page)
//   "1011"                   11 results (the search page and page 1)
//   "1012"                   25 results (the search page and pages 1, 2)
//   "1234"                   20 results: "1234 " (type B's first pass) 20,
//                            "1234A" 12, "1234B" 1, "1234C" 5, "1234Z" 2,
//                            the other letters of a type B search none
//   "'s-Hertogenbosch"       20 results (a town with an apostrophe)
//
// A search text that starts with a digit matches postcodes by prefix (blanks
// ignored, any letter case); any other text matches street or town names
// (whole name, any letter case, surrounding blanks ignored). House-number
// texts take every form the harvester reads: empty, a single number, and
// first and last number joined by " t/m ". Some streets carry an
// apostrophe or accented letters.

#include <QList>
#include <QString>

namespace postcodesite {

struct SiteRow
{
    QString postcode; // "1011 AB"
    QString straat;
    QString nummers; // "", "14" or "1 t/m 23"
    QString plaats;
};

// The whole generated data set, in postcode order.
const QList<SiteRow>& siteRows();

// The rows a search text finds, in postcode order.
QList<SiteRow> searchRows(const QString& text);

inline constexpr int PageSize = 10;

// A result page: the count sentence ("Uw zoekactie heeft N resultaten
// opgeleverd"), then results 10p + 1 to 10p + 10 (p = 0: the search page) in
// a table with a header row of TH cells. `charset` goes into the meta tag.
QString resultPage(const QString& text, const QList<SiteRow>& results, qint64 page,
                   const QString& charset = QStringLiteral("utf-8"));

// The page shown when the site refuses searches for a while.
QString blockPage(const QString& charset = QStringLiteral("utf-8"));

} // namespace postcodesite
