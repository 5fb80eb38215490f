#include "lookup/ResultPage.h"

#include "platform/HtmlDocument.h"
#include "support/RecordingSink.h"

#include <gtest/gtest.h>

using namespace lookup;
using testing_support::RecordingSink;

namespace {

QVariant count(const QString& html)
{
    return readMaxPages(*platform::HtmlDocument::parse(html)->Body());
}

// The values joined by "|", Null written as "NULL".
QString joined(const QVariantList& values)
{
    QStringList out;
    for (const QVariant& v : values)
        out << (v.isNull() ? QStringLiteral("NULL") : v.toString());
    return out.join('|');
}

} // namespace

TEST(ResultPage, CountSentenceReadsTheLeadingNumber)
{
    EXPECT_EQ(count("<p>Uw zoekactie heeft 37 resultaten opgeleverd.</p>"), QVariant(37.0));
    EXPECT_EQ(count("<p>Uw zoekactie heeft 1 resultaat opgeleverd</p>"), QVariant(1.0));
    // Thousands are separated by a point: every page of a large search is read.
    EXPECT_EQ(count("<p>Uw zoekactie heeft 1.234 resultaten opgeleverd</p>"), QVariant(1234.0));
    EXPECT_EQ(count("<p>Uw zoekactie heeft 12.345.678 resultaten opgeleverd</p>"),
              QVariant(12345678.0));
    EXPECT_EQ(count("<p>Uw zoekactie heeft 1.5 resultaten opgeleverd</p>"), QVariant(1.5));
    EXPECT_EQ(count("<p>Uw zoekactie heeft -5 resultaten opgeleverd</p>"), QVariant(-5.0));
    EXPECT_EQ(count("<p>Uw zoekactie naar x heeft\n+ 1 2 resultaten opgeleverd</p>"),
              QVariant(12.0));
    EXPECT_EQ(count("<p>Uw zoekactie heeft geen resultaten opgeleverd</p>"), QVariant(0.0));
    EXPECT_EQ(count("<p>Uw zoekactie heeftopgeleverd</p>"), QVariant(0.0));
    // No sentence: empty, not 0.
    EXPECT_FALSE(count("<p>Geen resultaten</p>").isValid());
    EXPECT_FALSE(count("<p>uw zoekactie heeft 3 resultaten opgeleverd</p>").isValid());
    EXPECT_FALSE(count("<p>Uw zoekactie heeft 3 resultaten</p>").isValid());
    EXPECT_FALSE(count("<script>'Uw zoekactie heeft 3 resultaten opgeleverd'</script>").isValid());
}

// Each data row of a table becomes a record of the query, in page order,
// taken as the markup lays it out; a row too short is skipped with a
// message.
TEST(ResultPage, DataRowsBecomeRecordsInPageOrder)
{
    const QString Header =
        QStringLiteral("<tr><th>Postcode</th><th>Straat</th><th>Nr</th><th>Plaats</th></tr>");
    const QString inner = "<tr><td>1</td><td>a</td><td>2</td><td>x</td></tr>"
                          "<tr><td>2</td><td>b</td><td>3</td><td>y</td></tr>";
    struct Case
    {
        const char* name;
        QString html;
        QStringList records; // Postcode|Straat|EvenOneven|NrVan|NrTm|Woonplaats
        QStringList skipped = {};
    };
    const Case cases[] = {
        {"rows",
         "<p>intro</p><table>" + Header +
             "<tr><td> 1011 AB </td><td> Damrak </td><td> 1 t/m 23 </td>"
             "<td>Amsterdam</td></tr>"
             "<tr><td>1011 AC</td><td>Rokin</td><td></td><td>Amsterdam</td></tr>"
             "<tr><td>1011 AD</td><td>'t Zand</td><td>14</td><td>Curaçao</td></tr>"
             "</table>",
         {"1011 AB|Damrak|0|1|23|Amsterdam", "1011 AC|Rokin|NULL|NULL|NULL|Amsterdam",
          "1011 AD|'t Zand|1|14|14|Curaçao"}},
        {"no results", "<p>Uw zoekactie heeft 0 resultaten opgeleverd</p>", {}},
        // A link inside the first cell shifts the four elements by one.
        {"link",
         "<table><tr><td><a href=x>1011 AB</a></td><td>Damrak</td><td>1 t/m 3</td>"
         "<td>Amsterdam</td></tr></table>",
         {"1011 AB|1011 AB|NULL|Damrak|Damrak|1 t/m 3"}},
        // A header cell with attributes is not "<TH>": that row counts as data.
        {"th with attributes",
         "<table><tr><th class=k>P</th><th class=k>S</th><th class=k>N</th>"
         "<th class=k>W</th></tr></table>",
         {"P|S|NULL|N|N|W"}},
        // A row whose markup holds "<TH>" anywhere is a header all the same.
        {"<TH> as text",
         "<table><tr><td><!--<TH>-->1</td><td>a</td><td>2</td><td>x</td></tr>"
         "<tr><td>1</td><td>b<script>'<TH>'</script></td><td>2</td><td>x</td></tr>"
         "<tr><td>1</td><td title='<TH>'>c</td><td>2</td><td>x</td></tr></table>",
         {}},
        // A results table inside two layout tables: the layout rows that hold
        // it give no record (no header among them to give them away), its
        // rows one each, in page order with the outer rows.
        {"nested",
         "<table><tr><td><table><tr><td>menu</td><td><table>" + inner +
             "</table></td></tr></table></td><td>x</td><td>y</td><td>z</td></tr>"
             "<tr><td>3</td><td>c</td><td>4</td><td>z</td></tr></table>"
             "<table><thead><tr><td>4</td><td>d</td><td>5</td><td>w</td></tr></thead>"
             "</table>",
         {"1|a|1|2|2|x", "2|b|0|3|3|y", "3|c|1|4|4|z", "4|d|0|5|5|w"}},
        {"short rows",
         "<table><tr><td>Pagina</td><td>1 van 2</td></tr>"
         "<tr><td>1011 AB</td><td>Damrak</td><td>4</td><td>Amsterdam</td></tr>"
         "<tr></tr></table>",
         {"1011 AB|Damrak|1|4|4|Amsterdam"},
         {RowSkipped + "Pagina 1 van 2", RowSkipped}},
    };
    for (const Case& c : cases) {
        PostcodeCollection records;
        RecordingSink sink;
        readPostcodes(*platform::HtmlDocument::parse(c.html)->Body(), "1011 ", "S", QVariant(11.0),
                      records, sink);
        QStringList read;
        for (const auto& r : records) {
            EXPECT_EQ(joined({r->Query, r->Typenaam, r->Resultaten}), "1011 |S|11") << c.name;
            read << joined(
                {r->Postcode, r->Straat, r->EvenOneven, r->NrVan, r->NrTm, r->Woonplaats});
        }
        EXPECT_EQ(read, c.records) << c.name;
        EXPECT_EQ(sink.lines, c.skipped) << c.name;
    }
}

TEST(ResultPage, SplitNrReadsRangesAndSingleNumbersAndNeverMakesUpOne)
{
    auto split = [](const QString& Nr) {
        clsPostcode r;
        r.SplitNr(Nr);
        return joined({r.NrVan, r.NrTm, r.EvenOneven});
    };
    EXPECT_EQ(split("2 t/m 24"), "2|24|1");
    EXPECT_EQ(split(" 7 "), "7|7|0");
    EXPECT_EQ(split("3 t/m 9 t/m 11"), "3|9|0");
    EXPECT_EQ(split("7.5"), "7.5|7.5|0");
    EXPECT_EQ(split(""), "NULL|NULL|NULL");
    // It never makes up a number.
    EXPECT_EQ(split("   "), "NULL|NULL|NULL");
    EXPECT_EQ(split("12a"), "12a|12a|1");
    EXPECT_EQ(split("12-14"), "12-14|12-14|1");
    EXPECT_EQ(split("II"), "II|II|NULL");
    EXPECT_EQ(split("1t/m3"), "1|3|0");
    EXPECT_EQ(split("5 t/m"), "5|NULL|0");
    EXPECT_EQ(split(" t/m 9"), "NULL|9|NULL");
    EXPECT_EQ(split("a t/m 9"), "a|9|NULL");
    EXPECT_EQ(split("t/m"), "NULL|NULL|NULL");
}
