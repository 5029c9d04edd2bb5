#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// Fills the rectangle (0, 0, "inputSize") with a pattern image repeated in both directions, moved by
// "inputOffset" and enlarged by "inputZoomFactors".
class GMImageWithPatternFilter : public GMKernelFilter
{
public:
    explicit GMImageWithPatternFilter(const QString& className = QStringLiteral("GMImageWithPatternFilter"));
    pf::Image outputImage() const override;
};
