// Reading result pages of the local site (parse, count, records) beside
// gumbo's own parse of the same bytes (default options, tree freed), the
// floor any reading on top of it stands on. Compare readPage/N with
// gumboParse/N.
#include "ResultPages.h"
#include "lookup/ResultPage.h"
#include "platform/HtmlDocument.h"
#include "platform/MessageSink.h"

#include <benchmark/benchmark.h>
#include <gumbo.h>

namespace {

class NullSink : public platform::MessageSink
{
public:
    void AddMelding(const QString&, int, bool, quint32) override {}
};

void readPage(benchmark::State& state)
{
    const QByteArray bytes = bench::resultPage(int(state.range(0)));
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

void gumboParse(benchmark::State& state)
{
    const QByteArray bytes = bench::resultPage(int(state.range(0)));
    for (auto _ : state) {
        GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, bytes.constData(),
                                                       size_t(bytes.size()));
        benchmark::DoNotOptimize(output->root);
        gumbo_destroy_output(&kGumboDefaultOptions, output);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

} // namespace

// Pairs, so each of our figures sits under gumbo's for the same page.
BENCHMARK(gumboParse)->Arg(10)->Unit(benchmark::kMicrosecond);
BENCHMARK(readPage)->Arg(10)->Unit(benchmark::kMicrosecond);
BENCHMARK(gumboParse)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(readPage)->Arg(1000)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
