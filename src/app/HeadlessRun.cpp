#include "app/HeadlessRun.h"

#include "platform/RunError.h"
#include "shell/DatabaseOptions.h"
#include "shell/Harvest.h"
#include "shell/Shell.h"

namespace app {

void configure(shell::Shell& shell, const Options& options)
{
    shell::applyOverrides(shell, options.database);
    if (options.url)
        shell.Url = *options.url;
}

int runHarvest(shell::Shell& shell, const Options& options, QTextStream& err)
{
    std::unique_ptr<lookup::PostcodeLookup> engine = shell::loadLookup(shell);
    shell::EngineForm form(*engine);
    shell::Harvest harvest(shell.env(), shell.log(),
                           [&form]() -> shell::LookupForm& { return form; });
    try {
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
            shell.env().wait->MsgWaitObj(1000);
            harvest.Timer1_Timer(true);
            break;
        case HarvestCommand::None:
            break;
        }
    } catch (const platform::RunError& e) {
        err << "Error " << e.number() << ": " << e.description() << Qt::endl;
        return ExitFailure;
    }
    return engine->ValidURL ? ExitOk : ExitBlocked;
}

} // namespace app
