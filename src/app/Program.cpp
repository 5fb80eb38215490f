#include "app/Program.h"

#include <QCommandLineParser>
#include <QRegularExpression>
#include <QTextStream>
#include <cstdio>

namespace app {

QStringList arguments(int argc, char** argv)
{
    QStringList list;
    for (int i = 0; i < argc; ++i)
        list << QString::fromLocal8Bit(argv[i]);
    return list;
}

Exit usageError(const QString& program, const QString& why)
{
    return Exit{ExitUsage, why + QStringLiteral("\nTry '%1 --help'.\n").arg(program)};
}

void takeValue(const QCommandLineParser& parser, const QCommandLineOption& option,
               std::optional<QString>& into)
{
    if (parser.isSet(option))
        into = parser.value(option);
}

Exit helpExit(const QString& program, const QCommandLineParser& parser)
{
    // Parsed before the application object exists: name the program here.
    QString text = parser.helpText();
    text.replace(QRegularExpression(QStringLiteral("^Usage: \\S+")),
                 QStringLiteral("Usage: ") + program);
    return Exit{ExitOk, text};
}

int finish(const Exit& exit)
{
    QTextStream stream(exit.status == ExitOk ? stdout : stderr);
    stream << exit.text;
    return exit.status;
}

} // namespace app
