#pragma once

#include "Classes/Filters/GMKernelPassFilter.h"

// The vignette's mask over the image's extent: 1 at the centre, 1 - "inputIntensity" at the corners.
class GMvignetteMaskFilter : public GMKernelPassFilter
{
public:
    explicit GMvignetteMaskFilter(const QString& className = QStringLiteral("GMvignetteMaskFilter"));
};
