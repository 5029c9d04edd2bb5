#include "Platform/UI/Clock.h"

#include "Platform/UI/SystemClock.h"

#include <QSet>

namespace pf {

namespace {

Clock* installedClock = nullptr;

QSet<const Clock*>& liveClocks()
{
    static QSet<const Clock*> clocks;
    return clocks;
}

} // namespace

Clock::Clock()
{
    liveClocks().insert(this);
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
