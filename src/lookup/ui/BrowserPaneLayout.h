#pragma once

#include "platform/Layout.h"

namespace lookup::ui {

using platform::TwipsRect;

// The lookup form's design: the two buttons keep their designed left edges
// and sizes, the browser leaves a 720-twip strip below it for them.
namespace design {
inline constexpr double ButtonHeight = 375;
inline constexpr TwipsRect cmdBack{120, 0, 1215, ButtonHeight};
inline constexpr TwipsRect cmdRefresh{1455, 0, 1575, ButtonHeight};
} // namespace design

struct PaneLayout
{
    qint16 PaneMargin = 0; // the margin used, to be kept by the form
    bool laidOut = false;  // false: the form is minimised, nothing moves
    TwipsRect Frame3, brwWebBrowser, cmdBack, cmdRefresh; // buttons relative to the frame
};

// LayoutBrowserPane for an inner size W x H: a margin of 0 becomes W / 400.
PaneLayout LayoutBrowserPane(qint16 PaneMargin, double W, double H, platform::WindowState state);

} // namespace lookup::ui
