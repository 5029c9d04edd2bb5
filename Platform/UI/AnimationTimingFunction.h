#pragma once

#include <QString>

namespace pf {

// The pacing of an animation: a cubic Bezier curve from (0, 0) to (1, 1) through two control points,
// mapping elapsed time (x) to progress (y).
class AnimationTimingFunction
{
public:
    AnimationTimingFunction() = default; // linear
    AnimationTimingFunction(double c1x, double c1y, double c2x, double c2y);

    static AnimationTimingFunction linear() { return {}; }
    static AnimationTimingFunction easeIn() { return {0.42, 0, 1, 1}; }
    static AnimationTimingFunction easeOut() { return {0, 0, 0.58, 1}; }
    static AnimationTimingFunction easeInEaseOut() { return {0.42, 0, 0.58, 1}; }
    // By name: "linear", "easeIn", "easeOut", "easeInEaseOut"; any other name gives linear.
    static AnimationTimingFunction named(const QString& name);

    // Progress at time fraction x in [0, 1] (clamped).
    double valueAt(double x) const;

    bool operator==(const AnimationTimingFunction&) const = default;

private:
    double m_c1x = 0, m_c1y = 0, m_c2x = 1, m_c2y = 1;
};

} // namespace pf
