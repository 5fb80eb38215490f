#include "messages/AlgLayout.h"

namespace messages {

platform::TwipsRect paneRect(double innerWidth, double innerHeight, qint16 margin)
{
    return platform::TwipsRect{double(margin), double(margin), innerWidth - 2.0 * margin,
                               innerHeight - 2.0 * margin};
}

int paneLength(const QString& text)
{
    return int(text.size() - text.count(QLatin1Char('\r')));
}

} // namespace messages
