#pragma once

#include <QVariant>
#include <QtGlobal>

namespace platform {

// Window layout as the program computes it: in twips (1/1440 inch), the
// unit placement is stored in, shared by every window.

int twipsToPixels(double twips, double logicalDpi);
double pixelsToTwips(int pixels, double logicalDpi);

struct TwipsRect
{
    double left = 0, top = 0, width = 0, height = 0;
};

// Window states as the program numbers them.
enum WindowState
{
    Normal = 0,
    Minimized = 1,
    Maximized = 2
};

// The margin between a window's inner edge and its pane: a chosen margin
// stays; 0 chooses floor(innerWidth / 400), which is 0 again (and chosen
// anew next time) while the window is narrower than 400 twips.
qint16 paneMargin(qint16 margin, double innerWidth);

struct Dock
{
    double top;
    double height;
};

// Top and height of a child docked in a client area S twips high.
// RequestedHeight is a text with a percentage ("25%": the bottom quarter),
// a text without '%' (the halves), or a number of twips.
Dock dockGeometry(const QVariant& RequestedHeight, double S);

// Where a child window docks in a client area S high and C wide: at the
// bottom (atBottom) or the top, RequestedHeight high, the full width less
// 10 twips.
TwipsRect dockRect(const QVariant& RequestedHeight, bool atBottom, double S, double C);

// The percentage of a client area `clientHeight` high that a docked child
// takes: `share`, or more when that is lower than `needed` (same unit as
// the client), but never more than `most`.
double dockShare(double share, double needed, double clientHeight, double most);

} // namespace platform
