#pragma once

#include "Classes/Filters/GMKernelPassFilter.h"

// Combines image and background through a hard mask: the image where the mask is at least one half,
// the background elsewhere, with no feathering.
class GMBlendWithMaskHardFilter : public GMKernelPassFilter
{
public:
    explicit GMBlendWithMaskHardFilter(
        const QString& className = QStringLiteral("GMBlendWithMaskHardFilter"));
};
