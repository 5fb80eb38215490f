// Arbitrary bytes as a loaded result page: decoding, the document tree, the
// count sentence and the records. Besides running clean under the
// sanitizers, the answers the tree keeps from parsing must agree with the
// markup they stand for.
#include "Fuzz.h"
#include "lookup/ResultPage.h"
#include "platform/HtmlDocument.h"
#include "platform/MessageSink.h"

#include <algorithm>

using platform::HtmlElement;

namespace {

class CountingSink : public platform::MessageSink
{
public:
    qsizetype lines = 0;
    void AddMelding(const QString&, int, bool, quint32) override { ++lines; }
};

bool holdsTableByScan(const HtmlElement& e)
{
    const auto all = e.All();
    return std::any_of(all.begin(), all.end(),
                       [](const HtmlElement& d) { return d.nodename() == QLatin1String("TABLE"); });
}

void checkTree(const HtmlElement& root)
{
    const auto all = root.All();
    for (const HtmlElement& e : all) {
        const HtmlElement* parent = e.parentElement();
        fuzz::require(parent != nullptr, "every element below the root has a parent");
        const auto siblings = parent->All();
        fuzz::require(&e >= siblings.data() && &e < siblings.data() + siblings.size(),
                      "an element lies among its parent's descendants");
        fuzz::require(e.holdsTable() == holdsTableByScan(e), "holdsTable agrees with All()",
                      e.nodename());
        const QString inner = e.InnerHTML();
        fuzz::require(e.InnerHTMLHoldsTH() == inner.contains(QLatin1String("<TH>")),
                      "InnerHTMLHoldsTH agrees with InnerHTML()", inner);
        e.Innertext();
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
        return e.nodename() == QLatin1String("TR") && !e.InnerHTMLHoldsTH() && !e.holdsTable();
    });
    fuzz::require(records.size() + sink.lines <= rows, "a row gives one record or one message");
    for (const auto& r : records)
        fuzz::require(r->Query == query, "a record keeps the query it was read for");
    return 0;
}
