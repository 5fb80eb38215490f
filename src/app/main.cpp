#include "app/CommandLine.h"
#include "app/Extract.h"
#include "messages/MessageLog.h"
#include "platform/RunError.h"
#include "platform/Version.h"
#include "shell/DatabaseOptions.h"
#include "shell/Harvest.h"
#include "shell/Shell.h"
#include "shell/ui/MDIStraatwijs.h"

#include <QApplication>
#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

namespace {

QStringList argumentList(int argc, char** argv)
{
    QStringList list;
    for (int i = 0; i < argc; ++i)
        list << QString::fromLocal8Bit(argv[i]);
    return list;
}

// Applies the command line's values after the main window's load.
void configure(shell::Shell& shell, const app::Options& options)
{
    shell::applyOverrides(shell, options.database);
    if (options.url)
        shell.Url = *options.url;
}

// Runs the harvest command without a window. A failure ends the run with
// its number and description on stderr; the request being processed then
// stays "L".
int runHarvest(shell::Shell& shell, const app::Options& options)
{
    using app::HarvestCommand;
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
        QTextStream(stderr) << "Error " << e.number() << ": " << e.description() << Qt::endl;
        return app::ExitFailure;
    }
    return engine->ValidURL ? app::ExitOk : app::ExitBlocked;
}

int runHeadless(int argc, char** argv, const app::Options& options)
{
    QCoreApplication app(argc, argv);
    app.setApplicationName(QString::fromLatin1(platform::version::ProgramTitle));
    platform::Env env = platform::systemEnv();
    messages::MessageLog log(*env.prompts);
    QTextStream out(stdout);
    log.setEcho([&out](const QString& text) {
        out << text;
        out.flush();
    });
    shell::Shell shell(env, log);
    shell.load();
    configure(shell, options);
    if (options.harvest == app::HarvestCommand::None)
        return app::ExitOk;
    return runHarvest(shell, options);
}

int runExtract(int argc, char** argv, const app::Options& options)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    return app::runExtract(options.extractFiles, options.extractQuery, options.extractType, out,
                           err);
}

} // namespace

int main(int argc, char** argv)
{
    const app::ParseResult parsed = app::parseCommandLine(argumentList(argc, argv));
    if (parsed.done)
        return parsed.status;
    if (parsed.options.extract)
        return runExtract(argc, argv, parsed.options);
    if (parsed.options.headless)
        return runHeadless(argc, argv, parsed.options);
    return shell::ui::runWindow(
        argc, argv, [&parsed](shell::Shell& shell) { configure(shell, parsed.options); });
}
