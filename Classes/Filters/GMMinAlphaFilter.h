#pragma once

#include "Classes/Filters/GMKernelPassFilter.h"

// Raises an image's alpha to at least "inputIntensity", keeping its colour (0 changes nothing).
class GMMinAlphaFilter : public GMKernelPassFilter
{
public:
    explicit GMMinAlphaFilter(const QString& className = QStringLiteral("GMMinAlphaFilter"));
};
