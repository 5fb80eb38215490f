#include "app/Startup.h"

#include "app/HeadlessRun.h"
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

int runProgram(int argc, char** argv, const Options& options)
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
