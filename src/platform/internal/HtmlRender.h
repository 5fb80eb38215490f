#pragma once

#include <QString>
#include <QUtf8StringView>

namespace platform {

class HtmlElement;

namespace internal {

// The text a browser renders of an element's content.
QString renderText(const HtmlElement& e);
// An element's content as markup.
QString renderMarkup(const HtmlElement& e);
// Whether renderMarkup(e) would hold `text`, found as the markup streams by
// without building it.
bool markupHolds(const HtmlElement& e, QUtf8StringView text);

} // namespace internal
} // namespace platform
