#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// Sets an image's alpha to "inputIntensity", keeping its colour.
class GMsetAlphaChannelFilter : public GMKernelFilter
{
public:
    explicit GMsetAlphaChannelFilter(const QString& className = QStringLiteral("GMsetAlphaChannelFilter"));
    pf::Image outputImage() const override;
};
