#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <cstdint>
#include <gumbo.h>

namespace platform {

class HtmlDocument;

// Copies gumbo's tree into a document's flat element array in document
// order, without recursion.
struct HtmlBuilder
{
    HtmlDocument& doc;
    QHash<QByteArray, const QString*> otherNames;

    static constexpr std::uint32_t None = UINT32_MAX;

    void build(const GumboNode* root);

private:
    std::uint32_t chars(const char* data, std::size_t length);
    const QString* name(const GumboElement& g);
    std::uint32_t open(const GumboElement& g, std::uint32_t parent);
    void close(std::uint32_t index);
    void text(const char* data, bool comment);
};

} // namespace platform
