#pragma once

#include <functional>
#include <memory>
#include <vector>

namespace pf {

class Layer;

// Keeps time for layer animations and ends them: it starts and stops the animations that are due, tells
// their delegates, takes ended animations off their layers and lets the completion blocks of their
// transactions run. Host views call advance() on every frame; without one it wakes itself when the next
// animation is due. Main thread only.
class AnimationScheduler
{
public:
    static AnimationScheduler& shared();

    // Seconds on the animation clock.
    double now() const;
    // Replaces the clock (tests step time instead of waiting); an empty function restores the steady
    // clock of the process.
    void setTimeSource(std::function<double()> source);

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

    std::function<double()> m_timeSource;
    std::vector<std::weak_ptr<Layer>> m_layers;
    std::vector<std::function<void()>> m_posted;
    double m_wakeAt = -1;
    bool m_advancing = false;
};

} // namespace pf
