#include "Platform/UI/BasicAnimation.h"

#include "Platform/UI/AnimationValue.h"
#include "Platform/UI/LayerState.h"

namespace pf {

std::shared_ptr<BasicAnimation> BasicAnimation::create(const QString& keyPath)
{
    return std::make_shared<BasicAnimation>(keyPath);
}

std::shared_ptr<Animation> BasicAnimation::clone() const
{
    return std::make_shared<BasicAnimation>(*this);
}

void BasicAnimation::resolve(const LayerState& presentation)
{
    if (m_from.isValid())
        m_start = m_from;
    else if (m_to.isValid() && m_by.isValid())
        m_start = AnimationValue::subtract(m_to, m_by);
    else
        m_start = presentation.value(keyPath());
    m_resolved = true;
}

void BasicAnimation::apply(LayerState& state, const LayerState& model, double elapsed) const
{
    const QVariant start = m_resolved ? m_start : (m_from.isValid() ? m_from : model.value(keyPath()));
    QVariant end;
    if (m_to.isValid())
        end = m_to;
    else if (m_by.isValid())
        end = AnimationValue::add(start, m_by);
    else
        end = model.value(keyPath());
    const double fraction = fractionAt(elapsed);
    if (keyPath() == QLatin1String("contents")) {
        // Images cross-fade: the end image shows through the start image as the fraction grows.
        state.contents = end.value<QImage>();
        state.fadeContents = start.value<QImage>();
        state.fadeFraction = fraction;
        return;
    }
    state.setValue(keyPath(), AnimationValue::interpolate(start, end, fraction));
}

} // namespace pf
