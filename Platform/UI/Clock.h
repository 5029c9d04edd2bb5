#pragma once

#include <QtGlobal>
#include <functional>

namespace pf {

// The source of time for everything in the interface that waits: timers, double-click intervals,
// animations. The process has one current clock; by default it follows real time, and tests install a
// SteppedClock so that they advance time by hand instead of sleeping. Main thread only.
class Clock
{
public:
    using Callback = std::function<void()>;
    using Id = quint64;

    Clock();
    virtual ~Clock();
    Clock(const Clock&) = delete;
    Clock& operator=(const Clock&) = delete;

    // Seconds since an arbitrary fixed origin; never decreases.
    virtual double now() const = 0;

    // Calls `callback` on the main thread once now() has reached `deadline` (at the next turn of the
    // event loop, or the next step of a stepped clock, when it already has). Callbacks due at the same
    // time run in the order they were scheduled. Returns a non-zero id for cancel().
    virtual Id schedule(double deadline, Callback callback) = 0;
    // Drops a scheduled callback; an unknown or already run id is ignored.
    virtual void cancel(Id id) = 0;

    // The clock in use. The real-time clock unless a test installed another.
    static Clock& current();
    // Installs `clock` as the current clock (not owned; nullptr restores the real-time clock). Callbacks
    // scheduled on the previous clock stay with it.
    static void setCurrent(Clock* clock);
    // Whether `clock` still exists (so a cancel() may be sent to it); with a serial, whether it is the
    // very clock that had it (a new clock may be made at a freed one's address).
    static bool isAlive(const Clock* clock);
    static bool isAlive(const Clock* clock, Id serial);
    Id serial() const { return m_serial; }

private:
    Id m_serial;

protected:
    // Ids are unique across all clocks of the process, so a stale id never cancels another's callback.
    static Id makeId();
};

} // namespace pf
