#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// The vignette's mask over the image's extent: 1 at the centre, 1 - "inputIntensity" at the corners.
class GMvignetteMaskFilter : public GMKernelFilter
{
public:
    explicit GMvignetteMaskFilter(const QString& className = QStringLiteral("GMvignetteMaskFilter"));
    pf::Image outputImage() const override;
};
