#pragma once

#include "app/CommandLine.h"

namespace shell {
class CommandBoundary;
class Shell;
} // namespace shell

namespace app {

// Runs the harvest command of a run without a window on the shell's values
// and answers the exit status: ExitOk when it ran to its end, ExitBlocked
// after a block, ExitUnreachable when a page failed to load, 128 + the
// signal when SIGINT or SIGTERM stopped it, and ExitFailure when a failure
// reached the boundary (which reports it and ends the program).
int runHarvest(shell::Shell& shell, const Options& options, shell::CommandBoundary& boundary);

} // namespace app
