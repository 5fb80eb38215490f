#include "app/Startup.h"

#include "app/HeadlessRun.h"
#include "messages/LogFile.h"
#include "messages/MessageLog.h"
#include "platform/Env.h"
#include "platform/Version.h"
#include "platform/ui/WidgetPrompts.h"
#include "shell/CommandBoundary.h"
#include "shell/Shell.h"
#include "shell/ui/MDIStraatwijs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTextStream>
#include <memory>

namespace app {

namespace {

// --log-file: opened before the first message, so the file holds every line
// the run shows; a path that cannot be opened ends the run as a usage error.
std::optional<Exit> openLogFile(const Options& options, messages::MessageLog& log,
                                const platform::Env& env)
{
    if (!options.logFile)
        return std::nullopt;
    QString name = *options.logFile;
    messages::OpenLogFile(log, env, name, QStringLiteral("APPEND"), 1);
    if (log.LogFileNumber > 0)
        return std::nullopt;
    return Exit{ExitUsage, QStringLiteral("--log-file: cannot open '%1' for appending.\nTry "
                                          "'straatwijs --help'.\n")
                               .arg(*options.logFile)};
}

} // namespace

int runProgram(int argc, char** argv, const Options& options,
               const std::function<void(platform::Env&)>& adjust)
{
    QElapsedTimer started;
    started.start();
    std::unique_ptr<QCoreApplication> application;
    if (options.headless)
        application = std::make_unique<QCoreApplication>(argc, argv);
    else
        application = std::make_unique<QApplication>(argc, argv);
    QCoreApplication::setApplicationName(QString::fromLatin1(platform::version::ProgramTitle));

    platform::Env env = platform::systemEnv();
    if (adjust)
        adjust(env);
    std::unique_ptr<platform::WidgetPrompts> windowPrompts;
    if (!options.headless) {
        windowPrompts = std::make_unique<platform::WidgetPrompts>();
        env.prompts = windowPrompts.get();
    }
    messages::MessageLog log(*env.prompts, env.wait);
    QTextStream out(stdout);
    if (options.headless)
        log.setEcho([&out](const QString& text) {
            out << text;
            out.flush();
        });
    if (const std::optional<Exit> exit = openLogFile(options, log, env))
        return finish(*exit);
    shell::Shell shell(env, log);
    QTextStream err(stderr);
    shell::CommandBoundary boundary(options.headless ? shell::CommandBoundary::Display::Console
                                                     : shell::CommandBoundary::Display::Window,
                                    *env.prompts, err, shell::exitNow);

    if (options.headless) {
        platform::stopOnSignals(*env.stop);
        shell.load();
        configure(shell.values, options);
        if (options.harvest == HarvestCommand::None)
            return ExitOk;
        return runHarvest(shell, options, boundary);
    }
    return shell::ui::runWindow(shell, boundary, windowPrompts.get(), started,
                                [&options](shell::Shell& s) { configure(s.values, options); });
}

} // namespace app
