#pragma once

#include "Classes/Filters/GMKernelPassFilter.h"

// A per-channel mask of the dark areas of a photo, narrowed to the darkest by "inputIntensity" (0: each
// channel's complement).
class GMExtractDarkAreasRGBFilter : public GMKernelPassFilter
{
public:
    explicit GMExtractDarkAreasRGBFilter(
        const QString& className = QStringLiteral("GMExtractDarkAreasRGBFilter"));
};
