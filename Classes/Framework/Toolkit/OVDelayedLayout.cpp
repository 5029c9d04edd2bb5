#include "Classes/Framework/Toolkit/OVDelayedLayout.h"

#include "Platform/UI/Timer.h"

OVDelayedLayout::OVDelayedLayout(double delay, std::function<void()> action, const QObject* owner)
    : m_delay(delay), m_action(std::move(action)), m_owner(owner)
{}

OVDelayedLayout::~OVDelayedLayout()
{
    cancel();
}

void OVDelayedLayout::request()
{
    if (isPending())
        return;
    m_timer = pf::Timer::scheduled(
        m_delay, false,
        [this](pf::Timer&) {
            m_timer.reset();
            // A copy runs: the action may delete the owner, and this with it.
            if (const std::function<void()> action = m_action)
                action();
        },
        m_owner);
}

void OVDelayedLayout::cancel()
{
    if (m_timer)
        m_timer->invalidate();
    m_timer.reset();
}

bool OVDelayedLayout::isPending() const
{
    return m_timer && m_timer->isValid();
}
