#include "Platform/UI/AnimationScheduler.h"

#include "Platform/Foundation/MainThread.h"
#include "Platform/UI/Clock.h"
#include "Platform/UI/Layer.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace pf {

AnimationScheduler& AnimationScheduler::shared()
{
    static AnimationScheduler scheduler;
    return scheduler;
}

double AnimationScheduler::now() const
{
    return Clock::current().now();
}

void AnimationScheduler::watch(const std::shared_ptr<Layer>& layer)
{
    if (std::none_of(m_layers.begin(), m_layers.end(),
                     [&](const std::weak_ptr<Layer>& w) { return w.lock() == layer; }))
        m_layers.push_back(layer);
    scheduleWakeUp();
}

bool AnimationScheduler::hasAnimations() const
{
    return std::any_of(m_layers.begin(), m_layers.end(), [](const std::weak_ptr<Layer>& weak) {
        const std::shared_ptr<Layer> layer = weak.lock();
        return layer && layer->hasAnimations();
    });
}

void AnimationScheduler::post(std::function<void()> notification)
{
    m_posted.push_back(std::move(notification));
    if (m_posted.size() == 1)
        runOnMain([] { AnimationScheduler::shared().deliverPosted(); });
}

void AnimationScheduler::deliverPosted()
{
    const std::vector<std::function<void()>> posted = std::move(m_posted);
    m_posted.clear();
    for (const auto& notify : posted)
        notify();
}

void AnimationScheduler::advance()
{
    if (m_advancing)
        return;
    deliverPosted();
    m_advancing = true;
    const double time = now();
    std::vector<std::function<void()>> notifications;
    // Layers may join while the notifications run, so walk a copy.
    const std::vector<std::weak_ptr<Layer>> layers = m_layers;
    for (const auto& weak : layers)
        if (const std::shared_ptr<Layer> layer = weak.lock())
            layer->advanceAnimations(time, notifications);
    std::erase_if(m_layers, [](const std::weak_ptr<Layer>& weak) {
        const std::shared_ptr<Layer> layer = weak.lock();
        return !layer || !layer->hasAnimations();
    });
    m_advancing = false;
    for (const auto& notify : notifications)
        notify();
    scheduleWakeUp();
}

void AnimationScheduler::scheduleWakeUp()
{
    double due = std::numeric_limits<double>::infinity();
    for (const auto& weak : m_layers)
        if (const std::shared_ptr<Layer> layer = weak.lock())
            due = std::min(due, layer->nextAnimationEvent());
    if (!std::isfinite(due))
        return;
    // Always schedule afresh: a clock that went away took its wake-up with it, and a new one may live at
    // the same address. Ids are unique across clocks, so cancelling a stale one is harmless.
    if (m_wakeId != 0 && Clock::isAlive(m_wakeClock))
        m_wakeClock->cancel(m_wakeId);
    Clock& clock = Clock::current();
    m_wakeClock = &clock;
    m_wakeId = clock.schedule(due, [] {
        AnimationScheduler& scheduler = AnimationScheduler::shared();
        scheduler.m_wakeId = 0;
        scheduler.advance();
    });
}

} // namespace pf
