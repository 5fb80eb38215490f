// Mutated result pages of the local site, each read through the result_page
// fuzz target (fuzz/result_page.cpp): reading never crashes, and the answers
// the parser keeps from parsing agree with the markup they stand for. A
// broken property aborts with its name and the markup at fault; the fixed
// seed makes the run repeatable. For a longer run by hand:
//   STRAATWIJS_FUZZ_SECONDS=600 STRAATWIJS_FUZZ_SEED=7 lookup_tests --gtest_filter='*Fuzz*'
#include "SiteData.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <gtest/gtest.h>
#include <random>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

// Markup spliced in at random, a NUL and the count sentence besides.
const QByteArrayList Pieces =
    QByteArrayList{"<table>",     "</table>",   "<tr>",       "</tr>",      "<td>",
                   "</td>",       "<th>",       "<TH>",       "</th>",      "<tbody>",
                   "<thead>",     "<caption>",  "<!--",       "-->",        "<script>",
                   "</script>",   "<style>",    "<b>",        "</b>",       "<i>",
                   "<p>",         "</p>",       "<div>",      "</div>",     "<br>",
                   "<br/>",       "&nbsp;",     "&amp",       "&#0;",       "<svg>",
                   "<math>",      "<template>", "<frameset>", "<select>",   "<option>",
                   "<pre>",       "<xmp>",      "<textarea>", "<title>",    "<noscript>",
                   "<![CDATA[",   "]]>",        "\"",         "'",          "=",
                   "<",           ">",          "/",          "\r\n",       "\xC2\xA0",
                   "\xFF",        "\xE2\x82",   " t/m ",      "<a href=x>", "<td title='<TH>'>",
                   "<th class=k>"} +
    QByteArrayList{QByteArray(1, 0), "Uw zoekactie heeft 12 resultaten opgeleverd", " a=1",
                   "<body a=1 b=2>"};

QByteArray mutate(QByteArray page, std::mt19937& rng)
{
    auto pick = [&rng](qsizetype n) {
        return qsizetype(
            std::uniform_int_distribution<qsizetype>(0, std::max<qsizetype>(n, 1) - 1)(rng));
    };
    for (int n = 1 + int(pick(8)); n > 0; --n) {
        const qsizetype at = pick(page.size() + 1);
        switch (pick(4)) {
        case 0:
            page.insert(at, Pieces[pick(Pieces.size())]);
            break;
        case 1:
            page.remove(at, 1 + pick(64));
            break;
        case 2:
            page.insert(pick(page.size() + 1), page.mid(at, 1 + pick(512)));
            break;
        default:
            if (at < page.size())
                page[at] = char(pick(256));
        }
    }
    return page;
}

} // namespace

TEST(ResultPageFuzz, MutatedPagesReadWithoutFaults)
{
    const qint64 seconds = qEnvironmentVariableIntValue("STRAATWIJS_FUZZ_SECONDS");
    const bool ok = qEnvironmentVariableIsSet("STRAATWIJS_FUZZ_SEED");
    const unsigned seed = ok ? unsigned(qEnvironmentVariableIntValue("STRAATWIJS_FUZZ_SEED")) : 1;
    std::mt19937 rng(seed);

    const auto results = postcodesite::searchRows(QStringLiteral("1012"));
    QList<QByteArray> pages;
    for (int p = 0; p < 3; ++p)
        pages << postcodesite::resultPage(QStringLiteral("1012"), results, p).toUtf8();
    pages << postcodesite::blockPage().toUtf8();

    QElapsedTimer clock;
    clock.start();
    int i = 0;
    for (; seconds > 0 ? clock.elapsed() < seconds * 1000 : i < 15000; ++i) {
        // Now and then a mutant of a mutant, to reach further from the site's layout.
        QByteArray page = mutate(pages[i % pages.size()], rng);
        if (i % 4 == 0)
            page = mutate(page + page, rng);
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(page.constData()),
                               std::size_t(page.size()));
    }
    if (seconds > 0)
        std::printf("%d pages, seed %u\n", i, seed);
}
