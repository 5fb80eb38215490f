#pragma once

#include "app/CommandLine.h"

#include <functional>

namespace platform {
struct Env;
}

namespace app {

// Runs straatwijs with parsed options: makes the application object (with a
// window unless headless), the environment, the message log and the shell
// that owns the lookup engine and the harvest commands; then runs the
// headless command or opens the main window. Returns the exit status.
// `adjust` may replace parts of the environment before anything uses it
// (test builds replace the wait); the program itself passes none.
int runProgram(int argc, char** argv, const Options& options,
               const std::function<void(platform::Env&)>& adjust = {});

// Ends a run whose command line gave an exit (help, version, usage error):
// prints its text and returns its status. A usage error of a run that was
// to open the window is also shown in a message box, when there is a
// display to show it on.
int finishStart(int argc, char** argv, const Exit& exit);

} // namespace app
