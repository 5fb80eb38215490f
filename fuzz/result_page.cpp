// Arbitrary bytes as a loaded result page: decoding, the document tree, the
// count sentence and the records. Besides running clean under the
// sanitizers, the answers the tree keeps from parsing must agree with the
// markup they stand for.
#include "Fuzz.h"
#include "lookup/ResultPage.h"
#include "platform/HtmlDocument.h"
#include "platform/MessageSink.h"

#include <algorithm>
#include <vector>

using platform::HtmlElement;

namespace {

class CountingSink : public platform::MessageSink
{
public:
    qsizetype lines = 0;
    void AddMelding(const QString&, int, bool, quint32) override { ++lines; }
};

// The checks stay linear in the page: which elements follow is answered from
// a running count of tables, and only rows and cells (what the reader looks
// at) are serialised, up to a budget.
void checkTree(const HtmlElement& root)
{
    const auto all = root.All();
    std::vector<qsizetype> tablesBefore(all.size() + 1, 0);
    for (std::size_t i = 0; i < all.size(); ++i)
        tablesBefore[i + 1] = tablesBefore[i] + (all[i].nodename() == QLatin1String("TABLE"));
    qsizetype budget = 1 << 18;
    for (std::size_t i = 0; i < all.size(); ++i) {
        const HtmlElement& e = all[i];
        const HtmlElement* parent = e.parentElement();
        fuzz::require(parent != nullptr, "every element below the root has a parent");
        const auto siblings = parent->All();
        fuzz::require(&e >= siblings.data() && &e < siblings.data() + siblings.size(),
                      "an element lies among its parent's descendants");
        const std::size_t last = i + 1 + e.All().size();
        fuzz::require(last <= all.size(), "an element's descendants lie within the page");
        fuzz::require(e.holdsTable() == (tablesBefore[last] > tablesBefore[i + 1]),
                      "holdsTable agrees with All()", e.nodename());
        const QString& name = e.nodename();
        if (budget > 0 && (name == QLatin1String("TR") || name == QLatin1String("TD") ||
                           name == QLatin1String("TH"))) {
            const QString inner = e.InnerHTML();
            fuzz::require(lookup::isHeaderRow(e) == inner.contains(QLatin1String("<TH>")),
                          "isHeaderRow agrees with InnerHTML()", inner);
            // Any stretch of the markup is found in it, wherever its pieces meet.
            const QByteArray markup = inner.toUtf8();
            const QByteArray stretch = markup.mid(markup.size() / 3, 1 + budget % 7);
            fuzz::require(e.InnerHTMLHolds(stretch), "InnerHTMLHolds finds its own markup", inner);
            const QByteArray past = stretch + char(budget % 96 + 32);
            fuzz::require(e.InnerHTMLHolds(past) == markup.contains(past),
                          "InnerHTMLHolds agrees with InnerHTML()", inner);
            budget -= inner.size() + e.Innertext().size() + 1;
        }
        e.attribute(QStringLiteral("class"));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray page = fuzz::bytes(data, size);
    const auto doc = platform::HtmlDocument::fromBytes(page);
    platform::decodeHtml(page);
    const HtmlElement* root = doc->documentElement();
    if (!root)
        return 0;
    fuzz::require(!doc->refused(), "a refused page has no elements");
    checkTree(*root);
    root->Innertext();
    root->InnerHTML();

    const HtmlElement* body = doc->Body();
    if (!body)
        return 0;
    fuzz::require(body->nodename() == QLatin1String("BODY"), "Body() is a BODY element");
    const QVariant count = lookup::readMaxPages(*body);
    fuzz::require(!count.isValid() || count.typeId() == QMetaType::Double,
                  "the count is a double or absent");
    lookup::PostcodeCollection records;
    CountingSink sink;
    const QString query = QStringLiteral("1012 ");
    lookup::readPostcodes(*body, query, QStringLiteral("S"), count, records, sink);
    const auto all = body->All();
    const auto rows = std::count_if(all.begin(), all.end(), [](const HtmlElement& e) {
        return e.nodename() == QLatin1String("TR") && !e.holdsTable() && !lookup::isHeaderRow(e);
    });
    fuzz::require(records.size() + sink.lines <= rows, "a row gives one record or one message");
    for (const auto& r : records)
        fuzz::require(r->Query == query, "a record keeps the query it was read for");
    return 0;
}
