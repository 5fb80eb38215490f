#include "app/HeadlessRun.h"

#include "app/ExitStatus.h"
#include "platform/Stop.h"
#include "shell/CommandBoundary.h"
#include "shell/Harvest.h"
#include "shell/Shell.h"

namespace app {

namespace {
constexpr qint32 TimerIntervalMs = 1000;
}

int exitStatus(lookup::Outcome outcome, const platform::StopRequest* stop)
{
    if (stop && stop->signal())
        return platform::signalStatus(stop->signal());
    switch (outcome) {
    case lookup::Outcome::Blocked:
        return ExitBlocked;
    case lookup::Outcome::Unreachable:
        return ExitUnreachable;
    case lookup::Outcome::Interrupted:
        return ExitInterrupted;
    case lookup::Outcome::Done:
    case lookup::Outcome::NoRequest:
    case lookup::Outcome::LeaseLost:
        break;
    }
    return ExitOk;
}

int runHarvest(shell::Shell& shell, const Options& options, shell::CommandBoundary& boundary)
{
    shell::Harvest& harvest = shell.harvest();
    const bool ran = boundary.run([&] {
        switch (options.harvest) {
        case HarvestCommand::Big:
            harvest.runBig();
            break;
        case HarvestCommand::Small:
            harvest.runBatch(options.count, QStringLiteral("S"));
            break;
        case HarvestCommand::Minimal:
            harvest.runBatch(options.count, QStringLiteral("M"));
            break;
        case HarvestCommand::Autostart:
            // The start-up timer's one tick comes a second after start.
            shell.env().wait->MsgWaitObj(TimerIntervalMs);
            harvest.autostartTick(true);
            break;
        case HarvestCommand::None:
            break;
        }
    });
    if (!ran)
        return ExitFailure;
    return exitStatus(harvest.outcome(), shell.env().stop);
}

} // namespace app
