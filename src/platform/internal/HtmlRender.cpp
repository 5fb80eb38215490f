#include "platform/internal/HtmlRender.h"

#include "platform/HtmlDocument.h"
#include "platform/internal/HtmlTags.h"

#include <QVarLengthArray>
#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

namespace platform {

// Visits an element's content in document order without recursion: text
// nodes with the element that holds them, and elements on entry (enter()
// returns whether to go inside) and on leaving.
struct HtmlWalk
{
    template <class Visitor> static void run(const HtmlElement& root, Visitor& visitor)
    {
        const HtmlDocument& doc = *root.m_document;
        const HtmlElement* next = &root + 1;
        const HtmlElement* const end = next + root.m_size;
        std::uint32_t text = root.m_textBegin;
        const std::uint32_t textEnd = root.m_textEnd;
        QVarLengthArray<const HtmlElement*, 32> open;
        while (next < end || text < textEnd) {
            const bool textFirst = text < textEnd && (next == end || text < next->m_textBegin);
            while (!open.isEmpty()) {
                const HtmlElement* o = open.back();
                const bool inside = textFirst ? text < o->m_textEnd : next < o + 1 + o->m_size;
                if (inside)
                    break;
                visitor.leave(*o);
                open.pop_back();
            }
            if (textFirst) {
                const HtmlDocument::Text& t = doc.m_texts[text++];
                visitor.text(std::string_view(doc.m_chars.data() + t.offset, t.length), t.comment,
                             open.isEmpty() ? root : *open.back());
                continue;
            }
            const HtmlElement& e = *next;
            if (visitor.enter(e)) {
                open.push_back(&e);
                ++next;
            } else {
                next = &e + 1 + e.m_size;
                text = e.m_textEnd;
            }
        }
        while (!open.isEmpty()) {
            visitor.leave(*open.back());
            open.pop_back();
        }
    }

    static std::string_view chars(const HtmlDocument& doc, std::uint32_t offset,
                                  std::uint32_t length)
    {
        return {doc.m_chars.data() + offset, length};
    }
    static std::span<const HtmlDocument::Attribute> attributes(const HtmlElement& e)
    {
        return {e.m_document->m_attributes.data() + e.m_attrBegin, e.m_attrCount};
    }
    static std::uint32_t flags(const HtmlElement& e) { return e.m_flags; }
    static const HtmlDocument& document(const HtmlElement& e) { return *e.m_document; }

    // The element's one text when it holds nothing else.
    static bool onlyText(const HtmlElement& e, std::string_view& text)
    {
        if (e.m_size != 0 || e.m_textEnd != e.m_textBegin + 1)
            return false;
        const HtmlDocument::Text& t = e.m_document->m_texts[e.m_textBegin];
        if (t.comment)
            return false;
        text = chars(*e.m_document, t.offset, t.length);
        return true;
    }
};

namespace internal {

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// Collects rendered text as UTF-8: collapsible white space becomes at most
// one blank between words, block edges become line ends that never lead or
// trail.
class TextCollector
{
public:
    explicit TextCollector(bool preformatted) { m_pre.push_back(preformatted); }

    bool enter(const HtmlElement& e)
    {
        const std::uint32_t f = HtmlWalk::flags(e);
        if (f & Skipped)
            return false;
        if (f & LineBreak) {
            forced('\n');
            return false;
        }
        if (f & Block)
            blockEdge();
        m_pre.push_back(m_pre.back() || (f & Preformatted));
        return true;
    }
    void leave(const HtmlElement& e)
    {
        m_pre.pop_back();
        const std::uint32_t f = HtmlWalk::flags(e);
        if (f & Block)
            blockEdge();
        if (f & FollowedByCell)
            forced('\t');
    }
    void text(std::string_view run, bool comment, const HtmlElement&)
    {
        if (comment)
            return;
        const bool pre = m_pre.back();
        const char* p = run.data();
        const char* const end = p + run.size();
        while (p < end) {
            if (pre ? *p == '\r' : isSpace(*p)) {
                m_space = m_space || !pre;
                ++p;
                continue;
            }
            const char* word = p;
            while (p < end && !(pre ? *p == '\r' : isSpace(*p)))
                ++p;
            if (m_breaks > 0)
                flushBreaks();
            else if (m_space && !out.empty() && out.back() != '\n' && out.back() != '\t')
                out += ' ';
            m_space = false;
            out.append(word, std::size_t(p - word));
        }
    }

    std::string out;

private:
    void forced(char c)
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
    void flushBreaks()
    {
        if (m_breaks > 0 && !out.empty() && out.back() != '\n')
            out += '\n';
        m_breaks = 0;
    }
    bool m_space = false;
    int m_breaks = 0;
    QVarLengthArray<bool, 32> m_pre;
};

// Where markup goes: into a string, or past a search.
struct StringSink
{
    std::string out;
    void put(char c) { out += c; }
    void put(std::string_view s) { out += s; }
};

// Looks for one text in the markup as it streams by, across the pieces it
// comes in (a classic prefix-function search, one byte at a time).
class SearchSink
{
public:
    explicit SearchSink(std::string_view needle) : m_needle(needle)
    {
        m_fallback.resize(qsizetype(needle.size()));
        std::size_t k = 0;
        m_fallback[0] = 0;
        for (std::size_t i = 1; i < needle.size(); ++i) {
            while (k > 0 && needle[i] != needle[k])
                k = m_fallback[qsizetype(k - 1)];
            if (needle[i] == needle[k])
                ++k;
            m_fallback[qsizetype(i)] = k;
        }
    }

    bool found = false;

    void put(char c)
    {
        if (!found && (m_matched > 0 || c == m_needle[0]))
            step(c);
    }
    void put(std::string_view s)
    {
        const char* p = s.data();
        const char* const end = p + s.size();
        while (p < end && !found) {
            // Outside a partial match, skip to where one can begin.
            if (m_matched == 0) {
                p = static_cast<const char*>(std::memchr(p, m_needle[0], std::size_t(end - p)));
                if (!p)
                    return;
            }
            step(*p++);
        }
    }

private:
    void step(char c)
    {
        while (m_matched > 0 && c != m_needle[m_matched])
            m_matched = m_fallback[qsizetype(m_matched - 1)];
        if (c == m_needle[m_matched])
            ++m_matched;
        if (m_matched == m_needle.size())
            found = true;
    }

    std::string_view m_needle;
    QVarLengthArray<std::size_t, 16> m_fallback;
    std::size_t m_matched = 0;
};

template <class Sink> void putEscaped(std::string_view text, Sink& out, bool attribute)
{
    std::size_t plain = 0; // start of the run not yet written
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const char* entity = nullptr;
        std::size_t length = 1;
        switch (c) {
        case '&':
            entity = "&amp;";
            break;
        case '<':
            entity = attribute ? nullptr : "&lt;";
            break;
        case '>':
            entity = attribute ? nullptr : "&gt;";
            break;
        case '"':
            entity = attribute ? "&quot;" : nullptr;
            break;
        case '\xC2':
            if (i + 1 < text.size() && text[i + 1] == '\xA0') {
                entity = "&nbsp;";
                length = 2;
            }
            break;
        default:
            break;
        }
        if (!entity)
            continue;
        out.put(text.substr(plain, i - plain));
        out.put(std::string_view(entity));
        i += length - 1;
        plain = i + 1;
    }
    out.put(text.substr(plain));
}

// A tag name as UTF-8; known names are ASCII and need no conversion.
template <class Sink> void putName(const QString& name, Sink& out)
{
    const QChar* const begin = name.constData();
    const QChar* const end = begin + name.size();
    if (std::all_of(begin, end, [](QChar c) { return c.unicode() < 0x80; })) {
        for (const QChar* c = begin; c != end; ++c)
            out.put(char(c->unicode()));
        return;
    }
    const QByteArray utf8 = name.toUtf8();
    out.put(std::string_view(utf8.constData(), std::size_t(utf8.size())));
}

template <class Sink> class MarkupWriter
{
public:
    MarkupWriter(const HtmlDocument& doc, Sink& out) : m_doc(doc), m_out(out) {}

    bool enter(const HtmlElement& e)
    {
        m_out.put('<');
        putName(e.nodename(), m_out);
        for (const auto& a : HtmlWalk::attributes(e)) {
            m_out.put(' ');
            m_out.put(HtmlWalk::chars(m_doc, a.name, a.nameLength));
            m_out.put(std::string_view("=\""));
            putEscaped(HtmlWalk::chars(m_doc, a.value, a.valueLength), m_out, true);
            m_out.put('"');
        }
        m_out.put('>');
        return !(HtmlWalk::flags(e) & Void);
    }
    void leave(const HtmlElement& e)
    {
        m_out.put(std::string_view("</"));
        putName(e.nodename(), m_out);
        m_out.put('>');
    }
    void text(std::string_view run, bool comment, const HtmlElement& parent)
    {
        if (comment) {
            m_out.put(std::string_view("<!--"));
            m_out.put(run);
            m_out.put(std::string_view("-->"));
        } else if (HtmlWalk::flags(parent) & RawText) {
            m_out.put(run);
        } else {
            putEscaped(run, m_out, false);
        }
    }

private:
    const HtmlDocument& m_doc;
    Sink& m_out;
};

QString fromUtf8(const std::string& text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace

QString renderText(const HtmlElement& e)
{
    const std::uint32_t flags = HtmlWalk::flags(e);
    // A result cell: one text, nothing to collapse, taken as it stands.
    std::string_view text;
    if (!(flags & Preformatted) && HtmlWalk::onlyText(e, text) && !text.empty() &&
        !isSpace(text.front()) && !isSpace(text.back())) {
        bool plain = true;
        for (std::size_t i = 1; plain && i < text.size(); ++i)
            plain = !isSpace(text[i]) || (text[i] == ' ' && !isSpace(text[i - 1]));
        if (plain)
            return QString::fromUtf8(text.data(), qsizetype(text.size()));
    }
    TextCollector collector(flags & Preformatted);
    HtmlWalk::run(e, collector);
    return fromUtf8(collector.out);
}

QString renderMarkup(const HtmlElement& e)
{
    StringSink sink;
    MarkupWriter writer(HtmlWalk::document(e), sink);
    HtmlWalk::run(e, writer);
    return fromUtf8(sink.out);
}

bool markupHolds(const HtmlElement& e, QUtf8StringView text)
{
    if (text.isEmpty())
        return true;
    SearchSink sink(
        std::string_view(reinterpret_cast<const char*>(text.data()), std::size_t(text.size())));
    MarkupWriter writer(HtmlWalk::document(e), sink);
    HtmlWalk::run(e, writer);
    return sink.found;
}

} // namespace internal
} // namespace platform
