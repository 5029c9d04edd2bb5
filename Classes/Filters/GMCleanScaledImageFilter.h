#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// Cleans a scaled image of blocks and noise with an edge-keeping average of 4 pixels around, read
// through a linear, edge-clamping sampler.
class GMCleanScaledImageFilter : public GMKernelFilter
{
public:
    explicit GMCleanScaledImageFilter(const QString& className = QStringLiteral("GMCleanScaledImageFilter"));
    pf::Image outputImage() const override;
};
