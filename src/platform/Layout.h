#pragma once

#include <QVariant>

namespace platform {

// Twips are 1/1440 inch; window placement is stored and computed in them.
int twipsToPixels(double twips, double logicalDpi);
double pixelsToTwips(int pixels, double logicalDpi);

struct Dock
{
    double top;
    double height;
};

// Top and height of a child docked in a client area S twips high.
// RequestedHeight is a text with a percentage ("25%": the bottom quarter),
// a text without '%' (the halves), or a number of twips.
Dock dockGeometry(const QVariant& RequestedHeight, double S);

} // namespace platform
