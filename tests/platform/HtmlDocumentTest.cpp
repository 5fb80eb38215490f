#include "platform/HtmlDocument.h"
#include "platform/Stop.h"

#include <QStringList>
#include <algorithm>
#include <ctime>
#include <gtest/gtest.h>
#include <sys/resource.h>

using namespace platform;

namespace {

const HtmlElement* first(const HtmlElement& root, const QString& name, int skip = 0)
{
    for (const HtmlElement& e : root.All())
        if (e.nodename() == name && skip-- == 0)
            return &e;
    return nullptr;
}

// Processor time of this thread: the parser's own cost, however busy the
// machine is.
double cpuMilliseconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

} // namespace

// InnerHTML() writes upper-case tags, quoted attributes and escaped text,
// with the TBODY a table implies; the search sees that markup, not the
// page's own, and finds a text that runs across tags, attributes and text,
// or that starts inside a near miss.
TEST(HtmlDocument, InnerHtmlIsWrittenInOneFormAndSearchedAsWritten)
{
    const auto doc = HtmlDocument::parse(QStringLiteral(
        "<table><tr><th>Postcode</th><Th class=\"k\">Plaats</th></tr>"
        "<tr><td>1011&nbsp;AB</td><td title='a \"b\"'>A&amp;B &lt;x&gt;</td></tr></table>"));
    QStringList names;
    for (const HtmlElement& e : doc->Body()->All())
        names << e.nodename();
    EXPECT_EQ(names, (QStringList{"TABLE", "TBODY", "TR", "TH", "TH", "TR", "TD", "TD"}));
    const HtmlElement* table = first(*doc->Body(), "TABLE");
    EXPECT_EQ(table->InnerHTML(),
              "<TBODY><TR><TH>Postcode</TH><TH class=\"k\">Plaats</TH></TR>"
              "<TR><TD>1011&nbsp;AB</TD><TD title=\"a &quot;b&quot;\">A&amp;B &lt;x&gt;</TD>"
              "</TR></TBODY>");
    EXPECT_FALSE(table->holdsTable());
    // Raw text stays raw; comments and void elements keep their form.
    const auto other = HtmlDocument::parse(
        QStringLiteral("<div><script>if (a < b) x = '&amp;';</script><!-- c --><br><img src=x>"
                       "</div>"));
    EXPECT_EQ(first(*other->Body(), "DIV")->InnerHTML(),
              "<SCRIPT>if (a < b) x = '&amp;';</SCRIPT><!-- c --><BR><IMG src=\"x\">");

    const auto searched = HtmlDocument::parse(QStringLiteral(
        "<table><tr><td class=k>a &lt;b&gt; &amp; café</td><td><!--<TH>--></td>"
        "<td><script>x = '<th>' < 1</script><xy<th>z</xy<th></td><td>aaaab</td></tr></table>"));
    const HtmlElement& row = *first(*searched->Body(), "TR");
    const QByteArray markup = row.InnerHTML().toUtf8();
    for (const char* held : {"<TD class=\"k\">a &lt;b&gt; &amp; café</TD><TD>", "<!--<TH>-->",
                             "'<th>' < 1</SCRIPT>", "</XY<TH>", "aaab</TD>", "é", ""}) {
        EXPECT_TRUE(markup.contains(held)) << held;
        EXPECT_TRUE(row.InnerHTMLHolds(held)) << held;
    }
    for (const char* absent : {"<b>", "class=k", "<td>", "aaaaab", "</TR>", "<TR>", "&amp;lt;"}) {
        EXPECT_FALSE(markup.contains(absent)) << absent;
        EXPECT_FALSE(row.InnerHTMLHolds(absent)) << absent;
    }
    // A cell's own tags are not its content.
    EXPECT_FALSE(first(row, "TD")->InnerHTMLHolds("<TD"));
    EXPECT_TRUE(first(row, "TD", 3)->InnerHTMLHolds("aaab"));
}

TEST(HtmlDocument, InnertextFollowsRenderedText)
{
    const auto doc = HtmlDocument::parse(QStringLiteral(
        "<html><head><title>Titel</title><style>p{}</style></head><body>"
        "<script>var t = 'verborgen';</script><noscript>ook niet</noscript>"
        "<div>  Uw   <b>zoekactie</b>\n heeft <i>3</i>  resultaten </div><div>opgeleverd</div>"
        "<table><tr><td>  Prinses&nbsp;Iren&eacute;straat <br>  tweede  regel </td>"
        "<td>1 t/m 23</td><td></td><td>'s-Hertogenbosch</td></tr>"
        "<tr><td>x</td></tr></table><pre>a  b\n c</pre></body></html>"));
    const HtmlElement& body = *doc->Body();
    EXPECT_EQ(body.Innertext(),
              QStringLiteral("Uw zoekactie heeft 3 resultaten\nopgeleverd\n"
                             "Prinses\u00a0Irenéstraat\ntweede regel\t1 t/m 23\t\t"
                             "'s-Hertogenbosch\nx\na  b\n c"));
    const HtmlElement* cell = first(body, "TD");
    EXPECT_EQ(cell->Innertext(), QStringLiteral("Prinses\u00a0Irenéstraat\ntweede regel"));
    EXPECT_EQ(first(body, "TD", 1)->Innertext(), "1 t/m 23");
    EXPECT_EQ(first(body, "TD", 2)->Innertext(), "");
    // Broken markup is repaired the way browsers do.
    const auto broken = HtmlDocument::parse(
        QStringLiteral("<p>Uw <b>zoekactie heeft 7 <i>resultaten</b> opgeleverd<p>volgende"));
    EXPECT_EQ(broken->Body()->Innertext(), "Uw zoekactie heeft 7 resultaten opgeleverd\nvolgende");
    // An empty page still has a body (a page without one is an error).
    ASSERT_NE(HtmlDocument::parse(QString())->Body(), nullptr);
    EXPECT_EQ(HtmlDocument::parse(QString())->Body()->Innertext(), "");
}

TEST(HtmlDocument, CharsetComesFromHeaderBomOrMetaElseWindows1252)
{
    const QByteArray latin = "<p>caf\xe9 \x80 \x93</p>";
    EXPECT_EQ(decodeHtml(latin), QStringLiteral("<p>café € \u201c</p>"));
    EXPECT_EQ(decodeHtml(latin, "text/html; charset=ISO-8859-1"),
              QStringLiteral("<p>café € \u201c</p>"));
    const QByteArray utf8 = QStringLiteral("<p>Curaçao</p>").toUtf8();
    EXPECT_EQ(decodeHtml(utf8, "text/html; charset=\"utf-8\""), "<p>Curaçao</p>");
    EXPECT_EQ(decodeHtml("\xEF\xBB\xBF" + utf8, "text/html; charset=iso-8859-1"), "<p>Curaçao</p>");
    EXPECT_EQ(
        decodeHtml("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">" + utf8)
            .right(14),
        "<p>Curaçao</p>");
    EXPECT_EQ(decodeHtml("<meta charset=windows-1252><p>caf\xe9</p>").right(11), "<p>café</p>");
    // The header wins over the page.
    EXPECT_EQ(
        decodeHtml("<meta charset=utf-8><p>caf\xe9</p>", "text/html; charset=latin1").right(11),
        "<p>café</p>");
    const auto doc = HtmlDocument::fromBytes("<meta charset=iso-8859-1><td>Iren\xe9straat");
    EXPECT_EQ(doc->Body()->Innertext(), "Irenéstraat");
}

// NUL bytes are parse errors, each recorded with a copy of the open
// elements: 190 bytes of memory per byte. (First, while the peak is low.)
// Each shape of the table costs the parser more than its size. Nesting:
// 40,000 elements overflowed the stack and its time grows with size times
// depth, so pages nested past 2048 are refused at once, formatting elements
// that text reopens included (alike ones three at most); sloppy markup is
// not deep: cells, rows and list items close one another, and so do
// paragraphs; an icon sheet closes its own paths. Reopening a formatting
// element copies its attributes (120 KB would ask for 200 MB): a tree that
// outgrows its budget is refused. It also checks every attribute against
// the tag's earlier ones (and a further <body>'s against all merged so
// far), looks through the open elements for each tag, and moves text that
// stands in a table before it, one insertion each. The bound is processor
// time, far above what each takes here (the 100,000-attribute element alone
// took over a minute).
TEST(HtmlDocument, HostilePagesAreReadOrRefusedWithinBounds)
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const long before = usage.ru_maxrss; // kilobytes
    auto doc = HtmlDocument::fromBytes(QByteArray(8 << 20, '\0'), "text/html; charset=utf-8");
    EXPECT_TRUE(doc->Body()->All().empty());
    getrusage(RUSAGE_SELF, &usage);
    EXPECT_LT(usage.ru_maxrss - before, 128 * 1024);

    struct Shape
    {
        const char* name;
        QByteArray page;
        bool refused;
        qsizetype rows = 0;
    };
    QByteArray attributes = "<div";
    for (int i = 0; i < 100000; ++i)
        attributes += " a" + QByteArray::number(i) + "=1";
    QByteArray bodies, tags, reopened, sloppy = "<table>";
    for (int i = 0; i < 300; ++i) {
        bodies += "<body";
        for (int j = 0; j < 300; ++j)
            bodies += " b" + QByteArray::number(i * 300 + j);
        bodies += ">";
    }
    for (int j = 0; j < 200; ++j)
        tags += " c" + QByteArray::number(j) + "='v'";
    for (int i = 0; i < 3000; ++i) {
        reopened += "<p><b title=" + QByteArray::number(i) + ">x</p>";
        sloppy += "<tr><td><font size=2><b>" + QByteArray::number(i) + "<td><font>x";
    }
    sloppy += "</table><ul>" + QByteArray("<li><p><i>a").repeated(3000) + "</ul><svg>" +
              QByteArray("<path d='M0 0'/>").repeated(3000) + "</svg>";
    const Shape shapes[] = {
        {"40,000 deep",
         QByteArray("<div>").repeated(40000) + "x" + QByteArray("</div>").repeated(40000), true},
        {"16,000 deep, unclosed", QByteArray("<div>").repeated(16000), true},
        {"3000 formatting elements reopened", reopened, true},
        {"3000 alike reopened", QByteArray("<p><b>x</p>").repeated(3000), false},
        {"sloppy", sloppy, false, 3000},
        {"a reopened element's 100 KB attribute",
         "<p><b title=\"" + QByteArray(100000, 'x') + "\"></p>" +
             QByteArray("<p>x</p>").repeated(2000),
         true},
        {"one element, 100,000 attributes", attributes + ">x</div>", true},
        {"one attribute name, 500,000 times", "<p" + QByteArray(" a=1").repeated(500000) + ">",
         true},
        {"300 bodies of 300 attributes", bodies, true},
        {"end tags 2000 deep",
         QByteArray("<div>").repeated(2000) + QByteArray("</p>").repeated(200000), true},
        {"text in tables 600 deep",
         QByteArray("<table><tr><td>").repeated(600) + QByteArray("x</td>").repeated(100000), true},
        {"tags of 200 attributes", ("<i" + tags + ">x</i>").repeated(1500), false},
        {"entities", "<p>" + QByteArray("&amp;&lt;&#x41;&nbsp;&notin;&bogus;").repeated(60000),
         false},
        {"wide", "<body>" + QByteArray("<span>x</span>").repeated(150000), false},
        {"rows",
         "<table>" +
             QByteArray("<tr><td>1011 AB<td>Kalverstraat<td>1 t/m 9<td>Amsterdam").repeated(40000),
         false, 40000},
    };
    for (const Shape& shape : shapes) {
        const double start = cpuMilliseconds();
        doc = HtmlDocument::fromBytes(shape.page, "text/html; charset=utf-8");
        EXPECT_LT(cpuMilliseconds() - start, 4000) << shape.name;
        EXPECT_EQ(doc->refused(), shape.refused) << shape.name;
        EXPECT_EQ(doc->documentElement() == nullptr, shape.refused) << shape.name;
        EXPECT_EQ(doc->Body() == nullptr, shape.refused) << shape.name;
        if (doc->Body()) {
            EXPECT_EQ(std::ranges::count(doc->Body()->All(), "TR", &HtmlElement::nodename),
                      shape.rows)
                << shape.name;
        }
    }

    // Below the bound, the tree is walked without recursion.
    doc = HtmlDocument::fromBytes(QByteArray("<span>").repeated(2000) + "x" +
                                  QByteArray("</span>").repeated(2000));
    ASSERT_FALSE(doc->refused());
    const auto all = doc->Body()->All();
    ASSERT_EQ(all.size(), 2000u);
    EXPECT_EQ(all.back().parentElement(), &all.end()[-2]);
    EXPECT_EQ(doc->Body()->Innertext(), "x");
    EXPECT_EQ(doc->Body()->InnerHTML().size(), 13 * 2000 + 1);

    // A stop (a signal, "Stoppen") ends a parse under way.
    StopRequest stop;
    stop.request(15);
    const double start = cpuMilliseconds();
    EXPECT_TRUE(
        HtmlDocument::fromBytes(QByteArray("<p>x</p>").repeated(1 << 20), {}, &stop)->refused());
    EXPECT_LT(cpuMilliseconds() - start, 1000);
}
