#include "lookup/ui/BrowserPaneLayout.h"

#include "platform/Twips.h"

#include <cmath>

namespace lookup::ui {

PaneLayout LayoutBrowserPane(qint16 PaneMargin, double W, double H, int windowState)
{
    PaneLayout l;
    if (PaneMargin == 0)
        PaneMargin = qint16(std::floor(W / 400));
    l.PaneMargin = PaneMargin;
    if (windowState != Normal && windowState != Maximized)
        return l;
    const double m = PaneMargin;
    l.laidOut = true;
    l.Frame3 = {m, m, W - 2 * m, H - 2 * m};
    l.brwWebBrowser = {m, m + 150, l.Frame3.width - 2 * m, l.Frame3.height - 720};
    l.cmdBack = design::cmdBack;
    l.cmdBack.top = l.Frame3.height - l.cmdBack.height - 2 * m;
    l.cmdRefresh = design::cmdRefresh;
    l.cmdRefresh.top = l.Frame3.height - l.cmdRefresh.height - 2 * m;
    return l;
}

TwipsRect Reposition(const QVariant& RequestedHeight, const QString& Position, double S, double C)
{
    const platform::Dock d = platform::dockGeometry(RequestedHeight, S);
    TwipsRect r;
    r.top = Position == QLatin1String("Bottom") ? d.top : 0;
    r.height = d.height;
    r.left = 0;
    r.width = C - 10;
    return r;
}

} // namespace lookup::ui
