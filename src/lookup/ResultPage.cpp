#include "lookup/ResultPage.h"

#include "platform/Convert.h"
#include "platform/HtmlDocument.h"
#include "platform/MessageSink.h"

#include <QRegularExpression>
#include <algorithm>

namespace lookup {

QVariant readMaxPages(const platform::HtmlElement& body)
{
    const QString T = body.Innertext();
    const qsizetype a = T.indexOf(QLatin1String("Uw zoekactie"));
    if (a < 0)
        return {};
    const qsizetype b = T.indexOf(QLatin1String("heeft"), a);
    if (b < 0)
        return {};
    const qsizetype c = T.indexOf(QLatin1String("opgeleverd"), b);
    if (c < 0)
        return {};
    // Past "heeft" and the one character after it, up to "opgeleverd"; a
    // sentence too short for that has an empty count text.
    const qsizetype start = b + 6;
    QString count = c > start ? T.mid(start, c - start) : QString();
    // A count is whole: a point followed by three digits separates
    // thousands ("1.234" is 1234), or a search with a thousand results or
    // more would read its first page only and count as done.
    static const QRegularExpression thousands(QStringLiteral("(?<=\\d)\\.(?=\\d{3}(?!\\d))"));
    count.remove(thousands);
    return platform::Val(count);
}

namespace {

// Whether the row is one of the table's own rows, not one of a table
// nested in it.
bool isRowOf(const platform::HtmlElement& row, const QString& Table)
{
    static const QString Sections[] = {QStringLiteral("TBODY"), QStringLiteral("THEAD"),
                                       QStringLiteral("TFOOT")};
    const platform::HtmlElement* parent = row.parentElement();
    if (parent && std::find(std::begin(Sections), std::end(Sections), parent->nodename()) !=
                      std::end(Sections))
        parent = parent->parentElement();
    return parent && parent->nodename() == Table;
}

} // namespace

bool isHeaderRow(const platform::HtmlElement& row)
{
    return row.InnerHTMLHolds("<TH>");
}

void readPostcodes(const platform::HtmlElement& body, const QString& Query, const QString& Typenaam,
                   const QVariant& Resultaten, PostcodeCollection& collection,
                   platform::MessageSink& sink)
{
    static const QString Table = QStringLiteral("TABLE");
    static const QString Row = QStringLiteral("TR");
    qint64 skipped = 0;
    for (const platform::HtmlElement& R : body.All()) {
        // The markup is searched last, and only in a table's own rows: those
        // never nest without a table between them, so no row is searched twice.
        if (R.nodename() != Row || R.holdsTable() || !isRowOf(R, Table) || isHeaderRow(R))
            continue;
        const auto cells = R.All();
        if (cells.size() < 4) {
            if (++skipped <= MaxRowMessages)
                sink.AddMelding(RowSkipped + R.Innertext().simplified());
            continue;
        }
        auto record = std::make_shared<clsPostcode>();
        record->Query = Query;
        record->Typenaam = Typenaam;
        record->Postcode = Trim(cells[0].Innertext());
        record->Straat = Trim(cells[1].Innertext());
        record->Woonplaats = Trim(cells[3].Innertext());
        record->SplitNr(cells[2].Innertext());
        record->Resultaten = Resultaten;
        collection.append(std::move(record));
    }
    if (skipped > MaxRowMessages)
        sink.AddMelding(QStringLiteral("Nog %1 rijen zonder vier cellen overgeslagen")
                            .arg(skipped - MaxRowMessages));
}

} // namespace lookup
