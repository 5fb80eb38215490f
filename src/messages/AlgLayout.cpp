#include "messages/AlgLayout.h"

#include "platform/Twips.h"

#include <cmath>

namespace messages {

qint16 chooseMargin(qint16 ExtMarge, double innerWidth)
{
    if (ExtMarge != 0)
        return ExtMarge;
    return qint16(std::floor(innerWidth / 400.0));
}

TwipsRect paneRect(double innerTop, double innerWidth, double innerHeight, qint16 margin)
{
    return TwipsRect{double(margin), innerTop + margin, innerWidth - 2.0 * margin,
                     innerHeight - 2.0 * margin};
}

TwipsRect bottomDock(const QVariant& RequestedHeight, double clientWidth, double clientHeight)
{
    const platform::Dock d = platform::dockGeometry(RequestedHeight, clientHeight);
    return TwipsRect{0, d.top, clientWidth - 10.0, d.height};
}

int paneLength(const QString& text)
{
    return int(text.size() - text.count(QLatin1Char('\r')));
}

} // namespace messages
