// Parse + GetMaxPages + ExtractPostcode on result pages of the local site.
#include "SiteData.h"
#include "lookup/ResultPage.h"
#include "platform/HtmlDocument.h"
#include "platform/MessageSink.h"

#include <benchmark/benchmark.h>

namespace {

class NullSink : public platform::MessageSink
{
public:
    void AddMelding(const QString&, int, bool, quint32) override {}
};

// A page of the site's layout holding `rows` results.
QByteArray page(int rows)
{
    QList<postcodesite::SiteRow> results;
    const auto& all = postcodesite::siteRows();
    for (int i = 0; i < rows; ++i)
        results.append(all.at(i % all.size()));
    QString html = postcodesite::resultPage(QStringLiteral("1012"), results, 0);
    if (rows > postcodesite::PageSize) {
        // The site shows 10 a page; widen this one to all rows for the large case.
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

void readPage(benchmark::State& state)
{
    const QByteArray bytes = page(int(state.range(0)));
    NullSink sink;
    for (auto _ : state) {
        const auto doc = platform::HtmlDocument::fromBytes(bytes, "text/html; charset=utf-8");
        const QVariant n = lookup::readMaxPages(*doc->Body());
        lookup::PostcodeCollection records;
        lookup::readPostcodes(*doc->Body(), QStringLiteral("1012"), QStringLiteral("S"), n, records,
                              sink);
        if (records.size() != state.range(0))
            state.SkipWithError("wrong number of records");
        benchmark::DoNotOptimize(records);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

} // namespace

BENCHMARK(readPage)->Arg(10)->Arg(1000)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
