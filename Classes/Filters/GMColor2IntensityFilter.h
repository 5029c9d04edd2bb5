#pragma once

#include "Classes/Filters/GMKernelPassFilter.h"

// Turns a colour image into an intensity image (the intensity in the colour channels, as masks carry it).
class GMColor2IntensityFilter : public GMKernelPassFilter
{
public:
    explicit GMColor2IntensityFilter(const QString& className = QStringLiteral("GMColor2IntensityFilter"));
};
