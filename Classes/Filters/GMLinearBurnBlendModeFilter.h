#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// Linear burn of the image onto the background, mixed by an intensity; defined where the image is.
class GMLinearBurnBlendModeFilter : public GMKernelFilter
{
public:
    explicit GMLinearBurnBlendModeFilter(
        const QString& className = QStringLiteral("GMLinearBurnBlendModeFilter"));
    pf::Image outputImage() const override;
};
