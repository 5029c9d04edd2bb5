#pragma once

#include "Classes/Filters/GMKernelPassFilter.h"

// Lays the image over the background with an intensity, but only where the background is dark: its
// luminosity at most "inputThreshold".
class GMBlendOnDarkFilter : public GMKernelPassFilter
{
public:
    explicit GMBlendOnDarkFilter(const QString& className = QStringLiteral("GMBlendOnDarkFilter"));
};
