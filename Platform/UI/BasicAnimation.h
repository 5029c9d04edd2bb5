#pragma once

#include "Platform/UI/PropertyAnimation.h"

#include <QVariant>

namespace pf {

// From one value to another. Any of the three may be left out: without "from" it starts where the layer
// is seen when it is added; without "to" (and "by") it ends at the layer's own value, followed live;
// "by" is added to the start (or taken from the end).
class BasicAnimation : public PropertyAnimation
{
public:
    explicit BasicAnimation(const QString& keyPath = QString()) : PropertyAnimation(keyPath) {}
    static std::shared_ptr<BasicAnimation> create(const QString& keyPath);

    std::shared_ptr<Animation> clone() const override;

    const QVariant& fromValue() const { return m_from; }
    void setFromValue(const QVariant& value) { m_from = value; }
    const QVariant& toValue() const { return m_to; }
    void setToValue(const QVariant& value) { m_to = value; }
    const QVariant& byValue() const { return m_by; }
    void setByValue(const QVariant& value) { m_by = value; }

    void apply(LayerState& state, const LayerState& model, double elapsed) const override;
    void resolve(const LayerState& presentation) override;

private:
    QVariant m_from, m_to, m_by;
    QVariant m_start; // the resolved start value
    bool m_resolved = false;
};

} // namespace pf
