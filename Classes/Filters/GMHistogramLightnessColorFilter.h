#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// The lightest colour of a histogram image ("inputImage", made by GMHistogramImage) among the colour
// bins holding at least "inputCountMin" of the pixels, at every pixel of the histogram's domain.
class GMHistogramLightnessColorFilter : public GMKernelFilter
{
public:
    explicit GMHistogramLightnessColorFilter(
        const QString& className = QStringLiteral("GMHistogramLightnessColorFilter"));
    pf::Image outputImage() const override;
};
