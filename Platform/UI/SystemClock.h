#pragma once

#include "Platform/UI/Clock.h"

#include <QElapsedTimer>
#include <QHash>

class QTimer;

namespace pf {

// Real time: a monotonic clock, with callbacks run by precise timers of the main event loop.
class SystemClock : public Clock
{
public:
    SystemClock();
    ~SystemClock() override;

    double now() const override;
    Id schedule(double deadline, Callback callback) override;
    void cancel(Id id) override;

private:
    QElapsedTimer m_elapsed;
    QHash<Id, QTimer*> m_timers;
};

} // namespace pf
