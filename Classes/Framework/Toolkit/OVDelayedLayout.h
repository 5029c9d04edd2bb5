#pragma once

#include <QPointer>
#include <functional>
#include <memory>

namespace pf {
class Timer;
}

// A layout that waits: the first request schedules the action `delay` seconds later on pf::Clock, and
// requests while one is pending do not restart the wait, so a burst of changes is laid out once, `delay`
// after it began. The action never runs once the owner is gone.
class OVDelayedLayout
{
public:
    OVDelayedLayout(double delay, std::function<void()> action, const QObject* owner = nullptr);
    ~OVDelayedLayout();
    OVDelayedLayout(const OVDelayedLayout&) = delete;
    OVDelayedLayout& operator=(const OVDelayedLayout&) = delete;

    void request();
    void cancel();
    bool isPending() const;
    double delay() const { return m_delay; }

private:
    double m_delay;
    std::function<void()> m_action;
    const QObject* m_owner;
    std::shared_ptr<pf::Timer> m_timer;
};
