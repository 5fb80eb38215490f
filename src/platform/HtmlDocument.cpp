#include "platform/HtmlDocument.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <algorithm>
#include <gumbo.h>

namespace platform {

namespace {

enum Flag : unsigned
{
    Skipped = 1u << 0,   // not rendered: head, script, style...
    Block = 1u << 1,     // starts and ends a line
    Cell = 1u << 2,      // a cell followed by another cell: a tab after it
    LineBreak = 1u << 3, // <br>
    Preformatted = 1u << 4,
    Void = 1u << 5,    // no content, no end tag
    RawText = 1u << 6, // content serialised unescaped
};

unsigned flagsOf(GumboTag tag)
{
    switch (tag) {
    case GUMBO_TAG_HEAD:
    case GUMBO_TAG_TITLE:
    case GUMBO_TAG_TEMPLATE:
        return Skipped;
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_STYLE:
    case GUMBO_TAG_NOSCRIPT:
        return Skipped | RawText;
    case GUMBO_TAG_XMP:
    case GUMBO_TAG_IFRAME:
    case GUMBO_TAG_NOEMBED:
    case GUMBO_TAG_NOFRAMES:
        return RawText;
    case GUMBO_TAG_PLAINTEXT:
        return RawText | Block | Preformatted;
    case GUMBO_TAG_PRE:
    case GUMBO_TAG_LISTING:
        return Block | Preformatted;
    case GUMBO_TAG_TEXTAREA:
        return Preformatted;
    case GUMBO_TAG_BR:
        return LineBreak | Void;
    case GUMBO_TAG_HR:
        return Block | Void;
    case GUMBO_TAG_AREA:
    case GUMBO_TAG_BASE:
    case GUMBO_TAG_BASEFONT:
    case GUMBO_TAG_BGSOUND:
    case GUMBO_TAG_COL:
    case GUMBO_TAG_EMBED:
    case GUMBO_TAG_FRAME:
    case GUMBO_TAG_IMG:
    case GUMBO_TAG_INPUT:
    case GUMBO_TAG_KEYGEN:
    case GUMBO_TAG_LINK:
    case GUMBO_TAG_META:
    case GUMBO_TAG_PARAM:
    case GUMBO_TAG_SOURCE:
    case GUMBO_TAG_TRACK:
    case GUMBO_TAG_WBR:
        return Void;
    case GUMBO_TAG_HTML:
    case GUMBO_TAG_BODY:
    case GUMBO_TAG_ADDRESS:
    case GUMBO_TAG_ARTICLE:
    case GUMBO_TAG_ASIDE:
    case GUMBO_TAG_BLOCKQUOTE:
    case GUMBO_TAG_CAPTION:
    case GUMBO_TAG_CENTER:
    case GUMBO_TAG_DD:
    case GUMBO_TAG_DETAILS:
    case GUMBO_TAG_DIR:
    case GUMBO_TAG_DIV:
    case GUMBO_TAG_DL:
    case GUMBO_TAG_DT:
    case GUMBO_TAG_FIELDSET:
    case GUMBO_TAG_FIGCAPTION:
    case GUMBO_TAG_FIGURE:
    case GUMBO_TAG_FOOTER:
    case GUMBO_TAG_FORM:
    case GUMBO_TAG_H1:
    case GUMBO_TAG_H2:
    case GUMBO_TAG_H3:
    case GUMBO_TAG_H4:
    case GUMBO_TAG_H5:
    case GUMBO_TAG_H6:
    case GUMBO_TAG_HEADER:
    case GUMBO_TAG_HGROUP:
    case GUMBO_TAG_LEGEND:
    case GUMBO_TAG_LI:
    case GUMBO_TAG_MAIN:
    case GUMBO_TAG_MENU:
    case GUMBO_TAG_NAV:
    case GUMBO_TAG_OL:
    case GUMBO_TAG_P:
    case GUMBO_TAG_SECTION:
    case GUMBO_TAG_SUMMARY:
    case GUMBO_TAG_TABLE:
    case GUMBO_TAG_TR:
    case GUMBO_TAG_UL:
        return Block;
    default:
        return 0;
    }
}

QString tagName(const GumboElement& e)
{
    if (e.tag != GUMBO_TAG_UNKNOWN)
        return QString::fromLatin1(gumbo_normalized_tagname(e.tag)).toUpper();
    GumboStringPiece piece = e.original_tag;
    gumbo_tag_from_original_text(&piece);
    return QString::fromUtf8(piece.data, qsizetype(piece.length)).toUpper();
}

bool isCellTag(GumboTag tag)
{
    return tag == GUMBO_TAG_TD || tag == GUMBO_TAG_TH;
}

// Collects rendered text: collapsible white space becomes at most one blank
// between words, block edges become line ends that never lead or trail.
class TextCollector
{
public:
    QString out;

    void text(QStringView run, bool preformatted)
    {
        for (const QChar c : run) {
            if (!preformatted &&
                (c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f')) {
                m_space = true;
                continue;
            }
            if (preformatted && c == u'\r')
                continue;
            if (m_breaks > 0)
                flushBreaks();
            else if (m_space && !out.isEmpty() && !out.endsWith(u'\n') && !out.endsWith(u'\t'))
                out += u' ';
            m_space = false;
            out += c;
        }
    }
    void forced(QChar c)
    {
        flushBreaks();
        m_space = false;
        out += c;
    }
    void blockEdge()
    {
        m_breaks = 1;
        m_space = false;
    }

private:
    void flushBreaks()
    {
        if (m_breaks > 0 && !out.isEmpty() && !out.endsWith(u'\n'))
            out += u'\n';
        m_breaks = 0;
    }
    bool m_space = false;
    int m_breaks = 0;
};

void appendEscaped(QStringView text, QString& out, bool attribute)
{
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'&':
            out += QLatin1String("&amp;");
            break;
        case 0xA0:
            out += QLatin1String("&nbsp;");
            break;
        case u'<':
            out += attribute ? QLatin1String("<") : QLatin1String("&lt;");
            break;
        case u'>':
            out += attribute ? QLatin1String(">") : QLatin1String("&gt;");
            break;
        case u'"':
            out += attribute ? QLatin1String("&quot;") : QLatin1String("\"");
            break;
        default:
            out += c;
        }
    }
}

} // namespace

// Copies gumbo's tree into ours, numbering elements in document order.
struct HtmlBuilder
{
    HtmlDocument& doc;

    HtmlElement* element(const GumboNode* node, const HtmlElement* parent)
    {
        const GumboElement& g = node->v.element;
        HtmlElement& e = doc.m_storage.emplace_back();
        e.m_document = &doc;
        e.m_parent = parent;
        e.m_name = tagName(g);
        e.m_flags = flagsOf(g.tag);
        e.m_attributes.reserve(g.attributes.length);
        for (unsigned i = 0; i < g.attributes.length; ++i) {
            const auto* a = static_cast<const GumboAttribute*>(g.attributes.data[i]);
            e.m_attributes.emplace_back(QString::fromUtf8(a->name), QString::fromUtf8(a->value));
        }
        doc.m_order.push_back(&e);
        e.m_first = doc.m_order.size();
        if (g.tag == GUMBO_TAG_BODY && !doc.m_body)
            doc.m_body = &e;

        e.m_children.reserve(g.children.length);
        HtmlElement* lastCell = nullptr;
        for (unsigned i = 0; i < g.children.length; ++i) {
            const auto* child = static_cast<const GumboNode*>(g.children.data[i]);
            HtmlElement::Child c;
            switch (child->type) {
            case GUMBO_NODE_ELEMENT:
            case GUMBO_NODE_TEMPLATE: {
                HtmlElement* ce = element(child, &e);
                if (isCellTag(child->v.element.tag)) {
                    // Only a cell with a later sibling cell is followed by a tab.
                    if (lastCell)
                        lastCell->m_flags |= Cell;
                    lastCell = ce;
                }
                c.element = ce;
                break;
            }
            case GUMBO_NODE_COMMENT:
                c.comment = true;
                c.text = QString::fromUtf8(child->v.text.text);
                break;
            case GUMBO_NODE_TEXT:
            case GUMBO_NODE_CDATA:
            case GUMBO_NODE_WHITESPACE:
                c.text = QString::fromUtf8(child->v.text.text);
                break;
            default:
                continue;
            }
            e.m_children.push_back(std::move(c));
        }
        e.m_end = doc.m_order.size();
        return &e;
    }
};

std::span<const HtmlElement* const> HtmlElement::All() const
{
    return std::span<const HtmlElement* const>(m_document->m_order.data() + m_first,
                                               m_end - m_first);
}

QString HtmlElement::attribute(const QString& name) const
{
    for (const auto& [key, value] : m_attributes)
        if (key == name)
            return value;
    return {};
}

QString HtmlElement::Innertext() const
{
    TextCollector collector;
    struct Walk
    {
        static void run(const HtmlElement& e, TextCollector& into, bool pre)
        {
            for (const Child& child : e.m_children) {
                if (!child.element) {
                    if (!child.comment)
                        into.text(child.text, pre);
                    continue;
                }
                const HtmlElement& c = *child.element;
                if (c.m_flags & Skipped)
                    continue;
                if (c.m_flags & LineBreak) {
                    into.forced(u'\n');
                    continue;
                }
                if (c.m_flags & Block)
                    into.blockEdge();
                run(c, into, pre || (c.m_flags & Preformatted));
                if (c.m_flags & Block)
                    into.blockEdge();
                if (c.m_flags & Cell)
                    into.forced(u'\t');
            }
        }
    };
    Walk::run(*this, collector, m_flags & Preformatted);
    return collector.out;
}

QString HtmlElement::InnerHTML() const
{
    QString out;
    struct Walk
    {
        static void run(const HtmlElement& e, QString& out)
        {
            for (const Child& child : e.m_children) {
                if (!child.element) {
                    if (child.comment)
                        out += QLatin1String("<!--") + child.text + QLatin1String("-->");
                    else if (e.m_flags & RawText)
                        out += child.text;
                    else
                        appendEscaped(child.text, out, false);
                    continue;
                }
                const HtmlElement& c = *child.element;
                out += u'<';
                out += c.m_name;
                for (const auto& [name, value] : c.m_attributes) {
                    out += u' ';
                    out += name;
                    out += QLatin1String("=\"");
                    appendEscaped(value, out, true);
                    out += u'"';
                }
                out += u'>';
                if (c.m_flags & Void)
                    continue;
                run(c, out);
                out += QLatin1String("</");
                out += c.m_name;
                out += u'>';
            }
        }
    };
    Walk::run(*this, out);
    return out;
}

std::shared_ptr<const HtmlDocument> HtmlDocument::parse(const QString& html)
{
    auto doc = std::make_shared<HtmlDocument>();
    const QByteArray utf8 = html.toUtf8();
    GumboOutput* output =
        gumbo_parse_with_options(&kGumboDefaultOptions, utf8.constData(), size_t(utf8.size()));
    if (output && output->root && output->root->type == GUMBO_NODE_ELEMENT) {
        HtmlBuilder builder{*doc};
        doc->m_root = builder.element(output->root, nullptr);
    }
    if (output)
        gumbo_destroy_output(&kGumboDefaultOptions, output);
    return doc;
}

std::shared_ptr<const HtmlDocument> HtmlDocument::fromBytes(const QByteArray& bytes,
                                                            const QByteArray& contentType)
{
    return parse(decodeHtml(bytes, contentType));
}

namespace {

QString decodeWindows1252(QByteArrayView bytes)
{
    static constexpr char16_t high[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    QString out(bytes.size(), Qt::Uninitialized);
    QChar* p = out.data();
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        *p++ = (b >= 0x80 && b < 0xA0) ? QChar(high[b - 0x80]) : QChar(b);
    }
    return out;
}

QByteArray charsetParameter(const QByteArray& contentType)
{
    static const QRegularExpression re(
        QStringLiteral(R"(charset\s*=\s*["']?\s*([A-Za-z0-9_.:\-]+))"),
        QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(QString::fromLatin1(contentType));
    return m.hasMatch() ? m.captured(1).toLatin1().toLower() : QByteArray();
}

QByteArray metaCharset(const QByteArray& bytes)
{
    static const QRegularExpression re(
        QStringLiteral(R"(<meta[^>]*?charset\s*=\s*["']?\s*([A-Za-z0-9_.:\-]+))"),
        QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(QString::fromLatin1(bytes.left(1024)));
    return m.hasMatch() ? m.captured(1).toLatin1().toLower() : QByteArray();
}

QString decodeAs(const QByteArray& label, const QByteArray& bytes)
{
    if (label == "utf-8" || label == "utf8" || label == "unicode-1-1-utf-8")
        return QString::fromUtf8(bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes);
    static const QList<QByteArray> western = {
        "iso-8859-1", "iso8859-1", "iso_8859-1", "latin1", "l1",         "windows-1252",
        "cp1252",     "x-cp1252",  "us-ascii",   "ascii",  "iso-ir-100", "cp819"};
    if (label.isEmpty() || western.contains(label))
        return decodeWindows1252(bytes);
    QStringDecoder decoder(label.constData(), QStringDecoder::Flag::Stateless);
    if (!decoder.isValid())
        return decodeWindows1252(bytes);
    return decoder.decode(bytes);
}

} // namespace

QString decodeHtml(const QByteArray& bytes, const QByteArray& contentType)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return decodeAs("utf-8", bytes);
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder decoder(QStringConverter::Utf16);
        return decoder.decode(bytes);
    }
    QByteArray label = charsetParameter(contentType);
    if (label.isEmpty())
        label = metaCharset(bytes);
    return decodeAs(label, bytes);
}

} // namespace platform
