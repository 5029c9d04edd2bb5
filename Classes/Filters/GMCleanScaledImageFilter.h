#pragma once

#include "Classes/Filters/GMKernelPassFilter.h"

// Cleans a scaled image of blocks and noise with an edge-keeping average of 4 pixels around, read
// through a linear, edge-clamping sampler.
class GMCleanScaledImageFilter : public GMKernelPassFilter
{
public:
    explicit GMCleanScaledImageFilter(const QString& className = QStringLiteral("GMCleanScaledImageFilter"));
};
