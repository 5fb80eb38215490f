#include "lookup/ui/BrowserPaneLayout.h"

namespace lookup::ui {

PaneLayout LayoutBrowserPane(qint16 PaneMargin, double W, double H, platform::WindowState state)
{
    PaneLayout l;
    l.PaneMargin = platform::paneMargin(PaneMargin, W);
    if (state != platform::Normal && state != platform::Maximized)
        return l;
    const double m = l.PaneMargin;
    l.laidOut = true;
    l.Frame3 = {m, m, W - 2 * m, H - 2 * m};
    l.brwWebBrowser = {m, m + 150, l.Frame3.width - 2 * m, l.Frame3.height - 720};
    l.cmdBack = design::cmdBack;
    l.cmdBack.top = l.Frame3.height - l.cmdBack.height - 2 * m;
    l.cmdRefresh = design::cmdRefresh;
    l.cmdRefresh.top = l.Frame3.height - l.cmdRefresh.height - 2 * m;
    return l;
}

} // namespace lookup::ui
