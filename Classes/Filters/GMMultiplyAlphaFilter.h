#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// Fades an image: its alpha (and so its premultiplied colour) multiplied by 1 - "inputIntensity" (0
// changes nothing).
class GMMultiplyAlphaFilter : public GMKernelFilter
{
public:
    explicit GMMultiplyAlphaFilter(const QString& className = QStringLiteral("GMMultiplyAlphaFilter"));
    pf::Image outputImage() const override;
};
