// postcode-site: serves the local postcode site until interrupted.

#include "PostcodeSite.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "A local postcode site on 127.0.0.1 with a generated data set, for the demo and the "
        "tests. Prints the port as the first line on stdout.\n"
        "Address prefixes: /hang/ (never completes), /slow/MS/ (answers after MS ms), "
        "/redirect/ (redirects to the address without it), /status/N/ (an error page with "
        "HTTP status N)."));
    parser.addHelpOption();
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("Port to listen on; 0 picks a free one."),
                                  QStringLiteral("N"), QStringLiteral("8080"));
    const QCommandLineOption blockAfter(
        QStringLiteral("block-after"),
        QStringLiteral("Show the block page after N searches within the window (0: never)."),
        QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption blockAfterPages(
        QStringLiteral("block-after-pages"),
        QStringLiteral("Show the block page after N page requests of any kind within the "
                       "window (0: never)."),
        QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption blockWindow(QStringLiteral("block-window"),
                                         QStringLiteral("Length of the block window."),
                                         QStringLiteral("SECONDS"), QStringLiteral("600"));
    const QCommandLineOption slow(QStringLiteral("slow"),
                                  QStringLiteral("Answer every request after MS milliseconds."),
                                  QStringLiteral("MS"), QStringLiteral("0"));
    const QCommandLineOption failAfter(
        QStringLiteral("fail-after-pages"),
        QStringLiteral("Fail every page request after the first N (0: never)."),
        QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption failStatus(
        QStringLiteral("fail-status"),
        QStringLiteral("How those requests fail: an HTTP status of 400 or more, or 0 to reset "
                       "the connection."),
        QStringLiteral("CODE"), QStringLiteral("500"));
    const QCommandLineOption hang(QStringLiteral("hang"),
                                  QStringLiteral("Never complete any page."));
    const QCommandLineOption charset(QStringLiteral("charset"),
                                     QStringLiteral("utf-8 or iso-8859-1."), QStringLiteral("NAME"),
                                     QStringLiteral("utf-8"));
    const QCommandLineOption metaOnly(QStringLiteral("charset-in-meta-only"),
                                      QStringLiteral("Name the charset only in the page."));
    const QCommandLineOption compress(QStringLiteral("compress"),
                                      QStringLiteral("Deflate pages for clients that accept it."));
    parser.addOptions({port, blockAfter, blockAfterPages, blockWindow, slow, failAfter, failStatus,
                       hang, charset, metaOnly, compress});
    parser.process(app);

    QTextStream err(stderr);
    auto number = [&](const QCommandLineOption& option, int max) {
        bool ok = false;
        const int n = parser.value(option).toInt(&ok);
        if (!ok || n < 0 || n > max) {
            err << "Invalid value for --" << option.names().first() << ": " << parser.value(option)
                << Qt::endl;
            std::exit(2);
        }
        return n;
    };
    postcodesite::SiteOptions options;
    options.port = quint16(number(port, 65535));
    options.blockAfterSearches = number(blockAfter, 1000000);
    options.blockAfterRequests = number(blockAfterPages, 1000000);
    options.blockWindowSeconds = number(blockWindow, 86400 * 365);
    options.slowMs = number(slow, 3600000);
    options.failAfterRequests = number(failAfter, 1000000);
    options.failStatus = number(failStatus, 599);
    if (options.failStatus != 0 && options.failStatus < 400) {
        err << "Invalid value for --fail-status: " << options.failStatus << Qt::endl;
        return 2;
    }
    options.hang = parser.isSet(hang);
    options.charset = parser.value(charset).toLower();
    if (options.charset != QLatin1String("utf-8") &&
        options.charset != QLatin1String("iso-8859-1")) {
        err << "Invalid value for --charset: " << options.charset << Qt::endl;
        return 2;
    }
    options.charsetInHeader = !parser.isSet(metaOnly);
    options.compress = parser.isSet(compress);

    postcodesite::PostcodeSite site(options);
    if (!site.listen()) {
        err << "Cannot listen on 127.0.0.1:" << options.port << ": " << site.errorString()
            << Qt::endl;
        return 1;
    }
    QTextStream out(stdout);
    out << site.port() << Qt::endl;
    err << "Postcode site on " << site.baseUrl() << Qt::endl;
    return app.exec();
}
