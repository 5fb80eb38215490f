#include "platform/HtmlDocument.h"

#include "platform/Stop.h"
#include "platform/internal/HtmlNesting.h"

#include <QHash>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QVarLengthArray>
#include <array>
#include <climits>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <gumbo.h>

namespace platform {

namespace {

enum Flag : std::uint32_t
{
    Skipped = 1u << 0,   // not rendered: head, script, style...
    Block = 1u << 1,     // starts and ends a line
    Cell = 1u << 2,      // a cell followed by another cell: a tab after it
    LineBreak = 1u << 3, // <br>
    Preformatted = 1u << 4,
    Void = 1u << 5,    // no content, no end tag
    RawText = 1u << 6, // content serialised unescaped
    TableTag = 1u << 7,
};

std::uint32_t flagsOf(GumboTag tag)
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
    case GUMBO_TAG_TABLE:
        return Block | TableTag;
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
    case GUMBO_TAG_TR:
    case GUMBO_TAG_UL:
        return Block;
    default:
        return 0;
    }
}

bool isCellTag(GumboTag tag)
{
    return tag == GUMBO_TAG_TD || tag == GUMBO_TAG_TH;
}

bool holdsTH(const char* data, std::size_t length)
{
    return length >= 4 && memmem(data, length, "<TH>", 4) != nullptr;
}

// Upper-case names of the known tags, made once and shared by every document.
const QString& knownName(GumboTag tag)
{
    static const auto names = [] {
        std::array<QString, GUMBO_TAG_LAST + 1> all;
        for (int t = 0; t < GUMBO_TAG_LAST; ++t)
            all[t] = QString::fromLatin1(gumbo_normalized_tagname(GumboTag(t))).toUpper();
        return all;
    }();
    return names[tag];
}

// gumbo's memory for one parse. Small blocks are cut from large chunks and
// never freed one by one: the whole arena goes at once after the tree is
// copied, so no walk over gumbo's tree (whose destroy function recurses) is
// needed. Blocks over kLarge bytes (growing text buffers) come from malloc and
// go back when gumbo frees them. Small blocks are 16-byte aligned and large
// ones 8 past that, which tells them apart on free.
//
// A page whose tree outgrows its budget ends the parse: markup that reopens
// a formatting element copies its attributes each time, so a small page can
// otherwise ask for gigabytes.
class GumboArena
{
public:
    GumboArena(std::size_t budget, const StopRequest* stop) : m_budget(budget), m_stop(stop) {}
    GumboArena(const GumboArena&) = delete;
    GumboArena& operator=(const GumboArena&) = delete;
    ~GumboArena()
    {
        for (Large* b = m_large.next; b != &m_large;) {
            Large* next = b->next;
            std::free(b);
            b = next;
        }
        auto& cache = spareChunks();
        for (char* chunk : m_chunks) {
            if (cache.size() < kSpareChunks)
                cache.push_back(chunk);
            else
                std::free(chunk);
        }
    }

    std::jmp_buf overBudget;

    static void* allocate(void* self, std::size_t size)
    {
        return static_cast<GumboArena*>(self)->take(size);
    }
    static void deallocate(void* self, void* block)
    {
        if (block && (reinterpret_cast<std::uintptr_t>(block) & 15) == 8) {
            Large* b = reinterpret_cast<Large*>(static_cast<char*>(block) - sizeof(Large));
            auto* arena = static_cast<GumboArena*>(self);
            arena->m_used -= b->size;
            b->prev->next = b->next;
            b->next->prev = b->prev;
            std::free(b);
        }
    }

private:
    static constexpr std::size_t kChunk = 256 * 1024;
    static constexpr std::size_t kLarge = 4096;
    static constexpr std::size_t kSpareChunks = 16;
    struct Large
    {
        Large* prev;
        Large* next;
        std::size_t size;
    };
    static_assert(sizeof(Large) == 24, "large blocks must start 8 past a 16-byte boundary");

    // Chunks of earlier parses on this thread, so a harvest reuses warm memory.
    static std::vector<char*>& spareChunks()
    {
        static thread_local struct Spare
        {
            std::vector<char*> chunks;
            ~Spare()
            {
                for (char* c : chunks)
                    std::free(c);
            }
        } spare;
        return spare.chunks;
    }

    void* take(std::size_t size)
    {
        size = (size + 15) & ~std::size_t(15);
        if (size == 0)
            size = 16;
        m_used += size;
        // A stop asked for during a long parse ends it here: the parser
        // allocates for every token, so the stop is seen at once.
        if (m_used > m_budget || (m_stop && m_stop->requested()))
            std::longjmp(overBudget, 1);
        if (size > kLarge) {
            auto* b = static_cast<Large*>(std::malloc(sizeof(Large) + size));
            if (!b)
                std::longjmp(overBudget, 1);
            b->size = size;
            b->prev = &m_large;
            b->next = m_large.next;
            m_large.next->prev = b;
            m_large.next = b;
            return b + 1;
        }
        if (std::size_t(m_end - m_next) < size) {
            auto& cache = spareChunks();
            char* chunk = nullptr;
            if (!cache.empty()) {
                chunk = cache.back();
                cache.pop_back();
            } else {
                chunk = static_cast<char*>(std::malloc(kChunk));
                if (!chunk)
                    std::longjmp(overBudget, 1);
            }
            m_chunks.push_back(chunk);
            m_next = chunk;
            m_end = chunk + kChunk;
        }
        void* block = m_next;
        m_next += size;
        return block;
    }

    std::size_t m_budget;
    const StopRequest* m_stop;
    std::size_t m_used = 0;
    char* m_next = nullptr;
    char* m_end = nullptr;
    std::vector<char*> m_chunks;
    Large m_large{&m_large, &m_large, 0};
};

// Kept apart from the caller: a budget overrun jumps back here, and no frame
// with destructors may lie between the jump and its target.
GumboOutput* runGumbo(const GumboOptions* options, const char* data, std::size_t size,
                      GumboArena* arena)
{
    if (setjmp(arena->overBudget) != 0)
        return nullptr;
    return gumbo_parse_with_options(options, data, size);
}

} // namespace

// Copies gumbo's tree into ours in document order, without recursion.
struct HtmlBuilder
{
    HtmlDocument& doc;
    QHash<QByteArray, const QString*> otherNames;

    static constexpr std::uint32_t None = UINT32_MAX;

    std::uint32_t chars(const char* data, std::size_t length)
    {
        const auto offset = std::uint32_t(doc.m_chars.size());
        doc.m_chars.append(data, length);
        return offset;
    }

    const QString* name(const GumboElement& g)
    {
        if (g.tag != GUMBO_TAG_UNKNOWN)
            return &knownName(g.tag);
        GumboStringPiece piece = g.original_tag;
        gumbo_tag_from_original_text(&piece);
        const QByteArray key(piece.data, qsizetype(piece.length));
        const QString*& interned = otherNames[key];
        if (!interned)
            interned = &doc.m_otherNames.emplace_back(QString::fromUtf8(key).toUpper());
        return interned;
    }

    std::uint32_t open(const GumboElement& g, std::uint32_t parent)
    {
        const auto index = std::uint32_t(doc.m_elements.size());
        HtmlElement& e = doc.m_elements.emplace_back();
        e.m_name = name(g);
        e.m_document = &doc;
        e.m_parent = parent == None ? 0 : index - parent;
        e.m_textBegin = std::uint32_t(doc.m_texts.size());
        e.m_flags = flagsOf(g.tag);
        e.m_attrBegin = std::uint32_t(doc.m_attributes.size());
        e.m_attrCount = g.attributes.length;
        for (unsigned i = 0; i < g.attributes.length; ++i) {
            const auto* a = static_cast<const GumboAttribute*>(g.attributes.data[i]);
            const std::size_t nameLength = std::strlen(a->name);
            const std::size_t valueLength = std::strlen(a->value);
            HtmlDocument::Attribute& attribute = doc.m_attributes.emplace_back();
            attribute.name = chars(a->name, nameLength);
            attribute.nameLength = std::uint32_t(nameLength);
            attribute.value = chars(a->value, valueLength);
            attribute.valueLength = std::uint32_t(valueLength);
            if (holdsTH(a->value, valueLength))
                e.m_flags |= HtmlElement::SelfTH;
        }
        if (g.tag == GUMBO_TAG_TH && g.attributes.length == 0)
            e.m_flags |= HtmlElement::SelfTH;
        if (g.tag == GUMBO_TAG_UNKNOWN) {
            // gumbo takes an unknown tag's name from its markup, which can
            // read "TABLE" or "TH" after all, or hold a "<" ("<x<th>": its
            // end tag reads "</X<TH>").
            if (*e.m_name == QLatin1String("TABLE"))
                e.m_flags |= TableTag;
            if ((*e.m_name == QLatin1String("TH") && g.attributes.length == 0) ||
                e.m_name->endsWith(QLatin1String("<TH")))
                e.m_flags |= HtmlElement::SelfTH;
        }
        return index;
    }

    void close(std::uint32_t index)
    {
        HtmlElement& e = doc.m_elements[index];
        e.m_size = std::uint32_t(doc.m_elements.size()) - index - 1;
        e.m_textEnd = std::uint32_t(doc.m_texts.size());
        if (e.m_parent == 0)
            return;
        HtmlElement& parent = doc.m_elements[index - e.m_parent];
        // A void element's children (foreign content can give it some) are
        // not serialised.
        const std::uint32_t th =
            (e.m_flags & Void) ? HtmlElement::SelfTH : HtmlElement::SelfTH | HtmlElement::InnerTH;
        if (e.m_flags & th)
            parent.m_flags |= HtmlElement::InnerTH;
        if (e.m_flags & (std::uint32_t(TableTag) | HtmlElement::HoldsTable))
            parent.m_flags |= HtmlElement::HoldsTable;
    }

    void text(const char* data, bool comment, std::uint32_t parent)
    {
        const std::size_t length = std::strlen(data);
        HtmlDocument::Text& t = doc.m_texts.emplace_back();
        t.offset = chars(data, length);
        t.length = std::uint32_t(length);
        t.comment = comment;
        HtmlElement& p = doc.m_elements[parent];
        if ((comment || (p.m_flags & RawText)) && holdsTH(data, length))
            p.m_flags |= HtmlElement::InnerTH;
    }

    void build(const GumboNode* root)
    {
        struct Frame
        {
            const GumboVector* children;
            unsigned next;
            std::uint32_t element;
            std::uint32_t lastCell;
        };
        std::vector<Frame> stack;
        std::uint32_t body = None;
        stack.push_back({&root->v.element.children, 0, open(root->v.element, None), None});
        while (!stack.empty()) {
            Frame& f = stack.back();
            if (f.next == f.children->length) {
                close(f.element);
                stack.pop_back();
                continue;
            }
            const auto* child = static_cast<const GumboNode*>(f.children->data[f.next++]);
            switch (child->type) {
            case GUMBO_NODE_ELEMENT:
            case GUMBO_NODE_TEMPLATE: {
                const GumboElement& g = child->v.element;
                const std::uint32_t index = open(g, f.element);
                if (isCellTag(g.tag)) {
                    // Only a cell with a later sibling cell is followed by a tab.
                    if (f.lastCell != None)
                        doc.m_elements[f.lastCell].m_flags |= Cell;
                    f.lastCell = index;
                }
                if (g.tag == GUMBO_TAG_BODY && body == None)
                    body = index;
                stack.push_back({&g.children, 0, index, None});
                break;
            }
            case GUMBO_NODE_COMMENT:
                text(child->v.text.text, true, f.element);
                break;
            case GUMBO_NODE_TEXT:
            case GUMBO_NODE_CDATA:
            case GUMBO_NODE_WHITESPACE:
                text(child->v.text.text, false, f.element);
                break;
            default:
                break;
            }
        }
        if (body != None)
            doc.m_body = &doc.m_elements[body];
    }
};

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
};

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
        if (f & Cell)
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

void appendEscaped(std::string_view text, std::string& out, bool attribute)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += attribute ? "<" : "&lt;";
            break;
        case '>':
            out += attribute ? ">" : "&gt;";
            break;
        case '"':
            out += attribute ? "&quot;" : "\"";
            break;
        case '\xC2':
            if (i + 1 < text.size() && text[i + 1] == '\xA0') {
                out += "&nbsp;";
                ++i;
                break;
            }
            out += c;
            break;
        default:
            out += c;
        }
    }
}

class MarkupWriter
{
public:
    explicit MarkupWriter(const HtmlDocument& doc) : m_doc(doc) {}

    bool enter(const HtmlElement& e)
    {
        const QByteArray name = e.nodename().toUtf8();
        out += '<';
        out.append(name.constData(), std::size_t(name.size()));
        for (const auto& a : HtmlWalk::attributes(e)) {
            out += ' ';
            out += HtmlWalk::chars(m_doc, a.name, a.nameLength);
            out += "=\"";
            appendEscaped(HtmlWalk::chars(m_doc, a.value, a.valueLength), out, true);
            out += '"';
        }
        out += '>';
        return !(HtmlWalk::flags(e) & Void);
    }
    void leave(const HtmlElement& e)
    {
        const QByteArray name = e.nodename().toUtf8();
        out += "</";
        out.append(name.constData(), std::size_t(name.size()));
        out += '>';
    }
    void text(std::string_view run, bool comment, const HtmlElement& parent)
    {
        if (comment) {
            out += "<!--";
            out += run;
            out += "-->";
        } else if (HtmlWalk::flags(parent) & RawText) {
            out += run;
        } else {
            appendEscaped(run, out, false);
        }
    }

    std::string out;

private:
    const HtmlDocument& m_doc;
};

QString fromUtf8(const std::string& text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace

QString HtmlElement::Innertext() const
{
    // A result cell: one text, nothing to collapse, taken as it stands.
    if (m_size == 0 && m_textEnd == m_textBegin + 1 && !(m_flags & Preformatted)) {
        const HtmlDocument::Text& t = m_document->m_texts[m_textBegin];
        const char* text = m_document->m_chars.data() + t.offset;
        bool plain =
            !t.comment && t.length > 0 && !isSpace(text[0]) && !isSpace(text[t.length - 1]);
        for (std::uint32_t i = 1; plain && i < t.length; ++i)
            plain = !isSpace(text[i]) || (text[i] == ' ' && !isSpace(text[i - 1]));
        if (plain)
            return QString::fromUtf8(text, t.length);
    }
    TextCollector collector(m_flags & Preformatted);
    HtmlWalk::run(*this, collector);
    return fromUtf8(collector.out);
}

QString HtmlElement::InnerHTML() const
{
    MarkupWriter writer(*m_document);
    HtmlWalk::run(*this, writer);
    return fromUtf8(writer.out);
}

QString HtmlElement::attribute(const QString& name) const
{
    const QByteArray key = name.toUtf8();
    for (const auto& a : HtmlWalk::attributes(*this))
        if (HtmlWalk::chars(*m_document, a.name, a.nameLength) ==
            std::string_view(key.constData(), std::size_t(key.size())))
            return QString::fromUtf8(m_document->m_chars.data() + a.value, a.valueLength);
    return {};
}

std::shared_ptr<const HtmlDocument> HtmlDocument::parseUtf8(const char* data, std::size_t size,
                                                            const StopRequest* stop)
{
    // gumbo counts positions in 32 bits, and so do we.
    size = std::min<std::size_t>(size, UINT32_MAX);
    auto doc = std::make_shared<HtmlDocument>();
    if (internal::costsMore(std::string_view(data, size), internal::MaxNesting,
                            internal::MaxParseWork) != internal::Cost::Bounded) {
        doc->m_refused = true;
        return doc;
    }
    GumboArena arena(64 * 1024 * 1024 + 128 * size, stop);
    GumboOptions options = kGumboDefaultOptions;
    options.allocator = &GumboArena::allocate;
    options.deallocator = &GumboArena::deallocate;
    options.userdata = &arena;
    // Recording parse errors copies the open-element stack for each one.
    options.max_errors = 0;
    const GumboOutput* output = runGumbo(&options, data, size, &arena);
    doc->m_refused = !output;
    if (output && output->root && output->root->type == GUMBO_NODE_ELEMENT) {
        doc->m_elements.reserve(size / 64 + 16);
        doc->m_texts.reserve(size / 64 + 16);
        doc->m_chars.reserve(size / 2 + 64);
        HtmlBuilder builder{*doc, {}};
        builder.build(output->root);
    }
    return doc;
}

std::shared_ptr<const HtmlDocument> HtmlDocument::parse(const QString& html,
                                                        const StopRequest* stop)
{
    const QByteArray utf8 = html.toUtf8();
    return parseUtf8(utf8.constData(), std::size_t(utf8.size()), stop);
}

namespace {

constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t windows1252(unsigned char b)
{
    return (b >= 0x80 && b < 0xA0) ? kWindows1252High[b - 0x80] : char16_t(b);
}

QString decodeWindows1252(QByteArrayView bytes)
{
    QString out(bytes.size(), Qt::Uninitialized);
    QChar* p = out.data();
    for (const char ch : bytes)
        *p++ = QChar(windows1252(static_cast<unsigned char>(ch)));
    return out;
}

// Straight to the UTF-8 the parser reads, without a UTF-16 copy in between.
std::string windows1252ToUtf8(QByteArrayView bytes)
{
    std::string out;
    out.reserve(std::size_t(bytes.size()) + std::size_t(bytes.size()) / 8);
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b < 0x80) {
            out += ch;
            continue;
        }
        const char16_t c = windows1252(b);
        if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
        } else {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
        }
        out += char(0x80 | (c & 0x3F));
    }
    return out;
}

bool isAscii(QByteArrayView bytes)
{
    const char* p = bytes.data();
    const char* const end = p + bytes.size();
    std::uint64_t high = 0;
    for (; end - p >= 8; p += 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        high |= word;
    }
    for (; p < end; ++p)
        high |= static_cast<unsigned char>(*p);
    return (high & 0x8080808080808080ull) == 0;
}

// Whether the bytes are UTF-8 that decoding would leave as it is: no
// overlong forms, surrogates or code points past U+10FFFF.
bool isCleanUtf8(QByteArrayView bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = p + bytes.size();
    while (p < end) {
        if (end - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            if ((word & 0x8080808080808080ull) == 0) {
                p += 8;
                continue;
            }
        }
        const unsigned char b = *p;
        if (b < 0x80) {
            ++p;
            continue;
        }
        int more;
        unsigned char low = 0x80, high = 0xBF;
        if (b >= 0xC2 && b <= 0xDF) {
            more = 1;
        } else if (b >= 0xE0 && b <= 0xEF) {
            more = 2;
            if (b == 0xE0)
                low = 0xA0;
            else if (b == 0xED)
                high = 0x9F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            more = 3;
            if (b == 0xF0)
                low = 0x90;
            else if (b == 0xF4)
                high = 0x8F;
        } else {
            return false;
        }
        if (end - p <= more || p[1] < low || p[1] > high)
            return false;
        for (int i = 2; i <= more; ++i)
            if ((p[i] & 0xC0) != 0x80)
                return false;
        p += more + 1;
    }
    return true;
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

bool isUtf8Label(const QByteArray& label)
{
    return label == "utf-8" || label == "utf8" || label == "unicode-1-1-utf-8";
}

bool isWesternLabel(const QByteArray& label)
{
    static const QList<QByteArray> western = {
        "iso-8859-1", "iso8859-1", "iso_8859-1", "latin1", "l1",         "windows-1252",
        "cp1252",     "x-cp1252",  "us-ascii",   "ascii",  "iso-ir-100", "cp819"};
    return label.isEmpty() || western.contains(label);
}

const QByteArray Utf8Bom = QByteArrayLiteral("\xEF\xBB\xBF");

// The charset a page's bytes are read in, or "utf-16" for a UTF-16 BOM.
QByteArray labelOf(const QByteArray& bytes, const QByteArray& contentType)
{
    if (bytes.startsWith(Utf8Bom))
        return QByteArrayLiteral("utf-8");
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        return QByteArrayLiteral("utf-16");
    QByteArray label = charsetParameter(contentType);
    if (label.isEmpty())
        label = metaCharset(bytes);
    return label;
}

QString decodeAs(const QByteArray& label, const QByteArray& bytes)
{
    if (isUtf8Label(label))
        return QString::fromUtf8(bytes.startsWith(Utf8Bom) ? bytes.mid(3) : bytes);
    if (label == "utf-16") {
        QStringDecoder decoder(QStringConverter::Utf16);
        return decoder.decode(bytes);
    }
    if (isWesternLabel(label))
        return decodeWindows1252(bytes);
    QStringDecoder decoder(label.constData(), QStringDecoder::Flag::Stateless);
    if (!decoder.isValid())
        return decodeWindows1252(bytes);
    return decoder.decode(bytes);
}

} // namespace

std::shared_ptr<const HtmlDocument> HtmlDocument::fromBytes(const QByteArray& bytes,
                                                            const QByteArray& contentType,
                                                            const StopRequest* stop)
{
    // The common charsets go to the parser without a detour through UTF-16.
    const QByteArray label = labelOf(bytes, contentType);
    if (isUtf8Label(label)) {
        const QByteArrayView text =
            bytes.startsWith(Utf8Bom) ? QByteArrayView(bytes).sliced(3) : QByteArrayView(bytes);
        if (isCleanUtf8(text))
            return parseUtf8(text.data(), std::size_t(text.size()), stop);
    } else if (isWesternLabel(label)) {
        if (isAscii(bytes))
            return parseUtf8(bytes.constData(), std::size_t(bytes.size()), stop);
        const std::string utf8 = windows1252ToUtf8(bytes);
        return parseUtf8(utf8.data(), utf8.size(), stop);
    }
    return parse(decodeAs(label, bytes), stop);
}

QString decodeHtml(const QByteArray& bytes, const QByteArray& contentType)
{
    return decodeAs(labelOf(bytes, contentType), bytes);
}

} // namespace platform
