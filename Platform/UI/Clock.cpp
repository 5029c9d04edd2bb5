#include "Platform/UI/Clock.h"

#include "Platform/UI/SystemClock.h"

#include <QHash>

namespace pf {

namespace {

Clock* installedClock = nullptr;

QHash<const Clock*, Clock::Id>& liveClocks()
{
    static QHash<const Clock*, Clock::Id> clocks;
    return clocks;
}

} // namespace

Clock::Clock() : m_serial(makeId())
{
    liveClocks().insert(this, m_serial);
}

Clock::~Clock()
{
    liveClocks().remove(this);
    if (installedClock == this)
        installedClock = nullptr;
}

Clock::Id Clock::makeId()
{
    static Id next = 0;
    return ++next;
}

bool Clock::isAlive(const Clock* clock)
{
    return clock && liveClocks().contains(clock);
}

bool Clock::isAlive(const Clock* clock, Id serial)
{
    return clock && liveClocks().value(clock, 0) == serial;
}

Clock& Clock::current()
{
    if (installedClock)
        return *installedClock;
    static SystemClock systemClock;
    return systemClock;
}

void Clock::setCurrent(Clock* clock)
{
    installedClock = clock;
}

} // namespace pf
