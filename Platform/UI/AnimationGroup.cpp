#include "Platform/UI/AnimationGroup.h"

namespace pf {

AnimationGroup::AnimationGroup(const AnimationGroup& other) : Animation(other)
{
    setAnimations(other.m_animations);
}

std::shared_ptr<Animation> AnimationGroup::clone() const
{
    return std::make_shared<AnimationGroup>(*this);
}

void AnimationGroup::setAnimations(const std::vector<std::shared_ptr<Animation>>& animations)
{
    m_animations.clear();
    for (const auto& animation : animations)
        if (animation)
            m_animations.push_back(animation->clone());
}

QStringList AnimationGroup::keyPaths() const
{
    QStringList keys;
    for (const auto& animation : m_animations)
        for (const QString& key : animation->keyPaths())
            if (!keys.contains(key))
                keys.append(key);
    return keys;
}

void AnimationGroup::apply(LayerState& state, const LayerState& model, double elapsed) const
{
    // The group's own pacing maps its time onto its members' time.
    const double local = fractionAt(elapsed) * effectiveDuration();
    for (const auto& animation : m_animations) {
        const double memberElapsed = local - animation->beginTime();
        if (memberElapsed >= 0 && memberElapsed < animation->activeDuration())
            animation->apply(state, model, memberElapsed);
    }
}

void AnimationGroup::resolve(const LayerState& presentation)
{
    // Members that set no duration last as long as the group.
    for (const auto& animation : m_animations) {
        if (!(animation->duration() > 0))
            animation->setDuration(effectiveDuration());
        animation->resolve(presentation);
    }
}

} // namespace pf
