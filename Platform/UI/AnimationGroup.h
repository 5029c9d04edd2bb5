#pragma once

#include "Platform/UI/Animation.h"

#include <vector>

namespace pf {

// Animations played together on one layer. Each member's begin time counts from the group's start, a
// member without a duration of its own lasts as long as the group, and members are cut off at the
// group's end.
class AnimationGroup : public Animation
{
public:
    AnimationGroup() = default;
    AnimationGroup(const AnimationGroup& other);
    static std::shared_ptr<AnimationGroup> create() { return std::make_shared<AnimationGroup>(); }

    std::shared_ptr<Animation> clone() const override;

    const std::vector<std::shared_ptr<Animation>>& animations() const { return m_animations; }
    // Copies each member.
    void setAnimations(const std::vector<std::shared_ptr<Animation>>& animations);

    QStringList keyPaths() const override;
    void apply(LayerState& state, const LayerState& model, double elapsed) const override;
    void resolve(const LayerState& presentation) override;

private:
    std::vector<std::shared_ptr<Animation>> m_animations;
};

} // namespace pf
