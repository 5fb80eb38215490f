#include "shell/WindowPlacement.h"

#include <algorithm>
#include <cmath>

namespace shell {

using platform::WindowState;

namespace {
// One direction: a window from `start`, `length` long plus `extra` frame, into
// the stretch from `areaStart`, `areaLength` long.
void fitAxis(double& start, double& length, double extra, double minimum, double areaStart,
             double areaLength)
{
    const double room = std::max(0.0, areaLength - extra);
    length = std::clamp(length, std::min(minimum, room), room);
    start = std::clamp(start, areaStart, areaStart + areaLength - length - extra);
}
} // namespace

Placement boundedPlacement(const Placement& p)
{
    const auto bounded = [](double twips) {
        return std::isnan(twips) ? 0.0 : std::clamp(twips, -1e8, 1e8);
    };
    return Placement{bounded(p.top), bounded(p.left), bounded(p.width), bounded(p.height)};
}

Placement fitPlacement(const Placement& p, const platform::TwipsRect& available,
                       const FrameExtents& frame, const Placement& minimum)
{
    Placement fitted = p;
    fitAxis(fitted.left, fitted.width, frame.left + frame.right, minimum.width, available.left,
            available.width);
    fitAxis(fitted.top, fitted.height, frame.top + frame.bottom, minimum.height, available.top,
            available.height);
    return fitted;
}

PlacementMemory::PlacementMemory(platform::SettingsStore& store, std::optional<Placement> stored)
    : m_store(store), m_stored(stored)
{
}

void PlacementMemory::changed(const Placement& now, WindowState state)
{
    if (state == platform::Normal)
        m_pending = now;
    else
        m_pending.reset();
}

void PlacementMemory::stateChanged(WindowState state)
{
    // What was reported just before a maximise or minimise belongs to it.
    if (state != platform::Normal)
        m_pending.reset();
}

bool PlacementMemory::settle(WindowState state)
{
    if (state != platform::Normal || !m_pending)
        return false;
    const Placement p = *m_pending;
    m_pending.reset();
    return write(p);
}

bool PlacementMemory::closing(const Placement& now, WindowState state)
{
    m_pending.reset();
    return state == platform::Normal && write(now);
}

bool PlacementMemory::write(const Placement& p)
{
    // Saving what is already stored only costs disk syncs.
    if (m_stored == p)
        return false;
    savePlacement(m_store, p);
    m_stored = p;
    return true;
}

} // namespace shell
