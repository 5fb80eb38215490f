#pragma once

#include <QString>
#include <QVariant>

namespace lookup::ui {

// A rectangle in twips.
struct TwipsRect
{
    double left = 0, top = 0, width = 0, height = 0;
};

// The lookup form's design: the two buttons keep their designed left edges
// and sizes, the browser leaves a 720-twip strip below it for them.
namespace design {
inline constexpr double ButtonHeight = 375;
inline constexpr TwipsRect cmdBack{120, 0, 1215, ButtonHeight};
inline constexpr TwipsRect cmdRefresh{1455, 0, 1575, ButtonHeight};
} // namespace design

// Platform window states.
enum WindowState
{
    Normal = 0,
    Minimized = 1,
    Maximized = 2
};

struct PaneLayout
{
    qint16 PaneMargin = 0; // the margin used, to be kept by the form
    bool laidOut = false;  // false: the form is minimised, nothing moves
    TwipsRect Frame3, brwWebBrowser, cmdBack, cmdRefresh; // buttons relative to the frame
};

// LayoutBrowserPane for an inner size W x H: a margin of 0 becomes W / 400.
PaneLayout LayoutBrowserPane(qint16 PaneMargin, double W, double H, int windowState);

// The lookup form's docking in the main window's client area, S high and C
// wide: RequestedHeight a percentage text or twips, at the bottom when
// Position is "Bottom", otherwise at the top; full width less 10.
TwipsRect Reposition(const QVariant& RequestedHeight, const QString& Position, double S, double C);

} // namespace lookup::ui
