#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// The vignette: the image darkened by its mask ("inputMask", as GMvignetteMaskFilter makes it).
class GMvignetteCompositionFilter : public GMKernelFilter
{
public:
    explicit GMvignetteCompositionFilter(
        const QString& className = QStringLiteral("GMvignetteCompositionFilter"));
    pf::Image outputImage() const override;
};
