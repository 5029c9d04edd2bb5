#pragma once

#include "Classes/Filters/GMKernelPassFilter.h"

// Multiplies an image with itself (deeper mid tones), mixed over the image by "inputIntensity".
class GMMultiplyRGBFilter : public GMKernelPassFilter
{
public:
    explicit GMMultiplyRGBFilter(const QString& className = QStringLiteral("GMMultiplyRGBFilter"));
};
