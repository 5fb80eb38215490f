#include "app/CommandLine.h"

#include "platform/Version.h"

#include <QCommandLineParser>
#include <QTextStream>
#include <cstdio>

namespace app {

ParseResult parseCommandLine(const QStringList& arguments)
{
    ParseResult result;
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Straatwijs harvests Dutch postcode data: it takes open requests from the table "
        "Requests, walks the postcode site's result pages and appends every result row to "
        "the table Straatwijs.\n\n"
        "Exit status: 0 done, 1 failure, 2 usage error, 3 the site blocked searching.\n\n"
        "Environment: STRAATWIJS_EXIT_AFTER_PAINT=1 makes the window print the time from "
        "start to its first paint (\"first paint after N ms\") and exit, for start-up "
        "measurements."));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version and exit."));
    const QCommandLineOption headless(
        QStringLiteral("headless"),
        QStringLiteral("Run without a window: every message goes to stdout as one line, "
                       "message boxes to stderr with their default answer."));
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
    parser.addOption(help);
    parser.addOption(version);
    parser.addOption(headless);
    parser.addOptions({extract, query, type});
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Pages for --extract."),
                                 QStringLiteral("[FILE...]"));

    QTextStream out(stdout);
    QTextStream err(stderr);
    if (!parser.parse(arguments)) {
        err << parser.errorText() << "\nTry 'straatwijs --help'." << Qt::endl;
        result.done = true;
        result.status = ExitUsage;
        return result;
    }
    if (!parser.positionalArguments().isEmpty() && !parser.isSet(extract)) {
        err << "Unexpected argument: " << parser.positionalArguments().first()
            << "\nTry 'straatwijs --help'." << Qt::endl;
        result.done = true;
        result.status = ExitUsage;
        return result;
    }
    if (parser.isSet(help)) {
        out << parser.helpText();
        result.done = true;
        return result;
    }
    if (parser.isSet(version)) {
        out << platform::version::ProgramTitle << ' ' << platform::version::Major << '.'
            << platform::version::Minor << '.' << platform::version::Revision << Qt::endl;
        result.done = true;
        return result;
    }
    if (parser.isSet(extract) && parser.positionalArguments().isEmpty()) {
        err << "--extract needs at least one FILE.\nTry 'straatwijs --help'." << Qt::endl;
        result.done = true;
        result.status = ExitUsage;
        return result;
    }
    result.options.headless = parser.isSet(headless);
    result.options.extract = parser.isSet(extract);
    result.options.extractFiles = parser.positionalArguments();
    result.options.extractQuery = parser.value(query);
    result.options.extractType = parser.value(type);
    return result;
}

} // namespace app
