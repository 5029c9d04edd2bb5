#pragma once

#include "Classes/Filters/GMKernelPassFilter.h"

// Fades an image: its alpha (and so its premultiplied colour) multiplied by 1 - "inputIntensity" (0
// changes nothing).
class GMMultiplyAlphaFilter : public GMKernelPassFilter
{
public:
    explicit GMMultiplyAlphaFilter(const QString& className = QStringLiteral("GMMultiplyAlphaFilter"));
};
