#pragma once

#include "platform/Layout.h"

#include <QString>

namespace messages {

// The pane inside the message window's inner area. Width or height come out
// negative when the window is smaller than both margins; callers skip those.
platform::TwipsRect paneRect(double innerWidth, double innerHeight, qint16 margin);

// The number of characters of `text` that the pane shows: the pane keeps no
// carriage returns, so positions in the log and in the pane differ by them.
int paneLength(const QString& text);

} // namespace messages
