#include "Platform/UI/Timer.h"

#include <QObject>
#include <algorithm>
#include <cmath>

namespace pf {

namespace {

constexpr double minimumRepeatInterval = 0.0001;

} // namespace

Timer::Timer(double interval, bool repeats, Block block, const QObject* owner)
    : m_interval(repeats ? std::max(interval, minimumRepeatInterval) : std::max(interval, 0.0)),
      m_repeats(repeats), m_block(std::move(block)), m_hasOwner(owner != nullptr), m_owner(owner)
{}

std::shared_ptr<Timer> Timer::scheduled(double interval, bool repeats, Block block, const QObject* owner)
{
    std::shared_ptr<Timer> timer(new Timer(interval, repeats, std::move(block), owner));
    if (owner) {
        std::weak_ptr<Timer> weak = timer;
        timer->m_ownerConnection = QObject::connect(owner, &QObject::destroyed, [weak] {
            if (auto strong = weak.lock())
                strong->invalidate();
        });
    }
    timer->m_fireDate = Clock::current().now() + timer->m_interval;
    timer->arm();
    return timer;
}

std::shared_ptr<Timer> Timer::afterThisEvent(std::function<void()> block, const QObject* owner)
{
    return scheduled(
        0, false, [block = std::move(block)](Timer&) { block(); }, owner);
}

Timer::~Timer()
{
    QObject::disconnect(m_ownerConnection);
}

// The clock's pending callback holds the timer, so a scheduled timer lives without any handle.
void Timer::arm()
{
    disarm();
    m_clock = &Clock::current();
    m_clockSerial = m_clock->serial();
    m_scheduleId = m_clock->schedule(m_fireDate, [self = shared_from_this()] { self->timeout(); });
}

void Timer::disarm()
{
    if (m_scheduleId && Clock::isAlive(m_clock, m_clockSerial))
        m_clock->cancel(m_scheduleId);
    m_scheduleId = 0;
}

bool Timer::isValid() const
{
    return m_valid && (m_scheduleId == 0 || Clock::isAlive(m_clock, m_clockSerial));
}

void Timer::invalidate()
{
    if (!m_valid)
        return;
    auto self = shared_from_this(); // disarming may drop the last other reference
    m_valid = false;
    QObject::disconnect(m_ownerConnection);
    disarm();
    m_block = nullptr;
}

void Timer::timeout()
{
    m_scheduleId = 0;
    auto self = shared_from_this(); // stay alive through the block even if it drops every handle
    if (!m_valid || (m_hasOwner && !m_owner)) {
        invalidate();
        return;
    }
    if (m_repeats) {
        // The next firing follows the schedule, not the (possibly late) moment this one ran.
        m_fireDate += m_interval;
        const double now = Clock::current().now();
        if (m_fireDate <= now)
            m_fireDate = now + m_interval - std::fmod(now - m_fireDate, m_interval);
        arm();
    }
    Block block = m_block; // the block may invalidate the timer, which releases m_block
    if (block)
        block(*this);
    if (!m_repeats)
        invalidate();
}

void Timer::fire()
{
    if (!m_valid)
        return;
    auto self = shared_from_this();
    Block block = m_block;
    if (block)
        block(*this);
    if (!m_repeats)
        invalidate();
}

void Timer::setFireDate(double date)
{
    if (!m_valid)
        return;
    m_fireDate = date;
    arm();
}

} // namespace pf
