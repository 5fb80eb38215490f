#pragma once

#include "app/ExitStatus.h"
#include "shell/DatabaseOptions.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <optional>

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
    shell::ConnectionOverrides database;
    // --log-file PATH: every message is also appended to PATH.
    std::optional<QString> logFile;
};

// Parses the command line. On --help or --version prints and sets `done`
// with status 0; on a usage error prints the reason to stderr and sets `done`
// with status 2.
struct ParseResult
{
    Options options;
    bool done = false;
    int status = ExitOk;
};

// The database password comes from --db-password, else from the variable
// STRAATWIJS_DB_PASSWORD of `environment`.
ParseResult
parseCommandLine(const QStringList& arguments,
                 const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());

} // namespace app
