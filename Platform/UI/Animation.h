#pragma once

#include "Platform/UI/AnimationTimingFunction.h"
#include "Platform/UI/WeakDelegate.h"

#include <QStringList>
#include <memory>
#include <optional>

namespace pf {

class AnimationDelegate;
struct LayerState;

// An animation of layer values over time. Adding one to a layer copies it, so one object may be added
// to several layers or added again after a change. Times are in seconds.
class Animation
{
public:
    // The duration of an animation that sets none, and of implicit animations by default.
    static constexpr double kDefaultDuration = 0.25;

    virtual ~Animation() = default;
    virtual std::shared_ptr<Animation> clone() const = 0;

    // Delay after the moment it is added to a layer (or, inside a group, after the group's start).
    double beginTime() const { return m_beginTime; }
    void setBeginTime(double seconds) { m_beginTime = seconds; }
    // One pass; 0 means kDefaultDuration.
    double duration() const { return m_duration; }
    void setDuration(double seconds) { m_duration = seconds; }
    // Passes to play: 0 or 1 plays once; fractions end part of the way; infinity repeats forever.
    double repeatCount() const { return m_repeatCount; }
    void setRepeatCount(double count) { m_repeatCount = count; }
    // Each pass plays forwards and then backwards.
    bool autoreverses() const { return m_autoreverses; }
    void setAutoreverses(bool autoreverses) { m_autoreverses = autoreverses; }
    // Unset: linear.
    const std::optional<AnimationTimingFunction>& timingFunction() const { return m_timingFunction; }
    void setTimingFunction(std::optional<AnimationTimingFunction> function) { m_timingFunction = function; }

    AnimationDelegate* delegate() const;
    void setDelegate(AnimationDelegate* delegate);

    double effectiveDuration() const;
    // From the start to the end of the last pass; infinity for an animation that repeats forever.
    double activeDuration() const;
    // How far one pass has come `elapsed` seconds after the start, with repetition, reversal and the
    // timing function applied; `elapsed` lies in [0, activeDuration()).
    double fractionAt(double elapsed) const;

    // The keys of the layer values it changes.
    virtual QStringList keyPaths() const = 0;
    // Writes its values for `elapsed` seconds after its start into `state`; `model` holds the layer's
    // own values, the destination of an animation that names none.
    virtual void apply(LayerState& state, const LayerState& model, double elapsed) const = 0;
    // Fills in what was left open, from the values on screen when it is added: an animation without a
    // start value starts from where the layer is seen.
    virtual void resolve(const LayerState& presentation) { (void)presentation; }

    void notifyStart() const;
    void notifyStop(bool finished) const;

protected:
    Animation() = default;
    Animation(const Animation&) = default;
    Animation& operator=(const Animation&) = default;

private:
    double m_beginTime = 0;
    double m_duration = 0;
    double m_repeatCount = 0;
    bool m_autoreverses = false;
    std::optional<AnimationTimingFunction> m_timingFunction;
    WeakDelegate<AnimationDelegate> m_delegate;
};

} // namespace pf
