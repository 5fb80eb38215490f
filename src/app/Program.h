#pragma once

#include "app/ExitStatus.h"

#include <QStringList>
#include <optional>

class QCommandLineOption;
class QCommandLineParser;

namespace app {

// What the command-line programs (straatwijs, straatwijs-mail) share when
// they start and when they end before their work.

// The program's arguments as text.
QStringList arguments(int argc, char** argv);

// A usage error of `program`: the reason and where to read more (status 2).
Exit usageError(const QString& program, const QString& why);

// --help: the parser's text, naming `program` (status 0).
Exit helpExit(const QString& program, const QCommandLineParser& parser);

// The option's value into `into` when it was given; else `into` stays.
void takeValue(const QCommandLineParser& parser, const QCommandLineOption& option,
               std::optional<QString>& into);

// Prints the exit's text where it belongs and returns its status.
int finish(const Exit& exit);

} // namespace app
