#pragma once

#include <QtGlobal>
#include <functional>
#include <memory>
#include <vector>

namespace pf {

class Clock;
class Layer;

// Keeps time for layer animations and ends them: it starts and stops the animations that are due, tells
// their delegates, takes ended animations off their layers and lets the completion blocks of their
// transactions run. Time is the current pf::Clock's (tests step it). Host views call advance() on every
// frame; without one the scheduler wakes itself on the clock when the next animation is due. Main
// thread only.
class AnimationScheduler
{
public:
    static AnimationScheduler& shared();

    // Seconds on the current clock.
    double now() const;

    // Starts and ends whatever is due by now().
    void advance();
    // True while any layer has an animation that has not ended.
    bool hasAnimations() const;

    // A layer gained animations.
    void watch(const std::shared_ptr<Layer>& layer);
    // Tells a delegate something on the main loop, in order with everything else it hears: pending
    // notifications are delivered before advance() starts or stops anything.
    void post(std::function<void()> notification);

private:
    AnimationScheduler() = default;
    void scheduleWakeUp();
    void deliverPosted();

    std::vector<std::weak_ptr<Layer>> m_layers;
    std::vector<std::function<void()>> m_posted;
    // The pending wake-up: on which clock, and its id there.
    Clock* m_wakeClock = nullptr;
    quint64 m_wakeId = 0;
    bool m_advancing = false;
};

} // namespace pf
