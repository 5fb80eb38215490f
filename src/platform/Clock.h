#pragma once

#include <QDateTime>
#include <QtGlobal>

namespace platform {

// Milliseconds since system start as a 32-bit counter that wraps after 2^32 ms.
class TickClock
{
public:
    virtual ~TickClock() = default;
    virtual quint32 GetTickCount() = 0;
};

// Local date and time: seconds since midnight (with fractions; drops to 0
// at midnight) and the current date and time.
class DayClock
{
public:
    virtual ~DayClock() = default;
    virtual double Timer() = 0;
    virtual QDateTime Now() = 0;
};

class SystemTickClock : public TickClock
{
public:
    quint32 GetTickCount() override;
};

class SystemDayClock : public DayClock
{
public:
    double Timer() override;
    QDateTime Now() override;
};

// Seconds elapsed between two readings of a DayClock, across one midnight.
double secondsBetween(double start, double now);

} // namespace platform
