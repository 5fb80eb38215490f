#pragma once

#include <QString>

namespace filelib::internal {

// A number as the library's messages write it: a leading blank where a
// negative number has its minus (" 53", "-1").
inline QString Str(qint64 number)
{
    return number < 0 ? QString::number(number) : QLatin1Char(' ') + QString::number(number);
}

} // namespace filelib::internal
