#pragma once

#include "Platform/UI/Clock.h"

#include <QPointer>
#include <functional>
#include <memory>

class QObject;

namespace pf {

// A one-shot or repeating timer on the current Clock, on the main thread.
//
// A timer may have an owner (a view, a window, any QObject): the timer is invalidated when its owner is
// destroyed, so its block never runs against a destroyed object. The schedule itself keeps the timer
// alive until it is invalidated (or a one-shot timer has fired), so callers need keep a handle only to
// invalidate it; a handle outliving the timer is safe (isValid() answers false).
class Timer : public std::enable_shared_from_this<Timer>
{
public:
    using Block = std::function<void(Timer&)>;

    // Schedules a timer that first fires `interval` seconds from now (at least 0.1 ms apart when
    // repeating) and, when `repeats`, every `interval` after its previous scheduled time.
    static std::shared_ptr<Timer> scheduled(double interval, bool repeats, Block block,
                                            const QObject* owner = nullptr);
    // Runs `block` at the next turn of the event loop, after the event being handled; nothing runs when
    // `owner` is gone by then. The returned timer may be invalidated to cancel it.
    static std::shared_ptr<Timer> afterThisEvent(std::function<void()> block, const QObject* owner = nullptr);

    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    // Stops the timer for good; callable from its own block. Releases the block.
    void invalidate();
    // Valid until invalidated, fired (one-shot) or dropped with the clock it was scheduled on.
    bool isValid() const;
    // Runs the block now; a one-shot timer is then invalidated, a repeating one keeps its schedule.
    void fire();

    double interval() const { return m_interval; }
    bool repeats() const { return m_repeats; }
    // The time (on the current clock) of the next firing; meaningless once invalid.
    double fireDate() const { return m_fireDate; }
    // Moves the next firing, keeping the interval.
    void setFireDate(double date);

private:
    Timer(double interval, bool repeats, Block block, const QObject* owner);
    void arm();
    void disarm();
    void timeout();

    double m_interval;
    bool m_repeats;
    Block m_block;
    bool m_valid = true;
    bool m_hasOwner;
    QPointer<const QObject> m_owner;
    QMetaObject::Connection m_ownerConnection;
    Clock* m_clock = nullptr;
    Clock::Id m_clockSerial = 0;
    Clock::Id m_scheduleId = 0;
    double m_fireDate = 0;
};

} // namespace pf
