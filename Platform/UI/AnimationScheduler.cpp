#include "Platform/UI/AnimationScheduler.h"

#include "Platform/Foundation/MainThread.h"
#include "Platform/UI/Layer.h"

#include <QElapsedTimer>
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
    if (m_timeSource)
        return m_timeSource();
    static QElapsedTimer timer;
    if (!timer.isValid())
        timer.start();
    return static_cast<double>(timer.nsecsElapsed()) * 1e-9;
}

void AnimationScheduler::setTimeSource(std::function<double()> source)
{
    m_timeSource = std::move(source);
    m_wakeAt = -1;
}

void AnimationScheduler::watch(const std::shared_ptr<Layer>& layer)
{
    for (const auto& weak : m_layers)
        if (weak.lock() == layer)
            return;
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
    if (m_wakeAt >= 0 && m_wakeAt <= due)
        return; // an earlier wake-up is already on its way
    m_wakeAt = due;
    runOnMainAfter(std::max(0.0, due - now()), [] {
        AnimationScheduler& scheduler = AnimationScheduler::shared();
        scheduler.m_wakeAt = -1;
        scheduler.advance();
    });
}

} // namespace pf
