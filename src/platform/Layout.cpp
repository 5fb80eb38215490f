#include "platform/Layout.h"

#include "platform/Convert.h"

#include <algorithm>
#include <cmath>

namespace platform {

int twipsToPixels(double twips, double logicalDpi)
{
    return int(std::lround(twips * logicalDpi / 1440.0));
}

double pixelsToTwips(int pixels, double logicalDpi)
{
    return std::round(pixels * 1440.0 / logicalDpi);
}

qint16 paneMargin(qint16 margin, double innerWidth)
{
    if (margin != 0)
        return margin;
    return qint16(std::floor(innerWidth / 400.0));
}

Dock dockGeometry(const QVariant& RequestedHeight, double S)
{
    Dock d{S * 0.5, S * 0.5};
    if (RequestedHeight.typeId() == QMetaType::QString) {
        const QString text = RequestedHeight.toString();
        if (text.contains(QLatin1Char('%'))) {
            const double p = Val(text);
            d.top = S * ((100.0 - p) / 100.0);
            d.height = S * (p / 100.0);
        }
    } else {
        const double h = RequestedHeight.toDouble();
        d.top = S - h;
        d.height = h;
    }
    d.top = std::floor(float(d.top));
    d.height = std::floor(float(d.height));
    return d;
}

TwipsRect dockRect(const QVariant& RequestedHeight, bool atBottom, double S, double C)
{
    const Dock d = dockGeometry(RequestedHeight, S);
    return TwipsRect{0, atBottom ? d.top : 0, C - 10, d.height};
}

double dockShare(double share, double needed, double clientHeight, double most)
{
    if (clientHeight <= 0)
        return share;
    return std::min(std::max(share, needed * 100.0 / clientHeight), std::max(share, most));
}

} // namespace platform
