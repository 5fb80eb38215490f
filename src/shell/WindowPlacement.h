#pragma once

#include "platform/Layout.h"
#include "shell/Shell.h"

#include <optional>

namespace platform {
class SettingsStore;
}

namespace shell {

// What the window manager adds around the window, in twips: the stored top
// and left are the frame's, the width and height the window's own.
struct FrameExtents
{
    double left = 0, top = 0, right = 0, bottom = 0;
};

// A stored placement with numbers far beyond any screen (or no numbers:
// "nan", "inf") brought within what pixels can hold, so that turning it into
// pixels cannot overflow: each value within +-1e8 twips, NaN as 0.
Placement boundedPlacement(const Placement& p);

// Where a stored placement opens: moved and, when it is larger, shrunk so
// that the window with its frame lies inside `available` (the screen less
// its panels). A window narrower or lower than `minimum` grows to it, as far
// as the area allows. All in twips.
Placement fitPlacement(const Placement& p, const platform::TwipsRect& available,
                       const FrameExtents& frame, const Placement& minimum);

// Keeps the stored placement that of the last normal window. The window
// reports every move, resize and change of state as it comes; once its
// events have calmed down it calls settle(), and it calls closing() as it
// closes. Only a placement seen in the normal state and still current when
// the window settles or closes is written: a window manager reports the new
// size of a window it maximises before it reports the new state.
class PlacementMemory
{
public:
    // `stored` is what the store holds now, if anything.
    PlacementMemory(platform::SettingsStore& store, std::optional<Placement> stored);

    void changed(const Placement& now, platform::WindowState state);
    void stateChanged(platform::WindowState state);
    // Writes the pending placement, if any and if the window is normal and
    // it differs from the stored one. True when it wrote.
    bool settle(platform::WindowState state);
    // The window closes: a normal window's placement is written now.
    bool closing(const Placement& now, platform::WindowState state);

    const std::optional<Placement>& stored() const { return m_stored; }

private:
    bool write(const Placement& p);

    platform::SettingsStore& m_store;
    std::optional<Placement> m_stored;
    std::optional<Placement> m_pending;
};

} // namespace shell
