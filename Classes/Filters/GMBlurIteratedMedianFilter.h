#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// Smooths an image by running the 3 x 3 median filter "inputIntensity" times (at least once).
class GMBlurIteratedMedianFilter : public GMKernelFilter
{
public:
    // More passes than this are not made, whatever a document asks for: a 3 x 3 median settles long
    // before, and each pass is a full-size image.
    static constexpr int MaximumPasses = 100;

    explicit GMBlurIteratedMedianFilter(
        const QString& className = QStringLiteral("GMBlurIteratedMedianFilter"));
    pf::Image outputImage() const override;
};
