#include "app/CommandLine.h"
#include "app/Extract.h"
#include "app/HeadlessRun.h"
#include "messages/LogFile.h"
#include "messages/MessageLog.h"
#include "platform/Version.h"
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

// --log-file: opened before the first message, so the file holds every line
// the run shows; a path that cannot be opened ends the run as a usage error.
std::optional<int> openLogFile(const app::Options& options, messages::MessageLog& log,
                               const platform::Env& env)
{
    if (!options.logFile)
        return std::nullopt;
    QString name = *options.logFile;
    messages::OpenLogFile(log, env, name, QStringLiteral("APPEND"), 1);
    if (log.LogFileNumber > 0)
        return std::nullopt;
    QTextStream(stderr) << "--log-file: cannot open '" << *options.logFile
                        << "' for appending.\nTry 'straatwijs --help'." << Qt::endl;
    return app::ExitUsage;
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
    if (const std::optional<int> status = openLogFile(options, log, env))
        return *status;
    shell::Shell shell(env, log);
    shell.load();
    app::configure(shell, options);
    if (options.harvest == app::HarvestCommand::None)
        return app::ExitOk;
    QTextStream err(stderr);
    return app::runHarvest(shell, options, err);
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
        argc, argv, [&parsed](shell::Shell& shell) { configure(shell, parsed.options); },
        [&parsed](messages::MessageLog& log, const platform::Env& env) {
            return openLogFile(parsed.options, log, env);
        });
}
