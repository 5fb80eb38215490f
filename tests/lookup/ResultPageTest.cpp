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

struct Read
{
    PostcodeCollection records;
    RecordingSink sink;
};

Read read(const QString& html, const QString& query = QStringLiteral("1011"))
{
    Read r;
    readPostcodes(*platform::HtmlDocument::parse(html)->Body(), query, QStringLiteral("S"),
                  QVariant(11.0), r.records, r.sink);
    return r;
}

QStringList fields(const clsPostcode& c)
{
    QStringList out;
    for (const QVariant& v : {c.Query, c.Typenaam, c.Postcode, c.Straat, c.EvenOneven, c.NrVan,
                              c.NrTm, c.Woonplaats, c.Resultaten})
        out << (v.isNull() ? QStringLiteral("NULL") : v.toString());
    return out;
}

const QString Header =
    QStringLiteral("<tr><th>Postcode</th><th>Straat</th><th>Nr</th><th>Plaats</th></tr>");

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

TEST(ResultPage, DataRowsBecomeRecordsInPageOrder)
{
    const Read r = read("<p>intro</p><table>" + Header +
                            "<tr><td> 1011 AB </td><td> Damrak </td><td> 1 t/m 23 </td>"
                            "<td>Amsterdam</td></tr>"
                            "<tr><td>1011 AC</td><td>Rokin</td><td></td><td>Amsterdam</td></tr>"
                            "<tr><td>1011 AD</td><td>'t Zand</td><td>14</td><td>Curaçao</td></tr>"
                            "</table>",
                        "1011 ");
    ASSERT_EQ(r.records.size(), 3);
    EXPECT_EQ(fields(*r.records[0]),
              (QStringList{"1011 ", "S", "1011 AB", "Damrak", "0", "1", "23", "Amsterdam", "11"}));
    EXPECT_EQ(fields(*r.records[1]), (QStringList{"1011 ", "S", "1011 AC", "Rokin", "NULL", "NULL",
                                                  "NULL", "Amsterdam", "11"}));
    EXPECT_EQ(fields(*r.records[2]),
              (QStringList{"1011 ", "S", "1011 AD", "'t Zand", "1", "14", "14", "Curaçao", "11"}));
    EXPECT_TRUE(r.sink.lines.isEmpty());
    EXPECT_TRUE(read("<p>Uw zoekactie heeft 0 resultaten opgeleverd</p>").records.isEmpty());
}

TEST(ResultPage, RowsAreTakenAsTheMarkupLaysThemOut)
{
    // A link inside the first cell shifts the four elements by one.
    Read r = read("<table><tr><td><a href=x>1011 AB</a></td><td>Damrak</td><td>1 t/m 3</td>"
                  "<td>Amsterdam</td></tr></table>");
    ASSERT_EQ(r.records.size(), 1);
    EXPECT_EQ(fields(*r.records[0]).mid(2, 6),
              (QStringList{"1011 AB", "1011 AB", "NULL", "Damrak", "Damrak", "1 t/m 3"}));

    // A header cell with attributes is not "<TH>": that row counts as data.
    r = read("<table><tr><th class=k>P</th><th class=k>S</th><th class=k>N</th>"
             "<th class=k>W</th></tr></table>");
    EXPECT_EQ(r.records.size(), 1);

    // So is a row whose "<TH>" is only in a comment or a script.
    r = read("<table><tr><td><!--<TH>-->1</td><td>a</td><td>2</td><td>x</td></tr>"
             "<tr><td>1</td><td>b<script>'<TH>'</script></td><td>2</td><td>x</td></tr>"
             "<tr><td>1</td><td title='<TH>'>c</td><td>2</td><td>x</td></tr></table>");
    EXPECT_TRUE(r.records.isEmpty());
}

TEST(ResultPage, EachRowCountsOnceForTheTableThatHoldsIt)
{
    // A results table inside two layout tables: the layout rows that hold it
    // give no record, its rows one each, in page order with the outer rows.
    const QString rows = "<tr><td>1</td><td>a</td><td>2</td><td>x</td></tr>"
                         "<tr><td>2</td><td>b</td><td>3</td><td>y</td></tr>";
    const Read r = read("<table><tr><td><table><tr><td>menu</td><td><table>" + Header + rows +
                        "</table></td></tr></table></td><td>x</td><td>y</td><td>z</td></tr>"
                        "<tr><td>3</td><td>c</td><td>4</td><td>z</td></tr></table>"
                        "<table><thead><tr><td>4</td><td>d</td><td>5</td><td>w</td></tr></thead>"
                        "</table>");
    QStringList order;
    for (const auto& rec : r.records)
        order << rec->Straat.toString();
    EXPECT_EQ(order, (QStringList{"a", "b", "c", "d"}));
    EXPECT_TRUE(r.sink.lines.isEmpty());
}

TEST(ResultPage, ShortRowsAreSkippedWithAMessage)
{
    const Read r = read("<table><tr><td>Pagina</td><td>1 van 2</td></tr>"
                        "<tr><td>1011 AB</td><td>Damrak</td><td>4</td><td>Amsterdam</td></tr>"
                        "<tr></tr></table>");
    ASSERT_EQ(r.records.size(), 1);
    EXPECT_EQ(r.records[0]->Postcode, "1011 AB");
    EXPECT_EQ(r.sink.lines, (QStringList{RowSkipped + "Pagina 1 van 2", RowSkipped}));
}
