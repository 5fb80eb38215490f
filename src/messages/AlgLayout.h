#pragma once

#include <QString>
#include <QVariant>
#include <QtGlobal>

namespace messages {

// A rectangle in twips.
struct TwipsRect
{
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
};

// The margin between the message window's inner edge and its pane: a chosen
// ExtMarge stays; 0 chooses floor(innerWidth / 400), which is again 0 (and
// chosen anew next time) while the window is narrower than 400 twips.
qint16 chooseMargin(qint16 ExtMarge, double innerWidth);

// The pane inside the window's inner area. Width or height come out negative
// when the window is smaller than both margins; callers skip those.
TwipsRect paneRect(double innerTop, double innerWidth, double innerHeight, qint16 margin);

// Where the message window docks in a client area of the given size: always
// along the bottom edge, RequestedHeight high (see platform::dockGeometry),
// the full width less 10 twips.
TwipsRect bottomDock(const QVariant& RequestedHeight, double clientWidth, double clientHeight);

// The number of characters of `text` that the pane shows: the pane keeps no
// carriage returns, so positions in the log and in the pane differ by them.
int paneLength(const QString& text);

} // namespace messages
