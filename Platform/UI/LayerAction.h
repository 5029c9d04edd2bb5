#pragma once

#include <memory>

namespace pf {

class Animation;

// What a change of a layer value does, as a delegate or a layer subclass decides it per key: nothing
// decided (the next in line decides), no animation (the value changes at once), or this animation,
// added under the key (missing start values are taken from what was on screen before the change).
class LayerAction
{
public:
    static LayerAction notHandled() { return LayerAction(false, nullptr); }
    static LayerAction none() { return LayerAction(true, nullptr); }
    static LayerAction animate(std::shared_ptr<Animation> animation)
    {
        return LayerAction(true, std::move(animation));
    }

    bool isHandled() const { return m_handled; }
    const std::shared_ptr<Animation>& animation() const { return m_animation; }

private:
    LayerAction(bool handled, std::shared_ptr<Animation> animation)
        : m_handled(handled), m_animation(std::move(animation))
    {}
    bool m_handled;
    std::shared_ptr<Animation> m_animation;
};

} // namespace pf
