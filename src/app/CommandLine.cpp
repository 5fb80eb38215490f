#include "app/CommandLine.h"

#include "lookup/Lease.h"
#include "lookup/PostcodeLookup.h"
#include "platform/Version.h"

#include <QCommandLineParser>
#include <QUrl>

namespace app {

namespace {

const QString PasswordVariable = QStringLiteral("STRAATWIJS_DB_PASSWORD");

const QString Program = QStringLiteral("straatwijs");

Exit usage(const QString& why)
{
    return usageError(Program, why);
}

// The site's base address: http or https with a host; the site's paths are
// appended to it, so it keeps no trailing slash.
std::variant<QString, Exit> baseAddress(const QString& text)
{
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return usage(
            QStringLiteral("--url needs an address starting with http:// or https://, not '%1'")
                .arg(text));
    if (url.host().isEmpty())
        return usage(QStringLiteral("--url needs an address with a host name, not '%1'").arg(text));
    // The search path goes after the base: a query or fragment in it would
    // swallow the search, and a user name would be sent to the site.
    if (url.hasQuery() || url.hasFragment() || !url.userInfo().isEmpty())
        return usage(QStringLiteral("--url takes a scheme, host, port and path, no user, query "
                                    "or fragment, not '%1'")
                         .arg(text));
    QString base = text;
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    return base;
}

} // namespace

std::variant<Options, Exit> parseCommandLine(const QStringList& arguments,
                                             const QProcessEnvironment& environment)
{
    Options options;
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Straatwijs harvests Dutch postcode data: it takes open requests from the table "
        "Requests, walks the postcode site's result pages and appends every result row to "
        "the table Straatwijs.\n\n"
        "Exit status: 0 the batch ran to its end; 1 a failure ended it (the request being "
        "processed stays L until its lease expires, nothing of it stored); 2 usage error (an "
        "option given twice, an empty --db-server, --db-user or --db-name too); 3 it stopped "
        "because the "
        "site blocked searching (the request is open again, N); 4 the site could not be "
        "reached (nothing stored; the request is open again); 130 or 143 SIGINT or SIGTERM "
        "ended it (nothing of the request stored; it is open again). --status and "
        "--release-stranded: 0 done, 1 the database could not be read or changed.\n\n"
        "Environment: STRAATWIJS_DB_PASSWORD is the database password. "
        "STRAATWIJS_EXIT_AFTER_PAINT=1 makes the window print the time from start to its first "
        "paint (\"first paint after N ms\") and exit, for start-up measurements."));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version and exit."));
    const QCommandLineOption headless(
        QStringLiteral("headless"),
        QStringLiteral("Run without a window: every message goes to stdout as one line, "
                       "message boxes to stderr with their default answer."));
    const QCommandLineOption big(
        QStringLiteral("big"),
        QStringLiteral("With --headless: process one open request of type B (21 searches)."));
    const QCommandLineOption small(
        QStringLiteral("small"),
        QStringLiteral("With --headless: a batch of N open requests of type S."),
        QStringLiteral("N"));
    const QCommandLineOption minimal(
        QStringLiteral("minimal"),
        QStringLiteral("With --headless: a batch of N open requests of type M."),
        QStringLiteral("N"));
    const QCommandLineOption autostart(
        QStringLiteral("autostart"),
        QStringLiteral("With --headless: the autostart run (after a second, a batch of 32 "
                       "requests of type S, then 10 s), whatever the stored setting."));
    const QCommandLineOption url(
        QStringLiteral("url"),
        QStringLiteral("Base address of the postcode site (default http://127.0.0.1:8080); a "
                       "port and a path prefix are allowed, a user, query or fragment are not."),
        QStringLiteral("BASE"));
    const QCommandLineOption extract(
        QStringLiteral("extract"),
        QStringLiteral("Read saved result pages (FILE...) as the harvester would and print, per "
                       "file, \"# FILE<tab>count\" and one tab-separated line per record "
                       "(Query, Type, Postcode, Straat, EvenOneven, NrVan, NrTm, Woonplaats, "
                       "Resultaten; NULL as \\N). Exit status 1 when a file cannot be read."));
    const QCommandLineOption query(QStringLiteral("query"),
                                   QStringLiteral("Query column for --extract (default: the "
                                                  "file name without extension)."),
                                   QStringLiteral("TEXT"));
    const QCommandLineOption type(QStringLiteral("type"),
                                  QStringLiteral("Type column for --extract (default: S)."),
                                  QStringLiteral("T"), QStringLiteral("S"));
    const QCommandLineOption dbServer(
        QStringLiteral("db-server"),
        QStringLiteral("Database server host (default localhost, the local socket; use "
                       "127.0.0.1 for TCP)."),
        QStringLiteral("HOST"));
    const QCommandLineOption dbPort(QStringLiteral("db-port"),
                                    QStringLiteral("Database server TCP port (default 3306)."),
                                    QStringLiteral("N"));
    const QCommandLineOption dbUser(QStringLiteral("db-user"),
                                    QStringLiteral("Database user (default root)."),
                                    QStringLiteral("U"));
    const QCommandLineOption dbName(QStringLiteral("db-name"),
                                    QStringLiteral("Database name (default postcode)."),
                                    QStringLiteral("D"));
    const QCommandLineOption dbPassword(
        QStringLiteral("db-password"),
        QStringLiteral("Database password. Other users can see it in the process list: "
                       "prefer the environment variable STRAATWIJS_DB_PASSWORD."),
        QStringLiteral("PASSWORD"));
    const QCommandLineOption dbSqlite(
        QStringLiteral("db-sqlite"),
        QStringLiteral("Use the embedded SQLite database in PATH instead of a server; a "
                       "missing file is created with both tables."),
        QStringLiteral("PATH"));
    const QCommandLineOption logFile(
        QStringLiteral("log-file"),
        QStringLiteral("Also append every message, one line each (CR LF, ISO-8859-1), to PATH, "
                       "in the window and with --headless alike; a missing folder is created (the "
                       "window asks first). The name is remembered as the log file of the "
                       "message window. A PATH that cannot be opened is a usage error."),
        QStringLiteral("PATH"));
    const QCommandLineOption leaseTimeout(
        QStringLiteral("lease-timeout"),
        QStringLiteral("How long the lease on a request in progress lives without renewal "
                       "(default %1, at least %2). A harvester renews its lease while it works; "
                       "a request whose lease expired (its harvester died or stalled) is given "
                       "back by the next claim of any harvester, and a stalled harvester stores "
                       "nothing when it wakes up.")
            .arg(lookup::DefaultLeaseSeconds)
            .arg(lookup::MinimumLeaseSeconds),
        QStringLiteral("SECONDS"));
    const QCommandLineOption status(
        QStringLiteral("status"),
        QStringLiteral("Print the queue at a glance and exit: requests per type and status, the "
                       "live leases (request, query, type, host, process, age, expiry), the "
                       "number of stranded requests (\"L\" without a lease) and the poison ones "
                       "(lease expired %1 times). Only reads.")
            .arg(lookup::PoisonAttempts));
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("With --status: print one JSON object instead."));
    const QCommandLineOption releaseStranded(
        QStringLiteral("release-stranded"),
        QStringLiteral("Give back (\"N\") every request in progress without a live lease, and "
                       "those whose lease expired, one line each, and exit. Never touches a "
                       "request under a live lease: safe while harvesters run."));
    parser.addOption(help);
    parser.addOption(version);
    parser.addOption(headless);
    parser.addOptions({big, small, minimal, autostart, url});
    parser.addOptions({extract, query, type});
    parser.addOption(logFile);
    parser.addOptions({leaseTimeout, status, json, releaseStranded});
    for (const auto* option : {&dbServer, &dbPort, &dbUser, &dbName, &dbPassword, &dbSqlite})
        parser.addOption(*option);
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Pages for --extract."),
                                 QStringLiteral("[FILE...]"));

    if (!parser.parse(arguments))
        return usage(parser.errorText());
    // Which of two values would count is a guess; refuse rather than guess.
    const QStringList given = parser.optionNames();
    for (const QString& name : given)
        if (given.count(name) > 1)
            return usage(QStringLiteral("--%1 is given more than once.").arg(name));
    if (!parser.positionalArguments().isEmpty() && !parser.isSet(extract))
        return usage(QStringLiteral("Unexpected argument: ") +
                     parser.positionalArguments().first());
    if (parser.isSet(help))
        return helpExit(Program, parser);
    if (parser.isSet(version))
        return Exit{ExitOk, QStringLiteral("%1 %2.%3.%4\n")
                                .arg(QLatin1String(platform::version::ProgramTitle))
                                .arg(platform::version::Major)
                                .arg(platform::version::Minor)
                                .arg(platform::version::Revision)};
    if (parser.isSet(extract) && parser.positionalArguments().isEmpty())
        return usage(QStringLiteral("--extract needs at least one FILE."));
    options.headless = parser.isSet(headless);
    int commands = 0;
    for (const auto* option : {&big, &small, &minimal, &autostart})
        commands += parser.isSet(*option) ? 1 : 0;
    if (commands > 1)
        return usage(QStringLiteral("Give one of --big, --small, --minimal and --autostart."));
    if (commands == 1 && !options.headless)
        return usage(QStringLiteral("--big, --small, --minimal and --autostart need --headless; "
                                    "in the window, use the menu Handmatig."));
    if (parser.isSet(big))
        options.harvest = HarvestCommand::Big;
    if (parser.isSet(autostart))
        options.harvest = HarvestCommand::Autostart;
    for (const auto& [option, command] :
         {std::pair{&small, HarvestCommand::Small}, std::pair{&minimal, HarvestCommand::Minimal}}) {
        if (!parser.isSet(*option))
            continue;
        bool ok = false;
        const int n = parser.value(*option).toInt(&ok);
        if (!ok || n < 0)
            return usage(QStringLiteral("--%1 needs a number of requests, not '%2'")
                             .arg(option->names().first(), parser.value(*option)));
        options.harvest = command;
        options.count = n;
    }
    if (parser.isSet(url)) {
        const auto base = baseAddress(parser.value(url));
        if (const auto* exit = std::get_if<Exit>(&base))
            return *exit;
        options.url = std::get<QString>(base);
    }
    if (parser.isSet(status) || parser.isSet(releaseStranded)) {
        if (parser.isSet(status) && parser.isSet(releaseStranded))
            return usage(QStringLiteral("Give one of --status and --release-stranded."));
        if (commands > 0 || parser.isSet(extract))
            return usage(QStringLiteral("--status and --release-stranded run no harvest: give "
                                        "them without --big, --small, --minimal, --autostart "
                                        "and --extract."));
        options.queue = parser.isSet(status) ? QueueCommand::Status : QueueCommand::ReleaseStranded;
    }
    if (parser.isSet(json) && options.queue != QueueCommand::Status)
        return usage(QStringLiteral("--json goes with --status."));
    options.json = parser.isSet(json);
    if (parser.isSet(leaseTimeout)) {
        bool ok = false;
        const int seconds = parser.value(leaseTimeout).toInt(&ok);
        if (!ok || seconds < lookup::MinimumLeaseSeconds || seconds > lookup::MaximumLeaseSeconds)
            return usage(QStringLiteral("--lease-timeout needs a number of seconds from %1 to %2, "
                                        "not '%3'")
                             .arg(lookup::MinimumLeaseSeconds)
                             .arg(lookup::MaximumLeaseSeconds)
                             .arg(parser.value(leaseTimeout)));
        options.leaseSeconds = seconds;
    }
    options.extract = parser.isSet(extract);
    options.extractFiles = parser.positionalArguments();
    options.extractQuery = parser.value(query);
    options.extractType = parser.value(type);

    if (parser.isSet(logFile)) {
        if (parser.value(logFile).isEmpty())
            return usage(QStringLiteral("--log-file needs the path of the log file."));
        options.logFile = parser.value(logFile);
    }

    ConnectionOverrides& db = options.database;
    takeValue(parser, dbServer, db.Server);
    takeValue(parser, dbUser, db.UID);
    takeValue(parser, dbName, db.Database);
    takeValue(parser, dbSqlite, db.SqlitePath);
    for (const auto& [option, value] :
         {std::pair{&dbServer, &db.Server}, std::pair{&dbUser, &db.UID},
          std::pair{&dbName, &db.Database}})
        if (value->has_value() && (*value)->isEmpty())
            return usage(QStringLiteral("--%1 needs a value.").arg(option->names().first()));
    if (db.SqlitePath && db.SqlitePath->isEmpty())
        return usage(QStringLiteral("--db-sqlite needs the path of a database file."));
    if (environment.contains(PasswordVariable))
        db.PWD = environment.value(PasswordVariable);
    takeValue(parser, dbPassword, db.PWD);
    if (parser.isSet(dbPort)) {
        bool ok = false;
        const int port = parser.value(dbPort).toInt(&ok);
        if (!ok || port < 1 || port > 65535)
            return usage(QStringLiteral("--db-port needs a port number from 1 to 65535, not '%1'")
                             .arg(parser.value(dbPort)));
        db.Port = port;
    }
    return options;
}

void configure(lookup::MainWindowValues& values, const Options& options)
{
    const ConnectionOverrides& o = options.database;
    lookup::ConnectionValues& c = values.Connection;
    c.Server = o.Server.value_or(c.Server);
    c.UID = o.UID.value_or(c.UID);
    c.PWD = o.PWD.value_or(c.PWD);
    c.Database = o.Database.value_or(c.Database);
    c.SqlitePath = o.SqlitePath.value_or(c.SqlitePath);
    c.Port = o.Port.value_or(c.Port);
    values.Url = options.url.value_or(values.Url);
    values.LeaseSeconds = options.leaseSeconds.value_or(values.LeaseSeconds);
}

} // namespace app
