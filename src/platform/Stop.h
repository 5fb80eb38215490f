#pragma once

#include <atomic>
#include <functional>

namespace platform {

// A request to end the work under way, from a signal (SIGINT, SIGTERM) or
// from the user. Safe to raise from a signal handler or another thread. The
// cooperative wait ends early once it is raised, so pauses and page loads
// are cut short rather than waited out.
class StopRequest
{
public:
    // The reason of a stop the user asked for (a menu command or closing
    // the window); signals give their number.
    static constexpr int ByUser = -1;

    // The first reason stays until clear().
    void request(int reason) noexcept
    {
        int none = 0;
        m_reason.compare_exchange_strong(none, reason);
    }
    // 0 while no stop is requested.
    int reason() const noexcept { return m_reason.load(); }
    bool requested() const noexcept { return reason() != 0; }
    // A signal's number, 0 for none or a stop by the user.
    int signal() const noexcept { return reason() > 0 ? reason() : 0; }
    void clear() noexcept { m_reason.store(0); }

private:
    std::atomic<int> m_reason{0};
};

// The exit status of a program that signal `signal` ended: 128 + its
// number, as a shell reports it (130 for SIGINT, 143 for SIGTERM).
constexpr int signalStatus(int signal) noexcept
{
    return 128 + signal;
}

// From now on SIGINT and SIGTERM raise `stop` (with the signal's number) and
// wake the event loop, where `raised` then runs with the number. A second
// signal of the same kind ends the process at once, as it would without this.
// Needs a QCoreApplication; call once.
void stopOnSignals(StopRequest& stop, std::function<void(int signal)> raised = {});

} // namespace platform
