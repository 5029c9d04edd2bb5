#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// A fully transparent image of the rectangle in "inputSize" (x, y, width, height).
class GMAlphaBackgroundFilter : public GMKernelFilter
{
public:
    explicit GMAlphaBackgroundFilter(const QString& className = QStringLiteral("GMAlphaBackgroundFilter"));
    pf::Image outputImage() const override;
};
