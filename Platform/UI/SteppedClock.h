#pragma once

#include "Platform/UI/Clock.h"

#include <map>
#include <utility>

namespace pf {

// A clock that moves only when told to, for tests. While it is installed (it installs itself as the
// current clock for its lifetime) timers, click counting and animations see exactly the time the test
// sets, and scheduled callbacks run inside advance(), each seeing now() equal to its own deadline.
class SteppedClock : public Clock
{
public:
    explicit SteppedClock(double start = 1000.0);
    ~SteppedClock() override;
    SteppedClock(const SteppedClock&) = delete;
    SteppedClock& operator=(const SteppedClock&) = delete;

    double now() const override { return m_now; }
    Id schedule(double deadline, Callback callback) override;
    void cancel(Id id) override;

    // Moves time forward by `seconds` (negative counts as zero), running every callback that falls due
    // on the way in deadline order, including callbacks they schedule within the step. advance(0)
    // runs what is already due.
    void advance(double seconds);
    // Callbacks scheduled and not yet run.
    int pendingCount() const { return int(m_pending.size()); }

private:
    double m_now;
    std::map<std::pair<double, Id>, Callback> m_pending;
    Clock* m_previous;
};

} // namespace pf
