#pragma once

#include "Classes/Filters/GMKernelPassFilter.h"

// A per-channel mask of the light areas of a photo, narrowed to the lightest by "inputIntensity" (0: each
// channel itself).
class GMExtractLightAreasRGBFilter : public GMKernelPassFilter
{
public:
    explicit GMExtractLightAreasRGBFilter(
        const QString& className = QStringLiteral("GMExtractLightAreasRGBFilter"));
};
