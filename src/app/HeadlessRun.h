#pragma once

#include "app/CommandLine.h"

#include <QTextStream>

namespace shell {
class Shell;
}

namespace app {

// Puts the command line's values into the main window's values; call after
// Shell::load().
void configure(shell::Shell& shell, const Options& options);

// Runs the harvest command of a run without a window on the shell's values:
// loads the lookup engine, runs the batch, and answers the exit status:
// ExitOk when the batch ran to its end, ExitBlocked when the site blocked
// searching, ExitFailure (number and description written to `err`) when a
// failure ended it; the request being processed then stays "L".
int runHarvest(shell::Shell& shell, const Options& options, QTextStream& err);

} // namespace app
