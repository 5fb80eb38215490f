#pragma once

// Result pages in the local site's layout, for the benchmarks.
#include "SiteData.h"

#include <QByteArray>

namespace bench {

// A page of the site's layout holding `rows` results from the site's data,
// starting at result `first`. The site shows 10 a page; larger pages widen
// the table to all rows.
inline QByteArray resultPage(int rows, int first = 0)
{
    QList<postcodesite::SiteRow> results;
    const auto& all = postcodesite::siteRows();
    for (int i = 0; i < rows; ++i)
        results.append(all.at((first + i) % all.size()));
    QString html = postcodesite::resultPage(QStringLiteral("1012"), results, 0);
    if (rows > postcodesite::PageSize) {
        QString table;
        for (const auto& r : results)
            table += QStringLiteral("<tr><td>%1</td><td>%2</td><td>%3</td><td>%4</td></tr>\n")
                         .arg(r.postcode.toHtmlEscaped(), r.straat.toHtmlEscaped(),
                              r.nummers.toHtmlEscaped(), r.plaats.toHtmlEscaped());
        const qsizetype at = html.indexOf(QLatin1String("</table>"));
        const qsizetype from = html.indexOf(QLatin1String("</th></tr>\n")) + 11;
        html = html.left(from) + table + html.mid(at);
    }
    return html.toUtf8();
}

} // namespace bench
