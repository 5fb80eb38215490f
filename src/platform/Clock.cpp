#include "platform/Clock.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <ctime>

namespace platform {

quint32 SystemTickClock::GetTickCount()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const quint64 ms = quint64(ts.tv_sec) * 1000u + quint64(ts.tv_nsec) / 1000000u;
    return quint32(ms & 0xFFFFFFFFu);
}

double SystemDayClock::Timer()
{
    const QTime t = QTime::currentTime();
    return t.msecsSinceStartOfDay() / 1000.0;
}

QDateTime SystemDayClock::Now()
{
    return QDateTime::currentDateTime();
}

double secondsBetween(double start, double now)
{
    double d = now - start;
    if (d < 0)
        d += 86400.0;
    return d;
}

} // namespace platform
