#pragma once

#include <memory>

namespace pf {

class Animation;

// Hears when an animation on a layer starts and stops. Animations refer to their delegate without
// owning it; a delegate that goes away first is simply no longer called.
class AnimationDelegate
{
public:
    AnimationDelegate() : m_token(std::make_shared<AnimationDelegate*>(this)) {}
    virtual ~AnimationDelegate() { *m_token = nullptr; }
    AnimationDelegate(const AnimationDelegate&) = delete;
    AnimationDelegate& operator=(const AnimationDelegate&) = delete;

    virtual void animationDidStart(const Animation& /*animation*/) {}
    // `finished` is false when the animation was removed (or replaced under its key) before its end.
    virtual void animationDidStop(const Animation& /*animation*/, bool /*finished*/) {}

    // A handle that reads null once the delegate is destroyed.
    std::weak_ptr<AnimationDelegate*> token() const { return m_token; }

private:
    std::shared_ptr<AnimationDelegate*> m_token;
};

} // namespace pf
