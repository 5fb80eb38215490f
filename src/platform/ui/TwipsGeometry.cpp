#include "platform/ui/TwipsGeometry.h"

#include <QWidget>

namespace platform {

QRect toPixels(const QWidget& widget, const TwipsRect& r)
{
    const double dx = widget.logicalDpiX();
    const double dy = widget.logicalDpiY();
    const int left = twipsToPixels(r.left, dx);
    const int top = twipsToPixels(r.top, dy);
    return QRect(left, top, twipsToPixels(r.left + r.width, dx) - left,
                 twipsToPixels(r.top + r.height, dy) - top);
}

TwipsRect innerTwips(const QWidget& widget)
{
    return TwipsRect{0, 0, pixelsToTwips(widget.width(), widget.logicalDpiX()),
                     pixelsToTwips(widget.height(), widget.logicalDpiY())};
}

WindowState windowState(const QWidget& window)
{
    const Qt::WindowStates s = window.windowState();
    if (s & Qt::WindowMinimized)
        return Minimized;
    return s & Qt::WindowMaximized ? Maximized : Normal;
}

} // namespace platform
