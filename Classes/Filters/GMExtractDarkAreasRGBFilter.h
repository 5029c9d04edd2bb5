#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// A per-channel mask of the dark areas of a photo, narrowed to the darkest by "inputIntensity" (0: each
// channel's complement).
class GMExtractDarkAreasRGBFilter : public GMKernelFilter
{
public:
    explicit GMExtractDarkAreasRGBFilter(
        const QString& className = QStringLiteral("GMExtractDarkAreasRGBFilter"));
    pf::Image outputImage() const override;
};
