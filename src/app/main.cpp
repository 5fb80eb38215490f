#include "app/CommandLine.h"
#include "app/Extract.h"
#include "app/QueueCommands.h"
#include "app/Startup.h"
#include "platform/HostIdentity.h"

#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

int main(int argc, char** argv)
{
    const auto parsed = app::parseCommandLine(app::arguments(argc, argv));
    if (const auto* exit = std::get_if<app::Exit>(&parsed))
        return app::finishStart(argc, argv, *exit);
    const app::Options& options = std::get<app::Options>(parsed);
    if (options.extract) {
        QCoreApplication application(argc, argv);
        QTextStream out(stdout);
        QTextStream err(stderr);
        return app::runExtract(options.extractFiles, options.extractQuery, options.extractType, out,
                               err);
    }
    if (options.queue != app::QueueCommand::None) {
        QCoreApplication application(argc, argv);
        QTextStream out(stdout);
        QTextStream err(stderr);
        platform::SystemHost host;
        return app::runQueueCommand(options, host, out, err);
    }
    return app::runProgram(argc, argv, options);
}
