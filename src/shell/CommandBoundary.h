#pragma once

#include <QTextStream>
#include <functional>

namespace platform {
class Prompts;
}

namespace shell {

// Where a failure that reached a command (a menu command, the timer tick, a
// headless run) ends: it is shown with its number and description, as a
// "Fout N: description" box in the window or as "Error N: description" on
// stderr without one, and the program ends with status 1 through the exit
// it was given.
class CommandBoundary
{
public:
    enum class Display
    {
        Window,
        Console
    };
    using Exit = std::function<void(int status)>;

    CommandBoundary(Display display, platform::Prompts& prompts, QTextStream& err, Exit exit);

    // Runs the command. True when it ran to its end; false when a failure
    // reached it (after the exit, which in the program does not return).
    bool run(const std::function<void()>& command);
    // Ends the program with `status` through the exit.
    void end(int status) { m_exit(status); }

private:
    Display m_display;
    platform::Prompts& m_prompts;
    QTextStream& m_err;
    Exit m_exit;
};

// The program's exit: flushes the output and ends the process at once, also
// from inside a batch's waits, without returning to the event loop.
[[noreturn]] void exitNow(int status);

} // namespace shell
