#include "Classes/Framework/Toolkit/ScrollViewORVExtension.h"

#include "Platform/UI/View.h"
#include "Platform/UI/ViewAnimator.h"

#include <cmath>

namespace ScrollViewORVExtension {

namespace {

enum class Axis
{
    Horizontal,
    Vertical,
};

// The new origin of one axis; `f0`..`f1` the frame's extent, `v0`..`v1` the visible one.
double scrolledAxis(double f0, double f1, double v0, double v1, bool topLeftVisible, Axis axis)
{
    // A frame without a finite extent cannot be shown: the axis stays.
    if (!std::isfinite(f0) || !std::isfinite(f1))
        return v0;
    if ((f0 >= v0 && f1 <= v1) || (v0 >= f0 && v1 <= f1))
        return v0;
    const double visibleLength = v1 - v0;
    const bool fits = f1 - f0 <= visibleLength;
    const double lowEdge = f0, highEdge = f1 - visibleLength;
    if (f0 > v0) {
        if (axis == Axis::Horizontal)
            return topLeftVisible || !fits ? lowEdge : highEdge;
        return topLeftVisible || fits ? highEdge : lowEdge;
    }
    return fits ? lowEdge : highEdge;
}

} // namespace

pf::Point scrolledOrigin(const pf::Rect& frame, const pf::Rect& visible, bool topLeftVisible)
{
    const pf::Rect f = frame.standardized(), v = visible.standardized();
    return pf::Point(scrolledAxis(f.minX(), f.maxX(), v.minX(), v.maxX(), topLeftVisible, Axis::Horizontal),
                     scrolledAxis(f.minY(), f.maxY(), v.minY(), v.maxY(), topLeftVisible, Axis::Vertical));
}

void scrollShowingFrame(pf::View& clipView, const pf::Rect& frame, bool topLeftVisible, bool useAnimator,
                        const std::function<void()>& reflectScrolledClipView)
{
    const pf::Point origin = scrolledOrigin(frame, clipView.bounds(), topLeftVisible);
    if (useAnimator)
        pf::ViewAnimator::animateBoundsOrigin(&clipView, origin);
    else
        clipView.setBoundsOrigin(origin);
    if (reflectScrolledClipView)
        reflectScrolledClipView();
}

} // namespace ScrollViewORVExtension
