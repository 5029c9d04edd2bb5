#include "Platform/UI/SystemClock.h"

#include <QCoreApplication>
#include <QTimer>
#include <cmath>

namespace pf {

SystemClock::SystemClock()
{
    m_elapsed.start();
}

// Pending timers are children of the application object, which deletes them.
SystemClock::~SystemClock() = default;

double SystemClock::now() const
{
    return double(m_elapsed.nsecsElapsed()) * 1e-9;
}

Clock::Id SystemClock::schedule(double deadline, Callback callback)
{
    const Id id = makeId();
    auto* timer = new QTimer(QCoreApplication::instance());
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer, &QTimer::timeout, timer,
                     [this, id, timer, deadline, callback = std::move(callback)] {
                         // A timer may fire a little early by the millisecond rounding; wait for the rest.
                         const double remaining = deadline - now();
                         if (remaining > 0) {
                             timer->start(int(std::ceil(remaining * 1000)));
                             return;
                         }
                         m_timers.remove(id);
                         timer->deleteLater();
                         callback();
                     });
    m_timers.insert(id, timer);
    const double delay = std::max(0.0, deadline - now());
    timer->start(int(std::min(std::ceil(delay * 1000), 2e9)));
    return id;
}

void SystemClock::cancel(Id id)
{
    if (QTimer* timer = m_timers.take(id)) {
        timer->stop();
        timer->deleteLater();
    }
}

} // namespace pf
