#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// Edge-preserving smoothing that scales with the picture: a guided filter whose guide is the image's
// own luma. "inputRadius" is the standard deviation of the Gaussian window in pixels; "inputEpsilon"
// is the variance (in squared working values) below which variations are smoothed away, while edges
// of a larger contrast stay. Large windows are worked out on a reduced copy and their coefficients
// read back smoothly, so the cost hardly grows with the radius. The output has the image's extent.
class GMGuidedFilter : public GMKernelFilter
{
public:
    explicit GMGuidedFilter(const QString& className = QStringLiteral("GMGuidedFilter"));
    pf::Image outputImage() const override;

    // The reduction the statistics are worked out at for a window of that radius (1: none).
    static int reductionForRadius(double radius);
};
