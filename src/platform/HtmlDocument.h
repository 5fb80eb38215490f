#pragma once

#include <QByteArray>
#include <QString>
#include <deque>
#include <memory>
#include <span>
#include <vector>

namespace platform {

class HtmlDocument;

// One element of a parsed page. Elements belong to their document and live
// as long as it does.
class HtmlElement
{
public:
    // Tag name in upper case ("TABLE", "TR"); unknown tags keep their name.
    const QString& nodename() const { return m_name; }
    // Every descendant element in document order (nested tables included).
    std::span<const HtmlElement* const> All() const;
    // The text a browser renders: head, script and style left out, white
    // space collapsed, line ends for <br>, blocks and rows, tabs between cells.
    QString Innertext() const;
    // The children as HTML, tag names in upper case, attributes and text escaped.
    QString InnerHTML() const;
    // Attribute value by lower-case name; empty when absent.
    QString attribute(const QString& name) const;
    const HtmlElement* parentElement() const { return m_parent; }

private:
    friend class HtmlDocument;
    friend struct HtmlBuilder;
    struct Child
    {
        const HtmlElement* element = nullptr; // else text, or a comment
        QString text;
        bool comment = false;
    };
    QString m_name;
    std::vector<std::pair<QString, QString>> m_attributes;
    std::vector<Child> m_children;
    const HtmlElement* m_parent = nullptr;
    const HtmlDocument* m_document = nullptr;
    std::size_t m_first = 0; // range of the descendants in the document's order
    std::size_t m_end = 0;
    unsigned m_flags = 0;
};

// A page parsed by HTML5 rules (implied elements, broken markup, entities).
class HtmlDocument
{
public:
    // Parses markup; never fails (every input gives some tree).
    static std::shared_ptr<const HtmlDocument> parse(const QString& html);
    // Decodes the bytes of a page (see decodeHtml) and parses them.
    static std::shared_ptr<const HtmlDocument> fromBytes(const QByteArray& bytes,
                                                         const QByteArray& contentType = {});

    // The BODY element; null for a page without one (a frameset).
    const HtmlElement* Body() const { return m_body; }
    const HtmlElement* documentElement() const { return m_root; }

private:
    friend class HtmlElement;
    friend struct HtmlBuilder;
    std::deque<HtmlElement> m_storage;
    std::vector<const HtmlElement*> m_order;
    const HtmlElement* m_root = nullptr;
    const HtmlElement* m_body = nullptr;
};

// The text of a page's bytes: the charset of the Content-Type header, else a
// byte-order mark or the page's meta tag, else windows-1252 (which is also
// what ISO-8859-1 labels mean on the web).
QString decodeHtml(const QByteArray& bytes, const QByteArray& contentType = {});

} // namespace platform
