#include "Platform/UI/KeyframeAnimation.h"

#include "Platform/Foundation/Log.h"
#include "Platform/UI/AnimationValue.h"
#include "Platform/UI/LayerState.h"

#include <algorithm>
#include <cmath>

namespace pf {

std::shared_ptr<KeyframeAnimation> KeyframeAnimation::create(const QString& keyPath)
{
    return std::make_shared<KeyframeAnimation>(keyPath);
}

std::shared_ptr<Animation> KeyframeAnimation::clone() const
{
    return std::make_shared<KeyframeAnimation>(*this);
}

Point KeyframeAnimation::Segment::at(double t) const
{
    const double u = 1 - t;
    const double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
    return {a * p0.x + b * p1.x + c * p2.x + d * p3.x, a * p0.y + b * p1.y + c * p2.y + d * p3.y};
}

void KeyframeAnimation::setPath(const QPainterPath& path)
{
    m_path = path;
    m_segments.clear();
    Point current;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        const Point p(e.x, e.y);
        if (e.type == QPainterPath::MoveToElement) {
            // A new subpath begins with a jump, which the animation crosses as a straight line.
            if (i > 0)
                m_segments.push_back({current, current, p, p});
            current = p;
        } else if (e.type == QPainterPath::LineToElement) {
            m_segments.push_back({current, current, p, p});
            current = p;
        } else if (e.type == QPainterPath::CurveToElement && i + 2 < path.elementCount()) {
            const QPainterPath::Element c2 = path.elementAt(i + 1), end = path.elementAt(i + 2);
            m_segments.push_back({current, p, Point(c2.x, c2.y), Point(end.x, end.y)});
            current = Point(end.x, end.y);
            i += 2;
        }
    }
}

int KeyframeAnimation::keyCount() const
{
    return m_segments.empty() ? static_cast<int>(m_values.size()) : static_cast<int>(m_segments.size()) + 1;
}

void KeyframeAnimation::resolve(const LayerState&)
{
    const int count = keyCount();
    m_keyTimesUsable = m_keyTimes.isEmpty();
    if (!m_keyTimes.isEmpty()) {
        const bool sizeFits = m_keyTimes.size() == count;
        const bool ordered = std::is_sorted(m_keyTimes.begin(), m_keyTimes.end()) &&
                             m_keyTimes.front() >= 0 && m_keyTimes.back() <= 1;
        m_keyTimesUsable = sizeFits && ordered;
        if (!m_keyTimesUsable)
            warning(QStringLiteral("keyframe animation of \"%1\": %2 key times for %3 keys (or not ascending "
                                   "within 0...1); the keys are spaced evenly instead")
                        .arg(keyPath())
                        .arg(m_keyTimes.size())
                        .arg(count));
    }
}

double KeyframeAnimation::keyTime(int index, int count) const
{
    if (!m_keyTimes.isEmpty() && m_keyTimesUsable && m_keyTimes.size() == count)
        return m_keyTimes[index];
    if (m_mode == CalculationMode::Discrete)
        return static_cast<double>(index) / count;
    return count > 1 ? static_cast<double>(index) / (count - 1) : 0;
}

QVariant KeyframeAnimation::valueAt(double fraction) const
{
    const int count = keyCount();
    if (count == 0)
        return {};
    auto keyValue = [&](int i, double t) -> QVariant {
        // Value along segment i (between key i and i + 1) at parameter t.
        if (!m_segments.empty())
            return QVariant::fromValue(m_segments[static_cast<size_t>(i)].at(t));
        return AnimationValue::interpolate(m_values[i], m_values[i + 1], t);
    };
    auto keyAt = [&](int i) -> QVariant {
        if (!m_segments.empty())
            return QVariant::fromValue(i == 0 ? m_segments.front().p0
                                              : m_segments[static_cast<size_t>(i - 1)].p3);
        return m_values[i];
    };
    if (m_mode == CalculationMode::Discrete) {
        int index = 0;
        for (int i = 0; i < count; ++i)
            if (keyTime(i, count) <= fraction)
                index = i;
        return keyAt(index);
    }
    if (count == 1 || fraction <= keyTime(0, count))
        return keyAt(0);
    for (int i = 0; i + 1 < count; ++i) {
        const double start = keyTime(i, count), end = keyTime(i + 1, count);
        if (fraction > end && i + 2 < count)
            continue;
        double t = end > start ? std::clamp((fraction - start) / (end - start), 0.0, 1.0) : 1.0;
        if (i < m_timingFunctions.size())
            t = m_timingFunctions[i].valueAt(t);
        return keyValue(i, t);
    }
    return keyAt(count - 1);
}

void KeyframeAnimation::apply(LayerState& state, const LayerState&, double elapsed) const
{
    const QVariant value = valueAt(fractionAt(elapsed));
    if (value.isValid())
        state.setValue(keyPath(), value);
}

} // namespace pf
