#pragma once

#include "Classes/Filters/GMKernelPassFilter.h"

// One step of filling the masked area of the image from its neighbours, without a pattern; callers
// repeat it. "inputType" is accepted and kept but does not change the output.
class GMInpaintingNoPatternFilter : public GMKernelPassFilter
{
public:
    explicit GMInpaintingNoPatternFilter(
        const QString& className = QStringLiteral("GMInpaintingNoPatternFilter"));
};
