#pragma once

#include "Platform/Foundation/Point.h"
#include "Platform/UI/PropertyAnimation.h"

#include <QList>
#include <QPainterPath>
#include <QVariantList>
#include <vector>

namespace pf {

// Through a list of values, or (for a point value such as "position") along a path of line and cubic
// segments. Key times place the values (or the path's vertices, its start included) on the pass as
// fractions from 0 to 1; without them the values are spaced evenly. A timing function per segment paces
// each segment.
class KeyframeAnimation : public PropertyAnimation
{
public:
    enum class CalculationMode
    {
        Linear,   // interpolated between neighbouring values
        Discrete, // each value holds until the next key time
    };

    explicit KeyframeAnimation(const QString& keyPath = QString()) : PropertyAnimation(keyPath) {}
    static std::shared_ptr<KeyframeAnimation> create(const QString& keyPath);

    std::shared_ptr<Animation> clone() const override;

    const QVariantList& values() const { return m_values; }
    void setValues(const QVariantList& values) { m_values = values; }
    // In y-up coordinates of the layer's superlayer; it takes precedence over the values.
    const QPainterPath& path() const { return m_path; }
    void setPath(const QPainterPath& path);
    const QList<double>& keyTimes() const { return m_keyTimes; }
    void setKeyTimes(const QList<double>& keyTimes) { m_keyTimes = keyTimes; }
    const QList<AnimationTimingFunction>& timingFunctions() const { return m_timingFunctions; }
    void setTimingFunctions(const QList<AnimationTimingFunction>& functions)
    {
        m_timingFunctions = functions;
    }
    CalculationMode calculationMode() const { return m_mode; }
    void setCalculationMode(CalculationMode mode) { m_mode = mode; }

    void apply(LayerState& state, const LayerState& model, double elapsed) const override;
    void resolve(const LayerState& presentation) override;

private:
    struct Segment
    {
        Point p0, p1, p2, p3; // a line has p1 = p0 and p2 = p3
        Point at(double t) const;
    };

    int keyCount() const;
    // Key time of key i: the given one when the list fits, else evenly spaced.
    double keyTime(int index, int count) const;
    QVariant valueAt(double fraction) const;

    QVariantList m_values;
    QPainterPath m_path;
    std::vector<Segment> m_segments;
    QList<double> m_keyTimes;
    QList<AnimationTimingFunction> m_timingFunctions;
    CalculationMode m_mode = CalculationMode::Linear;
    bool m_keyTimesUsable = true;
};

} // namespace pf
