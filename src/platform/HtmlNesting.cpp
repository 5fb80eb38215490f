#include "platform/internal/HtmlNesting.h"

#include "platform/internal/HtmlTags.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <gumbo.h>
#include <span>
#include <strings.h>
#include <unordered_map>
#include <vector>

namespace platform::internal {

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The parser's stack of open elements as far as the scan can tell, and its
// formatting elements: those stay active when an implied end tag closes
// them, and text reopens them all, so they count toward the depth as well.
// As the parser does, at most three alike (same tag and attributes) count
// in one run.
class OpenElements
{
public:
    std::size_t depth() const { return m_stack.size() + m_active; }
    std::size_t count(GumboTag tag) const { return m_count[tag]; }
    GumboTag top() const { return m_stack.empty() ? GUMBO_TAG_UNKNOWN : m_stack.back().tag; }

    void push(GumboTag tag, std::string_view attributes)
    {
        // Cells and captions are markers inside a table only; elsewhere the
        // parser drops them.
        const bool marker =
            is(tag, Marker) &&
            (m_count[GUMBO_TAG_TABLE] > 0 ||
             (tag != GUMBO_TAG_TD && tag != GUMBO_TAG_TH && tag != GUMBO_TAG_CAPTION));
        m_stack.push_back({tag, marker, m_active});
        ++m_count[tag];
        if (marker) {
            m_active = 0;
            m_alike.clear();
        } else if (is(tag, Formatting)) {
            const std::size_t key =
                std::hash<std::string_view>()(attributes) * (GUMBO_TAG_LAST + 1) + tag;
            if (++m_alike[key] <= 3)
                ++m_active;
        }
    }

    // An end tag of a formatting element ends one of them.
    void endFormatting()
    {
        if (m_active > 0)
            --m_active;
    }

    // Pops down to the nearest open element of `tags` that lies above every
    // element of `stops`; with `inclusive` that element goes too. Nothing
    // happens when there is none.
    void closeTo(std::span<const GumboTag> tags, bool inclusive,
                 std::span<const GumboTag> stops = {})
    {
        if (std::none_of(tags.begin(), tags.end(), [this](GumboTag t) { return m_count[t] > 0; }))
            return;
        for (std::size_t i = m_stack.size(); i-- > 0;) {
            const GumboTag t = m_stack[i].tag;
            if (std::find(stops.begin(), stops.end(), t) != stops.end())
                return;
            if (std::find(tags.begin(), tags.end(), t) != tags.end()) {
                popTo(inclusive ? i : i + 1);
                return;
            }
        }
    }

private:
    struct Open
    {
        GumboTag tag;
        bool marker;
        std::size_t activeBefore; // for a marker: what its end brings back
    };

    void popTo(std::size_t size)
    {
        while (m_stack.size() > size) {
            const Open& o = m_stack.back();
            --m_count[o.tag];
            if (o.marker) {
                m_active = o.activeBefore;
                m_alike.clear();
            }
            m_stack.pop_back();
        }
    }

    std::vector<Open> m_stack;
    std::array<std::size_t, GUMBO_TAG_LAST + 1> m_count{};
    std::size_t m_active = 0;
    std::unordered_map<std::size_t, int> m_alike;
};

// Where a tag's attributes end: past the '>' that closes it, skipping quoted
// values.
std::size_t tagEnd(std::string_view s, std::size_t i)
{
    while (i < s.size()) {
        const char c = s[i];
        if (c == '>')
            return i + 1;
        if (c == '=') {
            ++i;
            while (i < s.size() && isSpace(s[i]))
                ++i;
            if (i < s.size() && (s[i] == '"' || s[i] == '\'')) {
                const std::size_t close = s.find(s[i], i + 1);
                if (close == std::string_view::npos)
                    return s.size();
                i = close + 1;
            }
            continue;
        }
        ++i;
    }
    return s.size();
}

// Past the end tag "</name" of a raw text element, or the end.
std::size_t rawTextEnd(std::string_view s, std::size_t i, std::string_view name)
{
    while ((i = s.find("</", i)) != std::string_view::npos) {
        i += 2;
        if (s.size() - i >= name.size() && strncasecmp(s.data() + i, name.data(), name.size()) == 0)
            return tagEnd(s, i + name.size());
    }
    return s.size();
}

bool holdsNonSpace(std::string_view s, std::size_t from, std::size_t to)
{
    for (std::size_t i = from; i < to; ++i)
        if (!isSpace(s[i]))
            return true;
    return false;
}

// The attributes of a tag whose name ends at `i` and whose markup ends at
// `end` (past its '>'), split as the tokenizer splits them.
std::uint64_t countAttributes(std::string_view s, std::size_t i, std::size_t end)
{
    if (end > i && s[end - 1] == '>')
        --end;
    std::uint64_t n = 0;
    while (i < end) {
        if (isSpace(s[i]) || s[i] == '/') {
            ++i;
            continue;
        }
        ++n;
        ++i; // a name may begin with '='
        while (i < end && !isSpace(s[i]) && s[i] != '/' && s[i] != '=')
            ++i;
        std::size_t j = i;
        while (j < end && isSpace(s[j]))
            ++j;
        if (j >= end || s[j] != '=')
            continue;
        i = j + 1;
        while (i < end && isSpace(s[i]))
            ++i;
        if (i < end && (s[i] == '"' || s[i] == '\'')) {
            const std::size_t close = s.find(s[i], i + 1);
            i = close == std::string_view::npos || close >= end ? end : close + 1;
        } else {
            while (i < end && !isSpace(s[i]))
                ++i;
        }
    }
    return n;
}

} // namespace

bool nestsDeeperThan(std::string_view s, std::size_t limit)
{
    return costsMore(s, limit, UINT64_MAX) == Cost::TooDeep;
}

Cost costsMore(std::string_view s, std::size_t limit, std::uint64_t maxWork)
{
    static const GumboTag Cells[] = {GUMBO_TAG_TD, GUMBO_TAG_TH};
    static const GumboTag CellStops[] = {GUMBO_TAG_TR, GUMBO_TAG_TABLE};
    static const GumboTag Rows[] = {GUMBO_TAG_TR};
    static const GumboTag RowStops[] = {GUMBO_TAG_TBODY, GUMBO_TAG_THEAD, GUMBO_TAG_TFOOT,
                                        GUMBO_TAG_TABLE};
    static const GumboTag Sections[] = {GUMBO_TAG_TBODY, GUMBO_TAG_THEAD, GUMBO_TAG_TFOOT,
                                        GUMBO_TAG_CAPTION, GUMBO_TAG_COLGROUP};
    static const GumboTag TableStop[] = {GUMBO_TAG_TABLE};
    static const GumboTag ListItems[] = {GUMBO_TAG_LI};
    static const GumboTag ListStops[] = {GUMBO_TAG_UL, GUMBO_TAG_OL, GUMBO_TAG_MENU};
    static const GumboTag Terms[] = {GUMBO_TAG_DT, GUMBO_TAG_DD};
    static const GumboTag TermStops[] = {GUMBO_TAG_DL};
    static const GumboTag Options[] = {GUMBO_TAG_OPTION, GUMBO_TAG_OPTGROUP};
    static const GumboTag Option[] = {GUMBO_TAG_OPTION};
    static const GumboTag SelectStop[] = {GUMBO_TAG_SELECT};
    static const GumboTag Paragraph[] = {GUMBO_TAG_P};
    static const GumboTag ParagraphStops[] = {GUMBO_TAG_TABLE, GUMBO_TAG_TD, GUMBO_TAG_TH,
                                              GUMBO_TAG_BUTTON, GUMBO_TAG_CAPTION};
    static const GumboTag Ruby[] = {GUMBO_TAG_RB, GUMBO_TAG_RT, GUMBO_TAG_RTC, GUMBO_TAG_RP};

    OpenElements open;
    std::uint64_t work = 0;
    std::uint64_t rootAttributes = 0; // of every <html> and <body>: merged into one
    std::uint64_t fostered = 0;       // each one moves those moved before it
    std::size_t i = 0;
    while (i < s.size()) {
        const char* lt = static_cast<const char*>(std::memchr(s.data() + i, '<', s.size() - i));
        if (!lt)
            break;
        // Where text and most elements cannot stand, the parser moves them
        // before the table ("foster parenting"), one insertion into the middle
        // of the table's parent each.
        if (is(open.top(), TableContext) && holdsNonSpace(s, i, std::size_t(lt - s.data())))
            work += fostered++;
        i = std::size_t(lt - s.data()) + 1;
        if (i >= s.size())
            break;
        if (s.compare(i, 3, "!--") == 0) {
            const std::size_t end = s.find("-->", i + 3);
            i = end == std::string_view::npos ? s.size() : end + 3;
            continue;
        }
        if (s[i] == '!' || s[i] == '?') {
            const std::size_t end = s.find('>', i);
            i = end == std::string_view::npos ? s.size() : end + 1;
            continue;
        }
        const bool endTag = s[i] == '/';
        const std::size_t nameBegin = endTag ? i + 1 : i;
        if (nameBegin >= s.size() || !isLetter(s[nameBegin]))
            continue;
        std::size_t nameEnd = nameBegin;
        while (nameEnd < s.size() && !isSpace(s[nameEnd]) && s[nameEnd] != '/' && s[nameEnd] != '>')
            ++nameEnd;
        const std::string_view name = s.substr(nameBegin, nameEnd - nameBegin);
        const GumboTag tag = gumbo_tagn_enum(name.data(), unsigned(name.size()));
        const std::size_t attributes = nameEnd;
        i = tagEnd(s, nameEnd);
        // Each attribute is checked against the tag's earlier ones, and
        // those of a further <html> or <body> against all merged so far.
        const std::uint64_t count = countAttributes(s, nameEnd, i);
        work += count * (count - (count > 0)) / 2 + open.depth();
        if (!endTag && (tag == GUMBO_TAG_HTML || tag == GUMBO_TAG_BODY)) {
            work += count * rootAttributes;
            rootAttributes += count;
        }
        if (work > maxWork)
            return Cost::TooMuchWork;
        if (endTag) {
            if (is(tag, Formatting))
                open.endFormatting();
            // Table parts end only inside their own table.
            const bool tablePart = tag == GUMBO_TAG_TD || tag == GUMBO_TAG_TH ||
                                   tag == GUMBO_TAG_TR || tag == GUMBO_TAG_TBODY ||
                                   tag == GUMBO_TAG_THEAD || tag == GUMBO_TAG_TFOOT ||
                                   tag == GUMBO_TAG_CAPTION;
            open.closeTo(std::span(&tag, 1), true,
                         tablePart ? std::span<const GumboTag>(TableStop)
                                   : std::span<const GumboTag>());
            continue;
        }
        if (is(open.top(), TableContext) && !is(tag, StaysInTable))
            work += fostered++;
        // Only foreign content (svg, math) knows self-closing tags.
        const bool selfClosing = i >= 2 && s[i - 1] == '>' && s[i - 2] == '/';
        if (selfClosing && open.count(GUMBO_TAG_SVG) + open.count(GUMBO_TAG_MATH) > 0)
            continue;
        if (tag == GUMBO_TAG_PLAINTEXT)
            break;
        if (is(tag, RawText | Escapable)) {
            i = rawTextEnd(s, i, name);
            continue;
        }
        if (is(tag, Void | NotNested))
            continue;
        if (is(tag, ClosesParagraph))
            open.closeTo(Paragraph, true, ParagraphStops);
        switch (tag) {
        case GUMBO_TAG_TD:
        case GUMBO_TAG_TH:
            open.closeTo(Cells, true, CellStops);
            break;
        case GUMBO_TAG_TR:
            open.closeTo(Cells, true, CellStops);
            open.closeTo(Rows, true, RowStops);
            break;
        case GUMBO_TAG_TBODY:
        case GUMBO_TAG_THEAD:
        case GUMBO_TAG_TFOOT:
        case GUMBO_TAG_CAPTION:
        case GUMBO_TAG_COLGROUP:
            open.closeTo(Cells, true, CellStops);
            open.closeTo(Rows, true, RowStops);
            open.closeTo(Sections, true, TableStop);
            break;
        case GUMBO_TAG_LI:
            open.closeTo(ListItems, true, ListStops);
            break;
        case GUMBO_TAG_DT:
        case GUMBO_TAG_DD:
            open.closeTo(Terms, true, TermStops);
            break;
        case GUMBO_TAG_OPTION:
            open.closeTo(Option, true, SelectStop);
            break;
        case GUMBO_TAG_OPTGROUP:
            open.closeTo(Options, true, SelectStop);
            break;
        case GUMBO_TAG_RB:
        case GUMBO_TAG_RT:
        case GUMBO_TAG_RTC:
        case GUMBO_TAG_RP:
            open.closeTo(Ruby, true);
            break;
        default:
            break;
        }
        open.push(tag, s.substr(attributes, i - attributes));
        if (open.depth() > limit)
            return Cost::TooDeep;
    }
    return Cost::Bounded;
}

} // namespace platform::internal
