#include "platform/HtmlDocument.h"

#include "platform/internal/GumboArena.h"
#include "platform/internal/HtmlBuilder.h"
#include "platform/internal/HtmlCharset.h"
#include "platform/internal/HtmlNesting.h"
#include "platform/internal/HtmlRender.h"

#include <climits>

namespace platform {

QString HtmlElement::Innertext() const
{
    return internal::renderText(*this);
}

QString HtmlElement::InnerHTML() const
{
    return internal::renderMarkup(*this);
}

bool HtmlElement::InnerHTMLHolds(QUtf8StringView text) const
{
    return internal::markupHolds(*this, text);
}

QString HtmlElement::attribute(const QString& name) const
{
    const QByteArray key = name.toUtf8();
    const std::string_view wanted(key.constData(), std::size_t(key.size()));
    const char* const chars = m_document->m_chars.data();
    for (std::uint32_t i = m_attrBegin; i < m_attrBegin + m_attrCount; ++i) {
        const HtmlDocument::Attribute& a = m_document->m_attributes[i];
        if (std::string_view(chars + a.name, a.nameLength) == wanted)
            return QString::fromUtf8(chars + a.value, a.valueLength);
    }
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
    internal::GumboArena arena(64 * 1024 * 1024 + 128 * size, stop);
    const GumboOutput* output = arena.parse(data, size);
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

std::shared_ptr<const HtmlDocument> HtmlDocument::fromBytes(const QByteArray& bytes,
                                                            const QByteArray& contentType,
                                                            const StopRequest* stop)
{
    // The common charsets go to the parser without a detour through UTF-16.
    const QByteArray charset = internal::charsetOf(bytes, contentType);
    std::string converted;
    if (const auto utf8 = internal::asUtf8(charset, bytes, converted))
        return parseUtf8(utf8->data(), utf8->size(), stop);
    return parse(internal::decodeAs(charset, bytes), stop);
}

QString decodeHtml(const QByteArray& bytes, const QByteArray& contentType)
{
    return internal::decodeAs(internal::charsetOf(bytes, contentType), bytes);
}

} // namespace platform
