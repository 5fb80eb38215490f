#pragma once

#include "platform/Layout.h"

#include <QRect>

class QWidget;

namespace platform {

// The pixel rectangle of a twips rectangle at the widget's resolution. The
// edges are rounded, not the lengths, so adjoining rectangles meet without
// a gap.
QRect toPixels(const QWidget& widget, const TwipsRect& r);
// The widget's inner size in twips, as a rectangle at the origin.
TwipsRect innerTwips(const QWidget& widget);
// The window state of a top-level window or MDI child.
WindowState windowState(const QWidget& window);

} // namespace platform
