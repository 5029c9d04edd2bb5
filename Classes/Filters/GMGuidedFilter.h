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

protected:
    // For filters built on the fit: their own kernel slots follow the guided filter's.
    GMGuidedFilter(const QString& className, const std::vector<Slot>& ownSlots);
    static constexpr size_t GuidedSlots = 4;

    // The window means of the fit's coefficients a and b over the image (straight colour, full
    // coverage), at the image's scale; nulls when a kernel is missing.
    struct Fit
    {
        pf::Image a;
        pf::Image b;
    };
    // With a mask (its green), each pixel counts in the windows as far as the mask marks it, and for
    // least where it marks nothing: a fit over part of the picture (the skin) that what lies beside it
    // does not pull, and that a window with none of the part in it still has.
    Fit fit(const pf::Image& image, double radius, double epsilon, const pf::Image& mask = pf::Image(),
            double least = 0.02) const;
    // The output from the fit over the image (of an area, the radius positive): the fit applied.
    virtual pf::Image outputForFit(const pf::Image& image, const Fit& coefficients) const;
};
