#pragma once

#include "Classes/Filters/GMKernelPassFilter.h"

// Takes the red out of flash-lit pupils: pixels whose red outweighs green and blue by more than
// "inputThreshold" (the ratio of red to the larger of them) become neutral at the level of green and
// blue, deepened by "inputDarkening". Catch lights, skin, brown irises and other colours stay. The
// output has the image's extent.
class GMRedEyeFilter : public GMKernelPassFilter
{
public:
    explicit GMRedEyeFilter(const QString& className = QStringLiteral("GMRedEyeFilter"));
};
