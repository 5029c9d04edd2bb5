#include "Platform/UI/SteppedClock.h"

#include <algorithm>

namespace pf {

SteppedClock::SteppedClock(double start) : m_now(start), m_previous(&Clock::current())
{
    Clock::setCurrent(this);
}

SteppedClock::~SteppedClock()
{
    if (&Clock::current() == this)
        Clock::setCurrent(Clock::isAlive(m_previous) ? m_previous : nullptr);
    // Callbacks still pending are dropped with the map (and the timers only they kept alive).
}

Clock::Id SteppedClock::schedule(double deadline, Callback callback)
{
    const Id id = makeId();
    m_pending.emplace(std::make_pair(deadline, id), std::move(callback));
    return id;
}

void SteppedClock::cancel(Id id)
{
    for (auto it = m_pending.begin(); it != m_pending.end(); ++it)
        if (it->first.second == id) {
            m_pending.erase(it);
            return;
        }
}

void SteppedClock::advance(double seconds)
{
    const double end = m_now + std::max(0.0, seconds);
    while (!m_pending.empty() && m_pending.begin()->first.first <= end) {
        auto node = m_pending.extract(m_pending.begin());
        m_now = std::max(m_now, node.key().first);
        node.mapped()();
    }
    m_now = end;
}

} // namespace pf
