#include "SiteData.h"

#include <QUrl>
#include <algorithm>

namespace postcodesite {

namespace {

// The letters of Dutch postcodes (no F, I, O, Q, U, Y).
const QString Letters = QStringLiteral("ABCDEGHJKLMNPRSTVWXZ");

const QStringList Towns = {QStringLiteral("Zwolle"),     QStringLiteral("Groningen"),
                           QStringLiteral("Leeuwarden"), QStringLiteral("Assen"),
                           QStringLiteral("Utrecht"),    QStringLiteral("Haarlem"),
                           QStringLiteral("Leiden"),     QStringLiteral("Delft"),
                           QStringLiteral("Gouda"),      QStringLiteral("Breda"),
                           QStringLiteral("Tilburg"),    QStringLiteral("Eindhoven"),
                           QStringLiteral("Venlo"),      QStringLiteral("Maastricht"),
                           QStringLiteral("Arnhem"),     QStringLiteral("Nijmegen"),
                           QStringLiteral("Apeldoorn"),  QStringLiteral("Den Helder"),
                           QStringLiteral("Roermond"),   QStringLiteral("Alphen aan den Rijn")};

const QStringList Streets = {QStringLiteral("Kerkstraat"),
                             QStringLiteral("Dorpsstraat"),
                             QStringLiteral("Molenweg"),
                             QStringLiteral("Schoolstraat"),
                             QStringLiteral("Stationsweg"),
                             QStringLiteral("Julianalaan"),
                             QStringLiteral("Curaçaostraat"),
                             QStringLiteral("Prinses Irenéstraat"),
                             QStringLiteral("Van 't Hoffstraat"),
                             QStringLiteral("Sint-Jacobsstraat"),
                             QStringLiteral("Groenmarkt"),
                             QStringLiteral("Havenkade"),
                             QStringLiteral("'t Haantje"),
                             QStringLiteral("Lindenlaan"),
                             QStringLiteral("Burgemeester Ruijsstraat"),
                             QStringLiteral("Oude Gracht"),
                             QStringLiteral("Boerhaavelaan"),
                             QStringLiteral("Hôtel de Villeplein")};

// House numbers in turn: odd range, even range, single number, none.
QString numbers(int i)
{
    const int base = 1 + (i % 7) * 10;
    switch (i % 4) {
    case 0:
        return QStringLiteral("%1 t/m %2").arg(base).arg(base + 22);
    case 1:
        return QStringLiteral("%1 t/m %2").arg(base + 1).arg(base + 23);
    case 2:
        return QString::number(base + 13);
    default:
        return QString();
    }
}

// Rows of one four-digit area; `pairs` are indices into the letter pairs.
void addArea(QList<SiteRow>& rows, int digits, const QList<int>& pairs, const QString& town,
             const QStringList& streets)
{
    for (int i = 0; i < pairs.size(); ++i) {
        const int pair = pairs.at(i);
        const QString postcode = QStringLiteral("%1 %2%3")
                                     .arg(digits)
                                     .arg(Letters.at(pair / Letters.size()))
                                     .arg(Letters.at(pair % Letters.size()));
        rows.append(
            {postcode, streets.at((digits + i) % streets.size()), numbers(digits + i), town});
    }
}

QList<int> firstPairs(int count)
{
    QList<int> pairs;
    for (int i = 0; i < count; ++i)
        pairs.append(i * 3);
    return pairs;
}

// Pairs whose first letter is `letter`, `count` of them.
QList<int> pairsStartingWith(QChar letter, int count)
{
    QList<int> pairs;
    const int first = int(Letters.indexOf(letter)) * int(Letters.size());
    for (int i = 0; i < count; ++i)
        pairs.append(first + i);
    return pairs;
}

QList<SiteRow> generate()
{
    QList<SiteRow> rows;
    const QStringList amsterdam = {QStringLiteral("Damrak"), QStringLiteral("Nieuwendijk"),
                                   QStringLiteral("Kalverstraat"), QStringLiteral("Rokin"),
                                   QStringLiteral("Oudezijds Voorburgwal")};
    addArea(rows, 1010, firstPairs(10), QStringLiteral("Amsterdam"), amsterdam);
    addArea(rows, 1011, firstPairs(11), QStringLiteral("Amsterdam"), amsterdam);
    addArea(rows, 1012, firstPairs(25), QStringLiteral("Amsterdam"), amsterdam);
    const QStringList loosdrecht = {QStringLiteral("Oud-Loosdrechtsedijk"),
                                    QStringLiteral("Nieuw-Loosdrechtsedijk"),
                                    QStringLiteral("Tjalk")};
    QList<int> spread = pairsStartingWith(u'A', 12);
    spread += pairsStartingWith(u'B', 1);
    spread += pairsStartingWith(u'C', 5);
    spread += pairsStartingWith(u'Z', 2);
    addArea(rows, 1234, spread, QStringLiteral("Loosdrecht"), loosdrecht);

    const QStringList bosch = {QStringLiteral("Hinthamerstraat"), QStringLiteral("Vughterstraat"),
                               QStringLiteral("'t Zand"), QStringLiteral("Orthenseweg"),
                               QStringLiteral("Citadellaan")};
    const QString hertogenbosch = QStringLiteral("'s-Hertogenbosch");
    addArea(rows, 5211, firstPairs(7), hertogenbosch, bosch);
    addArea(rows, 5212, firstPairs(8), hertogenbosch, bosch);
    addArea(rows, 5213, firstPairs(5), hertogenbosch, bosch);

    // The rest of the country: a fixed linear congruential sequence.
    quint32 state = 20240611u;
    auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    for (int digits = 2003; digits < 9000; digits += 97) {
        if (digits >= 5211 && digits <= 5213)
            continue;
        const int count = 1 + int(next() % 18);
        QList<int> pairs;
        const int stride = 1 + 2 * int(next() % 9); // odd, so the pairs differ
        for (int i = 0; i < count; ++i)
            pairs.append((i * stride * 7) % 400);
        std::sort(pairs.begin(), pairs.end());
        pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());
        addArea(rows, digits, pairs, Towns.at(int(next() % Towns.size())), Streets);
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const SiteRow& a, const SiteRow& b) { return a.postcode < b.postcode; });
    return rows;
}

QString escaped(const QString& text)
{
    return text.toHtmlEscaped();
}

QString pageHead(const QString& charset)
{
    return QStringLiteral(
               "<!DOCTYPE html>\n<html lang=\"nl\">\n<head>\n<meta charset=\"%1\">\n"
               "<title>Postcode zoeken</title>\n"
               "<style>table.resultaten td { padding: 2px 8px; }</style>\n"
               "<script>\n// Not page text: Uw zoekactie heeft 999 resultaten opgeleverd.\n"
               "var pagina = 0;\n</script>\n</head>\n<body>\n<h1>Postcode zoeken</h1>\n")
        .arg(charset);
}

} // namespace

const QList<SiteRow>& siteRows()
{
    static const QList<SiteRow> rows = generate();
    return rows;
}

QList<SiteRow> searchRows(const QString& text)
{
    const QString name = text.trimmed();
    QString prefix = text;
    prefix.remove(u' ');
    prefix = prefix.toUpper();
    QList<SiteRow> found;
    if (name.isEmpty())
        return found;
    const bool byPostcode = name.at(0).isDigit();
    for (const SiteRow& row : siteRows()) {
        const bool match = byPostcode ? QString(row.postcode).remove(u' ').startsWith(prefix)
                                      : (row.straat.compare(name, Qt::CaseInsensitive) == 0 ||
                                         row.plaats.compare(name, Qt::CaseInsensitive) == 0);
        if (match)
            found.append(row);
    }
    return found;
}

QString resultPage(const QString& text, const QList<SiteRow>& results, qint64 page,
                   const QString& charset)
{
    QString html = pageHead(charset);
    html += QStringLiteral("<form action=\"/index\" method=\"get\"><input type=\"hidden\" "
                           "name=\"action\" value=\"search\"><input name=\"address\" value=\"%1\">"
                           "<input type=\"submit\" value=\"Zoek\"></form>\n")
                .arg(escaped(text));
    html += QStringLiteral("<p>Uw zoekactie heeft %1 resultaten opgeleverd.</p>\n"
                           "<p>Zoekterm: <b>%2</b></p>\n")
                .arg(results.size())
                .arg(escaped(text));
    html += QStringLiteral("<table class=\"resultaten\">\n<tr><th>Postcode</th><th>Straat</th>"
                           "<th>Huisnummers</th><th>Plaats</th></tr>\n");
    const qint64 first = page * PageSize;
    for (qint64 i = first; i >= 0 && i < first + PageSize && i < results.size(); ++i) {
        const SiteRow& r = results.at(i);
        html +=
            QStringLiteral("<tr><td>%1</td><td>%2</td><td>%3</td><td>%4</td></tr>\n")
                .arg(escaped(r.postcode), escaped(r.straat), escaped(r.nummers), escaped(r.plaats));
    }
    html += QStringLiteral("</table>\n");
    const qint64 pages = (results.size() + PageSize - 1) / PageSize;
    if (page + 1 < pages) {
        const QString address = QString::fromLatin1(QUrl::toPercentEncoding(text));
        html += QStringLiteral("<p>Pagina %1 van %2. <a href=\"/index.php?goto=postcoderesult&amp;"
                               "action=page&amp;pagenum=%3&amp;address=%4&amp;TreeID=1\">"
                               "Volgende pagina</a></p>\n")
                    .arg(page + 1)
                    .arg(pages)
                    .arg(page + 1)
                    .arg(address);
    }
    html += QStringLiteral("</body>\n</html>\n");
    return html;
}

QString blockPage(const QString& charset)
{
    return pageHead(charset) +
           QStringLiteral("<p>U heeft in korte tijd veel zoekopdrachten gegeven. U kunt "
                          "voorlopig geen zoekopdrachten meer uitvoeren; probeer het later "
                          "opnieuw.</p>\n</body>\n</html>\n");
}

} // namespace postcodesite
