#include "app/HeadlessRun.h"

#include "shell/CommandBoundary.h"
#include "shell/Harvest.h"
#include "shell/Shell.h"

namespace app {

namespace {
constexpr qint32 TimerIntervalMs = 1000;
}

int runHarvest(shell::Shell& shell, const Options& options, shell::CommandBoundary& boundary)
{
    shell::Harvest& harvest = shell.harvest();
    const bool ran = boundary.run([&] {
        switch (options.harvest) {
        case HarvestCommand::Big:
            harvest.mnuDoBig_Click();
            break;
        case HarvestCommand::Small:
            harvest.DoSmall(options.count, QStringLiteral("S"));
            break;
        case HarvestCommand::Minimal:
            harvest.DoSmall(options.count, QStringLiteral("M"));
            break;
        case HarvestCommand::Autostart:
            // The start-up timer's one tick comes a second after start.
            shell.env().wait->MsgWaitObj(TimerIntervalMs);
            harvest.Timer1_Timer(true);
            break;
        case HarvestCommand::None:
            break;
        }
    });
    if (!ran)
        return ExitFailure;
    if (const platform::StopRequest* stop = shell.env().stop; stop && stop->signal())
        return 128 + stop->signal();
    switch (harvest.outcome()) {
    case shell::Harvest::Outcome::Blocked:
        return ExitBlocked;
    case shell::Harvest::Outcome::Unreachable:
        return ExitUnreachable;
    case shell::Harvest::Outcome::Interrupted:
        return ExitInterrupted;
    case shell::Harvest::Outcome::Done:
        break;
    }
    return ExitOk;
}

} // namespace app
