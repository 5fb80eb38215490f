#pragma once

#include <QtGlobal>

namespace platform {

// Milliseconds since system start as a 32-bit counter that wraps after 2^32 ms.
class TickClock
{
public:
    virtual ~TickClock() = default;
    virtual quint32 GetTickCount() = 0;
};

// Seconds since midnight, local time, with fractions; drops to 0 at midnight.
class DayClock
{
public:
    virtual ~DayClock() = default;
    virtual double Timer() = 0;
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
};

// Seconds elapsed between two readings of a DayClock, across one midnight.
double secondsBetween(double start, double now);

} // namespace platform
