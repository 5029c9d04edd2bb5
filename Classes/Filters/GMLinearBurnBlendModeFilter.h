#pragma once

#include "Classes/Filters/GMKernelPassFilter.h"

// Linear burn of the image onto the background, mixed by an intensity; defined where the image is.
class GMLinearBurnBlendModeFilter : public GMKernelPassFilter
{
public:
    explicit GMLinearBurnBlendModeFilter(
        const QString& className = QStringLiteral("GMLinearBurnBlendModeFilter"));
};
