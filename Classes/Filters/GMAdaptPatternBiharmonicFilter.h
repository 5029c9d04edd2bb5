#pragma once

#include "Classes/Filters/GMKernelPassFilter.h"

// One step of simple (biharmonic) inpainting of an image inside a mask; graphs repeat it to fill a hole
// smoothly from its surroundings.
class GMAdaptPatternBiharmonicFilter : public GMKernelPassFilter
{
public:
    explicit GMAdaptPatternBiharmonicFilter(
        const QString& className = QStringLiteral("GMAdaptPatternBiharmonicFilter"));
};
