#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// One step of filling the masked area of the image from its neighbours, without a pattern; callers
// repeat it. "inputType" is accepted and kept but does not change the output.
class GMInpaintingNoPatternFilter : public GMKernelFilter
{
public:
    explicit GMInpaintingNoPatternFilter(
        const QString& className = QStringLiteral("GMInpaintingNoPatternFilter"));
    pf::Image outputImage() const override;
};
