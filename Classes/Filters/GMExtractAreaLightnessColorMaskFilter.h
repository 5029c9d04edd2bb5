#pragma once

#include "Classes/Filters/GMKernelPassFilter.h"

// A mask of the light ("inputMode" 0) or dark ("inputMode" 1) areas of a photo by their lightness,
// narrowed to the extremes by "inputIntensity" (0: the lightness itself).
class GMExtractAreaLightnessColorMaskFilter : public GMKernelPassFilter
{
public:
    explicit GMExtractAreaLightnessColorMaskFilter(
        const QString& className = QStringLiteral("GMExtractAreaLightnessColorMaskFilter"));
};
