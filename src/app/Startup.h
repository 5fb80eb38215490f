#pragma once

#include "app/CommandLine.h"

namespace app {

// Runs straatwijs with parsed options: makes the application object (with a
// window unless headless), the environment, the message log and the shell
// that owns the lookup engine and the harvest commands; then runs the
// headless command or opens the main window. Returns the exit status.
int runProgram(int argc, char** argv, const Options& options);

} // namespace app
