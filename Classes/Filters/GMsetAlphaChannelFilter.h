#pragma once

#include "Classes/Filters/GMKernelPassFilter.h"

// Sets an image's alpha to "inputIntensity", keeping its colour.
class GMsetAlphaChannelFilter : public GMKernelPassFilter
{
public:
    explicit GMsetAlphaChannelFilter(const QString& className = QStringLiteral("GMsetAlphaChannelFilter"));
};
