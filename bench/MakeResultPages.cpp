// Writes saved result pages for timing --extract: make_result_pages DIR N
// gives N pages, every fourth one of 1000 rows and the others of 10.
#include "ResultPages.h"

#include <QDir>
#include <QFile>
#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_result_pages DIR N\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    const int count = QByteArray(argv[2]).toInt();
    if (!dir.mkpath(QStringLiteral(".")))
        return 1;
    for (int i = 0; i < count; ++i) {
        QFile file(dir.filePath(QStringLiteral("page%1.html").arg(i, 4, 10, QLatin1Char('0'))));
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(bench::resultPage(i % 4 == 0 ? 1000 : 10, i * 10)) < 0)
            return 1;
    }
    return 0;
}
