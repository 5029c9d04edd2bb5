#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// Multiplies an image with itself (deeper mid tones), mixed over the image by "inputIntensity".
class GMMultiplyRGBFilter : public GMKernelFilter
{
public:
    explicit GMMultiplyRGBFilter(const QString& className = QStringLiteral("GMMultiplyRGBFilter"));
    pf::Image outputImage() const override;
};
