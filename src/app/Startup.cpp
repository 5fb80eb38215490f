#include "app/Startup.h"

#include "app/HeadlessRun.h"
#include "messages/LogFile.h"
#include "messages/MessageLog.h"
#include "platform/Env.h"
#include "platform/Version.h"
#include "platform/ui/QtTranslations.h"
#include "platform/ui/WidgetPrompts.h"
#include "shell/CommandBoundary.h"
#include "shell/Shell.h"
#include "shell/ui/MDIStraatwijs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
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
    if (log.logFileNumber() > 0)
        return std::nullopt;
    return Exit{ExitUsage, QStringLiteral("--log-file: cannot open '%1' for appending.\nTry "
                                          "'straatwijs --help'.\n")
                               .arg(*options.logFile)};
}

// Whether a box can be seen: a display to show it on, and a platform that
// draws on one.
bool canShowBox()
{
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    if (platform.startsWith(QLatin1String("offscreen")) ||
        platform.startsWith(QLatin1String("minimal")))
        return false;
    return !platform.isEmpty() || !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// A usage error of a run that was to open the window, in a box as well: a
// start from a desktop menu has no terminal to read stderr on.
void showUsageBox(const Exit& exit)
{
    QMessageBox box(QMessageBox::Critical, QString::fromLatin1(platform::version::ProgramTitle),
                    QStringLiteral("Fout in de opdrachtregel; het programma start niet."),
                    QMessageBox::Ok);
    box.setInformativeText(exit.text.trimmed());
    box.exec();
}

} // namespace

int finishStart(int argc, char** argv, const Exit& exit)
{
    const int status = finish(exit);
    const QStringList args = arguments(argc, argv);
    if (exit.status != ExitUsage || args.contains(QLatin1String("--headless")) ||
        args.contains(QLatin1String("--extract")) || !canShowBox())
        return status;
    QApplication application(argc, argv);
    platform::installDutchQtTexts(application);
    showUsageBox(exit);
    return status;
}

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
    if (!options.headless)
        platform::installDutchQtTexts(*application);

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
    if (const std::optional<Exit> exit = openLogFile(options, log, env)) {
        if (!options.headless && canShowBox())
            showUsageBox(*exit);
        return finish(*exit);
    }
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
