#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// One step of simple (biharmonic) inpainting of an image inside a mask; graphs repeat it to fill a hole
// smoothly from its surroundings.
class GMAdaptPatternBiharmonicFilter : public GMKernelFilter
{
public:
    explicit GMAdaptPatternBiharmonicFilter(
        const QString& className = QStringLiteral("GMAdaptPatternBiharmonicFilter"));
    pf::Image outputImage() const override;
};
