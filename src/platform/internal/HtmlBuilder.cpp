#include "platform/internal/HtmlBuilder.h"

#include "platform/HtmlDocument.h"
#include "platform/internal/HtmlTags.h"

#include <cstring>
#include <vector>

namespace platform {

using namespace internal;

std::uint32_t HtmlBuilder::chars(const char* data, std::size_t length)
{
    const auto offset = std::uint32_t(doc.m_chars.size());
    doc.m_chars.append(data, length);
    return offset;
}

const QString* HtmlBuilder::name(const GumboElement& g)
{
    if (g.tag != GUMBO_TAG_UNKNOWN)
        return &tagName(g.tag);
    GumboStringPiece piece = g.original_tag;
    gumbo_tag_from_original_text(&piece);
    const QByteArray key(piece.data, qsizetype(piece.length));
    const QString*& interned = otherNames[key];
    if (!interned)
        interned = &doc.m_otherNames.emplace_back(QString::fromUtf8(key).toUpper());
    return interned;
}

std::uint32_t HtmlBuilder::open(const GumboElement& g, std::uint32_t parent)
{
    const auto index = std::uint32_t(doc.m_elements.size());
    HtmlElement& e = doc.m_elements.emplace_back();
    e.m_name = name(g);
    e.m_document = &doc;
    e.m_parent = parent == None ? 0 : index - parent;
    e.m_textBegin = std::uint32_t(doc.m_texts.size());
    e.m_flags = traitsOf(g.tag);
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
    }
    // gumbo takes an unknown tag's name from its markup, which can read
    // "TABLE" after all.
    if (g.tag == GUMBO_TAG_UNKNOWN && *e.m_name == QLatin1String("TABLE"))
        e.m_flags |= TableTag;
    return index;
}

void HtmlBuilder::close(std::uint32_t index)
{
    HtmlElement& e = doc.m_elements[index];
    e.m_size = std::uint32_t(doc.m_elements.size()) - index - 1;
    e.m_textEnd = std::uint32_t(doc.m_texts.size());
    if (e.m_parent == 0)
        return;
    HtmlElement& parent = doc.m_elements[index - e.m_parent];
    if (e.m_flags & (std::uint32_t(TableTag) | HtmlElement::HoldsTable))
        parent.m_flags |= HtmlElement::HoldsTable;
}

void HtmlBuilder::text(const char* data, bool comment)
{
    const std::size_t length = std::strlen(data);
    HtmlDocument::Text& t = doc.m_texts.emplace_back();
    t.offset = chars(data, length);
    t.length = std::uint32_t(length);
    t.comment = comment;
}

void HtmlBuilder::build(const GumboNode* root)
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
            if (is(g.tag, TableCell)) {
                // Only a cell with a later sibling cell is followed by a tab.
                if (f.lastCell != None)
                    doc.m_elements[f.lastCell].m_flags |= FollowedByCell;
                f.lastCell = index;
            }
            if (g.tag == GUMBO_TAG_BODY && body == None)
                body = index;
            stack.push_back({&g.children, 0, index, None});
            break;
        }
        case GUMBO_NODE_COMMENT:
            text(child->v.text.text, true);
            break;
        case GUMBO_NODE_TEXT:
        case GUMBO_NODE_CDATA:
        case GUMBO_NODE_WHITESPACE:
            text(child->v.text.text, false);
            break;
        default:
            break;
        }
    }
    if (body != None)
        doc.m_body = &doc.m_elements[body];
}

} // namespace platform
