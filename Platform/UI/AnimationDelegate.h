#pragma once

#include "Platform/UI/DelegateToken.h"

namespace pf {

class Animation;

// Hears when an animation on a layer starts and stops. Animations refer to their delegate without
// owning it; a delegate that goes away first is simply no longer called.
class AnimationDelegate : public DelegateToken<AnimationDelegate>
{
public:
    virtual ~AnimationDelegate() = default;

    virtual void animationDidStart(const Animation& /*animation*/) {}
    // `finished` is false when the animation was removed (or replaced under its key) before its end.
    virtual void animationDidStop(const Animation& /*animation*/, bool /*finished*/) {}
};

} // namespace pf
