#pragma once

#include "Classes/Filters/GMKernelPassFilter.h"

// Lays the image over the background where a mask says, with an adjustable intensity: the mask's
// value weighs the blend pixel by pixel, so the image fades in across the mask's soft border.
class GMBlendAtBorderFilter : public GMKernelPassFilter
{
public:
    explicit GMBlendAtBorderFilter(const QString& className = QStringLiteral("GMBlendAtBorderFilter"));
};
