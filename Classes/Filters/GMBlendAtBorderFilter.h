#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// Lays the image over the background where a mask says, with an adjustable intensity: the mask's
// value weighs the blend pixel by pixel, so the image fades in across the mask's soft border.
class GMBlendAtBorderFilter : public GMKernelFilter
{
public:
    explicit GMBlendAtBorderFilter(const QString& className = QStringLiteral("GMBlendAtBorderFilter"));
    pf::Image outputImage() const override;
};
