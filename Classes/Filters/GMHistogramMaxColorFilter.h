#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// The dominant colour of a histogram image ("inputImage", made by GMHistogramImage): the mean colour
// of its most populated colour bin, at every pixel of the histogram's domain.
class GMHistogramMaxColorFilter : public GMKernelFilter
{
public:
    explicit GMHistogramMaxColorFilter(
        const QString& className = QStringLiteral("GMHistogramMaxColorFilter"));
    pf::Image outputImage() const override;
};
