#include "platform/internal/HtmlTags.h"

namespace platform::internal {

const QString& tagName(GumboTag tag)
{
    static const auto names = [] {
        std::array<QString, GUMBO_TAG_LAST + 1> all;
        for (int t = 0; t < GUMBO_TAG_LAST; ++t)
            all[t] = QString::fromLatin1(gumbo_normalized_tagname(GumboTag(t))).toUpper();
        return all;
    }();
    return names[tag];
}

} // namespace platform::internal
