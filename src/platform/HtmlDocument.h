#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <QUtf8StringView>
#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace platform {

class HtmlDocument;
class StopRequest;

// One element of a parsed page. Elements belong to their document and live
// as long as it does; they are stored in document order, so an element's
// descendants follow it directly.
class HtmlElement
{
public:
    // Tag name in upper case ("TABLE", "TR"); unknown tags keep their name.
    const QString& nodename() const { return *m_name; }
    // Every descendant element in document order (nested tables included).
    std::span<const HtmlElement> All() const { return {this + 1, m_size}; }
    // The text a browser renders: head, script and style left out, white
    // space collapsed, line ends for <br>, blocks and rows, tabs between cells.
    QString Innertext() const;
    // The children as HTML, tag names in upper case, attributes and text escaped.
    QString InnerHTML() const;
    // Whether InnerHTML() holds `text` (UTF-8, matched exactly), found as the
    // markup streams by, without building it.
    bool InnerHTMLHolds(QUtf8StringView text) const;
    // Whether a TABLE element is among All().
    bool holdsTable() const { return m_flags & HoldsTable; }
    // Attribute value by lower-case name; empty when absent.
    QString attribute(const QString& name) const;
    const HtmlElement* parentElement() const { return m_parent ? this - m_parent : nullptr; }

private:
    friend class HtmlDocument;
    friend struct HtmlBuilder;
    friend struct HtmlWalk;
    enum Marks : std::uint32_t
    {
        HoldsTable = 1u << 16, // see holdsTable; below: the tag's traits
    };
    const QString* m_name = nullptr;
    const HtmlDocument* m_document = nullptr;
    std::uint32_t m_size = 0;      // number of descendant elements
    std::uint32_t m_parent = 0;    // distance back to the parent; 0 for the root
    std::uint32_t m_textBegin = 0; // text nodes before the start tag
    std::uint32_t m_textEnd = 0;   // text nodes before the end tag
    std::uint32_t m_attrBegin = 0;
    std::uint32_t m_attrCount = 0;
    std::uint32_t m_flags = 0;
};

// A page parsed by HTML5 rules (implied elements, broken markup, entities).
// Memory stays linear in the size of the page, and so does time for pages
// of ordinary depth. A page that would take more is not parsed: it gives a
// document without elements (so without body). That is a page whose tree
// outgrows 64 MiB plus 128 bytes per byte of markup (reopened formatting
// elements copy their attributes each time), that nests elements more
// than 2048 deep, or whose tags together would cost the parser more than
// about 2^27 steps (it looks through the open elements for each tag, and
// through a tag's earlier attributes for each attribute). A page over 4 GiB
// is read up to that size.
class HtmlDocument
{
public:
    // Parses markup; never fails (every input gives some tree). A raised
    // `stop` ends the parse at once, with a refused document.
    static std::shared_ptr<const HtmlDocument> parse(const QString& html,
                                                     const StopRequest* stop = nullptr);
    // Decodes the bytes of a page (see decodeHtml) and parses them.
    static std::shared_ptr<const HtmlDocument> fromBytes(const QByteArray& bytes,
                                                         const QByteArray& contentType = {},
                                                         const StopRequest* stop = nullptr);

    // The BODY element; null for a page without one (a frameset, or a page
    // that was not parsed).
    const HtmlElement* Body() const { return m_body; }
    // Whether the page was too large or too deep to parse (see above).
    bool refused() const { return m_refused; }
    const HtmlElement* documentElement() const
    {
        return m_elements.empty() ? nullptr : m_elements.data();
    }

    HtmlDocument() = default;
    HtmlDocument(const HtmlDocument&) = delete;
    HtmlDocument& operator=(const HtmlDocument&) = delete;

private:
    friend class HtmlElement;
    friend struct HtmlBuilder;
    friend struct HtmlWalk;
    struct Text
    {
        std::uint32_t offset = 0; // into m_chars, UTF-8
        std::uint32_t length = 0;
        bool comment = false;
    };
    struct Attribute
    {
        std::uint32_t name = 0; // offsets into m_chars, UTF-8
        std::uint32_t nameLength = 0;
        std::uint32_t value = 0;
        std::uint32_t valueLength = 0;
    };
    static std::shared_ptr<const HtmlDocument> parseUtf8(const char* data, std::size_t size,
                                                         const StopRequest* stop);

    std::vector<HtmlElement> m_elements; // document order
    std::vector<Text> m_texts;           // document order
    std::vector<Attribute> m_attributes;
    std::string m_chars;              // all text and attribute bytes
    std::deque<QString> m_otherNames; // names of unknown tags
    const HtmlElement* m_body = nullptr;
    bool m_refused = false;
};

// The text of a page's bytes: the charset of the Content-Type header, else a
// byte-order mark or the page's meta tag, else windows-1252 (which is also
// what ISO-8859-1 labels mean on the web).
QString decodeHtml(const QByteArray& bytes, const QByteArray& contentType = {});

} // namespace platform
