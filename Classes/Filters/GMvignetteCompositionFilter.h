#pragma once

#include "Classes/Filters/GMKernelPassFilter.h"

// The vignette: the image darkened by its mask ("inputMask", as GMvignetteMaskFilter makes it).
class GMvignetteCompositionFilter : public GMKernelPassFilter
{
public:
    explicit GMvignetteCompositionFilter(
        const QString& className = QStringLiteral("GMvignetteCompositionFilter"));
};
