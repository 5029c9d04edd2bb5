#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// Sets the colour channels that "inputColor" picks to the value "inputIntensity".
class GMsetColorChannelFilter : public GMKernelFilter
{
public:
    explicit GMsetColorChannelFilter(const QString& className = QStringLiteral("GMsetColorChannelFilter"));
    pf::Image outputImage() const override;
};
