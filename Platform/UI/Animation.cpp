#include "Platform/UI/Animation.h"

#include "Platform/UI/AnimationDelegate.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace pf {

AnimationDelegate* Animation::delegate() const
{
    return m_delegate.get();
}

void Animation::setDelegate(AnimationDelegate* delegate)
{
    m_delegate.set(delegate);
}

double Animation::effectiveDuration() const
{
    return m_duration > 0 && std::isfinite(m_duration) ? m_duration : kDefaultDuration;
}

double Animation::activeDuration() const
{
    const double passes = m_repeatCount > 0 ? m_repeatCount : 1;
    if (std::isinf(passes))
        return std::numeric_limits<double>::infinity();
    return effectiveDuration() * (m_autoreverses ? 2 : 1) * passes;
}

double Animation::fractionAt(double elapsed) const
{
    const double duration = effectiveDuration();
    const double cycle = duration * (m_autoreverses ? 2 : 1);
    double local = std::fmod(std::max(0.0, elapsed), cycle);
    if (m_autoreverses && local > duration)
        local = cycle - local;
    const double fraction = std::clamp(local / duration, 0.0, 1.0);
    return m_timingFunction ? m_timingFunction->valueAt(fraction) : fraction;
}

void Animation::notifyStart() const
{
    if (AnimationDelegate* d = delegate())
        d->animationDidStart(*this);
}

void Animation::notifyStop(bool finished) const
{
    if (AnimationDelegate* d = delegate())
        d->animationDidStop(*this, finished);
}

} // namespace pf
