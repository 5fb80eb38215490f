#pragma once

#include "app/CommandLine.h"
#include "lookup/Outcome.h"

namespace platform {
class StopRequest;
}
namespace shell {
class CommandBoundary;
class Shell;
} // namespace shell

namespace app {

// The status a harvest command ends the program with: platform::signalStatus
// when a signal raised `stop` (which may be null), otherwise by how the
// command ended: ExitBlocked, ExitUnreachable, ExitInterrupted, and ExitOk
// when it ran to its end (also when it found no request or lost a lease).
int exitStatus(lookup::Outcome outcome, const platform::StopRequest* stop);

// Runs the harvest command of a run without a window on the shell's values
// and answers the exit status: ExitOk when it ran to its end, ExitBlocked
// after a block, ExitUnreachable when a page failed to load, 128 + the
// signal when SIGINT or SIGTERM stopped it (all by exitStatus), and
// ExitFailure when a failure reached the boundary (which reports it and
// ends the program).
int runHarvest(shell::Shell& shell, const Options& options, shell::CommandBoundary& boundary);

} // namespace app
