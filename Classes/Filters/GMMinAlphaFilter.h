#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// Raises an image's alpha to at least "inputIntensity", keeping its colour (0 changes nothing).
class GMMinAlphaFilter : public GMKernelFilter
{
public:
    explicit GMMinAlphaFilter(const QString& className = QStringLiteral("GMMinAlphaFilter"));
    pf::Image outputImage() const override;
};
