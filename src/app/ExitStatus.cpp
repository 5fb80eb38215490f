#include "app/ExitStatus.h"

#include <QTextStream>
#include <cstdio>

namespace app {

int finish(const Exit& exit)
{
    QTextStream stream(exit.status == ExitOk ? stdout : stderr);
    stream << exit.text;
    return exit.status;
}

} // namespace app
