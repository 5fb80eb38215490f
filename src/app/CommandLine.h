#pragma once

#include "app/Program.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <optional>
#include <variant>

namespace lookup {
struct MainWindowValues;
}

namespace app {

// The harvest command of a run without a window.
enum class HarvestCommand
{
    None,
    Big,
    Small,
    Minimal,
    Autostart
};

// Connection values given on the command line or in the environment; what
// is not given keeps the fixed default.
struct ConnectionOverrides
{
    std::optional<QString> Server, UID, PWD, Database, SqlitePath;
    std::optional<int> Port;
};

// A command on the queue itself, instead of a harvest.
enum class QueueCommand
{
    None,
    Status,         // --status [--json]: print the queue at a glance
    ReleaseStranded // --release-stranded: give back requests nobody holds
};

struct Options
{
    bool headless = false;
    // --big, --small N, --minimal N, --autostart (need --headless).
    HarvestCommand harvest = HarvestCommand::None;
    int count = 0;
    // --url BASE: the postcode site's base address instead of the default.
    std::optional<QString> url;
    // --extract FILE... [--query TEXT] [--type T]: read saved pages, print records.
    bool extract = false;
    QStringList extractFiles;
    QString extractQuery; // empty: each file's name without extension
    QString extractType = QStringLiteral("S");
    // --db-* options and STRAATWIJS_DB_PASSWORD.
    ConnectionOverrides database;
    // --log-file PATH: every message is also appended to PATH.
    std::optional<QString> logFile;
    // --lease-timeout SECONDS: how long a claim's lease lives unrenewed.
    std::optional<int> leaseSeconds;
    QueueCommand queue = QueueCommand::None;
    bool json = false; // --json, with --status
};

// Reads the command line: the options to run with, or an exit (--help and
// --version with status 0, a usage error with status 2 and the reason). The
// database password comes from --db-password, else from the variable
// STRAATWIJS_DB_PASSWORD of `environment`.
std::variant<Options, Exit>
parseCommandLine(const QStringList& arguments,
                 const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());

// Puts the command line's values into the main window's values (after its
// load has fixed the defaults).
void configure(lookup::MainWindowValues& values, const Options& options);

} // namespace app
